#include "raster/RasterFX.h"

#include "raster/RasterLayout.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using namespace raster_layout;

namespace {

std::uint8_t clampByte(std::int64_t v) { return std::uint8_t(std::clamp<std::int64_t>(v, 0, 255)); }

TChannelTable identityTable()
{
    TChannelTable t{};
    for (int i = 0; i < 256; ++i) t[i] = std::uint8_t(i);
    return t;
}

int paletteEntries(int bitCount) { return 1 << bitCount; }

// Runs f(blue, green, red) -> new (blue, green, red) over every colour of the
// buffer: the palette at 1, 4, 8 bpp, a 64 K table of packed pixels at 16 bpp
// (fields expanded by bit replication, packed back by loss and shift; bits
// outside the three fields are kept), bytes 0..2 at 24 and 32 bpp.
template <class ColourFunction>
void mapColours(TRasterDIB& dib, ColourFunction f)
{
    const int bitCount = dib.BitCount();
    if (bitCount == 1 || bitCount == 4 || bitCount == 8) {
        for (int i = 0; i < paletteEntries(bitCount); ++i) {
            RGBQUAD& c = dib.Colors[i];
            const TColorTriple t = f(c.rgbBlue, c.rgbGreen, c.rgbRed);
            c.rgbBlue = t.Blue;
            c.rgbGreen = t.Green;
            c.rgbRed = t.Red;
        }
        dib.UpdateColorTable();
        return;
    }
    if (!hasPixels(dib)) return;
    const int width = dib.Width();
    if (bitCount == 16) {
        const ChannelLayout layout(dib);
        const std::uint32_t keep = 0xFFFFu & ~layout.usedBits();
        std::vector<std::uint16_t> table(65536);
        for (std::uint32_t v = 0; v < 65536; ++v) {
            const TColorTriple t = f(layout.blueRep(v), layout.greenRep(v), layout.redRep(v));
            table[v] = std::uint16_t(layout.pack(t.Red, t.Green, t.Blue) | (v & keep));
        }
        for (int y = 0; y < dib.AbsHeight; ++y) {
            std::uint8_t* p = dib.Rows[y];
            for (int x = 0; x < width; ++x, p += 2) store16(p, table[load16(p)]);
        }
    } else if (bitCount == 24 || bitCount == 32) {
        const int bytes = bitCount / 8;
        for (int y = 0; y < dib.AbsHeight; ++y) {
            std::uint8_t* p = dib.Rows[y];
            for (int x = 0; x < width; ++x, p += bytes) {
                const TColorTriple t = f(p[0], p[1], p[2]);
                p[0] = t.Blue;
                p[1] = t.Green;
                p[2] = t.Red;
            }
        }
    }
}

// Level normalisation needs each channel's range over the colours in use.
struct ChannelRange {
    int min[3] = {255, 255, 255};  // blue, green, red
    int max[3] = {0, 0, 0};
    bool any = false;
    void add(int blue, int green, int red)
    {
        const int v[3] = {blue, green, red};
        for (int k = 0; k < 3; ++k) {
            min[k] = std::min(min[k], v[k]);
            max[k] = std::max(max[k], v[k]);
        }
        any = true;
    }
};

ChannelRange channelRange(const TRasterDIB& dib)
{
    ChannelRange range;
    const int bitCount = dib.BitCount();
    if (bitCount == 1 || bitCount == 4 || bitCount == 8) {
        for (int i = 0; i < paletteEntries(bitCount); ++i)
            range.add(dib.Colors[i].rgbBlue, dib.Colors[i].rgbGreen, dib.Colors[i].rgbRed);
        return range;
    }
    if (!hasPixels(dib)) return range;
    const int width = dib.Width();
    if (bitCount == 16) {
        // Raw fields first; their extremes are expanded afterwards.
        const ChannelLayout layout(dib);
        std::uint32_t lo[3] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}, hi[3] = {0, 0, 0};
        for (int y = 0; y < dib.AbsHeight; ++y) {
            const std::uint8_t* p = dib.Rows[y];
            for (int x = 0; x < width; ++x, p += 2) {
                const std::uint32_t v = load16(p);
                const std::uint32_t f[3] = {layout.blueField(v), layout.greenField(v), layout.redField(v)};
                for (int k = 0; k < 3; ++k) {
                    lo[k] = std::min(lo[k], f[k]);
                    hi[k] = std::max(hi[k], f[k]);
                }
            }
        }
        const int bits[3] = {layout.blueBits, layout.greenBits, layout.redBits};
        for (int k = 0; k < 3; ++k) {
            range.min[k] = ExpandField(lo[k], bits[k]);
            range.max[k] = ExpandField(hi[k], bits[k]);
        }
        range.any = true;
    } else if (bitCount == 24 || bitCount == 32) {
        const int bytes = bitCount / 8;
        for (int y = 0; y < dib.AbsHeight; ++y) {
            const std::uint8_t* p = dib.Rows[y];
            for (int x = 0; x < width; ++x, p += bytes) range.add(p[0], p[1], p[2]);
        }
    }
    return range;
}

