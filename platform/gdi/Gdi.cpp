// Device contexts, object handles, bitmaps and blits.

#include "platform/gdi/GdiInternal.h"

#include "platform/core/CheckedSizes.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<const void*, std::unique_ptr<GdiObject>> objects;
    std::unordered_map<const void*, std::unique_ptr<GdiDC>> dcs;
    GdiBrush whiteBrush, blackBrush, nullBrush;
    GdiPen whitePen, blackPen, nullPen;
    GdiFont defaultFont;
    GdiBitmap emptyBitmap;  // what a new DC holds: 0 x 0, so drawing does nothing
    GdiDC screen;

    Registry()
    {
        for (GdiObject* o : std::initializer_list<GdiObject*>{&whiteBrush, &blackBrush, &nullBrush, &whitePen,
                                                              &blackPen, &nullPen, &defaultFont, &emptyBitmap})
            o->stock = true;
        whiteBrush.brush.lbColor = 0xFFFFFF;
        blackBrush.brush.lbColor = 0;
        nullBrush.brush.lbStyle = BS_NULL;
        whitePen.color = 0xFFFFFF;
        nullPen.style = PS_NULL;
        defaultFont.logFont.lfHeight = -13;  // about 10 points at 96 DPI
        defaultFont.logFont.lfWeight = 400;
        std::strcpy(defaultFont.logFont.lfFaceName, "Sans");
        emptyBitmap.header.BitCount = 32;
        emptyBitmap.absHeight = 0;
        screen.screen = true;
        initDC(screen);
    }
    void initDC(GdiDC& dc)
    {
        dc.bitmap = &emptyBitmap;
        dc.pen = &blackPen;
        dc.brush = &whiteBrush;
        dc.font = &defaultFont;
    }
};

Registry& registry()
{
    static Registry r;
    return r;
}

template <class T>
T* adopt(std::unique_ptr<T> object)
{
    Registry& r = registry();
    T* raw = object.get();
    std::lock_guard lock(r.mutex);
    r.objects.emplace(raw, std::move(object));
    return raw;
}

int paletteSize(int bpp) { return bpp <= 8 ? 1 << bpp : 0; }

void maskLayout(std::uint32_t mask, int& shift, int& width)
{
    shift = 0;
    width = 0;
    if (mask == 0) return;
    while (!((mask >> shift) & 1)) ++shift;
    while (shift + width < 32 && ((mask >> (shift + width)) & 1)) ++width;
}

std::uint32_t readLE(const std::uint8_t* p, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= std::uint32_t(p[i]) << (8 * i);
    return v;
}
void writeLE(std::uint8_t* p, int bytes, std::uint32_t v)
{
    for (int i = 0; i < bytes; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

COLORREF quadColor(const RGBQUAD& q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

}  // namespace

std::uint8_t expandBits(std::uint32_t v, int bits)
{
    if (bits <= 0) return 0;
    if (bits >= 8) return std::uint8_t(v >> (bits - 8));
    // Repeat the field's bits until eight are filled.
    std::uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << bits) | v;
        filled += bits;
    }
    return std::uint8_t(out >> (filled - 8));
}

