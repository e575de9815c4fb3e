// SGI loader. Every offset of the run-length tables is checked in 64 bits
// against the stream, and 16-bit samples always pass the colour manager, so
// no row is read or written past its buffer whatever the header says.

#include "formats/ImageFormatsSgi.h"
#include "formats/ImageFormatsReading.h"

#include <algorithm>

using namespace FormatStrings;
using loaders::FormatReader;
using loaders::PeekHeader;

namespace {

const char* const SGIName = "sgi, bw or rgb(a)";
constexpr std::size_t HeaderSize = 512;
constexpr std::uint16_t SGIMagic = 474;

struct SGIHeader {
    std::uint16_t Magic = 0;
    std::uint8_t Storage = 0;
    std::uint8_t BytesPerSample = 0;
    std::uint16_t Dimension = 0;
    std::uint16_t XSize = 0, YSize = 0, ZSize = 0;

    void Parse(const std::uint8_t* b)
    {
        Magic = GetBE16(b);
        Storage = b[2];
        BytesPerSample = b[3];
        Dimension = GetBE16(b + 4);
        XSize = GetBE16(b + 6);
        YSize = GetBE16(b + 8);
        ZSize = GetBE16(b + 10);
        // As netpbm reads them: one dimension is one row of one channel,
        // two dimensions one channel, whatever the other fields hold.
        if (Dimension == 1) YSize = 1;
        if (Dimension == 1 || Dimension == 2) ZSize = 1;
    }
};

}  // namespace

bool TSGIGraphic::CanLoad(TStream& stream)
{
    std::uint8_t header[HeaderSize];
    return PeekHeader(stream, header, HeaderSize, HeaderSize + 1) && GetBE16(header) == SGIMagic &&
           (header[3] == 1 || header[3] == 2) && GetBE16(header + 4) >= 1 && GetBE16(header + 4) <= 3;
}

bool TSGIGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    std::uint8_t bytes[HeaderSize];
    FormatReader(stream, SGIName).Read(bytes, HeaderSize);
    SGIHeader h;
    h.Parse(bytes);
    if (h.Magic != SGIMagic) return false;
    TImageProperties& p = ImageProperties;
    p.Options = BigEndianOption;
    p.BitsPerSample = static_cast<std::uint8_t>(h.BytesPerSample * 8);
    p.Width = h.XSize;
    p.Height = h.YSize;
    p.SamplesPerPixel = static_cast<std::uint8_t>(std::min<std::uint16_t>(h.ZSize, 255));
    p.ColorScheme = h.ZSize == 3 ? csRGB : h.ZSize == 4 ? csRGBA : csIndexed;
    p.BitsPerPixel = static_cast<std::uint8_t>(p.BitsPerSample * p.SamplesPerPixel);
    p.Compression = h.Storage == 1 ? ctRLE : ctNone;
    return true;
}

void TSGIGraphic::ReadRow(BoundedReader& reader, std::uint32_t row, std::uint32_t channel, std::uint32_t bytesPerSample,
                          std::uint8_t* dest)
{
    const std::uint32_t width = ImageProperties.Width, height = ImageProperties.Height;
    const std::size_t rowBytes = std::size_t(width) * bytesPerSample;
    if (ImageProperties.Compression != ctRLE) {
        const std::uint64_t offset = (std::uint64_t(channel) * height + row) * rowBytes;
        reader.Seek(BasePosition + static_cast<std::int64_t>(HeaderSize + offset));
        reader.Read(dest, rowBytes);
        return;
    }
    const std::size_t index = std::size_t(channel) * height + row;
    reader.Seek(BasePosition + static_cast<std::int64_t>(RowStart[index]));
    // The stored length, as the tables give it, but never past the stream.
    const std::uint64_t wanted = std::uint64_t(RowSize[index]) * bytesPerSample;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, reader.Remaining()));
    packed_.resize(count);
    reader.Read(packed_.data(), count);
    const std::uint8_t* source = packed_.data();
    try {
        Decoder->Decode(source, dest, count, rowBytes);
    } catch (const EGraphicCompression&) {
        ImageFormatsError(gesCompression, {SGIName});
    }
    // A row that ends before its width is cut.
    if (Decoder->Produced() < rowBytes) ImageFormatsError(gesCompression, {SGIName});
}

