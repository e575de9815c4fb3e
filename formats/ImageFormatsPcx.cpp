// PCX loader: ZSoft Paintbrush pictures and Word 5 screen captures.

#include "formats/ImageFormatsLoaders.h"
#include "formats/ImageFormatsReading.h"

#include <cstring>

using namespace FormatStrings;
using loaders::FormatReader;
using loaders::PeekHeader;

namespace {

constexpr std::size_t HeaderSize = 128;
constexpr std::size_t TrailingPaletteSize = 769;  // the marker 12 and 256 red, green, blue triples
constexpr std::uint8_t TrailingPaletteMarker = 12;

}  // namespace

bool TPCXGraphic::CanLoad(TStream& stream)
{
    std::uint8_t header[HeaderSize];
    return PeekHeader(stream, header, HeaderSize, HeaderSize + 1) && (header[0] == 10 || header[0] == 12) &&
           (header[1] == 0 || header[1] == 2 || header[1] == 3 || header[1] == 5) && header[2] < 2;
}

bool TPCXGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    std::uint8_t* header = header_.data();
    FormatReader(stream, gesPCX).Read(header, header_.size());
    if (header[0] != 10 && header[0] != 205) return false;
    TImageProperties& p = ImageProperties;
    // Signed arithmetic: a maximum below the minimum is no size at all.
    std::int32_t width = std::int32_t(GetLE16(header + 8)) - GetLE16(header + 4) + 1;
    std::int32_t height = std::int32_t(GetLE16(header + 10)) - GetLE16(header + 6) + 1;
    p.Width = width > 0 ? static_cast<std::uint32_t>(width) : 0;
    p.Height = height > 0 ? static_cast<std::uint32_t>(height) : 0;
    p.SamplesPerPixel = header[65];
    p.BitsPerSample = header[3];
    p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
    p.ColorScheme = p.BitsPerPixel > 8 ? csRGB : csIndexed;
    p.Compression = header[2] == 1 ? ctRLE : ctNone;
    p.XResolution = GetLE16(header + 12);
    p.YResolution = GetLE16(header + 14);
    return true;
}

void TPCXGraphic::SetupPalette(TStream& stream, const std::uint8_t* header, bool trailingPalette)
{
    TColorManager& cm = *ColorManager;
    const std::uint8_t version = header[1];
    const std::uint16_t paletteInfo = GetLE16(header + 68);
    const TPixelFormat format = PixelFormat();
    if (version == 3 && format != pf1bit) {
        SetPalette(SystemPalette16());
        return;
    }
    switch (format) {
    case pf1bit: SetPalette(cm.CreateGrayscalePalette(false)); break;
    case pf4bit:
        if (paletteInfo == 2)
            SetPalette(cm.CreateGrayscalePalette(false));
        else
            SetPalette(cm.CreateColorPalette({std::span<const std::uint8_t>(header + 16, 48)}, pdfInterlaced8Triple, 16,
                                             false));
        break;
    case pf8bit:
        if (trailingPalette) {
            std::int64_t here = stream.Position();
            std::uint8_t palette[TrailingPaletteSize];
            stream.Seek(-static_cast<std::int64_t>(TrailingPaletteSize), SeekOrigin::End);
            FormatReader(stream, gesPCX).Read(palette, TrailingPaletteSize);
            stream.SetPosition(here);
            SetPalette(cm.CreateColorPalette({std::span<const std::uint8_t>(palette + 1, 768)}, pdfInterlaced8Triple,
                                             256, false));
        } else if (paletteInfo == 2) {
            SetPalette(cm.CreateGrayscalePalette(false));
        }
        break;
    default: break;
    }
}

const char* TPCXGraphic::FormatName() const { return gesPCX; }

