#pragma once
// Pieces the decoration files share; not for other callers.

#include "gallery/pictures/pvutilsDecorations.h"
#include "raster/RasterDIB.h"

#include <cstdint>
#include <string>

namespace decoration_detail {

bool HasPixels(const TRasterDIB& dib);
// The memory row of a row counted from the top.
int RowFromTop(const TRasterDIB& dib, int y);
// First byte of the row counted from the top.
inline std::uint8_t* RowBytes(const TRasterDIB& dib, int y) { return dib.Rows[std::size_t(RowFromTop(dib, y))]; }
// A 24-bit canvas in one colour with the given row order; raises ERasterError
// past the pixel limit.
void MakeCanvasLike(TRasterDIB& canvas, std::int64_t width, std::int64_t height, bool topDown,
                    const TColorTriple& fill);

// The decorations' keyed blend of a canvas into the picture, as BlendDIBs
// does it at 24 bits: a canvas pixel of the opaque key shows the canvas, one
// of the transparent key or silver keeps the picture (the opaque key wins
// over the transparent key, never over silver), the others mix:
// canvas + ((picture - canvas) x 2 x weight >> 8), weight 0 (canvas only) to
// 128 (picture only).
class TKeyedBlend {
public:
    enum class Action : std::uint8_t { Mix, Keep, Show };
    // opaqueKey CLR_INVALID: none.
    TKeyedBlend(int weight, COLORREF opaqueKey, COLORREF transparentKey);
    Action ActionOf(const std::uint8_t* pixel) const
    {
        const COLORREF colour = COLORREF(pixel[2]) | (COLORREF(pixel[1]) << 8) | (COLORREF(pixel[0]) << 16);
        if (colour == show_) return Action::Show;
        if (colour == keep_ || colour == DecorationSilver) return Action::Keep;
        return Action::Mix;
    }
    // count pixels of canvas into picture, each by its own action.
    void Blend(std::uint8_t* picture, const std::uint8_t* canvas, int count) const;
    // count pixels mixed, whatever their colours.
    void Mix(std::uint8_t* picture, const std::uint8_t* canvas, int count) const;
    // True when mixing gives the canvas pixel itself (weight 0).
    bool MixShowsCanvas() const { return weight_ == 0; }

private:
    COLORREF show_, keep_;
    int weight_;
};

// The frame picture and the outline take black, their opaque key, as
// transparent where it is also the transparent colour.
inline COLORREF BorderOpaqueKey(COLORREF transparentKey) { return transparentKey == 0 ? CLR_INVALID : 0; }

// Blends canvas into image with canvas's top-left corner at (left, top)
// counted from the top; canvas lies inside the image (else nothing happens).
void BlendCanvas(TRasterDIB& image, const TRasterDIB& canvas, int left, int top, const TKeyedBlend& blend);

}  // namespace decoration_detail
