#pragma once
// Program and settings folders, file-name pieces and the path rule for names
// that come from stored records (a '\' there is a folder separator).

#include <string>

// The executable's folder with a trailing '/'. Data files are read from here.
std::string ProgramFolder();
// Tests and tools point the program folder elsewhere; an empty path restores
// the executable's folder. A trailing '/' is added when missing.
void SetProgramFolder(const std::string& folder);

// The file that `cmake --install` puts beside an installed program (and that
// a build folder never holds): its presence makes the copy an installed one.
extern const char* const InstalledCopyMarker;
// True when the program folder holds the installed-copy marker.
bool IsInstalledCopy();

// Where the program writes its own files (pv.ini, pftp.bak, pvftp.pv, ...):
// for an installed copy always $XDG_CONFIG_HOME/pictavo/ (default
// ~/.config/pictavo/), created on demand with mode 0700; for any other copy
// (the build folder's) the program folder when it can be written (and not by
// every user), else that same user folder. Without a home folder it stays the
// program folder, never a folder shared between users. Always ends in '/'.
std::string WritableFolder();
// A data file the user may change (the banner files): the user's own copy in
// WritableFolder() once there is one, else the one shipped in the program
// folder. A changed copy is always written to WritableFolder().
std::string EditableDataFile(const std::string& name);
// The same choice with its inputs spelled out, so it can be tested.
std::string ChooseWritableFolder(const std::string& programFolder, bool installedCopy, bool programFolderWritable,
                                 const std::string& xdgConfigHome, const std::string& home);
// The user's home folder: $HOME when it is absolute, else the account's home
// from the user database; empty when neither names an absolute folder.
std::string UserHomeFolder();
// The user's own folder for this program's files: $XDG_CONFIG_HOME/pictavo/
// when that is absolute, else <home>/.config/pictavo/; empty without a home.
std::string UserConfigFolder();
// Creates the missing folders of an absolute path with mode 0700 (folders
// that exist keep theirs); true when the folder exists afterwards.
bool ForcePrivateDirectories(const std::string& folder);

// Stored names may hold '\' as a separator (for example "frames\bar1.gif");
// at the file-system boundary every '\' becomes '/'.
std::string ToFileSystemPath(const std::string& name);

// Name pieces; both '/' and '\' count as separators.
std::string ExtractFilePath(const std::string& name);  // up to and including the last separator
std::string ExtractFileName(const std::string& name);  // after the last separator
std::string ExtractFileExt(const std::string& name);   // from the last '.' of the file name, with the dot
std::string ChangeFileExt(const std::string& name, const std::string& ext);
std::string IncludeTrailingPathDelimiter(const std::string& folder);  // appends '/' unless it ends in '/' or '\'
std::string ExcludeTrailingPathDelimiter(const std::string& folder);  // drops one trailing '/' or '\' (not of "/")

// File-system queries (names pass through ToFileSystemPath).
bool FileExists(const std::string& name);          // an existing entry that is not a folder
bool DirectoryExists(const std::string& name);     // an existing folder (symlinks followed)
bool ForceDirectories(const std::string& folder);  // creates missing folders; true when it exists after