void TPCXGraphic::LoadImage(TStream& stream)
{
    StartProgress(gesPreparing);
    TEndProgress endProgress{*this};

    FormatReader reader(stream, gesPCX);
    const std::uint8_t* header = header_.data();
    const TImageProperties& p = ImageProperties;

    // The plane layouts this loader places; two or three 1-bit planes and
    // the like have no bitmap format.
    const int planes = p.SamplesPerPixel;
    const int bits = p.BitsPerSample;
    const bool onePlane = planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8);
    const bool fourPlanes = planes == 4 && bits == 1;
    const bool trueColour = planes == 3 && bits == 8;
    if (!onePlane && !fourPlanes && !trueColour) ImageFormatsError(gesInvalidColorFormat, {gesPCX});

    TColorManager& cm = *ColorManager;
    cm.SetSourceColorScheme(p.ColorScheme);
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetSourceSamplesPerPixel(p.SamplesPerPixel);
    cm.SetTargetColorScheme(p.ColorScheme == csIndexed ? csIndexed : csBGR);
    cm.SetTargetBitsPerSample(static_cast<std::uint8_t>(p.BitsPerPixel == 2 ? 4 : p.BitsPerSample));
    cm.SetTargetSamplesPerPixel(p.SamplesPerPixel);
    TPixelFormat format = cm.PixelFormatFor(true);
    if (format == pfCustom) format = pf4bit;  // four 1-bit planes, combined below
    SetPixelFormat(format);

    const std::size_t bytesPerLine = GetLE16(header + 66);
    const std::uint32_t width = p.Width;
    const std::uint32_t height = p.Height;
    if (width == 0 || height == 0) ImageFormatsError(gesInvalidImageSize, {gesPCX});
    // Every plane line must hold the pixels of a row.
    if (bytesPerLine < CheckedRowBytes(width, bits, reader.Handler())) ImageFormatsError(gesInvalidImageSize, {gesPCX});

    // The 256-colour palette is only dropped from the data when it is there.
    const std::int64_t dataStart = reader.Position();
    std::int64_t dataSize = reader.Remaining();
    bool trailingPalette = false;
    if (format == pf8bit && dataSize >= static_cast<std::int64_t>(TrailingPaletteSize)) {
        stream.Seek(-static_cast<std::int64_t>(TrailingPaletteSize), SeekOrigin::End);
        trailingPalette = reader.Byte() == TrailingPaletteMarker;
        stream.SetPosition(dataStart);
        if (trailingPalette) dataSize -= static_cast<std::int64_t>(TrailingPaletteSize);
    }

    if (format != pf24bit) SetupPalette(stream, header, trailingPalette);

    const std::size_t rowBytes = std::size_t(planes) * bytesPerLine;
    const bool runLength = p.Compression == ctRLE;
    // The cap counts pixels; the plane lines (height rows of rowBytes) must
    // be what the data can hold or decode to.
    reader.PixelCount(width, height);
    const std::size_t imageBytes = CheckedPictureBytes(height, 1, rowBytes, dataSize,
                                                       runLength ? TPCXRLEDecoder::MaxExpansion : 1, reader.Handler());
    SetSize(static_cast<int>(width), static_cast<int>(height));

    std::vector<std::uint8_t> data(static_cast<std::size_t>(dataSize));
    reader.Read(data.data(), data.size());
    std::vector<std::uint8_t> buffer;
    if (runLength) {
        buffer.assign(imageBytes, 0);
        TPCXRLEDecoder decoder;
        const std::uint8_t* source = data.data();
        std::uint8_t* dest = buffer.data();
        try {
            decoder.Decode(source, dest, data.size(), imageBytes);
        } catch (const EGraphicCompression&) {
            ImageFormatsError(gesCompression, {gesPCX});
        }
        if (decoder.Produced() < imageBytes) ImageFormatsError(gesStreamReadError, {gesPCX});
    } else {
        if (data.size() < imageBytes) ImageFormatsError(gesStreamReadError, {gesPCX});
        data.resize(imageBytes);
        buffer = std::move(data);
    }
    NextStage(gesTransfering);

    for (std::uint32_t row = 0; row < height; ++row) {
        const std::uint8_t* line = buffer.data() + std::size_t(row) * rowBytes;
        std::span<std::uint8_t> target = ScanLineSpan(static_cast<int>(row));
        if (fourPlanes) {
            const std::size_t outputBytes = (std::size_t(width) * 4 + 7) / 8;
            std::memset(target.data(), 0, outputBytes);
            for (std::uint32_t x = 0; x < width; ++x) {
                const std::size_t at = x / 8;
                const int shift = 7 - static_cast<int>(x % 8);
                std::uint8_t value = 0;
                for (int plane = 0; plane < 4; ++plane)
                    value |= static_cast<std::uint8_t>(((line[plane * bytesPerLine + at] >> shift) & 1) << plane);
                target[x / 2] |= static_cast<std::uint8_t>(x % 2 ? value : value << 4);
            }
        } else if (trueColour) {
            cm.ConvertRow({std::span<const std::uint8_t>(line, bytesPerLine),
                           std::span<const std::uint8_t>(line + bytesPerLine, bytesPerLine),
                           std::span<const std::uint8_t>(line + 2 * bytesPerLine, bytesPerLine)},
                          target, width);
        } else {
            cm.ConvertRow({std::span<const std::uint8_t>(line, bytesPerLine)}, target, width);
        }
        RowDone(row, height);
    }
}
