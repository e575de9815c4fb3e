#pragma once
// A unique scratch folder under the system's temporary folder, removed with
// everything in it when the object goes (also when a test made parts of it
// read-only; kept when PICTAVO_KEEP_SCRATCH is set, for looking at what a
// failed test left). Plus small whole-file read and write helpers.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class TempDir {
public:
    // Creates <temp>/<prefix>-XXXXXX; a test cannot go on without it, so a
    // failure throws std::runtime_error.
    explicit TempDir(const std::string& prefix = "pictavo-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path path;

    // The full path of a name inside the folder.
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    // Writes text to a file inside the folder (making its parent folders) and
    // returns its full path.
    std::string file(const std::string& name, const std::string& text = "data") const;
};

std::string ReadFileText(const std::string& path);
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
// A copy of a file's bytes with the byte at `at` replaced: one field of a good
// file broken.
inline std::vector<std::uint8_t> WithByte(std::vector<std::uint8_t> bytes, std::size_t at, std::uint8_t value)
{
    bytes.at(at) = value;
    return bytes;
}

// Waits until a file appears at path, watching its folder. Writers in other
// processes make it whole under another name and rename it into place, so it
// is complete once it is there. False only when it has not come after a
// bound no passing run reaches.
bool WaitForFile(const std::string& path);

}  // namespace testsupport
