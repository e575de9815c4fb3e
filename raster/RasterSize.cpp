#include "raster/RasterSize.h"

#include "raster/RasterLayout.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

using namespace raster_layout;

namespace {

// Both sides must have pixels; a zero-size source or target means there is
// nothing to sample or nothing to fill, and no step is ever divided by zero.
bool resizable(const TRasterDIB& src, const TRasterDIB& dst)
{
    const int bitCount = src.BitCount();
    if (bitCount != dst.BitCount()) return false;
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) return false;
    return hasPixels(src) && hasPixels(dst);
}

// ---------------------------------------------------------------------------
// Nearest neighbour.

template <int Bytes>
void copyNearestRow(const std::uint8_t* s, std::uint8_t* d, const std::vector<std::int32_t>& offsets)
{
    for (const std::int32_t offset : offsets) {
        const std::uint8_t* p = s + offset;
        if constexpr (Bytes == 1) {
            d[0] = p[0];
        } else if constexpr (Bytes == 2) {
            d[0] = p[0];
            d[1] = p[1];
        } else if constexpr (Bytes == 3) {
            d[0] = p[0];
            d[1] = p[1];
            d[2] = p[2];
        } else {
            std::memcpy(d, p, 4);
        }
        d += Bytes;
    }
}

// ---------------------------------------------------------------------------
// Bilinear. Each destination column keeps where its two source columns lie
// and its horizontal fraction, computed once per call.
struct ColumnSample {
    std::int32_t left;   // byte offset of column c
    std::int32_t right;  // byte offset of column c + 1 (c itself for a 1-pixel-wide source)
    std::uint32_t fx;    // x and 65535
};

std::vector<ColumnSample> bilinearColumns(int srcWidth, int dstWidth, int bytesPerPixel)
{
    std::vector<ColumnSample> columns(static_cast<std::size_t>(dstWidth));
    const std::int64_t step = (std::int64_t(srcWidth - 1) << 16) / dstWidth;
    std::int64_t x = 0;
    for (auto& column : columns) {
        const std::int32_t c = std::int32_t(x >> 16);
        const std::int32_t next = std::min(c + 1, srcWidth - 1);
        column = {c * bytesPerPixel, next * bytesPerPixel, std::uint32_t(x & 0xFFFF)};
        x += step;
    }
    return columns;
}

// Each destination row keeps its two source rows and their vertical weights
// (top + bottom = 65537), computed once per call like the columns.
struct RowSample {
    const std::uint8_t* upper;
    const std::uint8_t* lower;
    std::uint32_t top;
    std::uint32_t bottom;
};

std::vector<RowSample> bilinearRows(const TRasterDIB& src, int dstRows)
{
    std::vector<RowSample> rows(static_cast<std::size_t>(dstRows));
    const int srcRows = src.AbsHeight;
    const std::int64_t step = (std::int64_t(srcRows - 1) << 16) / dstRows;
    std::int64_t y = 0;
    for (auto& row : rows) {
        const int r0 = int(y >> 16);
        const int r1 = r0 == srcRows - 1 ? r0 : r0 + 1;
        const std::uint32_t fy = std::uint32_t(y & 0xFFFF);
        row = {src.Rows[std::size_t(r0)], src.Rows[std::size_t(r1)], 65536 - fy, fy + 1};
        y += step;
    }
    return rows;
}

// The four weights of one destination pixel. T + B is 65537, so a uniform
// 255 gives 255 x 65537 >> 16 = 255 and no channel overflows.
struct Weights {
    std::uint32_t tl, tr, bl, br;
    Weights(std::uint32_t top, std::uint32_t bottom, std::uint32_t fx)
    {
        tr = (top * fx) >> 16;
        tl = top - tr;
        br = (bottom * fx) >> 16;
        bl = bottom - br;
    }
    std::uint8_t mix(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) const
    {
        return std::uint8_t((tl * a + tr * b + bl * c + br * d) >> 16);
    }
};

