// PNG loader: chunks with CRC-32, zlib image data, the five row filters and
// Adam7 interlacing.

#include "formats/ImageFormatsLoaders.h"
#include "formats/ImageFormatsReading.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <zlib.h>

using namespace FormatStrings;
using loaders::FormatReader;
using loaders::PeekHeader;

namespace {

constexpr std::uint8_t PngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr std::int64_t HeaderChunkSize = 25;  // IHDR: length, type, 13 bytes of data, CRC
constexpr std::uint32_t MaxChunkLength = 0x7FFFFFFF;

}  // namespace

bool TPNGGraphic::CanLoad(TStream& stream)
{
    std::uint8_t signature[8];
    return PeekHeader(stream, signature, 8, 9) && std::memcmp(signature, PngSignature, 8) == 0;
}

bool TPNGGraphic::IsChunk(const char* type) const
{
    for (int i = 0; i < 4; ++i)
        if ((static_cast<std::uint8_t>(ChunkHeader.Type[i]) & 0xDF) != (static_cast<std::uint8_t>(type[i]) & 0xDF))
            return false;
    return true;
}

void TPNGGraphic::ReadChunkHeader()
{
    FormatReader reader(*Stream, gesPNG);
    std::uint8_t header[8];
    reader.Read(header, 8);
    ChunkHeader.Length = GetBE32(header);
    std::memcpy(ChunkHeader.Type, header + 4, 4);
    if (ChunkHeader.Length > MaxChunkLength) ImageFormatsError(gesInvalidImage, {gesPNG});
    ChunkHeader.CRC = static_cast<std::uint32_t>(crc32(0, header + 4, 4));
}

void TPNGGraphic::ReadDataAndCheckCRC()
{
    FormatReader reader(*Stream, gesPNG);
    // The length is checked against the file before the buffer grows.
    if (static_cast<std::uint64_t>(reader.Remaining()) < std::uint64_t(ChunkHeader.Length) + 4)
        reader.Fail(TReadFault::ShortData);
    if (RawBuffer.size() < ChunkHeader.Length) RawBuffer.resize(ChunkHeader.Length);
    reader.Read(RawBuffer.data(), ChunkHeader.Length);
    std::uint32_t stored = reader.BE32();
    ChunkHeader.CRC = static_cast<std::uint32_t>(crc32(ChunkHeader.CRC, RawBuffer.data(), ChunkHeader.Length));
    if (ChunkHeader.CRC != stored) ImageFormatsError(gesInvalidCRC, {gesPNG});
}

void TPNGGraphic::SkipChunkData() { FormatReader(*Stream, gesPNG).Skip(std::uint64_t(ChunkHeader.Length) + 4); }

bool TPNGGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    Stream = &stream;
    FormatReader reader(stream, gesPNG);
    std::uint8_t signature[8];
    reader.Read(signature, 8);
    if (std::memcmp(signature, PngSignature, 8) != 0) return false;
    ReadChunkHeader();
    if (!IsChunk("IHDR") || ChunkHeader.Length != 13) return false;
    TImageProperties& p = ImageProperties;
    p.Options |= BigEndianOption;
    ReadDataAndCheckCRC();
    const std::uint8_t* ihdr = RawBuffer.data();
    p.Width = GetBE32(ihdr);
    p.Height = GetBE32(ihdr + 4);
    if (p.Width == 0 || p.Height == 0) return false;
    std::uint8_t bitDepth = ihdr[8];
    std::uint8_t colorType = ihdr[9];
    p.Compression = ihdr[10] == 0 ? ctLZ77 : ctUnknown;
    p.BitsPerSample = bitDepth;
    p.SamplesPerPixel = colorType == 2 ? 3 : colorType == 6 ? 4 : 1;
    switch (colorType) {
    case 0: p.ColorScheme = csG; break;
    case 2: p.ColorScheme = csRGB; break;
    case 3: p.ColorScheme = csIndexed; break;
    case 4: p.ColorScheme = csGA; break;
    case 6: p.ColorScheme = csRGBA; break;
    default: p.ColorScheme = csUnknown; break;
    }
    p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
    p.FilterMode = ihdr[11];
    p.Interlaced = ihdr[12] != 0;
    p.HasAlpha = p.ColorScheme == csGA || p.ColorScheme == csRGBA || p.ColorScheme == csBGRA;
    ColorType_ = colorType;
    BitDepth_ = bitDepth;
    std::uint8_t interlace = ihdr[12];

    for (;;) {
        ReadChunkHeader();
        if (IsChunk("IEND")) break;
        if (IsChunk("gAMA") && ChunkHeader.Length == 4) {
            ReadDataAndCheckCRC();
            p.FileGamma = static_cast<float>(GetBE32(RawBuffer.data())) / 100000.0f;
            break;
        }
        SkipChunkData();
    }
    // Only Adam7 is defined besides plain rows.
    return interlace <= 1;
}

