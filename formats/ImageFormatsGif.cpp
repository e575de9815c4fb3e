// GIF loader: the first image of a GIF 87a or 89a file.

#include "formats/ImageFormatsLoaders.h"
#include "formats/ImageFormatsReading.h"

#include <cctype>
#include <cstring>

using namespace FormatStrings;
using loaders::FormatReader;
using loaders::PeekHeader;

namespace {

constexpr std::uint8_t ExtensionIntroducer = 0x21;  // '!'
constexpr std::uint8_t ImageSeparator = 0x2C;       // ','
constexpr std::uint8_t Trailer = 0x3B;              // ';'

void skipSubBlocks(BoundedReader& reader)
{
    for (;;) {
        std::uint8_t length = reader.Byte();
        if (length == 0) return;
        reader.Skip(length);
    }
}

TLogPalette readColorTable(BoundedReader& reader, int bits)
{
    TLogPalette palette;
    palette.Entries.resize(std::size_t(1) << bits);
    for (TPaletteEntry& entry : palette.Entries) {
        std::uint8_t rgb[3];
        reader.Read(rgb, 3);
        entry = TPaletteEntry{rgb[0], rgb[1], rgb[2], 0};
    }
    return palette;
}

}  // namespace

bool TGIFGraphic::CanLoad(TStream& stream)
{
    char signature[3];
    return PeekHeader(stream, signature, 3, 23) && std::toupper(signature[0]) == 'G' &&
           std::toupper(signature[1]) == 'I' && std::toupper(signature[2]) == 'F';
}

std::uint8_t TGIFGraphic::SkipExtensions(TStream& stream)
{
    FormatReader reader(stream, gesGIF);
    std::uint8_t last;
    do {
        last = reader.Byte();
        if (last == ExtensionIntroducer) {
            last = reader.Byte();
            switch (last) {
            case 0x01:  // plain text
                reader.Skip(reader.Byte());
                skipSubBlocks(reader);
                break;
            case 0xF9:  // graphic control: transparency is not taken
                reader.Skip(reader.Byte() + 1u);
                break;
            case 0xFE:  // comment
            case 0xFF:  // application
                skipSubBlocks(reader);
                break;
            default: break;  // unknown: the walk goes on byte by byte
            }
        }
    } while (last != ImageSeparator && last != Trailer);
    return last;
}

const char* TGIFGraphic::FormatName() const { return gesGIF; }

bool TGIFGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    FormatReader reader(stream, gesGIF);
    char signature[6];
    reader.Read(signature, 6);
    if (std::toupper(signature[0]) != 'G' || std::toupper(signature[1]) != 'I' || std::toupper(signature[2]) != 'F')
        return false;
    if (!std::isdigit(static_cast<unsigned char>(signature[3])) ||
        !std::isdigit(static_cast<unsigned char>(signature[4])))
        return false;
    TImageProperties& p = ImageProperties;
    p.Version = static_cast<std::uint32_t>((signature[3] - '0') * 10 + (signature[4] - '0'));
    p.ColorScheme = csIndexed;
    p.SamplesPerPixel = 1;
    p.BitsPerSample = 8;
    p.Compression = ctLZW;

    std::uint16_t screenWidth = reader.LE16();
    std::uint16_t screenHeight = reader.LE16();
    std::uint8_t packed = reader.Byte();
    reader.Skip(2);  // background index, aspect
    globalTable_ = TLogPalette{};
    localTable_ = TLogPalette{};
    if (packed & 0x80) {
        p.BitsPerSample = static_cast<std::uint8_t>((packed & 7) + 1);
        globalTable_ = readColorTable(reader, p.BitsPerSample);
    }
    p.Width = screenWidth;
    p.Height = screenHeight;
    imageFound_ = SkipExtensions(stream) == ImageSeparator;
    if (imageFound_) {
        reader.Skip(4);  // left, top
        std::uint16_t width = reader.LE16();
        std::uint16_t height = reader.LE16();
        std::uint8_t flags = reader.Byte();
        p.Width = width ? width : screenWidth;
        p.Height = height ? height : screenHeight;
        p.LocalColorTable = (flags & 0x80) != 0;
        if (p.LocalColorTable) {
            p.BitsPerSample = static_cast<std::uint8_t>((flags & 7) + 1);
            localTable_ = readColorTable(reader, p.BitsPerSample);
        }
        p.Interlaced = (flags & 0x40) != 0;
    }
    p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
    return true;
}