bool supportedDepth(int bitCount)
{
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
}

// Walks every row, calling filter(first channel byte, pixel stride, width)
// once per channel: 1 channel at 8 bpp, 3 at 24 and 32 bpp.
template <class RowFilter>
void forEachChannelRow(TRasterDIB& dib, RowFilter filter)
{
    const int bitCount = dib.BitCount();
    if ((bitCount != 8 && bitCount != 24 && bitCount != 32) || !hasPixels(dib)) return;
    const int width = dib.Width();
    if (width < 2) return;
    const int bytes = bitCount / 8;
    const int channels = bitCount == 8 ? 1 : 3;
    for (int y = 0; y < dib.AbsHeight; ++y)
        for (int c = 0; c < channels; ++c) filter(dib.Rows[y] + c, bytes, width);
}

}  // namespace

void FillRamp(TChannelTable& table, int first, int last, int start, int end)
{
    const int n = last - first;
    if (n <= 0) return;
    const std::int64_t step = (std::int64_t(end - start + 1) * 65536) / n;  // truncates like div
    for (int k = 0; k <= n; ++k) {
        const int index = first + k;
        if (index < 0 || index > 255) continue;
        const std::int64_t v = (std::int64_t(start) * 65536 + k * step) >> 16;
        table[index] = clampByte(v);
    }
}

TChannelTable ContrastTable(int amount)
{
    TChannelTable t{};
    amount = std::clamp(amount, -255, 255);
    if (amount < 0) {
        FillRamp(t, 0, 255, -amount, 255 + amount);
    } else {
        for (int i = 0; i < amount; ++i) t[i] = 0;
        FillRamp(t, amount, 255 - amount, 0, 255);
        for (int i = 256 - amount; i <= 255; ++i) t[i] = 255;
    }
    return t;
}

TChannelTable BrightnessTable(int amount)
{
    TChannelTable t{};
    amount = std::clamp(amount, -255, 255);
    if (amount < 0)
        FillRamp(t, 0, 255, 0, 255 + amount);
    else
        FillRamp(t, 0, 255, amount, 255);
    return t;
}

TChannelTable GammaTable(double gamma)
{
    if (!(gamma > 0)) return identityTable();  // no curve for 0, negatives or NaN
    TChannelTable t{};
    const long double g = gamma;
    for (int i = 1; i < 256; ++i) {
        const long double v = 255.0L * std::exp2(std::log2((long double)i / 255.0L) / g);
        t[i] = clampByte(std::int64_t(std::nearbyint(std::min(v, 1.0e6L))));
    }
    return t;
}

void ApplyChannelTables(TRasterDIB& dib, const TChannelTable& red, const TChannelTable& green,
                        const TChannelTable& blue)
{
    mapColours(dib, [&](std::uint8_t b, std::uint8_t g, std::uint8_t r) {
        return TColorTriple{blue[b], green[g], red[r]};
    });
}

void ApplyContrast(TRasterDIB& dib, int red, int green, int blue)
{
    ApplyChannelTables(dib, ContrastTable(red), ContrastTable(green), ContrastTable(blue));
}

