// The border decorations: the frame picture stretched over the picture, the
// outline tiled along its edges and the bevel's rings.

#include "gallery/records/PropertyRecords.h"
#include "gallery/pictures/pvutilsDecorationCache.h"
#include "gallery/pictures/pvutilsDecorations.h"
#include "gallery/pictures/pvutilsDecorationsInternal.h"
#include "gallery/pictures/pvutilsGeometry.h"
#include "raster/RasterDraw.h"
#include "raster/RasterFX.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

using namespace decoration_detail;

// --- frame picture ------------------------------------------------------------

namespace {

// The frame picture stretched over the picture by nearest neighbour, as the
// GDI layer stretches (destination column x shows source column
// (2x + 1) * sw / 2w), blended only where it has pixels that are not a
// transparent key: no picture-sized canvas is made.
class FrameOverPicture {
public:
    FrameOverPicture(const TRasterDIB& frame, int width, int height, const TKeyedBlend& blend)
        : frame_(frame),
          height_(height),
          blend_(blend),
          columns_(std::size_t(width)),
          firstColumn_(std::size_t(frame.Width()) + 1),
          canvas_(std::size_t(width) * 3)
    {
        const std::int64_t fw = frame.Width();
        for (int x = 0; x < width; ++x)
            columns_[std::size_t(x)] = int((2 * std::int64_t(x) + 1) * fw / (2 * std::int64_t(width)));
        // The first picture column of each frame column; the walk never goes back.
        int x = 0;
        for (int s = 0; s <= frame.Width(); ++s) {
            while (x < width && columns_[std::size_t(x)] < s) ++x;
            firstColumn_[std::size_t(s)] = x;
        }
    }

    void Draw(TRasterDIB& image)
    {
        for (int y = 0; y < height_; ++y) {
            const int frameRow = int((2 * std::int64_t(y) + 1) * frame_.AbsHeight / (2 * std::int64_t(height_)));
            if (frameRow != preparedRow_) prepare(frameRow);
            std::uint8_t* row = RowBytes(image, y);
            for (const Run& run : runs_) {
                const std::size_t at = 3 * std::size_t(run.first);
                if (run.show)
                    std::memcpy(row + at, canvas_.data() + at, 3 * std::size_t(run.last - run.first));
                else
                    blend_.Mix(row + at, canvas_.data() + at, run.last - run.first);
            }
        }
    }

private:
    // Picture columns first..last-1 that show the frame (or mix with it).
    struct Run {
        int first, last;
        bool show;
    };

    // The runs of one frame row, and its stretched pixels where they lie.
    void prepare(int frameRow)
    {
        runs_.clear();
        const std::uint8_t* source = RowBytes(frame_, frameRow);
        const bool mixShows = blend_.MixShowsCanvas();
        for (int s = 0; s < frame_.Width();) {
            const TKeyedBlend::Action action = blend_.ActionOf(source + 3 * std::size_t(s));
            int end = s + 1;
            while (end < frame_.Width() && blend_.ActionOf(source + 3 * std::size_t(end)) == action) ++end;
            const int first = firstColumn_[std::size_t(s)], last = firstColumn_[std::size_t(end)];
            if (action != TKeyedBlend::Action::Keep && first < last) {
                const bool show = action == TKeyedBlend::Action::Show || mixShows;
                if (!runs_.empty() && runs_.back().last == first && runs_.back().show == show)
                    runs_.back().last = last;
                else
                    runs_.push_back(Run{first, last, show});
                for (int x = first; x < last; ++x)
                    std::memcpy(canvas_.data() + 3 * std::size_t(x), source + 3 * std::size_t(columns_[std::size_t(x)]),
                                3);
            }
            s = end;
        }
        preparedRow_ = frameRow;
    }

    const TRasterDIB& frame_;
    const int height_;
    const TKeyedBlend& blend_;
    std::vector<int> columns_;      // the frame column of each picture column
    std::vector<int> firstColumn_;  // the first picture column of each frame column, and the width
    std::vector<std::uint8_t> canvas_;
    std::vector<Run> runs_;
    int preparedRow_ = -1;
};

}  // namespace

void DrawFrameImage(TRasterDIB& image, const std::string& file, int transparency, int expandHeight, int expandWidth,
                    COLORREF transparentColour)
{
    if (!HasPixels(image)) return;
    // Loaded before anything changes, so a frame that does not load leaves
    // the picture exactly as it was, expansion included.
    const std::shared_ptr<const TRasterDIB> frame = DecorationPicture(file);
    if (!frame) return;
    // Negative expansions would cut the picture: they count as none.
    const int ew = std::max(expandWidth, 0), eh = std::max(expandHeight, 0);
    if (ew > 0 || eh > 0) {
        TRasterDIB grown;
        MakeCanvasLike(grown, std::int64_t(image.Width()) + 2 * std::int64_t(ew),
                       std::int64_t(image.AbsHeight) + 2 * std::int64_t(eh), image.Header.Height < 0, BlackTriple);
        image.Draw(grown.DC, ew, eh);
        image.TakeOver(grown);
    }
    const TKeyedBlend blend(StampBlendWeight(transparency), BorderOpaqueKey(transparentColour), transparentColour);
    FrameOverPicture(*frame, image.Width(), image.AbsHeight, blend).Draw(image);
}

