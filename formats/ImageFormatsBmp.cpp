#include "formats/ImageFormatsBmp.h"

#include "raster/RasterFiles.h"

#include <algorithm>
#include <cstring>

namespace {

// The bitmap format holding the buffer's pixels byte for byte, or pf24bit
// with converted pixels when no format has the buffer's channel layout.
TPixelFormat formatOf(const TRasterDIB& dib, bool& sameBytes)
{
    sameBytes = true;
    switch (dib.BitCount()) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16:
        if (dib.BlueBits == 5 && dib.GreenBits == 5 && dib.RedBits == 5) return pf15bit;
        if (dib.BlueBits == 5 && dib.GreenBits == 6 && dib.RedBits == 5) return pf16bit;
        break;
    case 24: return pf24bit;
    case 32:
        if (dib.BlueBits == 8 && dib.GreenBits == 8 && dib.RedBits == 8) return pf32bit;
        break;
    }
    sameBytes = false;
    return pf24bit;
}

void copyRasterToBitmap(const TRasterDIB& dib, TBitmap& bitmap)
{
    bool sameBytes = true;
    const TPixelFormat format = formatOf(dib, sameBytes);
    std::vector<TPaletteEntry> palette;
    if (dib.BitCount() <= 8) {
        const std::uint32_t count = dib.Header.ClrUsed ? dib.Header.ClrUsed : 1u << dib.BitCount();
        for (std::uint32_t i = 0; i < count; ++i)
            palette.push_back({dib.Colors[i].rgbRed, dib.Colors[i].rgbGreen, dib.Colors[i].rgbBlue, 0});
    }
    bitmap.ReleaseImage();
    bitmap.SetPaletteEntries(palette);
    bitmap.SetPixelFormat(format);
    bitmap.SetPaletteEntries(palette);  // the format change may have set a default one
    bitmap.SetSize(dib.Width(), dib.AbsHeight);
    const std::size_t rowBytes = CheckedRowBytes(std::uint64_t(dib.Width()), std::uint64_t(dib.BitCount()));
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::uint8_t* to = bitmap.ScanLine(y);
        const std::size_t row = dib.RowFromTop(y);
        if (sameBytes) {
            std::memcpy(to, dib.Rows[row], rowBytes);
            continue;
        }
        for (int x = 0; x < bitmap.Width(); ++x, to += 3) {
            TColorTriple t;
            dib.GetPixelColor(int(row), x, t);
            to[0] = t.Blue;
            to[1] = t.Green;
            to[2] = t.Red;
        }
    }
}

void copyBitmapToRaster(const TBitmap& bitmap, TRasterDIB& dib)
{
    const int bits = bitmap.BitsPerPixel();
    dib.UseGDI = false;
    if (bitmap.PixelFormat() == pf16bit)
        dib.SetSizeEx(bitmap.Width(), bitmap.Height(), 16, 5, 6, 5);
    else
        dib.SetSize(bitmap.Width(), bitmap.Height(), bits);  // 16 bits without fields: 5-5-5
    if (bits <= 8) {
        const std::size_t count = std::min<std::size_t>(bitmap.Palette().size(), std::size_t(1) << bits);
        for (std::size_t i = 0; i < count; ++i) {
            const TPaletteEntry& e = bitmap.Palette()[i];
            dib.Colors[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
        }
        dib.Header.ClrUsed = std::uint32_t(count);
        dib.Header.ClrImportant = 0;
    }
    const std::size_t rowBytes = std::min(bitmap.BytesPerScanLine(), std::size_t(dib.Stride));
    for (int y = 0; y < bitmap.Height(); ++y) std::memcpy(dib.Rows[dib.RowFromTop(y)], bitmap.ScanLine(y), rowBytes);
}

}  // namespace

TGraphicClass TBmpBitmap::StaticClass()
{
    static const TGraphicClassRec rec{"TBitmap",
                                      []() -> std::unique_ptr<TGraphic> { return std::make_unique<TBmpBitmap>(); },
                                      TBitmap::StaticClass(), nullptr};
    return &rec;
}

void TBmpBitmap::LoadFromStream(TStream& stream)
{
    TRasterDIB dib;
    dib.UseGDI = false;
    try {
        ReadBmpStream(dib, stream, TBmpShortData::Refuse);
    } catch (const ERasterError& e) {  // malformed or cut data, and pictures past the cap
        throw EInvalidGraphic(e.Message);
    }
    TBitmap loaded;
    copyRasterToBitmap(dib, loaded);
    TBitmap::Assign(loaded);
}

void TBmpBitmap::SaveToStream(TStream& stream)
{
    TRasterDIB dib;
    copyBitmapToRaster(*this, dib);
    WriteBmpStream(dib, stream);
}
