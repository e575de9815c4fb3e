#include "widgets/kitprocs.h"

#include "platform/core/ByteOrder.h"
#include "platform/core/CheckedSizes.h"
#include "platform/strings/StringList.h"
#include "widgets/kitwave.h"

#include <QPainter>

#include <algorithm>
#include <cstring>
#include <limits>

// ---------------------------------------------------------------------------
// Plain records

void WriteIntegerRecord(TStream& stream, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                                   static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
    stream.WriteBuffer(bytes, 4);
}

std::int32_t ReadIntegerRecord(TStream& stream) { return static_cast<std::int32_t>(stream.ReadLE32()); }

void WriteByteRecord(TStream& stream, std::uint8_t value) { stream.WriteBuffer(&value, 1); }

std::uint8_t ReadByteRecord(TStream& stream) { return stream.ReadByte(); }

void WriteBooleanRecord(TStream& stream, bool value) { WriteByteRecord(stream, value ? 1 : 0); }

bool ReadBooleanRecord(TStream& stream) { return ReadByteRecord(stream) != 0; }

void WriteShortStringRecord(TStream& stream, const std::string& text)
{
    const std::size_t length = std::min<std::size_t>(text.size(), 255);
    WriteByteRecord(stream, static_cast<std::uint8_t>(length));
    if (length) stream.WriteBuffer(text.data(), length);
}

std::string ReadShortStringRecord(TStream& stream)
{
    std::string text(ReadByteRecord(stream), '\0');
    if (!text.empty()) stream.ReadBuffer(text.data(), text.size());
    return text;
}

void WriteSizedBlock(TStream& stream, const std::uint8_t* data, std::size_t size)
{
    if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw EKitRecordError("Block too large for a stream record");
    WriteIntegerRecord(stream, static_cast<std::int32_t>(size));
    if (size) stream.WriteBuffer(data, size);
}

void WriteSizedBlock(TStream& stream, const std::vector<std::uint8_t>& data)
{
    WriteSizedBlock(stream, data.data(), data.size());
}

std::vector<std::uint8_t> ReadSizedBlock(TStream& stream)
{
    const std::int32_t size = ReadIntegerRecord(stream);
    if (size < 0 || size > stream.Remaining()) throw EReadError("Stream read error");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (size) stream.ReadBuffer(bytes.data(), bytes.size());
    return bytes;
}

// ---------------------------------------------------------------------------
// Compressed streams

void WriteCompressedStream(TStream& source, TStream& dest)
{
    const std::int64_t totalAt = dest.Position();
    WriteIntegerRecord(dest, 0);  // patched below
    std::int64_t total = 0;
    std::vector<std::uint8_t> piece(KitStreamBlockInput);
    for (;;) {
        const std::size_t got = source.Read(piece.data(), piece.size());
        if (got == 0) break;
        const auto block = CompressBlock(piece.data(), got);
        WriteSizedBlock(dest, block);
        total += 4 + static_cast<std::int64_t>(block.size());
        if (total > std::numeric_limits<std::int32_t>::max())
            throw EKitRecordError("Block too large for a stream record");
    }
    const std::int64_t endAt = dest.Position();
    dest.SetPosition(totalAt);
    WriteIntegerRecord(dest, static_cast<std::int32_t>(total));
    dest.SetPosition(endAt);
}

void ReadCompressedStream(TStream& source, TStream& dest)
{
    std::int64_t left = ReadIntegerRecord(source);
    if (left < 0 || left > source.Remaining()) throw EReadError("Stream read error");
    while (left > 0) {
        if (left < 4) throw ELzrwError();
        const std::int32_t length = ReadIntegerRecord(source);
        left -= 4;
        // A block's bytes lie within the total, and one block is never larger
        // than a stored block of the largest input.
        if (length <= 0 || length > left || static_cast<std::size_t>(length) > KitMaxBlockInput + 1) throw ELzrwError();
        std::vector<std::uint8_t> block(static_cast<std::size_t>(length));
        source.ReadBuffer(block.data(), block.size());
        left -= length;
        const auto expanded = DecompressBlock(block);
        if (!expanded.empty()) dest.WriteBuffer(expanded.data(), expanded.size());
    }
}

// ---------------------------------------------------------------------------
// String lists

