#pragma once
// Picture variables of captions, alt texts, titles and text stamps; the small
// routines that put values into template lines; the markup of one picture
// cell (link, img tag, caption in font markup) and the link helpers of the
// page writer. Plain C++: the page writer copies what these need out of the
// main window into TMarkupState.

#include <string>
#include <vector>

// One entry of the source-picture list: its folder (with trailing separator)
// and its file name. The description files are looked up in that folder under
// that name.
struct TSourceItemName {
    std::string Folder;
    std::string FileName;
};

// What the cell markup and the caption expansion take from the page writer.
struct TMarkupState {
    int PageKind = 0;                 // 0 index pages, 1 image pages
    std::string ImageAttributes;      // appended after alt="..." and a space (index pages: align/hspace/vspace/border)
    std::string SizeAttributes;       // ` width="W" height="H" ` (image pages also border) or empty
    std::string CaptionPositionLine;  // caption list line with its part through the first "|" removed
    std::string RelativePrefix;       // put before picture sources on image pages: ImagePagePrefix(Edit4)
    std::string CurrentResultLine;    // per-item result line marked current: name|width|height|colours
    std::string DestinationFolder;    // destination folder as typed (normalised here)
    bool ReplaceForbiddenCharacter = false;  // menu item "Replace forbidden character": spaces in links -> "%20"
    std::string CaptionFont;                 // record 8 CaptionFontT (index) or 9 CaptionFontI (image)
    // Source items by item index; SourceItems[c] must be the item whose
    // results are lines 2c and 2c+1 of the per-item result list.
    std::vector<TSourceItemName> SourceItems;
};

// ---- Variables ----------------------------------------------------------

struct TVariableValue {
    std::string Variable;  // matched without regard to case
    std::string Value;
};
// Replaces every occurrence of each variable in one left-to-right pass; where
// several match at one position the first in the list wins (so list a longer
// name before a name that is its prefix). Inserted values are never searched
// again, so a value holding a variable name cannot loop or be expanded twice.
std::string ReplaceVariablesOnce(const std::string& text, const std::vector<TVariableValue>& values);

// Replaces the picture variables ("%filedatetime[fmt]", "%folder", "%filenoext",
// "%filename", "%fileext", "%filesizekb", "%filesizemb", "%filesize",
// "%filedesc1", "%filedesc2") in text for the picture at filePath; the
// descriptions come from "descript.ion" / descript.pv in item.Folder under
// item.FileName, falling back to filePath's file name. Inserted values are
// never searched again. Mode 0: result := the expanded text (sizes with the
// locale's thousands separator); mode 1: result := alt="<expanded>" with
// plain-integer sizes and '"' written as &quot;.
void ExpandTextVariables(int mode, const TSourceItemName& item, const std::string& filePath, std::string& result,
                         const std::string& text);
// As ExpandTextVariables, plus "%width", "%height", "%colors" from fields 2-4
// of state.CurrentResultLine; the item is state.SourceItems[itemIndex] (none
// when out of range: descriptions fall back to the file name).
std::string ExpandCaption(int mode, int itemIndex, const std::string& filePath, const std::string& text,
                          const TMarkupState& state);

// Finds the first occurrence of variable (given lower-case) in line, ignoring
// case. Without endMarker: the variable is replaced by value. With endMarker:
// the variable stays and the text after it up to (not including) the first
// endMarker after it is replaced by value; nothing happens when that marker
// is missing. Nothing happens when the variable does not occur.
void ReplaceVariable(std::string& line, const std::string& variable, const std::string& endMarker,
                     const std::string& value);
// count spaces ("" for count <= 0).
void AddSpaces(int count, std::string& result);
std::string AddSpaces(int count);
// When enabled: tag += " " + name + "\"" + value + "\"" (name given with its
// "=", e.g. "border=").
void AddAttribute(std::string& tag, bool enabled, const std::string& name, const std::string& value);

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

// BackslashToSlash is in gallery/srutils.h.
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

// SplitNameVersion lives in gallery/pvu.h.
