// File, date, shell and dialog routines of srutils.
#include "gallery/text/srutilsFiles.h"
#include "gallery/text/srutils.h"

#include "platform/shell/Shell.h"
#include "platform/system/DateTime.h"
#include "platform/system/Files.h"
#include "platform/system/System.h"

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

MessageDlgHook& messageHook()
{
    static MessageDlgHook hook;
    return hook;
}

FilePropertiesHook& propertiesHook()
{
    static FilePropertiesHook hook;
    return hook;
}

bool contains(const std::string& text, const char* piece) { return text.find(piece) != std::string::npos; }

}  // namespace

bool FileCanOpen(const std::string& fileName)
{
    if (fileName.empty()) return false;
    const int fd = ::open(ToFileSystemPath(fileName).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    // A folder cannot be opened as a file.
    const bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    ::close(fd);
    return ok;
}

void FormatNow(const std::string& pattern, std::string& result)
{
    // Through the text form and back, so the value is exact to the second.
    result = FormatDateTime(pattern, StrToDateTime(DateTimeToStr(Now())));
}

void FileSizeText(int kind, const std::string& fileName, std::string& result)
{
    if (kind < 0 || kind > 2 || !FileCanOpen(fileName)) return;
    const std::int64_t size = FileSizeOfPath(fileName);
    if (size < 0) return;
    const double divisor = kind == 0 ? 1.0 : kind == 1 ? 1024.0 : 1048576.0;
    // A format picture rounds halves away from zero (not Round's halves-to-even).
    result = FormatThousands(static_cast<std::int64_t>(std::llround(static_cast<double>(size) / divisor)));
}

std::int64_t FileSizeOf(const std::string& fileName)
{
    if (!FileCanOpen(fileName)) return 0;
    const std::int64_t size = FileSizeOfPath(fileName);
    return size < 0 ? 0 : size;
}

void FileDateText(int kind, const std::string& fileName, const std::string& pattern, std::string& result)
{
    if (!FileCanOpen(fileName)) return;
    // The date is read without asking for write access, so read-only files
    // (pictures on a CD, protected originals) keep their dates.
    const std::int32_t packed = FileAge(fileName);
    if (kind == 1) {
        if (packed == -1) return;
        result = FormatDateTime(pattern, FileDateToDateTime(packed));
    } else if (kind == 2) {
        result = std::to_string(packed);
    }
}

bool FileDateSet(const std::string& fileName, const std::string& dateText, std::int32_t fileDate)
{
    if (!FileCanOpen(fileName)) return false;
    const std::int32_t packed = fileDate == 0 ? DateTimeToFileDate(StrToDateTime(Trim(dateText))) : fileDate;
    return FileSetDate(fileName, packed) == 0;
}

bool SetFileAttrText(const std::string& codes, const std::string& fileName)
{
    const std::string c = AsciiLower(codes);
    // A code is set by "x+" unless "x-" is there too.
    const struct {
        const char *on, *off;
        int attribute;
    } flags[] = {{"r+", "r-", faReadOnly}, {"h+", "h-", faHidden}, {"s+", "s-", faSysFile}, {"a+", "a-", faArchive}};
    int attributes = 0;
    for (const auto& flag : flags)
        if (contains(c, flag.on) && !contains(c, flag.off)) attributes |= flag.attribute;
    if (!FileCanOpen(fileName) || !FileExists(fileName)) return false;
    return FileSetAttr(fileName, attributes) == 0;
}

std::string AddDefaultExt(int kind, const std::string& fileName)
{
    if (ExtractFileName(fileName).empty() || !ExtractFileExt(fileName).empty()) return fileName;
    switch (kind) {
    case 0: return fileName + ".jpg";
    case 1: return fileName + ".gif";
    case 9: return fileName + ".htm";
    default: return fileName;
    }
}

std::string ExtractFileNameNoExt(const std::string& path)
{
    const std::string name = ExtractFileName(path);
    // Cut at the extension's own dot: "a.jpg.jpg" keeps "a.jpg".
    return name.substr(0, name.size() - ExtractFileExt(name).size());
}

namespace {

// The digits of a name part, in order, and the position of the last.
std::string digitsOf(const std::string& base, std::size_t& lastDigit)
{
    std::string digits;
    for (std::size_t i = 0; i < base.size(); ++i) {
        if (base[i] >= '0' && base[i] <= '9') {
            digits += base[i];
            lastDigit = i;
        }
    }
    return digits;
}

std::int64_t digitsValue(const std::string& digits)
{
    std::int64_t value = 0;
    for (char d : digits) {
        value = value * 10 + (d - '0');
        if (value > 2147483647LL) throw EConvertError("'" + digits + "' is not a valid integer value");
    }
    return value;
}

// Writes the new number's digits over the old ones, left to right; digits
// the new number has beyond the old count go after the last old digit.
void putDigits(std::string& base, const std::string& number, std::size_t oldCount, std::size_t lastDigit)
{
    std::size_t used = 0;
    for (std::size_t i = 0; i < base.size() && used < oldCount; ++i) {
        if (base[i] >= '0' && base[i] <= '9') base[i] = number[used++];
    }
    if (number.size() > oldCount) base.insert(lastDigit + 1, number.substr(oldCount));
}

}  // namespace

std::string RenumberFileName(const std::string& name, int n)
{
    // Only the file-name part is renumbered; a folder in the name pattern
    // (its dots and digits) stays as it is.
    const std::string folder = ExtractFilePath(name);
    const std::string file = name.substr(folder.size());
    const std::string ext = ExtractFileExt(file);
    std::string base = file.substr(0, file.find('.'));

    std::size_t lastDigit = 0;
    const std::string digits = digitsOf(base, lastDigit);
    if (digits.empty()) return folder + base + (AsciiLower(ext) == ".mp3" ? "" : std::to_string(n)) + ext;
    std::string s = std::to_string(digitsValue(digits) + n);
    if (s.size() < digits.size() && s[0] != '-') s.insert(0, digits.size() - s.size(), '0');
    putDigits(base, s, digits.size(), lastDigit);
    return folder + base + ext;
}

std::string BackslashToSlash(const std::string& text) { return ToFileSystemPath(text); }

bool ShellFileOperation(int kind, const std::string& source, const std::string& target)
{
    if (source.empty()) return false;
    // A source that cannot be read is a failure, not a quiet success.
    if ((kind == 0 || kind == 1) && !FileCanOpen(source)) return false;
    switch (kind) {
    case 0: return FileOperation(TFileOperation::Copy, source, target);
    case 1: return FileOperation(TFileOperation::Move, source, target);
    case 2: return FileOperation(TFileOperation::Delete, source, target);
    case 3: return FileOperation(TFileOperation::Rename, source, target);
    default: return false;
    }
}

void ShellOpen(const std::string& target, const std::string& parameters, const std::string& folder)
{
    std::string error;
    const bool address = target.find("://") != std::string::npos || target.rfind("mailto:", 0) == 0;
    if (!address && parameters.empty() && !FileExists(target) && !DirectoryExists(target)) {
        MessageDlgCentered("Error", "Cannot find " + ToFileSystemPath(target), mtError, mbOK);
        return;
    }
    if (!ShellExecuteOpen(target, parameters, folder, &error)) MessageDlgCentered("Error", error, mtError, mbOK);
}

void SetMessageDlgHook(MessageDlgHook hook) { messageHook() = std::move(hook); }

void SetFilePropertiesHook(FilePropertiesHook hook) { propertiesHook() = std::move(hook); }

int MessageDlgCentered(const std::string& caption, const std::string& message, int dialogType, int buttons)
{
    if (messageHook()) return messageHook()(caption, message, dialogType, buttons);
    std::cerr << caption << ": " << message << '\n';
    return mrNone;
}

void ShowFileProperties(const std::string& fileName)
{
    if (propertiesHook()) propertiesHook()(fileName);
}
