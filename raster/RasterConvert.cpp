#include "raster/RasterConvert.h"

#include "raster/RasterLayout.h"

#include <array>
#include <cstring>
#include <memory>
#include <vector>

using namespace raster_layout;

namespace {

bool isPaletteDepth(int bitCount) { return bitCount == 1 || bitCount == 4 || bitCount == 8; }
bool isTrueColourDepth(int bitCount) { return bitCount == 16 || bitCount == 24 || bitCount == 32; }

void copyPaletteEntries(const TRasterDIB& src, TRasterDIB& dst, int count)
{
    std::memcpy(dst.Colors, src.ColorTable, std::size_t(count) * sizeof(RGBQUAD));
}

void setPaletteEntry(TRasterDIB& dst, int index, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    dst.Colors[index] = RGBQUAD{blue, green, red, 0};
}

// ---------------------------------------------------------------------------
// Palette depth to palette depth: indices through a remapping table.
void paletteToPalette(const TRasterDIB& src, TRasterDIB& dst, Area area)
{
    const int from = src.BitCount();
    const int to = dst.BitCount();
    std::array<std::uint8_t, 256> remap{};
    for (int i = 0; i < 256; ++i) remap[i] = std::uint8_t(i);
    int entries = 16;
    if (to == 1) {
        for (int i = 1; i < 256; ++i) remap[i] = 1;
        entries = 2;
    } else if (from == 1) {
        entries = 2;
    } else if (from == 8 && to == 4) {
        // Indices past the 16 that fit are mapped to the nearest of those 16
        // colours rather than cut to a nibble.
        for (int i = 16; i < 256; ++i) {
            const RGBQUAD& c = src.ColorTable[i];
            remap[i] =
                std::uint8_t(NearestPaletteIndex(src.ColorTable, 15, TColorTriple{c.rgbBlue, c.rgbGreen, c.rgbRed}));
        }
    }
    std::vector<std::uint8_t> line(static_cast<std::size_t>(area.width));
    for (int y = 0; y < area.rows; ++y) {
        unpackIndices(src.Rows[y], area.width, from, line.data());
        for (auto& v : line) v = remap[v];
        packIndices(line.data(), area.width, to, dst.Rows[y]);
    }
    copyPaletteEntries(src, dst, entries);
    dst.UpdateColorTable();
}

// ---------------------------------------------------------------------------
// Palette depth to true colour: one table entry per index.
void paletteToTrueColour(const TRasterDIB& src, TRasterDIB& dst, Area area)
{
    const int from = src.BitCount();
    const int to = dst.BitCount();
    const ChannelLayout out(dst);
    std::array<std::uint32_t, 256> value{};
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& c = src.ColorTable[i];
        value[i] = to == 24
                       ? std::uint32_t(c.rgbBlue) | (std::uint32_t(c.rgbGreen) << 8) | (std::uint32_t(c.rgbRed) << 16)
                       : out.pack(c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
    std::vector<std::uint8_t> line(static_cast<std::size_t>(area.width));
    for (int y = 0; y < area.rows; ++y) {
        const std::uint8_t* idx = src.Rows[y];
        if (from != 8) {
            unpackIndices(src.Rows[y], area.width, from, line.data());
            idx = line.data();
        }
        std::uint8_t* d = dst.Rows[y];
        switch (to) {
        case 16:
            for (int x = 0; x < area.width; ++x, d += 2) store16(d, value[idx[x]]);
            break;
        case 24:
            for (int x = 0; x < area.width; ++x, d += 3) {
                const std::uint32_t v = value[idx[x]];
                d[0] = std::uint8_t(v);
                d[1] = std::uint8_t(v >> 8);
                d[2] = std::uint8_t(v >> 16);
            }
            break;
        case 32:
            for (int x = 0; x < area.width; ++x, d += 4) store32(d, value[idx[x]]);
            break;
        }
    }
}

// ---------------------------------------------------------------------------
// True colour to true colour.
void from16(const TRasterDIB& src, TRasterDIB& dst, Area area)
{
    const ChannelLayout in(src);
    const ChannelLayout out(dst);
    const int to = dst.BitCount();
    std::vector<std::uint32_t> table(65536);
    for (std::uint32_t v = 0; v < 65536; ++v) {
        const std::uint8_t r = in.redUp(v), g = in.greenUp(v), b = in.blueUp(v);
        table[v] = to == 24 ? std::uint32_t(b) | (std::uint32_t(g) << 8) | (std::uint32_t(r) << 16) : out.pack(r, g, b);
    }
    if (to == 32) table[0] = 0;  // black stays black
    for (int y = 0; y < area.rows; ++y) {
        const std::uint8_t* s = src.Rows[y];
        std::uint8_t* d = dst.Rows[y];
        switch (to) {
        case 16:
            for (int x = 0; x < area.width; ++x, s += 2, d += 2) store16(d, table[load16(s)]);
            break;
        case 24:
            for (int x = 0; x < area.width; ++x, s += 2, d += 3) {
                const std::uint32_t v = table[load16(s)];
                d[0] = std::uint8_t(v);
                d[1] = std::uint8_t(v >> 8);
                d[2] = std::uint8_t(v >> 16);
            }
            break;
        case 32:
            for (int x = 0; x < area.width; ++x, s += 2, d += 4) store32(d, table[load16(s)]);
            break;
        }
    }
}

struct PackTables {
    std::array<std::uint32_t, 256> red{}, green{}, blue{};
    explicit PackTables(const ChannelLayout& out)
    {
        for (int v = 0; v < 256; ++v) {
            red[v] = out.pack(std::uint8_t(v), 0, 0);
            green[v] = out.pack(0, std::uint8_t(v), 0);
            blue[v] = out.pack(0, 0, std::uint8_t(v));
        }
    }
    std::uint32_t operator()(std::uint8_t r, std::uint8_t g, std::uint8_t b) const
    {
        return red[r] | green[g] | blue[b];
    }
};

void from24(const TRasterDIB& src, TRasterDIB& dst, Area area)
{
    const ChannelLayout out(dst);
    const PackTables pack(out);
    const int to = dst.BitCount();
    const bool bytesOut = to == 32 && out.isEightEightEight();
    for (int y = 0; y < area.rows; ++y) {
        const std::uint8_t* s = src.Rows[y];
        std::uint8_t* d = dst.Rows[y];
        if (to == 16) {
            for (int x = 0; x < area.width; ++x, s += 3, d += 2) store16(d, pack(s[2], s[1], s[0]));
        } else if (bytesOut) {
            // The fourth byte of each destination pixel is left as it was.
            for (int x = 0; x < area.width; ++x, s += 3, d += 4) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        } else {
            for (int x = 0; x < area.width; ++x, s += 3, d += 4) store32(d, pack(s[2], s[1], s[0]));
        }
    }
}

void from32(const TRasterDIB& src, TRasterDIB& dst, Area area)
{
    const ChannelLayout in(src);
    const ChannelLayout out(dst);
    const PackTables pack(out);
    const int to = dst.BitCount();
    const bool sameWidths = in.blueBits == out.blueBits && in.greenBits == out.greenBits && in.redBits == out.redBits;
    for (int y = 0; y < area.rows; ++y) {
        const std::uint8_t* s = src.Rows[y];
        std::uint8_t* d = dst.Rows[y];
        if (to == 32 && sameWidths) {
            std::memcpy(d, s, std::size_t(area.width) * 4);
        } else if (to == 24 && in.isEightEightEight()) {
            for (int x = 0; x < area.width; ++x, s += 4, d += 3) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        } else if (to == 24) {
            for (int x = 0; x < area.width; ++x, s += 4, d += 3) {
                const std::uint32_t p = load32(s);
                d[0] = in.blueUp(p);
                d[1] = in.greenUp(p);
                d[2] = in.redUp(p);
            }
        } else if (to == 16) {
            for (int x = 0; x < area.width; ++x, s += 4, d += 2) {
                const std::uint32_t p = load32(s);
                store16(d, pack(in.redUp(p), in.greenUp(p), in.blueUp(p)));
            }
        } else {
            for (int x = 0; x < area.width; ++x, s += 4, d += 4) {
                const std::uint32_t p = load32(s);
                store32(d, pack(in.redUp(p), in.greenUp(p), in.blueUp(p)));
            }
        }
    }
}

// ---------------------------------------------------------------------------
// True colour to a palette. A source pixel seen three ways: the value that
// tells colours apart, and its colour as 8-bit channels.
struct Source16 {
    static constexpr int bytes = 2;
    ChannelLayout layout;
    std::uint32_t key(const std::uint8_t* p) const { return load16(p); }
    std::uint32_t wholeKey(const std::uint8_t* p) const { return load16(p); }
    TColorTriple colour(const std::uint8_t* p) const
    {
        const std::uint32_t v = load16(p);
        return {layout.blueUp(v), layout.greenUp(v), layout.redUp(v)};
    }
};
struct Source24 {
    static constexpr int bytes = 3;
    std::uint32_t key(const std::uint8_t* p) const
    {
        return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
    }
    std::uint32_t wholeKey(const std::uint8_t* p) const { return key(p); }
    TColorTriple colour(const std::uint8_t* p) const { return {p[0], p[1], p[2]}; }
};
struct Source32 {
    static constexpr int bytes = 4;
    ChannelLayout layout;
    // The palette is keyed by the first three bytes; the fourth is ignored.
    std::uint32_t key(const std::uint8_t* p) const
    {
        return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
    }
    // Two-colour pictures compare whole words.
    std::uint32_t wholeKey(const std::uint8_t* p) const { return load32(p); }
    TColorTriple colour(const std::uint8_t* p) const
    {
        const std::uint32_t v = load32(p);
        return {layout.blueUp(v), layout.greenUp(v), layout.redUp(v)};
    }
};

// Seen colours and their indices. 16-bit sources index a 64 K table; 24- and
// 32-bit sources a 2^24-bit seen set plus a 16 MB index table that is only
// read where the seen bit is set.
class ColourIndexMap {
public:
    explicit ColourIndexMap(bool sixteenBit) : small_(sixteenBit)
    {
        if (small_) {
            smallIndex_.assign(65536, -1);
        } else {
            seen_.assign(std::size_t(1) << 18, 0);
            index_ = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(1) << 24);
        }
    }
    bool find(std::uint32_t key, std::uint8_t& index) const
    {
        if (small_) {
            const int i = smallIndex_[key];
            if (i < 0) return false;
            index = std::uint8_t(i);
            return true;
        }
        if (!(seen_[key >> 6] & (std::uint64_t(1) << (key & 63)))) return false;
        index = index_[key];
        return true;
    }
    void add(std::uint32_t key, std::uint8_t index)
    {
        if (small_) {
            smallIndex_[key] = index;
        } else {
            seen_[key >> 6] |= std::uint64_t(1) << (key & 63);
            index_[key] = index;
        }
    }

private:
    bool small_;
    std::vector<int> smallIndex_;
    std::vector<std::uint64_t> seen_;
    std::unique_ptr<std::uint8_t[]> index_;
};

// Colours get indices in the order they are first met (memory order); when
// the palette is full, new colours get the overflow index.
template <class Source>
void firstComePalette(const Source& source, const TRasterDIB& src, TRasterDIB& dst, Area area, int limit,
                      std::uint8_t overflow)
{
    ColourIndexMap map(Source::bytes == 2);
    int next = 0;
    std::uint32_t lastKey = 0;
    std::uint8_t lastIndex = 0;
    bool haveLast = false;
    std::vector<std::uint8_t> line(static_cast<std::size_t>(area.width));
    for (int y = 0; y < area.rows; ++y) {
        const std::uint8_t* s = src.Rows[y];
        for (int x = 0; x < area.width; ++x, s += Source::bytes) {
            const std::uint32_t key = source.key(s);
            if (haveLast && key == lastKey) {  // neighbours often share a colour
                line[x] = lastIndex;
                continue;
            }
            std::uint8_t index = 0;
            if (!map.find(key, index)) {
                if (next < limit) {
                    index = std::uint8_t(next++);
                    map.add(key, index);
                    const TColorTriple c = source.colour(s);
                    setPaletteEntry(dst, index, c.Red, c.Green, c.Blue);
                } else {
                    index = overflow;
                }
            }
            line[x] = index;
            lastKey = key;
            lastIndex = index;
            haveLast = true;
        }
        packIndices(line.data(), area.width, dst.BitCount(), dst.Rows[y]);
    }
    dst.UpdateColorTable();
}

// Two-colour pictures: the first pixel P and the first one that differs, Q.
// From 16 bpp, entry 1 is P and pixels equal to P are 1; from 24 and 32 bpp,
// entry 0 is P, entry 1 is Q and pixels equal to Q are 1.
template <class Source>
void twoColour(const Source& source, const TRasterDIB& src, TRasterDIB& dst, Area area)
{
    const std::uint8_t* first = src.Rows[0];
    const std::uint8_t* firstDiffering = first;
    const std::uint32_t p = source.wholeKey(first);
    for (int y = 0; y < area.rows && firstDiffering == first; ++y) {
        const std::uint8_t* s = src.Rows[y];
        for (int x = 0; x < area.width; ++x, s += Source::bytes) {
            if (source.wholeKey(s) != p) {
                firstDiffering = s;
                break;
            }
        }
    }
    const std::uint32_t q = source.wholeKey(firstDiffering);
    const TColorTriple pc = source.colour(first);
    const TColorTriple qc = source.colour(firstDiffering);
    const bool ruleA = Source::bytes == 2;
    const std::uint32_t oneKey = ruleA ? p : q;
    if (ruleA) {
        setPaletteEntry(dst, 1, pc.Red, pc.Green, pc.Blue);
        setPaletteEntry(dst, 0, qc.Red, qc.Green, qc.Blue);
    } else {
        setPaletteEntry(dst, 0, pc.Red, pc.Green, pc.Blue);
        setPaletteEntry(dst, 1, qc.Red, qc.Green, qc.Blue);
    }
    std::vector<std::uint8_t> line(static_cast<std::size_t>(area.width));
    for (int y = 0; y < area.rows; ++y) {
        const std::uint8_t* s = src.Rows[y];
        for (int x = 0; x < area.width; ++x, s += Source::bytes) line[x] = source.wholeKey(s) == oneKey ? 1 : 0;
        packIndices(line.data(), area.width, 1, dst.Rows[y]);
    }
    dst.UpdateColorTable();
}

template <class Source>
void trueColourToPalette(const Source& source, const TRasterDIB& src, TRasterDIB& dst, Area area)
{
    switch (dst.BitCount()) {
    case 1: twoColour(source, src, dst, area); break;
    case 4: firstComePalette(source, src, dst, area, 16, 15); break;
    case 8: firstComePalette(source, src, dst, area, 256, Source::bytes == 2 ? 255 : 0); break;
    }
}

}  // namespace

