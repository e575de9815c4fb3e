// BMP files: reader, writer and the RLE decoders of the pixel buffer.

#include "raster/RasterFiles.h"

#include "platform/streams/BoundedReader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Run-length data may describe at most this many pixels per byte it has:
// an end-of-line or end-of-picture code leaves the rest blank, so sparse
// pictures are legal, but a few bytes never stand for a huge one.
constexpr std::uint64_t MaxRlePixelsPerByte = 4096;

[[noreturn]] void bmpError(const std::string& why) { throw EBmpError("Invalid BMP file: " + why); }

void raiseBmpFault(TReadFault fault)
{
    switch (fault) {
    case TReadFault::ShortData: bmpError("the file is cut short");
    case TReadFault::TooLarge: bmpError("the picture is too large");
    case TReadFault::CannotFill: bmpError("the run-length data cannot fill the picture");
    }
}

// A mask is usable when it is one run of set bits.
bool contiguous(std::uint32_t mask)
{
    if (mask == 0) return false;
    while (!(mask & 1)) mask >>= 1;
    return (mask & (mask + 1)) == 0;
}
int lowBit(std::uint32_t mask)
{
    int i = 0;
    while (!((mask >> i) & 1)) ++i;
    return i;
}
int bitWidth(std::uint32_t mask)
{
    int n = 0;
    for (; mask; mask &= mask - 1) ++n;
    return n;
}

std::uint32_t colourBytesOf(const BITMAPINFOHEADER& h)
{
    if (h.ClrUsed) return std::min<std::uint32_t>(h.ClrUsed, 256) * 4;
    if (h.Compression == BI_BITFIELDS) return 12;
    if (h.BitCount <= 8) return 4u << h.BitCount;
    return 0;
}

// Reads 16- or 32-bit rows whose masks lie in another order than ours into
// the 24-bit buffer, one row at a time; a short file leaves rows as allocated.
void unpackBitFields(TRasterDIB& dib, BoundedReader& in, std::int64_t available, int bits, const std::uint32_t masks[3])
{
    const std::int64_t fileStride = (std::int64_t(dib.Header.Width) * bits + 31) / 32 * 4;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(fileStride));
    int shift[3], width[3];
    for (int i = 0; i < 3; ++i) {
        shift[i] = lowBit(masks[i]);
        width[i] = bitWidth(masks[i]);
    }
    auto channel = [&](std::uint32_t v, int i) {
        const std::uint32_t field = (v & masks[i]) >> shift[i];
        return width[i] > 8 ? std::uint8_t(field >> (width[i] - 8)) : ExpandField(field, width[i]);
    };
    const int bytes = bits / 8;
    for (std::int32_t r = 0; r < dib.AbsHeight && available >= fileStride; ++r, available -= fileStride) {
        in.Read(row.data(), row.size());
        std::uint8_t* out = dib.Rows[std::size_t(r)];
        for (std::int32_t x = 0; x < dib.Header.Width; ++x, out += 3) {
            const std::uint8_t* p = row.data() + std::size_t(x) * bytes;
            const std::uint32_t v = bytes == 2 ? GetLE16(p) : GetLE32(p);
            out[0] = channel(v, 2);
            out[1] = channel(v, 1);
            out[2] = channel(v, 0);
        }
    }
}

}  // namespace

// --- RLE ------------------------------------------------------------------------

