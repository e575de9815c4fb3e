#pragma once
// Picture variables of captions, alt texts, titles and text stamps, and the
// small routines that put values into template lines. Plain C++: the page
// writer copies what these need out of the main window into TMarkupState.

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

struct TVariableValue {
    std::string Variable;  // matched without regard to case
    std::string Value;
};
// Replaces every occurrence of each variable in one left-to-right pass; where
// several match at one position the first in the list wins (so list a longer
// name before a name that is its prefix). Inserted values are never searched
// again, so a value holding a variable name cannot loop or be expanded twice.
std::string ReplaceVariablesOnce(const std::string& text, const std::vector<TVariableValue>& values);
// Text shown in a page or an attribute: '&', '<', '>' and '"' as entities.
std::string HtmlText(const std::string& text);

// Replaces the picture variables ("%filedatetime[fmt]", "%folder", "%filenoext",
// "%filename", "%fileext", "%filesizekb", "%filesizemb", "%filesize",
// "%filedesc1", "%filedesc2") in text for the picture at filePath; the
// descriptions come from "descript.ion" / descript.pv in item.Folder under
// item.FileName, falling back to filePath's file name. Names are put in as
// text (NameToText: a part that is not UTF-8 is read as Windows-1252), in
// pages HTML-escaped. Inserted values are never searched again. Mode 0:
// result := the expanded text (sizes with the locale's thousands separator);
// mode 1: result := alt="<expanded>" with plain-integer sizes and '"' written
// as &quot;.
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
