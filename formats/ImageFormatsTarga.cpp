// Targa loader and writer: colour-mapped, true-colour and grey pictures,
// uncompressed or run-length encoded.

#include "formats/ImageFormatsLoaders.h"
#include "formats/ImageFormatsReading.h"

#include <cstring>

using namespace FormatStrings;
using loaders::FormatReader;
using loaders::PeekHeader;

namespace {

const char* const TargaName = gesTarga;
constexpr std::uint8_t OriginAtTop = 0x20;

using TargaHeader = TTargaGraphic::THeader;

bool isRunLength(std::uint8_t imageType) { return imageType >= 9 && imageType <= 11; }

}  // namespace

bool TTargaGraphic::CanLoad(TStream& stream)
{
    std::uint8_t bytes[TargaHeader::Size];
    if (!PeekHeader(stream, bytes, sizeof bytes, 19)) return false;
    TargaHeader h;
    h.Parse(bytes);
    return (h.ImageType <= 3 || isRunLength(h.ImageType)) && h.ColorMapType < 2 &&
           (h.ColorMapEntrySize == 15 || h.ColorMapEntrySize == 16 || h.ColorMapEntrySize == 24 ||
            h.ColorMapEntrySize == 32) &&
           (h.PixelSize == 8 || h.PixelSize == 15 || h.PixelSize == 16 || h.PixelSize == 24 || h.PixelSize == 32);
}

bool TTargaGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    FormatReader reader(stream, TargaName);
    std::uint8_t bytes[TargaHeader::Size];
    reader.Read(bytes, sizeof bytes);
    TargaHeader& h = header_;
    h.Parse(bytes);
    TImageProperties& p = ImageProperties;
    p.Width = h.Width;
    p.Height = h.Height;
    p.BitsPerSample = 8;
    switch (h.PixelSize) {
    case 8:
        p.ColorScheme = h.ImageType == 3 || h.ImageType == 11 ? csG : csIndexed;
        p.SamplesPerPixel = 1;
        break;
    case 15:
    case 16:
        p.ColorScheme = csRGB;
        p.BitsPerSample = 5;
        p.SamplesPerPixel = 3;
        break;
    case 24:
        p.ColorScheme = csRGB;
        p.SamplesPerPixel = 3;
        break;
    case 32:
        p.ColorScheme = csRGBA;
        p.SamplesPerPixel = 4;
        break;
    default: break;
    }
    p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
    p.Compression = isRunLength(h.ImageType) ? ctRLE : ctNone;
    return true;
}

const char* TTargaGraphic::FormatName() const { return TargaName; }