namespace {

// Shared walk of the RLE8/RLE4 escapes; `run` and `literal` write pixels.
// True when the data reached its end code or filled the last row; false
// when it ran out first.
template <class Run, class Literal>
bool decodeRle(const TRasterDIB& dib, const std::uint8_t* data, std::size_t size, bool nibbles, Run run,
               Literal literal)
{
    // Encoders may run into a row's padding (ImageMagick does), so a row
    // holds as many pixels as its stride has room for.
    const std::int64_t width = std::int64_t(dib.Stride) * (nibbles ? 2 : 1), rows = dib.AbsHeight;
    std::int64_t x = 0, row = 0;
    std::size_t pos = 0;
    // Running out of data ends the picture early, like a short uncompressed file.
    while (row < rows && pos + 2 <= size) {
        const std::uint8_t count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count != 0) {
            if (x + count > width) throw ERasterError("RLE run past the end of a row");
            run(int(row), int(x), int(count), value);
            x += count;
            continue;
        }
        switch (value) {
        case 0:
            x = 0;
            ++row;
            break;
        case 1: return true;
        case 2: {
            if (pos + 2 > size) return false;
            const std::uint8_t dx = data[pos], dy = data[pos + 1];
            pos += 2;
            x += dx;
            row += dy;
            if (x > width || row > rows || (row == rows && x > 0))
                throw ERasterError("RLE delta past the end of the picture");
            break;
        }
        default: {
            const std::size_t n = value;
            const std::size_t bytes = nibbles ? (n + 1) / 2 : n;
            if (x + std::int64_t(n) > width) throw ERasterError("RLE literal past the end of a row");
            if (pos + bytes > size) throw ERasterError("RLE literal past the end of the data");
            literal(int(row), int(x), int(n), data + pos);
            pos += bytes;
            pos = (pos + 1) & ~std::size_t(1);  // literal groups end on a 16-bit boundary
            x += std::int64_t(n);
        }
        }
    }
    return row >= rows;
}

void setNibble(std::uint8_t* row, int x, int value)
{
    std::uint8_t& b = row[x >> 1];
    b = (x & 1) ? std::uint8_t((b & 0xF0) | value) : std::uint8_t((b & 0x0F) | (value << 4));
}

}  // namespace

bool TRasterDIB::DecodeRLE8(const std::uint8_t* data, std::size_t size)
{
    if (!data || Header.BitCount != 8 || Rows.empty()) return false;
    return decodeRle(
        *this, data, size, false,
        [this](int row, int x, int count, std::uint8_t v) {
            std::memset(Rows[std::size_t(row)] + x, v, std::size_t(count));
        },
        [this](int row, int x, int n, const std::uint8_t* bytes) {
            std::memcpy(Rows[std::size_t(row)] + x, bytes, std::size_t(n));
        });
}

bool TRasterDIB::DecodeRLE4(const std::uint8_t* data, std::size_t size)
{
    if (!data || Header.BitCount != 4 || Rows.empty()) return false;
    return decodeRle(
        *this, data, size, true,
        [this](int row, int x, int count, std::uint8_t v) {
            for (int i = 0; i < count; ++i) setNibble(Rows[std::size_t(row)], x + i, (i & 1) ? v & 15 : v >> 4);
        },
        [this](int row, int x, int n, const std::uint8_t* bytes) {
            for (int i = 0; i < n; ++i)
                setNibble(Rows[std::size_t(row)], x + i, (i & 1) ? bytes[i / 2] & 15 : bytes[i / 2] >> 4);
        });
}

// --- BMP reader --------------------------------------------------------------------

