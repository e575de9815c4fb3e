#include "tests/support/X11Support.h"

#include "platform/gui/Gui.h"

#include <QCoreApplication>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testsupport {

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

namespace {

int Spawn(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

}  // namespace

int RunProgram(const std::vector<std::string>& arguments)
{
    const int pid = Spawn(arguments);
    if (pid < 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool ProgramOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string paths = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= paths.size()) {
        const std::size_t end = paths.find(':', start);
        const std::string folder = paths.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

std::unique_ptr<XvfbDisplay> XvfbDisplay::Start(std::string& reason, const std::string& screen)
{
    if (!ProgramOnPath("Xvfb")) {
        reason = "Xvfb is not installed (package xvfb)";
        return nullptr;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        reason = "no pipe";
        return nullptr;
    }
    // -displayfd: the server picks a free display and writes its number.
    const int pid = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp"});
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        reason = "Xvfb could not be started";
        return nullptr;
    }
    auto display = std::make_unique<XvfbDisplay>();
    display->pid_ = pid;
    std::string number;
    pollfd wait{fds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&wait, 1, 200) > 0) {
            char c;
            const ssize_t got = read(fds[0], &c, 1);
            if (got <= 0 || c == '\n') break;
            number += c;
        }
    }
    close(fds[0]);
    if (number.empty()) {
        reason = "Xvfb did not report a display";
        return nullptr;
    }
    display->name_ = ":" + number;
    return display;
}

XvfbDisplay::~XvfbDisplay()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

namespace {

// One server and one application for the test program: Qt keeps argc.
std::unique_ptr<XvfbDisplay> display;
int windowManager = -1;
std::unique_ptr<TApplication> application;
std::string skipReason;
// Set when the tools are installed but the server or the window manager did
// not come up: the suite's tests fail, since a skip would hide that they never ran.
std::string failReason;
int argc = 1;
char programName[] = "pictavo-x11-test";
char* argv[] = {programName, nullptr};

}  // namespace

bool X11Suite::StartX11(std::initializer_list<const char*> tools, const std::string& screen)
{
    if (!ProgramOnPath("Xvfb")) {
        skipReason = "Xvfb is not installed (package xvfb)";
        return false;
    }
    for (const char* tool : tools)
        if (!ProgramOnPath(tool)) {
            skipReason = std::string(tool) + " is not installed (package " + tool + ")";
            return false;
        }
    std::string reason;
    display = XvfbDisplay::Start(reason, screen);
    if (!display) {
        failReason = reason;
        return false;
    }
    setenv("DISPLAY", display->Name().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    application = std::make_unique<TApplication>(argc, argv);
    return true;
}

void X11Suite::GiveUp(const std::string& reason)
{
    skipReason = reason;
    TearDownTestSuite();
}

void X11Suite::Fail(const std::string& reason)
{
    failReason = reason;
    TearDownTestSuite();
}

bool X11Suite::StartWindowManager()
{
    if (!ProgramOnPath("openbox")) {
        GiveUp("openbox is not installed (package openbox)");
        return false;
    }
    windowManager = Spawn({"openbox", "--sm-disable"});
    if (windowManager < 0) {
        Fail("openbox could not be started");
        return false;
    }
    // It is ready once it frames a window; one that ended will never frame it.
    bool framed = false, ended = false;
    {
        QWidget probe;
        probe.resize(40, 30);
        probe.show();
        framed = PumpUntil(
            [&] {
                int status = 0;
                ended = waitpid(windowManager, &status, WNOHANG) == windowManager;
                return ended || (probe.windowHandle() && !probe.windowHandle()->frameMargins().isNull());
            },
            60000);
    }
    if (ended) {
        windowManager = -1;
        Fail("openbox ended before it framed a window");
        return false;
    }
    if (!framed) Fail("openbox did not frame a window within 60 seconds");
    return framed;
}

void X11Suite::TearDownTestSuite()
{
    application.reset();
    if (windowManager > 0) {
        kill(windowManager, SIGTERM);
        int status = 0;
        waitpid(windowManager, &status, 0);
        windowManager = -1;
    }
    display.reset();
}

void X11Suite::SetUp()
{
    if (!application && !failReason.empty()) GTEST_FAIL() << "The X server or window manager failed: " << failReason;
    if (!application) GTEST_SKIP() << "No X server: " << skipReason;
}

const std::string& X11Suite::DisplayName()
{
    static const std::string none;
    return display ? display->Name() : none;
}

}  // namespace testsupport
