#include "compositing/Argb.h"

#include "compositing/ArgbTransforms.h"
#include "platform/streams/BoundedReader.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

EAssertionFailed::EAssertionFailed(const std::string& text, const char* unit, int line)
    : Exception(text + " (" + unit + ", line " + std::to_string(line) + ")")
{
}

// --- TPersistent ----------------------------------------------------------------

void TPersistent::Assign(const TPersistent* source)
{
    if (!source) AssignError(nullptr);
    source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) const { dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const
{
    throw EConvertError(std::string("Cannot assign a ") + (source ? source->ClassName() : "nil") + " to a " +
                        ClassName());
}

// --- TThreadPersistent -------------------------------------------------------------

namespace {
// Guards the lock counts of every object; held only briefly, never together
// with an object's own lock.
std::mutex& unitLock()
{
    static std::mutex lock;
    return lock;
}
}  // namespace

void TThreadPersistent::EndUpdate()
{
    if (updateCount_ <= 0) throw EAssertionFailed("Unpaired TThreadPersistent.EndUpdate", "Argb", 901);
    --updateCount_;
}

void TThreadPersistent::Changed()
{
    if (updateCount_ == 0 && OnChange) OnChange(this);
}

void TThreadPersistent::Lock()
{
    {
        std::lock_guard guard(unitLock());
        ++lockCount_;
    }
    lock_.lock();
}

void TThreadPersistent::Unlock()
{
    lock_.unlock();
    std::lock_guard guard(unitLock());
    --lockCount_;
}

// --- TCustomMap ----------------------------------------------------------------------

void TCustomMap::Resized()
{
    if (OnResize) OnResize(this);
}

bool TCustomMap::SetSize(int newWidth, int newHeight)
{
    const bool changed = newWidth != width_ || newHeight != height_;
    width_ = newWidth;
    height_ = newHeight;
    return changed;
}

// --- rectangles ----------------------------------------------------------------------

TRect RoundSingleRect(const TSingleRect& r, TRectRounding mode)
{
    auto even = [](float v) { return int(std::nearbyint(v)); };
    switch (mode) {
    case rmExpand:
        return TRect{int(std::floor(r.Left)), int(std::floor(r.Top)), int(std::ceil(r.Right)),
                     int(std::ceil(r.Bottom))};
    case rmShrink: {
        TRect out{int(std::ceil(r.Left)), int(std::ceil(r.Top)), int(std::floor(r.Right)), int(std::floor(r.Bottom))};
        if (out.Left > out.Right) out.Right = out.Left;
        if (out.Top > out.Bottom) out.Bottom = out.Top;
        return out;
    }
    case rmRound: break;
    }
    return TRect{even(r.Left), even(r.Top), even(r.Right), even(r.Bottom)};
}

bool IntersectRects(TRect& r, const TRect& a, const TRect& b)
{
    r = TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
              std::min(a.Bottom, b.Bottom)};
    if (r.Right < r.Left && r.Bottom < r.Top) r = TRect{};
    return !RectIsEmpty(r);
}

void OffsetRectBy(TRect& r, int dx, int dy)
{
    r.Left += dx;
    r.Right += dx;
    r.Top += dy;
    r.Bottom += dy;
}

TArgbColor ArgbFromColor(TColor color) { return ColorRefToArgb(ColorToRGB(color)); }

// --- TArgbFont ---------------------------------------------------------------------------

void TArgbFont::SetName(const std::string& name)
{
    name_ = name;
    changed();
}
void TArgbFont::SetHeight(int height)
{
    height_ = height;
    changed();
}
void TArgbFont::SetColor(TColor color)
{
    color_ = color;
    changed();
}
void TArgbFont::changed()
{
    if (!OnChange) return;
    if (OwnerLock) {
        std::lock_guard guard(*OwnerLock);
        OnChange();
    } else {
        OnChange();
    }
}

// --- TArgbBitmap ----------------------------------------------------------------------------

namespace {
std::atomic<std::int64_t> bytesInUse{0};
std::atomic<std::int64_t> peakBytes{0};

void countBytes(std::int64_t delta)
{
    const std::int64_t now = bytesInUse.fetch_add(delta) + delta;
    std::int64_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
}
}  // namespace

std::int64_t TArgbBitmap::PixelBytesInUse() { return bytesInUse.load(); }
std::int64_t TArgbBitmap::PeakPixelBytes() { return peakBytes.load(); }
void TArgbBitmap::ResetPeakPixelBytes() { peakBytes.store(bytesInUse.load()); }

