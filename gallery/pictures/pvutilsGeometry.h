#pragma once
// Geometry shared by the image makers and the decorations: fitting a picture
// into a box, resampling, margins, turning, positions and filters.

#include <cstdint>

class TRasterDIB;

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
