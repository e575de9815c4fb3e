// Blending, mirroring and rotation: the geometric and compositing half of
// the effects module.

#include "raster/RasterFX.h"
#include "raster/RasterLayout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

using namespace raster_layout;

namespace {

// ---------------------------------------------------------------------------
// Blending

// (d x 2 x alpha) >> 8 kept to 8 bits, for d = -255..255.
std::array<std::uint8_t, 511> blendTable(int alpha)
{
    std::array<std::uint8_t, 511> table{};
    for (int d = -255; d <= 255; ++d) table[d + 255] = std::uint8_t((std::int64_t(d) * 2 * alpha) >> 8);
    return table;
}

std::uint32_t gdiColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return std::uint32_t(red) | (std::uint32_t(green) << 8) | (std::uint32_t(blue) << 16);
}

enum class KeyAction : std::uint8_t { Blend, KeepFirst, KeepSecond };

struct BlendKeys {
    std::uint32_t keep1, keep2, show;
    KeyAction action(std::uint32_t colour) const
    {
        if (colour == show) return KeyAction::KeepSecond;
        if (colour == keep1 || colour == keep2) return KeyAction::KeepFirst;
        return KeyAction::Blend;
    }
};

// 8, 24 and 32 bpp: the src2 pixel's colour (as the pixel reader gives it)
// picks copy or blend; blends go through the difference table. At 8 bpp the
// index itself is blended; at 32 bpp the fourth byte of dst stays.
void blendBytes(TRasterDIB& dst, const TRasterDIB& src1, const TRasterDIB& src2, Area area, int alpha,
                const BlendKeys& keys)
{
    const auto table = blendTable(alpha);
    const int bitCount = dst.BitCount();
    const int bytes = bitCount / 8;
    const int channels = bitCount == 8 ? 1 : 3;

    std::array<KeyAction, 256> indexAction{};
    if (bitCount == 8)
        for (int i = 0; i < 256; ++i) {
            const RGBQUAD& c = src2.Colors[i];
            indexAction[i] = keys.action(gdiColour(c.rgbRed, c.rgbGreen, c.rgbBlue));
        }
    const bool bitFields = bitCount == 32 && src2.Header.Compression == BI_BITFIELDS;
    const ChannelLayout layout(src2);

    for (int y = 0; y < area.rows; ++y) {
        const std::uint8_t* s1 = src1.Rows[y];
        const std::uint8_t* s2 = src2.Rows[y];
        std::uint8_t* d = dst.Rows[y];
        for (int x = 0; x < area.width; ++x, s1 += bytes, s2 += bytes, d += bytes) {
            KeyAction action;
            if (bitCount == 8) {
                action = indexAction[s2[0]];
            } else if (bitFields) {
                const std::uint32_t v = load32(s2);
                action = keys.action(gdiColour(layout.redRep(v), layout.greenRep(v), layout.blueRep(v)));
            } else {
                action = keys.action(gdiColour(s2[2], s2[1], s2[0]));
            }
            switch (action) {
            case KeyAction::KeepFirst:
                for (int k = 0; k < channels; ++k) d[k] = s1[k];
                break;
            case KeyAction::KeepSecond:
                for (int k = 0; k < channels; ++k) d[k] = s2[k];
                break;
            case KeyAction::Blend:
                for (int k = 0; k < channels; ++k) d[k] = std::uint8_t(s2[k] + table[s1[k] - s2[k] + 255]);
                break;
            }
        }
    }
}

// 16 bpp ignores the keys: each field is s2 + ((s1 - s2) x alpha >> 8) with
// the shift taken as a floor, so both halves of a difference round the same
// way; alpha 256 gives src1.
void blend16(TRasterDIB& dst, const TRasterDIB& src1, const TRasterDIB& src2, Area area, int alpha)
{
    const ChannelLayout layout(dst);
    const std::uint32_t masks[3] = {layout.blueMask, layout.greenMask, layout.redMask};
    const int shifts[3] = {0, layout.greenShift, layout.redShift};
    for (int y = 0; y < area.rows; ++y) {
        const std::uint8_t* s1 = src1.Rows[y];
        const std::uint8_t* s2 = src2.Rows[y];
        std::uint8_t* d = dst.Rows[y];
        for (int x = 0; x < area.width; ++x, s1 += 2, s2 += 2, d += 2) {
            const std::uint32_t a = load16(s1), b = load16(s2);
            std::uint32_t result = 0;
            for (int k = 0; k < 3; ++k) {
                const std::int64_t f1 = (a >> shifts[k]) & masks[k];
                const std::int64_t f2 = (b >> shifts[k]) & masks[k];
                const std::int64_t f = f2 + (((f1 - f2) * alpha) >> 8);
                result |= (std::uint32_t(f) & masks[k]) << shifts[k];
            }
            store16(d, result);
        }
    }
}

