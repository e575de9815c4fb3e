#pragma once
// Bounded reading for the GIF, PNG, Targa and PCX loaders: every read is
// checked against the bytes the stream still has, and short data raises the
// loader's own error instead of the stream's.

#include "formats/ImageFormats.h"
#include "platform/streams/Streams.h"

#include <cstdint>
#include <string>

namespace loaders {

class BoundedReader {
public:
    BoundedReader(TStream& stream, const char* formatName) : stream_(stream), formatName_(formatName) {}

    std::int64_t Remaining() { return stream_.Remaining(); }
    std::int64_t Position() { return stream_.Position(); }
    void Seek(std::int64_t position) { stream_.SetPosition(position); }

    void Read(void* buffer, std::size_t count)
    {
        if (count == 0) return;
        if (static_cast<std::uint64_t>(Remaining()) < count || stream_.Read(buffer, count) != count) Short();
    }
    void Skip(std::uint64_t count)
    {
        if (static_cast<std::uint64_t>(Remaining()) < count) Short();
        stream_.Seek(static_cast<std::int64_t>(count), SeekOrigin::Current);
    }
    std::uint8_t Byte()
    {
        std::uint8_t b;
        Read(&b, 1);
        return b;
    }
    std::uint16_t LE16()
    {
        std::uint8_t b[2];
        Read(b, 2);
        return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    }
    std::uint32_t BE32()
    {
        std::uint8_t b[4];
        Read(b, 4);
        return (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3];
    }

    [[noreturn]] void Short() { ImageFormatsError(FormatStrings::gesStreamReadError, {formatName_}); }

private:
    TStream& stream_;
    const char* formatName_;
};

// Refuses a header whose picture the rest of the file cannot describe: the
// pixel cap first, then at most maxRatio decoded bytes per stored byte (the
// densest the format's compression can pack), so no header makes a loader
// allocate far beyond what its data could fill.
inline std::size_t CheckedPictureBytes(std::uint64_t width, std::uint64_t height, std::uint64_t bytesPerPixel,
                                       std::int64_t storedBytes, std::uint64_t maxRatio, const char* formatName)
{
    std::size_t bytes = CheckedImageBytes(width, height, bytesPerPixel);
    std::uint64_t stored = storedBytes > 0 ? static_cast<std::uint64_t>(storedBytes) : 0;
    if (bytes > stored * maxRatio + 4096) ImageFormatsError(FormatStrings::gesInvalidImageSize, {formatName});
    return bytes;
}

// True when each of count samples of bits (1, 2, 4 or 8) packed from the top
// bit down is below limit.
inline bool IndicesBelow(const std::uint8_t* samples, std::size_t count, int bits, std::size_t limit)
{
    if (limit >= (std::size_t(1) << bits)) return true;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t bit = i * bits;
        std::size_t value = (samples[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        if (value >= limit) return false;
    }
    return true;
}

}  // namespace loaders
