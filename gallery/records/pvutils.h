#pragma once
// Field helpers for "|"-separated records, folder names, list and
// description files, and reading and setting attributes of HTML tags.

#include "gallery/text/srutils.h"
#include "platform/strings/StringList.h"

#include <string>
#include <vector>

// Takes the first "|" field off text: with a "|" the field is the part before
// it and text loses that part and the "|"; without, the field is all of text
// and text becomes empty.
void NextField(std::string& text, std::string& field);
std::string NextField(std::string& text);
// The n-th field (from 1) of text; fields past the end are empty. Mode 0
// removes trailing blanks and control characters, mode 1 keeps them. n < 1
// leaves field unchanged.
void GetField(int mode, const std::string& text, int n, std::string& field);
std::string GetField(int mode, const std::string& text, int n);
// The part before the first "|" of every line of a text file (a line without
// "|" gives an empty entry); an empty list when the file does not exist. The
// parts are texts (caption lists, profile names): one stored in Windows-1252
// is made UTF-8.
TStringList LoadFirstFields(const std::string& fileName);

// Empty stays empty; otherwise every '\' becomes '/' and a '/' is appended
// unless the last character is one.
std::string NormalizeFolderPath(const std::string& folder);
// With the flag set every space becomes "%20".
std::string EscapeSpaces(bool escape, const std::string& text);
// result := ""; when the file exists: a lineNumber past the last line (or
// below 0) becomes 0 and result is that line (from 0). An empty file gives an
// empty result and lineNumber 0.
void ReadListLine(const std::string& fileName, int& lineNumber, std::string& result);
// True when some line of the file, lower-cased, contains text.
bool FileContainsText(const std::string& fileName, const std::string& text);

// Description files ("descript.ion", descript.pv): one line per file, the
// name (double-quoted when it is long or holds a space) then a space and the
// description. ReadDescription: description := ""; when the file exists index
// := -1, and the first line whose name equals fileName's name (both
// lower-cased) gives the description and its line index (from 0). The name is
// compared byte for byte; when no line names the file so, the first line
// whose name read as Windows-1252 (NameToText) equals it gives it, so a file
// the Windows program wrote still describes pictures renamed to UTF-8. A
// description stored in Windows-1252 is made UTF-8.
void ReadDescription(int& index, const std::string& descriptionFile, const std::string& fileName,
                     std::string& description);
// The file a name in a stored file (a record, a list, a caption list) stands
// for, below folder ("" for a name that is whole): folder + stored when such a
// file exists, else folder + its Windows-1252 reading (NameToText) when that
// one exists, else folder + stored.
std::string StoredFileName(const std::string& folder, const std::string& stored);
// Writes lines (each followed by one space) as the description of fileName at
// line index (-1, or a line past the end: appended; an empty description
// deletes the line at index). The line names fileName as it is, also where
// ReadDescription found it under its Windows-1252 reading; the other lines
// stay as they were. True when the file was written. The name is quoted when
// its part before the extension is longer than 8 characters or it holds a
// space.
bool WriteDescription(int index, const std::string& descriptionFile, const std::string& fileName,
                      const std::vector<std::string>& lines);
bool WriteDescription(int index, const std::string& descriptionFile, const std::string& fileName,
                      const TStringList& lines);
// The entry name WriteDescription writes for a file.
std::string DescriptionEntryName(const std::string& fileName);

// html := the value of attribute in the first tag that begins with tagStart
// (both compared lower-cased); "" when the tag lacks the attribute; html
// unchanged when there is no such tag.
void GetTagAttribute(std::string& html, const std::string& tagStart, const std::string& attribute);
// html (a line holding the tag) := that tag alone with the attribute set to
// value (removed when value is empty), runs of spaces collapsed. Unchanged when
// the tag is not there.
void SetTagAttribute(std::string& html, const std::string& tagStart, const std::string& attribute,
                     const std::string& value);
