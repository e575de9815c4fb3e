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
std::array<std::uint8_t, 511> blendTable(int alpha) {
    std::array<std::uint8_t, 511> table{};
    for (int d = -255; d <= 255; ++d) table[d + 255] = std::uint8_t((std::int64_t(d) * 2 * alpha) >> 8);
    return table;
}

std::uint32_t gdiColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return std::uint32_t(red) | (std::uint32_t(green) << 8) | (std::uint32_t(blue) << 16);
}

enum class KeyAction : std::uint8_t { Blend, KeepFirst, KeepSecond };

struct BlendKeys {
    std::uint32_t keep1, keep2, show;
    KeyAction action(std::uint32_t colour) const {
        if (colour == show) return KeyAction::KeepSecond;
        if (colour == keep1 || colour == keep2) return KeyAction::KeepFirst;
        return KeyAction::Blend;
    }
};

// 8, 24 and 32 bpp: the src2 pixel's colour (as the pixel reader gives it)
// picks copy or blend; blends go through the difference table. At 8 bpp the
// index itself is blended; at 32 bpp the fourth byte of dst stays.
void blendBytes(TRasterDIB& dst, const TRasterDIB& src1, const TRasterDIB& src2, Area area, int alpha,
                const BlendKeys& keys) {
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
void blend16(TRasterDIB& dst, const TRasterDIB& src1, const TRasterDIB& src2, Area area, int alpha) {
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
void mirrorRow(std::uint8_t* row, int width) {
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

// A pixel seen as up to three 8-bit channels, for bilinear sampling.
struct Channels {
    std::int32_t v[3] = {0, 0, 0};
};

class PixelCodec {
public:
    PixelCodec(const TRasterDIB& dib) : layout_(dib), bitCount_(dib.BitCount()) {}
    int channels() const { return bitCount_ == 8 ? 1 : 3; }
    Channels read(const std::uint8_t* p) const {
        Channels c;
        if (bitCount_ == 16) {
            const std::uint32_t v = load16(p);
            c.v[0] = layout_.blueShifted(v);
            c.v[1] = layout_.greenShifted(v);
            c.v[2] = layout_.redShifted(v);
        } else {
            for (int k = 0; k < channels(); ++k) c.v[k] = p[k];
        }
        return c;
    }
    void write(std::uint8_t* p, const Channels& c) const {
        if (bitCount_ == 16) {
            store16(p, layout_.pack(std::uint8_t(c.v[2]), std::uint8_t(c.v[1]), std::uint8_t(c.v[0])));
        } else {
            for (int k = 0; k < channels(); ++k) p[k] = std::uint8_t(c.v[k]);
        }
    }

private:
    ChannelLayout layout_;
    int bitCount_;
};

}  // namespace

void BlendDIBs(TRasterDIB& dst, const TRasterDIB& src1, const TRasterDIB& src2, int alpha, std::uint32_t keepKey1,
               std::uint32_t keepKey2, std::uint32_t showKey) {
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
    case 32:
        blendBytes(dst, src1, src2, area, alpha, BlendKeys{keepKey1, keepKey2, showKey});
        break;
    case 16:
        blend16(dst, src1, src2, area, alpha);
        break;
    }
}

void MirrorHorizontal(TRasterDIB& dib) {
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

void FlipVertical(TRasterDIB& dib) {
    if (!hasPixels(dib)) return;
    const std::size_t bytes = std::size_t(dib.Stride - dib.RowGap);
    std::vector<std::uint8_t> scratch(bytes);
    for (int i = 0, j = dib.AbsHeight - 1; i < j; ++i, --j) {
        std::memcpy(scratch.data(), dib.Rows[i], bytes);
        std::memcpy(dib.Rows[i], dib.Rows[j], bytes);
        std::memcpy(dib.Rows[j], scratch.data(), bytes);
    }
}

void SizeForRotation(const TRasterDIB& src, TRasterDIB& dst, double angle) {
    const double r = std::fabs(angle) * std::numbers::pi / 180.0;
    const double height = std::fabs(double(src.Header.Height));
    const double width = double(src.Width());
    const double s = std::fabs(std::sin(r)), c = std::fabs(std::cos(r));
    const double newWidth = std::nearbyint(std::fabs(s * height) + std::fabs(c * width) + 0.4);
    const double newHeight = std::nearbyint(std::fabs(c * height) + std::fabs(s * width) + 0.4);
    auto info = std::make_unique<BITMAPINFO>();
    info->bmiHeader = src.Header;
    std::copy(src.Colors, src.Colors + 256, info->bmiColors);
    info->bmiHeader.Width = std::int32_t(newWidth);
    info->bmiHeader.Height = std::int32_t(newHeight);
    dst.SetSizeIndirect(*info);
}

void RotateDIB(const TRasterDIB& src, TRasterDIB& dst, bool smooth, double angle) {
    const int bitCount = dst.BitCount();
    if (&src == &dst || src.BitCount() != bitCount) return;
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) return;
    if (!hasPixels(dst)) return;
    // A source without pixels has nothing to sample, and nothing is read.
    const std::int64_t srcWidth = hasPixels(src) ? src.Width() : 0;
    const std::int64_t srcRows = hasPixels(src) ? src.AbsHeight : 0;

    const double r = angle * std::numbers::pi / 180.0;
    const std::int64_t C = std::int64_t(std::nearbyint(std::cos(r) * 65536.0));
    const std::int64_t S = std::int64_t(std::nearbyint(std::sin(r) * 65536.0));
    // Heights are taken as row counts, so a top-down buffer turns about the
    // same centre as a bottom-up one.
    const std::int64_t dstWidth = dst.Width(), dstRows = dst.AbsHeight;
    const std::int64_t cx = dstWidth / 2, cy = dstRows / 2;
    const std::int64_t offsetX = (srcWidth - dstWidth) * 32768;
    const std::int64_t offsetY = (srcRows - dstRows) * 32768;
    const int bytes = bitCount / 8;
    const PixelCodec srcCodec(src), dstCodec(dst);
    const int channels = srcCodec.channels();

    for (std::int64_t Y = 0; Y < dstRows; ++Y) {
        std::int64_t x = (cx << 16) + (0 - cx) * C + (cy - Y) * S + offsetX;
        std::int64_t y = (cy << 16) + (0 - cx) * S - (cy - Y) * C + offsetY;
        std::uint8_t* d = dst.Rows[std::size_t(Y)];
        for (std::int64_t X = 0; X < dstWidth; ++X, x += C, y += S, d += bytes) {
            const std::int64_t x0 = x >> 16, y0 = y >> 16;  // floor
            if (!smooth) {
                if (x0 < 0 || x0 >= srcWidth || y0 < 0 || y0 >= srcRows) continue;
                const std::uint8_t* s = src.Rows[std::size_t(y0)] + x0 * bytes;
                std::memcpy(d, s, std::size_t(bytes));
                continue;
            }
            // A band one pixel wide around the source blends into what dst holds.
            if (x < -65536 || y < -65536 || x0 >= srcWidth || y0 >= srcRows) continue;
            const Channels here = dstCodec.read(d);
            auto sample = [&](std::int64_t sx, std::int64_t sy) {
                if (sx < 0 || sx >= srcWidth || sy < 0 || sy >= srcRows) return here;
                return srcCodec.read(src.Rows[std::size_t(sy)] + sx * bytes);
            };
            const Channels tl = sample(x0, y0), tr = sample(x0 + 1, y0);
            const Channels bl = sample(x0, y0 + 1), br = sample(x0 + 1, y0 + 1);
            const std::int64_t fx = x & 0xFFFF, fy = y & 0xFFFF;
            Channels out = here;
            for (int k = 0; k < channels; ++k) {
                const std::int64_t top = (tl.v[k] + ((fx * (tr.v[k] - tl.v[k])) >> 16)) & 0xFF;
                const std::int64_t bottom = (bl.v[k] + ((fx * (br.v[k] - bl.v[k])) >> 16)) & 0xFF;
                out.v[k] = std::int32_t((top + (((bottom - top) * fy) >> 16)) & 0xFF);
            }
            dstCodec.write(d, out);
        }
    }
}
