#pragma once
// The pixel store of the compositing library: TArgbBitmap, a top-down
// 32-bit ARGB DIB section with its own memory DC, so GDI can draw into it and
// it can be blitted to any DC. Also the small bases it stands on (a
// persistent object with Assign, a lockable object with change
// notification, a sized map), the colour routines and the rectangle helpers
// the rest of the library shares.

#include "compositing/ArgbLowLevel.h"
#include "platform/core/Color.h"
#include "platform/core/Exception.h"
#include "platform/gdi/Gdi.h"
#include "platform/picture/Picture.h"
#include "platform/streams/Streams.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// A failed internal check, with the unit and line it names.
class EAssertionFailed : public Exception {
public:
    EAssertionFailed(const std::string& text, const char* unit, int line);
};

// --- persistence ------------------------------------------------------------

class TPersistent;

// Receives the binary properties an object defines for streaming.
class TFiler {
public:
    virtual ~TFiler() = default;
    // The object this one inherits its stored values from, or null.
    const TPersistent* Ancestor = nullptr;
    virtual void DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>& readData,
                                      const std::function<void(TStream&)>& writeData, bool hasData) = 0;
};

// The root of the library's objects that copy themselves from others.
class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual const char* ClassName() const { return "TPersistent"; }
    // Asks the source to copy itself into this object (AssignTo); a null
    // source or one that cannot raises EConvertError "Cannot assign a %s to a %s".
    virtual void Assign(const TPersistent* source);
    virtual void DefineProperties(TFiler&) {}
    virtual TPersistent* GetOwner() const { return nullptr; }

protected:
    virtual void AssignTo(TPersistent* dest) const;
    [[noreturn]] void AssignError(const TPersistent* source) const;
};

using TPersistentEvent = std::function<void(TPersistent* Sender)>;

// An object whose changes are announced through OnChange, held back while
// BeginUpdate calls are open, and whose data a second thread can lock.
class TThreadPersistent : public TPersistent {
public:
    const char* ClassName() const override { return "TThreadPersistent"; }
    void BeginUpdate() { ++updateCount_; }
    // An unpaired call raises EAssertionFailed and leaves the count as it is.
    // It does not replay a notification held back meanwhile.
    void EndUpdate();
    // Fires OnChange when no update is open.
    virtual void Changed();
    void Lock();
    void Unlock();
    int LockCount() const { return lockCount_; }
    int UpdateCount() const { return updateCount_; }

    TPersistentEvent OnChange;

protected:
    std::recursive_mutex lock_;

private:
    int lockCount_ = 0;
    int updateCount_ = 0;
};

// A width and a height with OnResize.
class TCustomMap : public TThreadPersistent {
public:
    const char* ClassName() const override { return "TCustomMap"; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    virtual void Delete() { SetSize(0, 0); }
    virtual bool Empty() const { return width_ == 0 || height_ == 0; }
    virtual void Resized();
    // Whether the pair differs from the stored one; stores it, notifies nothing.
    virtual bool SetSize(int newWidth, int newHeight);

    TPersistentEvent OnResize;

protected:
    int width_ = 0;
    int height_ = 0;
};

// --- rectangles --------------------------------------------------------------

struct TSingleRect {
    float Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TSingleRect&) const = default;
};
enum TRectRounding { rmRound, rmExpand, rmShrink };

inline TPoint MakePoint(int x, int y) { return TPoint{x, y}; }
inline TRect MakeRect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }
inline TSingleRect MakeFloatRect(float l, float t, float r, float b) { return TSingleRect{l, t, r, b}; }
// rmRound: nearest, ties to even; rmExpand: outwards; rmShrink: inwards (never inverted).
TRect RoundSingleRect(const TSingleRect& r, TRectRounding mode);
// The overlap of a and b; (0, 0, 0, 0) when it is inverted both ways. Returns !RectIsEmpty(r).
bool IntersectRects(TRect& r, const TRect& a, const TRect& b);
void OffsetRectBy(TRect& r, int dx, int dy);
inline bool RectIsEmpty(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }
inline bool PointInRect(const TRect& r, const TPoint& p)
{
    return r.Left <= p.X && p.X < r.Right && r.Top <= p.Y && p.Y < r.Bottom;
}

