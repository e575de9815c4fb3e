// What the decorations share: keyed blending, canvases, loading their
// pictures; and the decorations read from their property records.

#include "gallery/pictures/pvutilsDecorations.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "gallery/pictures/pvutilsDecorationsInternal.h"
#include "gallery/pages/pvutilsMarkup.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/pages/pvutilsVariables.h"
#include "gallery/text/srutils.h"
#include "platform/system/System.h"
#include "raster/RasterFX.h"

#include <algorithm>
#include <new>

int StampBlendWeight(int transparency)
{
    // Integer arithmetic: 100 gives exactly 120, and no product can overflow.
    const std::int64_t weight = std::int64_t(transparency) * 12 / 10;
    return int(std::clamp<std::int64_t>(weight, 0, 128));
}

std::string DecorationFilePath(const std::string& stored)
{
    if (stored.empty()) return stored;
    const std::string path = ToFileSystemPath(stored);
    return path.front() == '/' ? path : ProgramFolder() + path;
}

namespace decoration_detail {

bool HasPixels(const TRasterDIB& dib) { return dib.Bits && dib.Width() > 0 && dib.AbsHeight > 0; }

int RowFromTop(const TRasterDIB& dib, int y) { return dib.Header.Height > 0 ? dib.AbsHeight - 1 - y : y; }

void MakeCanvasLike(TRasterDIB& canvas, std::int64_t width, std::int64_t height, bool topDown, const TColorTriple& fill)
{
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX ||
        std::uint64_t(width) * std::uint64_t(height) > MaxPixelCount)
        throw ERasterError("The decoration's picture would be too large.");
    canvas.SetSize(std::int32_t(width), topDown ? -std::int32_t(height) : std::int32_t(height), 24);
    canvas.Clear(fill);
}

bool LoadDecorationPicture(TRasterDIB& dib, const std::string& stored)
{
    const std::string path = DecorationFilePath(stored);
    if (path.empty() || !FileExists(path)) return false;
    try {
        LoadImageFile(dib, path);
    } catch (const Exception&) {
        dib.SetSize(0, 0, 24);
    } catch (const std::bad_alloc&) {
        dib.SetSize(0, 0, 24);
    }
    return HasPixels(dib) && dib.BitCount() == 24;
}

void BlendKeyed(TRasterDIB& image, const TRasterDIB& canvas, int weight, COLORREF opaqueKey, COLORREF transparentKey)
{
    if (opaqueKey == transparentKey) opaqueKey = CLR_INVALID;
    BlendRows(image, canvas, 0, weight, opaqueKey, transparentKey);
}

void BlendRows(TRasterDIB& image, const TRasterDIB& canvas, int top, int weight, COLORREF opaqueKey,
               COLORREF transparentKey)
{
    if (opaqueKey == DecorationSilver) opaqueKey = CLR_INVALID;
    const int rows = canvas.AbsHeight;
    if (!HasPixels(image) || !HasPixels(canvas) || top < 0 || rows > image.AbsHeight - top) return;
    // A view over the image's own rows, so a stamp blends only where it lies.
    TRasterDIB band;
    const bool bottomUp = image.Header.Height > 0;
    const int firstMemoryRow = bottomUp ? image.AbsHeight - top - rows : top;
    band.SetSizeEx(image.Width(), bottomUp ? rows : -rows, 24, 0, 0, 0, image.Rows[std::size_t(firstMemoryRow)]);
    BlendDIBs(band, band, canvas, std::clamp(weight, 0, 128), transparentKey, DecorationSilver, opaqueKey);
}

void CopyKeyed(TRasterDIB& dst, const TRasterDIB& src, int x, int y, COLORREF key)
{
    const TColorTriple skip1 = ColorToTriple(key), skip2 = ColorToTriple(DecorationSilver);
    const int firstRow = std::max(0, -y), lastRow = std::min(src.AbsHeight, dst.AbsHeight - y);
    const int firstColumn = std::max(0, -x), lastColumn = std::min(src.Width(), dst.Width() - x);
    for (int row = firstRow; row < lastRow; ++row) {
        const std::uint8_t* s = src.Rows[RowFromTop(src, row)];
        std::uint8_t* d = dst.Rows[RowFromTop(dst, row + y)];
        for (int column = firstColumn; column < lastColumn; ++column) {
            const std::uint8_t* p = s + 3 * column;
            const TColorTriple c{p[0], p[1], p[2]};
            if (c == skip1 || c == skip2) continue;
            std::copy(p, p + 3, d + 3 * (column + x));
        }
    }
}

}  // namespace decoration_detail

// --- records ---------------------------------------------------------------------

namespace {

int number(const std::string& record, int field) { return StrToInt(GetField(0, record, field)); }
std::string text(const std::string& record, int field) { return RecordText(1, record, field); }

}  // namespace

