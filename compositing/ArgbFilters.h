#pragma once
// Per-pixel filters that turn a mask picture into an alpha channel.

#include "compositing/Argb.h"

// "The source is nil", then "Destination is nil"; then sizes dst like src
// (a new size starts with zero pixels).
void CheckFilterParams(TArgbBitmap* dst, const TArgbBitmap* src);
// dst[i] := opaque grey of the intensity of src[i]; dst may be src.
void GrayscaleFromColor(TArgbBitmap* dst, const TArgbBitmap* src);
// dst[i] keeps its colour bytes and takes the intensity of src[i] as alpha.
void AlphaFromIntensity(TArgbBitmap* dst, const TArgbBitmap* src);
