// Paint Shop Pro loader: the first raster layer of the layer bank, its
// channels stored whole, run-length coded or deflated.
//
// Every plane is sized from the picture (row bytes × height), never from the
// lengths a channel claims: a channel gives at most that many bytes and
// whatever it lacks stays zero, so no length in the file can make a row
// read outside its plane.

#include "formats/ImageFormatsPsp.h"
#include "formats/FormatCompression.h"
#include "formats/ImageFormatsReading.h"
#include "platform/core/AsciiCase.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

using namespace FormatStrings;
using loaders::FormatReader;
using loaders::PeekHeader;

namespace {

constexpr std::size_t FileHeaderSize = 36;
constexpr std::size_t AttributesSize = 42;
constexpr std::size_t LayerInfoSize = 115;
const std::string Signature = "Paint Shop Pro Image File";

enum PspBlock : std::uint16_t { blockAttributes = 0, blockPalette = 2, blockLayerBank = 3, blockLayer = 4 };
enum PspPlane : std::size_t { planeComposite = 0, planeRed = 1, planeGreen = 2, planeBlue = 3 };

bool signatureMatches(const std::uint8_t* header)
{
    return SameText(std::string(reinterpret_cast<const char*>(header), Signature.size()), Signature);
}

TCompressionCode compressionCode(std::uint16_t value)
{
    switch (value) {
    case 0: return ctNone;
    case 1: return ctRLE;
    case 2: return ctLZ77;
    case 3: return ctJPEG;
    default: return ctUnknown;
    }
}

// The densest each compression packs a channel.
std::uint64_t maxExpansion(TCompressionCode code)
{
    switch (code) {
    case ctRLE: return TPSPRLEDecoder::MaxExpansion;
    case ctLZ77: return TLZ77Decoder::MaxExpansion;
    default: return 1;
    }
}

}  // namespace

bool TPSPGraphic::CanLoad(TStream& stream)
{
    std::uint8_t header[FileHeaderSize];
    return PeekHeader(stream, header, FileHeaderSize, 37) && signatureMatches(header) && GetLE16(header + 32) >= 3;
}

bool TPSPGraphic::readBlockHeader(TBlockHeader& header)
{
    FormatReader reader(*Stream, gesPSPFormat);
    if (reader.Remaining() == 0) return false;
    std::uint8_t marker[4];
    reader.Read(marker, 4);
    header.ID = reader.LE16();
    if (ImageProperties.Version == 3) reader.Skip(4);  // the initial data length
    header.Length = reader.LE32();
    header.DataStart = reader.Position();
    return marker[0] == '~';
}

bool TPSPGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    Stream = &stream;
    FormatReader reader(stream, gesPSPFormat);
    std::uint8_t header[FileHeaderSize];
    reader.Read(header, FileHeaderSize);
    const std::uint16_t major = GetLE16(header + 32);
    if (!signatureMatches(header) || major < 3) return false;
    TImageProperties& p = ImageProperties;
    p.Version = major;
    TBlockHeader block;
    if (!readBlockHeader(block) || block.ID != blockAttributes) return false;
    attributesEnd_ = block.End();
    if (major >= 4) reader.Skip(4);  // the chunk length
    std::uint8_t a[AttributesSize];
    reader.Read(a, AttributesSize);
    p.Width = GetLE32(a);
    p.Height = GetLE32(a + 4);
    double resolution = std::bit_cast<double>(std::uint64_t(GetLE32(a + 8)) | std::uint64_t(GetLE32(a + 12)) << 32);
    const std::uint16_t bitDepth = GetLE16(a + 19);
    if (bitDepth == 24) {
        p.BitsPerSample = 8;
        p.SamplesPerPixel = 3;
        p.ColorScheme = csRGB;
    } else {
        p.BitsPerSample = static_cast<std::uint8_t>(std::min<std::uint16_t>(bitDepth, 255));
        p.SamplesPerPixel = 1;
        p.ColorScheme = a[27] != 0 ? csG : csIndexed;
    }
    p.BitsPerPixel = static_cast<std::uint8_t>(p.BitsPerSample * p.SamplesPerPixel);
    p.Compression = compressionCode(GetLE16(a + 17));
    if (!std::isfinite(resolution)) resolution = 0;
    p.XResolution = static_cast<float>(a[16] == 2 ? resolution * 2.54 : resolution);
    p.YResolution = p.XResolution;
    return true;
}

void TPSPGraphic::readPalette()
{
    FormatReader reader(*Stream, gesPSPFormat);
    if (ImageProperties.Version >= 4) reader.Skip(4);
    const std::uint32_t count = reader.LE32();
    // Entries past the 256 a palette holds are not read.
    const std::uint32_t used = std::min<std::uint32_t>(count, 256);
    const std::vector<std::uint8_t> entries = reader.Bytes(std::uint64_t(used) * 4);
    SetPalette(
        ColorManager->CreateColorPalette({std::span<const std::uint8_t>(entries)}, pdfInterlaced8Quad, used, true));
}

