// The stretch and block transfers. Nearest and bilinear stretching walk the
// source in 16.16 fixed point with 64-bit positions; a clipped destination
// starts the walk where the unclipped one would be at that pixel, so clipping
// never changes which source pixels the visible part shows.

#include "compositing/ArgbTransforms.h"

#include "compositing/ArgbBlend.h"

#include <algorithm>
#include <cmath>

void CheckTransferBitmaps(const TArgbBitmap* dst, const TArgbBitmap* src)
{
    if (!dst || dst->Empty()) throw ETransformError("Destination bitmap is nil or empty");
    if (!src || src->Empty()) throw ETransformError("Source bitmap is nil or empty");
}

bool CheckSourceRect(const TArgbBitmap* src, const TRect& srcRect)
{
    if (RectIsEmpty(srcRect)) return false;
    if (srcRect.Left < 0 || srcRect.Right > src->Width() || srcRect.Top < 0 || srcRect.Bottom > src->Height())
        throw ETransformError("Source rectangle is invalid");
    return true;
}

namespace {

// What every stretch worker sets up first; false when nothing is to be drawn.
struct Stretch {
    TRect R;  // the destination pixels written
    int SrcW = 0, SrcH = 0, DstW = 0, DstH = 0;
};

bool prepare(TArgbBitmap* dst, const TRect& dstRect, TArgbBitmap* src, const TRect& srcRect, Stretch& s)
{
    CheckTransferBitmaps(dst, src);
    if (!CheckSourceRect(src, srcRect) || RectIsEmpty(dstRect)) return false;
    if (!IntersectRects(s.R, dstRect, TRect{0, 0, dst->Width(), dst->Height()})) return false;
    s.SrcW = srcRect.Right - srcRect.Left;
    s.SrcH = srcRect.Bottom - srcRect.Top;
    s.DstW = dstRect.Right - dstRect.Left;
    s.DstH = dstRect.Bottom - dstRect.Top;
    return true;
}

// The stretch workers' preparation: nothing at master alpha 0 (when
// zeroMasterDrawsNothing), and a same-size transfer is a block transfer.
// True when the worker has scaling left to do.
bool prepareScaled(TArgbBitmap* dst, const TRect& dstRect, TArgbBitmap* src, const TRect& srcRect, TDrawMode combineOp,
                   const TPixelCombineEvent& callback, bool zeroMasterDrawsNothing, Stretch& s)
{
    if (!prepare(dst, dstRect, src, srcRect, s)) return false;
    if (zeroMasterDrawsNothing && src->MasterAlpha() == 0) return false;
    if (s.DstW == s.SrcW && s.DstH == s.SrcH) {
        TransferBlock(dst, dstRect.Left, dstRect.Top, src, srcRect, combineOp, callback);
        return false;
    }
    return true;
}

// The combine step of one pixel in a blending mode.
inline void combine(TArgbColor f, TArgbColor& b, TDrawMode op, unsigned master, const TPixelCombineEvent& callback)
{
    if (op == dmCustom) {
        callback(f, b, master);
    } else if (master >= 255) {
        BlendPixelTo(f, b);
    } else {
        BlendPixelMasterTo(f, b, int(master));
    }
}

// Runs body, then EndBlending, also when body raises.
template <class Body>
void blending(Body body)
{
    try {
        body();
    } catch (...) {
        EndBlending();
        throw;
    }
    EndBlending();
}

// Source positions of a nearest walk: one step per destination pixel.
template <class Put>
void walkNearest(TArgbBitmap* dst, const TRect& dstRect, TArgbBitmap* src, const TRect& srcRect, const Stretch& s,
                 Put put)
{
    const std::int64_t dx = (std::int64_t(s.SrcW) << 16) / s.DstW;
    const std::int64_t dy = (std::int64_t(s.SrcH) << 16) / s.DstH;
    const std::int64_t x0 = std::int64_t(s.R.Left - dstRect.Left) * dx;
    std::int64_t y = std::int64_t(s.R.Top - dstRect.Top) * dy;
    for (int row = s.R.Top; row < s.R.Bottom; ++row, y += dy) {
        const TArgbColor* in = src->RowPtr(srcRect.Top + int(y >> 16)) + srcRect.Left;
        TArgbColor* out = dst->RowPtr(row);
        std::int64_t x = x0;
        for (int col = s.R.Left; col < s.R.Right; ++col, x += dx) put(in[x >> 16], out[col]);
    }
}

}  // namespace

