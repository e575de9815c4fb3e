// Photoshop loader: the merged (flattened) image stored as planes after the
// layers, raw or in PackBits rows.
//
// Only the planes the colour mode shows are read, each from its own rows:
// a channel count below what the mode needs is refused, and extra channels
// (masks, spot colours) are never touched. 1-bit and 16-bit rows are sized
// from their depth, so no row is wider or narrower than its scan line.

#include "formats/ImageFormatsPsd.h"
#include "formats/FormatCompression.h"
#include "formats/ImageFormatsReading.h"
#include "platform/core/AsciiCase.h"

#include <algorithm>
#include <cstring>

using namespace FormatStrings;
using loaders::FormatReader;
using loaders::PeekHeader;

namespace {

constexpr std::size_t HeaderSize = 26;

enum PsdMode : std::uint16_t {
    modeBitmap = 0,
    modeGrey = 1,
    modeIndexed = 2,
    modeRGB = 3,
    modeCMYK = 4,
    modeMultichannel = 7,
    modeDuotone = 8,
    modeLab = 9
};

// The planes a colour scheme is converted from.
unsigned planesOf(TColorScheme scheme)
{
    switch (scheme) {
    case csIndexed:
    case csG: return 1;
    case csRGB:
    case csCIELab: return 3;
    case csRGBA:
    case csCMYK: return 4;
    default: return 0;
    }
}

[[noreturn]] void invalidColorFormat() { ImageFormatsError(gesInvalidColorFormat, {gesPSDFormat}); }

}  // namespace

bool TPSDGraphic::CanLoad(TStream& stream)
{
    std::uint8_t header[6];
    return PeekHeader(stream, header, 6, 27) &&
           AsciiUpper(std::string(reinterpret_cast<const char*>(header), 4)) == "8BPS" && GetBE16(header + 4) == 1;
}

bool TPSDGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    FormatReader reader(stream, gesPSDFormat);
    std::uint8_t header[HeaderSize];
    reader.Read(header, HeaderSize);
    // Version 2 (large documents) has longer section lengths and run-length
    // counts: read as version 1 every pixel would be wrong.
    if (std::memcmp(header, "8BPS", 4) != 0 || GetBE16(header + 4) != 1) return false;
    TImageProperties& p = ImageProperties;
    channels_ = GetBE16(header + 12);
    depth_ = GetBE16(header + 22);
    mode_ = GetBE16(header + 24);
    p.Options = BigEndianOption;
    if (mode_ == modeBitmap) p.Options |= MinIsWhiteOption;
    p.BitsPerSample = static_cast<std::uint8_t>(std::min<std::uint16_t>(depth_, 255));
    p.Channels = static_cast<std::uint8_t>(std::min<std::uint16_t>(channels_, 255));
    p.SamplesPerPixel = static_cast<std::uint8_t>(std::min<std::uint16_t>(channels_, 4));
    p.BitsPerPixel = static_cast<std::uint8_t>(p.BitsPerSample * p.SamplesPerPixel);
    switch (mode_) {
    case modeBitmap:
    case modeGrey:
    case modeDuotone: p.ColorScheme = csG; break;
    case modeIndexed: p.ColorScheme = csIndexed; break;
    case modeRGB:
    case modeMultichannel: p.ColorScheme = channels_ == 3 ? csRGB : csRGBA; break;
    case modeCMYK: p.ColorScheme = csCMYK; break;
    case modeLab: p.ColorScheme = csCIELab; break;
    default: p.ColorScheme = csUnknown; break;
    }
    p.Height = GetBE32(header + 14);
    p.Width = GetBE32(header + 18);
    // The colour-mode data (an indexed picture's palette) is read by the
    // load; the image resources and the layers are never read.
    colourDataLength_ = reader.BE32();
    colourDataStart_ = reader.Position();
    reader.Skip(colourDataLength_);
    for (int section = 0; section < 2; ++section) reader.Skip(reader.BE32());
    p.Compression = reader.BE16() == 1 ? ctPackedBits : ctNone;
    return true;
}

const char* TPSDGraphic::FormatName() const { return gesPSDFormat; }

