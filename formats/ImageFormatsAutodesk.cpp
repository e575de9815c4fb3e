// Autodesk Animator cel/pic files and Dr. Halo CUT files.

#include "formats/ImageFormatsAutodesk.h"
#include "formats/FormatCompression.h"
#include "formats/ImageFormatsReading.h"
#include "platform/core/AsciiCase.h"

#include <filesystem>
#include <system_error>
#include <vector>

using namespace FormatStrings;
using loaders::FormatReader;
using loaders::PeekHeader;

namespace {

const char* const AutodeskName = "Autodesk";
const char* const CUTName = "CUT";
constexpr std::size_t AutodeskHeaderSize = 32;
constexpr std::uint16_t AutodeskMagic = 0x9119;

constexpr std::size_t PaletteBlockSize = 512;
constexpr std::size_t PaletteFirstEntry = 40;
constexpr std::size_t PaletteLastEntryStart = 506;
constexpr std::size_t PaletteEntrySize = 6;

}  // namespace

// --- Autodesk ----------------------------------------------------------------------

bool TAutodeskGraphic::CanLoad(TStream& stream)
{
    std::uint8_t header[12];
    return PeekHeader(stream, header, sizeof header, 33) && GetLE16(header) == AutodeskMagic && header[10] == 8 &&
           header[11] == 0;
}

const char* TAutodeskGraphic::FormatName() const { return AutodeskName; }

bool TAutodeskGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    std::uint8_t header[AutodeskHeaderSize];
    FormatReader(stream, AutodeskName).Read(header, sizeof header);
    if (GetLE16(header) != AutodeskMagic) return false;
    TImageProperties& p = ImageProperties;
    p.ColorScheme = csIndexed;
    p.Width = GetLE16(header + 2);
    p.Height = GetLE16(header + 4);
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 1;
    p.BitsPerPixel = 8;
    p.Compression = ctNone;
    storedRows_ = header[10] == 8 && header[11] == 0;
    return true;
}

void TAutodeskGraphic::LoadImage(TStream& stream)
{
    StartProgress(gesTransfering);
    TEndProgress endProgress{*this};
    // Only 8-bit stored rows exist in these files; other depths or a
    // compression byte would be read as something they are not.
    if (!storedRows_) ImageFormatsError(gesInvalidImage, {AutodeskName});
    FormatReader reader(stream, AutodeskName);
    std::uint8_t colours[768];
    reader.Read(colours, sizeof colours);
    TLogPalette palette;
    palette.Entries.resize(256);
    for (std::size_t i = 0; i < 256; ++i)
        palette.Entries[i] = TPaletteEntry{static_cast<std::uint8_t>(colours[3 * i] << 2),
                                           static_cast<std::uint8_t>(colours[3 * i + 1] << 2),
                                           static_cast<std::uint8_t>(colours[3 * i + 2] << 2), 0};
    const std::uint32_t width = ImageProperties.Width, height = ImageProperties.Height;
    // Stored rows: the file must hold every one before the picture is made.
    loaders::RequireStoredPicture(reader, width, height, 1);
    SetPixelFormat(pf8bit);
    SetPalette(palette);
    // No pixels: the picture stays empty (no size either).
    if (width == 0 || height == 0) return;
    SetSize(static_cast<int>(width), static_cast<int>(height));
    for (std::uint32_t y = 0; y < height; ++y) {
        reader.Read(ScanLine(static_cast<int>(y)), width);
        RowDone(y, height);
    }
}

// --- CUT ---------------------------------------------------------------------------

bool TCUTGraphic::CanLoad(TStream&) { return false; }

const char* TCUTGraphic::FormatName() const { return CUTName; }

bool TCUTGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    std::uint8_t header[6];
    FormatReader(stream, CUTName).Read(header, sizeof header);
    TImageProperties& p = ImageProperties;
    p.Width = GetLE16(header);
    p.Height = GetLE16(header + 2);
    p.ColorScheme = csIndexed;
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 1;
    p.BitsPerPixel = 8;
    p.Compression = ctRLE;
    return true;
}