void ConvertDIB(const TRasterDIB& src, TRasterDIB& dst)
{
    const int from = src.BitCount();
    const int to = dst.BitCount();
    const bool fromKnown = isPaletteDepth(from) || isTrueColourDepth(from);
    const bool toKnown = isPaletteDepth(to) || isTrueColourDepth(to);
    if (!fromKnown || !toKnown || &src == &dst) return;
    if (from == to && from != 16 && from != 32) return;
    const Area area = commonArea(src, dst);
    if (area.empty()) return;

    if (isPaletteDepth(to) && isPaletteDepth(from)) {
        paletteToPalette(src, dst, area);
    } else if (isPaletteDepth(from)) {
        paletteToTrueColour(src, dst, area);
    } else if (isPaletteDepth(to)) {
        if (from == 16)
            trueColourToPalette(Source16{ChannelLayout(src)}, src, dst, area);
        else if (from == 24)
            trueColourToPalette(Source24{}, src, dst, area);
        else
            trueColourToPalette(Source32{ChannelLayout(src)}, src, dst, area);
    } else if (from == 16) {
        from16(src, dst, area);
    } else if (from == 24) {
        from24(src, dst, area);
    } else {
        from32(src, dst, area);
    }
}

void ChangeBitCount(TRasterDIB& dib, int bitCount)
{
    if (bitCount == dib.BitCount()) return;
    if (bitCount != 0 && !isPaletteDepth(bitCount) && !isTrueColourDepth(bitCount)) return;
    auto converted = std::make_unique<TRasterDIB>();
    converted->UseGDI = true;
    converted->SetSize(dib.Width(), dib.Header.Height, bitCount);
    ConvertDIB(dib, *converted);
    dib.TakeOver(std::move(converted));
}
