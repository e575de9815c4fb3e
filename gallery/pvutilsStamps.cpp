// The image copy's stamps: a logo picture and a line of text on an optional
// panel, each placed by one of nine positions plus offsets, turned, mirrored
// and blended in with colour keys.

#include "gallery/PropertyRecords.h"
#include "gallery/pvutilsDecorations.h"
#include "gallery/pvutilsDecorationsInternal.h"
#include "gallery/pvutilsGeometry.h"
#include "raster/RasterDraw.h"

#include <algorithm>
#include <cmath>

using namespace decoration_detail;

namespace {

int held(std::int64_t v) { return int(std::clamp<std::int64_t>(v, INT32_MIN / 2, INT32_MAX / 2)); }

// Where one side of a stamp of the given length starts: at the start, the
// middle or the end of the picture's side, moved by the offset.
std::int64_t aligned(int align, std::int64_t side, std::int64_t length, std::int64_t offset)
{
    switch (align) {
    case 1: return (side - length) / 2 + offset;
    case 2: return side - length + offset;
    default: return offset;
    }
}

// The font at 96 dots per inch: a point size becomes a negative (em) height.
TGdiFontInfo fontInfo(const TStampFont& font)
{
    TGdiFontInfo info;
    info.Height = -int(std::lround(std::clamp(font.Size, -2000, 2000) * 96.0 / 72.0));
    info.Bold = font.Bold;
    info.Italic = font.Italic;
    info.Underline = font.Underline;
    info.StrikeOut = font.StrikeOut;
    return info;
}

}  // namespace

void DrawLogoStamp(TRasterDIB& image, const TLogoStamp& logo)
{
    if (!HasPixels(image)) return;
    TRasterDIB picture;
    if (!LoadDecorationPicture(picture, logo.File)) return;
    RotateMirror(picture, logo.Rotation, logo.Mirror, logo.TransparentColour);
    if (!HasPixels(picture)) return;
    const std::int64_t W = image.Width(), H = image.AbsHeight, w = picture.Width(), p = picture.AbsHeight;
    int vertical = 0, horizontal = 0;
    PositionToAlign(logo.Position, vertical, horizontal);
    // The top and left positions sit one pixel in from the edge.
    const std::int64_t y = aligned(vertical, H, p, logo.YOffset) + (vertical == 0 ? 1 : 0);
    const std::int64_t x = aligned(horizontal, W, w, logo.XOffset) + (horizontal == 0 ? 1 : 0);

    const bool stretch = logo.Rotation == 0 && logo.Mirror == miNone;
    const bool fullHeight = stretch && logo.FullBorder == lbHeight;
    // The canvas covers only the rows the logo lies on. Silver is always
    // transparent, so the canvas around the logo never paints the picture.
    const std::int64_t top = fullHeight ? 0 : std::clamp<std::int64_t>(y, 0, H);
    const std::int64_t bottom = fullHeight ? H : std::clamp<std::int64_t>(y + p, 0, H);
    if (bottom <= top) return;
    TRasterDIB canvas;
    MakeCanvasLike(canvas, W, bottom - top, image.Header.Height < 0, ColorToTriple(DecorationSilver));
    if (stretch && logo.FullBorder == lbWidth)
        picture.StretchDraw(canvas.DC, 0, held(y - top), int(W), int(p));
    else if (fullHeight)
        picture.StretchDraw(canvas.DC, held(x), 0, int(w), int(H));
    else
        picture.Draw(canvas.DC, held(x), held(y - top));
    picture.SetSize(0, 0, 24);
    // Black keyed out as the logo's transparent colour is no opaque key.
    const COLORREF opaque = logo.TransparentColour == 0 ? CLR_INVALID : 0;
    BlendRows(image, canvas, int(top), StampBlendWeight(logo.Transparency), opaque, logo.TransparentColour);
}

