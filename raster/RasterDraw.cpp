#include "raster/RasterDraw.h"

#include "raster/RasterLayout.h"

#include <algorithm>
#include <array>
#include <cstdlib>

using namespace raster_layout;

void AlphaLine(TRasterDIB& dib, int x1, int y1, int x2, int y2, int alpha, std::uint32_t colour)
{
    const int bitCount = dib.BitCount();
    if ((bitCount != 24 && bitCount != 32) || !hasPixels(dib)) return;
    std::array<std::uint8_t, 511> table{};
    for (int d = -255; d <= 255; ++d) table[d + 255] = std::uint8_t((std::int64_t(d) * 2 * alpha) >> 8);

    std::int64_t x = x1, y = dib.RowFromTop(y1), xEnd = x2, yEnd = dib.RowFromTop(y2);
    const std::uint8_t c[3] = {std::uint8_t(colour), std::uint8_t(colour >> 8), std::uint8_t(colour >> 16)};
    const int bytes = bitCount / 8;
    const std::int64_t width = dib.Width(), rows = dib.AbsHeight;
    auto plot = [&](std::int64_t px, std::int64_t py) {
        if (px < 0 || px >= width || py < 0 || py >= rows) return;
        std::uint8_t* p = dib.Rows[std::size_t(py)] + px * bytes;
        for (int k = 0; k < 3; ++k) p[k] = std::uint8_t(c[k] + table[p[k] - c[k] + 255]);
    };

    const std::int64_t dx2 = 2 * std::llabs(xEnd - x), dy2 = 2 * std::llabs(yEnd - y);
    const std::int64_t sx = xEnd >= x ? 1 : -1, sy = yEnd >= y ? 1 : -1;
    if (dy2 < dx2) {
        std::int64_t error = dy2 - dx2 / 2;
        while (x != xEnd) {
            if (error >= 0) {
                y += sy;
                error -= dx2;
            }
            x += sx;
            plot(x, y);
            error += dy2;
        }
    } else {
        std::int64_t error = dx2 - dy2 / 2;
        while (y != yEnd) {
            if (error >= 0) {
                x += sx;
                error -= dy2;
            }
            y += sy;
            plot(x, y);
            error += dx2;
        }
    }
}

void DrawFrame3D(TRasterDIB& dib, int x1, int y1, int x2, int y2, COLORREF firstColour, COLORREF secondColour,
                 int alpha)
{
    auto lineColour = [](COLORREF gdi) {
        const TColorTriple t = ColorToTriple(gdi);
        return std::uint32_t(t.Blue) | (std::uint32_t(t.Green) << 8) | (std::uint32_t(t.Red) << 16);
    };
    const std::uint32_t first = lineColour(firstColour), second = lineColour(secondColour);
    AlphaLine(dib, x1, y1, x2 - 1, y1, alpha, first);
    AlphaLine(dib, x1, y2 - 1, x2 - 1, y2 - 1, alpha, second);
    AlphaLine(dib, x1, y1 - 1, x1, y2 - 2, alpha, first);
    AlphaLine(dib, x2 - 1, y1 - 1, x2 - 1, y2 - 2, alpha, second);
}

void GradientFill(TRasterDIB& dib, int x1, int y1, int x2, int y2, const TColorTriple& firstRowLeft,
                  const TColorTriple& firstRowRight, const TColorTriple& lastRowLeft, const TColorTriple& lastRowRight)
{
    const int bitCount = dib.BitCount();
    if ((bitCount != 8 && bitCount != 24 && bitCount != 32) || !hasPixels(dib)) return;
    if (y2 <= y1) return;
    const std::int64_t count = std::int64_t(x2) - x1;
    if (count <= 0) return;
    const std::int64_t h = 65536 / count;
    const std::int64_t v = 65536 / (std::int64_t(y2) - y1);

    // Channel values of the four corners: blue, green, red, or one palette
    // index at 8 bpp.
    int channels = 3;
    std::int64_t corners[4][3];
    const TColorTriple* triples[4] = {&firstRowLeft, &firstRowRight, &lastRowLeft, &lastRowRight};
    for (int i = 0; i < 4; ++i) {
        if (bitCount == 8) {
            corners[i][0] = NearestPaletteIndex(dib.Colors, 255, *triples[i]);
        } else {
            corners[i][0] = triples[i]->Blue;
            corners[i][1] = triples[i]->Green;
            corners[i][2] = triples[i]->Red;
        }
    }
    if (bitCount == 8) channels = 1;
    const int bytes = bitCount / 8;

    // Only the columns inside the picture are written; the values still
    // advance as if the whole rectangle were drawn.
    const std::int64_t firstStep = std::max<std::int64_t>(0, -std::int64_t(x1));
    const std::int64_t endStep = std::min<std::int64_t>(count, std::int64_t(dib.Width()) - x1);

    // Rows outside the picture are skipped without walking them; the
    // weights of the first visible row are those it would have had.
    const std::int64_t firstRow = std::max<std::int64_t>(y1, 0);
    const std::int64_t endRow = std::min<std::int64_t>(y2, dib.AbsHeight);
    if (firstStep >= endStep) return;
    for (std::int64_t y = firstRow; y < endRow; ++y) {
        const std::int64_t top = 65536 - (y - y1) * v, bottom = (y - y1) * v;
        std::uint8_t* row = dib.Rows[std::size_t(y)];
        for (int k = 0; k < channels; ++k) {
            const std::int64_t left = top * corners[0][k] + bottom * corners[2][k];
            const std::int64_t right = top * corners[1][k] + bottom * corners[3][k];
            const std::int64_t step = ((right >> 16) - (left >> 16)) * h;
            std::int64_t value = (left & ~std::int64_t(0xFFFF)) + firstStep * step;
            std::uint8_t* p = row + (x1 + firstStep) * bytes + k;
            for (std::int64_t i = firstStep; i < endStep; ++i, p += bytes) {
                value += step;
                *p = std::uint8_t(value >> 16);
            }
        }
    }
}
