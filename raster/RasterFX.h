#pragma once
// Colour effects, filters, blending, mirroring and rotation on TRasterDIB.
// Effects change a buffer in place through per-channel tables: on the palette
// at 1, 4 and 8 bpp, through a 64 K table of packed pixels at 16 bpp, on the
// bytes at 24 and 32 bpp (the fourth byte of a 32-bit pixel untouched).
// Unsupported bit counts make every operation do nothing.

#include "raster/RasterDIB.h"

#include <array>
#include <cstdint>

// --- colour effects (RasterFX.cpp) ---------------------------------------

// Whole-number amounts per channel, -255..255 (values outside count as the
// nearest end).
void ApplyContrast(TRasterDIB& dib, int red, int green, int blue);
void ApplyBrightness(TRasterDIB& dib, int red, int green, int blue);
// Gamma per channel; a gamma of 0 or less leaves that channel unchanged.
void ApplyGamma(TRasterDIB& dib, double red, double green, double blue);
// Stretches each channel's range to 0..255; a flat channel stays as it is.
void NormalizeLevels(TRasterDIB& dib);
// 0 gives grey, 256 keeps the colours (plus one), more strengthens them;
// negative amounts count as 0.
void ApplySaturation(TRasterDIB& dib, int amount);
// Complements every byte of the pixel block, padding included.
void InvertColors(TRasterDIB& dib);
// In place, left to right, on 8, 24 and 32 bpp; rows narrower than 2 pixels
// stay as they are. Blur feeds each pixel its left neighbour's new value.
// Sharpen applies -1, 3, -1 (2, -1 at the row ends) to the old values: flat
// areas stay flat, edges get one pixel of overshoot on each side.
void BlurHorizontal(TRasterDIB& dib);
void SharpenHorizontal(TRasterDIB& dib);

// The table pieces the effects are made of, for callers and tests.
using TChannelTable = std::array<std::uint8_t, 256>;
// Entries first..last rise from start to end in 16.16 steps; n = last - first
// <= 0 does nothing; a value that reaches 256 is stored as 255.
void FillRamp(TChannelTable& table, int first, int last, int start, int end);
TChannelTable ContrastTable(int amount);
TChannelTable BrightnessTable(int amount);
TChannelTable GammaTable(double gamma);
void ApplyChannelTables(TRasterDIB& dib, const TChannelTable& red, const TChannelTable& green,
                        const TChannelTable& blue);

// --- blending, mirroring, rotation (RasterFXGeometry.cpp) ------------------

// dst = src1 over src2 with weight alpha: at 8, 24 and 32 bpp each channel is
// s2 + ((s1 - s2) x 2 x alpha >> 8) kept to 8 bits (0 gives src2, 128 src1);
// a src2 pixel whose colour (a GDI colour 0x00BBGGRR) equals keepKey1 or
// keepKey2 keeps src1's pixel, one equal to showKey keeps src2's (this test
// wins). At 16 bpp the keys are ignored and alpha 256 gives src1. dst may be
// one of the sources; only the area all three share is written.
void BlendDIBs(TRasterDIB& dst, const TRasterDIB& src1, const TRasterDIB& src2, int alpha, std::uint32_t keepKey1,
               std::uint32_t keepKey2, std::uint32_t showKey);
// Reverses the columns of every row, in place, at 1, 4, 8, 16, 24, 32 bpp.
void MirrorHorizontal(TRasterDIB& dib);
// Reverses the order of the rows, in place; the padding stays.
void FlipVertical(TRasterDIB& dib);
// Sizes dst for src rotated by angle degrees, with src's bit count, palette
// and masks and a positive (bottom-up) height.
void SizeForRotation(const TRasterDIB& src, TRasterDIB& dst, double angle);
// Rotates src about its centre into dst (same bit count, 8, 16, 24 or 32),
// by nearest or bilinear sampling in 16.16; dst keeps the pixels that no
// source pixel covers.
void RotateDIB(const TRasterDIB& src, TRasterDIB& dst, bool smooth, double angle);
