#include "tests/support/Desktop.h"

#include <cstdlib>
#include <filesystem>

namespace testsupport {

ScopedDesktop::ScopedDesktop()
{
    Set("XDG_DATA_HOME", DataFolder());
    Set("XDG_DATA_DIRS", folder_ / "system-data");
    Set("XDG_CONFIG_HOME", ConfigFolder());
    Set("XDG_CONFIG_DIRS", folder_ / "system-config");
    for (const char* name : {"VISUAL", "EDITOR", "XDG_CURRENT_DESKTOP"}) Set(name, std::nullopt);
}

ScopedDesktop::~ScopedDesktop()
{
    for (const auto& [name, value] : saved_) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
}

void ScopedDesktop::Set(const std::string& name, const std::optional<std::string>& value)
{
    if (!saved_.count(name)) {
        const char* before = std::getenv(name.c_str());
        saved_[name] = before ? std::optional<std::string>(before) : std::nullopt;
    }
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

void ScopedDesktop::AddEntry(const std::string& id, const std::string& lines) const
{
    folder_.file("data/applications/" + id, "[Desktop Entry]\nType=Application\n" + lines);
}

void ScopedDesktop::SetDefaults(const std::string& lines, const std::string& desktop) const
{
    folder_.file("config/" + (desktop.empty() ? std::string() : desktop + "-") + "mimeapps.list", lines);
}

std::string ScopedDesktop::AddProgram(const std::string& name, const std::string& script) const
{
    const std::string path = folder_.file("bin/" + name, "#!/bin/sh\n" + script);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

}  // namespace testsupport
