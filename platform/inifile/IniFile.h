#pragma once
// Settings files with the Windows profile rules: section and key names match
// without regard to ASCII case, values are trimmed and lose one pair of
// surrounding quotes, CR LF and LF line ends both read, lines we do not
// understand (comments, unknown keys and sections) are kept on rewrite.
// Unlike the Windows calls, a value is read back whole whatever its length
// (a record holding a long text must keep its later fields). Files are
// written as "[Section]" and "key=value" lines ending in CR LF.

#include "platform/strings/StringList.h"

#include <string>
#include <vector>

enum class IniFileMode {
    Normal,   // a new file gets 0666 less the umask; an existing file keeps its mode
    Private,  // the file is created, and kept, with mode 0600 (it holds a password)
};

class TIniFile {
public:
    // Reads the file now; a missing or unreadable file reads as empty.
    // Names pass through the '\' -> '/' rule of stored paths.
    explicit TIniFile(const std::string& fileName, IniFileMode mode = IniFileMode::Normal);
    // Writes pending changes; a failure is silent, as with the Windows calls.
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const std::string& FileName() const { return fileName_; }
    // Replaces what was read with the given text (as if the file held it).
    void LoadFromText(const std::string& text);

    // The value as the file holds it, byte for byte: how names are read.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
    // A text value: one that is not valid UTF-8 was stored by the Windows
    // program in Windows-1252 and comes back as UTF-8 (StoredTextToUtf8).
    std::string ReadText(const std::string& section, const std::string& key, const std::string& defaultValue) const;
    // Decimal with an optional sign, or "0x"/"0X" (also "$") hexadecimal of up
    // to 8 digits; anything else, an empty value or a number outside 32 bits
    // gives the default.
    int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
    // True when the integer value is not 0.
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

    // Line breaks inside a value would split the line: they become spaces.
    // Otherwise ReadString gives back exactly the value written: one that
    // begins or ends in a blank or is quoted is stored in a further pair of quotes.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);  // "1" / "0"

    void ReadSection(const std::string& section, TStringList& keys) const;
    void ReadSections(TStringList& sections) const;
    void ReadSectionValues(const std::string& section, TStringList& lines) const;  // "key=value"
    void EraseSection(const std::string& section);
    void DeleteKey(const std::string& section, const std::string& key);
    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;

    // Writes the file when something changed; false when it could not be written.
    bool UpdateFile();
    // The whole file as it would be written.
    std::string ToText() const;

private:
    struct Line {
        std::string raw;
        std::string key;    // empty for lines that are not key=value
        std::string value;  // trimmed, quotes stripped
        bool isKey = false;
    };
    struct Section {
        std::string name;
        std::string header;  // raw header line; empty for the lines before the first section
        std::vector<Line> lines;
    };

    void parse(const std::string& text);
    const Section* findSection(const std::string& name) const;
    Section* findSection(const std::string& name);
    const Line* findKey(const std::string& section, const std::string& key) const;

    std::string fileName_;
    IniFileMode mode_;
    std::vector<Section> sections_;  // sections_[0] holds the lines before the first header
    bool modified_ = false;
    bool byteOrderMark_ = false;  // an editor's UTF-8 mark, kept on rewrite
};

// The value rules on their own, for tests and for callers that parse values.
std::string IniTrimValue(const std::string& raw);
bool IniParseInteger(const std::string& text, int& value);