const char* TSGIGraphic::FormatName() const { return SGIName; }

void TSGIGraphic::LoadImage(TStream& stream)
{
    StartProgress(gesPreparing);
    TEndProgress endProgress{*this};
    struct Release {
        TSGIGraphic& g;
        ~Release()
        {
            g.Decoder.reset();
            g.packed_.clear();
        }
    } release{*this};

    FormatReader reader(stream, SGIName);
    const TImageProperties& p = ImageProperties;
    const std::uint32_t width = p.Width, height = p.Height;
    const std::uint32_t bytesPerSample = p.BitsPerSample / 8;
    if (bytesPerSample != 1 && bytesPerSample != 2) ImageFormatsError(gesInvalidImage, {SGIName});
    if (p.SamplesPerPixel == 0) ImageFormatsError(gesInvalidImage, {SGIName});
    const bool rgb = p.ColorScheme == csRGB, rgba = p.ColorScheme == csRGBA;
    // Grey pictures use their first channel only.
    const std::uint32_t channels = rgba ? 4 : rgb ? 3 : 1;

    if (p.Compression == ctRLE) {
        const std::uint64_t entries = reader.Multiply(height, p.SamplesPerPixel);
        std::vector<std::uint8_t> table = reader.Bytes(reader.Multiply(entries, 8));
        RowStart.resize(entries);
        RowSize.resize(entries);
        for (std::size_t i = 0; i < entries; ++i) {
            RowStart[i] = GetBE32(table.data() + 4 * i);
            RowSize[i] = GetBE32(table.data() + 4 * (entries + i));
        }
        Decoder = std::make_unique<TSGIRLEDecoder>(p.BitsPerSample);
        reader.PictureBytes(width, height, channels * bytesPerSample, TSGIRLEDecoder::MaxExpansion);
    } else {
        // Stored rows: every channel read must lie inside the file.
        loaders::RequireStoredPicture(reader, width, height, channels * bytesPerSample);
    }

    TColorManager& cm = *ColorManager;
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetTargetBitsPerSample(8);
    cm.SetSourceSamplesPerPixel(static_cast<std::uint8_t>(channels));
    cm.SetTargetSamplesPerPixel(static_cast<std::uint8_t>(channels));
    cm.SetSourceColorScheme(rgba ? csRGBA : rgb ? csRGB : csIndexed);
    cm.SetTargetColorScheme(rgba ? csBGRA : rgb ? csBGR : csIndexed);
    cm.SourceOptions = ByteSwapOption;
    const TPixelFormat format = cm.PixelFormatFor(true);
    if (!cm.WritesPixelsOf(format)) ImageFormatsError(gesInvalidColorFormat, {SGIName});
    SetPixelFormat(format);
    if (channels == 1) SetPalette(cm.CreateGrayscalePalette(false));
    // No pixels: the picture stays empty (no size either).
    if (width == 0 || height == 0) return;
    SetSize(static_cast<int>(width), static_cast<int>(height));
    NextStage(gesTransfering);

    const std::size_t rowBytes = std::size_t(width) * bytesPerSample;
    // One row of every channel read, side by side.
    std::vector<std::uint8_t> planes(rowBytes * channels);
    std::span<const std::uint8_t> sources[4];
    for (std::uint32_t c = 0; c < channels; ++c)
        sources[c] = std::span<const std::uint8_t>(planes).subspan(c * rowBytes, rowBytes);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t c = 0; c < channels; ++c)
            ReadRow(reader, y, c, bytesPerSample, planes.data() + c * rowBytes);
        cm.ConvertRow(std::span<const std::span<const std::uint8_t>>(sources, channels),
                      ScanLineSpan(static_cast<int>(height - 1 - y)), width);
        RowDone(y, height);
    }
}