void DrawTextStamp(TRasterDIB& image, const TStampFont& font, const std::string& text, const TTextStamp& stamp)
{
    if (!HasPixels(image)) return;
    const std::int64_t W = image.Width(), H = image.AbsHeight;
    const TGdiFontInfo info = fontInfo(font);
    int tw = 0, th = 0;
    {
        TRasterDIB scratch;
        scratch.SetSize(1, 1, 24);
        scratch.SetFontFrom(font.Name, info);
        tw = scratch.TextWidth(text);
        th = scratch.TextHeight(text);
    }
    const bool quarterTurn = IsQuarterTurn(stamp.Rotation);
    std::int64_t pw = std::int64_t(tw) + 2 * std::int64_t(stamp.HorizontalMargin);
    const std::int64_t ph = std::int64_t(th) + 2 * std::int64_t(stamp.VerticalMargin);
    if (stamp.FullBorder) pw = quarterTurn ? H - stamp.HorizontalMargin + 1 : W - stamp.HorizontalMargin;
    // A panel of no width or height has nothing to show; one past the pixel
    // limit could not be made.
    if (pw <= 0 || ph <= 0 || std::uint64_t(pw) * std::uint64_t(ph) > MaxPixelCount) return;

    TRasterDIB panel;
    MakeCanvasLike(panel, pw, ph, false, ColorToTriple(DecorationSilver));
    if (stamp.Background == sbGradient) {
        GradientFill(panel, 0, 0, int(pw), int(ph), ColorToTriple(stamp.Gradient[0]), ColorToTriple(stamp.Gradient[1]),
                     ColorToTriple(stamp.Gradient[2]), ColorToTriple(stamp.Gradient[3]));
    } else if (stamp.Background == sbPicture) {
        DrawFrameImage(panel, stamp.BackgroundFile, 0, 0, 0, stamp.BackgroundTransparentColour);
    }

    int vertical = 0, horizontal = 0;
    PositionToAlign(stamp.Position, vertical, horizontal);
    panel.SetFontFrom(font.Name, info);
    panel.SetTransparent(true);
    panel.SetTextColor(font.Color);
    std::int64_t textX = (pw - tw) / 2;
    if (stamp.FullBorder) textX = aligned(horizontal, pw, tw, 0) + stamp.YOffset;
    panel.TextOut(held(textX), held((ph - th - 3) / 2), text);

    RotateMirror(panel, stamp.Rotation, stamp.Mirror, DecorationSilver);
    const std::int64_t w = panel.Width(), p = panel.AbsHeight;
    std::int64_t y = aligned(vertical, H, p, stamp.XOffset);
    std::int64_t x = aligned(horizontal, W, w, stamp.YOffset);
    if (stamp.FullBorder && !quarterTurn) {
        x = (W - w) / 2 + stamp.XOffset;
    } else if (stamp.FullBorder) {
        x = aligned(vertical, W, w, stamp.YOffset);
        y = (H - p) / 2 + stamp.XOffset;
    }

    // Only the rows the panel lies on.
    const std::int64_t top = std::clamp<std::int64_t>(y, 0, H), bottom = std::clamp<std::int64_t>(y + p, 0, H);
    if (bottom <= top) return;
    TRasterDIB canvas;
    MakeCanvasLike(canvas, W, bottom - top, image.Header.Height < 0, ColorToTriple(DecorationSilver));
    panel.Draw(canvas.DC, held(x), held(y - top));
    panel.SetSize(0, 0, 24);
    // The opaque key wins over the second transparent key (red text stays red
    // although the dialog stores red as that key), but never over silver, the
    // canvas's own colour.
    const COLORREF opaque = stamp.ExcludeTextFromOpacity == 1 ? font.Color : COLORREF(stamp.ExcludeTextFromOpacity);
    BlendRows(image, canvas, int(top), StampBlendWeight(stamp.Transparency), opaque, stamp.SecondTransparentKey);
}