// --- outline ---------------------------------------------------------------------

namespace {

// The outline: the picture tiled along the top edge, the picture turned half
// round along the bottom edge (over the top strip where they meet), and the
// top strip turned to stand along the left edge and mirrored along the right
// one, their corners mitred, drawn over the strips except where they hold the
// transparent colour or silver. Everything else is the transparent colour.
// Built a row at a time, and only where it can differ from that colour.
class OutlineRows {
public:
    OutlineRows(const TRasterDIB& outline, int width, int height, COLORREF transparentColour)
        : outline_(outline),
          w_(width),
          h_(height),
          t_(outline.AbsHeight),
          clear_(ColorToTriple(transparentColour)),
          silver_(ColorToTriple(DecorationSilver)),
          line_(std::size_t(width) * 3),
          turned_(std::size_t(outline.Width()) * 3)
    {
    }

    // The left side covers columns 0..SideEnd()-1, the right one SideStart()..width-1.
    int SideEnd() const { return std::min(t_, w_); }
    int SideStart() const { return std::max(0, w_ - t_); }
    // Whether row y is a strip's row: every column of it is drawn.
    bool StripRow(int y) const { return y < t_ || y >= h_ - t_; }

    // Columns first..last-1 of row y of the outline layer.
    const std::uint8_t* Row(int y, int first, int last)
    {
        strip(y, first, last);
        // The sides, left first; the right one is drawn over it where they meet.
        for (int x = std::max(first, 0); x < std::min(last, SideEnd()); ++x) side(x, y, x);
        for (int x = std::max(first, SideStart()); x < last; ++x) side(x, y, w_ - 1 - x);
        return line_.data();
    }

private:
    const std::uint8_t* at(int x, int y) const { return RowBytes(outline_, y) + 3 * std::size_t(x); }

    // The strips: the top one is the outline's row y over and over, the
    // bottom one (drawn over it) the outline turned half round.
    void strip(int y, int first, int last)
    {
        const int ow = outline_.Width();
        const std::uint8_t* period = nullptr;
        if (y >= h_ - t_) {
            for (int k = 0; k < ow; ++k) std::memcpy(&turned_[3 * std::size_t(k)], at(ow - 1 - k, h_ - 1 - y), 3);
            period = turned_.data();
        } else if (y < t_) {
            period = at(0, y);
        }
        if (!period) {
            for (int x = first; x < last; ++x) put(x, &clear_.Blue);
            return;
        }
        for (int x = first; x < last;) {
            const int offset = x % ow, n = std::min(ow - offset, last - x);
            std::memcpy(line_.data() + 3 * std::size_t(x), period + 3 * std::size_t(offset), 3 * std::size_t(n));
            x += n;
        }
    }

    // Column k of the side (0 at the picture's edge) on row y, drawn at x.
    void side(int x, int y, int k)
    {
        // Above the top diagonal or below the bottom one the strips show.
        if (k > y || k > h_ - 1 - y) return;
        const std::uint8_t* p = at(y % outline_.Width(), k);
        const TColorTriple c{p[0], p[1], p[2]};
        if (c == clear_ || c == silver_) return;
        put(x, p);
    }

    void put(int x, const std::uint8_t* pixel) { std::memcpy(line_.data() + 3 * std::size_t(x), pixel, 3); }

    const TRasterDIB& outline_;
    const int w_, h_, t_;
    const TColorTriple clear_, silver_;
    std::vector<std::uint8_t> line_;
    std::vector<std::uint8_t> turned_;  // a bottom strip row's period
};

}  // namespace

