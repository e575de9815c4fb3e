#include "platform/shell/DesktopPrograms.h"

#include "platform/core/AsciiCase.h"
#include "platform/core/Split.h"
#include "platform/core/Trim.h"
#include "platform/shell/Shell.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

namespace {

std::string environmentOr(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

// A folder list variable; relative entries are ignored, as the base directory rules say.
void addFolders(std::vector<std::string>& folders, const char* variable, const std::string& fallback)
{
    for (const std::string& folder : SplitText(environmentOr(variable, fallback), ':'))
        if (!folder.empty() && folder[0] == '/') folders.push_back(folder);
}

std::vector<std::string> dataFolders()
{
    std::vector<std::string> folders;
    addFolders(folders, "XDG_DATA_HOME", environmentOr("HOME", "") + "/.local/share");
    addFolders(folders, "XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    return folders;
}

std::vector<std::string> configFolders()
{
    std::vector<std::string> folders;
    addFolders(folders, "XDG_CONFIG_HOME", environmentOr("HOME", "") + "/.config");
    addFolders(folders, "XDG_CONFIG_DIRS", "/etc/xdg");
    return folders;
}

using TKeyHandler = std::function<void(const std::string& group, const std::string& key, const std::string& value)>;

// Every "key=value" line of a desktop-style file with the group it stands in.
void forEachKey(const std::string& path, const TKeyHandler& take)
{
    std::ifstream in(path);
    std::string line, group;
    while (std::getline(in, line)) {
        const std::string text = Trim(line);
        if (text.empty() || text[0] == '#') continue;
        if (text[0] == '[') {
            const std::size_t close = text.find(']');
            group = text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
            continue;
        }
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos) take(group, Trim(text.substr(0, equals)), Trim(text.substr(equals + 1)));
    }
}

// The desktop ids a list file names for the type in a group, in order.
void addListed(const std::string& path, const std::string& group, const std::string& mimeType,
               std::vector<std::string>& ids)
{
    forEachKey(path, [&](const std::string& g, const std::string& key, const std::string& value) {
        if (g != group || key != mimeType) return;
        for (const std::string& id : SplitText(value, ';'))
            if (!id.empty()) ids.push_back(id);
    });
}

struct TDesktopEntry {
    std::string Name, Exec, Categories, MimeTypes;
    bool Terminal = false, Hidden = false;
};

TDesktopEntry readEntry(const std::string& path)
{
    TDesktopEntry entry;
    forEachKey(path, [&](const std::string& group, const std::string& key, const std::string& value) {
        if (group != "Desktop Entry") return;
        if (key == "Name") entry.Name = value;
        if (key == "Exec") entry.Exec = value;
        if (key == "Categories") entry.Categories = value;
        if (key == "MimeType") entry.MimeTypes = value;
        if (key == "Terminal") entry.Terminal = value == "true";
        if (key == "Hidden") entry.Hidden = value == "true";
    });
    return entry;
}

bool listsWord(const std::string& list, const std::string& word)
{
    const std::vector<std::string> words = SplitText(list, ';');
    return std::find(words.begin(), words.end(), word) != words.end();
}

// The program of an entry that starts one program with the file as its only
// argument; empty for any other entry.
std::string entryProgram(const TDesktopEntry& entry, const std::vector<std::string>& categories)
{
    if (entry.Hidden || entry.Terminal) return std::string();
    if (!categories.empty() && std::none_of(categories.begin(), categories.end(),
                                            [&](const std::string& c) { return listsWord(entry.Categories, c); }))
        return std::string();
    const std::vector<std::string> words = SplitParameters(entry.Exec);
    static const std::set<std::string> fileCodes = {"%f", "%F", "%u", "%U"};
    if (words.empty() || words.size() > 2 || (words.size() == 2 && !fileCodes.count(words[1]))) return std::string();
    return FindProgramPath(words[0]);
}

// The entry file of a desktop id: the first data folder that holds it.
std::string entryPath(const std::string& id)
{
    for (const std::string& folder : dataFolders()) {
        const std::string path = folder + "/applications/" + id;
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) return path;
    }
    return std::string();
}

}  // namespace

bool FindDesktopProgram(const std::string& mimeType, const std::vector<std::string>& categories, TDesktopProgram& found)
{
    std::vector<std::string> ids;
    std::vector<std::string> listFolders = configFolders();
    for (const std::string& folder : dataFolders()) listFolders.push_back(folder + "/applications");
    const std::vector<std::string> desktops = SplitText(AsciiLower(environmentOr("XDG_CURRENT_DESKTOP", "")), ':');
    for (const std::string& folder : listFolders) {
        for (const std::string& desktop : desktops)
            if (!desktop.empty())
                addListed(folder + "/" + desktop + "-mimeapps.list", "Default Applications", mimeType, ids);
        addListed(folder + "/mimeapps.list", "Default Applications", mimeType, ids);
    }
    for (const std::string& folder : dataFolders()) {
        addListed(folder + "/applications/defaults.list", "Default Applications", mimeType, ids);
        addListed(folder + "/applications/mimeinfo.cache", "MIME Cache", mimeType, ids);
    }
    std::set<std::string> tried;
    auto take = [&](const std::string& id, const std::string& path) {
        if (!tried.insert(id).second || path.empty()) return false;
        const TDesktopEntry entry = readEntry(path);
        const std::string program = entryProgram(entry, categories);
        if (program.empty()) return false;
        found = TDesktopProgram{entry.Name.empty() ? id : entry.Name, program};
        return true;
    };
    for (const std::string& id : ids)
        if (take(id, entryPath(id))) return true;
    // No list names a usable program: every entry that lists the type, by name.
    for (const std::string& folder : dataFolders()) {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& file : std::filesystem::directory_iterator(folder + "/applications", error))
            if (file.path().extension() == ".desktop") names.push_back(file.path().filename().string());
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const std::string path = folder + "/applications/" + name;
            if (listsWord(readEntry(path).MimeTypes, mimeType) && take(name, entryPath(name))) return true;
        }
    }
    return false;
}
