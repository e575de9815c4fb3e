// Portable maps: P1 to P6, text and binary. The header is read token by
// token, so a header on one line, comments between any two of its numbers
// and text bitmaps whose digits touch all load as netpbm reads them.

#include "formats/ImageFormatsPnm.h"
#include "formats/ImageFormatsReading.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace FormatStrings;
using loaders::FormatReader;
using loaders::PeekHeader;

namespace {

const char* const PPMName = "PPM";
const char* const PPMFormats = "PBM, PGM or PPM";

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool isDigit(int c) { return c >= '0' && c <= '9'; }

}  // namespace

bool TPPMGraphic::CanLoad(TStream& stream)
{
    std::uint8_t magic[2];
    return PeekHeader(stream, magic, 2, 11) && magic[0] == 'P' && magic[1] >= '1' && magic[1] <= '6';
}

std::uint8_t TPPMGraphic::ReadByte()
{
    if (BufferIndex >= bufferFill_) {
        const std::int64_t left = reader_->Remaining();
        if (left == 0) reader_->Fail(TReadFault::ShortData);
        bufferFill_ = static_cast<std::size_t>(std::min<std::int64_t>(left, Buffer.size()));
        reader_->Read(Buffer.data(), bufferFill_);
        BufferIndex = 0;
    }
    return Buffer[BufferIndex++];
}

void TPPMGraphic::ReadBytes(std::uint8_t* dest, std::size_t count)
{
    // What the buffer holds first, then straight from the stream.
    const std::size_t buffered = std::min(count, bufferFill_ - BufferIndex);
    std::memcpy(dest, Buffer.data() + BufferIndex, buffered);
    BufferIndex += buffered;
    reader_->Read(dest + buffered, count - buffered);
}

int TPPMGraphic::PeekByte()
{
    if (BufferIndex >= bufferFill_ && reader_->Remaining() == 0) return -1;
    std::uint8_t b = ReadByte();
    --BufferIndex;
    return b;
}

void TPPMGraphic::SkipBlanks()
{
    for (;;) {
        int c = PeekByte();
        if (c == '#') {
            while (c != '\n' && c != '\r' && c != -1) c = ReadByte(), c = PeekByte();
        } else if (isBlank(c)) {
            ReadByte();
        } else {
            return;
        }
    }
}

std::uint32_t TPPMGraphic::ReadNumber()
{
    SkipBlanks();
    if (PeekByte() == -1) reader_->Fail(TReadFault::ShortData);
    if (!isDigit(PeekByte())) ImageFormatsError(gesInvalidImage, {PPMFormats});
    std::uint64_t value = 0;
    while (isDigit(PeekByte())) {
        value = value * 10 + (ReadByte() - '0');
        // Past 32 bits no size or sample is sound.
        if (value > 0xFFFFFFFFu) ImageFormatsError(gesInvalidImage, {PPMFormats});
    }
    // The one separator after the number; a comment there ends with its line.
    if (PeekByte() == '#')
        while (ReadByte() != '\n') {
        }
    else if (PeekByte() != -1)
        ReadByte();
    return static_cast<std::uint32_t>(value);
}

int TPPMGraphic::ReadHeader()
{
    if (PeekByte() != 'P') return -1;
    ReadByte();
    const std::uint8_t digit = ReadByte();
    if (!isDigit(digit)) ImageFormatsError(gesInvalidImage, {PPMFormats});
    const int kind = digit - '0';
    if (kind < 1 || kind > 6) return 0;
    TImageProperties& p = ImageProperties;
    p.Compression = ctNone;
    p.Width = ReadNumber();
    p.Height = ReadNumber();
    const bool bitmap = kind == 1 || kind == 4;
    maxValue_ = bitmap ? 1 : ReadNumber();
    if (!bitmap && (maxValue_ == 0 || maxValue_ > 65535)) ImageFormatsError(gesInvalidImage, {PPMFormats});
    const bool colour = kind == 3 || kind == 6;
    p.SamplesPerPixel = colour ? 3 : 1;
    p.BitsPerSample = bitmap ? 1 : 8;
    p.ColorScheme = colour ? csRGB : csIndexed;
    p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
    return kind;
}

bool TPPMGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    reader_ = std::make_unique<FormatReader>(stream, PPMName);
    BufferIndex = bufferFill_ = Buffer.size();
    maxValue_ = 0;
    struct Release {
        std::unique_ptr<BoundedReader>& reader;
        ~Release() { reader.reset(); }
    } release{reader_};
    kind_ = ReadHeader();
    return kind_ >= 0;
}

