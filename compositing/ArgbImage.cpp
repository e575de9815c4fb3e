// The paint box and the image control: buffer, stages, transform, PaintTo.

#include "compositing/ArgbImage.h"

#include "compositing/ArgbImageCanvas.h"

#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

TLayerButton layerButton(Qt::MouseButton b)
{
    switch (b) {
    case Qt::RightButton: return mbRight;
    case Qt::MiddleButton: return mbMiddle;
    default: return mbLeft;
    }
}

TShiftState shiftOf(const QMouseEvent* e)
{
    TShiftState s = 0;
    if (e->modifiers() & Qt::ShiftModifier) s |= 1;
    if (e->modifiers() & Qt::AltModifier) s |= 2;
    if (e->modifiers() & Qt::ControlModifier) s |= 4;
    if (e->buttons() & Qt::LeftButton) s |= 8;
    if (e->buttons() & Qt::RightButton) s |= 16;
    if (e->buttons() & Qt::MiddleButton) s |= 32;
    return s;
}

int roundEven(double v) { return int(std::nearbyint(v)); }

}  // namespace

Qt::CursorShape QtCursorOf(TCursor cursor)
{
    switch (cursor) {
    case crSizeNWSE: return Qt::SizeFDiagCursor;
    default: return Qt::ArrowCursor;
    }
}

// --- the widget behind a paint box -----------------------------------------------------------

class PaintBoxSurface : public QWidget {
public:
    explicit PaintBoxSurface(QWidget* parent) : QWidget(parent)
    {
        // The buffer covers every pixel: the system never erases first.
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setMouseTracking(true);
    }
    ~PaintBoxSurface() override
    {
        if (box) box->surface_ = nullptr;
    }
    TCustomArgbPaintBox* box = nullptr;

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!box) return;
        QPainter painter(this);
        box->Dispatch([&] { box->Paint(painter); });
    }
    void resizeEvent(QResizeEvent*) override
    {
        if (box) box->Dispatch([&] { box->sizeChanged(); });
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (box)
            box->Dispatch([&] { box->MouseDown(layerButton(e->button()), shiftOf(e), e->pos().x(), e->pos().y()); });
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (box) box->Dispatch([&] { box->MouseMove(shiftOf(e), e->pos().x(), e->pos().y()); });
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (box) box->Dispatch([&] { box->MouseUp(layerButton(e->button()), shiftOf(e), e->pos().x(), e->pos().y()); });
    }
    void enterEvent(QEnterEvent*) override
    {
        if (box) box->Dispatch([&] { box->MouseEnter(); });
    }
    void leaveEvent(QEvent*) override
    {
        if (box) box->Dispatch([&] { box->MouseLeave(); });
    }
};

// --- TCustomArgbPaintBox ------------------------------------------------------------------

TCustomArgbPaintBox::TCustomArgbPaintBox(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new PaintBoxSurface(parent)), buffer_(std::make_unique<TArgbBitmap>())
{
    surface_ = static_cast<PaintBoxSurface*>(Widget());
    surface_->box = this;
    buffer_->BeginUpdate();
    SetBounds(0, 0, 192, 192);
}

TCustomArgbPaintBox::~TCustomArgbPaintBox()
{
    if (surface_) surface_->box = nullptr;
}

int TCustomArgbPaintBox::Width() const { return Widget()->width(); }
int TCustomArgbPaintBox::Height() const { return Widget()->height(); }

void TCustomArgbPaintBox::SetBounds(int left, int top, int width, int height)
{
    BufferValid = false;
    Widget()->setGeometry(left, top, std::max(width, 0), std::max(height, 0));
    sizeChanged();
}

void TCustomArgbPaintBox::sizeChanged()
{
    // A hidden widget is told of its size only when shown: follow it here.
    if (Width() == lastWidth_ && Height() == lastHeight_) return;
    lastWidth_ = Width();
    lastHeight_ = Height();
    Resize();
}

