#pragma once
// The page writer's page names and the helpers its files share
// (pvuPagesNames.cpp): case-blind search and record fields as the pages read them.

#include <cstddef>
#include <string>

class TForm1;

namespace page_writer {

inline const char* const CrLf = "\r\n";

std::size_t FindNoCase(const std::string& text, const std::string& lowerPattern, std::size_t from = 0);
bool ContainsNoCase(const std::string& text, const std::string& lowerPattern);
// Widths and heights go into attributes as plain integers, whatever grouping
// the per-item list or a record field carries.
std::string PlainInteger(const std::string& text);
// Field n of a record as it stands (flags, numbers), as a number, as an HTML
// colour "#RRGGBB". Records come completed (TForm1::CompletedPropertyRecord).
std::string Field(const std::string& record, int n);
int IntField(const std::string& record, int n);
// Text field n as the page shows it ("%line" back to "|"), as it stands or
// with trailing blanks removed.
std::string Text(const std::string& record, int n);
std::string TrimmedText(const std::string& record, int n);
std::string HtmlColour(const std::string& record, int n);
// The background picture named by field n, as a page links it: the build
// copies it into the destination folder, so its file name only.
std::string BackgroundAddress(const std::string& record, int n);
// Field n of a per-item result line ("name|width|height|colours").
std::string ResultLineField(const std::string& line, int n);
// The name an image page in a folder-only pattern takes for the item named
// itemName: its image copy's name without the copy's extension, as a
// thumbnail is named, so "a.png" and "a.jpg" get "a.png" and "a", never one
// page for both.
std::string ImagePageStem(const TForm1& form, const std::string& itemName);
// Page n (from 1) of a kind (0 index, 1 image pages): the build's list when it
// holds the page, else formed from the setting the same way.
std::string PageName(const TForm1& form, int kind, int n);

}  // namespace page_writer
