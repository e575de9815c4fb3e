#pragma once
// Resampling of one buffer into another whose size the caller has set, in
// 16.16 fixed point. Both buffers have the same bit count (8, 16, 24 or 32);
// rows are taken in memory order on both sides. At 8 bpp the palette is not
// touched: the caller gives dst the source's palette.

#include "raster/RasterDIB.h"

// Nearest neighbour: destination pixel (x, y) takes source pixel
// (x * srcWidth / dstWidth, y * srcRows / dstRows).
void ResizeNearest(const TRasterDIB& src, TRasterDIB& dst);

// Bilinear over the four neighbours; the gallery makes every image copy and
// thumbnail with it.
void ResizeBilinear(const TRasterDIB& src, TRasterDIB& dst);

// Whether ResizeBilinear may use the processor's vector instructions at 24
// and 32 bpp (on by default where the processor has SSE4.1). Both paths give
// the same bytes; tests and benchmarks switch between them. Returns whether
// the vector path is now in use.
bool SetResizeVectorPath(bool enabled);
