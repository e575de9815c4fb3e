// Fonts and text output: faces found through fontconfig, glyphs rendered by
// FreeType in monochrome at 96 DPI so colour-keyed blends stay exact.

#include "platform/gdi/GdiInternal.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct FontFace {
    FT_Face face = nullptr;
    std::string file;
    int ascent = 0;
    int descent = 0;
    bool fakeBold = false;
    bool fakeItalic = false;
    int underlinePosition = 1;  // pixels below the baseline
    int underlineThickness = 1;
    ~FontFace()
    {
        if (face) FT_Done_Face(face);
    }
};

GdiFont::GdiFont() : GdiObject(GdiKind::Font) {}
GdiFont::~GdiFont() = default;

namespace {

std::mutex& fontMutex()
{
    static std::mutex m;
    return m;
}

FT_Library library()
{
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) return FT_Library(nullptr);
        return l;
    }();
    return lib;
}

// Asks fontconfig for the best installed face. A missing family falls back
// to the faces fontconfig's own rules put in its place (metric twins and the
// like) and then to one named face, so a stored Windows face such as
// "Verdana" draws alike on every machine that has our packages.
bool matchFont(const LOGFONT& lf, std::string& file, int& index, bool& isBold, bool& isItalic)
{
    FcConfig* config = FcConfigGetCurrent();
    if (!config && !FcInit()) return false;
    FcPattern* pattern = FcPatternCreate();
    const char* family = lf.lfFaceName[0] ? lf.lfFaceName : FallbackFontFace;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(FallbackFontFace));
    FcPatternAddInteger(pattern, FC_WEIGHT, lf.lfWeight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, lf.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* path = nullptr;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (ok) {
        file = reinterpret_cast<const char*>(path);
        index = 0;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        isBold = weight >= FC_WEIGHT_DEMIBOLD;
        isItalic = slant != FC_SLANT_ROMAN;
    }
    FcPatternDestroy(match);
    return ok;
}

int ceil26(FT_Pos v) { return int((v + 63) >> 6); }

// A font's face made from its description (fontconfig's match and the
// FreeType face); null inside when no face could be had.
std::shared_ptr<FontFace> makeFace(const LOGFONT& lf)
{
    auto face = std::make_shared<FontFace>();
    std::string file;
    int index = 0;
    bool isBold = false, isItalic = false;
    FT_Library lib = library();
    if (lib && matchFont(lf, file, index, isBold, isItalic) &&
        FT_New_Face(lib, file.c_str(), index, &face->face) == 0) {
        face->file = file;
        FT_Face f = face->face;
        face->fakeBold = lf.lfWeight >= 600 && !isBold;
        face->fakeItalic = lf.lfItalic && !isItalic;
        // Negative heights give the character (em) height, positive ones the
        // cell height (ascent plus descent), as GDI reads them.
        double em = 16;
        if (lf.lfHeight < 0) {
            em = -double(lf.lfHeight);
        } else if (lf.lfHeight > 0) {
            double cellUnits = double(f->ascender - f->descender);
            if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
                os2 && os2->usWinAscent + os2->usWinDescent > 0)
                cellUnits = double(os2->usWinAscent) + os2->usWinDescent;
            em = cellUnits > 0 ? lf.lfHeight * double(f->units_per_EM) / cellUnits : lf.lfHeight;
        }
        em = std::clamp(em, 1.0, 2000.0);
        FT_UInt pixelWidth = 0;
        if (lf.lfWidth > 0) {
            double average = 0.5 * em;
            if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2)); os2 && os2->xAvgCharWidth > 0)
                average = os2->xAvgCharWidth * em / f->units_per_EM;
            pixelWidth = FT_UInt(std::clamp(std::lround(em * lf.lfWidth / average), 1L, 4000L));
        }
        FT_Set_Pixel_Sizes(f, pixelWidth, FT_UInt(std::lround(em)));
        if (lf.lfHeight > 0) {
            face->ascent = int(std::lround(double(lf.lfHeight) * f->ascender / double(f->ascender - f->descender)));
            if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
                os2 && os2->usWinAscent + os2->usWinDescent > 0)
                face->ascent = int(std::lround(double(lf.lfHeight) * os2->usWinAscent /
                                               (double(os2->usWinAscent) + os2->usWinDescent)));
            face->descent = lf.lfHeight - face->ascent;
        } else {
            face->ascent = ceil26(f->size->metrics.ascender);
            face->descent = ceil26(-f->size->metrics.descender);
        }
        const double scale = em / f->units_per_EM;
        face->underlinePosition = std::max(1, int(std::lround(-f->underline_position * scale)));
        face->underlineThickness = std::max(1, int(std::lround(f->underline_thickness * scale)));
    }
    return face;
}

FontFace* faceOf(GdiFont* font)
{
    if (!font->face) {
        // Matching and opening a face costs far more than drawing a line of
        // text, and a caller such as the text stamp makes the same font for
        // every picture: faces are kept by the font's description.
        static std::map<std::string, std::shared_ptr<FontFace>> faces;
        LOGFONT key = font->logFont;
        const std::size_t nameLength = strnlen(key.lfFaceName, sizeof key.lfFaceName);
        std::fill(key.lfFaceName + nameLength, std::end(key.lfFaceName), '\0');
        std::shared_ptr<FontFace>& face = faces[std::string(reinterpret_cast<const char*>(&key), sizeof key)];
        if (!face) face = makeFace(font->logFont);
        font->face = face;
    }
    return font->face->face ? font->face.get() : nullptr;
}