void ReadBmpStream(TRasterDIB& dib, TStream& stream, TBmpShortData shortData)
{
    const bool refuseShort = shortData == TBmpShortData::Refuse;
    BoundedReader in(stream, raiseBmpFault);
    const std::int64_t start = in.Position();
    const std::int64_t fileSize = in.Size() - start;
    std::uint8_t head[14 + 124] = {};
    if (fileSize < 14 + 12) bmpError("the file is too short");
    in.Read(head, 18);
    if (head[0] != 'B' || head[1] != 'M') bmpError("no BM signature");
    const std::uint32_t headerSize = GetLE32(head + 14);
    if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
        headerSize != 124)
        bmpError("unsupported header size " + std::to_string(headerSize));
    if (fileSize < 14 + std::int64_t(headerSize)) bmpError("the header is cut short");
    in.Read(head + 18, headerSize - 4);

    BITMAPINFO info;
    BITMAPINFOHEADER& h = info.bmiHeader;
    std::int64_t width, height;
    int bits;
    std::uint32_t compression = BI_RGB;
    std::uint32_t colourCount = 0;
    int colourEntrySize = 4;
    std::int64_t tableOffset = 14 + headerSize;
    if (headerSize == 12) {
        // The older core header: 16-bit sizes and three-byte colours.
        width = GetLE16(head + 18);
        height = GetLE16(head + 20);
        bits = GetLE16(head + 24);
        colourEntrySize = 3;
    } else {
        width = std::int32_t(GetLE32(head + 18));
        height = std::int32_t(GetLE32(head + 22));
        bits = GetLE16(head + 28);
        compression = GetLE32(head + 30);
        h.XPelsPerMeter = std::int32_t(GetLE32(head + 38));
        h.YPelsPerMeter = std::int32_t(GetLE32(head + 42));
        colourCount = GetLE32(head + 46);
        h.ClrImportant = GetLE32(head + 50);
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        bmpError("unsupported bit count " + std::to_string(bits));
    if (width <= 0 || height == 0 || height == INT32_MIN) bmpError("bad picture size");
    const std::int64_t absHeight = height < 0 ? -height : height;
    CheckedPixelCount(std::uint64_t(width), std::uint64_t(absHeight), raiseBmpFault);
    const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
    if (compression > BI_BITFIELDS || (compression == BI_RLE8 && bits != 8) || (compression == BI_RLE4 && bits != 4) ||
        (compression == BI_BITFIELDS && bits != 16 && bits != 32))
        bmpError("unsupported compression " + std::to_string(compression));
    if (rle && height < 0) bmpError("a top-down picture cannot be run-length encoded");

    h.Width = std::int32_t(width);
    h.Height = std::int32_t(height);
    h.BitCount = std::uint16_t(bits);
    h.Compression = compression;
    std::uint32_t masks[3] = {0, 0, 0};
    bool reorder = false;
    if (compression == BI_BITFIELDS) {
        std::uint8_t maskBytes[12];
        if (headerSize >= 52) {
            std::memcpy(maskBytes, head + 54, 12);
        } else {
            if (fileSize < tableOffset + 12) bmpError("the colour masks are cut short");
            in.Read(maskBytes, 12);
            tableOffset += 12;
        }
        const std::uint32_t red = GetLE32(maskBytes), green = GetLE32(maskBytes + 4), blue = GetLE32(maskBytes + 8);
        const std::uint32_t limit = bits == 32 ? 0xFFFFFFFFu : 0xFFFFu;
        if (!contiguous(red) || !contiguous(green) || !contiguous(blue) || ((red | green | blue) & ~limit) ||
            (red & green) || (red & blue) || (green & blue))
            bmpError("bad colour masks");
        masks[0] = red;
        masks[1] = green;
        masks[2] = blue;
        // The buffer keeps blue lowest, green above it and red above that;
        // other layouts are unpacked into 24-bit pixels.
        reorder =
            lowBit(blue) != 0 || lowBit(green) != bitWidth(blue) || lowBit(red) != bitWidth(blue) + bitWidth(green);
        std::memcpy(static_cast<void*>(&info.bmiColors[0]), maskBytes, 12);
    }
    if (bits <= 8) {
        const std::uint32_t tableSize = 1u << bits;
        if (colourCount > 256) bmpError("too many colours (" + std::to_string(colourCount) + ")");
        // A declared count of 0 (the whole table) stays 0, so a file read and
        // written again keeps its header bytes.
        const bool wholeTable = colourCount == 0;
        colourCount = colourCount == 0 || colourCount > tableSize ? tableSize : colourCount;
        h.ClrUsed = wholeTable ? 0 : colourCount;
        const std::int64_t available = std::max<std::int64_t>(0, fileSize - tableOffset) / colourEntrySize;
        const std::uint32_t present = std::uint32_t(std::min<std::int64_t>(colourCount, available));
        if (refuseShort && present < colourCount) bmpError("the colour table is cut short");
        std::vector<std::uint8_t> table(std::size_t(present) * colourEntrySize);
        in.Seek(start + tableOffset);
        in.Read(table.data(), table.size());
        for (std::uint32_t i = 0; i < present; ++i) {
            const std::uint8_t* e = table.data() + std::size_t(i) * colourEntrySize;
            info.bmiColors[i] = RGBQUAD{e[0], e[1], e[2], 0};
        }
    } else {
        h.ClrUsed = 0;
        h.ClrImportant = 0;
    }
    h.ClrImportant = std::min<std::uint32_t>(h.ClrImportant, bits <= 8 ? colourCount : 0u);

    const std::int64_t dataOffset = GetLE32(head + 10);
    if (dataOffset < 14 + std::int64_t(headerSize) || dataOffset > fileSize) bmpError("bad pixel data offset");
    const std::int64_t available = fileSize - dataOffset;
    // Checked before the buffer is allocated, so a few hostile bytes cannot
    // claim a huge picture: run-length data in every mode, rows when refusing.
    if (rle)
        CheckedPictureBytes(std::uint64_t(width), std::uint64_t(absHeight), 1, available, MaxRlePixelsPerByte,
                            raiseBmpFault);
    else if (refuseShort && (width * bits + 31) / 32 * 4 * absHeight > available)
        bmpError("the pixel data is cut short");

    if (reorder) {
        h.BitCount = 24;
        h.Compression = BI_RGB;
    }
    dib.SetSizeIndirect(info);
    if (!dib.Bits) bmpError("no memory for the picture");
    in.Seek(start + dataOffset);
    if (reorder) {
        unpackBitFields(dib, in, available, bits, masks);
    } else if (rle) {
        const std::vector<std::uint8_t> encoded = in.Bytes(std::uint64_t(available));
        bool complete = false;
        try {
            complete = compression == BI_RLE8 ? dib.DecodeRLE8(encoded.data(), encoded.size())
                                              : dib.DecodeRLE4(encoded.data(), encoded.size());
        } catch (const EBmpError&) {
            throw;
        } catch (const ERasterError& e) {
            bmpError(e.Message);
        }
        if (refuseShort && !complete) bmpError("the run-length data is cut short");
    } else {
        // A short file leaves the missing rows as allocated.
        const std::int64_t count = std::min<std::int64_t>(dib.Header.ImageSize, available);
        if (count > 0) in.Read(dib.Bits, std::size_t(count));
    }
}

