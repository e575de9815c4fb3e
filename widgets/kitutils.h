#pragma once
// Small helpers of the component kit: rectangles, paths, blank tests and a
// block compressor in the manner of LZRW1, used by the kit's stream records.

#include "platform/core/Exception.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TKitRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TKitRect&) const = default;
};

// Scales the picture rectangle to fit the target keeping its aspect, placed at
// the target's top-left corner. An empty picture gives an empty rectangle there.
TKitRect AspectFitRect(const TKitRect& picture, const TKitRect& target);

// True for an empty text or one of spaces only.
bool IsBlank(const std::string& text);
// Path delimiter helpers. The kit's paths end in '/' here; a blank path becomes "/".
std::string AddBackSlash(const std::string& path);
// Drops one trailing delimiter; a blank path stays as it is.
std::string RemoveBackSlash(const std::string& path);

// The system folders, with or without the trailing delimiter. There is no
// Windows folder on this system: its counterpart is /etc (where the system's
// own settings live) and the system folder's is /usr/lib.
std::string KitWindowsFolder(bool trailingDelimiter = true);
std::string KitSystemFolder(bool trailingDelimiter = true);
std::string KitProgramFolder(bool trailingDelimiter = true);

// Raised for a block that cannot be compressed or decompressed (a damaged
// block never makes the decompressor read or write outside its buffers).
class ELzrwError : public Exception {
public:
    ELzrwError() : Exception("LZRW Error!") {}
};

constexpr std::size_t KitMaxBlockInput = 65535;  // largest input of one block
constexpr std::uint8_t KitBlockCompressed = 64;
constexpr std::uint8_t KitBlockStored = 128;

// Compresses at most KitMaxBlockInput bytes into one block (first byte 64 for
// compressed items, 128 for the stored input). Larger inputs raise ELzrwError.
std::vector<std::uint8_t> CompressBlock(const std::uint8_t* source, std::size_t size);
inline std::vector<std::uint8_t> CompressBlock(const std::vector<std::uint8_t>& source)
{
    return CompressBlock(source.data(), source.size());
}

// Expands one block. The output never grows past maxOutput bytes; a block
// that would, or that is damaged in any way, raises ELzrwError.
std::vector<std::uint8_t> DecompressBlock(const std::uint8_t* block, std::size_t size,
                                          std::size_t maxOutput = KitMaxBlockInput);
inline std::vector<std::uint8_t> DecompressBlock(const std::vector<std::uint8_t>& block,
                                                 std::size_t maxOutput = KitMaxBlockInput)
{
    return DecompressBlock(block.data(), block.size(), maxOutput);
}
