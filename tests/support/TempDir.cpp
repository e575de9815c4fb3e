#include "tests/support/TempDir.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testsupport {

namespace {

fs::path makeFolder(const std::string& prefix)
{
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder from " + pattern);
    return pattern;
}

}  // namespace

TempDir::TempDir(const std::string& prefix) : path(makeFolder(prefix)) {}

TempDir::~TempDir()
{
    if (std::getenv("PICTAVO_KEEP_SCRATCH") != nullptr) return;
    std::error_code ignored;
    // Tests of refused writes leave read-only folders behind; open them up first.
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ignored);
         !ignored && it != fs::recursive_directory_iterator(); it.increment(ignored))
        if (it->is_directory(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path, ignored);
}

std::string TempDir::file(const std::string& name, const std::string& text) const
{
    const fs::path target = path / name;
    fs::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary) << text;
    return target.string();
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool WaitForFile(const std::string& path)
{
    const fs::path file(path);
    const int events = ::inotify_init1(IN_CLOEXEC);
    if (events < 0) return false;
    // The watch is set before the first look, so an arrival between the two is not missed.
    const bool watching = ::inotify_add_watch(events, file.parent_path().c_str(), IN_CREATE | IN_MOVED_TO) >= 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    std::error_code ignored;
    bool there = fs::exists(file, ignored);
    while (!there && watching) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd ready{events, POLLIN, 0};
        if (::poll(&ready, 1, int(left.count())) < 0 && errno != EINTR) break;
        char buffer[4096];
        if (ready.revents & POLLIN) (void)!::read(events, buffer, sizeof buffer);
        there = fs::exists(file, ignored);
    }
    ::close(events);
    return there;
}

}  // namespace testsupport