void DrawOutlineImage(TRasterDIB& image, const std::string& file, int transparency, COLORREF transparentColour,
                      int width)
{
    if (!HasPixels(image) || width < 0) return;
    const std::shared_ptr<const TRasterDIB> loaded = DecorationPicture(file);
    if (!loaded) return;
    TRasterDIB outline;
    CopyPicture(*loaded, outline);
    if (width != 0) ResizeImage(outline, 0, width, width, width, width);
    if (!HasPixels(outline)) return;
    const int thickness = outline.AbsHeight;
    if (transparency == 0) AddMargin(image, thickness, thickness);
    const int w = image.Width(), h = image.AbsHeight;
    const TKeyedBlend blend(std::clamp(transparency, 0, 128), BorderOpaqueKey(transparentColour), transparentColour);
    OutlineRows layer(outline, w, h, transparentColour);
    // Where the transparent colour would change the picture (a colour number
    // past 24 bits), every column counts.
    const TColorTriple clear = ColorToTriple(transparentColour);
    const bool everyColumn = blend.ActionOf(&clear.Blue) != TKeyedBlend::Action::Keep;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = RowBytes(image, y);
        if (everyColumn || layer.StripRow(y) || layer.SideStart() < layer.SideEnd()) {
            blend.Blend(row, layer.Row(y, 0, w), w);
            continue;
        }
        const std::uint8_t* line = layer.Row(y, 0, layer.SideEnd());
        blend.Blend(row, line, layer.SideEnd());
        line = layer.Row(y, layer.SideStart(), w);
        const std::size_t at = 3 * std::size_t(layer.SideStart());
        blend.Blend(row + at, line + at, w - layer.SideStart());
    }
}

// --- bevel -------------------------------------------------------------------------

namespace {

struct BevelRamp {
    int Cap = 0;                 // 120 - T: the flat bevel's alpha
    std::uint32_t Step = 0;      // 65536 div Cap
    std::int64_t Count = 0;      // n
    bool Plain = false;          // the fixed-point ramp wrapped
    std::int64_t PlainFall = 0;  // Trunc(120 / n)

    // The fixed-point ramp in unsigned 32-bit arithmetic: past zero it wraps.
    std::uint32_t fixedAt(std::int64_t i) const
    {
        const std::uint32_t left = 65536u - std::uint32_t(i) * Step;
        return (left * 120u) >> 16;
    }
    std::uint32_t at(std::int64_t i) const { return Plain ? std::uint32_t(120 - i * PlainFall) : fixedAt(i); }
};

BevelRamp bevelRamp(int transparency, std::int64_t count)
{
    BevelRamp r;
    std::int64_t t = transparency == 0 ? 1 : transparency;
    std::int64_t scaled = t * 12 / 10;
    if (120 - scaled - 1 <= 0) scaled = 115;
    r.Cap = int(std::clamp<std::int64_t>(120 - scaled, 1, 1 << 30));
    r.Step = std::uint32_t(65536u / std::uint32_t(r.Cap));
    r.Count = count;
    if (count >= 1 && r.fixedAt(count - 1) > 6000) {
        r.Plain = true;
        r.PlainFall = 120 / count;
    }
    return r;
}

// The blend weight of the bevel ring at the given inset.
int ringAlpha(const BevelRamp& ramp, int kind, int count, int firstInset, std::int64_t inset)
{
    // Fades counts its rings from the inside.
    const std::int64_t s = kind == bsFades ? std::int64_t(firstInset) + count - inset : inset - firstInset;
    std::uint32_t v = ramp.at(count - s);
    if (v > 6000 || v > 120) v = 0;
    return kind == bsFlat ? std::clamp(ramp.Cap, 0, 128) : int(v);
}

}  // namespace

std::vector<std::uint32_t> BevelAlphaTable(int transparency, int count)
{
    std::vector<std::uint32_t> table;
    if (count < 1) return table;
    const BevelRamp ramp = bevelRamp(transparency, count);
    for (std::int64_t i = 0; i <= count; ++i) table.push_back(ramp.at(i));
    return table;
}

