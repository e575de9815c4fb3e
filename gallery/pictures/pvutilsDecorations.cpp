// What the decorations share: keyed blending and canvases; and the
// decorations read from their property records.

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
#include <cstring>

int StampBlendWeight(int transparency)
{
    // Integer arithmetic: 100 gives exactly 120, and no product can overflow.
    const std::int64_t weight = std::int64_t(transparency) * 12 / 10;
    return int(std::clamp<std::int64_t>(weight, 0, 128));
}

std::string DecorationFilePath(const std::string& stored)
{
    if (stored.empty()) return stored;
    // A stored name that is not on disk as bytes may be there under its Windows-1252 reading.
    const std::string path = ToFileSystemPath(stored);
    return path.front() == '/' ? StoredFileName("", path) : StoredFileName(ProgramFolder(), path);
}

namespace decoration_detail {

bool HasPixels(const TRasterDIB& dib) { return dib.Bits && dib.Width() > 0 && dib.AbsHeight > 0; }

void MakeCanvasLike(TRasterDIB& canvas, std::int64_t width, std::int64_t height, bool topDown, const TColorTriple& fill)
{
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX ||
        std::uint64_t(width) * std::uint64_t(height) > MaxPixelCount)
        throw ERasterError("The decoration's picture would be too large.");
    canvas.SetSize(std::int32_t(width), topDown ? -std::int32_t(height) : std::int32_t(height), 24);
    canvas.Clear(fill);
}

TKeyedBlend::TKeyedBlend(int weight, COLORREF opaqueKey, COLORREF transparentKey)
    : show_(opaqueKey == DecorationSilver ? CLR_INVALID : opaqueKey),
      keep_(transparentKey),
      weight_(std::clamp(weight, 0, 128))
{
}

void TKeyedBlend::Mix(std::uint8_t* picture, const std::uint8_t* canvas, int count) const
{
    std::size_t bytes = std::size_t(count) * 3;
    if (weight_ == 128) return;  // the picture itself
    if (weight_ == 0) {
        std::memcpy(picture, canvas, bytes);
        return;
    }
    // (d x 2 x weight) >> 8 is (d x weight) >> 7, which 16 bits hold; blocks
    // of a fixed size let the compiler use vector instructions.
    const int weight = weight_;
    auto mix = [weight](std::uint8_t* __restrict p, const std::uint8_t* __restrict c, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            p[i] = std::uint8_t(c[i] + ((std::int16_t(p[i] - c[i]) * std::int16_t(weight)) >> 7));
    };
    constexpr std::size_t block = 48;
    for (; bytes >= block; bytes -= block, picture += block, canvas += block) mix(picture, canvas, block);
    mix(picture, canvas, bytes);
}

void TKeyedBlend::Blend(std::uint8_t* picture, const std::uint8_t* canvas, int count) const
{
    // Runs of one action at a time.
    for (int i = 0; i < count;) {
        const Action action = ActionOf(canvas + 3 * std::size_t(i));
        int end = i + 1;
        while (end < count && ActionOf(canvas + 3 * std::size_t(end)) == action) ++end;
        const std::size_t at = 3 * std::size_t(i);
        if (action == Action::Show)
            std::memcpy(picture + at, canvas + at, 3 * std::size_t(end - i));
        else if (action == Action::Mix)
            Mix(picture + at, canvas + at, end - i);
        i = end;
    }
}

void BlendCanvas(TRasterDIB& image, const TRasterDIB& canvas, int left, int top, const TKeyedBlend& blend)
{
    if (!HasPixels(image) || !HasPixels(canvas) || left < 0 || top < 0 || canvas.Width() > image.Width() - left ||
        canvas.AbsHeight > image.AbsHeight - top)
        return;
    for (int y = 0; y < canvas.AbsHeight; ++y)
        blend.Blend(RowBytes(image, top + y) + 3 * std::size_t(left), RowBytes(canvas, y), canvas.Width());
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
    hooks.ApplyOverlay = [](TRasterDIB& picture, const std::string& record, const std::string&) {
        DrawMaskRecord(picture, record);
    };
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