TRect TCustomArgbPaintBox::GetPaintArea() const { return TRect{0, 0, Width(), Height()}; }

void TCustomArgbPaintBox::Invalidate()
{
    BufferValid = false;
    Widget()->update();
}

void TCustomArgbPaintBox::Loaded() { BufferValid = false; }

void TCustomArgbPaintBox::Resize()
{
    FitBuffer();
    BufferValid = false;
}

void TCustomArgbPaintBox::FitBuffer()
{
    const TRect r = GetPaintArea();
    const int w = std::max(r.Right - r.Left, 0), h = std::max(r.Bottom - r.Top, 0);
    TArgbBitmap& buffer = *buffer_;
    if (w == buffer.Width() && h == buffer.Height()) return;
    int newW = w, newH = h;
    if (BufferSlack != -1) {
        auto fit = [&](int need, int have) {
            if (have < need) return need + BufferSlack;
            if (need < have - BufferSlack) return need;
            return have;
        };
        newW = fit(w, buffer.Width());
        newH = fit(h, buffer.Height());
    }
    if (newW != buffer.Width() || newH != buffer.Height()) {
        buffer.SetSize(newW, newH);
        BufferValid = false;
    }
}

void TCustomArgbPaintBox::Paint(QPainter& canvas)
{
    FitBuffer();
    if (!BufferValid) RenderBuffer();
    const TRect r = GetPaintArea();
    TArgbBitmap& buffer = *buffer_;
    buffer.Lock();
    try {
        if (!buffer.Empty()) {
            // The buffer's words are 0xAARRGGBB: the screen takes the colour, not the alpha.
            const QImage view(reinterpret_cast<const uchar*>(buffer.Bits()), buffer.Width(), buffer.Height(),
                              qsizetype(buffer.Width()) * 4, QImage::Format_RGB32);
            canvas.drawImage(QPoint(r.Left, r.Top), view, QRect(0, 0, r.Right - r.Left, r.Bottom - r.Top));
        }
    } catch (...) {
        buffer.Unlock();
        throw;
    }
    buffer.Unlock();
    RenderOverlay(canvas);
}

void TCustomArgbPaintBox::RenderOverlay(QPainter&)
{
    if (OnGDIOverlay) OnGDIOverlay(this);
}

// --- TPaintStages -------------------------------------------------------------------------

TPaintStage& TPaintStages::Add()
{
    stages_.emplace_back();
    return stages_.back();
}

// --- TCustomArgbImage -------------------------------------------------------------------------

TCustomArgbImage::TCustomArgbImage(TComponent* owner, std::string name, QWidget* parent)
    : TCustomArgbPaintBox(owner, std::move(name), parent),
      bitmap_(std::make_unique<TArgbBitmap>()),
      layers_(std::make_unique<TLayerCollection>(this))
{
    bitmap_->OnChange = [this](TPersistent*) { ImageChanged(); };
    bitmap_->OnResize = [this](TPersistent*) { BitmapSizeChanged(); };
    layers_->CoordTransform = &transform_;
    layers_->OnChanged = [this](TPersistent*) { ImageChanged(); };
    layers_->OnOverlayUpdate = [this](TPersistent*) { Widget()->update(); };
    scale_ = 1.0f;
    InitDefaultStages();
}

TCustomArgbImage::~TCustomArgbImage()
{
    BeginImageUpdate();
    layers_.reset();
    bitmap_->OnChange = nullptr;
    bitmap_->OnResize = nullptr;
    bitmap_.reset();
}

void TCustomArgbImage::SetBitmap(const TArgbBitmap* value)
{
    DropTransform();
    bitmap_->Assign(value);
}

void TCustomArgbImage::SetPlacement(TBitmapPlacement value)
{
    placement_ = value;
    DropTransform();
    ImageChanged();
}

