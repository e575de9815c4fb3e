#pragma once
// Folder enumeration in the FindFirst/FindNext style, with the wildcard rules
// of the program's own dialogs: '*' and '?', letters compared without regard
// to ASCII case (so "*.JPG" finds "a.jpg"), "*.*" matching every name.
// Nothing here changes the current folder.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TSearchRec {
    std::string Name;       // name without folder
    int Attr = 0;           // fa* bits (platform/system/Files.h)
    std::int32_t Time = 0;  // packed local date of the last change
    std::int64_t Size = 0;
    std::uint64_t Device = 0;  // identity of the entry (symlinks followed),
    std::uint64_t Inode = 0;   // so callers can tell a folder they have seen

    // Enumeration state; FindFirst fills it, FindClose drops it.
    std::shared_ptr<std::vector<TSearchRec>> Pending;
    std::size_t Next = 0;
};

// pattern: folder + name pattern ("/pics/*.jpg"; '\' counts as '/'). attr
// selects which special entries are also returned: faHidden for names that
// begin with '.', faDirectory for folders, faSysFile for devices, sockets and
// other non-regular files; plain files always come. "." and ".." never come.
// Entries come in byte order of their names. Returns 0 and fills rec with the
// first match, else an error number (ENOENT when nothing matches).
int FindFirst(const std::string& pattern, int attr, TSearchRec& rec);
int FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);

// Case-insensitive wildcard match of a name against one mask, as FindFirst uses it.
bool MatchesFileMask(const std::string& name, const std::string& mask);

// Walks the entries of a folder (and of its sub-folders when recurse is set),
// calling visit(folder with trailing '/', entry) for every entry but "." and
// "..". A sub-folder is entered only when visit returns true for it, and never
// twice: folders reached again through a symlink loop are skipped. Returns
// false when the starting folder cannot be read.
bool WalkFolder(const std::string& folder, bool recurse,
                const std::function<bool(const std::string& folder, const TSearchRec& entry)>& visit);