void WriteStringListRecord(TStream& stream, const TStringList& list, bool compressed)
{
    const std::string text = list.Text();
    if (compressed) {
        TByteViewStream source(text.data(), text.size());
        WriteCompressedStream(source, stream);
    } else {
        WriteSizedBlock(stream, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
}

void ReadStringListRecord(TStream& stream, TStringList& list, bool compressed)
{
    std::string text;
    if (compressed) {
        TMemoryStream expanded;
        ReadCompressedStream(stream, expanded);
        text.assign(expanded.Bytes().begin(), expanded.Bytes().end());
    } else {
        const auto bytes = ReadSizedBlock(stream);
        text.assign(bytes.begin(), bytes.end());
    }
    list.SetText(text);
}

// ---------------------------------------------------------------------------
// DIB records

namespace {
void PutLE16(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void PutLE32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    PutLE16(out, value & 0xFFFF);
    PutLE16(out, value >> 16);
}

int OwnBitsPerPixel(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB: return 1;
    case QImage::Format_Indexed8: return 8;
    default: return 24;  // 16- and 32-bit pictures are written as 24 bits
    }
}

// The 16 colours of a 4-bit display, for pictures written with 16 colours.
QList<QRgb> SixteenColours()
{
    static const QRgb colours[16] = {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080,
                                     0xFF008080, 0xFF808080, 0xFFC0C0C0, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00,
                                     0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
    return QList<QRgb>(std::begin(colours), std::end(colours));
}

}  // namespace

std::vector<std::uint8_t> MakeDIBRecord(const QImage& bitmap, int colorDepth)
{
    if (bitmap.isNull()) throw Exception("Bitmap image is not valid");
    int bits = OwnBitsPerPixel(bitmap);
    if (bits != 1) {  // a monochrome bitmap always keeps one bit
        if (colorDepth == 2)
            bits = 1;
        else if (colorDepth == 16)
            bits = 4;
        else if (colorDepth == 256)
            bits = 8;
    }
    QImage image;
    if (bits == 1) {
        image = bitmap.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    } else if (bits == 4) {
        image = bitmap.convertToFormat(QImage::Format_Indexed8, SixteenColours(), Qt::ThresholdDither);
    } else if (bits == 8) {
        image = bitmap.format() == QImage::Format_Indexed8
                    ? bitmap
                    : bitmap.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    } else {
        image = bitmap.convertToFormat(QImage::Format_RGB888);
    }
    const std::uint32_t width = static_cast<std::uint32_t>(image.width());
    const std::uint32_t height = static_cast<std::uint32_t>(image.height());
    const std::uint32_t stride = (width * bits + 31) / 32 * 4;
    const std::uint32_t imageSize = height * stride;
    const std::uint32_t paletteSize = bits == 24 ? 0 : 4u << bits;
    const std::uint32_t offset = 14 + 40 + paletteSize;

    std::vector<std::uint8_t> out;
    out.reserve(offset + imageSize);
    out.push_back('B');
    out.push_back('M');
    PutLE32(out, offset + imageSize);
    PutLE32(out, 0);
    PutLE32(out, offset);
    PutLE32(out, 40);
    PutLE32(out, width);
    PutLE32(out, height);
    PutLE16(out, 1);
    PutLE16(out, static_cast<std::uint32_t>(bits));
    PutLE32(out, 0);  // no compression
    PutLE32(out, imageSize);
    for (int i = 0; i < 4; ++i) PutLE32(out, 0);
    if (bits != 24) {
        const QList<QRgb> table = image.colorTable();
        for (std::uint32_t i = 0; i < (1u << bits); ++i) {
            const QRgb c = i < static_cast<std::uint32_t>(table.size()) ? table[i] : 0;
            out.push_back(static_cast<std::uint8_t>(qBlue(c)));
            out.push_back(static_cast<std::uint8_t>(qGreen(c)));
            out.push_back(static_cast<std::uint8_t>(qRed(c)));
            out.push_back(0);
        }
    }
    std::vector<std::uint8_t> row(stride);
    for (int y = static_cast<int>(height) - 1; y >= 0; --y) {  // bottom row first
        std::fill(row.begin(), row.end(), 0);
        const uchar* line = image.constScanLine(y);
        if (bits == 1) {
            std::memcpy(row.data(), line, (width + 7) / 8);  // Format_Mono is MSB first, like a DIB
        } else if (bits == 4) {
            for (std::uint32_t x = 0; x < width; ++x)
                row[x / 2] |= static_cast<std::uint8_t>((line[x] & 0x0F) << (x % 2 ? 0 : 4));
        } else if (bits == 8) {
            std::memcpy(row.data(), line, width);
        } else {
            for (std::uint32_t x = 0; x < width; ++x) {
                row[x * 3] = line[x * 3 + 2];
                row[x * 3 + 1] = line[x * 3 + 1];
                row[x * 3 + 2] = line[x * 3];
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

void WriteDIBRecord(TStream& stream, const QImage& bitmap, int colorDepth)
{
    const auto record = MakeDIBRecord(bitmap, colorDepth);
    stream.WriteBuffer(record.data(), record.size());
}

QImage ParseDIBRecord(const std::vector<std::uint8_t>& in)
{
    auto fail = []() -> QImage { throw EKitRecordError("Bitmap image is not valid"); };
    if (in.size() < 14 + 40 || in[0] != 'B' || in[1] != 'M') return fail();
    const std::uint32_t offset = GetLE32(in.data() + 10);
    const std::uint32_t headerSize = GetLE32(in.data() + 14);
    if (headerSize < 40 || headerSize > in.size() - 14) return fail();
    const std::int32_t width = static_cast<std::int32_t>(GetLE32(in.data() + 18));
    const std::int32_t rawHeight = static_cast<std::int32_t>(GetLE32(in.data() + 22));
    const int bits = GetLE16(in.data() + 28);
    const std::uint32_t compression = GetLE32(in.data() + 30);
    const std::uint32_t colorsUsed = GetLE32(in.data() + 46);
    if (width <= 0 || rawHeight == 0 || rawHeight == std::numeric_limits<std::int32_t>::min()) return fail();
    if (compression != 0) return fail();
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return fail();
    const bool bottomUp = rawHeight > 0;
    const std::uint32_t height = static_cast<std::uint32_t>(bottomUp ? rawHeight : -rawHeight);
    if (static_cast<std::uint64_t>(width) * height > MaxPixelCount) return fail();
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
    if (offset > in.size() || stride * height > in.size() - offset) return fail();

    QImage image;
    if (bits <= 8) {
        const std::uint32_t maxColours = 1u << bits;
        const std::uint32_t colours = colorsUsed == 0 ? maxColours : colorsUsed;
        if (colours > maxColours) return fail();
        const std::uint64_t paletteAt = 14 + static_cast<std::uint64_t>(headerSize);
        if (paletteAt + 4ull * colours > offset) return fail();
        QList<QRgb> table(static_cast<qsizetype>(maxColours), qRgb(0, 0, 0));
        for (std::uint32_t i = 0; i < colours; ++i) {
            const std::size_t at = static_cast<std::size_t>(paletteAt + 4ull * i);
            table[i] = qRgb(in[at + 2], in[at + 1], in[at]);
        }
        image = QImage(width, static_cast<int>(height), bits == 1 ? QImage::Format_Mono : QImage::Format_Indexed8);
        image.setColorTable(table);
    } else {
        image = QImage(width, static_cast<int>(height), QImage::Format_RGB32);
    }
    if (image.isNull()) return fail();
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = in.data() + offset + stride * (bottomUp ? height - 1 - y : y);
        uchar* line = image.scanLine(static_cast<int>(y));
        if (bits == 1) {
            std::memcpy(line, row, (static_cast<std::size_t>(width) + 7) / 8);
        } else if (bits == 4) {
            for (std::int32_t x = 0; x < width; ++x) line[x] = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
        } else if (bits == 8) {
            std::memcpy(line, row, static_cast<std::size_t>(width));
        } else {
            auto* pixels = reinterpret_cast<QRgb*>(line);
            const int step = bits / 8;
            for (std::int32_t x = 0; x < width; ++x) {
                const std::uint8_t* p = row + static_cast<std::size_t>(x) * step;
                pixels[x] = qRgb(p[2], p[1], p[0]);
            }
        }
    }
    return image;
}

// ---------------------------------------------------------------------------
// Bitmap and wave records

void WriteBitmapRecord(TStream& stream, const QImage& bitmap, bool compressed, int colorDepth)
{
    const auto record = MakeDIBRecord(bitmap, colorDepth);
    if (compressed) {
        TByteViewStream source(record.data(), record.size());
        WriteCompressedStream(source, stream);
    } else {
        WriteSizedBlock(stream, record);
    }
}

QImage ReadBitmapRecord(TStream& stream, bool compressed)
{
    if (compressed) {
        TMemoryStream expanded;
        ReadCompressedStream(stream, expanded);
        return ParseDIBRecord(expanded.Bytes());
    }
    return ParseDIBRecord(ReadSizedBlock(stream));
}

void WriteWaveRecord(TStream& stream, const TKitWave& wave, bool compressed)
{
    const auto bytes = wave.Bytes();
    if (compressed) {
        TByteViewStream source(bytes.data(), bytes.size());
        WriteCompressedStream(source, stream);
    } else {
        WriteSizedBlock(stream, bytes);
    }
}

void ReadWaveRecord(TStream& stream, TKitWave& wave, bool compressed)
{
    TMemoryStream bytes;
    if (compressed) {
        ReadCompressedStream(stream, bytes);
    } else {
        auto block = ReadSizedBlock(stream);
        if (!block.empty()) bytes.WriteBuffer(block.data(), block.size());
    }
    bytes.SetPosition(0);
    wave.LoadSized(bytes, bytes.Size());
}

// ---------------------------------------------------------------------------
// Drawing

namespace {
QColor FromGdi(unsigned color) { return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF); }
QRect ToQRect(const TKitRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
}  // namespace

QImage FillBitmap(const TKitRect& rect, unsigned color)
{
    QImage image(std::max(rect.Width(), 0), std::max(rect.Height(), 0), QImage::Format_RGB32);
    if (!image.isNull()) image.fill(FromGdi(color));
    return image;
}

QImage MakeTransparencyMask(const QImage& picture, unsigned color)
{
    if (picture.isNull()) return QImage();
    // White where the picture has the transparent colour, black elsewhere.
    QImage mask = picture.createMaskFromColor(FromGdi(color).rgb(), Qt::MaskInColor);
    return mask.convertToFormat(QImage::Format_RGB32);
}

TKitRect DrawBitmapInRect(QPainter& canvas, const TKitRect& target, const QImage& picture, unsigned color,
                          std::uint32_t offset, unsigned mode, const QImage* mask)
{
    TKitRect covered = target;
    if (picture.isNull() || target.Width() <= 0 || target.Height() <= 0) {
        covered.Right = covered.Left;
        covered.Bottom = covered.Top;
        return covered;
    }
    const int pw = picture.width(), ph = picture.height();
    int w = pw, h = ph;
    if (mode & KitDraw::Stretch) {
        const unsigned keep = mode & (KitDraw::KeepWidthScale | KitDraw::KeepHeightScale);
        if (keep == (KitDraw::KeepWidthScale | KitDraw::KeepHeightScale)) {
            const TKitRect fit = AspectFitRect({0, 0, pw, ph}, target);
            w = fit.Width();
            h = fit.Height();
        } else if (keep == KitDraw::KeepHeightScale) {  // the height follows the width's scale
            w = target.Width();
            h = static_cast<int>(static_cast<double>(ph) * w / pw);
        } else if (keep == KitDraw::KeepWidthScale) {  // the width follows the height's scale
            h = target.Height();
            w = static_cast<int>(static_cast<double>(pw) * h / ph);
        } else {
            w = target.Width();
            h = target.Height();
        }
    }
    int x = target.Left, y = target.Top;
    if (mode & KitDraw::Center) {
        x += (target.Width() - w) / 2;
        y += (target.Height() - h) / 2;
    }

    canvas.save();
    if (mode & KitDraw::Clip) {
        QRect clip = ToQRect(target);
        if (offset) clip.translate(static_cast<std::int16_t>(offset & 0xFFFF), static_cast<std::int16_t>(offset >> 16));
        canvas.setClipRect(clip);
    }
    QImage source = picture;
    if (w != pw || h != ph)
        source = picture.scaled(std::max(w, 1), std::max(h, 1), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (mode & (KitDraw::Transparent | KitDraw::BrushCopy)) {
        // Transparent pixels keep the canvas: draw through an alpha made from the colour.
        const QColor key = (mode & KitDraw::BrushCopy) ? QColor(source.pixel(0, source.height() - 1)) : FromGdi(color);
        QImage alpha = source.convertToFormat(QImage::Format_ARGB32);
        for (int row = 0; row < alpha.height(); ++row) {
            auto* line = reinterpret_cast<QRgb*>(alpha.scanLine(row));
            for (int col = 0; col < alpha.width(); ++col)
                if ((line[col] & 0xFFFFFF) == (key.rgb() & 0xFFFFFF)) line[col] = 0;
        }
        source = alpha;
    } else if ((mode & KitDraw::Masked) && mask && !mask->isNull()) {
        // White mask pixels let the canvas through, black ones take the picture.
        const QImage scaledMask = mask->scaled(source.size()).convertToFormat(QImage::Format_RGB32);
        QImage alpha = source.convertToFormat(QImage::Format_ARGB32);
        for (int row = 0; row < alpha.height(); ++row) {
            auto* line = reinterpret_cast<QRgb*>(alpha.scanLine(row));
            const auto* m = reinterpret_cast<const QRgb*>(scaledMask.constScanLine(row));
            for (int col = 0; col < alpha.width(); ++col)
                if ((m[col] & 0xFFFFFF) != 0) line[col] = 0;
        }
        source = alpha;
    }
    if (mode & KitDraw::Tile) {
        const int columns = target.Width() / source.width() + 1;
        const int rows = target.Height() / source.height() + 1;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) canvas.drawImage(x + c * source.width(), y + r * source.height(), source);
        covered = {x, y, x + columns * source.width(), y + rows * source.height()};
    } else {
        canvas.drawImage(x, y, source);
        covered = {x, y, x + source.width(), y + source.height()};
    }
    canvas.restore();
    return covered;
}
