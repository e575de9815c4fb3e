#pragma once
// Pieces the decoration files share; not for other callers.

#include "platform/gdi/Gdi.h"
#include "raster/RasterDIB.h"

#include <cstdint>
#include <string>

namespace decoration_detail {

bool HasPixels(const TRasterDIB& dib);
// A 24-bit canvas in one colour with the given row order; raises ERasterError
// past the pixel limit.
void MakeCanvasLike(TRasterDIB& canvas, std::int64_t width, std::int64_t height, bool topDown,
                    const TColorTriple& fill);
// Loads a decoration's picture; false (dib empty) when the file is missing,
// empty or cannot be read.
bool LoadDecorationPicture(TRasterDIB& dib, const std::string& stored);
// Blends canvas into image: canvas pixels of transparentKey or silver keep the
// picture, those of opaqueKey show the canvas alone, the rest mix by weight.
// An opaque key that is also a transparent key counts as transparent: the
// picture's transparent colour fills the canvas around it, and black chosen
// as that colour must not paint the picture black.
void BlendKeyed(TRasterDIB& image, const TRasterDIB& canvas, int weight, COLORREF opaqueKey, COLORREF transparentKey);
// As BlendKeyed for a band of canvas rows whose top row lies on the image's
// row top (counted from the top): canvas has the image's width and row order
// and lies inside it. The opaque key wins over transparentKey, never over silver.
void BlendRows(TRasterDIB& image, const TRasterDIB& canvas, int top, int weight, COLORREF opaqueKey,
               COLORREF transparentKey);
// Copies the pixels of src that are neither key nor silver into dst with
// src's top-left corner at (x, y) counted from the top; clipped to dst.
void CopyKeyed(TRasterDIB& dst, const TRasterDIB& src, int x, int y, COLORREF key);

}  // namespace decoration_detail