void DrawFrameRecord(TRasterDIB& image, const std::string& record)
{
    const std::string file = text(record, FrameField::File);
    const int transparency = number(record, FrameField::Transparency);
    const COLORREF colour = COLORREF(number(record, FrameField::TransparentColor));
    const int expandWidth = number(record, FrameField::ExpandWidth);
    const int expandHeight = number(record, FrameField::ExpandHeight);
    DrawFrameImage(image, file, transparency, expandHeight, expandWidth, colour);
}

void DrawOutlineRecord(TRasterDIB& image, const std::string& record)
{
    const std::string file = text(record, OutlineField::File);
    const int transparency = number(record, OutlineField::Transparency);
    const COLORREF colour = COLORREF(number(record, OutlineField::TransparentColor));
    DrawOutlineImage(image, file, transparency, colour, number(record, OutlineField::Width));
}

void ButtonizeRecord(TRasterDIB& image, const std::string& record)
{
    int n[BevelField::Count + 1] = {};
    for (int field = BevelField::Shape; field <= BevelField::Count; ++field) n[field] = number(record, field);
    using namespace BevelField;
    ButtonizeImage(image, n[Shape], COLORREF(n[HighlightColor]), COLORREF(n[ShadowColor]), n[Width], n[Margin],
                   n[Transparency], n[Double], n[Spacing], n[SecondTransparency], n[TransparencyBetween],
                   COLORREF(n[ColorBetween]));
}

void DrawLogoRecord(TRasterDIB& image, const std::string& record)
{
    TLogoStamp logo;
    logo.File = text(record, LogoField::File);
    logo.Position = number(record, LogoField::Position);
    logo.XOffset = number(record, LogoField::XOffset);
    logo.YOffset = number(record, LogoField::YOffset);
    logo.Transparency = number(record, LogoField::Transparency);
    logo.Rotation = number(record, LogoField::Rotation);
    logo.Mirror = number(record, LogoField::Mirror);
    logo.TransparentColour = COLORREF(number(record, LogoField::TransparentColor));
    logo.FullBorder = number(record, LogoField::FullBorder);
    DrawLogoStamp(image, logo);
}

void DrawTextRecord(TRasterDIB& image, const std::string& record, const std::string& sourceFile)
{
    using namespace TextField;
    TStampFont font;
    font.Name = text(record, FontName);
    TFontStyles styles;
    std::string unused;
    FontStyleText("r", text(record, FontStyle), styles, unused);
    font.Bold = styles.Bold;
    font.Italic = styles.Italic;
    font.Underline = styles.Underline;
    font.StrikeOut = styles.StrikeOut;
    font.Size = number(record, FontSize);
    font.Color = COLORREF(number(record, FontColor));
    std::string stampText;
    ExpandTextVariables(0, TSourceItemName{ExtractFilePath(sourceFile), ExtractFileName(sourceFile)}, sourceFile,
                        stampText, text(record, Text));

    // The 22 fields after the text: all numbers but the background file.
    int n[Count + 1] = {};
    for (int field = Position; field <= SecondTransparentKey; ++field)
        if (field != BackgroundFile) n[field] = number(record, field);
    TTextStamp stamp;
    stamp.Position = n[Position];
    stamp.XOffset = n[XOffset];
    stamp.YOffset = n[YOffset];
    stamp.Transparency = n[Transparency];
    stamp.Rotation = n[Rotation];
    stamp.Mirror = n[Mirror];
    stamp.Background = n[Background];
    for (int k = 0; k < 4; ++k) stamp.Gradient[k] = COLORREF(n[GradientColor1 + k]);
    stamp.FullBorder = n[FullBorder] == 1;
    stamp.BackgroundFile = text(record, BackgroundFile);
    stamp.BackgroundTransparentColour = COLORREF(n[BackgroundTransparentColor]);
    stamp.ExcludeTextFromOpacity = n[ExcludeTextFromOpacity];
    stamp.HorizontalMargin = n[HorizontalMargin];
    stamp.VerticalMargin = n[VerticalMargin];
    stamp.SecondTransparentKey = COLORREF(n[SecondTransparentKey]);
    DrawTextStamp(image, font, stampText, stamp);
}

TDecorationHooks StandardDecorationHooks()
{
    TDecorationHooks hooks;
    hooks.DrawFrameImage = [](TRasterDIB& picture, const std::string& record, const std::string&) {
        DrawFrameRecord(picture, record);
    };
    hooks.ButtonizeImage = [](TRasterDIB& picture, const std::string& record, const std::string&) {
        ButtonizeRecord(picture, record);
    };
    hooks.DrawOutlineImage = [](TRasterDIB& picture, const std::string& record, const std::string&) {
        DrawOutlineRecord(picture, record);
    };
    hooks.DrawLogoStamp = [](TRasterDIB& picture, const std::string& record, const std::string&) {
        DrawLogoRecord(picture, record);
    };
    hooks.DrawTextStamp = [](TRasterDIB& picture, const std::string& record, const std::string& sourceFile) {
        DrawTextRecord(picture, record, sourceFile);
    };
    return hooks;
}