void TTargaGraphic::LoadImage(TStream& stream)
{
    StartProgress(gesPreparing);
    TEndProgress endProgress{*this};

    FormatReader reader(stream, TargaName);
    const TargaHeader& h = header_;
    const bool originAtTop = (h.Descriptor & OriginAtTop) != 0;
    reader.Skip(h.IDLength);

    // Only the layouts this loader stores; anything else is not a picture we
    // can place (colour-mapped data must be 8-bit indices).
    const bool knownType = h.ImageType <= 3 || isRunLength(h.ImageType);
    const bool knownDepth =
        h.PixelSize == 8 || h.PixelSize == 15 || h.PixelSize == 16 || h.PixelSize == 24 || h.PixelSize == 32;
    const bool mapped = h.ImageType == 1 || h.ImageType == 9;
    if (!knownType || (h.ImageType != 0 && !knownDepth) || (mapped && h.PixelSize != 8))
        ImageFormatsError(gesInvalidImage, {TargaName});

    TColorManager& cm = *ColorManager;
    if (knownDepth) {
        cm.SetSourceSamplesPerPixel(ImageProperties.SamplesPerPixel);
        cm.SetTargetSamplesPerPixel(ImageProperties.SamplesPerPixel);
        cm.SetSourceColorScheme(ImageProperties.ColorScheme);
        cm.SourceOptions = 0;
        cm.SetTargetColorScheme(csBGR);
        cm.SetSourceBitsPerSample(ImageProperties.BitsPerSample);
        cm.SetTargetBitsPerSample(ImageProperties.BitsPerSample);
        SetPixelFormat(cm.PixelFormatFor(true));
    }

    if (h.ColorMapType == 1 || h.ImageType == 3 || h.ImageType == 11) {
        if (h.ImageType == 3 || h.ImageType == 11) {
            SetPalette(cm.CreateGrayscalePalette(false));
            // A grey picture may still carry a map: it is not used.
            if (h.ColorMapType == 1) reader.Skip(std::uint64_t(h.ColorMapEntrySize + 7) / 8 * h.ColorMapLength);
        } else {
            const std::size_t entryBytes = (h.ColorMapEntrySize + 7u) / 8u;
            std::vector<std::uint8_t> map(entryBytes * h.ColorMapLength);
            reader.Read(map.data(), map.size());
            std::span<const std::uint8_t> data(map);
            switch (h.ColorMapEntrySize) {
            case 24: SetPalette(cm.CreateColorPalette({data}, pdfInterlaced8Triple, h.ColorMapLength, true)); break;
            case 32: SetPalette(cm.CreateColorPalette({data}, pdfInterlaced8Quad, h.ColorMapLength, true)); break;
            case 15:
            case 16: {
                TLogPalette palette;
                palette.Entries.resize(std::min<std::size_t>(h.ColorMapLength, MaxPaletteEntries));
                for (std::size_t i = 0; i < palette.Entries.size(); ++i) {
                    std::uint16_t w = static_cast<std::uint16_t>(map[2 * i] | (map[2 * i + 1] << 8));
                    palette.Entries[i] = TPaletteEntry{static_cast<std::uint8_t>((w & 0x7C00) >> 7),
                                                       static_cast<std::uint8_t>((w & 0x3E0) >> 2),
                                                       static_cast<std::uint8_t>((w & 0x1F) << 3), 0};
                }
                SetPalette(palette);
                break;
            }
            default: break;  // an entry size we cannot read: the map is skipped
            }
        }
    }

    // No image data: the picture stays empty rather than taking a size that
    // nothing in the file fills.
    if (h.ImageType == 0 || h.Width == 0 || h.Height == 0) return;

    const std::size_t bytesPerPixel = (h.PixelSize + 7u) / 8u;
    const bool runLength = isRunLength(h.ImageType);
    reader.PictureBytes(h.Width, h.Height, bytesPerPixel, runLength ? TTargaRLEDecoder::MaxExpansion : 1);
    SetSize(h.Width, h.Height);
    const std::size_t rowBytes = std::size_t(h.Width) * bytesPerPixel;
    NextStage(gesTransfering);

    // Indices of a colour-mapped picture must name an entry of its map.
    const std::size_t mapEntries = mapped && h.ColorMapType == 1 ? h.ColorMapLength : 256;
    std::unique_ptr<TTargaRLEDecoder> decoder;
    std::vector<std::uint8_t> buffer;
    if (runLength) {
        decoder = std::make_unique<TTargaRLEDecoder>(h.PixelSize);
        buffer.resize(2 * rowBytes);
    }
    for (std::uint32_t y = 0; y < h.Height; ++y) {
        const int line = static_cast<int>(originAtTop ? y : h.Height - 1u - y);
        std::uint8_t* target = ScanLine(line);
        if (!runLength) {
            reader.Read(target, rowBytes);
        } else {
            std::int64_t start = reader.Position();
            std::size_t available = static_cast<std::size_t>(std::min<std::int64_t>(reader.Remaining(), buffer.size()));
            reader.Read(buffer.data(), available);
            const std::uint8_t* source = buffer.data();
            try {
                decoder->Decode(source, target, available, h.Width);
            } catch (const EGraphicCompression&) {
                ImageFormatsError(gesInvalidImage, {TargaName});
            }
            if (decoder->Produced() < h.Width) reader.Fail(TReadFault::ShortData);
            // Packets may end anywhere in the buffer: go on from the first
            // byte the decoder did not use.
            reader.Seek(start + static_cast<std::int64_t>(decoder->Consumed()));
        }
        if (!loaders::IndicesBelow(target, mapped ? h.Width : 0, 8, mapEntries))
            ImageFormatsError(gesInvalidPalette, {TargaName});
        RowDone(y, h.Height);
    }
}

