#pragma once
// The "GIF" choice of the output format: the picture reduced to at most the
// chosen number of colours and written as a GIF89a file.

#include <string>

class TRasterDIB;

// A GIF89a file of the picture: its own colours when it has at most `colors`,
// else an even colour cube of at most that many (no dithering).
void WriteGifFile(const TRasterDIB& dib, const std::string& fileName, int colors);