void TGIFGraphic::LoadImage(TStream& stream)
{
    StartProgress(gesPreparing);
    TEndProgress endProgress{*this};

    FormatReader reader(stream, gesGIF);
    SetPixelFormat(pf8bit);
    if (!globalTable_.Entries.empty()) SetPalette(globalTable_);
    Progress(TProgressStage::psEnding, 0, false, ProgressRect, "");
    if (!imageFound_) return;  // no image: an empty 8-bit picture

    Progress(TProgressStage::psStarting, 0, false, ProgressRect, gesLoadingData);
    const std::uint32_t width = ImageProperties.Width;
    const std::uint32_t height = ImageProperties.Height;
    if (!localTable_.Entries.empty()) SetPalette(localTable_);
    // A pixel must name a colour of the table in force.
    const std::size_t tableEntries =
        !localTable_.Entries.empty() ? localTable_.Entries.size() : globalTable_.Entries.size();

    std::uint8_t codeSize = reader.Byte();
    if (codeSize < 2 || codeSize > 8) ImageFormatsError(gesInvalidImage, {gesGIF});

    // Join the data sub-blocks; a file cut inside them keeps what is there,
    // unless the caller refuses cut data.
    std::vector<std::uint8_t> data;
    bool terminated = false;
    for (;;) {
        std::uint8_t length;
        if (stream.Read(&length, 1) != 1) break;
        if (length == 0) {
            terminated = true;
            break;
        }
        std::size_t have = data.size();
        std::size_t take = static_cast<std::size_t>(std::min<std::int64_t>(length, reader.Remaining()));
        data.resize(have + take);
        reader.Read(data.data() + have, take);
        if (take < length) break;
    }
    if (!terminated && RefuseCutData) reader.Fail(TReadFault::ShortData);

    if (width == 0 || height == 0) return;  // an image of no pixels: the picture stays empty

    std::size_t pixelCount = CheckedPictureBytes(width, height, 1, static_cast<std::int64_t>(data.size()),
                                                 TGIFLZWDecoder::MaxExpansion, reader.Handler());
    SetSize(static_cast<int>(width), static_cast<int>(height));
    // New pixel memory is zero: rows the data does not reach stay index 0.
    std::vector<std::uint8_t> pixels(pixelCount, 0);
    try {
        TGIFLZWDecoder decoder(codeSize);
        const std::uint8_t* source = data.data();
        std::uint8_t* dest = pixels.data();
        decoder.DecodeInit();
        decoder.Decode(source, dest, data.size(), pixelCount);
        decoder.DecodeEnd();
    } catch (const EGraphicCompression&) {
        ImageFormatsError(gesCompression, {gesGIF});
    }
    // A pixel that names a colour past the end of its table has no colour.
    if (tableEntries > 0 && !loaders::IndicesBelow(pixels.data(), pixels.size(), 8, tableEntries))
        ImageFormatsError(gesInvalidPalette, {gesGIF});
    Progress(TProgressStage::psEnding, 0, false, ProgressRect, "");

    Progress(TProgressStage::psStarting, 0, false, ProgressRect, gesTransfering);
    auto copyRow = [&](std::uint32_t source, std::uint32_t target) {
        std::memcpy(ScanLine(static_cast<int>(target)), pixels.data() + std::size_t(source) * width, width);
    };
    if (!ImageProperties.Interlaced) {
        for (std::uint32_t row = 0; row < height; ++row) {
            copyRow(row, row);
            RowDone(row, height);
        }
    } else {
        static constexpr std::uint32_t passStart[4] = {0, 4, 2, 1};
        static constexpr std::uint32_t passStep[4] = {8, 8, 4, 2};
        std::uint32_t source = 0;
        for (int pass = 0; pass < 4; ++pass)
            for (std::uint32_t row = passStart[pass]; row < height; row += passStep[pass]) {
                copyRow(source++, row);
                if (pass == 3) RowDone(row, height);
            }
    }
}