void TCustomArgbImage::SetOffsetX(float value)
{
    if (value == offsetX_) return;
    offsetX_ = value;
    DropTransform();
    ImageChanged();
}

void TCustomArgbImage::SetOffsetY(float value)
{
    if (value == offsetY_) return;
    offsetY_ = value;
    DropTransform();
    ImageChanged();
}

void TCustomArgbImage::SetScale(float value)
{
    if (!(value >= 0.001f)) value = 0.001f;
    if (value == scale_) return;
    DropTransform();
    scale_ = value;
    ScaleChanged();
    ImageChanged();
}

void TCustomArgbImage::SetSizingMode(TSizingMode value)
{
    if (value == sizingMode_) return;
    sizingMode_ = value;
    DropTransform();
    ImageChanged();
}

void TCustomArgbImage::EndImageUpdate()
{
    --updateCount_;
    if (updateCount_ < 0) {
        updateCount_ = 0;
        throw EAssertionFailed("Unpaired EndUpdate call", "ArgbImage", 876);
    }
}

void TCustomArgbImage::ImageChanged()
{
    if (updateCount_ != 0) return;
    Invalidate();
    if (OnChange) OnChange(this);
}

TPoint TCustomArgbImage::displayedSize() const
{
    if (sizingMode_ == szScale)
        return TPoint{roundEven(double(bitmap_->Width()) * scale_), roundEven(double(bitmap_->Height()) * scale_)};
    return TPoint{bitmap_->Width(), bitmap_->Height()};
}

void TCustomArgbImage::BitmapSizeChanged()
{
    if (AutoSize) {
        const TPoint size = displayedSize();
        if (size.X > 0 && size.Y > 0) SetBounds(Widget()->x(), Widget()->y(), size.X, size.Y);
    }
    if (updateCount_ == 0 && OnBitmapResize) OnBitmapResize(this);
    DropTransform();
    Invalidate();
}

bool TCustomArgbImage::CanAutoSize(int& newWidth, int& newHeight)
{
    DropTransform();
    const TPoint size = displayedSize();
    if (size.X > 0 && size.Y > 0) {
        if (Align == alNone || Align == alLeft || Align == alRight) newWidth = size.X;
        if (Align == alNone || Align == alTop || Align == alBottom) newHeight = size.Y;
    }
    return true;
}

void TCustomArgbImage::InitStages()
{
    if (OnInitStages) OnInitStages(this);
}

void TCustomArgbImage::InitDefaultStages()
{
    auto add = [this](bool atDesign, bool atRun, unsigned kind, unsigned parameter = 0) {
        TPaintStage& stage = stages_.Add();
        stage.AtDesign = atDesign;
        stage.AtRun = atRun;
        stage.Kind = kind;
        stage.Parameter = parameter;
    };
    add(true, true, psBackground);
    add(true, false, psControlFrame);
    add(true, true, psBitmap);
    add(true, false, psBitmapFrame);
    add(true, true, psLayers, LOB_VISIBLE);
}

TPoint TCustomArgbImage::ComputeViewSize() const
{
    const int bw = bitmap_->Width(), bh = bitmap_->Height();
    if (bitmap_->Empty() || Width() == 0 || Height() == 0) return TPoint{0, 0};
    switch (sizingMode_) {
    case szNormal: return TPoint{bw, bh};
    case szStretch: return TPoint{Width(), Height()};
    case szFit: {
        const float sx = float(Width()) / float(bw), sy = float(Height()) / float(bh);
        if (sx >= sy) return TPoint{roundEven(double(float(bw) * sy)), Height()};
        return TPoint{Width(), roundEven(double(sx * float(bh)))};
    }
    case szScale: break;
    }
    return TPoint{roundEven(double(float(bw) * scale_)), roundEven(double(float(bh) * scale_))};
}

