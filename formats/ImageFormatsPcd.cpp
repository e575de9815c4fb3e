// Photo-CD loader. The resolution is fixed by the pack's kind (base for an
// image pack, base/16 for an overview pack), so the planes and the bytes
// read from the file follow from it and are checked before anything is made.

#include "formats/ImageFormatsPcd.h"
#include "formats/ImageFormatsReading.h"

#include <cstring>
#include <vector>

using namespace FormatStrings;
using loaders::FormatReader;
using loaders::PeekHeader;

namespace {

const char* const PCDName = "PCD";
constexpr std::size_t SectorSize = 2048;
constexpr std::size_t HeaderBytes = 6144;
constexpr std::size_t RotationOffset = 3586;
constexpr std::size_t OverviewDataSector = 5;
constexpr std::size_t BaseDataSector = 96;

bool isOverview(const std::uint8_t* header) { return std::memcmp(header, "PCD_OPA", 7) == 0; }
bool isImagePack(const std::uint8_t* header) { return std::memcmp(header + SectorSize, "PCD", 3) == 0; }

}  // namespace

bool TPCDGraphic::CanLoad(TStream& stream)
{
    std::uint8_t header[SectorSize + 3];
    return PeekHeader(stream, header, sizeof header, HeaderBytes + 1) && (isOverview(header) || isImagePack(header));
}

bool TPCDGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    std::vector<std::uint8_t> header(HeaderBytes);
    FormatReader(stream, PCDName).Read(header.data(), header.size());
    const bool overview = isOverview(header.data());
    if (!overview && !isImagePack(header.data())) return false;
    TImageProperties& p = ImageProperties;
    p.Overview = overview;
    p.Rotate = header[RotationOffset] & 3;
    const std::uint32_t resolution = overview ? 0 : std::min<std::uint32_t>(imageIndex, 5);
    p.Width = 192u << resolution;
    p.Height = 128u << resolution;
    if (p.Rotate == 1 || p.Rotate == 3) std::swap(p.Width, p.Height);
    p.ColorScheme = csPhotoYCC;
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 3;
    p.BitsPerPixel = 24;
    p.Compression = resolution < 3 ? ctNone : ctPCDHuffmann;
    p.ImageCount = GetBE16(header.data() + 10);
    return true;
}

void TPCDGraphic::UpsampleRow2x(std::uint32_t width, std::uint32_t height, std::uint32_t rowStride, std::uint8_t* plane)
{
    if (width == 0 || height == 0) return;
    // The half-size samples, so the doubled rows can be written over them.
    std::vector<std::uint8_t> source(std::size_t(width) * height);
    for (std::uint32_t y = 0; y < height; ++y)
        std::memcpy(&source[std::size_t(y) * width], plane + std::size_t(y) * rowStride, width);
    auto s = [&](std::uint32_t x, std::uint32_t y) -> unsigned { return source[std::size_t(y) * width + x]; };
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* even = plane + std::size_t(2 * y) * rowStride;
        for (std::uint32_t x = 0; x < width; ++x) {
            even[2 * x] = static_cast<std::uint8_t>(s(x, y));
            even[2 * x + 1] = static_cast<std::uint8_t>(x + 1 < width ? (s(x, y) + s(x + 1, y) + 1) / 2 : s(x, y));
        }
        std::uint8_t* odd = plane + std::size_t(2 * y + 1) * rowStride;
        if (y + 1 == height) {
            std::memcpy(odd, even, std::size_t(2) * width);
            continue;
        }
        for (std::uint32_t x = 0; x < width; ++x) {
            odd[2 * x] = static_cast<std::uint8_t>((s(x, y) + s(x, y + 1) + 1) / 2);
            odd[2 * x + 1] = static_cast<std::uint8_t>(
                x + 1 < width ? (s(x, y) + s(x + 1, y) + s(x, y + 1) + s(x + 1, y + 1) + 2) / 4 : odd[2 * x]);
        }
    }
}

