#include "platform/system/Files.h"

#include "platform/system/DateTime.h"
#include "platform/system/System.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::int32_t FileAge(const std::string& name)
{
    struct stat st {};
    if (::stat(ToFileSystemPath(name).c_str(), &st) != 0) return -1;
    return UnixTimeToFileDate(static_cast<std::int64_t>(st.st_mtim.tv_sec));
}

int FileSetDate(const std::string& name, std::int32_t fileDate)
{
    std::int64_t seconds;
    try {
        seconds = FileDateToUnixTime(fileDate);
    } catch (const EConvertError&) {
        return EINVAL;
    }
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    if (::utimensat(AT_FDCWD, ToFileSystemPath(name).c_str(), times, 0) != 0) return errno;
    return 0;
}

bool ReadFileStamp(const std::string& name, TFileStamp& stamp)
{
    struct stat st {};
    if (::stat(ToFileSystemPath(name).c_str(), &st) != 0) return false;
    stamp.AccessSeconds = st.st_atim.tv_sec;
    stamp.AccessNanoseconds = st.st_atim.tv_nsec;
    stamp.ModifySeconds = st.st_mtim.tv_sec;
    stamp.ModifyNanoseconds = st.st_mtim.tv_nsec;
    stamp.Mode = unsigned(st.st_mode & 07777);
    return true;
}

int SetFileTimes(const std::string& name, const TFileStamp& stamp)
{
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(stamp.AccessSeconds);
    times[0].tv_nsec = static_cast<long>(stamp.AccessNanoseconds);
    times[1].tv_sec = static_cast<time_t>(stamp.ModifySeconds);
    times[1].tv_nsec = static_cast<long>(stamp.ModifyNanoseconds);
    if (::utimensat(AT_FDCWD, ToFileSystemPath(name).c_str(), times, 0) != 0) return errno;
    return 0;
}

std::int64_t FileSizeOfPath(const std::string& name)
{
    struct stat st {};
    if (::stat(ToFileSystemPath(name).c_str(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

int FileGetAttr(const std::string& name)
{
    const std::string path = ToFileSystemPath(name);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0) return -1;
    int attr = 0;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attr |= faReadOnly;
    const std::string base = ExtractFileName(ExcludeTrailingPathDelimiter(path));
    if (!base.empty() && base[0] == '.' && base != "." && base != "..") attr |= faHidden;
    if (S_ISDIR(st.st_mode))
        attr |= faDirectory;
    else if (S_ISREG(st.st_mode))
        attr |= faArchive;
    return attr;
}

int FileSetAttr(const std::string& name, int attributes)
{
    const std::string path = ToFileSystemPath(name);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno;
    mode_t mode = st.st_mode & 07777;
    if (attributes & faReadOnly) {
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    } else if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        // Give back write permission where read permission is, within the umask.
        mode_t write = 0;
        if (mode & S_IRUSR) write |= S_IWUSR;
        if (mode & S_IRGRP) write |= S_IWGRP;
        if (mode & S_IROTH) write |= S_IWOTH;
        mode |= (write & ~mask) | S_IWUSR;
    }
    if (mode == (st.st_mode & 07777)) return 0;
    if (::chmod(path.c_str(), mode) != 0) return errno;
    return 0;
}

int ReplaceFileBytes(const std::string& name, const std::string& bytes, unsigned mode)
{
    const std::string path = ToFileSystemPath(name);
    std::string temp = path + ".XXXXXX";
    // mkstemp makes a new file of mode 0600 that nothing else can open first.
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return errno;
    int error = ::fchmod(fd, static_cast<mode_t>(mode)) == 0 ? 0 : errno;
    for (std::size_t done = 0; error == 0 && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            error = n < 0 ? errno : EIO;
        else
            done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(temp.c_str());
    return error;
}

int WritePrivateFile(const std::string& name, const std::string& bytes)
{
    struct stat st {};
    if (::lstat(ToFileSystemPath(name).c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return ELOOP;
    // The rename replaces whatever lies at the name: a link put there after
    // the check is replaced, not written through.
    return ReplaceFileBytes(name, bytes, 0600);
}