void TPSDGraphic::LoadImage(TStream& stream)
{
    StartProgress(gesPreparing);
    const TImageProperties& p = ImageProperties;
    TEndProgress endProgress{*this};
    FormatReader reader(stream, gesPSDFormat);
    const std::int64_t dataStart = reader.Position();

    // Only modes and depths with a row layout of their own.
    if (p.ColorScheme == csUnknown) invalidColorFormat();
    const bool bitmapMode = mode_ == modeBitmap;
    if (bitmapMode ? depth_ != 1 : (depth_ != 8 && depth_ != 16)) invalidColorFormat();
    if (p.ColorScheme == csIndexed && depth_ != 8) invalidColorFormat();
    const unsigned planes = planesOf(p.ColorScheme);
    if (channels_ < planes) invalidColorFormat();
    if (p.Width == 0 || p.Height == 0) ImageFormatsError(gesInvalidImageSize, {gesPSDFormat});

    TColorManager& cm = *ColorManager;
    cm.SourceOptions = ByteSwapOption;
    cm.SetSourceBitsPerSample(static_cast<std::uint8_t>(depth_));
    cm.SetTargetBitsPerSample(depth_ == 16 ? 8 : static_cast<std::uint8_t>(depth_));
    cm.SetSourceSamplesPerPixel(static_cast<std::uint8_t>(planes));
    cm.SetTargetSamplesPerPixel(static_cast<std::uint8_t>(p.ColorScheme == csCMYK ? 3 : planes));
    cm.SetSourceColorScheme(p.ColorScheme);
    switch (p.ColorScheme) {
    case csRGBA: cm.SetTargetColorScheme(csBGRA); break;
    case csRGB:
    case csCMYK: cm.SetTargetColorScheme(csBGR); break;
    case csCIELab:
        cm.SetTargetColorScheme(csBGR);
        cm.SourceOptions |= LabScaledLightnessOption | LabOffsetChromaOption;
        break;
    default: cm.SetTargetColorScheme(p.ColorScheme); break;
    }
    cm.PrepareConversion();
    const TPixelFormat format = cm.PixelFormatFor(true);
    if (!cm.WritesPixelsOf(format)) invalidColorFormat();

    // Colour-mode data: the palette of indexed pictures, planar.
    TLogPalette palette;
    if (p.ColorScheme == csIndexed) {
        reader.Seek(colourDataStart_);
        const std::vector<std::uint8_t> colours = reader.Bytes(colourDataLength_);
        reader.Seek(dataStart);
        const std::size_t third = colours.size() / 3;
        const std::span<const std::uint8_t> all(colours);
        palette =
            cm.CreateColorPalette({all.subspan(0, third), all.subspan(third, third), all.subspan(2 * third, third)},
                                  pdfPlane8Triple, static_cast<std::uint32_t>(third), false);
    } else if (p.ColorScheme == csG) {
        palette = cm.CreateGrayscalePalette((p.Options & MinIsWhiteOption) != 0);
    }

    const std::size_t rowBytes = CheckedRowBytes(p.Width, depth_, reader.Handler());
    const bool packed = p.Compression == ctPackedBits;
    std::vector<std::uint16_t> counts;  // of every row of every channel, channel by channel
    reader.PixelCount(p.Width, p.Height);
    if (packed) {
        const std::vector<std::uint8_t> table = reader.Bytes(reader.Multiply(std::uint64_t(p.Height) * 2, channels_));
        counts.resize(table.size() / 2);
        for (std::size_t i = 0; i < counts.size(); ++i) counts[i] = GetBE16(table.data() + 2 * i);
    }
    // Nothing is allocated for a picture the data left could not fill.
    const std::uint64_t expansion = packed ? TPackbitsRLEDecoder::MaxExpansion : 1;
    if (depth_ == 1)
        reader.PictureBytes(rowBytes, p.Height, 1, expansion);
    else
        reader.PictureBytes(p.Width, p.Height, std::uint64_t(planes) * (depth_ / 8u), expansion);

    SetPixelFormat(format);
    SetSize(static_cast<int>(p.Width), static_cast<int>(p.Height));
    if (!palette.Entries.empty()) SetPalette(palette);
    NextStage(planes == 1 ? gesTransfering : gesLoadingData);

    // The stored bytes of the shown planes; packed rows start where the
    // counts of the rows before them end.
    std::vector<std::size_t> rowStart;
    std::uint64_t dataBytes = std::uint64_t(rowBytes) * p.Height * planes;
    if (packed) {
        rowStart.resize(std::size_t(planes) * p.Height + 1, 0);
        for (std::size_t i = 0; i + 1 < rowStart.size(); ++i) rowStart[i + 1] = rowStart[i] + counts[i];
        dataBytes = rowStart.back();
    }
    const std::vector<std::uint8_t> data = reader.Bytes(dataBytes);
    if (planes > 1) {
        NextStage(gesTransfering);
    }

    std::vector<std::vector<std::uint8_t>> rows(planes, std::vector<std::uint8_t>(rowBytes));
    std::span<const std::uint8_t> sources[4];
    TPackbitsRLEDecoder decoder;
    const std::size_t planeBytes = rowBytes * p.Height;
    for (std::uint32_t y = 0; y < p.Height; ++y) {
        for (unsigned c = 0; c < planes; ++c) {
            std::vector<std::uint8_t>& row = rows[c];
            if (packed) {
                const std::size_t i = std::size_t(c) * p.Height + y;
                const std::uint8_t* source = data.data() + rowStart[i];
                std::uint8_t* dest = row.data();
                try {
                    decoder.Decode(source, dest, counts[i], rowBytes);
                } catch (const EGraphicCompression&) {
                    // A run past the row's end keeps what fitted; a row left short is judged below.
                }
                if (decoder.Produced() < rowBytes) reader.Fail(TReadFault::ShortData);
            } else {
                std::memcpy(row.data(), data.data() + c * planeBytes + std::size_t(y) * rowBytes, rowBytes);
            }
            // CMYK inks are stored as 255 - value.
            if (p.ColorScheme == csCMYK)
                std::transform(row.begin(), row.end(), row.begin(), [](std::uint8_t b) { return std::uint8_t(~b); });
            sources[c] = row;
        }
        cm.ConvertRow(std::span<const std::span<const std::uint8_t>>(sources, planes), ScanLineSpan(int(y)), p.Width);
        RowDone(y + 1, p.Height);
    }
}
