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

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace decoration_detail;

namespace {

// Every byte p of a row over the background's byte b (blue, green, red
// over and over) with its 16-bit weight w: (p w + b (256 - w) + 128) shr 8.
// That is ((p - b) w + 256 b + 128) shr 8, whose sum lies in 0..65408, so
// 16-bit lanes that wrap in between still end on it.
void weighRow(std::uint8_t* row, const std::uint16_t* weights, const std::uint16_t (&background)[3], std::size_t bytes)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    // Forty-eight bytes (sixteen pixels) at a time, so every block starts
    // with a blue byte: six vectors of eight lanes each.
    __m128i backgrounds[6], constants[6];
    for (int v = 0; v < 6; ++v) {
        std::int16_t b[8], c[8];
        for (int lane = 0; lane < 8; ++lane) {
            b[lane] = std::int16_t(background[(8 * v + lane) % 3]);
            c[lane] = std::int16_t(std::uint16_t(256 * background[(8 * v + lane) % 3] + 128));
        }
        backgrounds[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
        constants[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
    }
    const __m128i zero = _mm_setzero_si128();
    auto weigh = [&](__m128i p, std::size_t at, int v) {
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + at));
        const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(p, backgrounds[v]), w), constants[v]);
        return _mm_srli_epi16(sum, 8);
    };
    for (; i + 48 <= bytes; i += 48)
        for (std::size_t k = 0; k < 3; ++k) {
            std::uint8_t* at = row + i + 16 * k;
            const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const __m128i low = weigh(_mm_unpacklo_epi8(pixels, zero), i + 16 * k, int(2 * k));
            const __m128i high = weigh(_mm_unpackhi_epi8(pixels, zero), i + 16 * k + 8, int(2 * k + 1));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_packus_epi16(low, high));
        }
#endif
    for (; i < bytes; ++i)
        row[i] = std::uint8_t((row[i] * weights[i] + background[i % 3] * (256 - weights[i]) + 128) >> 8);
}

// The mask's intensity (61 R + 174 G + 21 B) shr 8 is the picture's alpha,
// read at the nearest-neighbour step of the compositor's stretch; a picture
// byte p over the background byte b with alpha a becomes
// (p a + b (256 - a) + 128) shr 8, where alpha 0 gives b; alpha 255 keeps p.
void maskPicture(TRasterDIB& picture, const TRasterDIB& mask, TColor background)
{
    const int w = picture.Width(), h = picture.AbsHeight, mw = mask.Width(), mh = mask.AbsHeight;
    const COLORREF colour = ColorToRGB(background);
    const std::uint16_t backgroundBytes[3] = {GetBValue(colour), GetGValue(colour), GetRValue(colour)};
    const std::int64_t stepX = (std::int64_t(mw) << 16) / w, stepY = (std::int64_t(mh) << 16) / h;
    // The first picture column each mask column shows in (the walk never goes back).
    std::vector<std::size_t> firstColumn(std::size_t(mw) + 1, std::size_t(w));
    for (int x = w - 1; x >= 0; --x) firstColumn[std::size_t((x * stepX) >> 16)] = std::size_t(x);
    for (int s = mw - 1; s >= 0; --s)
        firstColumn[std::size_t(s)] = std::min(firstColumn[std::size_t(s)], firstColumn[std::size_t(s) + 1]);
    // The weight of every byte for the mask row last read, and the picture
    // columns it changes (alpha 255 keeps the picture as it is).
    std::vector<std::uint16_t> weights(std::size_t(w) * 3, 0);
    std::vector<std::pair<std::size_t, std::size_t>> changed;
    int preparedRow = -1;
    for (int y = 0; y < h; ++y) {
        const int maskRow = int((y * stepY) >> 16);
        if (maskRow != preparedRow) {
            changed.clear();
            const std::uint8_t* m = RowBytes(mask, maskRow);
            for (std::size_t s = 0; s < std::size_t(mw); ++s, m += 3) {
                const std::size_t first = firstColumn[s], last = firstColumn[s + 1];
                const int alpha = (61 * m[2] + 174 * m[1] + 21 * m[0]) >> 8;
                if (alpha == 255 || first == last) continue;
                std::fill(weights.begin() + std::ptrdiff_t(3 * first), weights.begin() + std::ptrdiff_t(3 * last),
                          std::uint16_t(alpha));
                if (!changed.empty() && changed.back().second == first)
                    changed.back().second = last;
                else
                    changed.emplace_back(first, last);
            }
            preparedRow = maskRow;
        }
        std::uint8_t* row = RowBytes(picture, y);
        for (const auto& [first, last] : changed)
            weighRow(row + 3 * first, weights.data() + 3 * first, backgroundBytes, 3 * (last - first));
    }
}

}  // namespace

void ApplyOverlay(TRasterDIB& picture, const std::string& maskFile, const std::string&, int invert, TColor background,
                  int scale, int, int brightening)
{
    if (!HasPixels(picture) || picture.BitCount() != 24) return;
    // A stored relative name lies in the program folder, as the other decorations' pictures do.
    const std::string path = DecorationFilePath(maskFile);
    if (path.empty() || !FileExists(path)) return;
    // A mask scaled to nothing is no mask.
    if (scale <= 0) return;
    const std::string key = "mask\n" + path + "\n" + std::to_string(scale) + "\n" + std::to_string(invert) + "\n" +
                            std::to_string(brightening);
    const std::shared_ptr<const TRasterDIB> mask = CachedDecorationPicture(key, [&]() -> std::unique_ptr<TRasterDIB> {
        auto loaded = std::make_unique<TRasterDIB>();
        LoadScaledImage(*loaded, path, scale, invert, brightening);
        if (!HasPixels(*loaded) || loaded->BitCount() != 24) return nullptr;
        return loaded;
    });
    // A mask that does not load leaves the picture as it is.
    if (mask) maskPicture(picture, *mask, background);
}

void DrawMaskRecord(TRasterDIB& picture, const std::string& record)
{
    auto number = [&](int field) { return StrToInt(GetField(0, record, field)); };
    const std::string file = RecordText(1, record, MaskField::File);
    const int brightening = number(MaskField::Transparency);
    const int scale = number(MaskField::Scale);
    const int kind = number(MaskField::BackgroundKind);
    const TColor background = TColor(number(MaskField::BackgroundColor));
    const int invert = number(MaskField::Invert);
    ApplyOverlay(picture, file, GetField(1, record, MaskField::Extra1), invert, background, scale, kind, brightening);
}