// ---------------------------------------------------------------------------
// Mirroring

template <int Bytes>
void mirrorRow(std::uint8_t* row, int width)
{
    std::uint8_t* left = row;
    std::uint8_t* right = row + (width - 1) * Bytes;
    while (left < right) {
        for (int k = 0; k < Bytes; ++k) std::swap(left[k], right[k]);
        left += Bytes;
        right -= Bytes;
    }
}

// ---------------------------------------------------------------------------
// Rotation

// Where destination pixel (0, Y) samples the source, in 16.16; along a row x
// grows by C and y by S.
// The centre (cx16, cy16) is in 16.16: whole pixels for arbitrary angles,
// the exact middle (half pixels on even sides) for quarter turns, where C and
// S are 0 or +-1 and every product stays exact.
struct Rotation {
    std::int64_t C = 0, S = 0;
    std::int64_t cx16 = 0, cy16 = 0, offsetX = 0, offsetY = 0;
    std::int64_t srcWidth = 0, srcRows = 0;
    std::int64_t rowStartX(std::int64_t Y) const
    {
        return cx16 + ((0 - cx16) * C + (cy16 - (Y << 16)) * S) / 65536 + offsetX;
    }
    std::int64_t rowStartY(std::int64_t Y) const
    {
        return cy16 + ((0 - cx16) * S - (cy16 - (Y << 16)) * C) / 65536 + offsetY;
    }
    bool inside(std::int64_t sx, std::int64_t sy) const { return sx >= 0 && sx < srcWidth && sy >= 0 && sy < srcRows; }
};

template <int Bytes>
void rotateNearest(const TRasterDIB& src, TRasterDIB& dst, const Rotation& r)
{
    for (std::int64_t Y = 0; Y < dst.AbsHeight; ++Y) {
        std::int64_t x = r.rowStartX(Y), y = r.rowStartY(Y);
        std::uint8_t* d = dst.Rows[std::size_t(Y)];
        for (std::int64_t X = 0; X < dst.Width(); ++X, x += r.C, y += r.S, d += Bytes) {
            const std::int64_t x0 = x >> 16, y0 = y >> 16;  // floor
            if (!r.inside(x0, y0)) continue;
            std::memcpy(d, src.Rows[std::size_t(y0)] + x0 * Bytes, Bytes);
        }
    }
}

// One channel: top = tl + fx (tr - tl), bottom = bl + fx (br - bl), each kept
// to 8 bits, then top + fy (bottom - top).
inline std::uint8_t interpolate(std::int32_t tl, std::int32_t tr, std::int32_t bl, std::int32_t br, std::int32_t fx,
                                std::int32_t fy)
{
    const std::int32_t top = (tl + ((fx * (tr - tl)) >> 16)) & 0xFF;
    const std::int32_t bottom = (bl + ((fx * (br - bl)) >> 16)) & 0xFF;
    return std::uint8_t(top + (((bottom - top) * fy) >> 16));
}

// 8, 24 and 32 bpp: Channels bytes of each Bytes-byte pixel are interpolated
// (the fourth byte of a 32-bit destination pixel stays). Neighbours outside
// the source take the destination pixel's current value, so a band one pixel
// wide around the turned picture blends into what dst holds.
template <int Bytes, int Channels>
void rotateSmoothBytes(const TRasterDIB& src, TRasterDIB& dst, const Rotation& r)
{
    for (std::int64_t Y = 0; Y < dst.AbsHeight; ++Y) {
        std::int64_t x = r.rowStartX(Y), y = r.rowStartY(Y);
        std::uint8_t* d = dst.Rows[std::size_t(Y)];
        for (std::int64_t X = 0; X < dst.Width(); ++X, x += r.C, y += r.S, d += Bytes) {
            if (x < -65536 || y < -65536) continue;
            const std::int64_t x0 = x >> 16, y0 = y >> 16;
            if (x0 >= r.srcWidth || y0 >= r.srcRows) continue;
            const std::int32_t fx = std::int32_t(x & 0xFFFF), fy = std::int32_t(y & 0xFFFF);
            const std::uint8_t *tl, *tr, *bl, *br;
            if (x0 >= 0 && y0 >= 0 && x0 + 1 < r.srcWidth && y0 + 1 < r.srcRows) {
                tl = src.Rows[std::size_t(y0)] + x0 * Bytes;
                bl = src.Rows[std::size_t(y0 + 1)] + x0 * Bytes;
                tr = tl + Bytes;
                br = bl + Bytes;
            } else {
                auto at = [&](std::int64_t sx, std::int64_t sy) -> const std::uint8_t* {
                    return r.inside(sx, sy) ? src.Rows[std::size_t(sy)] + sx * Bytes : d;
                };
                tl = at(x0, y0);
                tr = at(x0 + 1, y0);
                bl = at(x0, y0 + 1);
                br = at(x0 + 1, y0 + 1);
            }
            std::uint8_t out[Channels];
            for (int k = 0; k < Channels; ++k) out[k] = interpolate(tl[k], tr[k], bl[k], br[k], fx, fy);
            for (int k = 0; k < Channels; ++k) d[k] = out[k];
        }
    }
}

