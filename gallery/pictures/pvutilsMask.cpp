// The masked overlay: a grey mask picture decides, pixel by pixel, how much
// of the picture shows and how much of a flat background colour shows
// instead.
//
// It gives the bytes the 32-bit compositor gives (the picture as a layer
// whose alpha is the stretched mask's intensity, blended over a bitmap of the
// background colour and copied back), in one pass over the 24-bit picture:
// no picture-sized buffer is made.

#include "gallery/pictures/pvutilsDecorationCache.h"
#include "gallery/pictures/pvutilsDecorations.h"
#include "gallery/pictures/pvutilsDecorationsInternal.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "platform/system/System.h"

#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace decoration_detail;

namespace {

// Every byte of a row as (byte x weight + offset) shr 8, with 16-bit
// weights and offsets (the sums stay below 65536).
void weighRow(std::uint8_t* row, const std::uint16_t* weights, const std::uint16_t* offsets, std::size_t bytes)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= bytes; i += 16) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        auto weigh = [&](__m128i half, std::size_t at) {
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + at));
            const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(offsets + at));
            return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(half, w), o), 8);
        };
        const __m128i low = weigh(_mm_unpacklo_epi8(pixels, zero), i);
        const __m128i high = weigh(_mm_unpackhi_epi8(pixels, zero), i + 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_packus_epi16(low, high));
    }
#endif
    for (; i < bytes; ++i) row[i] = std::uint8_t((row[i] * weights[i] + offsets[i]) >> 8);
}

// The mask's intensity (61 R + 174 G + 21 B) shr 8 is the picture's alpha,
// read at the nearest-neighbour step of the compositor's stretch; a picture
// byte p over the background byte b with alpha a becomes
// (p a + b (256 - a) + 128) shr 8, where alpha 0 gives b and 255 gives p.
// Alpha 255 is taken as 256, which gives p by the same form.
void maskPicture(TRasterDIB& picture, const TRasterDIB& mask, TColor background)
{
    const int w = picture.Width(), h = picture.AbsHeight, mw = mask.Width(), mh = mask.AbsHeight;
    const COLORREF colour = ColorToRGB(background);
    const std::uint16_t backgroundBytes[3] = {GetBValue(colour), GetGValue(colour), GetRValue(colour)};
    const std::int64_t stepX = (std::int64_t(mw) << 16) / w, stepY = (std::int64_t(mh) << 16) / h;
    std::vector<int> columns(std::size_t(w), 0);
    for (int x = 0; x < w; ++x) columns[std::size_t(x)] = int((x * stepX) >> 16);
    // Per mask column, then per picture byte: the weights and offsets of one mask row.
    std::vector<std::uint16_t> columnWeights(std::size_t(mw) * 3, 0), columnOffsets(std::size_t(mw) * 3, 0);
    std::vector<std::uint16_t> weights(std::size_t(w) * 3, 0), offsets(std::size_t(w) * 3, 0);
    int preparedRow = -1;
    for (int y = 0; y < h; ++y) {
        const int maskRow = int((y * stepY) >> 16);
        if (maskRow != preparedRow) {
            const std::uint8_t* m = RowBytes(mask, maskRow);
            for (std::size_t x = 0; x < std::size_t(mw); ++x, m += 3) {
                const int alpha = (61 * m[2] + 174 * m[1] + 21 * m[0]) >> 8;
                const std::uint16_t weight = std::uint16_t(alpha == 255 ? 256 : alpha);
                for (std::size_t k = 0; k < 3; ++k) {
                    columnWeights[3 * x + k] = weight;
                    columnOffsets[3 * x + k] = std::uint16_t(backgroundBytes[k] * (256 - weight) + 128);
                }
            }
            for (std::size_t x = 0; x < std::size_t(w); ++x) {
                const std::size_t from = 3 * std::size_t(columns[x]);
                std::memcpy(&weights[3 * x], &columnWeights[from], 3 * sizeof(std::uint16_t));
                std::memcpy(&offsets[3 * x], &columnOffsets[from], 3 * sizeof(std::uint16_t));
            }
            preparedRow = maskRow;
        }
        weighRow(RowBytes(picture, y), weights.data(), offsets.data(), weights.size());
    }
}

}  // namespace

void ApplyOverlay(TRasterDIB& picture, const std::string& maskFile, const std::string&, int invert, TColor background,
                  int scale, int, int brightening)
{
    if (!HasPixels(picture) || picture.BitCount() != 24) return;
    if (!FileExists(ToFileSystemPath(maskFile))) return;
    // A mask scaled to nothing is no mask.
    if (scale <= 0) return;
    const std::string key = "mask\n" + maskFile + "\n" + std::to_string(scale) + "\n" + std::to_string(invert) + "\n" +
                            std::to_string(brightening);
    const std::shared_ptr<const TRasterDIB> mask = CachedDecorationPicture(key, [&]() -> std::unique_ptr<TRasterDIB> {
        auto loaded = std::make_unique<TRasterDIB>();
        LoadScaledImage(*loaded, maskFile, scale, invert, brightening);
        if (!HasPixels(*loaded) || loaded->BitCount() != 24) return nullptr;
        return loaded;
    });
    // A mask that does not load leaves the picture as it is.
    if (mask) maskPicture(picture, *mask, background);
}

void DrawMaskRecord(TRasterDIB& picture, const std::string& record)
{
    auto number = [&](int field) { return StrToInt(GetField(0, record, field)); };
    const std::string file = GetField(1, record, MaskField::File);
    const int brightening = number(MaskField::Transparency);
    const int scale = number(MaskField::Scale);
    const int kind = number(MaskField::BackgroundKind);
    const TColor background = TColor(number(MaskField::BackgroundColor));
    const int invert = number(MaskField::Invert);
    ApplyOverlay(picture, file, GetField(1, record, MaskField::Extra1), invert, background, scale, kind, brightening);
}
