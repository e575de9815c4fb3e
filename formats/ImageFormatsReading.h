#pragma once
// The loaders' bounded reader (platform/streams/BoundedReader.h) with the
// library's own errors: short data raises "Stream read error in %s file.", a
// size past the pixel cap EImageTooLarge, and a picture the data cannot fill
// "Cannot load image. Image size in %s file is invalid.", each with the
// format's name.

#include "formats/ImageFormats.h"
#include "platform/streams/BoundedReader.h"

#include <cstdint>

namespace loaders {

TFaultHandler FormatFaults(const char* formatName);

class FormatReader : public BoundedReader {
public:
    FormatReader(TStream& stream, const char* formatName) : BoundedReader(stream, FormatFaults(formatName)) {}
};

// Stored (uncompressed) rows: every byte of the picture must be in the
// data left before the picture is made; a few bytes short (within the pixel
// check's slack) is ShortData.
inline void RequireStoredPicture(BoundedReader& reader, std::uint64_t width, std::uint64_t height,
                                 std::uint64_t bytesPerPixel)
{
    if (reader.PictureBytes(width, height, bytesPerPixel, 1) > static_cast<std::uint64_t>(reader.Remaining()))
        reader.Fail(TReadFault::ShortData);
}

// A signature test's look at the header: true when at least needed bytes
// remain and size of them were read into header; the stream stays where it
// was either way.
inline bool PeekHeader(TStream& stream, void* header, std::size_t size, std::int64_t needed)
{
    if (stream.Remaining() < needed) return false;
    const std::int64_t start = stream.Position();
    const bool read = stream.Read(header, size) == size;
    stream.SetPosition(start);
    return read;
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