std::string TCUTGraphic::FindPaletteFile(const std::string& fileName)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path wanted = fs::path(fileName).replace_extension(".pal");
    if (fs::is_regular_file(wanted, error)) return wanted.string();
    // Files copied from other systems often carry upper-case names.
    fs::path folder = wanted.parent_path();
    const std::string name = wanted.filename().string();
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, error), end; !error && it != end;
         it.increment(error)) {
        if (SameText(it->path().filename().string(), name) && it->is_regular_file(error))
            return (folder / it->path().filename()).string();
    }
    return "";
}

void TCUTGraphic::LoadFromFile(const std::string& fileName)
{
    PaletteFile = FindPaletteFile(fileName);
    TFormatGraphic::LoadFromFile(fileName);
}

void TCUTGraphic::LoadPalette()
{
    TLogPalette palette;
    std::unique_ptr<TFileStream> file;
    if (!PaletteFile.empty()) {
        try {
            file = std::make_unique<TFileStream>(PaletteFile, FileMode::OpenRead);
        } catch (const EStreamError&) {
            file.reset();
        }
    }
    if (!file) {
        TColorManager& cm = *ColorManager;
        cm.SetTargetBitsPerSample(8);
        cm.SetTargetSamplesPerPixel(1);
        SetPalette(cm.CreateGrayscalePalette(false));
        return;
    }
    FormatReader reader(*file, CUTName);
    reader.Skip(12);
    const std::size_t count = std::min<std::size_t>(std::size_t(reader.LE16()) + 1, 256);
    // Entries run from offset 40 of the first block; one that would start
    // past 506 goes to the start of the next 512-byte block.
    std::size_t block = 0, at = PaletteFirstEntry;
    palette.Entries.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (at > PaletteLastEntryStart) {
            ++block;
            at = 0;
        }
        reader.Seek(static_cast<std::int64_t>(block * PaletteBlockSize + at));
        std::uint8_t entry[PaletteEntrySize];
        reader.Read(entry, sizeof entry);
        palette.Entries[i] = TPaletteEntry{entry[0], entry[2], entry[4], 0};
        at += PaletteEntrySize;
    }
    SetPalette(palette);
}

void TCUTGraphic::LoadImage(TStream& stream)
{
    const std::uint32_t width = ImageProperties.Width, height = ImageProperties.Height;
    ProgressRect = TRect{0, 0, static_cast<std::int32_t>(width), 0};
    Progress(TProgressStage::psStarting, 0, false, ProgressRect, gesTransfering);
    TEndProgress endProgress{*this};

    FormatReader reader(stream, CUTName);
    // Rows of run-length data may not describe more than their densest
    // packets can make of the bytes the file holds.
    reader.PictureBytes(width, height, 1, TCUTRLEDecoder::MaxExpansion);
    SetPixelFormat(pf8bit);
    LoadPalette();
    if (width == 0 || height == 0) return;
    SetSize(static_cast<int>(width), static_cast<int>(height));

    const std::vector<std::uint8_t> data = reader.Bytes(static_cast<std::uint64_t>(reader.Remaining()));
    TCUTRLEDecoder decoder;
    const std::uint8_t* source = data.data();
    const std::uint8_t* const end = data.data() + data.size();
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* line = ScanLine(static_cast<int>(y));
        const std::size_t left = static_cast<std::size_t>(end - source);
        // A row is its length word and at least one packet or the end byte.
        if (left < 3) reader.Fail(TReadFault::ShortData);
        try {
            decoder.Decode(source, line, left, width);
        } catch (const EGraphicCompression&) {
            ImageFormatsError(gesCompression, {CUTName});
        }
        // Data that ends inside a row, before its end byte, is a cut file.
        if (decoder.Produced() < width && source == end) reader.Fail(TReadFault::ShortData);
        RowDone(y, height);
    }
}