TArgbBitmap::TArgbBitmap()
{
    info_.bmiHeader.Size = 40;
    info_.bmiHeader.Planes = 1;
    info_.bmiHeader.BitCount = 32;
    info_.bmiHeader.Compression = BI_RGB;
    Font.OnChange = [this] { FontChanged(); };
    Font.OwnerLock = &lock_;
}

TArgbBitmap::~TArgbBitmap()
{
    // No notification reaches owners that are going themselves.
    BeginUpdate();
    Lock();
    Font.OnChange = nullptr;
    releaseSurface();
    Unlock();
}

void TArgbBitmap::releaseSurface()
{
    if (dc_) {
        DeleteDC(dc_);
        dc_ = nullptr;
    }
    if (handle_) {
        DeleteObject(handle_);
        handle_ = nullptr;
        countBytes(-std::int64_t(width_) * height_ * 4);
    }
    bits_ = nullptr;
    selectedFont_ = nullptr;
}

bool TArgbBitmap::SetSize(int newWidth, int newHeight)
{
    if (newWidth < 1) newWidth = 0;
    if (newHeight < 1) newHeight = 0;
    if (newWidth == width_ && newHeight == height_) return false;
    try {
        releaseSurface();
        width_ = 0;
        height_ = 0;
        if (newWidth > 0 && newHeight > 0) {
            info_.bmiHeader.Width = newWidth;
            info_.bmiHeader.Height = -newHeight;  // top-down: row 0 is the top row
            void* bits = nullptr;
            handle_ = CreateDIBSection(nullptr, &info_, DIB_RGB_COLORS, &bits);
            bits_ = static_cast<TArgbColor*>(bits);
            if (!bits_) {
                if (handle_) DeleteObject(handle_);
                handle_ = nullptr;
                throw Exception("Can't allocate the DIB handle");
            }
            countBytes(std::int64_t(newWidth) * newHeight * 4);
            width_ = newWidth;  // so a failure below releases the right count
            height_ = newHeight;
            dc_ = CreateCompatibleDC(nullptr);
            if (!dc_) throw Exception("Can't create compatible DC");
            if (!SelectObject(dc_, handle_)) throw Exception("Can't select an object into DC");
        }
        width_ = newWidth;
        height_ = newHeight;
    } catch (...) {
        releaseSurface();
        width_ = 0;
        height_ = 0;
        Changed();
        Resized();
        throw;
    }
    Changed();
    Resized();
    return true;
}

void TArgbBitmap::Clear(TArgbColor color)
{
    if (Empty()) return;
    FillLongwords(bits_, std::int64_t(width_) * height_, color);
    Changed();
}

void TArgbBitmap::MakeOpaque()
{
    if (!Empty()) {
        const std::int64_t n = std::int64_t(width_) * height_;
        for (std::int64_t i = 0; i < n; ++i) bits_[i] |= 0xFF000000u;
    }
    Changed();
}

void TArgbBitmap::FillRectUnchecked(int x1, int y1, int x2, int y2, TArgbColor color)
{
    for (int y = y1; y < y2; ++y) FillLongwords(PixelPtr(x1, y), x2 - x1, color);
    Changed();
}

void TArgbBitmap::FillRectClipped(int x1, int y1, int x2, int y2, TArgbColor color)
{
    if (x1 >= x2 || y1 >= y2 || x1 >= width_ || y1 >= height_ || x2 <= 0 || y2 <= 0) return;
    FillRectUnchecked(std::max(x1, 0), std::max(y1, 0), std::min(x2, width_), std::min(y2, height_), color);
}

TArgbColor TArgbBitmap::PixelAtChecked(int x, int y) const
{
    if (x < 0 || x >= width_ || y < 0 || y >= height_ || !bits_) return OuterColor;
    return PixelAt(x, y);
}

void TArgbBitmap::DrawTo(TArgbBitmap* dst, const TRect& dstRect)
{
    DrawToRect(dst, dstRect, TRect{0, 0, width_, height_});
}

void TArgbBitmap::DrawToRect(TArgbBitmap* dst, const TRect& dstRect, const TRect& srcRect)
{
    if (Empty() || !dst || dst->Empty()) return;
    TransferStretched(dst, dstRect, this, srcRect, stretchFilter_, drawMode_, nullptr);
    dst->Changed();
}

