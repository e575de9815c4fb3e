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
