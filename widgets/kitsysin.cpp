#include "widgets/kitsysin.h"

#include <QGuiApplication>
#include <QScreen>

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

int DisplayColorDepth()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return 0;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 0;
}

int OsMinorVersion()
{
    utsname name{};
    if (uname(&name) != 0) return 0;
    const char* dot = std::strchr(name.release, '.');
    return dot ? std::atoi(dot + 1) : 0;
}

std::string KitUserName()
{
    std::string user;
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name) user = entry->pw_name;
    if (user.empty())
        if (const char* login = getlogin()) user = login;
    if (user.empty()) return "(Unknown)";
    return user.substr(0, 63);
}

const TKitPlatformFlags& KitPlatformFlags()
{
    static const TKitPlatformFlags flags = [] {
        TKitPlatformFlags f;
        f.NT = true;
        return f;
    }();
    return flags;
}