void TArgbBitmap::DrawToDC(HDC dc, int x, int y)
{
    if (!Empty()) BitBlt(dc, x, y, width_, height_, dc_, 0, 0, SRCCOPY);
}

void TArgbBitmap::SetDrawMode(TDrawMode value)
{
    if (value == drawMode_) return;
    drawMode_ = value;
    Changed();
}

void TArgbBitmap::SetMasterAlpha(unsigned value)
{
    if (value == masterAlpha_) return;
    masterAlpha_ = value;
    Changed();
}

void TArgbBitmap::SetStretchFilter(TStretchFilter value)
{
    if (value == stretchFilter_) return;
    stretchFilter_ = value;
    Changed();
}

// --- Assign ----------------------------------------------------------------------------------

namespace {
// BeginUpdate ... EndUpdate, then one Changed, also when the body raises.
template <class Body>
void inUpdate(TArgbBitmap& bitmap, Body body)
{
    bitmap.BeginUpdate();
    try {
        body();
    } catch (...) {
        bitmap.EndUpdate();
        bitmap.Changed();
        throw;
    }
    bitmap.EndUpdate();
    bitmap.Changed();
}
}  // namespace

void TArgbBitmap::Assign(const TPersistent* source)
{
    const auto* other = dynamic_cast<const TArgbBitmap*>(source);
    if (source && !other) {
        TPersistent::Assign(source);
        return;
    }
    inUpdate(*this, [&] {
        if (!other) {
            SetSize(0, 0);
            return;
        }
        SetSize(other->width_, other->height_);
        if (Empty()) return;
        BitBlt(dc_, 0, 0, width_, height_, other->dc_, 0, 0, SRCCOPY);
        drawMode_ = other->drawMode_;
        masterAlpha_ = other->masterAlpha_;
        OuterColor = other->OuterColor;
        stretchFilter_ = other->stretchFilter_;
    });
}

void TArgbBitmap::assignPixels(const TBitmap& source)
{
    SetSize(source.Width(), source.Height());
    if (Empty()) return;
    const TPixelFormat format = source.PixelFormat();
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* in = source.ScanLine(y);
        TArgbColor* out = RowPtr(y);
        if (format == pf32bit) {
            std::memcpy(out, in, std::size_t(width_) * 4);
        } else if (format == pf24bit) {
            for (int x = 0; x < width_; ++x, in += 3)
                out[x] = TArgbColor(in[0]) | (TArgbColor(in[1]) << 8) | (TArgbColor(in[2]) << 16);
        } else {
            for (int x = 0; x < width_; ++x) out[x] = ColorRefToArgb(source.PixelColor(x, y)) & 0x00FFFFFF;
        }
    }
    if (format != pf32bit) MakeOpaque();
}

void TArgbBitmap::Assign(const TBitmap& source)
{
    inUpdate(*this, [&] { assignPixels(source); });
}

void TArgbBitmap::Assign(const TGraphic& source)
{
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(&source)) {
        Assign(*bitmap);
        return;
    }
    inUpdate(*this, [&] {
        SetSize(source.Width(), source.Height());
        if (Empty()) return;
        std::unique_ptr<TBitmap> drawn = source.RenderBitmap();
        if (drawn) drawn->SetPixelFormat(pf24bit);  // drawn as a graphic: no alpha of its own
        if (drawn && drawn->Width() == width_ && drawn->Height() == height_) assignPixels(*drawn);
        MakeOpaque();
    });
}

void TArgbBitmap::Assign(TPicture& source)
{
    if (!source.Graphic()) {
        inUpdate(*this, [&] { SetSize(0, 0); });
        return;
    }
    Assign(*source.Graphic());
}

void TArgbBitmap::Assign(TClipboardAccess& clipboard)
{
    std::unique_ptr<TGraphic> picture = clipboard.GetPicture();
    inUpdate(*this, [&] {
        if (!picture) {
            SetSize(0, 0);
            return;
        }
        // Whatever the clipboard held is drawn as a picture: no alpha survives.
        std::unique_ptr<TBitmap> drawn = picture->RenderBitmap();
        if (drawn) drawn->SetPixelFormat(pf24bit);
        if (drawn)
            assignPixels(*drawn);
        else
            SetSize(0, 0);
        MakeOpaque();
    });
}

