#pragma once
// The desktop's own programs for a kind of file, found as xdg-mime finds the
// default application: the freedesktop.org MIME application lists and the
// desktop entries they name. Read from the files directly (xdg-mime is a
// shell script that takes seconds on a busy machine), so the XDG_* folders
// of the environment decide, as they do for xdg-mime.

#include <string>
#include <vector>

struct TDesktopProgram {
    std::string Name;     // the entry's Name, e.g. "Text Editor"
    std::string Program;  // the full path of its program
};

// The first program for the MIME type, in the desktop's order of preference:
// [Default Applications] of the mimeapps.list files (configuration folders
// first, then the applications folders of the data folders), then their
// defaults.list and mimeinfo.cache, then every desktop entry that lists the
// type. Only entries that start one program with the file as its argument
// ("Exec=program %f", or %F, %u, %U), need no terminal and are not hidden
// count; with categories given, only entries in one of them (e.g.
// "TextEditor"). False when there is none.
bool FindDesktopProgram(const std::string& mimeType, const std::vector<std::string>& categories,
                        TDesktopProgram& found);
