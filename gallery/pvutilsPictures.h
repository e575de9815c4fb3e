#pragma once
// Pictures between files and the working pixel buffer, output file names, and
// the geometry routines the image makers and decorations share.

#include "gallery/pvutilsMakers.h"
#include "platform/core/Exception.h"
#include "raster/RasterDIB.h"

#include <cstdint>
#include <string>

// A picture that SaveImageFile could not write (no writer for the kind, an
// empty picture, no JPEG library).
class ESaveImageError : public Exception {
public:
    using Exception::Exception;
};

// Output kinds of SaveImageFile.
enum TOutputKind : int { okJpeg = 0, okGif = 1, okBmpRaster = 3, okBmpBuffer = 4 };

// Fills dib from the file: JPEG and BMP through the raster core, every other
// extension through the picture registry (InitializeImageFormats must have
// run). The result is 24 bits per pixel, or empty (0 x 0) when the file could
// not be decoded: corrupt, truncated, too large, or the JPEG library missing.
// A file that does not exist leaves dib as it was. An extension no loader is
// registered for raises EInvalidGraphic "Unknown picture file extension (.%s)".
void LoadImageFile(TRasterDIB& dib, const std::string& fileName);

// Loads an overlay picture: inverted when invert is 1, brightened by three
// times brightness, and at percent other than 100 scaled down into the middle
// of a black picture of its own size.
void LoadScaledImage(TRasterDIB& dib, const std::string& fileName, int percent, int invert, int brightness);

// Writes dib to target in the given kind: 0 JPEG with quality 1..100 (the
// JPEG writer holds other values to that range), 1 GIF
// with at most `colors` colours (2..256; the "Colors" setting), 3 BMP by the
// raster writer, 4 BMP by the buffer's own writer. With keepDate the target
// gets the packed file date dateSource had before the write (none when
// dateSource cannot be opened). Returns only when the file was written: every
// failure raises (ESaveImageError for an unknown kind, an empty picture or a
// missing JPEG library; the writers' own errors otherwise), and no partly
// written file is left behind.
void SaveImageFile(TRasterDIB& dib, const std::string& dateSource, const std::string& target, int kind, int quality,
                   bool keepDate, int colors = 255);

// A GIF89a file of the picture: its own colours when it has at most `colors`,
// else an even colour cube of at most that many (no dithering).
void WriteGifFile(const TRasterDIB& dib, const std::string& fileName, int colors);

// Forms an output name relative to the destination folder (see the notes in
// pvutilsPictures.cpp): mode 0 from the pattern, renumbered by number; mode 1
// the name put in place of the first '*' of templ. '\' becomes '/', and empty,
// "." and ".." folder steps are dropped so no name leaves the destination.
void MakeTargetFileName(int mode, const std::string& pattern, const std::string& defaultName, std::string& result,
                        int number, int numbering, const std::string& templ);

// Keeps a relative output name inside its folder: '\' -> '/', empty, "." and
// ".." steps dropped (so also any leading '/').
std::string ContainedRelativePath(const std::string& name);

// --- geometry (pvutilsGeometry.cpp) -----------------------------------------

// How ScaleSize fits a picture into a box, and how ResizeImage resamples
// (the thumbnail's "Size" choice): percent, pixel, crop; 3 is pixel with the
// proportions always kept.
enum TScaleKind : int { skPercent = 0, skPixel = 1, skCrop = 2, skPixelLocked = 3 };
// The filter choices of the image copy and the thumbnail.
enum TImageFilter : int { flNone = 0, flBlur = 1, flSharpen = 2, flAutoContrast = 3 };
// RotateMirror's mirror after the turn: a flip top to bottom ("vertical") or
// left to right ("horizontal").
enum TMirror : int { miNone = 0, miVertical = 1, miHorizontal = 2 };

// Turns the requested box (width, height) into the size to resample to:
// kind 0 percent (width is the percentage of both sides), 1 pixel (lock keeps
// the proportions inside the box; without lock the width, or with heightFirst
// the height, decides), 2 crop (the shorter side matches its box side), 3 as
// 1 with lock. Other kinds leave both values. Sides never drop below 1 while
// the picture has pixels and the request is positive.
void ScaleSize(const TRasterDIB& picture, int& width, int& height, int kind, bool lock, bool heightFirst);
// Resamples the picture bilinearly to newWidth x newHeight at 24 bits; mode 2
// then cuts the middle boxWidth x boxHeight out of it with a slight smoothing
// turn. A zero or negative target side gives an empty picture.
void ResizeImage(TRasterDIB& picture, int mode, int newWidth, int newHeight, int boxWidth, int boxHeight);
// ResizeImage's result made into result with source left as it is; false (and
// result untouched) when ResizeImage would keep the picture unchanged.
bool ResampleForResize(const TRasterDIB& source, TRasterDIB& result, int mode, int newWidth, int newHeight,
                       int boxWidth, int boxHeight);
// A 24-bit copy of the picture, row order and pixels as they are.
void CopyPicture(const TRasterDIB& source, TRasterDIB& copy);
// Puts the picture on a black one marginX/marginY larger on each side.
void AddMargin(TRasterDIB& picture, int marginX, int marginY);
// Turns the picture by angle degrees (smooth) onto a background of the given
// GDI colour, then mirror 1 flips it top to bottom, 2 left to right.
void RotateMirror(TRasterDIB& picture, int angle, int mirror, std::uint32_t background);
// Position 0..8 ("Top Left" .. "Bottom Right") into vertical and horizontal
// 0 top/left, 1 centre, 2 bottom/right; other positions change nothing.
void PositionToAlign(int position, int& vertical, int& horizontal);
bool IsQuarterTurn(int angle);
// 1 blur, 2 sharpen, 3 auto contrast; others nothing.
void ApplyFilter(TRasterDIB& picture, int filter);