std::size_t TPNGGraphic::SetupColorDepth(int colorType, int bitDepth)
{
    TColorManager& cm = *ColorManager;
    std::size_t bpp = 0;
    auto invalid = [] { ImageFormatsError(gesInvalidColorFormat, {gesPNG}); };
    cm.SetSourceBitsPerSample(static_cast<std::uint8_t>(bitDepth == 0 ? 8 : std::min(bitDepth, 16)));
    switch (colorType) {
    case 0:
        if (bitDepth != 1 && bitDepth != 2 && bitDepth != 4 && bitDepth != 8 && bitDepth != 16) invalid();
        cm.SetSourceColorScheme(csG);
        cm.SetTargetColorScheme(csG);
        cm.SetSourceSamplesPerPixel(1);
        cm.SetTargetSamplesPerPixel(1);
        cm.SetTargetBitsPerSample(static_cast<std::uint8_t>(bitDepth == 2 ? 4 : bitDepth == 16 ? 8 : bitDepth));
        SetPixelFormat(cm.PixelFormatFor(true));
        Palette_ = cm.CreateGrayscalePalette(false);
        HasPalette_ = true;
        bpp = (bitDepth + 7) / 8;
        break;
    case 2:
        if (bitDepth != 8 && bitDepth != 16) invalid();
        cm.SetSourceColorScheme(csRGB);
        cm.SetTargetColorScheme(csBGR);
        cm.SetSourceSamplesPerPixel(3);
        cm.SetTargetSamplesPerPixel(3);
        cm.SetTargetBitsPerSample(8);
        SetPixelFormat(pf24bit);
        bpp = bitDepth * 3 / 8;
        break;
    case 3:
        if (bitDepth != 1 && bitDepth != 2 && bitDepth != 4 && bitDepth != 8) invalid();
        cm.SetSourceColorScheme(csIndexed);
        cm.SetTargetColorScheme(csIndexed);
        cm.SetSourceSamplesPerPixel(1);
        cm.SetTargetSamplesPerPixel(1);
        cm.SetTargetBitsPerSample(static_cast<std::uint8_t>(bitDepth == 2 ? 4 : bitDepth));
        SetPixelFormat(cm.PixelFormatFor(true));
        bpp = 1;
        break;
    case 4:
        if (bitDepth != 8 && bitDepth != 16) invalid();
        cm.SetSourceColorScheme(csGA);
        cm.SetTargetColorScheme(csIndexed);
        cm.SetSourceSamplesPerPixel(1);
        cm.SetTargetSamplesPerPixel(1);
        cm.SetTargetBitsPerSample(8);
        SetPixelFormat(pf8bit);
        Palette_ = cm.CreateGrayscalePalette(false);
        HasPalette_ = true;
        bpp = bitDepth * 2 / 8;
        break;
    case 6:
        if (bitDepth != 8 && bitDepth != 16) invalid();
        cm.SetSourceColorScheme(csRGBA);
        cm.SetTargetColorScheme(csBGRA);
        cm.SetSourceSamplesPerPixel(4);
        cm.SetTargetSamplesPerPixel(4);
        cm.SetTargetBitsPerSample(8);
        SetPixelFormat(pf32bit);
        bpp = bitDepth * 4 / 8;
        break;
    default: invalid();
    }
    PixelFormatSet_ = true;
    return std::max<std::size_t>(bpp, 1);
}

std::uint8_t TPNGGraphic::PaethPredictor(std::uint8_t a, std::uint8_t b, std::uint8_t c)
{
    int p = int(a) + int(b) - int(c);
    int pa = std::abs(p - a);
    int pb = std::abs(p - b);
    int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    if (pb <= pc) return b;
    return c;
}