void TPSPGraphic::readChannel()
{
    FormatReader reader(*Stream, gesPSPFormat);
    TBlockHeader block;
    if (!readBlockHeader(block)) reader.Fail(TReadFault::ShortData);
    std::int64_t chunkStart = reader.Position();
    std::uint32_t chunkLength = 0;
    if (ImageProperties.Version >= 4) chunkLength = reader.LE32();
    const std::uint32_t compressedLength = reader.LE32();
    const std::uint32_t uncompressedLength = reader.LE32();
    reader.Skip(2);  // bitmap type
    const std::uint16_t channelType = reader.LE16();
    // The data follows the channel's chunk, which may grow in later versions.
    if (chunkStart + chunkLength > reader.Position()) reader.Seek(chunkStart + chunkLength);

    if (channelType <= planeBlue && !planes_[channelType].empty()) {
        std::vector<std::uint8_t>& plane = planes_[channelType];
        const std::size_t wanted = std::min<std::size_t>(plane.size(), uncompressedLength);
        const TCompressionCode compression = ImageProperties.Compression;
        std::size_t produced = 0;
        // The data lies inside its block, and inside the stream.
        const std::uint64_t inBlock = static_cast<std::uint64_t>(
            std::max<std::int64_t>(0, std::min<std::int64_t>(block.End(), reader.Size()) - reader.Position()));
        if (compression == ctNone) {
            produced = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, inBlock));
            reader.Read(plane.data(), produced);
        } else {
            const std::vector<std::uint8_t> packed = reader.Bytes(std::min<std::uint64_t>(compressedLength, inBlock));
            const std::uint8_t* source = packed.data();
            std::uint8_t* dest = plane.data();
            if (compression == ctRLE) {
                TPSPRLEDecoder decoder;
                try {
                    decoder.Decode(source, dest, packed.size(), wanted);
                } catch (const EGraphicCompression&) {
                    // Runs past the plane's end keep what fitted; a short plane is judged below.
                }
                produced = decoder.Produced();
            } else {
                TLZ77Decoder decoder(Z_FINISH, false);
                decoder.DecodeInit();
                decoder.Decode(source, dest, packed.size(), wanted);
                produced = decoder.Produced();
                const int result = decoder.ZLibResult();
                decoder.DecodeEnd();
                if (result == Z_NEED_DICT || (result < 0 && result != Z_BUF_ERROR))
                    ImageFormatsError(gesCompression, {gesPSPFormat});
            }
        }
        if (produced < plane.size()) dataIncomplete_ = true;
        std::fill(plane.begin() + std::ptrdiff_t(produced), plane.end(), 0);
        filled_[channelType] = true;
    }
    reader.Seek(std::min<std::int64_t>(block.End(), reader.Size()));
}

void TPSPGraphic::readChannels(std::uint16_t channelCount)
{
    const TCompressionCode compression = ImageProperties.Compression;
    if (compression != ctNone && compression != ctRLE && compression != ctLZ77)
        ImageFormatsError(gesUnsupportedFeature, {gesCompressionScheme, gesPSPFormat});
    for (std::uint16_t c = 0; c < channelCount; ++c) readChannel();
}

bool TPSPGraphic::readLayerBank(const TBlockHeader& bank)
{
    FormatReader reader(*Stream, gesPSPFormat);
    const std::int64_t bankEnd = std::min<std::int64_t>(bank.End(), reader.Size());
    TBlockHeader layer;
    while (reader.Position() < bankEnd && readBlockHeader(layer) && layer.ID == blockLayer) {
        std::uint8_t info[LayerInfoSize];
        bool usable;
        if (ImageProperties.Version == 3) {
            reader.Skip(256);  // the name
            reader.Read(info, LayerInfoSize);
            usable = info[0] == 0;
        } else {
            const std::int64_t chunkStart = reader.Position();
            const std::uint32_t chunkLength = reader.LE32();
            reader.Skip(reader.LE16());  // the name
            reader.Read(info, LayerInfoSize);
            if (chunkStart + chunkLength > reader.Position()) reader.Seek(chunkStart + chunkLength);
            usable = info[0] <= 1;
        }
        if (usable) {
            const std::int64_t chunkStart = reader.Position();
            const std::uint32_t chunkLength = ImageProperties.Version >= 4 ? reader.LE32() : 0;
            reader.Skip(2);  // bitmap count
            const std::uint16_t channelCount = reader.LE16();
            if (chunkStart + chunkLength > reader.Position()) reader.Seek(chunkStart + chunkLength);
            // A mask channel beside red, green and blue makes room for alpha,
            // which stays 0.
            if (channelCount > 3 && ImageProperties.ColorScheme == csRGB) {
                ColorManager->SetTargetColorScheme(csBGRA);
                ColorManager->SetTargetSamplesPerPixel(4);
                SetPixelFormat(pf32bit);
            }
            Progress(TProgressStage::psStarting, 0, false, ProgressRect, gesLoadingData);
            readChannels(channelCount);
            Progress(TProgressStage::psEnding, 0, false, ProgressRect, "");
            transferRows();
            return true;
        }
        reader.Seek(std::min<std::int64_t>(layer.End(), reader.Size()));
    }
    return false;
}

