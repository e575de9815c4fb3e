#pragma once
// Bit-depth conversion between buffers of 1, 4, 8, 16, 24 and 32 bits per
// pixel. Every loaded picture passes through here on its way to 24 bpp.

#include "raster/RasterDIB.h"

// Converts dib in place to bitCount (1, 4, 8, 16, 24, 32, or 0 for the
// screen's depth): a new buffer of the same width and signed height is filled
// by ConvertDIB and taken over. The same bit count, or one we do not know,
// leaves dib untouched.
void ChangeBitCount(TRasterDIB& dib, int bitCount);

// Converts src's pixels into dst, which already has its size and bit count.
// Rows are walked in memory order; only the area both buffers share is
// converted. Pairs without a converter (equal depths 1, 4, 8, 24) do nothing.
void ConvertDIB(const TRasterDIB& src, TRasterDIB& dst);