void TPNGGraphic::ApplyFilter(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* previous,
                              std::size_t bytesPerRow, std::size_t sourceBPP)
{
    for (std::size_t i = 0; i < bytesPerRow; ++i) {
        std::uint8_t a = i >= sourceBPP ? row[i - sourceBPP] : 0;
        std::uint8_t b = previous[i];
        std::uint8_t c = i >= sourceBPP ? previous[i - sourceBPP] : 0;
        switch (filter) {
        case 1: row[i] = static_cast<std::uint8_t>(row[i] + a); break;
        case 2: row[i] = static_cast<std::uint8_t>(row[i] + b); break;
        case 3: row[i] = static_cast<std::uint8_t>(row[i] + ((a + b) >> 1)); break;
        case 4: row[i] = static_cast<std::uint8_t>(row[i] + PaethPredictor(a, b, c)); break;
        default: return;  // 0, and unknown types leave the row as read
        }
    }
}

std::size_t TPNGGraphic::ReadRow(std::uint8_t* buffer, std::size_t count)
{
    std::size_t got = 0;
    while (got < count) {
        if (CurrentSource >= IDATSize) {
            if (!IsChunk("IDAT")) return got;  // the image data ended early
            ReadDataAndCheckCRC();
            CurrentSource = 0;
            IDATSize = ChunkHeader.Length;
            ReadChunkHeader();
            continue;
        }
        if (Decoder->ZLibResult() == Z_STREAM_END) return got;
        const std::uint8_t* source = RawBuffer.data() + CurrentSource;
        std::uint8_t* dest = buffer + got;
        Decoder->Decode(source, dest, IDATSize - CurrentSource, count - got);
        CurrentSource = static_cast<std::size_t>(source - RawBuffer.data());
        got = static_cast<std::size_t>(dest - buffer);
        int result = Decoder->ZLibResult();
        if (result == Z_STREAM_END) {
            // The stream is complete: data behind it in the chunk is an error;
            // a row it leaves short ends the image like missing data does.
            if (CurrentSource < IDATSize) ImageFormatsError(gesExtraCompressedData, {gesPNG});
            return got;
        }
        if (result != Z_OK) ImageFormatsError(gesCompression, {gesPNG});
    }
    return got;
}

void TPNGGraphic::ReadBackground()
{
    ReadDataAndCheckCRC();
    const std::uint8_t* d = RawBuffer.data();
    const std::uint32_t length = ChunkHeader.Length;
    auto scale = [&](std::uint16_t v) -> std::uint32_t {
        if (BitDepth_ == 2) return v * 15u / 3u;
        if (BitDepth_ == 16) return v * 255u / 65535u;
        return v & 0xFFu;
    };
    switch (ColorType_) {
    case 0:
    case 4:
        if (length >= 2) BackgroundColor_ = scale(GetBE16(d));
        break;
    case 2:
    case 6:
        if (length >= 6) {
            auto channel = [&](int i) { return BitDepth_ == 16 ? GetBE16(d + 2 * i) * 255u / 65535u : d[2 * i + 1]; };
            BackgroundColor_ = RGBColor(static_cast<std::uint8_t>(channel(0)), static_cast<std::uint8_t>(channel(1)),
                                        static_cast<std::uint8_t>(channel(2)));
        }
        break;
    case 3:
        if (length >= 1) BackgroundColor_ = d[0];
        break;
    default: break;
    }
    BackgroundIsIndex_ = ColorType_ == 0 || ColorType_ == 3 || ColorType_ == 4;
}

void TPNGGraphic::ReadTransparency()
{
    ReadDataAndCheckCRC();
    const std::uint8_t* d = RawBuffer.data();
    const std::uint32_t length = ChunkHeader.Length;
    switch (ColorType_) {
    case 0:
        if (length >= 2) {
            std::uint16_t raw = GetBE16(d);
            std::uint32_t v = BitDepth_ == 2 ? raw * 15u / 3u : BitDepth_ == 16 ? raw * 255u / 65535u : raw;
            auto grey = static_cast<std::uint8_t>(v);
            TransparentColor_ = RGBColor(grey, grey, grey);
        }
        break;
    case 2:
        if (length >= 6) {
            auto channel = [&](int i) { return BitDepth_ == 16 ? GetBE16(d + 2 * i) * 255u / 65535u : d[2 * i + 1]; };
            TransparentColor_ = RGBColor(static_cast<std::uint8_t>(channel(0)), static_cast<std::uint8_t>(channel(1)),
                                         static_cast<std::uint8_t>(channel(2)));
        }
        break;
    case 3:
        Transparency_.assign(256, 255);
        std::memcpy(Transparency_.data(), d, std::min<std::size_t>(length, 256));
        break;
    default: break;  // alpha types carry their own
    }
}