void TransferBlock(TArgbBitmap* dst, int dstX, int dstY, TArgbBitmap* src, const TRect& srcRect, TDrawMode combineOp,
                   const TPixelCombineEvent& callback)
{
    CheckTransferBitmaps(dst, src);
    if (combineOp == dmCustom && !callback) combineOp = dmOpaque;
    if (combineOp == dmOpaque) {
        // GDI clips; an inverted rectangle copies nothing (it does not mirror).
        if (!RectIsEmpty(srcRect))
            BitBlt(dst->DC(), dstX, dstY, srcRect.Right - srcRect.Left, srcRect.Bottom - srcRect.Top, src->DC(),
                   srcRect.Left, srcRect.Top, SRCCOPY);
        return;
    }
    const unsigned master = src->MasterAlpha();
    if (combineOp == dmBlend && master == 0) return;
    TRect s, r;
    IntersectRects(s, srcRect, TRect{0, 0, src->Width(), src->Height()});
    OffsetRectBy(s, dstX - srcRect.Left, dstY - srcRect.Top);
    if (RectIsEmpty(s) || !IntersectRects(r, s, TRect{0, 0, dst->Width(), dst->Height()})) return;
    blending([&] {
        const int length = r.Right - r.Left;
        for (int y = r.Top; y < r.Bottom; ++y) {
            const TArgbColor* in = src->PixelPtr(r.Left + srcRect.Left - dstX, y + srcRect.Top - dstY);
            TArgbColor* out = dst->PixelPtr(r.Left, y);
            if (combineOp == dmBlend && master >= 255) {
                BlendRun(in, out, length);
            } else if (combineOp == dmBlend) {
                BlendRunMaster(in, out, length, int(master));
            } else {
                for (int i = 0; i < length; ++i) callback(in[i], out[i], master);
            }
        }
    });
}

void StretchOpaqueNearest(TArgbBitmap* dst, const TRect& dstRect, TArgbBitmap* src, const TRect& srcRect)
{
    Stretch s;
    // The master alpha does not matter to an opaque copy.
    if (!prepareScaled(dst, dstRect, src, srcRect, dmOpaque, nullptr, false, s)) return;
    walkNearest(dst, dstRect, src, srcRect, s, [](TArgbColor f, TArgbColor& b) { b = f; });
}

void StretchNearest(TArgbBitmap* dst, const TRect& dstRect, TArgbBitmap* src, const TRect& srcRect, TDrawMode combineOp,
                    const TPixelCombineEvent& callback)
{
    Stretch s;
    if (!prepareScaled(dst, dstRect, src, srcRect, combineOp, callback, true, s)) return;
    const unsigned master = src->MasterAlpha();
    blending([&] {
        walkNearest(dst, dstRect, src, srcRect, s,
                    [&](TArgbColor f, TArgbColor& b) { combine(f, b, combineOp, master, callback); });
    });
}