// --- colours -------------------------------------------------------------------

// A colour number (system colours resolved first) with alpha 255.
TArgbColor ArgbFromColor(TColor color);
// (61 R + 174 G + 21 B) shr 8; alpha ignored.
constexpr int IntensityOf(TArgbColor c)
{
    return int((61 * ((c >> 16) & 0xFF) + 174 * ((c >> 8) & 0xFF) + 21 * (c & 0xFF)) >> 8);
}
constexpr TArgbColor GrayColor(int intensity, int alpha)
{
    const TArgbColor i = TArgbColor(intensity) & 0xFF;
    return ((TArgbColor(alpha) & 0xFF) << 24) | (i << 16) | (i << 8) | i;
}
// The colour with its alpha replaced by a (clamped to 0..255).
constexpr TArgbColor WithAlpha(TArgbColor c, int a)
{
    return (c & 0x00FFFFFF) | (TArgbColor(ClampInt(a, 0, 255)) << 24);
}

// --- the bitmap --------------------------------------------------------------------

enum TDrawMode : std::uint8_t { dmOpaque = 0, dmBlend = 1, dmCustom = 2 };
enum TStretchFilter : std::uint8_t { sfNearest = 0, sfLinear = 1, sfLinear2 = 2, sfSpline = 3 };
using TPixelCombineEvent = std::function<void(TArgbColor F, TArgbColor& B, TArgbColor M)>;

// The font a bitmap keeps for drawing text into its DC. Nothing here draws
// text into bitmaps; a change only drops the font selected into the DC.
class TArgbFont {
public:
    std::string Name() const { return name_; }
    int Height() const { return height_; }
    TColor Color() const { return color_; }
    void SetName(const std::string& name);
    void SetHeight(int height);
    void SetColor(TColor color);

    std::function<void()> OnChange;
    std::recursive_mutex* OwnerLock = nullptr;

private:
    void changed();
    std::string name_ = "MS Sans Serif";
    int height_ = -11;
    TColor color_ = 0;
};

// The clipboard as a source and target of pictures (the windowing layer supplies it).
class TClipboardAccess {
public:
    virtual ~TClipboardAccess() = default;
    // The picture on the clipboard, or null when it holds none.
    virtual std::unique_ptr<TGraphic> GetPicture() = 0;
    virtual void SetBitmap(const TBitmap& bitmap) = 0;
};

class TArgbBitmap : public TCustomMap {
public:
    TArgbBitmap();
    ~TArgbBitmap() override;
    TArgbBitmap(const TArgbBitmap&) = delete;
    TArgbBitmap& operator=(const TArgbBitmap&) = delete;
    const char* ClassName() const override { return "TArgbBitmap"; }

    // Values below 1 become 0. A new size releases the old surface and makes
    // a zero-filled one (none when either side is 0), then fires OnChange and
    // OnResize, also when making it failed (the bitmap is then empty and the
    // error raised: "Can't allocate the DIB handle", "Can't create compatible
    // DC" or "Can't select an object into DC").
    bool SetSize(int newWidth, int newHeight) override;
    // True when there is no surface.
    bool Empty() const override { return handle_ == nullptr; }
    void Delete() override { SetSize(0, 0); }

    TArgbColor* Bits() const { return bits_; }
    HBITMAP Handle() const { return handle_; }
    HDC DC() const { return dc_; }
    const BITMAPINFO& BitmapInfo() const { return info_; }

    // Every pixel (alpha included, no blending); nothing on an empty bitmap.
    void Clear(TArgbColor color);
    // Alpha 255 everywhere, colour bytes kept.
    void MakeOpaque();
    // Columns x1..x2-1 of rows y1..y2-1; arguments are trusted.
    void FillRectUnchecked(int x1, int y1, int x2, int y2, TArgbColor color);
    void FillRectClipped(int x1, int y1, int x2, int y2, TArgbColor color);

