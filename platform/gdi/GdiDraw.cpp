// Pixels, lines, polygons and rectangles on a DC's bitmap.

#include "platform/gdi/GdiInternal.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

bool inside(const GdiBitmap& b, int x, int y) { return x >= 0 && y >= 0 && x < b.w() && y < b.h(); }

void plot(GdiBitmap& b, int x, int y, COLORREF c)
{
    if (inside(b, x, y)) b.write(x, y, c);
}

// One pen dot: a square of the pen's width centred on (x, y).
void penDot(GdiDC& dc, int x, int y)
{
    const int w = dc.pen->width;
    if (w <= 1) {
        plot(*dc.bitmap, x, y, dc.pen->color);
        return;
    }
    const int half = w / 2;
    for (int j = 0; j < w; ++j)
        for (int i = 0; i < w; ++i) plot(*dc.bitmap, x - half + i, y - half + j, dc.pen->color);
}

// Bresenham from (x1, y1) to (x2, y2); the end point is drawn only when asked.
void penLine(GdiDC& dc, int x1, int y1, int x2, int y2, bool withEnd)
{
    if (dc.pen->style == PS_NULL) return;
    const GdiBitmap& b = *dc.bitmap;
    const std::int64_t reach = std::int64_t(b.w()) + b.h() + dc.pen->width + 2;
    if (std::max(std::abs(std::int64_t(x2) - x1), std::abs(std::int64_t(y2) - y1)) > 4 * reach) {
        // A very long line: clip it to the area around the bitmap first, so
        // stepping costs no more than the bitmap's size.
        double t0 = 0, t1 = 1;
        const double fx = x1, fy = y1, ddx = double(x2) - x1, ddy = double(y2) - y1;
        const double lo = -double(dc.pen->width) - 1, hiX = b.w() + dc.pen->width + 1.0,
                     hiY = b.h() + dc.pen->width + 1.0;
        auto edge = [&](double p, double q) {
            if (p == 0) return q >= 0;
            const double r = q / p;
            if (p < 0) {
                if (r > t1) return false;
                t0 = std::max(t0, r);
            } else {
                if (r < t0) return false;
                t1 = std::min(t1, r);
            }
            return true;
        };
        if (!edge(-ddx, fx - lo) || !edge(ddx, hiX - fx) || !edge(-ddy, fy - lo) || !edge(ddy, hiY - fy)) return;
        const int cx1 = int(std::lround(fx + t0 * ddx)), cy1 = int(std::lround(fy + t0 * ddy));
        const int cx2 = int(std::lround(fx + t1 * ddx)), cy2 = int(std::lround(fy + t1 * ddy));
        penLine(dc, cx1, cy1, cx2, cy2, true);
        return;
    }
    std::int64_t dx = std::abs(std::int64_t(x2) - x1), dy = -std::abs(std::int64_t(y2) - y1);
    const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
    std::int64_t err = dx + dy;
    int x = x1, y = y1;
    // Bound the work by the visible area so a huge coordinate cannot hang us.
    const std::int64_t limit = std::max(dx, -dy) + 1;
    for (std::int64_t steps = 0; steps < limit; ++steps) {
        if (x == x2 && y == y2) {
            if (withEnd) penDot(dc, x, y);
            return;
        }
        penDot(dc, x, y);
        const std::int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

}  // namespace

COLORREF brushColorAt(const GdiDC& dc, const GdiBrush* brush, int x, int y)
{
    if (!brush) return CLR_INVALID;
    const LOGBRUSH& b = brush->brush;
    if (b.lbStyle == BS_NULL) return CLR_INVALID;
    if (b.lbStyle != BS_HATCHED) return b.lbColor;
    const int px = x & 7, py = y & 7;
    bool on = false;
    switch (int(b.lbHatch)) {
    case HS_HORIZONTAL: on = py == 0; break;
    case HS_VERTICAL: on = px == 0; break;
    case HS_FDIAGONAL: on = px == py; break;
    case HS_BDIAGONAL: on = px == 7 - py; break;
    case HS_CROSS: on = px == 0 || py == 0; break;
    case HS_DIAGCROSS: on = px == py || px == 7 - py; break;
    }
    if (on) return b.lbColor;
    return dc.bkMode == OPAQUE ? dc.bkColor : CLR_INVALID;
}

void fillSpan(GdiDC& dc, const GdiBrush* brush, int y, int x1, int x2)
{
    GdiBitmap& b = *dc.bitmap;
    if (y < 0 || y >= b.h()) return;
    x1 = std::max(x1, 0);
    x2 = std::min(x2, b.w());
    if (x1 >= x2 || !brush || brush->brush.lbStyle == BS_NULL) return;
    if (brush->brush.lbStyle == BS_SOLID && b.bpp() == 24) {
        std::uint8_t* p = b.rowFromTop(y) + 3 * x1;
        const COLORREF c = brush->brush.lbColor;
        for (int x = x1; x < x2; ++x, p += 3) {
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
        return;
    }
    for (int x = x1; x < x2; ++x) {
        const COLORREF c = brushColorAt(dc, brush, x, y);
        if (c != CLR_INVALID) b.write(x, y, c);
    }
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color)
{
    if (!isLiveDC(dc) || !inside(*dc->bitmap, x, y)) return CLR_INVALID;
    dc->bitmap->write(x, y, color & 0xFFFFFF);
    return dc->bitmap->read(x, y);
}

COLORREF GetPixel(HDC dc, int x, int y)
{
    if (!isLiveDC(dc) || !inside(*dc->bitmap, x, y)) return CLR_INVALID;
    return dc->bitmap->read(x, y);
}

bool MoveToEx(HDC dc, int x, int y, TPoint* previous)
{
    if (!dc) return false;
    if (previous) *previous = dc->position;
    dc->position = TPoint{x, y};
    return true;
}

bool LineTo(HDC dc, int x, int y)
{
    if (!dc) return false;
    if (isLiveDC(dc)) penLine(*dc, dc->position.X, dc->position.Y, x, y, false);
    dc->position = TPoint{x, y};
    return true;
}

bool Polyline(HDC dc, const TPoint* points, int count)
{
    if (!isLiveDC(dc) || !points || count < 2) return false;
    for (int i = 0; i + 1 < count; ++i) penLine(*dc, points[i].X, points[i].Y, points[i + 1].X, points[i + 1].Y, false);
    return true;
}

bool Polygon(HDC dc, const TPoint* points, int count)
{
    if (!isLiveDC(dc) || !points || count < 2) return false;
    GdiBitmap& b = *dc->bitmap;
    // Alternate fill: scan each row at pixel centres, fill between pairs of crossings.
    int top = points[0].Y, bottom = points[0].Y;
    for (int i = 1; i < count; ++i) {
        top = std::min(top, points[i].Y);
        bottom = std::max(bottom, points[i].Y);
    }
    top = std::max(top, 0);
    bottom = std::min(bottom, b.h());
    std::vector<double> crossings;
    for (int y = top; y < bottom; ++y) {
        const double cy = y + 0.5;
        crossings.clear();
        for (int i = 0; i < count; ++i) {
            const TPoint& p = points[i];
            const TPoint& q = points[(i + 1) % count];
            if ((p.Y <= cy) == (q.Y <= cy)) continue;
            crossings.push_back(p.X + (cy - p.Y) * double(q.X - p.X) / double(q.Y - p.Y));
        }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) {
            const double a = std::clamp(crossings[k], -1.0, double(b.w()) + 1);
            const double c = std::clamp(crossings[k + 1], -1.0, double(b.w()) + 1);
            fillSpan(*dc, dc->brush, y, int(std::ceil(a - 0.5)), int(std::ceil(c - 0.5)));
        }
    }
    for (int i = 0; i < count; ++i) {
        const TPoint& p = points[i];
        const TPoint& q = points[(i + 1) % count];
        penLine(*dc, p.X, p.Y, q.X, q.Y, false);
    }
    return true;
}

bool Rectangle(HDC dc, int left, int top, int right, int bottom)
{
    if (!isLiveDC(dc)) return false;
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    const bool pen = dc->pen->style != PS_NULL;
    const int inset = pen ? 1 : 0;
    for (int y = top + inset; y < bottom - inset; ++y) fillSpan(*dc, dc->brush, y, left + inset, right - inset);
    if (pen && right - left >= 1 && bottom - top >= 1) {
        penLine(*dc, left, top, right - 1, top, true);
        penLine(*dc, left, bottom - 1, right - 1, bottom - 1, true);
        penLine(*dc, left, top, left, bottom - 1, true);
        penLine(*dc, right - 1, top, right - 1, bottom - 1, true);
    }
    return true;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    if (!isLiveDC(dc) || !rect || !brush) return 0;
    const int top = std::max(rect->top, 0), bottom = std::min(rect->bottom, dc->bitmap->h());
    for (int y = top; y < bottom; ++y) fillSpan(*dc, brush, y, rect->left, rect->right);
    return 1;
}

bool DrawFocusRect(HDC dc, const RECT* rect)
{
    if (!isLiveDC(dc) || !rect) return false;
    GdiBitmap& b = *dc->bitmap;
    const int l = rect->left, t = rect->top, r = rect->right - 1, btm = rect->bottom - 1;
    if (r < l || btm < t) return true;
    auto invert = [&](int x, int y) {
        if (inside(b, x, y)) b.write(x, y, b.read(x, y) ^ 0xFFFFFF);
    };
    // Dots on every other pixel, counted along the edge from the corner.
    for (int x = l; x <= r; x += 2) {
        invert(x, t);
        if (btm != t) invert(x, btm);
    }
    for (int y = t + 2; y < btm; y += 2) {
        invert(l, y);
        if (r != l) invert(r, y);
    }
    return true;
}

COLORREF GetSysColor(int index)
{
    switch (index) {
    case COLOR_SCROLLBAR: return RGB(200, 200, 200);
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWFRAME: return RGB(100, 100, 100);
    case COLOR_HIGHLIGHT: return RGB(51, 153, 255);
    case COLOR_BTNFACE: return RGB(240, 240, 240);
    case COLOR_BTNSHADOW: return RGB(160, 160, 160);
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    case COLOR_BTNHIGHLIGHT: return RGB(255, 255, 255);
    case COLOR_3DDKSHADOW: return RGB(105, 105, 105);
    case COLOR_3DLIGHT: return RGB(227, 227, 227);
    }
    return 0;
}

COLORREF ColorToRGB(COLORREF color) { return (color & 0x80000000u) ? GetSysColor(int(color & 0xFF)) : color; }

int GetSystemMetrics(int index) { return index == SM_CXVSCROLL || index == SM_CYHSCROLL ? 17 : 0; }
