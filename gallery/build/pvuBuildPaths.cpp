// Path helpers of the build: which source folders a destination would
// overwrite, and measuring a picture already written.
#include "gallery/build/pvuBuildPaths.h"

#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/text/srutils.h"
#include "platform/system/System.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

std::string CanonicalFolderPath(const std::string& folder)
{
    std::error_code ec;
    fs::path path = fs::absolute(fs::path(ToFileSystemPath(folder)), ec);
    if (ec) path = fs::path(ToFileSystemPath(folder));
    // weakly_canonical resolves the longest existing prefix through the file
    // system (links included) and only then normalises the rest by text.
    fs::path canonical = fs::weakly_canonical(path, ec);
    if (ec) canonical = path.lexically_normal();
    std::string text = canonical.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text.empty() ? "/" : text;
}

bool FolderLiesWithin(const std::string& folder, const std::string& container)
{
    const std::string inner = AsciiLower(CanonicalFolderPath(folder));
    const std::string outer = AsciiLower(CanonicalFolderPath(container));
    if (outer == "/") return true;
    if (inner == outer) return true;
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 && inner[outer.size()] == '/';
}

std::string FolderWriteProblem(const std::string& folder)
{
    const fs::path path(ToFileSystemPath(folder));
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) return ec.message();
    if (!fs::is_directory(path, ec)) return "it is not a folder";
    // A file of our own, made and removed at once: the folder's permissions,
    // its file system's read-only state and its kind all show in this one test.
    const fs::path probe = path / (".pictavo-write-check-" + std::to_string(getpid()));
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return std::strerror(errno);
    const bool written = ::write(fd, "ok", 2) == 2;
    const int writeError = errno;
    ::close(fd);
    ::unlink(probe.c_str());
    return written ? std::string() : std::strerror(writeError);
}

void MeasurePictureFile(const std::string& fileName, int& width, int& height, int* colours)
{
    if (!FileExists(fileName)) return;
    TRasterDIB picture;
    LoadImageFile(picture, fileName);
    width = picture.Width();
    height = picture.AbsHeight;
    if (colours) *colours = picture.CountColors();
}