void TPNGGraphic::LoadImageData()
{
    Progress(TProgressStage::psStarting, 0, false, ProgressRect, gesTransfering);
    if (!PixelFormatSet_) SourceBPP = SetupColorDepth(ColorType_, BitDepth_);

    const std::uint32_t width = ImageProperties.Width;
    const std::uint32_t height = ImageProperties.Height;
    FormatReader reader(*Stream, gesPNG);
    reader.PixelCount(width, height);
    const std::size_t factor = BitDepth_ == 16 ? SourceBPP / 2 : SourceBPP;
    const std::size_t rowBytes = CheckedRowBytes(width, BitDepth_, reader.Handler()) * factor;
    // The filtered rows (height rows of a filter byte and rowBytes) must be
    // something the rest of the file could inflate to.
    CheckedPictureBytes(height, 1, rowBytes + 1, reader.Remaining() + std::int64_t(IDATSize),
                        TLZ77Decoder::MaxExpansion, reader.Handler());

    if (HasPalette_) SetPalette(Palette_);
    SetSize(static_cast<int>(width), static_cast<int>(height));
    fillBackground();
    if (TransparentColor_ != NoTransparentColor) {
        TransparentColor = TransparentColor_;
        Transparent = true;
    }

    std::vector<std::uint8_t> current(rowBytes + 1, 0);
    std::vector<std::uint8_t> previous(rowBytes + 1, 0);
    auto readFilteredRow = [&](std::size_t bytes) {
        if (ReadRow(current.data(), bytes + 1) < bytes + 1) return false;
        ApplyFilter(current[0], current.data() + 1, previous.data() + 1, bytes, SourceBPP);
        return true;
    };
    if (ColorType_ == 3 && !HasPalette_) ImageFormatsError(gesInvalidPalette, {gesPNG});
    auto convert = [&](std::uint32_t row, std::size_t bytes, std::uint8_t mask, std::uint32_t pixels) {
        std::span<const std::uint8_t> source(current.data() + 1, bytes);
        // A pixel that names a colour past the end of the palette has no colour.
        if (ColorType_ == 3 && !loaders::IndicesBelow(source.data(), pixels, BitDepth_, PaletteCount_))
            ImageFormatsError(gesInvalidPalette, {gesPNG});
        ColorManager->ConvertRow({source}, ScanLineSpan(static_cast<int>(row)), width, mask);
    };

    if (!ImageProperties.Interlaced) {
        for (std::uint32_t row = 0; row < height; ++row) {
            if (!readFilteredRow(rowBytes)) break;  // the first short row ends the picture
            convert(row, rowBytes, 0xFF, width);
            std::swap(current, previous);
            RowDone(row, height);
        }
    } else {
        static constexpr std::uint32_t columnStart[7] = {0, 4, 0, 2, 0, 1, 0};
        static constexpr std::uint32_t columnStep[7] = {8, 8, 4, 4, 2, 2, 1};
        static constexpr std::uint32_t rowStart[7] = {0, 0, 4, 0, 2, 0, 1};
        static constexpr std::uint32_t rowStep[7] = {8, 8, 8, 4, 4, 2, 2};
        static constexpr std::uint8_t passMask[7] = {0x80, 0x08, 0x88, 0x22, 0xAA, 0x55, 0xFF};
        bool complete = true;
        for (int pass = 0; pass < 7 && complete; ++pass) {
            if (width <= columnStart[pass]) continue;
            std::uint32_t pixels = (width + columnStep[pass] - columnStart[pass] - 1) / columnStep[pass];
            std::size_t bytes = CheckedRowBytes(pixels, BitDepth_) * factor;
            std::fill(previous.begin(), previous.end(), 0);
            for (std::uint32_t row = rowStart[pass]; row < height; row += rowStep[pass]) {
                if (!readFilteredRow(bytes)) {
                    complete = false;
                    break;
                }
                convert(row, bytes, passMask[pass], pixels);
                std::swap(current, previous);
                if (pass == 6) RowDone(row, height);
            }
        }
    }

    // Image data left after the last row is read and checked, then ignored.
    while (IsChunk("IDAT")) {
        ReadDataAndCheckCRC();
        ReadChunkHeader();
    }
    Progress(TProgressStage::psEnding, 0, false, ProgressRect, "");
}