void StretchBilinear(TArgbBitmap* dst, const TRect& dstRect, TArgbBitmap* src, const TRect& srcRect,
                     TDrawMode combineOp, const TPixelCombineEvent& callback)
{
    Stretch s;
    if (!prepareScaled(dst, dstRect, src, srcRect, combineOp, callback, true, s)) return;
    const unsigned master = src->MasterAlpha();
    const std::int64_t dx = (std::int64_t(s.SrcW - 1) << 16) / s.DstW;
    const std::int64_t dy = (std::int64_t(s.SrcH - 1) << 16) / s.DstH;
    const std::int64_t x0 = std::int64_t(s.R.Left - dstRect.Left) * dx;
    const bool horizontalFirst = combineOp == dmBlend && master < 255;
    blending([&] {
        std::int64_t y = std::int64_t(s.R.Top - dstRect.Top) * dy;
        for (int row = s.R.Top; row < s.R.Bottom; ++row, y += dy) {
            const int sy = srcRect.Top + int(y >> 16);
            const TArgbColor* upper = src->RowPtr(sy);
            const TArgbColor* lower = sy < srcRect.Bottom - 1 ? src->RowPtr(sy + 1) : upper;
            const int wy = 255 - int((y >> 8) & 255);
            TArgbColor* out = dst->RowPtr(row);
            std::int64_t x = x0;
            for (int col = s.R.Left; col < s.R.Right; ++col, x += dx) {
                const int i = srcRect.Left + int(x >> 16);
                // A one-pixel-wide source has no right neighbour: use the pixel itself.
                const int next = std::min(i + 1, srcRect.Right - 1);
                const int wx = 255 - int((x >> 8) & 255);
                TArgbColor c;
                if (horizontalFirst)
                    c = CombinePixel(CombinePixel(upper[i], upper[next], wx), CombinePixel(lower[i], lower[next], wx),
                                     wy);
                else
                    c = CombinePixel(CombinePixel(upper[i], lower[i], wy), CombinePixel(upper[next], lower[next], wy),
                                     wx);
                if (combineOp == dmOpaque)
                    out[col] = c;
                else
                    combine(c, out[col], combineOp, master, callback);
            }
        }
    });
}

// --- the resampler ---------------------------------------------------------------

float BoxKernel(float x) { return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f; }

float TriangleKernel(float x)
{
    if (x < -1.0f) return 0.0f;
    if (x < 0.0f) return 1.0f + x;
    if (x < 1.0f) return 1.0f - x;
    return 0.0f;
}

float SplineKernel(float x)
{
    const float a = std::fabs(x);
    if (a < 1.0f) return 0.5f * a * a * a - a * a + 2.0f / 3.0f;
    if (a < 2.0f) {
        const float b = 2.0f - a;
        return b * b * b / 6.0f;
    }
    return 0.0f;
}

namespace {

// Integer weights adding up to exactly 256; the rounding remainder goes to
// the largest weight. Zero weights are dropped.
TCluster normalised(const std::vector<std::pair<int, float>>& raw, int nearest)
{
    double total = 0;
    for (const auto& entry : raw) total += entry.second;
    TCluster cluster;
    if (total <= 0) {
        cluster.push_back({nearest, 256});
        return cluster;
    }
    int sum = 0;
    std::size_t largest = 0;
    for (const auto& [pos, value] : raw) {
        const int w = int(std::lround(256.0 * value / total));
        if (w == 0) continue;
        if (cluster.empty() || w > cluster[largest].Weight) largest = cluster.size();
        cluster.push_back({pos, w});
        sum += w;
    }
    if (cluster.empty()) {
        cluster.push_back({nearest, 256});
        return cluster;
    }
    cluster[largest].Weight += 256 - sum;
    return cluster;
}

}  // namespace

TMappingTable BuildSampleMap(int dstExtent, int srcBitmapExtent, int srcLo, int srcHi, TStretchFilter filter)
{
    if (srcBitmapExtent <= 0) return {};
    float (*kernel)(float) = TriangleKernel;
    float radius = 1.001f;
    if (filter == sfNearest) kernel = BoxKernel;
    if (filter == sfSpline) {
        kernel = SplineKernel;
        radius = 1.5f;
    }
    TMappingTable map(std::size_t(std::max(dstExtent, 0)));
    const int srcExtent = srcHi - srcLo;
    if (dstExtent < 1 || srcExtent < 1) return map;
    const int last = srcBitmapExtent - 1;
    if (srcExtent == 1) {
        for (TCluster& cluster : map) cluster.push_back({ClampInt(srcLo, 0, last), 256});
        return map;
    }
    // Corner to corner; a single destination pixel stands for the whole source.
    const bool single = dstExtent == 1;
    const float scale = single ? 1.0f / float(srcExtent) : float(dstExtent - 1) / float(srcExtent - 1);
    const float step = 1.0f / scale;
    std::vector<std::pair<int, float>> raw;
    for (int i = 0; i < dstExtent; ++i) {
        const float center = single ? float(srcLo) + float(srcExtent - 1) / 2.0f : float(i) * step + float(srcLo);
        const bool reduce = scale < 1.0f;
        const float reach = reduce ? radius * step : 1.0f / radius;
        raw.clear();
        const int first = int(std::floor(center - reach)), end = int(std::ceil(center + reach));
        for (int j = first; j <= end; ++j) {
            const float value = reduce ? kernel((center - float(j)) * scale) * scale : kernel(center - float(j));
            if (value > 0) raw.emplace_back(ClampInt(j, 0, last), value);
        }
        map[std::size_t(i)] = normalised(raw, ClampInt(int(std::nearbyint(center)), 0, last));
    }
    return map;
}

