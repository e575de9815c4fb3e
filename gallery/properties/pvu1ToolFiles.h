#pragma once
// The properties dialog's tools without their controls: banner files, the
// header and footer preview file, colours as clipboard text, the colour of a
// clicked pixel, and starting an editor program on a file.

#include "platform/core/Color.h"

#include <string>
#include <vector>

class TRasterDIB;

// "banner1.dat" when the dialog's caption names index pages, else
// "banner2.dat"; the user's copy is written to WritableFolder(), and read
// from there once it exists (EditableDataFile).
std::string BannerFileName(const std::string& dialogCaption);
// The banners of a file, one a line; a missing file holds none.
std::vector<std::string> ReadBannerLines(const std::string& path);
// Every line ends in CR LF. False when the file could not be written.
bool WriteBannerLines(const std::string& path, const std::vector<std::string>& lines);

// The preview page: the text as its one line. False when it could not be written.
bool WritePreviewFile(const std::string& path, const std::string& text);

// The clipboard text of a colour: its decimal number.
std::string ColourCopyText(TColor colour);
// A pasted colour: a whole number (decimal, or hexadecimal after "$" or "0x")
// of a colour 0..$FFFFFF, or "#" and six hexadecimal digits red, green, blue.
// False for any other text.
bool ParsePastedColour(const std::string& text, TColor& colour);

// The colour of the pixel in column x, row y counted from the top as the
// picture is shown, whichever order the buffer keeps its rows in. False
// outside the picture.
bool PixelColourAt(const TRasterDIB& picture, int x, int y, TColor& colour);

// Whether a path names a program this user may run: an executable file.
bool IsProgramFile(const std::string& path);
// Starts program with file as its one argument (no shell, no quoting), without
// waiting. A program without a folder is looked up on PATH. False with the
// reason when nothing was started.
bool StartEditor(const std::string& program, const std::string& file, std::string& error);
