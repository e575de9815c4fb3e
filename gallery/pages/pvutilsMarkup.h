#pragma once
// The markup of one picture cell (link, img tag, caption in font markup) and
// the link, colour and flag helpers of the page writer. The variables the
// cell fills are in gallery/pages/pvutilsVariables.h.

#include "gallery/pages/pvutilsVariables.h"

#include <string>

// ---- Cell and link markup ------------------------------------------------

// The HTML of one picture: the caption-position line with "%file", "%caption",
// "(a)" and "(/a)" filled in one pass (values are never searched again).
// picture: name of the picture shown (relative to the destination);
// linkTarget: where the picture links when linkAddress is empty;
// targetAttribute: ` target="image"` with frames, else "";
// itemFileName: the image copy's file name (relative to the destination), the
// picture the caption and alt-text variables describe.
void MakeThumbnailCell(bool linkOn, const std::string& picture, const std::string& linkTarget, std::string& result,
                       const std::string& targetAttribute, int itemIndex, const std::string& linkAddress,
                       const std::string& captionPattern, const std::string& altPattern,
                       const std::string& itemFileName, const TMarkupState& state);
// The caption text in the font markup of a caption font record (step used by
// MakeThumbnailCell; captionText is put in as it is).
std::string CaptionFontMarkup(const std::string& fontRecord, const std::string& captionText);

// "../" once per '\' (or '/') in the path, at least once.
void RelativeRootPath(const std::string& relativePath, std::string& result);
std::string RelativeRootPath(const std::string& relativePath);
// The picture-source prefix of image pages: RelativeRootPath(imagePageName)
// when the image-page name holds a '\' or '/', else "".
std::string ImagePagePrefix(const std::string& imagePageName);

// Removes the link around text (first occurrence) when keep is false: mode 1
// the whole <a ...>label</a>, mode 2 only the tags (label stays); mode 0 and
// malformed links leave the line unchanged.
void RemoveLinkTag(std::string& line, bool keep, int mode, const std::string& text);
// Finds marker + attributes + ":" + label + ")" (marker such as "(f:", any
// case) and removes it; with makeLink puts back
// <a href="address"attributes>label</a> at its place.
void ConvertLinkMarkup(std::string& line, const std::string& marker, bool makeLink, const std::string& address);

// A relative file name ('\' or '/' separated) as it goes into an href or a
// src: '/' between the path segments, every byte other than letters, digits,
// "-._~", "!$'()*+,;=@" percent-encoded (so '#', '?', '%', ':', '&' and
// spaces are part of the name, not a fragment, query, escape or scheme), and
// the result HTML-escaped.
std::string UrlFromName(const std::string& name);

// BackslashToSlash is in gallery/text/srutils.h.
std::string SlashToBackslash(const std::string& text);
void SlashToBackslash(const std::string& text, std::string& result);
// Six upper-case hex digits RRGGBB of a colour 0x00BBGGRR (bits above 24 ignored).
std::string ColorToHtmlHex(int colour);
void ColorToHtmlHex(int colour, std::string& result);
std::string BoolToFlag(bool value);        // "1" / "0"
bool FlagToBool(const std::string& flag);  // true only for exactly "1"

// Font style of a font record or a font control.
struct TFontStyles {
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
};
// Mode "r": font := the styles named by letters (b, i, u, s; absent letters
// clear); result untouched. Any other mode: result := the letters of font's
// styles in the order b, i, u, s.
void FontStyleText(const std::string& mode, const std::string& letters, TFontStyles& font, std::string& result);

// SplitNameVersion lives in gallery/mainwindow/pvu.h.
