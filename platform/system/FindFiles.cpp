#include "platform/system/FindFiles.h"
#include "platform/core/Wildcard.h"

#include "platform/system/DateTime.h"
#include "platform/system/Files.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace {

bool readEntry(const std::string& folder, const std::string& name, TSearchRec& rec)
{
    const std::string path = folder + name;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0) return false;
    rec.Name = name;
    rec.Size = static_cast<std::int64_t>(st.st_size);
    rec.Time = UnixTimeToFileDate(static_cast<std::int64_t>(st.st_mtim.tv_sec));
    rec.Device = static_cast<std::uint64_t>(st.st_dev);
    rec.Inode = static_cast<std::uint64_t>(st.st_ino);
    int attr = 0;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attr |= faReadOnly;
    if (name[0] == '.') attr |= faHidden;
    if (S_ISDIR(st.st_mode))
        attr |= faDirectory;
    else if (S_ISREG(st.st_mode))
        attr |= faArchive;
    else
        attr |= faSysFile;
    rec.Attr = attr;
    return true;
}

int takeNext(TSearchRec& rec)
{
    if (!rec.Pending || rec.Next >= rec.Pending->size()) {
        rec.Pending.reset();
        return ENOENT;
    }
    TSearchRec& found = (*rec.Pending)[rec.Next++];
    rec.Name = found.Name;
    rec.Attr = found.Attr;
    rec.Time = found.Time;
    rec.Size = found.Size;
    rec.Device = found.Device;
    rec.Inode = found.Inode;
    return 0;
}

}  // namespace

bool MatchesFileMask(const std::string& name, const std::string& mask)
{
    if (mask == "*" || mask == "*.*") return true;
    return AsciiWildcardMatch(name, mask, true);
}

int FindFirst(const std::string& pattern, int attr, TSearchRec& rec)
{
    FindClose(rec);
    const std::string path = ToFileSystemPath(pattern);
    std::string folder = ExtractFilePath(path);
    const std::string mask = ExtractFileName(path);
    const std::string openName = folder.empty() ? std::string(".") : folder;
    DIR* dir = ::opendir(openName.c_str());
    if (!dir) return errno ? errno : ENOENT;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (MatchesFileMask(name, mask)) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    auto found = std::make_shared<std::vector<TSearchRec>>();
    for (const std::string& name : names) {
        TSearchRec entry;
        if (!readEntry(folder, name, entry)) continue;
        const int special = entry.Attr & (faHidden | faDirectory | faSysFile);
        if ((special & ~attr) != 0) continue;
        found->push_back(std::move(entry));
    }
    rec.Pending = std::move(found);
    rec.Next = 0;
    return takeNext(rec);
}

int FindNext(TSearchRec& rec) { return takeNext(rec); }

void FindClose(TSearchRec& rec)
{
    rec.Pending.reset();
    rec.Next = 0;
}

namespace {

bool walk(const std::string& folder, bool recurse,
          const std::function<bool(const std::string&, const TSearchRec&)>& visit,
          std::set<std::pair<std::uint64_t, std::uint64_t>>& seen)
{
    TSearchRec rec;
    struct stat self {};
    if (::stat(folder.c_str(), &self) != 0 || !S_ISDIR(self.st_mode)) return false;
    seen.insert({static_cast<std::uint64_t>(self.st_dev), static_cast<std::uint64_t>(self.st_ino)});
    int rc = FindFirst(folder + "*", faAnyFile, rec);
    if (rc != 0 && rc != ENOENT) return false;
    std::vector<std::string> subFolders;
    while (rc == 0) {
        const bool enter = visit(folder, rec);
        if (recurse && enter && (rec.Attr & faDirectory) && seen.insert({rec.Device, rec.Inode}).second)
            subFolders.push_back(folder + rec.Name + "/");
        rc = FindNext(rec);
    }
    FindClose(rec);
    for (const std::string& sub : subFolders) walk(sub, recurse, visit, seen);
    return true;
}

}  // namespace

bool WalkFolder(const std::string& folder, bool recurse,
                const std::function<bool(const std::string& folder, const TSearchRec& entry)>& visit)
{
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    return walk(IncludeTrailingPathDelimiter(ToFileSystemPath(folder)), recurse, visit, seen);
}
