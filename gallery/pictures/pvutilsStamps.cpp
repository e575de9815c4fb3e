// The image copy's stamps: a logo picture and a line of text on an optional
// panel, each placed by one of nine positions plus offsets, turned, mirrored
// and blended in with colour keys.

#include "gallery/records/PropertyRecords.h"
#include "gallery/pictures/pvutilsDecorationCache.h"
#include "gallery/pictures/pvutilsDecorations.h"
#include "gallery/pictures/pvutilsDecorationsInternal.h"
#include "gallery/pictures/pvutilsGeometry.h"
#include "raster/RasterDraw.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

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

// Where a stamp's top-left corner lies on the picture.
struct StampPlace {
    std::int64_t x = 0, y = 0;
};

// The picture rows a stamp covers, clipped to the picture.
struct RowSpan {
    std::int64_t top = 0, bottom = 0;
};

RowSpan rowsCovered(std::int64_t y, std::int64_t length, std::int64_t H)
{
    return {std::clamp<std::int64_t>(y, 0, H), std::clamp<std::int64_t>(y + length, 0, H)};
}

// The part of the picture a stamp's canvas covers: everywhere else the
// canvas would be silver, which keeps the picture.
struct CanvasArea {
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
};

CanvasArea areaCovered(std::int64_t x, std::int64_t width, const RowSpan& rows, std::int64_t W)
{
    return {std::clamp<std::int64_t>(x, 0, W), rows.top, std::clamp<std::int64_t>(x + width, 0, W), rows.bottom};
}

// A silver canvas over the area.
void makeStampCanvas(TRasterDIB& canvas, const CanvasArea& area)
{
    MakeCanvasLike(canvas, area.right - area.left, area.bottom - area.top, false, ColorToTriple(DecorationSilver));
}

// The logo picture turned and mirrored as asked; false when there is none to draw.
bool preparedLogo(TRasterDIB& picture, const TLogoStamp& logo)
{
    const std::shared_ptr<const TRasterDIB> loaded = DecorationPicture(logo.File);
    if (!loaded) return false;
    CopyPicture(*loaded, picture);
    RotateMirror(picture, logo.Rotation, logo.Mirror, logo.TransparentColour);
    return HasPixels(picture);
}

StampPlace logoPlace(const TLogoStamp& logo, std::int64_t W, std::int64_t H, std::int64_t w, std::int64_t p)
{
    int vertical = 0, horizontal = 0;
    PositionToAlign(logo.Position, vertical, horizontal);
    // The top and left positions sit one pixel in from the edge.
    const std::int64_t y = aligned(vertical, H, p, logo.YOffset) + (vertical == 0 ? 1 : 0);
    const std::int64_t x = aligned(horizontal, W, w, logo.XOffset) + (horizontal == 0 ? 1 : 0);
    return {x, y};
}

enum class LogoFit { Natural, FullWidth, FullHeight };

// Only a logo neither turned nor mirrored stretches along a border.
LogoFit logoFit(const TLogoStamp& logo)
{
    if (logo.Rotation != 0 || logo.Mirror != miNone) return LogoFit::Natural;
    if (logo.FullBorder == lbWidth) return LogoFit::FullWidth;
    if (logo.FullBorder == lbHeight) return LogoFit::FullHeight;
    return LogoFit::Natural;
}

// Draws the logo on a canvas over the area.
void drawLogoPicture(TRasterDIB& picture, TRasterDIB& canvas, LogoFit fit, StampPlace at, const CanvasArea& area,
                     std::int64_t W, std::int64_t H)
{
    const std::int64_t w = picture.Width(), p = picture.AbsHeight;
    const int x = held(at.x - area.left), y = held(at.y - area.top);
    switch (fit) {
    case LogoFit::FullWidth: picture.StretchDraw(canvas.DC, held(-area.left), y, int(W), int(p)); break;
    case LogoFit::FullHeight: picture.StretchDraw(canvas.DC, x, 0, int(w), int(H)); break;
    case LogoFit::Natural: picture.Draw(canvas.DC, x, y); break;
    }
}

// The width and height the text takes in the stamp's font.
std::pair<int, int> measuredText(const TStampFont& font, const TGdiFontInfo& info, const std::string& text)
{
    TRasterDIB scratch;
    scratch.SetSize(1, 1, 24);
    scratch.SetFontFrom(font.Name, info);
    const int tw = scratch.TextWidth(text);
    const int th = scratch.TextHeight(text);
    return {tw, th};
}

// The text panel's width: the text and its margins, or along the whole border
// the text runs by.
std::int64_t panelWidth(const TTextStamp& stamp, int tw, std::int64_t W, std::int64_t H)
{
    if (!stamp.FullBorder) return std::int64_t(tw) + 2 * std::int64_t(stamp.HorizontalMargin);
    return IsQuarterTurn(stamp.Rotation) ? H - stamp.HorizontalMargin + 1 : W - stamp.HorizontalMargin;
}