const char* TPCDGraphic::FormatName() const { return PCDName; }

void TPCDGraphic::LoadImage(TStream& stream)
{
    const bool overview = ImageProperties.Overview;
    const std::uint8_t rotate = ImageProperties.Rotate;
    const std::uint32_t width = overview ? 192 : 768, height = overview ? 128 : 512;
    ResetProgressRect(width);
    Progress(TProgressStage::psStarting, 0, false, ProgressRect, gesPreparing);
    TEndProgress endProgress{*this};

    FormatReader reader(stream, PCDName);
    reader.Seek(BasePosition +
                static_cast<std::int64_t>((overview ? OverviewDataSector : BaseDataSector) * SectorSize));
    // Two luma rows and a half row of each chroma per pair of rows: all of
    // it must be in the file before the planes are made.
    const std::size_t planeBytes = static_cast<std::size_t>(reader.PixelCount(width, height));
    if (planeBytes / 2 * 3 > static_cast<std::uint64_t>(reader.Remaining())) reader.Fail(TReadFault::ShortData);
    std::vector<std::uint8_t> luma(planeBytes), chroma1(planeBytes), chroma2(planeBytes);

    TColorManager& cm = *ColorManager;
    cm.SetSourceColorScheme(csPhotoYCC);
    cm.SetSourceBitsPerSample(8);
    cm.SetSourceSamplesPerPixel(3);
    cm.SetTargetColorScheme(csBGR);
    cm.SetTargetBitsPerSample(8);
    cm.SetTargetSamplesPerPixel(3);
    const float coefficients[] = {0.2125f, 0.7154f, 0.0721f};
    cm.SetYCbCrParameters(coefficients, 2, 2);
    NextStage(gesLoadingData);

    for (std::uint32_t y = 0; y < height; y += 2) {
        reader.Read(&luma[std::size_t(y) * width], std::size_t(2) * width);
        reader.Read(&chroma1[std::size_t(y / 2) * width], width / 2);
        reader.Read(&chroma2[std::size_t(y / 2) * width], width / 2);
        RowDone(y, height);
    }
    NextStage(gesUpsampling);
    UpsampleRow2x(width / 2, height / 2, width, chroma1.data());
    UpsampleRow2x(width / 2, height / 2, width, chroma2.data());
    Progress(TProgressStage::psEnding, 0, false, ProgressRect, "");

    const bool turned = rotate == 1 || rotate == 3;
    SetPixelFormat(pf24bit);
    if (!cm.WritesPixelsOf(PixelFormat())) ImageFormatsError(gesInvalidColorFormat, {PCDName});
    SetSize(static_cast<int>(turned ? height : width), static_cast<int>(turned ? width : height));
    ResetProgressRect(turned ? height : width);
    Progress(TProgressStage::psStarting, 0, false, ProgressRect, gesTransfering);
    std::vector<std::uint8_t> converted(std::size_t(width) * 3);
    for (std::uint32_t r = 0; r < height; ++r) {
        const std::size_t at = std::size_t(r) * width;
        const std::span<const std::uint8_t> y(&luma[at], width), c1(&chroma1[at], width), c2(&chroma2[at], width);
        if (!turned) {
            cm.ConvertRow({y, c1, c2}, ScanLineSpan(static_cast<int>(r)), width);
        } else {
            cm.ConvertRow({y, c1, c2}, converted, width);
            // Rotation 1: the stored top row becomes the left column, read
            // from the bottom up; rotation 3 the mirror of that.
            for (std::uint32_t i = 0; i < width; ++i) {
                const int line = static_cast<int>(rotate == 1 ? width - 1 - i : i);
                const std::uint32_t column = rotate == 1 ? r : height - 1 - r;
                std::memcpy(ScanLine(line) + std::size_t(column) * 3, &converted[std::size_t(i) * 3], 3);
            }
        }
        RowDone(r, height);
    }
}
