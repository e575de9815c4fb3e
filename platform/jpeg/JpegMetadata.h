#pragma once
// What a JPEG file says about its picture besides the pixels: the EXIF
// orientation, the metadata segments kept when a picture is written back, and
// whether the entropy-coded data could fill the frame the header claims.
// Plain bytes in, no libjpeg: the JPEG library, the raster core and the
// picture registry share it. Every reader here is bounded: malformed or
// hostile bytes give "nothing found", never a read outside what was given.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// --- EXIF orientation ------------------------------------------------------------
// 1 stored upright; 2 mirrored; 3 turned half round; 4 flipped; 5 mirrored
// and turned a quarter anticlockwise (transposed); 6 to be turned a quarter
// clockwise; 7 transversed; 8 to be turned a quarter anticlockwise.

// The orientation an APP1 segment's data (from "Exif\0\0" on) gives, 1 when
// it is no EXIF data, holds no orientation or one outside 1..8.
int ExifOrientation(const std::uint8_t* data, std::size_t size);
inline int ExifOrientation(const std::vector<std::uint8_t>& data) { return ExifOrientation(data.data(), data.size()); }

// Orientations 5 to 8 swap the sides.
bool OrientationSwapsSides(int orientation);
// Where the upright picture's pixel (x, y), counted from its top left, lies in
// the stored picture of width × height pixels (also from its top left).
void OrientedSourcePixel(int orientation, int width, int height, int x, int y, int& storedX, int& storedY);
// Copies a stored picture of width × height pixels of bytesPerPixel bytes into
// its upright form (sides swapped for 5..8); rows are listed top first.
// bytesPerPixel is 1 to 4.
void OrientPixels(int orientation, int width, int height, int bytesPerPixel,
                  const std::vector<const std::uint8_t*>& storedRows, const std::vector<std::uint8_t*>& uprightRows);

// --- Metadata segments -----------------------------------------------------------
struct TJpegSegment {
    std::uint8_t Marker = 0;         // 0xE0..0xEF (APP0..APP15) or 0xFE (COM)
    std::vector<std::uint8_t> Data;  // without the marker and the length word
};

// The segments of `all` that belong in a new JPEG of the same photo stored
// upright at width × height pixels (colour or grey): EXIF with orientation 1,
// its pixel dimensions set to the new size and its embedded thumbnail (which
// still shows the old picture) unlinked; XMP, comments, IPTC and the other
// application segments as they are; an ICC profile only when it describes the
// new picture's colour space. Adobe's segment (it states the old file's colour
// transform) is left out, and so is a JFIF segment: the writer makes its own.
std::vector<TJpegSegment> SegmentsForUprightCopy(const std::vector<TJpegSegment>& all, std::uint32_t width,
                                                 std::uint32_t height, bool grey);

// Segments in a flat buffer, as the JPEG library hands them over: for each,
// its marker byte, its data length (32 bits, little-endian), its data.
std::vector<std::uint8_t> PackSegments(const std::vector<TJpegSegment>& segments);
// The reverse; a malformed buffer gives the segments before the fault.
std::vector<TJpegSegment> UnpackSegments(const std::uint8_t* data, std::size_t size);

// --- Can the data fill the frame? ------------------------------------------------
struct TJpegFrameShape {
    std::uint32_t Width = 0, Height = 0;
    int Components = 0;
    int HorizontalSampling[4] = {1, 1, 1, 1};
    int VerticalSampling[4] = {1, 1, 1, 1};
    bool Arithmetic = false;
};
// False when `entropyBytes` (everything from the first scan's data to the end
// of the file) is too few for the frame: every 8 × 8 block of every component
// costs at least one bit in its first scan with Huffman coding; an
// arithmetic coder narrows its interval by at least one unit in 2^15 per
// decision, so one bit holds at most 32768 blocks there.
bool JpegDataCanFill(const TJpegFrameShape& shape, std::uint64_t entropyBytes);