    // Unchecked access: coordinates must lie inside the bitmap.
    TArgbColor* RowPtr(int y) const { return bits_ + std::int64_t(y) * width_; }
    TArgbColor* PixelPtr(int x, int y) const { return bits_ + std::int64_t(y) * width_ + x; }
    TArgbColor PixelAt(int x, int y) const { return *PixelPtr(x, y); }
    // OuterColor outside the bitmap.
    TArgbColor PixelAtChecked(int x, int y) const;

    // Stretches the whole bitmap (or srcRect of it) into dstRect of dst with
    // this bitmap's StretchFilter and DrawMode, then dst->Changed(). Nothing
    // when either bitmap is empty.
    void DrawTo(TArgbBitmap* dst, const TRect& dstRect);
    void DrawToRect(TArgbBitmap* dst, const TRect& dstRect, const TRect& srcRect);
    // Copies the colour bytes to dc at (x, y).
    void DrawToDC(HDC dc, int x, int y);

    TDrawMode DrawMode() const { return drawMode_; }
    void SetDrawMode(TDrawMode value);
    unsigned MasterAlpha() const { return masterAlpha_; }
    void SetMasterAlpha(unsigned value);
    TStretchFilter StretchFilter() const { return stretchFilter_; }
    void SetStretchFilter(TStretchFilter value);
    TArgbColor OuterColor = 0;
    // Stored and copied by streaming only; no transfer calls it.
    TPixelCombineEvent OnPixelCombine;
    TArgbFont Font;
    HFONT SelectedFont() const { return selectedFont_; }

    // From another TArgbBitmap (pixels and DrawMode, MasterAlpha, OuterColor,
    // StretchFilter), or null (empties it); other classes raise EConvertError.
    void Assign(const TPersistent* source) override;
    // From framework pictures: alpha copied from 32-bit bitmaps, 255 otherwise.
    void Assign(const TBitmap& source);
    void Assign(const TGraphic& source);
    void Assign(TPicture& source);
    void Assign(TClipboardAccess& clipboard);
    // Into framework pictures: a 32-bit bitmap of the same size and pixels.
    void AssignTo(TBitmap& dest) const { CopyToBitmap(dest); }
    void AssignTo(TPicture& dest) const;
    void AssignTo(TClipboardAccess& clipboard) const;
    void CopyToBitmap(TBitmap& dest) const;

    // "Data": width, height (signed 32-bit little-endian), then the pixels,
    // top row first. Written when the content differs from the ancestor's
    // (or, without one, when not empty).
    void DefineProperties(TFiler& filer) override;
    // A size the stream cannot hold, or beyond the pixel cap, raises
    // EReadError and leaves the bitmap empty; Changed fires either way.
    virtual void ReadData(TStream& stream);
    virtual void WriteData(TStream& stream);
    // Both empty, or the same class and the same bitmap-file bytes.
    bool SameContent(const TArgbBitmap& other) const;
    // A 32-bit bottom-up BMP file of the bitmap (alpha in the fourth byte).
    void SaveAsBitmapStream(TStream& stream) const;
    void FontChanged();

    // Pixel memory of all bitmaps now and at most since the last reset.
    static std::int64_t PixelBytesInUse();
    static std::int64_t PeakPixelBytes();
    static void ResetPeakPixelBytes();

protected:
    void AssignTo(TPersistent* dest) const override;

private:
    void releaseSurface();
    void assignPixels(const TBitmap& source);

    BITMAPINFO info_{};
    TArgbColor* bits_ = nullptr;
    TDrawMode drawMode_ = dmOpaque;
    HBITMAP handle_ = nullptr;
    HDC dc_ = nullptr;
    unsigned masterAlpha_ = 255;
    TStretchFilter stretchFilter_ = sfNearest;
    HFONT selectedFont_ = nullptr;
};