std::uint8_t TPPMGraphic::Scale(std::uint32_t value) const
{
    // Every maximum value spans 0..255, rounded as netpbm scales.
    value = std::min(value, maxValue_);
    if (maxValue_ == 255) return static_cast<std::uint8_t>(value);
    return static_cast<std::uint8_t>((value * 255u + maxValue_ / 2) / maxValue_);
}

const char* TPPMGraphic::FormatName() const { return PPMFormats; }

void TPPMGraphic::LoadImage(TStream& stream)
{
    StartProgress(gesTransfering);
    TEndProgress endProgress{*this};
    // The pixels follow the header in the buffer the header was read through.
    reader_ = std::make_unique<FormatReader>(stream, PPMName);
    struct Release {
        std::unique_ptr<BoundedReader>& reader;
        ~Release() { reader.reset(); }
    } release{reader_};
    if (kind_ > 0) LoadPixels(kind_);
}

void TPPMGraphic::LoadPixels(int kind)
{
    const std::uint32_t width = ImageProperties.Width, height = ImageProperties.Height;
    const bool bitmap = kind == 1 || kind == 4;
    const bool colour = kind == 3 || kind == 6;
    const bool text = kind <= 3;
    const std::size_t samples = colour ? 3 : 1;
    const std::size_t sampleBytes = !text && maxValue_ > 255 ? 2 : 1;

    // What the data must hold at least: one character per text sample, the
    // stored bytes for binary rows. Checked before the picture is made.
    const std::size_t storedRow = bitmap && !text ? (std::size_t(width) + 7) / 8 : width * samples * sampleBytes;
    const std::int64_t left = reader_->Remaining() + static_cast<std::int64_t>(bufferFill_ - BufferIndex);
    const std::size_t needed = bitmap && !text ? CheckedPictureBytes(storedRow, height, 1, left, 1, reader_->Handler())
                                               : CheckedPictureBytes(width, height, samples * (text ? 1 : sampleBytes),
                                                                     left, 1, reader_->Handler());
    if (!text && needed > static_cast<std::uint64_t>(left)) reader_->Fail(TReadFault::ShortData);

    TColorManager& cm = *ColorManager;
    cm.SetTargetSamplesPerPixel(1);
    if (bitmap) {
        cm.SetTargetBitsPerSample(1);
        SetPixelFormat(pf1bit);
        SetPalette(cm.CreateGrayscalePalette(true));
    } else if (!colour) {
        cm.SetTargetBitsPerSample(8);
        SetPixelFormat(pf8bit);
        SetPalette(cm.CreateGrayscalePalette(false));
    } else {
        SetPixelFormat(pf24bit);
    }
    // No pixels: the picture stays empty (no size either).
    if (width == 0 || height == 0) return;
    SetSize(static_cast<int>(width), static_cast<int>(height));

    std::vector<std::uint8_t> row(storedRow);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* line = ScanLine(static_cast<int>(y));
        if (kind == 1) {
            // One digit per pixel: the digits may touch or stand apart.
            std::memset(line, 0, (std::size_t(width) + 7) / 8);
            for (std::uint32_t x = 0; x < width; ++x) {
                SkipBlanks();
                const std::uint8_t c = ReadByte();
                if (c != '0' && c != '1') ImageFormatsError(gesInvalidImage, {PPMFormats});
                if (c == '1') line[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
            }
        } else if (text) {
            for (std::size_t i = 0; i < std::size_t(width) * samples; ++i) row[i] = Scale(ReadNumber());
        } else {
            ReadBytes(row.data(), storedRow);
            if (kind == 4) {
                std::memcpy(line, row.data(), storedRow);
                // Bits past the width are not pixels.
                if (width % 8) line[storedRow - 1] &= static_cast<std::uint8_t>(0xFF00u >> (width % 8));
            } else if (sampleBytes == 2) {
                for (std::size_t i = 0; i < std::size_t(width) * samples; ++i)
                    row[i] = Scale(GetBE16(row.data() + 2 * i));
            } else if (maxValue_ < 255) {
                for (std::size_t i = 0; i < std::size_t(width) * samples; ++i) row[i] = Scale(row[i]);
            }
        }
        if (kind == 2 || kind == 5) {
            std::memcpy(line, row.data(), width);
        } else if (colour) {
            for (std::uint32_t x = 0; x < width; ++x) {
                line[3 * x] = row[3 * x + 2];
                line[3 * x + 1] = row[3 * x + 1];
                line[3 * x + 2] = row[3 * x];
            }
        }
        RowDone(y, height);
    }
}