// 8, 24 and 32 bpp: Channels bytes interpolated per pixel of Bytes bytes; the
// fourth byte of a 32-bit destination pixel is left as it was.
template <int Bytes, int Channels>
void bilinearBytes(const TRasterDIB& src, TRasterDIB& dst)
{
    const auto columns = bilinearColumns(src.Width(), dst.Width(), Bytes);
    const auto rows = bilinearRows(src, dst.AbsHeight);
    for (int row = 0; row < dst.AbsHeight; ++row) {
        const auto [upper, lower, top, bottom] = rows[std::size_t(row)];
        std::uint8_t* d = dst.Rows[row];
        for (const ColumnSample column : columns) {
            const Weights w(top, bottom, column.fx);
            const std::uint8_t* a = upper + column.left;
            const std::uint8_t* b = upper + column.right;
            const std::uint8_t* c = lower + column.left;
            const std::uint8_t* e = lower + column.right;
            // Computed before any store, so the stores cannot make the
            // compiler reload the column or the source bytes.
            std::uint8_t out[Channels];
            for (int k = 0; k < Channels; ++k) out[k] = w.mix(a[k], b[k], c[k], e[k]);
            for (int k = 0; k < Channels; ++k) d[k] = out[k];
            d += Bytes;
        }
    }
}

#if defined(__x86_64__) || defined(__i386__)
// The same arithmetic four 32-bit lanes at a time (blue, green, red and one
// spare), which is exact: every lane's sum stays below 2^24. Pixels are read
// four bytes at once where those bytes lie inside the row's memory (padding
// included); the others, and the last pixel of a 24-bit row, take the plain path.
#define PICTAVO_RESIZE_SSE41 1

__attribute__((target("sse4.1"))) inline __m128i loadPixelLanes(const std::uint8_t* p)
{
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(v));
}

template <int Bytes>
__attribute__((target("sse4.1"))) void bilinearBytesSse41(const TRasterDIB& src, TRasterDIB& dst)
{
    const int dstWidth = dst.Width();
    const std::int32_t rowBytes = src.Stride;
    const auto columns = bilinearColumns(src.Width(), dstWidth, Bytes);
    const auto rows = bilinearRows(src, dst.AbsHeight);
    for (int row = 0; row < dst.AbsHeight; ++row) {
        const auto [upper, lower, top, bottom] = rows[std::size_t(row)];
        std::uint8_t* d = dst.Rows[row];
        for (int x = 0; x < dstWidth; ++x, d += Bytes) {
            const ColumnSample column = columns[std::size_t(x)];
            const Weights w(top, bottom, column.fx);
            const std::uint8_t* a = upper + column.left;
            const std::uint8_t* b = upper + column.right;
            const std::uint8_t* c = lower + column.left;
            const std::uint8_t* e = lower + column.right;
            if (column.right + 4 > rowBytes || (Bytes == 3 && x == dstWidth - 1)) {
                std::uint8_t out[3];
                for (int k = 0; k < 3; ++k) out[k] = w.mix(a[k], b[k], c[k], e[k]);
                for (int k = 0; k < 3; ++k) d[k] = out[k];
                continue;
            }
            __m128i sum = _mm_mullo_epi32(loadPixelLanes(a), _mm_set1_epi32(std::int32_t(w.tl)));
            sum = _mm_add_epi32(sum, _mm_mullo_epi32(loadPixelLanes(b), _mm_set1_epi32(std::int32_t(w.tr))));
            sum = _mm_add_epi32(sum, _mm_mullo_epi32(loadPixelLanes(c), _mm_set1_epi32(std::int32_t(w.bl))));
            sum = _mm_add_epi32(sum, _mm_mullo_epi32(loadPixelLanes(e), _mm_set1_epi32(std::int32_t(w.br))));
            sum = _mm_srli_epi32(sum, 16);
            sum = _mm_packus_epi16(_mm_packus_epi32(sum, sum), sum);
            std::uint32_t out = std::uint32_t(_mm_cvtsi128_si32(sum));
            if constexpr (Bytes == 4) {
                // The fourth byte of the destination pixel stays as it was.
                out = (out & 0x00FFFFFFu) | (load32(d) & 0xFF000000u);
            }
            // At 24 bpp the fourth byte written is the next pixel's first,
            // which that pixel then writes again.
            std::memcpy(d, &out, 4);
        }
    }
}

bool processorHasSse41()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse4.1");
}
std::atomic<bool> vectorPath{processorHasSse41()};
#else
std::atomic<bool> vectorPath{false};
#endif

