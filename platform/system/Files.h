#pragma once
// File dates, sizes and attributes in the form the program stores them.

#include <cstdint>
#include <string>

// Attribute bits as the settings and descriptions know them.
enum : int {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
    faAnyFile = 0x3F,
};

// The packed local date of a file's last change; -1 when it has none (missing).
// Needs no write access (works on read-only files).
std::int32_t FileAge(const std::string& name);
// Sets the last-change (and access) time from a packed date; 0 on success,
// else the system error number. A packed date that is not a date gives EINVAL.
int FileSetDate(const std::string& name, std::int32_t fileDate);

// A file's access and modification times as the file system keeps them, to
// the nanosecond where it has them, and its permission bits: what a file
// rewritten in place must keep.
struct TFileStamp {
    std::int64_t AccessSeconds = 0, AccessNanoseconds = 0;
    std::int64_t ModifySeconds = 0, ModifyNanoseconds = 0;
    unsigned Mode = 0;  // permission bits
};
// False when the entry cannot be examined.
bool ReadFileStamp(const std::string& name, TFileStamp& stamp);
// Sets the times (not the mode); 0 on success, else the system error number.
int SetFileTimes(const std::string& name, const TFileStamp& stamp);

// Size in bytes, -1 when the entry cannot be examined.
std::int64_t FileSizeOfPath(const std::string& name);

// Read-only when no write permission bit is set, hidden for a leading '.',
// directory for folders (symlinks followed), archive for every other regular
// file (Linux keeps no archive bit; new files carry it on Windows too).
// -1 when the entry does not exist.
int FileGetAttr(const std::string& name);
// Only read-only maps onto Linux: it clears or restores the write bits (owner
// write comes back, as the umask allows). Hidden, system and archive have no
// place to go and are ignored. 0 on success, else the system error number.
int FileSetAttr(const std::string& name, int attributes);

// Replaces a file's bytes as a whole: a new file of the given mode in the same
// folder, renamed over the old one, so a failed write never leaves half a
// file. Returns 0, or the errno of the failure.
int ReplaceFileBytes(const std::string& name, const std::string& bytes, unsigned mode);
// The same for a file that holds a secret (a password): mode 0600, and a
// symbolic link in the file's place is refused (ELOOP), never followed.
int WritePrivateFile(const std::string& name, const std::string& bytes);