void TArgbBitmap::CopyToBitmap(TBitmap& dest) const
{
    dest.SetPixelFormat(pf32bit);
    dest.SetSize(width_, height_);
    for (int y = 0; y < height_ && bits_; ++y) std::memcpy(dest.ScanLine(y), RowPtr(y), std::size_t(width_) * 4);
}

void TArgbBitmap::AssignTo(TPicture& dest) const
{
    auto bitmap = std::make_unique<TBitmap>();
    CopyToBitmap(*bitmap);
    dest.SetGraphic(std::move(bitmap));
}

void TArgbBitmap::AssignTo(TClipboardAccess& clipboard) const
{
    TBitmap bitmap;
    CopyToBitmap(bitmap);
    clipboard.SetBitmap(bitmap);
}

void TArgbBitmap::AssignTo(TPersistent* dest) const { TPersistent::AssignTo(dest); }

// --- streaming -------------------------------------------------------------------------------

void TArgbBitmap::DefineProperties(TFiler& filer)
{
    bool hasData;
    if (filer.Ancestor) {
        const auto* ancestor = dynamic_cast<const TArgbBitmap*>(filer.Ancestor);
        hasData = !ancestor || !SameContent(*ancestor);
    } else {
        hasData = !Empty();
    }
    filer.DefineBinaryProperty(
        "Data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, hasData);
}

namespace {
void writeLE32(TStream& stream, std::uint32_t v)
{
    const std::uint8_t b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
    stream.WriteBuffer(b, 4);
}
void writeLE16(TStream& stream, std::uint16_t v)
{
    const std::uint8_t b[2] = {std::uint8_t(v), std::uint8_t(v >> 8)};
    stream.WriteBuffer(b, 2);
}
}  // namespace

void TArgbBitmap::ReadData(TStream& stream)
{
    try {
        BoundedReader in(stream, [](TReadFault fault) {
            throw EReadError(fault == TReadFault::TooLarge ? "The bitmap is too large" : "Stream read error");
        });
        const std::int32_t w = std::int32_t(in.LE32());
        const std::int32_t h = std::int32_t(in.LE32());
        // Sizes below 1 count as 0, as SetSize takes them; the pixels are
        // stored as they are, so the stream must hold every byte.
        const std::size_t bytes = in.PictureBytes(std::uint64_t(std::max(w, 0)), std::uint64_t(std::max(h, 0)), 4, 1);
        SetSize(w, h);
        if (!Empty()) in.Read(bits_, bytes);
    } catch (...) {
        SetSize(0, 0);
        Changed();
        throw;
    }
    Changed();
}

void TArgbBitmap::WriteData(TStream& stream)
{
    writeLE32(stream, std::uint32_t(width_));
    writeLE32(stream, std::uint32_t(height_));
    if (!Empty()) stream.WriteBuffer(bits_, std::size_t(width_) * height_ * 4);
}

bool TArgbBitmap::SameContent(const TArgbBitmap& other) const
{
    if (Empty() || other.Empty()) return Empty() && other.Empty();
    if (typeid(*this) != typeid(other)) return false;
    TMemoryStream mine, theirs;
    SaveAsBitmapStream(mine);
    other.SaveAsBitmapStream(theirs);
    return mine.Bytes() == theirs.Bytes();
}

void TArgbBitmap::SaveAsBitmapStream(TStream& stream) const
{
    const std::uint32_t imageBytes = std::uint32_t(std::int64_t(width_) * height_ * 4);
    stream.WriteBuffer("BM", 2);
    writeLE32(stream, 14 + 40 + imageBytes);
    writeLE32(stream, 0);
    writeLE32(stream, 14 + 40);
    writeLE32(stream, 40);
    writeLE32(stream, std::uint32_t(width_));
    writeLE32(stream, std::uint32_t(height_));  // bottom-up rows, as bitmap files keep them
    writeLE16(stream, 1);
    writeLE16(stream, 32);
    writeLE32(stream, BI_RGB);
    writeLE32(stream, imageBytes);
    for (int i = 0; i < 4; ++i) writeLE32(stream, 0);
    for (int y = height_ - 1; y >= 0 && bits_; --y) stream.WriteBuffer(RowPtr(y), std::size_t(width_) * 4);
}

void TArgbBitmap::FontChanged()
{
    if (!selectedFont_) return;
    SelectObject(dc_, GetStockObject(SYSTEM_FONT));
    selectedFont_ = nullptr;
}