int nearestColorIndex(const RGBQUAD* colors, int count, COLORREF c)
{
    int best = 0, bestDistance = 1 << 30;
    for (int i = 0; i < count; ++i) {
        int d = std::abs(int(colors[i].rgbRed) - GetRValue(c)) + std::abs(int(colors[i].rgbGreen) - GetGValue(c)) +
                std::abs(int(colors[i].rgbBlue) - GetBValue(c));
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}

bool prepareSurface(GdiBitmap& s, const BITMAPINFOHEADER& header, const RGBQUAD* colors)
{
    const int bpp = header.BitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    if (header.Width <= 0 || header.Height == 0 || header.Height == INT32_MIN) return false;
    if (header.Compression != BI_RGB && !(header.Compression == BI_BITFIELDS && (bpp == 16 || bpp == 32))) return false;
    const std::int64_t absHeight = header.Height < 0 ? -std::int64_t(header.Height) : header.Height;
    if (std::int64_t(header.Width) * absHeight > std::int64_t(MaxPixelCount)) return false;
    s.header = header;
    s.header.Size = 40;
    s.header.Planes = 1;
    s.absHeight = int(absHeight);
    s.bottomUp = header.Height > 0;
    s.stride = ((std::int64_t(header.Width) * bpp + 31) / 32) * 4;
    s.header.ImageSize = std::uint32_t(s.stride * absHeight);
    std::fill(std::begin(s.colors), std::end(s.colors), RGBQUAD{});
    if (bpp <= 8 && colors) std::memcpy(s.colors, colors, sizeof(RGBQUAD) * paletteSize(bpp));
    if (bpp == 16 || bpp == 32) {
        if (header.Compression == BI_BITFIELDS && colors) {
            for (int i = 0; i < 3; ++i) std::memcpy(&s.masks[i], &colors[i], 4);
        } else if (bpp == 16) {
            s.masks[0] = 0x7C00;
            s.masks[1] = 0x03E0;
            s.masks[2] = 0x001F;
        } else {
            s.masks[0] = 0xFF0000;
            s.masks[1] = 0xFF00;
            s.masks[2] = 0xFF;
        }
        if (bpp == 16)
            for (auto& m : s.masks) m &= 0xFFFF;
        for (int i = 0; i < 3; ++i) maskLayout(s.masks[i], s.shift[i], s.width[i]);
    }
    return true;
}

COLORREF GdiBitmap::read(int x, int y) const
{
    const std::uint8_t* row = rowFromTop(y);
    switch (bpp()) {
    case 1: return quadColor(colors[(row[x >> 3] >> (7 - (x & 7))) & 1]);
    case 4: return quadColor(colors[(x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4]);
    case 8: return quadColor(colors[row[x]]);
    case 24: return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    case 16:
    case 32: {
        if (bpp() == 32 && header.Compression == BI_RGB) return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
        const int bytes = bpp() / 8;
        std::uint32_t v = readLE(row + bytes * x, bytes);
        std::uint8_t ch[3];
        for (int i = 0; i < 3; ++i) ch[i] = expandBits((v & masks[i]) >> shift[i], width[i]);
        return RGB(ch[0], ch[1], ch[2]);
    }
    }
    return 0;
}

void GdiBitmap::write(int x, int y, COLORREF c)
{
    std::uint8_t* row = rowFromTop(y);
    switch (bpp()) {
    case 1: {
        int i = nearestColorIndex(colors, 2, c);
        std::uint8_t bit = std::uint8_t(0x80 >> (x & 7));
        row[x >> 3] = i ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
        return;
    }
    case 4: {
        int i = nearestColorIndex(colors, 16, c);
        std::uint8_t& b = row[x >> 1];
        b = (x & 1) ? std::uint8_t((b & 0xF0) | i) : std::uint8_t((b & 0x0F) | (i << 4));
        return;
    }
    case 8: row[x] = std::uint8_t(nearestColorIndex(colors, 256, c)); return;
    case 24:
        row[3 * x] = GetBValue(c);
        row[3 * x + 1] = GetGValue(c);
        row[3 * x + 2] = GetRValue(c);
        return;
    case 16:
    case 32: {
        if (bpp() == 32 && header.Compression == BI_RGB) {
            std::uint8_t* p = row + 4 * x;
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
            p[3] = 0;
            return;
        }
        const std::uint8_t ch[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
        std::uint32_t v = 0;
        for (int i = 0; i < 3; ++i) {
            std::uint32_t field = width[i] <= 8 ? ch[i] >> (8 - width[i]) : std::uint32_t(ch[i]) << (width[i] - 8);
            v |= (field << shift[i]) & masks[i];
        }
        writeLE(row + (bpp() / 8) * x, bpp() / 8, v);
        return;
    }
    }
}

bool isLiveDC(HDC dc) { return dc != nullptr && dc->bitmap != nullptr && dc->bitmap->bits != nullptr; }

// --- device contexts -------------------------------------------------------

HDC GetDC(void*) { return &registry().screen; }
int ReleaseDC(void*, HDC) { return 1; }

HDC CreateCompatibleDC(HDC)
{
    Registry& r = registry();
    auto dc = std::make_unique<GdiDC>();
    r.initDC(*dc);
    GdiDC* raw = dc.get();
    std::lock_guard lock(r.mutex);
    raw->bitmap->selections++;
    raw->pen->selections++;
    raw->brush->selections++;
    raw->font->selections++;
    r.dcs.emplace(raw, std::move(dc));
    return raw;
}

bool DeleteDC(HDC dc)
{
    if (!dc || dc->screen) return false;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.dcs.find(dc);
    if (it == r.dcs.end()) return false;
    dc->bitmap->selections--;
    dc->pen->selections--;
    dc->brush->selections--;
    dc->font->selections--;
    r.dcs.erase(it);
    return true;
}

int GetDeviceCaps(HDC dc, int index)
{
    if (!dc) return 0;
    switch (index) {
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    }
    return 0;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    if (!dc || !object) return nullptr;
    std::lock_guard lock(registry().mutex);
    auto swap = [&](auto*& slot, auto* incoming) -> HGDIOBJ {
        HGDIOBJ previous = slot;
        slot->selections--;
        slot = incoming;
        slot->selections++;
        return previous;
    };
    switch (object->kind) {
    case GdiKind::Bitmap: return swap(dc->bitmap, static_cast<GdiBitmap*>(object));
    case GdiKind::Pen: return swap(dc->pen, static_cast<GdiPen*>(object));
    case GdiKind::Brush: return swap(dc->brush, static_cast<GdiBrush*>(object));
    case GdiKind::Font: return swap(dc->font, static_cast<GdiFont*>(object));
    }
    return nullptr;
}

HGDIOBJ GetCurrentObject(HDC dc, int kind)
{
    if (!dc) return nullptr;
    switch (kind) {
    case OBJ_PEN: return dc->pen;
    case OBJ_BRUSH: return dc->brush;
    case OBJ_FONT: return dc->font;
    case OBJ_BITMAP: return dc->bitmap;
    }
    return nullptr;
}

bool DeleteObject(HGDIOBJ object)
{
    if (!object || object->stock) return false;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.objects.find(object);
    if (it == r.objects.end() || object->selections > 0) return false;
    r.objects.erase(it);
    return true;
}

HGDIOBJ GetStockObject(int index)
{
    Registry& r = registry();
    switch (index) {
    case WHITE_BRUSH: return &r.whiteBrush;
    case BLACK_BRUSH: return &r.blackBrush;
    case NULL_BRUSH: return &r.nullBrush;
    case WHITE_PEN: return &r.whitePen;
    case BLACK_PEN: return &r.blackPen;
    case NULL_PEN: return &r.nullPen;
    case SYSTEM_FONT:
    case DEFAULT_GUI_FONT: return &r.defaultFont;
    }
    return nullptr;
}

// --- bitmaps ---------------------------------------------------------------

namespace {
HBITMAP makeBitmap(const BITMAPINFOHEADER& header, const RGBQUAD* colors, bool isDIB)
{
    auto bitmap = std::make_unique<GdiBitmap>();
    if (!prepareSurface(*bitmap, header, colors)) return nullptr;
    bitmap->isDIBSection = isDIB;
    try {
        bitmap->storage = TZeroedBytes(std::size_t((bitmap->stride * bitmap->absHeight + 3) / 4 * 4));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    bitmap->bits = bitmap->storage.data();
    return adopt(std::move(bitmap));
}
}  // namespace

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, unsigned, void** bits, void*, std::uint32_t)
{
    if (bits) *bits = nullptr;
    if (!info) return nullptr;
    HBITMAP bitmap = makeBitmap(info->bmiHeader, info->bmiColors, true);
    if (bitmap && bits) *bits = bitmap->bits;
    return bitmap;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    BITMAPINFOHEADER header;
    header.Width = width;
    header.Height = height;
    header.BitCount = 32;
    return makeBitmap(header, nullptr, false);
}

int GetObject(HGDIOBJ object, int size, void* out)
{
    if (!object || !out) return 0;
    switch (object->kind) {
    case GdiKind::Bitmap: {
        auto* b = static_cast<GdiBitmap*>(object);
        BITMAP bm;
        bm.bmWidth = b->header.Width;
        bm.bmHeight = b->absHeight;
        bm.bmWidthBytes = int(b->stride);
        bm.bmBitsPixel = b->header.BitCount;
        bm.bmBits = b->isDIBSection ? b->bits : nullptr;
        if (b->isDIBSection && size >= int(sizeof(DIBSECTION))) {
            DIBSECTION ds;
            ds.dsBm = bm;
            ds.dsBmih = b->header;
            if (b->header.Compression == BI_BITFIELDS)
                for (int i = 0; i < 3; ++i) ds.dsBitfields[i] = b->masks[i];
            std::memcpy(out, &ds, sizeof(ds));
            return sizeof(DIBSECTION);
        }
        if (size < int(sizeof(BITMAP))) return 0;
        std::memcpy(out, &bm, sizeof(bm));
        return sizeof(BITMAP);
    }
    case GdiKind::Pen: return 0;
    case GdiKind::Brush:
        if (size < int(sizeof(LOGBRUSH))) return 0;
        std::memcpy(out, &static_cast<GdiBrush*>(object)->brush, sizeof(LOGBRUSH));
        return sizeof(LOGBRUSH);
    case GdiKind::Font:
        if (size < int(sizeof(LOGFONT))) return 0;
        std::memcpy(out, &static_cast<GdiFont*>(object)->logFont, sizeof(LOGFONT));
        return sizeof(LOGFONT);
    }
    return 0;
}

int GetDIBits(HDC, HBITMAP bitmap, unsigned start, unsigned lines, void* bits, BITMAPINFO* info, unsigned)
{
    if (!bitmap || !info || !bitmap->bits) return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.BitCount == 0) {
        // Only the format is asked for.
        h = bitmap->header;
        if (bitmap->bpp() <= 8)
            std::memcpy(info->bmiColors, bitmap->colors, sizeof(RGBQUAD) * paletteSize(bitmap->bpp()));
        return 1;
    }
    if (h.BitCount <= 8) {
        const int n = paletteSize(h.BitCount);
        if (bitmap->bpp() == h.BitCount) {
            std::memcpy(info->bmiColors, bitmap->colors, sizeof(RGBQUAD) * n);
        } else {
            for (int i = 0; i < n; ++i) {
                std::uint8_t v = std::uint8_t(i * 255 / (n - 1));
                info->bmiColors[i] = RGBQUAD{v, v, v, 0};
            }
        }
    }
    if (!bits) return 1;
    BITMAPINFOHEADER viewHeader = h;
    viewHeader.Width = bitmap->w();
    GdiBitmap view;
    if (!prepareSurface(view, viewHeader, info->bmiColors)) return 0;
    view.bits = static_cast<std::uint8_t*>(bits);
    const unsigned total = unsigned(bitmap->h());
    if (start >= total) return 0;
    lines = std::min(lines, total - start);
    if (unsigned(view.h()) < lines) lines = unsigned(view.h());
    for (unsigned i = 0; i < lines; ++i) {
        // Scan lines count from the bottom of the bitmap.
        const int srcTop = int(total - 1 - (start + i));
        const int dstTop = view.bottomUp ? view.h() - 1 - int(i) : int(start + i);
        if (dstTop < 0 || dstTop >= view.h()) continue;
        const int srcRow = view.bottomUp ? srcTop : int(start + i);
        if (view.bpp() == bitmap->bpp() && view.bpp() >= 16 && std::memcmp(view.masks, bitmap->masks, 12) == 0 &&
            view.header.Compression == bitmap->header.Compression) {
            std::memcpy(view.rowFromTop(dstTop), bitmap->rowFromTop(srcRow),
                        std::size_t(std::min(view.stride, bitmap->stride)));
            continue;
        }
        for (int x = 0; x < view.w(); ++x) view.write(x, dstTop, bitmap->read(x, srcRow));
    }
    return int(lines);
}

unsigned SetDIBColorTable(HDC dc, unsigned start, unsigned count, const RGBQUAD* colors)
{
    if (!dc || !colors || !dc->bitmap->bits || dc->bitmap->bpp() > 8) return 0;
    const unsigned n = unsigned(paletteSize(dc->bitmap->bpp()));
    if (start >= n) return 0;
    count = std::min(count, n - start);
    std::memcpy(dc->bitmap->colors + start, colors, sizeof(RGBQUAD) * count);
    return count;
}

unsigned GetDIBColorTable(HDC dc, unsigned start, unsigned count, RGBQUAD* colors)
{
    if (!dc || !colors || !dc->bitmap->bits || dc->bitmap->bpp() > 8) return 0;
    const unsigned n = unsigned(paletteSize(dc->bitmap->bpp()));
    if (start >= n) return 0;
    count = std::min(count, n - start);
    std::memcpy(colors, dc->bitmap->colors + start, sizeof(RGBQUAD) * count);
    return count;
}

// --- blits -----------------------------------------------------------------

namespace {

bool needsSource(std::uint32_t rop) { return rop != PATCOPY && rop != BLACKNESS && rop != WHITENESS; }
bool needsDest(std::uint32_t rop) { return rop == SRCPAINT || rop == SRCAND || rop == SRCINVERT; }

bool sameLayout(const GdiBitmap& a, const GdiBitmap& b)
{
    if (a.bpp() != b.bpp()) return false;
    if (a.bpp() < 8) return false;
    if (a.bpp() == 8) return std::memcmp(a.colors, b.colors, sizeof(a.colors)) == 0;
    if (a.bpp() == 24) return true;
    return std::memcmp(a.masks, b.masks, sizeof(a.masks)) == 0;
}

// Negative extents mirror: the rectangle then runs from pos down to pos + extent + 1.
void normalise(int& pos, int& extent, bool& flip)
{
    if (extent < 0) {
        pos += extent + 1;
        extent = -extent;
        flip = !flip;
    }
}

void stretchSurface(GdiDC& dstDC, int dx, int dy, int dw, int dh, const GdiBitmap* src, int sx, int sy, int sw, int sh,
                    std::uint32_t rop)
{
    GdiBitmap& dst = *dstDC.bitmap;
    if (!dst.bits || dw == 0 || dh == 0) return;
    // Coordinates this far out cannot touch a picture of at most 2^28 pixels;
    // refusing them keeps the clipping arithmetic below free of overflow.
    constexpr int kLimit = 1 << 30;
    for (int v : {dx, dy, dw, dh, sx, sy, sw, sh})
        if (v > kLimit || v < -kLimit) return;
    bool flipX = false, flipY = false;
    normalise(dx, dw, flipX);
    normalise(dy, dh, flipY);
    const bool withSource = needsSource(rop);
    if (withSource) {
        if (!src || !src->bits || sw == 0 || sh == 0) return;
        normalise(sx, sw, flipX);
        normalise(sy, sh, flipY);
    }
    const int x0 = std::max(0, -dx), x1 = std::min(dw, dst.w() - dx);
    const int y0 = std::max(0, -dy), y1 = std::min(dh, dst.h() - dy);
    if (x0 >= x1 || y0 >= y1) return;

    // A blit within one bitmap reads from a copy, so overlapping rectangles stay right.
    GdiBitmap copy;
    if (withSource && src == &dst) {
        copy.header = src->header;
        std::memcpy(copy.colors, src->colors, sizeof(copy.colors));
        std::memcpy(copy.masks, src->masks, sizeof(copy.masks));
        std::memcpy(copy.shift, src->shift, sizeof(copy.shift));
        std::memcpy(copy.width, src->width, sizeof(copy.width));
        copy.stride = src->stride;
        copy.absHeight = src->absHeight;
        copy.bottomUp = src->bottomUp;
        copy.storage = src->storage;
        if (copy.storage.empty()) return;
        copy.bits = copy.storage.data();
        src = &copy;
    }

    // Source column and row for every destination column and row (nearest neighbour, 64-bit).
    std::vector<int> xmap(std::size_t(x1 - x0)), ymap(std::size_t(y1 - y0));
    if (withSource) {
        for (int i = x0; i < x1; ++i) {
            int k = flipX ? dw - 1 - i : i;
            xmap[std::size_t(i - x0)] = sx + int((2 * std::int64_t(k) + 1) * sw / (2 * std::int64_t(dw)));
        }
        for (int j = y0; j < y1; ++j) {
            int k = flipY ? dh - 1 - j : j;
            ymap[std::size_t(j - y0)] = sy + int((2 * std::int64_t(k) + 1) * sh / (2 * std::int64_t(dh)));
        }
    }
    const bool identityX = withSource && !flipX && sw == dw;
    const bool fast = withSource && rop == SRCCOPY && sameLayout(dst, *src);
    // Plain copies between 24-bit and 32-bit rows (the fourth byte written 0,
    // as write() does) skip the per-pixel colour packing.
    const bool rgb32Dst = dst.bpp() == 32 && dst.header.Compression == BI_RGB;
    const bool rgb32Src = withSource && src->bpp() == 32 && src->header.Compression == BI_RGB;
    const bool widen = withSource && rop == SRCCOPY && identityX && src->bpp() == 24 && rgb32Dst;
    const bool narrow = withSource && rop == SRCCOPY && identityX && rgb32Src && dst.bpp() == 24;
    const int bytes = dst.bpp() / 8;
    for (int j = y0; j < y1; ++j) {
        const int ty = dy + j;
        if (!withSource) {
            for (int i = x0; i < x1; ++i) {
                COLORREF c = rop == BLACKNESS   ? 0
                             : rop == WHITENESS ? 0xFFFFFF
                                                : brushColorAt(dstDC, dstDC.brush, dx + i, ty);
                if (c != CLR_INVALID) dst.write(dx + i, ty, c);
            }
            continue;
        }
        const int syRow = ymap[std::size_t(j - y0)];
        if (syRow < 0 || syRow >= src->h()) continue;
        if (widen || narrow) {
            int first = x0, last = x1;
            while (first < last && xmap[std::size_t(first - x0)] < 0) ++first;
            while (last > first && xmap[std::size_t(last - 1 - x0)] >= src->w()) --last;
            if (first >= last) continue;
            const int inStep = widen ? 3 : 4, outStep = widen ? 4 : 3;
            const std::uint8_t* in =
                src->rowFromTop(syRow) + std::size_t(xmap[std::size_t(first - x0)]) * std::size_t(inStep);
            std::uint8_t* out = dst.rowFromTop(ty) + std::size_t(dx + first) * std::size_t(outStep);
            for (int i = first; i < last; ++i, in += inStep, out += outStep) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
                if (widen) out[3] = 0;
            }
            continue;
        }
        if (fast) {
            std::uint8_t* out = dst.rowFromTop(ty);
            const std::uint8_t* in = src->rowFromTop(syRow);
            if (identityX) {
                int first = x0, last = x1;  // clip to the source's columns
                while (first < last && xmap[std::size_t(first - x0)] < 0) ++first;
                while (last > first && xmap[std::size_t(last - 1 - x0)] >= src->w()) --last;
                if (first < last)
                    std::memmove(out + std::size_t(dx + first) * bytes,
                                 in + std::size_t(xmap[std::size_t(first - x0)]) * bytes,
                                 std::size_t(last - first) * bytes);
                continue;
            }
            for (int i = x0; i < x1; ++i) {
                const int sxCol = xmap[std::size_t(i - x0)];
                if (sxCol < 0 || sxCol >= src->w()) continue;
                std::memcpy(out + std::size_t(dx + i) * bytes, in + std::size_t(sxCol) * bytes, std::size_t(bytes));
            }
            continue;
        }
        COLORREF lastIn = CLR_INVALID, lastOut = 0;
        for (int i = x0; i < x1; ++i) {
            const int sxCol = xmap[std::size_t(i - x0)];
            if (sxCol < 0 || sxCol >= src->w()) continue;
            COLORREF s = src->read(sxCol, syRow);
            COLORREF c = s;
            if (needsDest(rop)) {
                COLORREF d = dst.read(dx + i, ty);
                c = rop == SRCPAINT ? (d | s) : rop == SRCAND ? (d & s) : (d ^ s);
            }
            if (dst.bpp() <= 8) {
                // Palette look-ups are slow; neighbouring pixels often repeat.
                if (c == lastIn) {
                    dst.write(dx + i, ty, lastOut);
                    continue;
                }
                lastIn = c;
                int index = nearestColorIndex(dst.colors, 1 << dst.bpp(), c);
                lastOut = quadColor(dst.colors[index]);
                c = lastOut;
            }
            dst.write(dx + i, ty, c);
        }
    }
}

}  // namespace

bool BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, std::uint32_t rop)
{
    if (!isLiveDC(dst)) return false;
    stretchSurface(*dst, x, y, width, height, src ? src->bitmap : nullptr, srcX, srcY, width, height, rop);
    return true;
}

