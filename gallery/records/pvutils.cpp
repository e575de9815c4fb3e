// Field helpers, folder names, list and description files, tag attributes.
#include "gallery/records/pvutils.h"
#include "gallery/text/srutilsFiles.h"

#include "platform/core/Utf8.h"
#include "platform/system/System.h"

#include <string_view>

namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool loadLines(const std::string& fileName, TStringList& lines)
{
    const std::string path = ToFileSystemPath(fileName);
    if (!FileExists(path)) return false;
    try {
        lines.LoadFromFile(path);
    } catch (const Exception&) {
        return false;
    }
    return true;
}

bool isNameChar(char c)
{
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || std::string_view("-_:.").find(c) != std::string_view::npos;
}

// The attribute as a whole word of the tag: "link" is not found inside
// "vlink" or "alink", "src" not inside "datasrc".
std::size_t findAttribute(const std::string& lowerTag, const std::string& lowerName)
{
    if (lowerName.empty()) return std::string::npos;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = lowerTag.find(lowerName, from);
        if (at == std::string::npos) return at;
        const std::size_t after = at + lowerName.size();
        const bool startOk = at > 0 && isBlank(lowerTag[at - 1]);
        const bool endOk = after >= lowerTag.size() || !isNameChar(lowerTag[after]);
        if (startOk && endOk) return at;
        from = at + 1;
    }
}

struct TagSpan {
    std::size_t start = std::string::npos;  // where the tag begins in the text
    std::string tag;                        // up to and including its first '>'
};

TagSpan findTag(const std::string& html, const std::string& tagStart)
{
    TagSpan span;
    if (tagStart.empty()) return span;
    span.start = AsciiLower(html).find(AsciiLower(tagStart));
    if (span.start == std::string::npos) return span;
    const std::size_t close = html.find('>', span.start);
    span.tag = close == std::string::npos ? html.substr(span.start) : html.substr(span.start, close - span.start + 1);
    return span;
}

// The old value of an attribute whose name ends at nameEnd: [valueStart, valueEnd).
// An attribute without "=" has no value (valueStart == valueEnd == nameEnd).
std::size_t skipBlanks(const std::string& tag, std::size_t i, std::size_t tagEnd)
{
    while (i < tagEnd && isBlank(tag[i])) ++i;
    return i;
}

// The end of a value that starts at valueStart: after its closing quote (the
// tag's end when there is none), or at the next space.
std::size_t valueEndFrom(const std::string& tag, std::size_t valueStart, std::size_t tagEnd)
{
    if (valueStart < tagEnd && tag[valueStart] == '"') {
        const std::size_t close = tag.find('"', valueStart + 1);
        return close == std::string::npos ? tagEnd : close + 1;
    }
    const std::size_t space = tag.find(' ', valueStart);
    return space == std::string::npos || space > tagEnd ? tagEnd : space;
}

void findValue(const std::string& tag, std::size_t nameEnd, std::size_t& valueStart, std::size_t& valueEnd)
{
    const std::size_t tagEnd = (!tag.empty() && tag.back() == '>') ? tag.size() - 1 : tag.size();
    const std::size_t equals = skipBlanks(tag, nameEnd, tagEnd);
    if (equals >= tagEnd || tag[equals] != '=') {
        valueStart = valueEnd = nameEnd;
        return;
    }
    valueStart = skipBlanks(tag, equals + 1, tagEnd);
    valueEnd = valueEndFrom(tag, valueStart, tagEnd);
}

}  // namespace

void NextField(std::string& text, std::string& field)
{
    const std::size_t bar = text.find('|');
    if (bar == std::string::npos) {
        field = text;
        text.clear();
        return;
    }
    field = text.substr(0, bar);
    text.erase(0, bar + 1);
}

std::string NextField(std::string& text)
{
    std::string field;
    NextField(text, field);
    return field;
}

void GetField(int mode, const std::string& text, int n, std::string& field)
{
    if (n < 1) return;
    std::string rest = text;
    std::string value;
    for (int i = 0; i < n; ++i) {
        if (rest.empty()) {
            value.clear();
            break;
        }
        NextField(rest, value);
    }
    field = mode == 0 ? TrimRight(value) : value;
}

std::string GetField(int mode, const std::string& text, int n)
{
    std::string field;
    GetField(mode, text, n, field);
    return field;
}

TStringList LoadFirstFields(const std::string& fileName)
{
    TStringList result;
    TStringList lines;
    if (!loadLines(fileName, lines)) return result;
    for (const std::string& line : lines) {
        const std::size_t bar = line.find('|');
        result.Add(bar == std::string::npos ? std::string() : StoredTextToUtf8(line.substr(0, bar)));
    }
    return result;
}

std::string NormalizeFolderPath(const std::string& folder)
{
    if (folder.empty()) return folder;
    std::string path = ToFileSystemPath(folder);
    if (path.back() != '/') path += '/';
    return path;
}

std::string EscapeSpaces(bool escape, const std::string& text)
{
    return escape ? ReplaceText(text, " ", "%20", false, true) : text;
}

void ReadListLine(const std::string& fileName, int& lineNumber, std::string& result)
{
    result.clear();
    TStringList lines;
    if (!loadLines(fileName, lines)) return;
    if (lineNumber < 0 || lineNumber >= lines.Count()) lineNumber = 0;
    // An empty file has no line to give.
    if (lines.Count() == 0) return;
    result = lines[lineNumber];
}

