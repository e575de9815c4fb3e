// Any bytes as a JPEG's EXIF segment (and as packed segments): reading the
// orientation and rewriting the segment for an upright copy must stay inside
// the bytes, and a kept EXIF segment must read as orientation 1.
#include "platform/jpeg/JpegMetadata.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The first byte chooses whether the rest gets the signature, so the
    // fuzzer can spend its time inside the TIFF structure.
    if (size == 0) return 0;
    std::vector<std::uint8_t> app1;
    if (data[0] & 1) app1 = {'E', 'x', 'i', 'f', 0, 0};
    app1.insert(app1.end(), data + 1, data + size);
    const int orientation = ExifOrientation(app1);
    if (orientation < 1 || orientation > 8) __builtin_trap();
    const std::vector<TJpegSegment> kept =
        SegmentsForUprightCopy({{0xE1, app1}, {0xE2, app1}}, 640, 480, (data[0] & 2) != 0);
    for (const TJpegSegment& segment : kept)
        if (segment.Marker == 0xE1 && ExifOrientation(segment.Data) != 1) __builtin_trap();
    (void)UnpackSegments(data, size);
    return 0;
}