// 16 bpp: each field unpacked as value << loss (cut to 8 bits), interpolated
// and packed with the destination's layout.
void rotateSmooth16(const TRasterDIB& src, TRasterDIB& dst, const Rotation& r)
{
    const ChannelLayout in(src), out(dst);
    auto unpack = [](const ChannelLayout& layout, std::uint32_t v, std::int32_t c[3]) {
        c[0] = layout.blueShifted(v);
        c[1] = layout.greenShifted(v);
        c[2] = layout.redShifted(v);
    };
    for (std::int64_t Y = 0; Y < dst.AbsHeight; ++Y) {
        std::int64_t x = r.rowStartX(Y), y = r.rowStartY(Y);
        std::uint8_t* d = dst.Rows[std::size_t(Y)];
        for (std::int64_t X = 0; X < dst.Width(); ++X, x += r.C, y += r.S, d += 2) {
            if (x < -65536 || y < -65536) continue;
            const std::int64_t x0 = x >> 16, y0 = y >> 16;
            if (x0 >= r.srcWidth || y0 >= r.srcRows) continue;
            std::int32_t c[4][3];
            const std::int64_t sx[4] = {x0, x0 + 1, x0, x0 + 1}, sy[4] = {y0, y0, y0 + 1, y0 + 1};
            for (int i = 0; i < 4; ++i) {
                if (r.inside(sx[i], sy[i]))
                    unpack(in, load16(src.Rows[std::size_t(sy[i])] + sx[i] * 2), c[i]);
                else
                    unpack(out, load16(d), c[i]);
            }
            const std::int32_t fx = std::int32_t(x & 0xFFFF), fy = std::int32_t(y & 0xFFFF);
            std::uint8_t v[3];
            for (int k = 0; k < 3; ++k) v[k] = interpolate(c[0][k], c[1][k], c[2][k], c[3][k], fx, fy);
            store16(d, out.pack(v[2], v[1], v[0]));
        }
    }
}

}  // namespace

void BlendDIBs(TRasterDIB& dst, const TRasterDIB& src1, const TRasterDIB& src2, int alpha, std::uint32_t keepKey1,
               std::uint32_t keepKey2, std::uint32_t showKey)
{
    const int bitCount = dst.BitCount();
    if (src1.BitCount() != bitCount || src2.BitCount() != bitCount) return;
    Area area = commonArea(dst, src1);
    const Area second = commonArea(dst, src2);
    area.width = std::min(area.width, second.width);
    area.rows = std::min(area.rows, second.rows);
    if (area.empty()) return;
    switch (bitCount) {
    case 8:
    case 24:
    case 32: blendBytes(dst, src1, src2, area, alpha, BlendKeys{keepKey1, keepKey2, showKey}); break;
    case 16: blend16(dst, src1, src2, area, alpha); break;
    }
}

void MirrorHorizontal(TRasterDIB& dib)
{
    if (!hasPixels(dib)) return;
    const int width = dib.Width();
    const int bitCount = dib.BitCount();
    if (bitCount == 1 || bitCount == 4) {
        // Pixel by pixel, so every width mirrors exactly (a partial last byte
        // included); padding bits stay where they are.
        std::vector<std::uint8_t> line(static_cast<std::size_t>(width));
        for (int y = 0; y < dib.AbsHeight; ++y) {
            unpackIndices(dib.Rows[y], width, bitCount, line.data());
            std::reverse(line.begin(), line.end());
            packIndices(line.data(), width, bitCount, dib.Rows[y]);
        }
        return;
    }
    for (int y = 0; y < dib.AbsHeight; ++y) {
        switch (bitCount) {
        case 8: mirrorRow<1>(dib.Rows[y], width); break;
        case 16: mirrorRow<2>(dib.Rows[y], width); break;
        case 24: mirrorRow<3>(dib.Rows[y], width); break;
        case 32: mirrorRow<4>(dib.Rows[y], width); break;
        default: return;
        }
    }
}