namespace {

// One ring: DrawFrame3D of the rectangle inset by Inset, Alpha its weight.
struct BevelRing {
    int Inset, Alpha;
    COLORREF First, Second;
};

// The rings ButtonizeBevel draws, in their order.
void addBevelRings(std::vector<BevelRing>& rings, const TRasterDIB& image, int kind, int transparency, int count,
                   int firstInset, COLORREF first, COLORREF second)
{
    // No rings for a bevel of no width; only the known shapes draw.
    if (!HasPixels(image) || count < 1 || kind < 1 || kind > 4) return;
    const BevelRamp ramp = bevelRamp(transparency, count);
    const std::int64_t w = image.Width(), h = image.AbsHeight;
    // A ring must keep its left edge before its right one and its top
    // before its bottom; deeper rings would cross the picture.
    const std::int64_t deepest = (std::min(w, h) - 1) / 2;
    const std::int64_t lo = std::max<std::int64_t>(firstInset, 0);
    const std::int64_t hi = std::min<std::int64_t>(std::int64_t(firstInset) + count, deepest);
    for (std::int64_t inset = lo; inset <= hi; ++inset)
        rings.push_back(BevelRing{int(inset), ringAlpha(ramp, kind, count, firstInset, inset), first, second});
}

// A ring's colour over the picture, as AlphaLine mixes it:
// c + ((p - c) x 2 x alpha >> 8), the same as c + ((p - c) x alpha >> 7),
// which 16-bit lanes hold for an alpha up to 128.
struct RingPen {
    RingPen(const BevelRing& ring, COLORREF colour) : alpha(std::clamp(ring.Alpha, 0, 128))
    {
        const TColorTriple t = ColorToTriple(colour);
        for (std::size_t i = 0; i < sizeof pattern; i += 3) {
            pattern[i] = t.Blue;
            pattern[i + 1] = t.Green;
            pattern[i + 2] = t.Red;
        }
    }
    void Plot(std::uint8_t* p) const { mix(p, pattern, 3); }
    // count pixels from p on.
    void Span(std::uint8_t* p, int count) const
    {
        std::size_t bytes = 3 * std::size_t(count);
        for (; bytes >= sizeof pattern; bytes -= sizeof pattern, p += sizeof pattern) mix(p, pattern, sizeof pattern);
        mix(p, pattern, bytes);
    }

private:
    void mix(std::uint8_t* __restrict p, const std::uint8_t* __restrict c, std::size_t bytes) const
    {
        for (std::size_t i = 0; i < bytes; ++i)
            p[i] = std::uint8_t(c[i] + ((std::int16_t(p[i] - c[i]) * std::int16_t(alpha)) >> 7));
    }
    std::int16_t alpha;
    std::uint8_t pattern[48];  // the colour's bytes for sixteen pixels
};

// The rings as DrawFrame3D draws them one after another: each ring's top row
// (columns d + 1 .. w - d - 1), bottom row (the same columns), left column
// (rows d .. h - d - 2) and right column (the same rows). Only rings of the
// same inset share pixels (and a ring's top row its right column's first
// pixel), so every pixel is drawn in the same order when all top and bottom
// rows come first, ring by ring, each with that shared first pixel, and then
// the columns row by row: no pass runs down the picture once per ring.
void drawRings(TRasterDIB& image, const std::vector<BevelRing>& rings)
{
    if (rings.empty()) return;
    if (image.BitCount() != 24) {
        const int w = image.Width(), h = image.AbsHeight;
        for (const BevelRing& r : rings)
            DrawFrame3D(image, r.Inset, r.Inset, w - r.Inset, h - r.Inset, r.First, r.Second, r.Alpha);
        return;
    }
    const int w = image.Width(), h = image.AbsHeight;
    std::vector<RingPen> firstPens, secondPens;
    for (const BevelRing& r : rings) {
        firstPens.emplace_back(r, r.First);
        secondPens.emplace_back(r, r.Second);
    }
    auto pixel = [&](int x, int y) { return RowBytes(image, y) + 3 * std::size_t(x); };
    for (std::size_t i = 0; i < rings.size(); ++i) {
        const int d = rings[i].Inset;
        const int span = w - 1 - 2 * d;
        if (span > 0) firstPens[i].Span(pixel(d + 1, d), span);
        if (span > 0) secondPens[i].Span(pixel(d + 1, h - d - 1), span);
        if (d + 1 <= w - d - 1 && d <= h - d - 2) secondPens[i].Plot(pixel(w - d - 1, d));
    }
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = RowBytes(image, y);
        for (std::size_t i = 0; i < rings.size(); ++i) {
            const int d = rings[i].Inset;
            if (y < d || y > h - d - 2) continue;
            firstPens[i].Plot(row + 3 * std::size_t(d));
            // The right column's first pixel went with the top row, where there is one.
            if (y != d || d + 1 > w - d - 1) secondPens[i].Plot(row + 3 * std::size_t(w - d - 1));
        }
    }
}

}  // namespace

void ButtonizeBevel(TRasterDIB& image, int kind, int transparency, int count, int firstInset, COLORREF first,
                    COLORREF second)
{
    std::vector<BevelRing> rings;
    addBevelRings(rings, image, kind, transparency, count, firstInset, first, second);
    drawRings(image, rings);
}

void ButtonizeImage(TRasterDIB& image, int shape, COLORREF highlight, COLORREF shadow, int width, int margin,
                    int transparency, int doubleFrame, int spacing, int secondTransparency, int transparencyBetween,
                    COLORREF colourBetween)
{
    auto held = [](std::int64_t v) { return int(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
    std::vector<BevelRing> rings;
    if (doubleFrame == 1)
        addBevelRings(rings, image, bsFlat, transparencyBetween,
                      held(std::int64_t(width) + spacing + margin + width / 2), margin, colourBetween, colourBetween);
    addBevelRings(rings, image, shape, transparency, width, margin, highlight, shadow);
    if (doubleFrame == 1) {
        const int secondInset = held(std::int64_t(width) + spacing + margin);
        const int second = held(std::llabs(std::int64_t(secondTransparency)));
        if (secondTransparency < 0)
            addBevelRings(rings, image, shape, second, width, secondInset, highlight, shadow);
        else
            addBevelRings(rings, image, shape, second, width, secondInset, shadow, highlight);
    }
    drawRings(image, rings);
}