void ApplyBrightness(TRasterDIB& dib, int red, int green, int blue)
{
    ApplyChannelTables(dib, BrightnessTable(red), BrightnessTable(green), BrightnessTable(blue));
}

void ApplyGamma(TRasterDIB& dib, double red, double green, double blue)
{
    ApplyChannelTables(dib, GammaTable(red), GammaTable(green), GammaTable(blue));
}

void NormalizeLevels(TRasterDIB& dib)
{
    if (!supportedDepth(dib.BitCount())) return;
    const ChannelRange range = channelRange(dib);
    if (!range.any) return;
    bool full = true;
    for (int k = 0; k < 3; ++k) full = full && range.min[k] == 0 && range.max[k] == 255;
    if (full) return;
    TChannelTable tables[3];
    for (int k = 0; k < 3; ++k) {
        if (range.min[k] == range.max[k]) {
            // A flat channel has no range to stretch; it keeps its value
            // rather than turning black.
            tables[k] = identityTable();
        } else {
            tables[k] = TChannelTable{};
            FillRamp(tables[k], range.min[k], range.max[k], 0, 255);
        }
    }
    ApplyChannelTables(dib, tables[2], tables[1], tables[0]);
}

void ApplySaturation(TRasterDIB& dib, int amount)
{
    const std::int64_t s = std::max(amount, 0);
    std::array<std::int64_t, 256> weight{};
    for (int v = 0; v < 256; ++v) weight[v] = (s * (v + 1)) >> 8;
    std::array<std::int64_t, 768> grey{};
    for (int t = 0; t < 768; ++t) {
        const std::int64_t m = t / 3 + 1;
        grey[t] = m - ((s * m) >> 8);
    }
    mapColours(dib, [&](std::uint8_t b, std::uint8_t g, std::uint8_t r) {
        const std::int64_t base = grey[b + g + r];
        return TColorTriple{clampByte(base + weight[b]), clampByte(base + weight[g]), clampByte(base + weight[r])};
    });
}

void InvertColors(TRasterDIB& dib)
{
    if (!hasPixels(dib) || !supportedDepth(dib.BitCount())) return;
    const std::size_t size = std::size_t(dib.Stride) * std::size_t(dib.AbsHeight);
    std::uint8_t* p = dib.Bits;
    std::size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        std::uint32_t w;
        std::memcpy(&w, p + i, 4);
        w = ~w;
        std::memcpy(p + i, &w, 4);
    }
    for (; i < size; ++i) p[i] = std::uint8_t(~p[i]);
}

void BlurHorizontal(TRasterDIB& dib)
{
    forEachChannelRow(dib, [](std::uint8_t* p, int bytes, int width) {
        const int lastOffset = (width - 1) * bytes;
        int previous = (p[0] + p[bytes]) >> 1;
        p[0] = std::uint8_t(previous);
        for (int offset = bytes; offset < lastOffset; offset += bytes) {
            previous = (previous + p[offset + bytes]) >> 1;
            p[offset] = std::uint8_t(previous);
        }
        p[lastOffset] = std::uint8_t((p[lastOffset] + previous) >> 1);
    });
}

// Kernel -1, 3, -1 (first and last pixel: 2, -1) on the row's old values. Its
// weights add up to 1, so flat areas and even ramps stay as they are and only
// edges get overshoot (weights adding up to 2, or feeding new values forward,
// would turn a flat row into stripes). One saved value of the left neighbour
// keeps it in place without a second row buffer.
void SharpenHorizontal(TRasterDIB& dib)
{
    forEachChannelRow(dib, [](std::uint8_t* p, int bytes, int width) {
        const int lastOffset = (width - 1) * bytes;
        int leftOld = p[0];
        p[0] = clampByte(2 * p[0] - p[bytes]);
        for (int offset = bytes; offset < lastOffset; offset += bytes) {
            const int own = p[offset];
            p[offset] = clampByte(3 * own - leftOld - p[offset + bytes]);
            leftOld = own;
        }
        p[lastOffset] = clampByte(2 * p[lastOffset] - leftOld);
    });
}