bool FileContainsText(const std::string& fileName, const std::string& text)
{
    if (text.empty()) return false;
    TStringList lines;
    if (!loadLines(fileName, lines)) return false;
    for (const std::string& line : lines)
        if (AsciiLower(line).find(text) != std::string::npos) return true;
    return false;
}

void ReadDescription(int& index, const std::string& descriptionFile, const std::string& fileName,
                     std::string& description)
{
    description.clear();
    TStringList lines;
    if (!loadLines(descriptionFile, lines)) return;
    index = -1;
    const std::string wanted = AsciiLower(ExtractFileName(fileName));
    std::vector<std::string> names(static_cast<std::size_t>(lines.Count())), rests(names.size());
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string& line = lines[i];
        std::string& name = names[std::size_t(i)];
        std::string& rest = rests[std::size_t(i)];
        if (!line.empty() && line[0] == '"') {
            const std::size_t close = line.find('"', 1);
            if (close == std::string::npos) {
                name = line.substr(1);
            } else {
                name = line.substr(1, close - 1);
                if (close + 2 <= line.size()) rest = line.substr(close + 2);
            }
        } else {
            const std::size_t space = line.find(' ');
            name = line.substr(0, space);
            if (space != std::string::npos) rest = line.substr(space + 1);
        }
    }
    // The name as bytes first; then, for a name the Windows program wrote in
    // Windows-1252, its reading (the picture was renamed to UTF-8 on the way).
    for (const bool reading : {false, true}) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (AsciiLower(reading ? NameToText(names[i]) : names[i]) != wanted) continue;
            description = StoredTextToUtf8(rests[i]);
            index = static_cast<int>(i);
            return;
        }
    }
}

std::string StoredFileName(const std::string& folder, const std::string& stored)
{
    const std::string asStored = folder + stored;
    if (stored.empty() || FileExists(asStored)) return asStored;
    const std::string reading = folder + NameToText(ToFileSystemPath(stored));  // part by part, '\' as '/'
    return FileExists(reading) ? reading : asStored;
}

std::string DescriptionEntryName(const std::string& fileName)
{
    const std::string name = ExtractFileName(fileName);
    // A name with a space must be quoted, or reading would stop at the space.
    if (ExtractFileNameNoExt(name).size() > 8 || name.find(' ') != std::string::npos) return "\"" + name + "\"";
    return name;
}

bool WriteDescription(int index, const std::string& descriptionFile, const std::string& fileName,
                      const std::vector<std::string>& lines)
{
    std::string description;
    for (const std::string& line : lines) description += line + " ";
    TStringList entries;
    const std::string path = ToFileSystemPath(descriptionFile);
    if (FileExists(path)) {
        SetFileAttrText("r-h-a-s-", path);
        if (!loadLines(path, entries)) return false;
    } else {
        index = -1;
    }
    const std::string entry = DescriptionEntryName(fileName);
    // A stale index (the file changed since it was read) appends rather than
    // overwriting another file's line.
    if (index < 0 || index >= entries.Count()) {
        entries.Add(entry + " " + description);
    } else if (!description.empty()) {
        entries.Put(index, entry + " " + description);
    } else {
        entries.Delete(index);
    }
    try {
        entries.SaveToFile(path);
    } catch (const Exception&) {
        return false;
    }
    SetFileAttrText("r-h+a+s-", path);
    return true;
}

bool WriteDescription(int index, const std::string& descriptionFile, const std::string& fileName,
                      const TStringList& lines)
{
    return WriteDescription(index, descriptionFile, fileName, lines.Items());
}

void GetTagAttribute(std::string& html, const std::string& tagStart, const std::string& attribute)
{
    const TagSpan span = findTag(html, tagStart);
    if (span.start == std::string::npos) return;
    const std::size_t at = findAttribute(AsciiLower(span.tag), AsciiLower(attribute));
    if (at == std::string::npos) {
        html.clear();
        return;
    }
    std::size_t valueStart = 0, valueEnd = 0;
    findValue(span.tag, at + attribute.size(), valueStart, valueEnd);
    std::string value = span.tag.substr(valueStart, valueEnd - valueStart);
    if (!value.empty() && value[0] == '"') {
        value.erase(0, 1);
        if (!value.empty() && value.back() == '"') value.pop_back();
    }
    html = value;
}

void SetTagAttribute(std::string& html, const std::string& tagStart, const std::string& attribute,
                     const std::string& value)
{
    const TagSpan span = findTag(html, tagStart);
    if (span.start == std::string::npos) return;
    std::string tag = span.tag;
    const std::size_t at = findAttribute(AsciiLower(tag), AsciiLower(attribute));
    if (at != std::string::npos) {
        const std::size_t nameEnd = at + attribute.size();
        std::size_t valueStart = 0, valueEnd = 0;
        findValue(tag, nameEnd, valueStart, valueEnd);
        if (!value.empty()) {
            tag = tag.substr(0, nameEnd) + "=\"" + value + "\"" + tag.substr(valueEnd);
        } else {
            const std::size_t from = (at > 0 && tag[at - 1] == ' ') ? at - 1 : at;
            tag = tag.substr(0, from) + tag.substr(valueEnd);
        }
    } else if (!value.empty()) {
        // An empty value means "no such attribute": nothing to add.
        if (!tag.empty() && tag.back() == '>') tag.pop_back();
        tag += " " + attribute + "=\"" + value + "\">";
    }
    html = CollapseSpaces(tag);
}
