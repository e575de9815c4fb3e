#pragma once
// Moving pixels between two TArgbBitmaps: the unscaled block transfer and the
// stretch transfer (nearest, bilinear, and a separable resampler with a
// triangle or a cubic B-spline kernel), each combined into the destination
// opaquely, by the source's alpha (dmBlend) or through a callback (dmCustom).
//
// Rectangles have exclusive right and bottom edges. An empty source or
// destination rectangle, or one wholly outside the destination, does
// nothing; nil or empty bitmaps raise ETransformError. No transfer calls the
// destination's Changed.

#include "compositing/Argb.h"

#include <vector>

class ETransformError : public Exception {
public:
    using Exception::Exception;
};

struct TClusterEntry {
    int Pos;     // source column (or row)
    int Weight;  // the weights of one cluster add up to 256
};
using TCluster = std::vector<TClusterEntry>;
// One cluster per destination column (or row); empty when there is nothing to sample.
using TMappingTable = std::vector<TCluster>;

// "Destination bitmap is nil or empty", then "Source bitmap is nil or empty".
void CheckTransferBitmaps(const TArgbBitmap* dst, const TArgbBitmap* src);
// False for an empty rectangle; "Source rectangle is invalid" when it reaches
// outside the source.
bool CheckSourceRect(const TArgbBitmap* src, const TRect& srcRect);

void TransferBlock(TArgbBitmap* dst, int dstX, int dstY, TArgbBitmap* src, const TRect& srcRect, TDrawMode combineOp,
                   const TPixelCombineEvent& callback = nullptr);
void TransferStretched(TArgbBitmap* dst, const TRect& dstRect, TArgbBitmap* src, const TRect& srcRect,
                       TStretchFilter filter, TDrawMode combineOp, const TPixelCombineEvent& callback = nullptr);
void StretchOpaqueNearest(TArgbBitmap* dst, const TRect& dstRect, TArgbBitmap* src, const TRect& srcRect);
void StretchNearest(TArgbBitmap* dst, const TRect& dstRect, TArgbBitmap* src, const TRect& srcRect, TDrawMode combineOp,
                    const TPixelCombineEvent& callback);
void StretchBilinear(TArgbBitmap* dst, const TRect& dstRect, TArgbBitmap* src, const TRect& srcRect,
                     TDrawMode combineOp, const TPixelCombineEvent& callback);

// Clusters for dstExtent destination pixels over source positions
// srcLo..srcHi-1 (clamped to the bitmap's 0..srcBitmapExtent-1); no table
// for an empty bitmap. A one-pixel source or destination is sampled sensibly
// (the source pixel; the whole source under the kernel), and every cluster's
// weights add up to exactly 256, so flat areas keep their value.
TMappingTable BuildSampleMap(int dstExtent, int srcBitmapExtent, int srcLo, int srcHi, TStretchFilter filter);

float BoxKernel(float x);
float TriangleKernel(float x);
float SplineKernel(float x);