bool StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth, int srcHeight,
                std::uint32_t rop)
{
    if (!isLiveDC(dst)) return false;
    stretchSurface(*dst, x, y, width, height, src ? src->bitmap : nullptr, srcX, srcY, srcWidth, srcHeight, rop);
    return true;
}

int StretchDIBits(HDC dst, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                  const void* bits, const BITMAPINFO* info, unsigned, std::uint32_t rop)
{
    if (!isLiveDC(dst) || !bits || !info) return 0;
    GdiBitmap view;
    if (!prepareSurface(view, info->bmiHeader, info->bmiColors)) return 0;
    view.bits = const_cast<std::uint8_t*>(static_cast<const std::uint8_t*>(bits));
    // For a bottom-up picture the source y counts from its bottom row.
    const int topY = view.bottomUp ? view.h() - srcY - srcHeight : srcY;
    stretchSurface(*dst, x, y, width, height, &view, srcX, topY, srcWidth, srcHeight, rop);
    return std::abs(height);
}

int SetStretchBltMode(HDC dc, int mode)
{
    if (!dc) return 0;
    int previous = dc->stretchMode;
    dc->stretchMode = mode;
    return previous;
}
int GetStretchBltMode(HDC dc) { return dc ? dc->stretchMode : 0; }

HPEN CreatePen(int style, int width, COLORREF color)
{
    auto pen = std::make_unique<GdiPen>();
    pen->style = style;
    pen->width = std::max(1, width);
    pen->color = color & 0xFFFFFF;
    return adopt(std::move(pen));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush)
{
    if (!brush) return nullptr;
    auto b = std::make_unique<GdiBrush>();
    b->brush = *brush;
    b->brush.lbColor &= 0xFFFFFF;
    return adopt(std::move(b));
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    LOGBRUSH lb;
    lb.lbColor = color;
    return CreateBrushIndirect(&lb);
}

HFONT CreateFontIndirect(const LOGFONT* font)
{
    if (!font) return nullptr;
    auto f = std::make_unique<GdiFont>();
    f->logFont = *font;
    f->logFont.lfFaceName[31] = 0;
    return adopt(std::move(f));
}

COLORREF SetTextColor(HDC dc, COLORREF color)
{
    if (!dc) return CLR_INVALID;
    COLORREF previous = dc->textColor;
    dc->textColor = color & 0xFFFFFF;
    return previous;
}
COLORREF GetTextColor(HDC dc) { return dc ? dc->textColor : CLR_INVALID; }
COLORREF SetBkColor(HDC dc, COLORREF color)
{
    if (!dc) return CLR_INVALID;
    COLORREF previous = dc->bkColor;
    dc->bkColor = color & 0xFFFFFF;
    return previous;
}
COLORREF GetBkColor(HDC dc) { return dc ? dc->bkColor : CLR_INVALID; }
int SetBkMode(HDC dc, int mode)
{
    if (!dc) return 0;
    int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}
int GetBkMode(HDC dc) { return dc ? dc->bkMode : 0; }
