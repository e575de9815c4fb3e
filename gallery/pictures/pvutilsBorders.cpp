// The border decorations: the frame picture stretched over the picture, the
// outline tiled along its edges and the bevel's rings.

#include "gallery/records/PropertyRecords.h"
#include "gallery/pictures/pvutilsDecorations.h"
#include "gallery/pictures/pvutilsDecorationsInternal.h"
#include "gallery/pictures/pvutilsGeometry.h"
#include "raster/RasterDraw.h"
#include "raster/RasterFX.h"

#include <algorithm>
#include <cstdlib>

using namespace decoration_detail;

// --- frame picture ------------------------------------------------------------

void DrawFrameImage(TRasterDIB& image, const std::string& file, int transparency, int expandHeight, int expandWidth,
                    COLORREF transparentColour)
{
    if (!HasPixels(image)) return;
    TRasterDIB frame;
    // Loaded before anything changes, so a frame that does not load leaves
    // the picture exactly as it was, expansion included.
    if (!LoadDecorationPicture(frame, file)) return;
    // Negative expansions would cut the picture: they count as none.
    const int ew = std::max(expandWidth, 0), eh = std::max(expandHeight, 0);
    if (ew > 0 || eh > 0) {
        TRasterDIB grown;
        MakeCanvasLike(grown, std::int64_t(image.Width()) + 2 * std::int64_t(ew),
                       std::int64_t(image.AbsHeight) + 2 * std::int64_t(eh), image.Header.Height < 0, BlackTriple);
        image.Draw(grown.DC, ew, eh);
        image.TakeOver(grown);
    }
    TRasterDIB stretched;
    MakeCanvasLike(stretched, image.Width(), image.AbsHeight, image.Header.Height < 0, BlackTriple);
    frame.StretchDraw(stretched.DC, 0, 0, image.Width(), image.AbsHeight);
    frame.SetSize(0, 0, 24);
    BlendKeyed(image, stretched, StampBlendWeight(transparency), 0, transparentColour);
}

// --- outline ---------------------------------------------------------------------

namespace {

// The left side: the strip turned so its top row (the outline's outer edge)
// is the side's left column, its corners mitred against the top and bottom
// strips. Pixels cut away hold the transparent colour.
void makeLeftSide(const TRasterDIB& strip, TRasterDIB& side, COLORREF transparentColour)
{
    const int length = strip.Width(), thickness = strip.AbsHeight;
    MakeCanvasLike(side, thickness, length, false, ColorToTriple(transparentColour));
    const TColorTriple cut = ColorToTriple(transparentColour);
    for (int y = 0; y < length; ++y) {
        for (int x = 0; x < thickness; ++x) {
            // Above the top diagonal or below the bottom one the strips show.
            const bool mitred = x > y || x > length - 1 - y;
            TColorTriple c = cut;
            if (!mitred) strip.GetPixelColor(strip.RowFromTop(x), y, c);
            side.SetPixelColor(side.RowFromTop(y), x, c);
        }
    }
}

}  // namespace

void DrawOutlineImage(TRasterDIB& image, const std::string& file, int transparency, COLORREF transparentColour,
                      int width)
{
    if (!HasPixels(image) || width < 0) return;
    TRasterDIB outline;
    if (!LoadDecorationPicture(outline, file)) return;
    if (width != 0) ResizeImage(outline, 0, width, width, width, width);
    if (!HasPixels(outline)) return;
    const int thickness = outline.AbsHeight;
    if (transparency == 0) AddMargin(image, thickness, thickness);
    const int w = image.Width(), h = image.AbsHeight;
    const bool topDown = image.Header.Height < 0;
    const TColorTriple clear = ColorToTriple(transparentColour);

    // Top and bottom strips, the bottom one from the outline turned half round.
    TRasterDIB layer;
    MakeCanvasLike(layer, w, h, topDown, clear);
    const int band = std::min(thickness, h);
    outline.TileDraw(layer.DC, 0, 0, w, band);
    TRasterDIB turned;
    CopyPicture(outline, turned);
    MirrorHorizontal(turned);
    FlipVertical(turned);
    turned.TileDraw(layer.DC, 0, h - thickness, w, thickness);
    turned.SetSize(0, 0, 24);

    // The sides, tiled from the top strip's start: the left one turned from
    // it, the right one its mirror image.
    TRasterDIB strip, side;
    MakeCanvasLike(strip, h, thickness, false, clear);
    outline.TileDraw(strip.DC, 0, 0, h, thickness);
    outline.SetSize(0, 0, 24);
    makeLeftSide(strip, side, transparentColour);
    strip.SetSize(0, 0, 24);
    CopyKeyed(layer, side, 0, 0, transparentColour);
    MirrorHorizontal(side);
    CopyKeyed(layer, side, w - thickness, 0, transparentColour);
    side.SetSize(0, 0, 24);

    BlendKeyed(image, layer, std::clamp(transparency, 0, 128), 0, transparentColour);
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

void ButtonizeBevel(TRasterDIB& image, int kind, int transparency, int count, int firstInset, COLORREF first,
                    COLORREF second)
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
    for (std::int64_t inset = lo; inset <= hi; ++inset) {
        const int alpha = ringAlpha(ramp, kind, count, firstInset, inset);
        DrawFrame3D(image, int(inset), int(inset), int(w - inset), int(h - inset), first, second, alpha);
    }
}

void ButtonizeImage(TRasterDIB& image, int shape, COLORREF highlight, COLORREF shadow, int width, int margin,
                    int transparency, int doubleFrame, int spacing, int secondTransparency, int transparencyBetween,
                    COLORREF colourBetween)
{
    auto held = [](std::int64_t v) { return int(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
    if (doubleFrame == 1)
        ButtonizeBevel(image, bsFlat, transparencyBetween, held(std::int64_t(width) + spacing + margin + width / 2),
                       margin, colourBetween, colourBetween);
    ButtonizeBevel(image, shape, transparency, width, margin, highlight, shadow);
    if (doubleFrame == 1) {
        const int secondInset = held(std::int64_t(width) + spacing + margin);
        const int second = held(std::llabs(std::int64_t(secondTransparency)));
        if (secondTransparency < 0)
            ButtonizeBevel(image, shape, second, width, secondInset, highlight, shadow);
        else
            ButtonizeBevel(image, shape, second, width, secondInset, shadow, highlight);
    }
}
