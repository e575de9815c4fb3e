#include "platform/jpeg/JpegMetadata.h"

#include "platform/core/ByteOrder.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr std::uint16_t TagOrientation = 0x0112;
constexpr std::uint16_t TagExifIfd = 0x8769;
constexpr std::uint16_t TagPixelXDimension = 0xA002;
constexpr std::uint16_t TagPixelYDimension = 0xA003;
constexpr std::uint16_t TypeShort = 3, TypeLong = 4, TypeIfd = 13;
constexpr std::uint8_t ExifSignature[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::size_t ExifHeader = sizeof ExifSignature;

// The TIFF structure inside an EXIF segment. Every read names an offset from
// the TIFF header and is checked against the bytes there are; an offset a
// file supplies is never followed unchecked.
class TiffView {
public:
    TiffView(std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // False when the bytes do not start with a TIFF header.
    bool Open()
    {
        if (size_ < 8) return false;
        if (data_[0] == 'I' && data_[1] == 'I')
            order_ = TByteOrder::LittleEndian;
        else if (data_[0] == 'M' && data_[1] == 'M')
            order_ = TByteOrder::BigEndian;
        else
            return false;
        return Get16(data_ + 2, order_) == 42;
    }
    std::optional<std::uint32_t> FirstIfd() const { return U32(4); }

    std::optional<std::uint16_t> U16(std::uint64_t at) const
    {
        if (!Has(at, 2)) return std::nullopt;
        return Get16(data_ + at, order_);
    }
    std::optional<std::uint32_t> U32(std::uint64_t at) const
    {
        if (!Has(at, 4)) return std::nullopt;
        return Get32(data_ + at, order_);
    }
    void Put16(std::uint64_t at, std::uint16_t v)
    {
        if (!Has(at, 2)) return;
        if (order_ == TByteOrder::BigEndian)
            PutBE16(data_ + at, v);
        else
            PutLE16(data_ + at, v);
    }
    void Put32(std::uint64_t at, std::uint32_t v)
    {
        if (!Has(at, 4)) return;
        if (order_ == TByteOrder::BigEndian)
            PutBE32(data_ + at, v);
        else
            PutLE32(data_ + at, v);
    }

    // The offset of the entry for `tag` in the directory at `ifd`, if any.
    // Only entries that lie wholly inside the data are looked at.
    std::optional<std::uint64_t> FindEntry(std::uint32_t ifd, std::uint16_t tag) const
    {
        const std::optional<std::uint16_t> count = U16(ifd);
        if (!count) return std::nullopt;
        for (std::uint64_t i = 0; i < *count; ++i) {
            const std::uint64_t entry = std::uint64_t(ifd) + 2 + 12 * i;
            if (!Has(entry, 12)) return std::nullopt;
            if (*U16(entry) == tag) return entry;
        }
        return std::nullopt;
    }
    // The offset of the word after the directory's entries (the next directory's offset).
    std::optional<std::uint64_t> NextIfdLink(std::uint32_t ifd) const
    {
        const std::optional<std::uint16_t> count = U16(ifd);
        if (!count) return std::nullopt;
        const std::uint64_t link = std::uint64_t(ifd) + 2 + 12 * std::uint64_t(*count);
        if (!Has(link, 4)) return std::nullopt;
        return link;
    }
    // A single SHORT or LONG value of the entry, held in its value field.
    std::optional<std::uint32_t> SingleNumber(std::uint64_t entry) const
    {
        const std::uint16_t type = *U16(entry + 2);
        if (*U32(entry + 4) < 1) return std::nullopt;
        if (type == TypeShort) return *U16(entry + 8);
        if (type == TypeLong || type == TypeIfd) return *U32(entry + 8);
        return std::nullopt;
    }
    void SetSingleNumber(std::uint64_t entry, std::uint32_t value)
    {
        const std::uint16_t type = *U16(entry + 2);
        if (type == TypeShort)
            Put16(entry + 8, std::uint16_t(std::min<std::uint32_t>(value, 0xFFFF)));
        else if (type == TypeLong || type == TypeIfd)
            Put32(entry + 8, value);
    }

private:
    bool Has(std::uint64_t at, std::uint64_t count) const { return at <= size_ && count <= size_ - at; }

    std::uint8_t* data_;
    std::size_t size_;
    TByteOrder order_ = TByteOrder::LittleEndian;
};

bool isExif(const std::uint8_t* data, std::size_t size)
{
    return data && size >= ExifHeader && std::memcmp(data, ExifSignature, ExifHeader) == 0;
}

bool startsWith(const std::vector<std::uint8_t>& data, const char* text)
{
    const std::size_t n = std::strlen(text);
    return data.size() >= n && std::memcmp(data.data(), text, n) == 0;
}

// Sets what a rewritten, upright picture makes true, and cuts the link to the
// thumbnail directory.
void makeUpright(TiffView& tiff, std::uint32_t width, std::uint32_t height)
{
    const std::optional<std::uint32_t> ifd0 = tiff.FirstIfd();
    if (!ifd0) return;
    const auto exifEntry = tiff.FindEntry(*ifd0, TagExifIfd);
    const std::optional<std::uint32_t> exifIfd = exifEntry ? tiff.SingleNumber(*exifEntry) : std::nullopt;
    if (exifIfd && *exifIfd != *ifd0) {
        if (const auto entry = tiff.FindEntry(*exifIfd, TagPixelXDimension)) tiff.SetSingleNumber(*entry, width);
        if (const auto entry = tiff.FindEntry(*exifIfd, TagPixelYDimension)) tiff.SetSingleNumber(*entry, height);
    }
    if (const auto link = tiff.NextIfdLink(*ifd0)) tiff.Put32(*link, 0);
    // Last, so no other write can land on it.
    if (const auto ifd = tiff.FirstIfd())
        if (const auto entry = tiff.FindEntry(*ifd, TagOrientation)) tiff.SetSingleNumber(*entry, 1);
}

// The colour space an ICC profile's header names ("RGB ", "GRAY", "CMYK", ...),
// from the first of its segments; empty when there is none.
std::string iccColourSpace(const std::vector<TJpegSegment>& all)
{
    constexpr std::size_t chunkHeader = 14;  // "ICC_PROFILE\0", sequence number, count
    for (const TJpegSegment& s : all)
        if (s.Marker == 0xE2 && startsWith(s.Data, "ICC_PROFILE") && s.Data.size() >= chunkHeader + 20 &&
            s.Data[12] == 1)
            return std::string(reinterpret_cast<const char*>(s.Data.data()) + chunkHeader + 16, 4);
    return std::string();
}

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

}  // namespace

int ExifOrientation(const std::uint8_t* data, std::size_t size)
{
    if (!isExif(data, size)) return 1;
    // The view only reads; it takes a mutable pointer for the writer's sake.
    TiffView tiff(const_cast<std::uint8_t*>(data) + ExifHeader, size - ExifHeader);
    if (!tiff.Open()) return 1;
    const std::optional<std::uint32_t> ifd0 = tiff.FirstIfd();
    if (!ifd0) return 1;
    const auto entry = tiff.FindEntry(*ifd0, TagOrientation);
    if (!entry) return 1;
    const std::optional<std::uint32_t> value = tiff.SingleNumber(*entry);
    return value && *value >= 1 && *value <= 8 ? int(*value) : 1;
}

bool OrientationSwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

void OrientedSourcePixel(int orientation, int width, int height, int x, int y, int& storedX, int& storedY)
{
    switch (orientation) {
    case 2: storedX = width - 1 - x, storedY = y; break;
    case 3: storedX = width - 1 - x, storedY = height - 1 - y; break;
    case 4: storedX = x, storedY = height - 1 - y; break;
    case 5: storedX = y, storedY = x; break;
    case 6: storedX = y, storedY = height - 1 - x; break;
    case 7: storedX = width - 1 - y, storedY = height - 1 - x; break;
    case 8: storedX = width - 1 - y, storedY = x; break;
    default: storedX = x, storedY = y; break;
    }
}

namespace {

// Copies the upright picture in tiles, so a quarter turn reads each stored
// row a tile's width at a time instead of walking down whole columns. Along
// an upright row the stored position moves one pixel at a time, along a
// stored row or down a stored column.
template <std::size_t Pixel>
void orientTiles(int orientation, int width, int height, int uprightWidth, int uprightHeight,
                 const std::vector<const std::uint8_t*>& storedRows, const std::vector<std::uint8_t*>& uprightRows)
{
    constexpr int tile = 64;
    for (int ty = 0; ty < uprightHeight; ty += tile)
        for (int tx = 0; tx < uprightWidth; tx += tile) {
            const int endX = std::min(tx + tile, uprightWidth);
            for (int y = ty; y < std::min(ty + tile, uprightHeight); ++y) {
                int sx = 0, sy = 0, nx = 0, ny = 0;
                OrientedSourcePixel(orientation, width, height, tx, y, sx, sy);
                OrientedSourcePixel(orientation, width, height, tx + 1, y, nx, ny);
                const std::ptrdiff_t stepX = nx - sx, stepY = ny - sy;
                std::uint8_t* to = uprightRows[std::size_t(y)] + std::size_t(tx) * Pixel;
                for (int x = 0; x < endX - tx; ++x, to += Pixel) {
                    const std::ptrdiff_t fromX = sx + stepX * x, fromY = sy + stepY * x;
                    std::memcpy(to, storedRows[std::size_t(fromY)] + std::size_t(fromX) * Pixel, Pixel);
                }
            }
        }
}

}  // namespace

void OrientPixels(int orientation, int width, int height, int bytesPerPixel,
                  const std::vector<const std::uint8_t*>& storedRows, const std::vector<std::uint8_t*>& uprightRows)
{
    const bool swap = OrientationSwapsSides(orientation);
    const int uprightWidth = swap ? height : width, uprightHeight = swap ? width : height;
    if (storedRows.size() < std::size_t(std::max(height, 0)) ||
        uprightRows.size() < std::size_t(std::max(uprightHeight, 0)))
        return;
    switch (bytesPerPixel) {
    case 1: orientTiles<1>(orientation, width, height, uprightWidth, uprightHeight, storedRows, uprightRows); break;
    case 2: orientTiles<2>(orientation, width, height, uprightWidth, uprightHeight, storedRows, uprightRows); break;
    case 3: orientTiles<3>(orientation, width, height, uprightWidth, uprightHeight, storedRows, uprightRows); break;
    case 4: orientTiles<4>(orientation, width, height, uprightWidth, uprightHeight, storedRows, uprightRows); break;
    default: break;
    }
}

std::vector<TJpegSegment> SegmentsForUprightCopy(const std::vector<TJpegSegment>& all, std::uint32_t width,
                                                 std::uint32_t height, bool grey)
{
    const std::string icc = iccColourSpace(all);
    const bool keepIcc = icc == (grey ? "GRAY" : "RGB ");
    std::vector<TJpegSegment> kept;
    for (const TJpegSegment& s : all) {
        if (s.Marker == 0xE0 && (startsWith(s.Data, "JFIF") || startsWith(s.Data, "JFXX"))) continue;
        if (s.Marker == 0xEE && startsWith(s.Data, "Adobe")) continue;
        if (s.Marker == 0xE2 && startsWith(s.Data, "ICC_PROFILE") && !keepIcc) continue;
        kept.push_back(s);
        if (s.Marker == 0xE1 && isExif(s.Data.data(), s.Data.size())) {
            TiffView tiff(kept.back().Data.data() + ExifHeader, kept.back().Data.size() - ExifHeader);
            if (tiff.Open()) makeUpright(tiff, width, height);
            // A structure so tangled that it still reads as turned is no EXIF worth keeping.
            if (ExifOrientation(kept.back().Data) != 1) kept.pop_back();
        }
    }
    return kept;
}

std::vector<std::uint8_t> PackSegments(const std::vector<TJpegSegment>& segments)
{
    std::vector<std::uint8_t> packed;
    for (const TJpegSegment& s : segments) {
        std::uint8_t head[5] = {s.Marker};
        PutLE32(head + 1, std::uint32_t(s.Data.size()));
        packed.insert(packed.end(), head, head + 5);
        packed.insert(packed.end(), s.Data.begin(), s.Data.end());
    }
    return packed;
}

std::vector<TJpegSegment> UnpackSegments(const std::uint8_t* data, std::size_t size)
{
    std::vector<TJpegSegment> segments;
    std::size_t at = 0;
    while (data && size - at >= 5) {
        const std::uint32_t length = GetLE32(data + at + 1);
        if (length > size - at - 5) break;
        segments.push_back({data[at], std::vector<std::uint8_t>(data + at + 5, data + at + 5 + length)});
        at += 5 + length;
    }
    return segments;
}

std::uint64_t JpegFillBytes(const TJpegFrameShape& shape)
{
    const int components = std::clamp(shape.Components, 0, 4);
    int maxH = 1, maxV = 1;
    for (int c = 0; c < components; ++c) {
        maxH = std::max(maxH, shape.HorizontalSampling[c]);
        maxV = std::max(maxV, shape.VerticalSampling[c]);
    }
    // Each component's own blocks, without the padding of interleaved scans:
    // a lower bound for any scan order.
    std::uint64_t blocks = 0;
    for (int c = 0; c < components; ++c) {
        const std::uint64_t w = ceilDiv(std::uint64_t(shape.Width) * std::max(shape.HorizontalSampling[c], 1), maxH);
        const std::uint64_t h = ceilDiv(std::uint64_t(shape.Height) * std::max(shape.VerticalSampling[c], 1), maxV);
        blocks += ceilDiv(w, 8) * ceilDiv(h, 8);
    }
    const std::uint64_t bits = shape.Arithmetic ? ceilDiv(blocks, 32768) : blocks;
    return ceilDiv(bits, 8);
}

TJpegScanData::TJpegScanData(From from, std::uint32_t restartInterval)
    : state_(from == From::ScanData ? State::Coded : State::Between),
      scanSeen_(from == From::ScanData),
      restartInterval_(restartInterval)
{
}

void TJpegScanData::marker(std::uint8_t code)
{
    const bool frame = code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
    segment_ = code == 0xDA ? Segment::Scan : code == 0xDD ? Segment::Restart : Segment::Other;
    if (code == 0xD9) {
        state_ = State::Ended;
    } else if (code == 0xD8 && !scanSeen_) {
        restartInterval_ = 0;  // the start of the stream resets it, as in libjpeg
        state_ = State::Between;
    } else if ((code >= 0xD0 && code <= 0xD7) || code == 0x01) {
        state_ = State::Between;  // markers without a length
    } else if (code == 0xDA || code == 0xC4 || code == 0xCC || (code >= 0xDB && code <= 0xDD) ||
               (code >= 0xE0 && code <= 0xEF) || code == 0xFE || (frame && !scanSeen_)) {
        state_ = State::LengthHigh;
    } else {
        state_ = State::Ended;
    }
}

void TJpegScanData::segmentDone()
{
    scanSeen_ = scanSeen_ || segment_ == Segment::Scan;
    state_ = segment_ == Segment::Scan ? State::Coded : State::Between;
}

void TJpegScanData::Feed(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t* const end = data + size;
    while (data < end && state_ != State::Ended) {
        if (state_ == State::Skip) {
            const std::size_t step = std::min<std::size_t>(skip_, std::size_t(end - data));
            data += step;
            skip_ -= std::uint32_t(step);
            if (skip_ == 0) segmentDone();
            continue;
        }
        const std::uint8_t b = *data++;
        switch (state_) {
        case State::Coded:
            if (b == 0xFF)
                state_ = State::CodedMarker;
            else
                ++bytes_;
            break;
        case State::CodedMarker:
            if (b == 0x00) {
                ++bytes_;  // a stuffed 0xFF
                state_ = State::Coded;
            } else if (b >= 0xD0 && b <= 0xD7 && restartInterval_ != 0) {
                state_ = State::Coded;  // a restart: the scan goes on
            } else if (b != 0xFF) {
                // Any other marker ends the scan's data, a restart marker
                // too where no interval is set: libjpeg reads no further.
                marker(b);
            }
            break;
        case State::Between:
            // libjpeg skips stray bytes up to the next marker.
            if (b == 0xFF) state_ = State::BetweenMarker;
            break;
        case State::BetweenMarker:
            if (b == 0x00)
                state_ = State::Between;
            else if (b != 0xFF)
                marker(b);
            break;
        case State::LengthHigh:
            skip_ = std::uint32_t(b) << 8;
            state_ = State::LengthLow;
            break;
        case State::LengthLow:
            skip_ |= b;
            // libjpeg refuses a length below 2, and a restart interval
            // segment of any length but 4.
            if (skip_ < 2 || (segment_ == Segment::Restart && skip_ != 4)) {
                state_ = State::Ended;
            } else if (segment_ == Segment::Restart) {
                state_ = State::IntervalHigh;
            } else {
                skip_ -= 2;
                state_ = State::Skip;
                if (skip_ == 0) segmentDone();
            }
            break;
        case State::IntervalHigh:
            restartInterval_ = std::uint32_t(b) << 8;
            state_ = State::IntervalLow;
            break;
        case State::IntervalLow:
            restartInterval_ |= b;
            segmentDone();
            break;
        default: break;
        }
    }
}

std::size_t TJpegScanData::FeedUntil(const std::uint8_t* data, std::size_t size, std::uint64_t enough)
{
    std::size_t taken = 0, piece = 512;
    while (taken < size && state_ != State::Ended && bytes_ < enough) {
        const std::size_t step = std::min(size - taken, piece);
        Feed(data + taken, step);
        taken += step;
        piece = std::min<std::size_t>(piece * 2, std::size_t(1) << 16);
    }
    return taken;
}