void paintPanelBackground(TRasterDIB& panel, const TTextStamp& stamp, std::int64_t pw, std::int64_t ph)
{
    if (stamp.Background == sbGradient) {
        GradientFill(panel, 0, 0, int(pw), int(ph), ColorToTriple(stamp.Gradient[0]), ColorToTriple(stamp.Gradient[1]),
                     ColorToTriple(stamp.Gradient[2]), ColorToTriple(stamp.Gradient[3]));
    } else if (stamp.Background == sbPicture) {
        DrawFrameImage(panel, stamp.BackgroundFile, 0, 0, 0, stamp.BackgroundTransparentColour);
    }
}

// Where the turned panel lies. Along a border the panel is centred on it and
// the offsets trade places when the panel stands upright.
StampPlace textPanelPlace(const TTextStamp& stamp, int vertical, int horizontal, std::int64_t W, std::int64_t H,
                          std::int64_t w, std::int64_t p)
{
    if (!stamp.FullBorder) return {aligned(horizontal, W, w, stamp.YOffset), aligned(vertical, H, p, stamp.XOffset)};
    if (!IsQuarterTurn(stamp.Rotation)) return {(W - w) / 2 + stamp.XOffset, aligned(vertical, H, p, stamp.XOffset)};
    return {aligned(vertical, W, w, stamp.YOffset), (H - p) / 2 + stamp.XOffset};
}

}  // namespace

void DrawLogoStamp(TRasterDIB& image, const TLogoStamp& logo)
{
    if (!HasPixels(image)) return;
    TRasterDIB picture;
    if (!preparedLogo(picture, logo)) return;
    const std::int64_t W = image.Width(), H = image.AbsHeight;
    const StampPlace at = logoPlace(logo, W, H, picture.Width(), picture.AbsHeight);
    const LogoFit fit = logoFit(logo);
    // The canvas covers only where the logo lies. Silver is always
    // transparent, so the canvas around the logo never paints the picture.
    const RowSpan rows = fit == LogoFit::FullHeight ? RowSpan{0, H} : rowsCovered(at.y, picture.AbsHeight, H);
    const CanvasArea area =
        fit == LogoFit::FullWidth ? areaCovered(0, W, rows, W) : areaCovered(at.x, picture.Width(), rows, W);
    if (area.empty()) return;
    TRasterDIB canvas;
    makeStampCanvas(canvas, area);
    drawLogoPicture(picture, canvas, fit, at, area, W, H);
    picture.SetSize(0, 0, 24);
    // Black keyed out as the logo's transparent colour is no opaque key.
    const COLORREF opaque = logo.TransparentColour == 0 ? CLR_INVALID : 0;
    BlendCanvas(image, canvas, int(area.left), int(area.top),
                TKeyedBlend(StampBlendWeight(logo.Transparency), opaque, logo.TransparentColour));
}

void DrawTextStamp(TRasterDIB& image, const TStampFont& font, const std::string& text, const TTextStamp& stamp)
{
    if (!HasPixels(image)) return;
    const std::int64_t W = image.Width(), H = image.AbsHeight;
    const TGdiFontInfo info = fontInfo(font);
    const auto [tw, th] = measuredText(font, info, text);
    const std::int64_t pw = panelWidth(stamp, tw, W, H);
    const std::int64_t ph = std::int64_t(th) + 2 * std::int64_t(stamp.VerticalMargin);
    // A panel of no width or height has nothing to show; one past the pixel
    // limit could not be made.
    if (pw <= 0 || ph <= 0 || std::uint64_t(pw) * std::uint64_t(ph) > MaxPixelCount) return;

    TRasterDIB panel;
    MakeCanvasLike(panel, pw, ph, false, ColorToTriple(DecorationSilver));
    paintPanelBackground(panel, stamp, pw, ph);

    int vertical = 0, horizontal = 0;
    PositionToAlign(stamp.Position, vertical, horizontal);
    panel.SetFontFrom(font.Name, info);
    panel.SetTransparent(true);
    panel.SetTextColor(font.Color);
    const std::int64_t textX = stamp.FullBorder ? aligned(horizontal, pw, tw, 0) + stamp.YOffset : (pw - tw) / 2;
    panel.TextOut(held(textX), held((ph - th - 3) / 2), text);

    RotateMirror(panel, stamp.Rotation, stamp.Mirror, DecorationSilver);
    const std::int64_t p = panel.AbsHeight;
    const StampPlace at = textPanelPlace(stamp, vertical, horizontal, W, H, panel.Width(), p);

    // Only where the panel lies.
    const CanvasArea area = areaCovered(at.x, panel.Width(), rowsCovered(at.y, p, H), W);
    if (area.empty()) return;
    TRasterDIB canvas;
    makeStampCanvas(canvas, area);
    panel.Draw(canvas.DC, held(at.x - area.left), held(at.y - area.top));
    panel.SetSize(0, 0, 24);
    // The opaque key wins over the second transparent key (red text stays red
    // although the dialog stores red as that key), but never over silver, the
    // canvas's own colour.
    const COLORREF opaque = stamp.ExcludeTextFromOpacity == 1 ? font.Color : COLORREF(stamp.ExcludeTextFromOpacity);
    BlendCanvas(image, canvas, int(area.left), int(area.top),
                TKeyedBlend(StampBlendWeight(stamp.Transparency), opaque, stamp.SecondTransparentKey));
}