void TTargaGraphic::SaveToStream(TStream& stream) { SaveToStream(stream, true); }

void TTargaGraphic::SaveToStream(TStream& stream, bool compressed)
{
    ResetProgressRect(static_cast<std::uint32_t>(std::max(Width(), 0)));
    Progress(TProgressStage::psStarting, 0, false, ProgressRect, gesPreparing);

    // Work on a copy where the stored layout differs from a Targa one: 1- and
    // 4-bit pictures are written as 8-bit, 5-6-5 words as 5-5-5.
    const TBitmap* source = this;
    TBitmap converted;
    TPixelFormat format = PixelFormat();
    if (format == pf1bit || format == pf4bit || format == pf16bit) {
        converted.Assign(*this);
        converted.SetPixelFormat(format == pf16bit ? pf15bit : pf8bit);
        source = &converted;
        format = converted.PixelFormat();
    }
    std::size_t bytesPerPixel;
    switch (format) {
    case pf8bit: bytesPerPixel = 1; break;
    case pf15bit: bytesPerPixel = 2; break;
    case pf32bit: bytesPerPixel = 4; break;
    default: bytesPerPixel = 3; break;  // 24-bit, and device pictures stored as 24-bit
    }
    if (source->Empty()) {
        Progress(TProgressStage::psEnding, 0, false, ProgressRect, "");
        return;
    }
    if (source->Width() > 0xFFFF || source->Height() > 0xFFFF) ImageFormatsError(gesInvalidImageSize, {TargaName});

    TargaHeader h;
    h.ColorMapType = bytesPerPixel == 1 ? 1 : 0;
    h.ImageType = static_cast<std::uint8_t>(bytesPerPixel == 1 ? (compressed ? 9 : 1) : (compressed ? 10 : 2));
    h.ColorMapLength = 256;
    h.ColorMapEntrySize = 24;
    h.Width = static_cast<std::uint16_t>(source->Width());
    h.Height = static_cast<std::uint16_t>(source->Height());
    h.PixelSize = static_cast<std::uint8_t>(bytesPerPixel * 8);
    // Rows go out from the top row down, so the file says its origin is at
    // the top and a reader puts them back the same way up.
    h.Descriptor = OriginAtTop;
    std::uint8_t header[TargaHeader::Size];
    h.Serialize(header);
    stream.WriteBuffer(header, sizeof header);

    if (bytesPerPixel == 1) {
        std::uint8_t map[256 * 3] = {};
        const auto& palette = source->Palette();
        for (std::size_t i = 0; i < palette.size() && i < 256; ++i) {
            map[3 * i] = palette[i].peBlue;
            map[3 * i + 1] = palette[i].peGreen;
            map[3 * i + 2] = palette[i].peRed;
        }
        stream.WriteBuffer(map, sizeof map);
    }
    NextStage(gesTransfering);

    const std::size_t rowBytes = std::size_t(h.Width) * bytesPerPixel;
    TTargaRLEDecoder encoder(h.PixelSize);
    std::vector<std::uint8_t> encoded(encoder.EncodedCapacity(h.Width));
    for (int row = 0; row < source->Height(); ++row) {
        const std::uint8_t* line = source->ScanLine(row);
        if (compressed) {
            std::size_t stored = 0;
            encoder.Encode(line, encoded.data(), h.Width, stored);
            stream.WriteBuffer(encoded.data(), stored);
        } else {
            stream.WriteBuffer(line, rowBytes);
        }
        Progress(TProgressStage::psRunning, 0, false, ProgressRect, "");
        ProgressRect.Top += 1;
        ProgressRect.Bottom += 1;
    }
    Progress(TProgressStage::psEnding, 0, false, ProgressRect, "");
}