TRect TCustomArgbImage::ComputeViewRect()
{
    if (bitmap_->Empty()) return TRect{};
    const TPoint size = ComputeViewSize();
    TRect r{0, 0, size.X, size.Y};
    if (placement_ == plCenter)
        OffsetRectBy(r, (Width() - size.X) / 2, (Height() - size.Y) / 2);
    else if (placement_ == plOffset)
        OffsetRectBy(r, roundEven(offsetX_), roundEven(offsetY_));
    return r;
}

void TCustomArgbImage::transformFrom(const TRect& v)
{
    const int vw = v.Right - v.Left, vh = v.Bottom - v.Top;
    const int bw = bitmap_->Width(), bh = bitmap_->Height();
    if (vw <= 0 || vh <= 0 || bitmap_->Empty()) {
        transform_ = TViewTransform{};
        return;
    }
    transform_.ShiftX = v.Left;
    transform_.ShiftY = v.Top;
    transform_.ScaleX = MulDivRound(vw, 65536, bw);
    transform_.ScaleY = MulDivRound(vh, 65536, bh);
    transform_.RecScaleX = MulDivRound(bw, 65536, vw);
    transform_.RecScaleY = MulDivRound(bh, 65536, vh);
}

void TCustomArgbImage::EnsureTransform()
{
    if (transform_.Valid) return;
    viewRect_ = ComputeViewRect();
    transformFrom(viewRect_);
    transform_.Valid = true;
}

TPoint TCustomArgbImage::ControlToBitmap(const TPoint& p)
{
    EnsureTransform();
    return TPoint{int(std::int64_t(p.X - transform_.ShiftX) * transform_.RecScaleX / 65536),
                  int(std::int64_t(p.Y - transform_.ShiftY) * transform_.RecScaleY / 65536)};
}

void TCustomArgbImage::ExecStage(TArgbBitmap* target, int index)
{
    switch (stages_[index].Kind) {
    case psCustom: ExecCustom(target, index); break;
    case psClear: ExecClear(target, index); break;
    case psBackground: ExecBackground(target, index); break;
    case psBitmap: ExecDrawBitmap(target, index); break;
    case psLayers: ExecDrawLayers(target, index); break;
    case psControlFrame: ExecControlFrame(target, index); break;
    case psBitmapFrame: ExecBitmapFrame(target, index); break;
    default: break;
    }
}

void TCustomArgbImage::PaintTo(TArgbBitmap* dest, const TRect& destRect)
{
    viewRect_ = destRect;
    transformFrom(destRect);
    transform_.Valid = true;
    try {
        for (int i = 0; i < stages_.Count(); ++i)
            if (stages_[i].AtRun) ExecStage(dest, i);
    } catch (...) {
        transform_.Valid = false;
        throw;
    }
    transform_.Valid = false;
}

void TCustomArgbImage::RenderBuffer()
{
    EnsureTransform();
    for (int i = 0; i < stages_.Count(); ++i)
        if (stages_[i].AtRun) ExecStage(Buffer(), i);
    TCustomArgbPaintBox::RenderBuffer();
}

void TCustomArgbImage::RenderOverlay(QPainter& canvas)
{
    TLayerCanvas layerCanvas{canvas};
    for (int i = 0; i < layers_->Count(); ++i) {
        TCustomLayer* layer = layers_->Items(i);
        if (layer->LayerOptions & LOB_GDI_OVERLAY) layer->PaintOverlay(layerCanvas);
    }
    TCustomArgbPaintBox::RenderOverlay(canvas);
}

void TCustomArgbImage::ExecCustom(TArgbBitmap* target, int stage)
{
    if (OnPaintStage) OnPaintStage(this, target, stage);
}

void TCustomArgbImage::ExecClear(TArgbBitmap* target, int) { target->Clear(ArgbFromColor(Color())); }

