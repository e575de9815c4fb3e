#pragma once
// File, date and shell routines shared by the gallery and the upload window:
// name pieces, sizes, dates and attributes, file operations, opening files,
// and the message box hooks the windows install.

#include <cstdint>
#include <functional>
#include <string>

// ---- Files, dates and shell --------------------------------------------
// File names pass through the '\' -> '/' rule of stored paths.

// True when the file (not a folder) can be opened for reading.
bool FileCanOpen(const std::string& fileName);
// The current local time, to the second, formatted with a date-time pattern.
void FormatNow(const std::string& pattern, std::string& result);
// Kind 0 bytes, 1 KB (size/1024), 2 MB (size/1048576), rounded to a whole
// number, halves away from zero, with thousands separators. A file that
// cannot be opened, or another kind, leaves result unchanged.
void FileSizeText(int kind, const std::string& fileName, std::string& result);
// Size in bytes, 0 when the file cannot be opened.
std::int64_t FileSizeOf(const std::string& fileName);
// When FileCanOpen: kind 1 the file date formatted with pattern, kind 2 the
// packed 32-bit date as a signed decimal. Read-only files work. Otherwise, or
// for another kind, result stays unchanged.
void FileDateText(int kind, const std::string& fileName, const std::string& pattern, std::string& result);
// When FileCanOpen: packed date 0 sets the date read from the trimmed date
// text (DateTimeToStr form, see platform/system/DateTime.h; a bad text raises
// EConvertError), any other packed date sets that. True when the date was set.
bool FileDateSet(const std::string& fileName, const std::string& dateText, std::int32_t fileDate);
// Codes such as "r-h+a+s-". Only read-only maps onto Linux (write permission);
// hidden, system and archive are accepted and dropped. True when written.
bool SetFileAttrText(const std::string& codes, const std::string& fileName);
// The extension AddDefaultExt appends: ".jpg", ".gif" (the output format
// choices 0 and 1) or ".htm".
enum TDefaultExt : int { deJpg = 0, deGif = 1, deHtm = 9 };
// The kind's extension appended to a name that has a file-name part but no
// extension; anything else unchanged (also for a kind not listed).
std::string AddDefaultExt(int kind, const std::string& fileName);
// File name without folder ('/' or '\') and without its extension.
std::string ExtractFileNameNoExt(const std::string& path);
// Adds n to the number in a file name (see the notes in srutilsFiles.cpp).
// Digits beyond the 32-bit range raise EConvertError "'<digits>' is not a valid integer value".
std::string RenumberFileName(const std::string& name, int n);
// Every '\' becomes '/' (names written into pages).
std::string BackslashToSlash(const std::string& text);

// Kind 0 copy, 1 move, 2 delete, 3 rename; silent. False when the source is
// empty, cannot be read (copy, move) or the operation failed.
bool ShellFileOperation(int kind, const std::string& source, const std::string& target);
// Opens a file or address with the desktop's program (a program path with
// parameters is started). Failures go to the message hook as an error box.
void ShellOpen(const std::string& target, const std::string& parameters = std::string(),
               const std::string& folder = std::string());

// ---- Dialog hooks: the GUI installs these; without them nothing is shown --

enum : int { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3 };
enum : int { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8, mbAbort = 16, mbRetry = 32, mbIgnore = 64 };
enum : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7 };

using MessageDlgHook =
    std::function<int(const std::string& caption, const std::string& message, int dialogType, int buttons)>;
using FilePropertiesHook = std::function<void(const std::string& fileName)>;
void SetMessageDlgHook(MessageDlgHook hook);
void SetFilePropertiesHook(FilePropertiesHook hook);

// The message box centred on the active window. Without a hook the message
// goes to stderr and the result is mrNone.
int MessageDlgCentered(const std::string& caption, const std::string& message, int dialogType, int buttons);
// The file-properties dialog; nothing without a hook.
void ShowFileProperties(const std::string& fileName);
