#include "platform/inifile/IniFile.h"
#include "platform/core/Integers.h"
#include "platform/core/Trim.h"
#include "platform/core/Utf8.h"
#include "platform/system/Files.h"
#include "platform/system/System.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Profile rules: spaces and tabs around names and values, and a CR left at a line's end.
std::string trimBlanks(const std::string& s) { return TrimRight(TrimLeft(s, " \t"), " \t\r"); }

bool readWholeFile(const std::string& path, std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
    return true;
}

}  // namespace

std::string IniTrimValue(const std::string& raw)
{
    std::string v = trimBlanks(raw);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

bool IniParseInteger(const std::string& text, int& value) { return ParseInteger(trimBlanks(text), value); }

TIniFile::TIniFile(const std::string& fileName, IniFileMode mode) : fileName_(ToFileSystemPath(fileName)), mode_(mode)
{
    std::string text;
    readWholeFile(fileName_, text);
    parse(text);
}

TIniFile::~TIniFile()
{
    try {
        UpdateFile();
    } catch (...) {
    }
}

void TIniFile::LoadFromText(const std::string& text)
{
    parse(text);
    modified_ = false;
}

void TIniFile::parse(const std::string& text)
{
    sections_.clear();
    sections_.push_back(Section{});
    std::size_t start = 0;
    byteOrderMark_ = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if (byteOrderMark_) start = 3;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string raw = text.substr(start, end - start);
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        start = end + 1;

        const std::string trimmed = trimBlanks(raw);
        if (!trimmed.empty() && trimmed[0] == '[') {
            std::size_t close = trimmed.find(']');
            Section section;
            section.name = trimBlanks(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            section.header = raw;
            sections_.push_back(std::move(section));
            continue;
        }
        Line line;
        line.raw = raw;
        const std::size_t eq = raw.find('=');
        if (eq != std::string::npos && !trimmed.empty() && trimmed[0] != ';') {
            line.key = trimBlanks(raw.substr(0, eq));
            line.value = IniTrimValue(raw.substr(eq + 1));
            line.isKey = !line.key.empty();
        }
        sections_.back().lines.push_back(std::move(line));
    }
}

const TIniFile::Section* TIniFile::findSection(const std::string& name) const
{
    const std::string wanted = trimBlanks(name);
    for (std::size_t i = 1; i < sections_.size(); ++i)
        if (SameText(sections_[i].name, wanted)) return &sections_[i];
    return nullptr;
}

TIniFile::Section* TIniFile::findSection(const std::string& name)
{
    return const_cast<Section*>(static_cast<const TIniFile*>(this)->findSection(name));
}

const TIniFile::Line* TIniFile::findKey(const std::string& section, const std::string& key) const
{
    const Section* s = findSection(section);
    if (!s) return nullptr;
    const std::string wanted = trimBlanks(key);
    for (const Line& line : s->lines)
        if (line.isKey && SameText(line.key, wanted)) return &line;
    return nullptr;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const
{
    const Line* line = findKey(section, key);
    return line ? line->value : defaultValue;
}

std::string TIniFile::ReadText(const std::string& section, const std::string& key,
                               const std::string& defaultValue) const
{
    return StoredTextToUtf8(ReadString(section, key, defaultValue));
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int defaultValue) const
{
    const Line* line = findKey(section, key);
    if (!line) return defaultValue;
    int value = 0;
    return IniParseInteger(ReadString(section, key, std::string()), value) ? value : defaultValue;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    std::string clean = value;
    for (char& c : clean)
        if (c == '\r' || c == '\n') c = ' ';
    // A value that reading would change (blanks at its ends, a pair of quotes
    // around it) is written inside one more pair of quotes, which reading takes off.
    const std::string stored = IniTrimValue(clean) == clean ? clean : "\"" + clean + "\"";
    const std::string sectionName = trimBlanks(section);
    const std::string keyName = trimBlanks(key);
    Section* s = findSection(sectionName);
    if (!s) {
        Section fresh;
        fresh.name = sectionName;
        fresh.header = "[" + sectionName + "]";
        sections_.push_back(std::move(fresh));
        s = &sections_.back();
    }
    for (Line& line : s->lines) {
        if (line.isKey && SameText(line.key, keyName)) {
            line.raw = line.key + "=" + stored;
            line.value = clean;
            modified_ = true;
            return;
        }
    }
    Line line;
    line.raw = keyName + "=" + stored;
    line.key = keyName;
    line.value = clean;
    line.isKey = true;
    // New keys go right after the section's last key, so blank lines and
    // comments that lead into the next section stay below it.
    std::size_t at = 0;
    for (std::size_t i = 0; i < s->lines.size(); ++i)
        if (s->lines[i].isKey) at = i + 1;
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    modified_ = true;
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::ReadSection(const std::string& section, TStringList& keys) const
{
    keys.Clear();
    if (const Section* s = findSection(section))
        for (const Line& line : s->lines)
            if (line.isKey) keys.Add(line.key);
}

void TIniFile::ReadSections(TStringList& sections) const
{
    sections.Clear();
    for (std::size_t i = 1; i < sections_.size(); ++i) sections.Add(sections_[i].name);
}

void TIniFile::ReadSectionValues(const std::string& section, TStringList& lines) const
{
    lines.Clear();
    if (const Section* s = findSection(section))
        for (const Line& line : s->lines)
            if (line.isKey) lines.Add(line.key + "=" + ReadString(section, line.key, std::string()));
}

void TIniFile::EraseSection(const std::string& section)
{
    const std::string wanted = trimBlanks(section);
    for (std::size_t i = 1; i < sections_.size();) {
        if (SameText(sections_[i].name, wanted)) {
            sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(i));
            modified_ = true;
        } else {
            ++i;
        }
    }
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key)
{
    Section* s = findSection(section);
    if (!s) return;
    const std::string wanted = trimBlanks(key);
    for (std::size_t i = 0; i < s->lines.size(); ++i) {
        if (s->lines[i].isKey && SameText(s->lines[i].key, wanted)) {
            s->lines.erase(s->lines.begin() + static_cast<std::ptrdiff_t>(i));
            modified_ = true;
            return;
        }
    }
}

bool TIniFile::SectionExists(const std::string& section) const { return findSection(section) != nullptr; }

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const
{
    return findKey(section, key) != nullptr;
}

std::string TIniFile::ToText() const
{
    std::string text = byteOrderMark_ ? "\xEF\xBB\xBF" : "";
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (i > 0) text += sections_[i].header + "\r\n";
        for (const Line& line : sections_[i].lines) text += line.raw + "\r\n";
    }
    return text;
}

bool TIniFile::UpdateFile()
{
    if (!modified_) return true;
    // A file that holds a password is never written through a symbolic link.
    if (mode_ == IniFileMode::Private) {
        if (WritePrivateFile(fileName_, ToText()) != 0) return false;
        modified_ = false;
        return true;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    // Write through a symlink to the file it names.
    fs::path target(fileName_);
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) target = resolved;
    }
    const std::string path = target.string();

    struct stat st {};
    mode_t fileMode;
    if (::stat(path.c_str(), &st) == 0) {
        fileMode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        fileMode = 0666 & ~mask;
    }
    if (ReplaceFileBytes(path, ToText(), fileMode) != 0) return false;
    modified_ = false;
    return true;
}
