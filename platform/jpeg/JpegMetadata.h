#pragma once
// What a JPEG file says about its picture besides the pixels: the EXIF
// orientation, the metadata segments kept when a picture is written back, and
// whether the coded scan data could fill the frame the header claims.
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
// The fewest bytes of coded scan data (TJpegScanData) that can fill the
// frame: every 8 × 8 block of every component costs at least one bit in its
// first scan with Huffman coding; an arithmetic coder narrows its interval by
// at least one unit in 2^15 per decision, so one bit holds at most 32768
// blocks there.
std::uint64_t JpegFillBytes(const TJpegFrameShape& shape);
// False when `entropyBytes` of coded scan data are too few for the frame.
inline bool JpegDataCanFill(const TJpegFrameShape& shape, std::uint64_t entropyBytes)
{
    return JpegFillBytes(shape) <= entropyBytes;
}

// The coded data of a JPEG's scans, counted as the file is fed in pieces, the
// way libjpeg walks it: a 0xFF stuffed with 0x00 is one byte of data, fill
// bytes and restart markers are none (where a restart interval is set;
// without one a restart marker ends the scan's data), the tables and headers
// between scans are skipped by their lengths, and the end marker ends it, so
// nothing after it counts. A marker libjpeg refuses there (a second frame or
// start of image, an unknown one, a bad length) ends it as well.
class TJpegScanData {
public:
    // From the first scan's data on (where libjpeg's header read stops, with
    // the restart interval the header set), or from the start of the stream
    // (its start marker, frame and tables first).
    enum class From { ScanData, StreamStart };
    explicit TJpegScanData(From from, std::uint32_t restartInterval = 0);

    // Takes the next bytes of the file; those after the end are ignored.
    void Feed(const std::uint8_t* data, std::size_t size);
    // Takes them only until `enough` coded bytes are counted, in pieces
    // that grow from a few hundred bytes (a small picture's bound is a
    // kilobyte or two); returns how many it took.
    std::size_t FeedUntil(const std::uint8_t* data, std::size_t size, std::uint64_t enough);
    // The coded bytes taken so far.
    std::uint64_t Bytes() const { return bytes_; }
    // The end marker, or a marker that ends decoding, was met.
    bool Ended() const { return state_ == State::Ended; }
    // The bytes fed so far stop inside a scan's coded data: the scan was cut,
    // or only its end marker is missing.
    bool InsideScan() const { return state_ == State::Coded || state_ == State::CodedMarker; }

private:
    enum class State {
        Coded,
        CodedMarker,
        Between,
        BetweenMarker,
        LengthHigh,
        LengthLow,
        Skip,
        IntervalHigh,
        IntervalLow,
        Ended
    };
    enum class Segment { Scan, Restart, Other };  // the header whose length is being read
    void marker(std::uint8_t code);
    void segmentDone();

    State state_;
    bool scanSeen_;
    std::uint32_t restartInterval_;
    Segment segment_ = Segment::Other;
    std::uint32_t skip_ = 0;
    std::uint64_t bytes_ = 0;
};