void TPSPGraphic::transferRows()
{
    const TImageProperties& p = ImageProperties;
    Progress(TProgressStage::psStarting, 0, false, ProgressRect, gesTransfering);
    const bool rgb = p.ColorScheme == csRGB;
    for (std::size_t plane : {planeComposite, planeRed, planeGreen, planeBlue})
        if (!planes_[plane].empty() && !filled_[plane]) dataIncomplete_ = true;
    for (std::uint32_t y = 0; y < p.Height; ++y) {
        const std::size_t at = std::size_t(y) * rowBytes_;
        auto row = [&](std::size_t plane) {
            return std::span<const std::uint8_t>(planes_[plane]).subspan(at, rowBytes_);
        };
        if (rgb)
            ColorManager->ConvertRow({row(planeRed), row(planeGreen), row(planeBlue)}, ScanLineSpan(int(y)), p.Width);
        else
            ColorManager->ConvertRow({row(planeComposite)}, ScanLineSpan(int(y)), p.Width);
        RowDone(y + 1, p.Height);
    }
    Progress(TProgressStage::psEnding, 0, false, ProgressRect, "");
}

const char* TPSPGraphic::FormatName() const { return gesPSPFormat; }

void TPSPGraphic::LoadImage(TStream& stream)
{
    dataIncomplete_ = false;
    StartProgress(gesPreparing);
    TEndProgress endProgress{*this};
    struct FreePlanes {
        TPSPGraphic& graphic;
        ~FreePlanes() { graphic.planes_.clear(); }
    } freePlanes{*this};
    planes_.assign(4, {});
    filled_ = {};
    const TImageProperties& p = ImageProperties;
    FormatReader reader(stream, gesPSPFormat);

    switch (p.BitsPerSample) {
    case 1: rowBytes_ = (std::size_t(p.Width) + 7) / 8; break;
    case 4: rowBytes_ = std::size_t(p.Width) / 2 + 1; break;
    case 8: rowBytes_ = p.Width; break;
    default: ImageFormatsError(gesInvalidColorFormat, {gesPSPFormat});
    }
    TColorManager& cm = *ColorManager;
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetTargetBitsPerSample(p.BitsPerSample);
    cm.SetSourceSamplesPerPixel(p.SamplesPerPixel);
    cm.SetTargetSamplesPerPixel(p.SamplesPerPixel);
    cm.SetSourceColorScheme(p.ColorScheme);
    cm.SetTargetColorScheme(p.ColorScheme == csRGB ? csBGR : p.ColorScheme);
    const TPixelFormat format = cm.PixelFormatFor(true);
    if (!cm.WritesPixelsOf(format)) ImageFormatsError(gesInvalidColorFormat, {gesPSPFormat});
    if (p.Width == 0 || p.Height == 0) ImageFormatsError(gesInvalidImageSize, {gesPSPFormat});
    reader.PixelCount(p.Width, p.Height);
    // One plane at least must come from the data left.
    const std::size_t planeBytes = reader.PictureBytes(rowBytes_, p.Height, 1, maxExpansion(p.Compression));
    SetPixelFormat(format);
    SetSize(static_cast<int>(p.Width), static_cast<int>(p.Height));
    if (p.ColorScheme == csG) SetPalette(cm.CreateGrayscalePalette(false));
    Progress(TProgressStage::psEnding, 0, false, ProgressRect, "");
    if (p.ColorScheme == csRGB)
        for (std::size_t plane : {planeRed, planeGreen, planeBlue}) planes_[plane].assign(planeBytes, 0);
    else
        planes_[planeComposite].assign(planeBytes, 0);

    reader.Seek(std::min<std::int64_t>(attributesEnd_, reader.Size()));
    bool loaded = false;
    TBlockHeader block;
    while (readBlockHeader(block)) {
        if (block.ID == blockPalette && p.ColorScheme != csRGB)
            readPalette();
        else if (block.ID == blockLayerBank && !loaded)
            loaded = readLayerBank(block);
        reader.Seek(std::min<std::int64_t>(block.End(), reader.Size()));
    }
    // A caller that takes no partial pictures (the gallery) gets the error.
    if (loaded && dataIncomplete_ && RefuseCutData) reader.Fail(TReadFault::ShortData);
}