// Bytes as UTF-8 when the whole text is valid UTF-8, else as Latin-1.
std::vector<std::uint32_t> codePoints(const char* text, int length)
{
    std::vector<std::uint32_t> out;
    const auto* s = reinterpret_cast<const std::uint8_t*>(text);
    bool valid = true;
    for (int i = 0; i < length && valid;) {
        const std::uint8_t c = s[i];
        const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0) {
            valid = false;
            break;
        }
        std::uint32_t cp = extra == 0 ? c : c & (0x3Fu >> extra);
        for (int k = 1; k <= extra && valid; ++k) {
            if (i + k >= length || (s[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (!valid) break;
        out.push_back(cp);
        i += extra + 1;
    }
    if (!valid) {
        out.clear();
        for (int i = 0; i < length; ++i) out.push_back(s[i]);
    }
    return out;
}

bool loadGlyph(FontFace& ff, std::uint32_t cp, bool render)
{
    FT_Face f = ff.face;
    if (FT_Load_Char(f, cp, FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP) != 0) return false;
    FT_GlyphSlot slot = f->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        if (ff.fakeItalic) {
            FT_Matrix shear{0x10000, 0x3000, 0, 0x10000};
            FT_Outline_Transform(&slot->outline, &shear);
        }
        if (ff.fakeBold) FT_Outline_Embolden(&slot->outline, 64);
    }
    if (render && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return false;
    return true;
}

int advanceOf(FontFace& ff) { return int((ff.face->glyph->advance.x + 32) >> 6) + (ff.fakeBold ? 1 : 0); }

int measure(FontFace& ff, const std::vector<std::uint32_t>& cps)
{
    int width = 0;
    for (std::uint32_t cp : cps)
        if (loadGlyph(ff, cp, false)) width += advanceOf(ff);
    return width;
}

}  // namespace

bool GetTextExtentPoint32(HDC dc, const char* text, int length, SIZE* size)
{
    if (!dc || !size) return false;
    std::lock_guard lock(fontMutex());
    FontFace* ff = faceOf(dc->font);
    if (!ff) {
        *size = SIZE{};
        return false;
    }
    size->cx = text && length > 0 ? measure(*ff, codePoints(text, length)) : 0;
    size->cy = ff->ascent + ff->descent;
    return true;
}

bool GetTextMetricsPixels(HDC dc, int* ascent, int* descent)
{
    if (!dc) return false;
    std::lock_guard lock(fontMutex());
    FontFace* ff = faceOf(dc->font);
    if (!ff) return false;
    if (ascent) *ascent = ff->ascent;
    if (descent) *descent = ff->descent;
    return true;
}

std::string ResolvedFontFile(HFONT font)
{
    if (!font) return {};
    std::lock_guard lock(fontMutex());
    FontFace* ff = faceOf(font);
    return ff ? ff->file : std::string();
}

bool TextOut(HDC dc, int x, int y, const char* text, int length)
{
    if (!isLiveDC(dc) || !text || length <= 0) return false;
    std::lock_guard lock(fontMutex());
    FontFace* ff = faceOf(dc->font);
    if (!ff) return false;
    GdiBitmap& b = *dc->bitmap;
    const auto cps = codePoints(text, length);
    const int cellHeight = ff->ascent + ff->descent;
    const LOGFONT& lf = dc->font->logFont;
    const COLORREF colour = dc->textColor;
    auto put = [&](int px, int py) {
        if (px >= 0 && py >= 0 && px < b.w() && py < b.h()) b.write(px, py, colour);
    };
    const int width = measure(*ff, cps);
    if (dc->bkMode == OPAQUE) {
        GdiBrush background;
        background.brush.lbColor = dc->bkColor;
        for (int row = y; row < y + cellHeight; ++row) fillSpan(*dc, &background, row, x, x + width);
    }
    const int baseline = y + ff->ascent;
    int penX = x;
    for (std::uint32_t cp : cps) {
        if (!loadGlyph(*ff, cp, true)) continue;
        const FT_GlyphSlot slot = ff->face->glyph;
        const FT_Bitmap& bm = slot->bitmap;
        const int left = penX + slot->bitmap_left, top = baseline - slot->bitmap_top;
        for (unsigned row = 0; row < bm.rows; ++row) {
            const unsigned char* line = bm.buffer + std::ptrdiff_t(row) * bm.pitch;
            for (unsigned col = 0; col < bm.width; ++col)
                if (line[col >> 3] & (0x80 >> (col & 7))) put(left + int(col), top + int(row));
        }
        penX += advanceOf(*ff);
    }
    auto bar = [&](int firstRow) {
        for (int t = 0; t < ff->underlineThickness; ++t)
            for (int px = x; px < x + width; ++px) put(px, firstRow + t);
    };
    if (lf.lfUnderline) bar(std::min(baseline + ff->underlinePosition, y + cellHeight - ff->underlineThickness));
    if (lf.lfStrikeOut) bar(baseline - std::max(1, ff->ascent / 3));
    return true;
}
