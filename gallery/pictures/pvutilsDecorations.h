#pragma once
// The decorations of image copies and thumbnails: the masked overlay, the
// frame picture, the outline, the bevel, the logo and the text stamp. Each
// draws onto a 24-bit picture; all but the mask blend with colour keys: a
// canvas pixel equal to one of two transparent keys (silver is always one)
// keeps the picture, one equal to the opaque key shows the canvas alone, the
// others mix by a weight of 0 (canvas only) to 128 (picture only). A
// decoration whose picture file is missing, empty or unreadable leaves the
// picture as it was. Their pictures are read once per build
// (pvutilsDecorationCache.h).

#include "gallery/pictures/pvutilsMakers.h"
#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <string>
#include <vector>

class TRasterDIB;

// The colour every canvas starts in; always a transparent key.
inline constexpr COLORREF DecorationSilver = 12632256;

// The blend weight of a transparency: Trunc(transparency * 1.2), held to
// 0..128 so a transparency above 106 cannot wrap the colours.
int StampBlendWeight(int transparency);

// A stored file name: relative names lie in the program folder; a name not on
// disk as bytes is found under its Windows-1252 reading (StoredFileName).
std::string DecorationFilePath(const std::string& stored);

// --- masked overlay (pvutilsMask.cpp) -----------------------------------------

// Fades the picture through the mask file (LoadScaledImage: scaled to scale
// percent, inverted when invert is 1, brightened by three times brightening)
// onto the background colour: the mask's intensity, stretched over the
// picture, is how much of the picture shows. A missing mask file (as named,
// not in the program folder), one that does not load and a scale of 0 or less
// change nothing; so does a picture that is not 24 bits (the makers' are).
// The extra text and the kind are not used.
void ApplyOverlay(TRasterDIB& picture, const std::string& maskFile, const std::string& extraText, int invert,
                  TColor background, int scale, int kind, int brightening);

// --- frame picture, outline, bevel ------------------------------------------

// Grows the picture by a black band of expandWidth / expandHeight on each
// side (when either is above 0), then blends the frame picture stretched over
// it: opaque key black, transparent keys the transparent colour and silver.
void DrawFrameImage(TRasterDIB& image, const std::string& file, int transparency, int expandHeight, int expandWidth,
                    COLORREF transparentColour);
// Tiles the outline picture (resampled to width x width unless width is 0)
// along the four edges, the corners mitred; transparency 0 first grows the
// picture by width on each side so the outline lies outside it. The weight is
// the transparency itself.
void DrawOutlineImage(TRasterDIB& image, const std::string& file, int transparency, COLORREF transparentColour,
                      int width);
// The bevel: optionally a band "between" and a second frame, then the main
// rings. Shapes 1 "Flat", 2 "Button", 3 "Fades".
void ButtonizeImage(TRasterDIB& image, int shape, COLORREF highlight, COLORREF shadow, int width, int margin,
                    int transparency, int doubleFrame, int spacing, int secondTransparency, int transparencyBetween,
                    COLORREF colourBetween);
// count + 1 rings from firstInset inwards; rings outside the picture are skipped.
void ButtonizeBevel(TRasterDIB& image, int kind, int transparency, int count, int firstInset, COLORREF first,
                    COLORREF second);
// The rings' alpha table a[0..count] as the bevel computes it, in unsigned
// 32-bit arithmetic, with the plain ramp when the fixed-point one wrapped.
// Empty for count < 1.
std::vector<std::uint32_t> BevelAlphaTable(int transparency, int count);

// --- logo and text stamp ------------------------------------------------------

struct TLogoStamp {
    std::string File;
    int Position = 0, XOffset = 0, YOffset = 0, Transparency = 0, Rotation = 0, Mirror = 0;
    COLORREF TransparentColour = 0;
    int FullBorder = 0;  // TLogoFullBorder
};
void DrawLogoStamp(TRasterDIB& image, const TLogoStamp& logo);

// The stamp's font: face, styles, size in points (at 96 dots per inch), colour.
struct TStampFont {
    std::string Name;
    bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
    int Size = 10;
    COLORREF Color = 0;
};
// The 22 fields that follow the font and text in the text record.
struct TTextStamp {
    int Position = 0;
    int XOffset = 0;  // added to the vertical coordinate
    int YOffset = 0;  // added to the horizontal coordinate
    int Transparency = 0, Rotation = 0, Mirror = 0;
    int Background = 0;  // TStampBackground
    COLORREF Gradient[4] = {DecorationSilver, DecorationSilver, DecorationSilver, DecorationSilver};
    bool FullBorder = false;
    std::string BackgroundFile;
    COLORREF BackgroundTransparentColour = 0;
    int ExcludeTextFromOpacity = 0;  // 1: the font colour is the opaque key; else the value is
    int HorizontalMargin = 0, VerticalMargin = 0;
    COLORREF SecondTransparentKey = 255;
};
void DrawTextStamp(TRasterDIB& image, const TStampFont& font, const std::string& text, const TTextStamp& stamp);

// --- from the property records ---------------------------------------------------

// Each reads its record's fields by name (a non-numeric field raises
// EConvertError) and draws. The text stamp's text has the picture variables of
// sourceFile expanded.
void DrawMaskRecord(TRasterDIB& image, const std::string& record);
void DrawFrameRecord(TRasterDIB& image, const std::string& record);
void DrawOutlineRecord(TRasterDIB& image, const std::string& record);
void ButtonizeRecord(TRasterDIB& image, const std::string& record);
void DrawLogoRecord(TRasterDIB& image, const std::string& record);
void DrawTextRecord(TRasterDIB& image, const std::string& record, const std::string& sourceFile);

// Every decoration, each from its record.
TDecorationHooks StandardDecorationHooks();
