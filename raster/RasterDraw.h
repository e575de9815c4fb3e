#pragma once
// Drawing straight into the pixels of a TRasterDIB, without GDI: translucent
// lines, a two-colour bevel frame and a four-corner gradient.

#include "raster/RasterDIB.h"

#include <cstdint>

// A line from (x1, y1) to (x2, y2), y counted from the top of the picture;
// the start point is not plotted, the end point is. colour is blue in bits
// 0-7, green 8-15, red 16-23. Each channel becomes c + ((old - c) x 2 x alpha
// >> 8): alpha 0 draws the colour solid, 128 leaves the picture unchanged.
// 24 and 32 bpp (bytes 0..2); points outside the picture are skipped.
void AlphaLine(TRasterDIB& dib, int x1, int y1, int x2, int y2, int alpha, std::uint32_t colour);

// Four such lines: top and left in firstColour, bottom and right in
// secondColour (GDI colours 0x00BBGGRR), right and bottom edges at x2 - 1 and
// y2 - 1.
void DrawFrame3D(TRasterDIB& dib, int x1, int y1, int x2, int y2, COLORREF firstColour, COLORREF secondColour,
                 int alpha);

// Fills memory rows y1..y2-1, columns x1..x2-1 with colours interpolated in
// 16.16 between the four corners; 8 bpp interpolates the nearest palette
// indices. 8, 24 and 32 bpp; only the part inside the picture is written.
void GradientFill(TRasterDIB& dib, int x1, int y1, int x2, int y2, const TColorTriple& firstRowLeft,
                  const TColorTriple& firstRowRight, const TColorTriple& lastRowLeft, const TColorTriple& lastRowRight);
