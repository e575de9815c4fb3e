#pragma once
// The "GIF" choice of the output format: the picture reduced to at most the
// chosen number of colours and written as a GIF89a file.

#include "platform/core/Exception.h"

#include <string>

class TRasterDIB;

// A picture that could not be written: SaveImageFile's unknown kind, an empty
// picture, no JPEG library; a GIF too large or not creatable.
class ESaveImageError : public Exception {
public:
    using Exception::Exception;
};

// A GIF89a file of the picture: its own colours when it has at most `colors`,
// else an even colour cube of at most that many (no dithering).
void WriteGifFile(const TRasterDIB& dib, const std::string& fileName, int colors);