void TPNGGraphic::fillBackground()
{
    const int bits = BitsPerPixel();
    if (BackgroundIsIndex_ && bits <= 8 && BackgroundColor_ < Palette().size()) {
        // A palette picture's background is a palette index.
        std::uint8_t index = static_cast<std::uint8_t>(BackgroundColor_);
        std::uint8_t pattern = bits == 8   ? index
                               : bits == 4 ? static_cast<std::uint8_t>((index << 4) | (index & 15))
                                           : static_cast<std::uint8_t>(index & 1 ? 0xFF : 0);
        for (int row = 0; row < Height(); ++row) {
            auto line = ScanLineSpan(row);
            std::fill(line.begin(), line.end(), pattern);
        }
        return;
    }
    FillColor(BackgroundIsIndex_ ? TColor(0xFFFFFF) : BackgroundColor_);
}

const char* TPNGGraphic::FormatName() const { return gesPNG; }

void TPNGGraphic::LoadImage(TStream& stream)
{
    Decoder.reset();
    // The chunks after the header, which the properties passed over.
    stream.SetPosition(BasePosition + std::int64_t(sizeof PngSignature) + HeaderChunkSize);
    StartProgress(gesPreparing);

    HasPalette_ = false;
    PaletteCount_ = 0;
    Palette_ = TLogPalette{};
    Transparency_.clear();
    BackgroundColor_ = 0xFFFFFF;
    BackgroundIsIndex_ = false;
    TransparentColor_ = NoTransparentColor;
    PixelFormatSet_ = false;
    SourceBPP = 1;
    CurrentSource = IDATSize = 0;
    ColorManager->SourceOptions = ByteSwapOption;
    if (ImageProperties.Compression != ctLZ77) ImageFormatsError(gesUnsupportedFeature, {gesCompressionScheme, gesPNG});

    struct Cleanup {
        TPNGGraphic& self;
        ~Cleanup()
        {
            self.Decoder.reset();
            self.RawBuffer.clear();
            self.RawBuffer.shrink_to_fit();
            self.Progress(TProgressStage::psEnding, 0, false, self.ProgressRect, "");
        }
    } cleanup{*this};

    Decoder = std::make_unique<TLZ77Decoder>(Z_PARTIAL_FLUSH, false);
    Decoder->DecodeInit();
    bool imageRead = false;
    ReadChunkHeader();
    for (;;) {
        if (IsChunk("IDAT") && !imageRead) {
            Progress(TProgressStage::psEnding, 0, false, ProgressRect, "");
            LoadImageData();
            imageRead = true;
            // The chunk now current is the first one after the image data.
        } else if (IsChunk("PLTE")) {
            if (ChunkHeader.Length % 3 != 0) ImageFormatsError(gesInvalidPalette, {gesPNG});
            ReadDataAndCheckCRC();
            if (ColorType_ == 3 && !imageRead) {
                SourceBPP = SetupColorDepth(ColorType_, BitDepth_);
                std::span<const std::uint8_t> data(RawBuffer.data(), ChunkHeader.Length);
                PaletteCount_ = ChunkHeader.Length / 3;
                Palette_ =
                    ColorManager->CreateColorPalette({data}, pdfInterlaced8Triple, ChunkHeader.Length / 3, false);
                HasPalette_ = true;
            }
            ReadChunkHeader();
            continue;
        } else if (IsChunk("gAMA") && ChunkHeader.Length == 4 && !imageRead) {
            ReadDataAndCheckCRC();
            float gamma = static_cast<float>(GetBE32(RawBuffer.data())) / 100000.0f;
            ColorManager->SetGamma(gamma, 2.2f);
            ColorManager->TargetOptions |= GammaOption;
            ImageProperties.Options |= GammaAppliedOption;
            ReadChunkHeader();
            continue;
        } else if (IsChunk("bKGD") && !imageRead) {
            ReadBackground();
            ReadChunkHeader();
            continue;
        } else if (IsChunk("tRNS") && !imageRead) {
            ReadTransparency();
            ReadChunkHeader();
            continue;
        }
        // Any other chunk, and the one left current after the image data.
        if (IsChunk("IEND")) break;
        if ((static_cast<std::uint8_t>(ChunkHeader.Type[0]) & 0x20) == 0 && !IsChunk("IDAT") && !IsChunk("IHDR") &&
            !IsChunk("PLTE") && !IsChunk("gAMA") && !IsChunk("bKGD") && !IsChunk("tRNS"))
            ImageFormatsError(gesUnknownCriticalChunk);
        SkipChunkData();
        ReadChunkHeader();
    }
    Decoder->DecodeEnd();
}
