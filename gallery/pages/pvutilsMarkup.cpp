// The markup of one picture cell and the link, colour and flag helpers of the
// page writer.

#include "gallery/pages/pvutilsMarkup.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"

#include <cstdio>
#include <cstring>

namespace {

// A '"' in a link address would end the attribute: written as a URL escape.
std::string quoteInUrl(const std::string& text) { return ReplaceText(text, "\"", "%22", false, true); }

bool StaysInUrl(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::strchr("-._~!$'()*+,;=@/", c) != nullptr && c != 0;
}

}  // namespace

std::string UrlFromName(const std::string& name)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string url;
    for (char ch : BackslashToSlash(name)) {
        const auto c = static_cast<unsigned char>(ch);
        if (StaysInUrl(c)) {
            url += ch;
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return HtmlText(url);
}

std::string CaptionFontMarkup(const std::string& fontRecord, const std::string& captionText)
{
    auto field = [&](int n) { return GetField(0, fontRecord, n); };
    const bool bold = FieldIsOn(fontRecord, CaptionFontField::Bold);
    const bool italic = FieldIsOn(fontRecord, CaptionFontField::Italic);
    const bool highlight = FieldIsOn(fontRecord, CaptionFontField::HighlightOn);
    std::string markup = "<font face=\"" + RecordText(0, fontRecord, CaptionFontField::Face) + "\" size=\"" +
                         field(CaptionFontField::SizeIndex) + "\"";
    if (FieldIsOn(fontRecord, CaptionFontField::ColorOn))
        AddAttribute(markup, true, "color=", "#" + ColorToHtmlHex(StrToInt(field(CaptionFontField::Color))));
    markup += ">";
    if (bold) markup += "<b>";
    if (italic) markup += "<i>";
    if (highlight)
        markup += "<span style=\"background-color: #" +
                  ColorToHtmlHex(StrToInt(field(CaptionFontField::HighlightColor))) + "\">";
    markup += captionText;
    if (highlight) markup += "</span>";
    if (italic) markup += "</i>";
    if (bold) markup += "</b>";
    markup += "</font>";
    return markup;
}

void MakeThumbnailCell(bool linkOn, const std::string& picture, const std::string& linkTarget, std::string& result,
                       const std::string& targetAttribute, int itemIndex, const std::string& linkAddress,
                       const std::string& captionPattern, const std::string& altPattern,
                       const std::string& itemFileName, const TMarkupState& state)
{
    const std::string address = Trim(linkAddress);
    std::string openTag;
    std::string closeTag;
    if (linkOn) {
        if (!address.empty())
            openTag = "<a href=\"" + quoteInUrl(EscapeSpaces(state.ReplaceForbiddenCharacter, address)) + "\">";
        else
            openTag = "<a href=\"" + UrlFromName(linkTarget) + "\"" + targetAttribute + ">";
        closeTag = "</a>";
    }
    const std::string prefix = state.PageKind == 1 ? state.RelativePrefix : std::string();
    const std::string outputPicture = NormalizeFolderPath(state.DestinationFolder) + itemFileName;
    const std::string alt = ExpandCaption(1, itemIndex, outputPicture, altPattern, state);
    const std::string pictureMarkup = openTag + "<img" + " src=\"" + prefix + UrlFromName(picture) + "\" " + alt + " " +
                                      state.ImageAttributes + state.SizeAttributes + ">" + closeTag;

    std::vector<TVariableValue> values{{"%file", pictureMarkup}};
    if (AsciiLower(state.CaptionPositionLine).find("%caption") != std::string::npos) {
        const std::string caption = ExpandCaption(0, itemIndex, outputPicture, captionPattern, state);
        values.push_back({"%caption", CaptionFontMarkup(state.CaptionFont, caption)});
    }
    values.push_back({"(a)", openTag});
    values.push_back({"(/a)", closeTag});
    // One pass: a picture or caption holding "(a)" or "%caption" (party(a).jpg)
    // keeps its text.
    result = ReplaceVariablesOnce(state.CaptionPositionLine, values);
}

void RelativeRootPath(const std::string& relativePath, std::string& result)
{
    int separators = 0;
    for (char c : relativePath)
        if (c == '\\' || c == '/') ++separators;
    result.clear();
    for (int i = 0; i < (separators < 1 ? 1 : separators); ++i) result += "../";
}

std::string RelativeRootPath(const std::string& relativePath)
{
    std::string result;
    RelativeRootPath(relativePath, result);
    return result;
}

std::string ImagePagePrefix(const std::string& imagePageName)
{
    if (imagePageName.find_first_of("\\/") == std::string::npos) return std::string();
    return RelativeRootPath(imagePageName);
}

namespace {

// The link around the first text of a line: where its "<a" starts and its
// "</a>" after the text stands; false when the text is not inside one.
bool findLinkAround(const std::string& line, const std::string& text, std::size_t& tagStart, std::size_t& closeAt)
{
    const std::size_t at = line.find(text);
    if (at == std::string::npos || at == 0) return false;
    tagStart = line.rfind('<', at - 1);
    if (tagStart == std::string::npos) return false;
    const std::string lower = AsciiLower(line);
    if (lower.compare(tagStart, 2, "<a") != 0) return false;
    closeAt = lower.find("</a>", at + text.size());
    return closeAt != std::string::npos;
}

}  // namespace

void RemoveLinkTag(std::string& line, bool keep, int mode, const std::string& text)
{
    if (keep || (mode != 1 && mode != 2) || text.empty()) return;
    std::size_t tagStart = 0, closeAt = 0;
    if (!findLinkAround(line, text, tagStart, closeAt)) return;
    if (mode == 1) {
        line.erase(tagStart, closeAt + 4 - tagStart);
        return;
    }
    const std::size_t tagEnd = line.find('>', tagStart);
    if (tagEnd == std::string::npos || tagEnd > closeAt) return;
    line.erase(closeAt, 4);
    line.erase(tagStart, tagEnd + 1 - tagStart);
}

void ConvertLinkMarkup(std::string& line, const std::string& marker, bool makeLink, const std::string& address)
{
    if (marker.empty()) return;
    const std::size_t at = AsciiLower(line).find(AsciiLower(marker));
    if (at == std::string::npos) return;
    const std::size_t attributesStart = at + marker.size();
    const std::size_t colon = line.find(':', attributesStart);
    if (colon == std::string::npos) return;
    const std::size_t closeParen = line.find(')', colon + 1);
    if (closeParen == std::string::npos) return;
    const std::string attributes = line.substr(attributesStart, colon - attributesStart);
    const std::string label = line.substr(colon + 1, closeParen - colon - 1);
    line.erase(at, closeParen + 1 - at);
    if (makeLink) line.insert(at, "<a href=\"" + address + "\"" + attributes + ">" + label + "</a>");
}

std::string SlashToBackslash(const std::string& text)
{
    std::string result = text;
    for (char& c : result)
        if (c == '/') c = '\\';
    return result;
}

void SlashToBackslash(const std::string& text, std::string& result) { result = SlashToBackslash(text); }

std::string ColorToHtmlHex(int colour)
{
    // System colours are negative and stray values can exceed 24 bits: only
    // the three colour bytes count, so the text is always six digits.
    const auto value = static_cast<unsigned int>(colour);
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", value & 0xFFu, (value >> 8) & 0xFFu, (value >> 16) & 0xFFu);
    return text;
}

void ColorToHtmlHex(int colour, std::string& result) { result = ColorToHtmlHex(colour); }

std::string BoolToFlag(bool value) { return value ? "1" : "0"; }

bool FlagToBool(const std::string& flag) { return flag == "1"; }

void FontStyleText(const std::string& mode, const std::string& letters, TFontStyles& font, std::string& result)
{
    if (mode == "r") {
        const std::string lower = AsciiLower(letters);
        font.Bold = lower.find('b') != std::string::npos;
        font.Italic = lower.find('i') != std::string::npos;
        font.Underline = lower.find('u') != std::string::npos;
        font.StrikeOut = lower.find('s') != std::string::npos;
        return;
    }
    result.clear();
    if (font.Bold) result += 'b';
    if (font.Italic) result += 'i';
    if (font.Underline) result += 'u';
    if (font.StrikeOut) result += 's';
}