namespace {

void resample(TArgbBitmap* dst, const TRect& dstRect, TArgbBitmap* src, const TRect& srcRect, TStretchFilter filter,
              TDrawMode combineOp, const TPixelCombineEvent& callback)
{
    Stretch s;
    if (!prepareScaled(dst, dstRect, src, srcRect, combineOp, callback, combineOp == dmBlend, s)) return;
    const unsigned master = src->MasterAlpha();
    const TMappingTable mapX = BuildSampleMap(s.DstW, src->Width(), srcRect.Left, srcRect.Right, filter);
    const TMappingTable mapY = BuildSampleMap(s.DstH, src->Height(), srcRect.Top, srcRect.Bottom, filter);
    if (mapX.empty() || mapY.empty()) return;
    auto channel = [](std::int32_t sum) { return sum > 0xFF0000 ? 255u : std::uint32_t(sum & 0xFF0000) >> 16; };
    blending([&] {
        for (int y = s.R.Top; y < s.R.Bottom; ++y) {
            const TCluster& clusterY = mapY[std::size_t(y - dstRect.Top)];
            TArgbColor* out = dst->RowPtr(y);
            for (int x = s.R.Left; x < s.R.Right; ++x) {
                const TCluster& clusterX = mapX[std::size_t(x - dstRect.Left)];
                std::int32_t a = 0, r = 0, g = 0, b = 0;
                for (const TClusterEntry& py : clusterY) {
                    const TArgbColor* row = src->RowPtr(py.Pos);
                    for (const TClusterEntry& px : clusterX) {
                        const TArgbColor c = row[px.Pos];
                        const std::int32_t w = px.Weight * py.Weight;
                        a += std::int32_t(c >> 24) * w;
                        r += std::int32_t((c >> 16) & 0xFF) * w;
                        g += std::int32_t((c >> 8) & 0xFF) * w;
                        b += std::int32_t(c & 0xFF) * w;
                    }
                }
                const TArgbColor c = (channel(a) << 24) | (channel(r) << 16) | (channel(g) << 8) | channel(b);
                if (combineOp == dmOpaque)
                    out[x] = c;
                else if (combineOp == dmBlend)
                    BlendPixelMasterTo(c, out[x], int(master));
                else
                    callback(c, out[x], master);
            }
        }
    });
}

}  // namespace

void TransferStretched(TArgbBitmap* dst, const TRect& dstRect, TArgbBitmap* src, const TRect& srcRect,
                       TStretchFilter filter, TDrawMode combineOp, const TPixelCombineEvent& callback)
{
    if (combineOp == dmCustom && !callback) combineOp = dmOpaque;
    switch (filter) {
    case sfNearest:
        if (combineOp == dmOpaque)
            StretchOpaqueNearest(dst, dstRect, src, srcRect);
        else
            StretchNearest(dst, dstRect, src, srcRect, combineOp, callback);
        return;
    case sfLinear: StretchBilinear(dst, dstRect, src, srcRect, combineOp, callback); return;
    case sfLinear2:
    case sfSpline: resample(dst, dstRect, src, srcRect, filter, combineOp, callback); return;
    }
}
