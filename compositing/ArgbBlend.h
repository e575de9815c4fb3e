#pragma once
// Per-pixel blending of 32-bit colours: F the foreground, B the background,
// W a weight 0..255, M a master alpha 0..255, a the alpha byte of F.
//
// Every routine mixes each of the four bytes (alpha included) as
//   (x * W + y * (256 - W) + 128) shr 8,
// the form of the processor-specific routines, on every processor alike
// (so W = 255 with x = 255, y = 0 gives 254). The shortcuts named below skip
// the arithmetic for fully transparent or fully opaque pixels.

#include "compositing/ArgbLowLevel.h"

#include <cstdint>

// True when the processor offers MMX (filled by SelectBlendRoutines; it does
// not change which arithmetic runs).
extern bool HasMMX;
void SelectBlendRoutines();
// Called once when a transfer that may blend ends; nothing to restore here.
inline void EndBlending() {}

namespace argb_detail {
// Both byte pairs of each half-word at once: no lane can carry into the next,
// since x * W + y * (256 - W) + 128 stays below 65536.
inline TArgbColor Lanes(TArgbColor x, TArgbColor y, std::uint32_t w)
{
    const std::uint32_t iw = 256 - w;
    const std::uint32_t low = ((((x & 0x00FF00FF) * w + (y & 0x00FF00FF) * iw + 0x00800080) >> 8) & 0x00FF00FF);
    const std::uint32_t high = (((x >> 8) & 0x00FF00FF) * w + ((y >> 8) & 0x00FF00FF) * iw + 0x00800080) & 0xFF00FF00;
    return low | high;
}
}  // namespace argb_detail

// X over Y by W; no shortcuts.
inline TArgbColor CombinePixel(TArgbColor x, TArgbColor y, int w) { return argb_detail::Lanes(x, y, std::uint32_t(w)); }
// W = 0 leaves Y, W = 255 makes it X.
inline void CombinePixelTo(TArgbColor x, TArgbColor& y, int w)
{
    if (w == 0) return;
    if (w == 255) {
        y = x;
        return;
    }
    y = argb_detail::Lanes(x, y, std::uint32_t(w));
}
// F over B weighted by F's alpha; no shortcuts.
inline TArgbColor BlendPixel(TArgbColor f, TArgbColor b) { return argb_detail::Lanes(f, b, f >> 24); }
// a = 0 leaves B, a = 255 makes it F.
inline void BlendPixelTo(TArgbColor f, TArgbColor& b)
{
    const std::uint32_t a = f >> 24;
    if (a == 0) return;
    if (a == 255) {
        b = f;
        return;
    }
    b = argb_detail::Lanes(f, b, a);
}
// Weight w = (a * M) shr 8 (M taken as 0..255); w = 0 gives B.
inline TArgbColor BlendPixelMaster(TArgbColor f, TArgbColor b, int m)
{
    const std::uint32_t w = ((f >> 24) * std::uint32_t(ClampInt(m, 0, 255))) >> 8;
    return w == 0 ? b : argb_detail::Lanes(f, b, w);
}
// a = 0 or w = 0 leaves B.
inline void BlendPixelMasterTo(TArgbColor f, TArgbColor& b, int m)
{
    const std::uint32_t w = ((f >> 24) * std::uint32_t(ClampInt(m, 0, 255))) >> 8;
    if (w != 0) b = argb_detail::Lanes(f, b, w);
}
// BlendPixelTo / BlendPixelMasterTo of src[i] over dst[i]; count <= 0 does nothing.
void BlendRun(const TArgbColor* src, TArgbColor* dst, int count);
void BlendRunMaster(const TArgbColor* src, TArgbColor* dst, int count, int m);