void FlipVertical(TRasterDIB& dib)
{
    if (!hasPixels(dib)) return;
    const std::size_t bytes = std::size_t(dib.Stride - dib.RowGap);
    std::vector<std::uint8_t> scratch(bytes);
    for (int i = 0, j = dib.AbsHeight - 1; i < j; ++i, --j) {
        std::memcpy(scratch.data(), dib.Rows[i], bytes);
        std::memcpy(dib.Rows[i], dib.Rows[j], bytes);
        std::memcpy(dib.Rows[j], scratch.data(), bytes);
    }
}

void SizeForRotation(const TRasterDIB& src, TRasterDIB& dst, double angle)
{
    if (!std::isfinite(angle)) angle = 0;
    const double r = std::fabs(angle) * std::numbers::pi / 180.0;
    const double height = std::fabs(double(src.Header.Height));
    const double width = double(src.Width());
    const double s = std::fabs(std::sin(r)), c = std::fabs(std::cos(r));
    // Kept within 32 bits; the buffer itself refuses sizes it cannot hold.
    auto side = [](double v) { return std::int32_t(std::min(std::nearbyint(v), 2147483647.0)); };
    auto info = std::make_unique<BITMAPINFO>();
    info->bmiHeader = src.Header;
    std::copy(src.Colors, src.Colors + 256, info->bmiColors);
    info->bmiHeader.Width = side(std::fabs(s * height) + std::fabs(c * width) + 0.4);
    info->bmiHeader.Height = side(std::fabs(c * height) + std::fabs(s * width) + 0.4);
    dst.SetSizeIndirect(*info);
}

void RotateDIB(const TRasterDIB& src, TRasterDIB& dst, bool smooth, double angle)
{
    const int bitCount = dst.BitCount();
    if (&src == &dst || src.BitCount() != bitCount || !std::isfinite(angle)) return;
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) return;
    if (!hasPixels(dst)) return;

    Rotation r;
    // A source without pixels has nothing to sample, and nothing is read.
    r.srcWidth = hasPixels(src) ? src.Width() : 0;
    r.srcRows = hasPixels(src) ? src.AbsHeight : 0;
    const double radians = angle * std::numbers::pi / 180.0;
    r.C = std::int64_t(std::nearbyint(std::cos(radians) * 65536.0));
    r.S = std::int64_t(std::nearbyint(std::sin(radians) * 65536.0));
    // Heights are taken as row counts, so a top-down buffer turns about the
    // same centre as a bottom-up one.
    // An integer centre sits half a pixel off on even sides; for arbitrary
    // angles that is invisible, but a quarter turn would lose one source
    // column or row, so quarter turns take the exact middle.
    const bool quarterTurn = std::fmod(angle, 90.0) == 0.0;
    if (quarterTurn) {
        r.cx16 = std::int64_t(dst.Width() - 1) * 32768;
        r.cy16 = std::int64_t(dst.AbsHeight - 1) * 32768;
    } else {
        r.cx16 = std::int64_t(dst.Width() / 2) * 65536;
        r.cy16 = std::int64_t(dst.AbsHeight / 2) * 65536;
    }
    r.offsetX = (r.srcWidth - dst.Width()) * 32768;
    r.offsetY = (r.srcRows - dst.AbsHeight) * 32768;

    if (!smooth) {
        switch (bitCount) {
        case 8: rotateNearest<1>(src, dst, r); break;
        case 16: rotateNearest<2>(src, dst, r); break;
        case 24: rotateNearest<3>(src, dst, r); break;
        case 32: rotateNearest<4>(src, dst, r); break;
        }
        return;
    }
    switch (bitCount) {
    case 8: rotateSmoothBytes<1, 1>(src, dst, r); break;
    case 16: rotateSmooth16(src, dst, r); break;
    case 24: rotateSmoothBytes<3, 3>(src, dst, r); break;
    case 32: rotateSmoothBytes<4, 3>(src, dst, r); break;
    }
}