// 16 bpp: fields unpacked as field << loss (so 31 becomes 248 at 5 bits),
// interpolated, packed with the destination's layout.
void bilinear16(const TRasterDIB& src, TRasterDIB& dst)
{
    const ChannelLayout in(src);
    const ChannelLayout out(dst);
    std::vector<std::uint8_t> blue(65536), green(65536), red(65536);
    for (std::uint32_t v = 0; v < 65536; ++v) {
        blue[v] = in.blueShifted(v);
        green[v] = in.greenShifted(v);
        red[v] = in.redShifted(v);
    }
    std::array<std::uint16_t, 256> packBlue{}, packGreen{}, packRed{};
    for (int v = 0; v < 256; ++v) {
        packBlue[v] = std::uint16_t(out.pack(0, 0, std::uint8_t(v)));
        packGreen[v] = std::uint16_t(out.pack(0, std::uint8_t(v), 0));
        packRed[v] = std::uint16_t(out.pack(std::uint8_t(v), 0, 0));
    }

    const auto columns = bilinearColumns(src.Width(), dst.Width(), 2);
    const auto rows = bilinearRows(src, dst.AbsHeight);
    for (int row = 0; row < dst.AbsHeight; ++row) {
        const auto [upper, lower, top, bottom] = rows[std::size_t(row)];
        std::uint8_t* d = dst.Rows[row];
        for (const ColumnSample& column : columns) {
            const Weights w(top, bottom, column.fx);
            const std::uint16_t a = load16(upper + column.left);
            const std::uint16_t b = load16(upper + column.right);
            const std::uint16_t c = load16(lower + column.left);
            const std::uint16_t e = load16(lower + column.right);
            store16(d, packBlue[w.mix(blue[a], blue[b], blue[c], blue[e])] |
                           packGreen[w.mix(green[a], green[b], green[c], green[e])] |
                           packRed[w.mix(red[a], red[b], red[c], red[e])]);
            d += 2;
        }
    }
}

}  // namespace

void ResizeNearest(const TRasterDIB& src, TRasterDIB& dst)
{
    if (!resizable(src, dst)) return;
    const int bytes = src.BitCount() / 8;
    const int dstWidth = dst.Width();
    const std::int64_t stepX = (std::int64_t(src.Width()) << 16) / dstWidth;
    const std::int64_t stepY = (std::int64_t(src.AbsHeight) << 16) / dst.AbsHeight;
    std::vector<std::int32_t> offsets(static_cast<std::size_t>(dstWidth));
    std::int64_t x = 0;
    for (auto& offset : offsets) {
        offset = std::int32_t(x >> 16) * bytes;
        x += stepX;
    }
    std::int64_t y = 0;
    for (int row = 0; row < dst.AbsHeight; ++row, y += stepY) {
        const std::uint8_t* s = src.Rows[std::size_t(y >> 16)];
        std::uint8_t* d = dst.Rows[row];
        switch (bytes) {
        case 1: copyNearestRow<1>(s, d, offsets); break;
        case 2: copyNearestRow<2>(s, d, offsets); break;
        case 3: copyNearestRow<3>(s, d, offsets); break;
        default: copyNearestRow<4>(s, d, offsets); break;
        }
    }
}

void ResizeBilinear(const TRasterDIB& src, TRasterDIB& dst)
{
    if (!resizable(src, dst)) return;
    switch (dst.BitCount()) {
    case 8: bilinearBytes<1, 1>(src, dst); break;
    case 16: bilinear16(src, dst); break;
    case 24:
    case 32:
#ifdef PICTAVO_RESIZE_SSE41
        if (vectorPath.load(std::memory_order_relaxed)) {
            if (dst.BitCount() == 24)
                bilinearBytesSse41<3>(src, dst);
            else
                bilinearBytesSse41<4>(src, dst);
            break;
        }
#endif
        if (dst.BitCount() == 24)
            bilinearBytes<3, 3>(src, dst);
        else
            bilinearBytes<4, 3>(src, dst);
        break;
    }
}

bool SetResizeVectorPath(bool enabled)
{
#ifdef PICTAVO_RESIZE_SSE41
    enabled = enabled && processorHasSse41();
#else
    enabled = false;
#endif
    vectorPath.store(enabled);
    return enabled;
}