void TCustomArgbImage::ExecBackground(TArgbBitmap* target, int)
{
    const TArgbColor c = ArgbFromColor(Color());
    if (bitmap_->Empty() || bitmap_->DrawMode() != dmOpaque) {
        target->Clear(c);
        return;
    }
    // The strips around the bitmap, from the control's own size.
    const TRect& v = viewRect_;
    const int w = Width(), h = Height();
    if (v.Left <= 0 && v.Top <= 0 && v.Right >= w && v.Bottom >= h) return;
    target->FillRectClipped(0, 0, w, v.Top, c);
    target->FillRectClipped(0, v.Bottom, w, h, c);
    target->FillRectClipped(0, v.Top, v.Left, v.Bottom, c);
    target->FillRectClipped(v.Right, v.Top, w, v.Bottom, c);
}

void TCustomArgbImage::ExecDrawBitmap(TArgbBitmap* target, int)
{
    if (bitmap_->Empty() || RectIsEmpty(viewRect_)) return;
    bitmap_->Lock();
    try {
        if (placement_ == plTile) {
            const int cw = viewRect_.Right, ch = viewRect_.Bottom;
            for (int r = 0; r <= target->Height() / ch; ++r)
                for (int c = 0; c <= target->Width() / cw; ++c)
                    bitmap_->DrawTo(target, TRect{c * cw, r * ch, c * cw + cw, r * ch + ch});
        } else {
            bitmap_->DrawTo(target, viewRect_);
        }
    } catch (...) {
        bitmap_->Unlock();
        throw;
    }
    bitmap_->Unlock();
}

void TCustomArgbImage::ExecDrawLayers(TArgbBitmap* target, int stage)
{
    const unsigned mask = stages_[stage].Parameter;
    for (int i = 0; i < layers_->Count(); ++i) {
        TCustomLayer* layer = layers_->Items(i);
        if (layer->LayerOptions & mask) layer->PaintLayer(target);
    }
}

void TCustomArgbImage::ExecControlFrame(TArgbBitmap* target, int)
{
    const RECT r{0, 0, Width(), Height()};
    DrawFocusRect(target->DC(), &r);
}

void TCustomArgbImage::ExecBitmapFrame(TArgbBitmap* target, int)
{
    const RECT r{viewRect_.Left, viewRect_.Top, viewRect_.Right, viewRect_.Bottom};
    DrawFocusRect(target->DC(), &r);
}

void TCustomArgbImage::Invalidate()
{
    BufferValid = false;
    DropTransform();
    TCustomArgbPaintBox::Invalidate();
}

void TCustomArgbImage::Resize()
{
    DropTransform();
    TCustomArgbPaintBox::Resize();
}

void TCustomArgbImage::Loaded()
{
    TCustomArgbPaintBox::Loaded();
    InitStages();
}

void TCustomArgbImage::MouseDown(TLayerButton button, TShiftState shift, int x, int y)
{
    TCustomLayer* layer = layers_->MouseEvents ? layers_->RouteMouseDown(button, shift, x, y) : nullptr;
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y, layer);
}

void TCustomArgbImage::MouseMove(TShiftState shift, int x, int y)
{
    TCustomLayer* layer = nullptr;
    if (layers_->MouseEvents) {
        layer = layers_->RouteMouseMove(shift, x, y);
        Widget()->setCursor(QtCursorOf(ScreenCursor()));
    }
    if (OnMouseMove) OnMouseMove(this, shift, x, y, layer);
}

void TCustomArgbImage::MouseUp(TLayerButton button, TShiftState shift, int x, int y)
{
    TCustomLayer* layer = layers_->MouseEvents ? layers_->RouteMouseUp(button, shift, x, y) : nullptr;
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y, layer);
}

void TCustomArgbImage::MouseEnter()
{
    if (OnMouseEnter) OnMouseEnter(this);
}

void TCustomArgbImage::MouseLeave()
{
    if (layers_->MouseEvents && !layers_->CapturedLayer()) SetScreenCursor(crDefault);
    if (OnMouseLeave) OnMouseLeave(this);
}
