// Geometry shared by the image makers and the decorations: fitting a picture
// into a box, resampling, margins, turning and filters.

#include "gallery/pictures/pvutilsGeometry.h"

#include "raster/RasterConvert.h"
#include "raster/RasterDIB.h"
#include "raster/RasterFX.h"
#include "raster/RasterSize.h"

#include <cstdint>
#include <cstring>
#include <cstdlib>

namespace {

// a * b / c with a 64-bit product, rounded to the nearest (halves away from
// zero); callers make sure c is not 0.
int mulDiv(std::int64_t a, std::int64_t b, std::int64_t c)
{
    std::int64_t product = a * b;
    const bool negative = (product < 0) != (c < 0);
    product = std::llabs(product);
    const std::int64_t divisor = std::llabs(c);
    const std::int64_t rounded = (product + divisor / 2) / divisor;
    return int(negative ? -rounded : rounded);
}

// A positive request never shrinks a side to nothing: a 1000 x 1 picture
// fitted into 100 x 100 becomes 100 x 1, not 100 x 0.
int atLeastOne(int side, int request) { return side < 1 && request > 0 ? 1 : side; }

// The size that keeps W:H with the given width, or with the given height.
void byWidth(std::int64_t W, std::int64_t H, int w, int& width, int& height)
{
    width = w;
    height = atLeastOne(mulDiv(w, H, W), w);
}

void byHeight(std::int64_t W, std::int64_t H, int h, int& width, int& height)
{
    width = atLeastOne(mulDiv(h, W, H), h);
    height = h;
}

// Pixel sizing: with lock the picture fits inside the box (the unsigned
// compare lets a negative height count as "no limit"); without, the width
// or, with heightFirst, the height decides.
void fitPixels(std::int64_t W, std::int64_t H, int w, int h, bool lock, bool heightFirst, int& width, int& height)
{
    if (lock && std::uint32_t(h) < std::uint32_t(atLeastOne(mulDiv(w, H, W), w)))
        byHeight(W, H, h, width, height);
    else if (lock || !heightFirst)
        byWidth(W, H, w, width, height);
    else
        byHeight(W, H, h, width, height);
}

// Cuts the middle box out of a resampled picture; the slight smooth turn
// maps the centre onto the centre. An empty box gives an empty picture.
void cutMiddle(const TRasterDIB& resized, int boxWidth, int boxHeight, TRasterDIB& result)
{
    TRasterDIB cut;
    if (boxWidth > 0 && boxHeight > 0) {
        cut.SetSize(boxWidth, boxHeight, 24);
        RotateDIB(resized, cut, true, 0.1);
    }
    result.TakeOver(cut);
}

}  // namespace

void ScaleSize(const TRasterDIB& picture, int& width, int& height, int kind, bool lock, bool heightFirst)
{
    const std::int64_t W = picture.Width(), H = picture.AbsHeight;
    // An empty picture has no proportions to keep.
    if (W <= 0 || H <= 0) return;
    const int w = width, h = height;
    switch (kind) {
    case skPercent:
        width = atLeastOne(int(W * w / 100), w);
        height = atLeastOne(int(H * w / 100), w);
        break;
    case skPixel: fitPixels(W, H, w, h, lock, heightFirst, width, height); break;
    case skPixelLocked: fitPixels(W, H, w, h, true, heightFirst, width, height); break;
    case skCrop:
        // The shorter side of the picture matches its box side.
        if (H < W)
            byHeight(W, H, h, width, height);
        else
            byWidth(W, H, w, width, height);
        break;
    default: break;
    }
}

bool ResampleForResize(const TRasterDIB& source, TRasterDIB& result, int mode, int newWidth, int newHeight,
                       int boxWidth, int boxHeight)
{
    TRasterDIB resized;
    if (newWidth <= 0 || newHeight <= 0) {
        result.TakeOver(resized);  // nothing to make: an empty picture
        return true;
    }
    // Resampling to the same size changes no pixel; skipping it spares a
    // second full-size buffer.
    if (mode != skCrop && newWidth == source.Width() && newHeight == source.AbsHeight && source.BitCount() == 24)
        return false;
    resized.SetSize(newWidth, newHeight, 24);
    // Every mode resamples; a mode we do not know is made like mode 0 rather
    // than handed back as a black picture.
    ResizeBilinear(source, resized);
    if (mode == skCrop)
        cutMiddle(resized, boxWidth, boxHeight, result);
    else
        result.TakeOver(resized);
    return true;
}

void ResizeImage(TRasterDIB& picture, int mode, int newWidth, int newHeight, int boxWidth, int boxHeight)
{
    TRasterDIB resized;
    if (ResampleForResize(picture, resized, mode, newWidth, newHeight, boxWidth, boxHeight)) picture.TakeOver(resized);
}

void CopyPicture(const TRasterDIB& source, TRasterDIB& copy)
{
    TRasterDIB made;
    made.UseGDI = source.UseGDI;
    if (source.Width() > 0 && source.AbsHeight > 0 && source.Bits) {
        made.SetSize(source.Width(), source.Header.Height, 24);
        if (source.BitCount() == 24 && made.Stride == source.Stride)
            std::memcpy(made.Bits, source.Bits, static_cast<std::size_t>(source.Stride) * source.AbsHeight);
        else
            ConvertDIB(source, made);
    }
    copy.TakeOver(made);
}

void AddMargin(TRasterDIB& picture, int marginX, int marginY)
{
    const std::int64_t width = std::int64_t(picture.Width()) + 2 * std::int64_t(marginX);
    const std::int64_t height = std::int64_t(picture.AbsHeight) + 2 * std::int64_t(marginY);
    TRasterDIB framed;
    if (width > 0 && height > 0 && width <= INT32_MAX && height <= INT32_MAX) {
        framed.SetSize(std::int32_t(width), std::int32_t(height), 24);
        CopyDIBRect(framed, picture, marginX, marginY, picture.Width(), picture.AbsHeight, 0, 0);
    }
    picture.TakeOver(framed);
}

void RotateMirror(TRasterDIB& picture, int angle, int mirror, std::uint32_t background)
{
    TRasterDIB turned;
    SizeForRotation(picture, turned, angle);
    if (turned.Width() > 0 && turned.AbsHeight > 0) {
        turned.Clear(ColorToTriple(background));
        RotateDIB(picture, turned, true, angle);
    }
    if (mirror == miVertical)
        FlipVertical(turned);
    else if (mirror == miHorizontal)
        MirrorHorizontal(turned);
    picture.TakeOver(turned);
}

void PositionToAlign(int position, int& vertical, int& horizontal)
{
    if (position < 0 || position > 8) return;
    vertical = position / 3;
    horizontal = position % 3;
}

bool IsQuarterTurn(int angle) { return angle == 90 || angle == 270 || angle == -90 || angle == -270; }

void ApplyFilter(TRasterDIB& picture, int filter)
{
    switch (filter) {
    case flBlur: BlurHorizontal(picture); break;
    case flSharpen: SharpenHorizontal(picture); break;
    case flAutoContrast: NormalizeLevels(picture); break;
    default: break;
    }
}
