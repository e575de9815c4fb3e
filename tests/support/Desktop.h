#pragma once
// A desktop of the test's own: the XDG data and configuration folders lie in
// a scratch folder (empty until the test writes entries there), and VISUAL,
// EDITOR and XDG_CURRENT_DESKTOP are unset, so what the program takes from
// the user's desktop is the same on every machine. Restored when it goes.

#include "tests/support/TempDir.h"

#include <map>
#include <optional>
#include <string>

namespace testsupport {

class ScopedDesktop {
public:
    ScopedDesktop();
    ~ScopedDesktop();
    ScopedDesktop(const ScopedDesktop&) = delete;
    ScopedDesktop& operator=(const ScopedDesktop&) = delete;

    // XDG_DATA_HOME and XDG_CONFIG_HOME.
    std::string DataFolder() const { return folder_ / "data"; }
    std::string ConfigFolder() const { return folder_ / "config"; }
    // Writes applications/<id> below the data folder: "[Desktop Entry]" and the lines.
    void AddEntry(const std::string& id, const std::string& lines) const;
    // Writes config/mimeapps.list, or config/<desktop>-mimeapps.list.
    void SetDefaults(const std::string& lines, const std::string& desktop = "") const;
    // Writes any file below the scratch folder ("data/applications/mimeinfo.cache").
    void Write(const std::string& relative, const std::string& text) const { folder_.file(relative, text); }
    // An executable shell script in the scratch folder; returns its path.
    std::string AddProgram(const std::string& name, const std::string& script = "exit 0\n") const;
    // Sets (or with nullopt unsets) a variable until the desktop goes.
    void Set(const std::string& name, const std::optional<std::string>& value);

private:
    TempDir folder_{"pictavo-desktop"};
    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace testsupport
