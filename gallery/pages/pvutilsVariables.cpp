// Picture variables and the small routines that put values into template lines.

#include "gallery/pages/pvutilsVariables.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/core/Utf8.h"
#include "platform/system/Files.h"
#include "platform/system/System.h"

#include <cmath>
#include <cstdint>

namespace {

const char* const FileDateTimeVariable = "%filedatetime";

// Size of the file in bytes (kind 0), KB (1) or MB (2), rounded like a format
// picture (halves away from zero); "" when the file cannot be opened. Shown
// text may group thousands; attribute values never do.
std::string sizeValue(int kind, const std::string& filePath, bool groupThousands)
{
    if (!FileCanOpen(filePath)) return std::string();
    const std::int64_t size = FileSizeOfPath(ToFileSystemPath(filePath));
    if (size < 0) return std::string();
    const double divisor = kind == 0 ? 1.0 : kind == 1 ? 1024.0 : 1048576.0;
    const auto rounded = static_cast<std::int64_t>(std::llround(static_cast<double>(size) / divisor));
    return groupThousands ? FormatThousands(rounded) : std::to_string(rounded);
}

// The item's description in one of its folder's description files, or the
// picture's own file name when it has none.
template <typename NameText>
std::string descriptionValue(const TSourceItemName* item, const char* descriptionFileName, const std::string& filePath,
                             NameText name)
{
    if (item && !item->FileName.empty()) {
        int index = -1;
        std::string description;
        const std::string folder = item->Folder.empty() ? std::string() : NormalizeFolderPath(item->Folder);
        ReadDescription(index, folder + descriptionFileName, item->FileName, description);
        if (index >= 0 && !description.empty()) return description;
    }
    return name(ExtractFileName(filePath));
}

bool containsVariable(const std::string& lowerText, const char* variable)
{
    return lowerText.find(variable) != std::string::npos;
}

// Text attribute values must not end their quotes early.
std::string quoteForAttribute(const std::string& text) { return ReplaceText(text, "\"", "&quot;", false, true); }

// The expansion shared by ExpandTextVariables and ExpandCaption. resultLine is
// null for the text stamp, which has no "%width" and friends. Every name shown
// passes here: as text (so a name of another encoding shows its letters and a
// page stays UTF-8), and in a page (inPage) HTML-escaped; descriptions are the
// user's own markup.
std::string expandVariables(int mode, const TSourceItemName* item, const std::string& filePath, const std::string& text,
                            const std::string* resultLine, bool inPage)
{
    const auto name = [inPage](const std::string& value) {
        const std::string shown = NameToText(value);
        return inPage ? HtmlText(shown) : shown;
    };
    std::string source = text;
    std::string dateFormat;
    bool hasDate = false;
    {
        const std::string lower = AsciiLower(source);
        const std::size_t at = lower.find(std::string(FileDateTimeVariable) + "[");
        if (at != std::string::npos) {
            hasDate = true;
            // The format is the bracket right after the variable: a "[...]"
            // earlier in the text is the user's own text, not the format.
            const std::size_t open = at + std::char_traits<char>::length(FileDateTimeVariable);
            const std::size_t close = source.find(']', open);
            if (close != std::string::npos) {
                dateFormat = source.substr(open + 1, close - open - 1);
                source.erase(open, close - open + 1);
            }
        }
    }
    const std::string lower = AsciiLower(source);
    const bool attribute = mode == 1;

    std::vector<TVariableValue> values;
    // Values are only worked out for variables the text holds: each one may
    // open a file.
    auto add = [&](const char* variable, auto makeValue) {
        if (containsVariable(lower, variable)) values.push_back({variable, makeValue()});
    };
    // Without a bracketed format the date variable is left as plain text.
    if (hasDate) {
        std::string date;
        FileDateText(1, filePath, dateFormat, date);
        values.push_back({FileDateTimeVariable, date});
    }
    add("%folder", [&] { return name(ExtractFilePath(filePath)); });
    add("%filenoext", [&] { return name(ExtractFileNameNoExt(filePath)); });
    add("%filename", [&] { return name(ExtractFileName(filePath)); });
    add("%fileext", [&] { return name(ExtractFileExt(filePath)); });
    add("%filesizekb", [&] { return sizeValue(1, filePath, !attribute); });
    add("%filesizemb", [&] { return sizeValue(2, filePath, !attribute); });
    add("%filesize", [&] { return sizeValue(0, filePath, !attribute); });
    if (resultLine) {
        add("%width", [&] { return GetField(0, *resultLine, ResultField::Width); });
        add("%height", [&] { return GetField(0, *resultLine, ResultField::Height); });
        add("%colors", [&] { return GetField(0, *resultLine, ResultField::Colours); });
    }
    add("%filedesc1", [&] { return descriptionValue(item, "descript.ion", filePath, name); });
    add("%filedesc2", [&] { return descriptionValue(item, "descript.pv", filePath, name); });

    const std::string expanded = ReplaceVariablesOnce(source, values);
    if (attribute) return "alt=\"" + quoteForAttribute(expanded) + "\"";
    return expanded;
}

}  // namespace

std::string HtmlText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string ReplaceVariablesOnce(const std::string& text, const std::vector<TVariableValue>& values)
{
    std::vector<std::string> patterns;
    patterns.reserve(values.size());
    for (const TVariableValue& v : values) patterns.push_back(AsciiLower(v.Variable));
    const std::string lower = AsciiLower(text);
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        bool replaced = false;
        for (std::size_t k = 0; k < patterns.size(); ++k) {
            const std::string& pattern = patterns[k];
            if (!pattern.empty() && lower.compare(i, pattern.size(), pattern) == 0) {
                out += values[k].Value;
                i += pattern.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) out += text[i++];
    }
    return out;
}

void ExpandTextVariables(int mode, const TSourceItemName& item, const std::string& filePath, std::string& result,
                         const std::string& text)
{
    result = expandVariables(mode, &item, filePath, text, nullptr, false);
}

std::string ExpandCaption(int mode, int itemIndex, const std::string& filePath, const std::string& text,
                          const TMarkupState& state)
{
    const TSourceItemName* item = nullptr;
    if (itemIndex >= 0 && static_cast<std::size_t>(itemIndex) < state.SourceItems.size())
        item = &state.SourceItems[static_cast<std::size_t>(itemIndex)];
    return expandVariables(mode, item, filePath, text, &state.CurrentResultLine, true);
}

void ReplaceVariable(std::string& line, const std::string& variable, const std::string& endMarker,
                     const std::string& value)
{
    if (variable.empty()) return;
    const std::string lower = AsciiLower(line);
    const std::size_t at = lower.find(AsciiLower(variable));
    if (at == std::string::npos) return;
    if (endMarker.empty()) {
        line.replace(at, variable.size(), value);
        return;
    }
    const std::size_t start = at + variable.size();
    const std::size_t end = lower.find(AsciiLower(endMarker), start);
    if (end == std::string::npos) return;
    line.replace(start, end - start, value);
}

void AddSpaces(int count, std::string& result)
{
    result = count > 0 ? std::string(static_cast<std::size_t>(count), ' ') : std::string();
}

std::string AddSpaces(int count)
{
    std::string result;
    AddSpaces(count, result);
    return result;
}

void AddAttribute(std::string& tag, bool enabled, const std::string& name, const std::string& value)
{
    if (enabled) tag += " " + name + "\"" + value + "\"";
}