void ReadBmpFile(TRasterDIB& dib, const std::string& fileName, TBmpShortData shortData)
{
    TFileStream stream(fileName, FileMode::OpenRead);
    ReadBmpStream(dib, stream, shortData);
}

// --- BMP writer -------------------------------------------------------------------

void WriteBmpStream(const TRasterDIB& dib, TStream& stream)
{
    const std::uint32_t colourBytes = colourBytesOf(dib.Header);
    std::vector<std::uint8_t> head(54 + colourBytes);
    head[0] = 'B';
    head[1] = 'M';
    PutLE32(&head[2], dib.Header.ImageSize + colourBytes + 54);
    PutLE32(&head[10], colourBytes + 54);
    const BITMAPINFOHEADER& h = dib.Header;
    PutLE32(&head[14], 40);
    PutLE32(&head[18], std::uint32_t(h.Width));
    PutLE32(&head[22], std::uint32_t(h.Height));
    PutLE16(&head[26], 1);
    PutLE16(&head[28], h.BitCount);
    PutLE32(&head[30], h.Compression);
    PutLE32(&head[34], h.ImageSize);
    PutLE32(&head[38], std::uint32_t(h.XPelsPerMeter));
    PutLE32(&head[42], std::uint32_t(h.YPelsPerMeter));
    PutLE32(&head[46], h.ClrUsed);
    PutLE32(&head[50], h.ClrImportant);
    std::memcpy(&head[54], static_cast<const void*>(dib.Colors), colourBytes);
    stream.WriteBuffer(head.data(), head.size());
    if (dib.Bits && h.ImageSize) stream.WriteBuffer(dib.Bits, h.ImageSize);
}

void WriteBmpFile(TRasterDIB& dib, const std::string& fileName)
{
    TFileStream stream(fileName, FileMode::Create);
    WriteBmpStream(dib, stream);
}

void TRasterDIB::SaveToFile(const std::string& fileName) const
{
    TFileStream stream(fileName, FileMode::Create);
    WriteBmpStream(*this, stream);
}
