// The image view: an image control with two range bars that scroll a scaled
// bitmap, and a size grip in the corner between them.

#include "compositing/ArgbImage.h"

#include "compositing/ArgbImageCanvas.h"
#include "platform/gui/QtBridge.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>
#include <QWindow>

#include <cmath>

namespace {
const TColor BarColour = SystemColor(COLOR_BTNSHADOW);
}

// --- TIVScrollProperties ----------------------------------------------------------------

TIVScrollProperties::TIVScrollProperties(TCustomArgbImgView* view) : view_(view)
{
    Master = view->HorzBar;
    Slave = view->VertBar;
}

int TIVScrollProperties::Increment() const { return int(std::nearbyint(view_->HorzBar->Increment())); }

void TIVScrollProperties::SetIncrement(int value)
{
    view_->HorzBar->SetIncrement(float(value));
    view_->VertBar->SetIncrement(float(value));
}

int TIVScrollProperties::Size() const { return view_->BarSize; }

void TIVScrollProperties::SetSize(int value)
{
    view_->BarSize = value;
    view_->LayoutBars();
}

void TIVScrollProperties::Assign(const TPersistent* source)
{
    TArrowBarAccess::Assign(source);
    if (const auto* other = dynamic_cast<const TIVScrollProperties*>(source)) {
        SetIncrement(other->Increment());
        SetSize(other->Size());
    }
}

// --- TCustomArgbImgView -------------------------------------------------------------------

TCustomArgbImgView::TCustomArgbImgView(TComponent* owner, std::string name, QWidget* parent)
    : TCustomArgbImage(owner, std::move(name), parent)
{
    HorzBar = Make<TCustomRangeBar>("HorzBar", Widget());
    VertBar = Make<TCustomRangeBar>("VertBar", Widget());
    for (TCustomRangeBar* bar : {HorzBar, VertBar}) {
        bar->SetFramed(true);
        bar->SetColor(BarColour);
        bar->SetHandleColor(BarColour);
        bar->Centered = true;
        bar->OnUserChange = [this](TComponent* sender) { BarMoved(sender); };
    }
    VertBar->SetKind(sbVertical);
    centered_ = true;
    SetSizingMode(szScale);
    SetPlacement(plOffset);
    scrollBars_ = std::make_unique<TIVScrollProperties>(this);
    LayoutBars();
}

TCustomArgbImgView::~TCustomArgbImgView()
{
    // The bars outlive this part of the view; they must not call back into it.
    HorzBar->OnUserChange = nullptr;
    VertBar->OnUserChange = nullptr;
}

int TCustomArgbImgView::BarThickness() const { return BarSize != 0 ? BarSize : GetSystemMetrics(SM_CYHSCROLL); }

TRect TCustomArgbImgView::GetPaintArea() const
{
    return TRect{0, 0, Width() - BarThickness(), Height() - BarThickness()};
}

void TCustomArgbImgView::LayoutBars()
{
    const TRect r = GetPaintArea();
    HorzBar->SetBounds(r.Left, r.Bottom, r.Right - r.Left, Height() - r.Bottom);
    VertBar->SetBounds(r.Right, r.Top, Width() - r.Right, r.Bottom - r.Top);
    HorzBar->Repaint();
    VertBar->Repaint();
}

void TCustomArgbImgView::SizeBars()
{
    const TPoint size = ComputeViewSize();
    HorzBar->SetRange(float(size.X));
    VertBar->SetRange(float(size.Y));
}

void TCustomArgbImgView::PlaceBitmap()
{
    const TPoint size = ComputeViewSize();
    const TRect r = GetPaintArea();
    const int areaW = r.Right - r.Left, areaH = r.Bottom - r.Top;
    BeginImageUpdate();
    if (centered_) {
        SetOffsetX(size.X < areaW ? float(areaW - size.X) / 2 : -HorzBar->Position());
        SetOffsetY(size.Y < areaH ? float(areaH - size.Y) / 2 : -VertBar->Position());
    } else {
        SetOffsetX(-HorzBar->Position());
        SetOffsetY(-VertBar->Position());
    }
    DropTransform();
    EndImageUpdate();
    ImageChanged();
}

void TCustomArgbImgView::CenterOn(int x, int y)
{
    SuppressBarEvents = true;
    LayoutBars();
    const TRect r = GetPaintArea();
    HorzBar->SetPosition(float(x) * Scale() - float(r.Right - r.Left) / 2);
    VertBar->SetPosition(float(y) * Scale() - float(r.Bottom - r.Top) / 2);
    SuppressBarEvents = false;
    PlaceBitmap();
}

void TCustomArgbImgView::BitmapSizeChanged()
{
    TCustomArgbImage::BitmapSizeChanged();
    SizeBars();
    if (centered_) {
        CenterOn(Bitmap()->Width() / 2, Bitmap()->Height() / 2);
    } else {
        HorzBar->SetPosition(0);
        VertBar->SetPosition(0);
        PlaceBitmap();
    }
}

void TCustomArgbImgView::ScaleChanged()
{
    DropTransform();
    SizeBars();
    PlaceBitmap();
    Invalidate();
}

void TCustomArgbImgView::SetCentered(bool value)
{
    DropTransform();
    centered_ = value;
    HorzBar->Centered = value;
    VertBar->Centered = value;
    SizeBars();
    PlaceBitmap();
    if (value)
        CenterOn(Bitmap()->Width() / 2, Bitmap()->Height() / 2);
    else
        CenterOn(0, 0);
}

void TCustomArgbImgView::SetSizeGrip(TSizeGripStyle value)
{
    if (value == sizeGrip_) return;
    sizeGrip_ = value;
    Invalidate();
}

void TCustomArgbImgView::BarMoved(TComponent* bar)
{
    if (SuppressBarEvents) return;
    if (auto* moved = dynamic_cast<TArrowBar*>(bar)) moved->Repaint();
    PlaceBitmap();
    NotifyScroll();
    Widget()->update();
}

void TCustomArgbImgView::NotifyScroll()
{
    if (OnScroll) OnScroll(this);
}

void TCustomArgbImgView::Resize()
{
    LayoutBars();
    DropTransform();
    SizeBars();
    PlaceBitmap();
    Invalidate();
    TCustomArgbImage::Resize();
}

void TCustomArgbImgView::Loaded()
{
    LayoutBars();
    Invalidate();
    SizeBars();
    if (centered_) CenterOn(Bitmap()->Width() / 2, Bitmap()->Height() / 2);
    TCustomArgbImage::Loaded();
}

TRect TCustomArgbImgView::GripRect() const
{
    const int t = BarThickness();
    return TRect{Width() - t, Height() - t, Width(), Height()};
}

bool TCustomArgbImgView::GripShown() const
{
    switch (sizeGrip_) {
    case sgAlways: return true;
    case sgNone: return false;
    case sgAuto: break;
    }
    // Only a view that fills its window can resize it from the corner.
    if (Align != alClient) return false;
    const QWidget* w = Widget();
    for (; w->parentWidget() && !w->parentWidget()->isWindow(); w = w->parentWidget())
        if (w->geometry() != w->parentWidget()->rect()) return false;
    return true;
}

void TCustomArgbImgView::Paint(QPainter& canvas)
{
    TCustomArgbImage::Paint(canvas);
    const TRect g = GripRect();
    const QRect grip(g.Left, g.Top, g.Right - g.Left, g.Bottom - g.Top);
    const TColor face = ColorToRGB(SystemColor(COLOR_BTNFACE));
    canvas.fillRect(grip, ToQColor(face));
    if (GripShown()) {
        QStyleOption option;
        option.initFrom(Widget());
        option.rect = grip;
        Widget()->style()->drawControl(QStyle::CE_SizeGrip, &option, &canvas, Widget());
    }
}

void TCustomArgbImgView::MouseDown(TLayerButton button, TShiftState shift, int x, int y)
{
    if (GripShown() && PointInRect(GripRect(), TPoint{x, y}) && dynamic_cast<TForm*>(Owner())) {
        // The window system resizes the form from its corner.
        if (QWindow* window = Widget()->window()->windowHandle())
            window->startSystemResize(Qt::BottomEdge | Qt::RightEdge);
        return;
    }
    TCustomArgbImage::MouseDown(button, shift, x, y);
}

void TCustomArgbImgView::MouseMove(TShiftState shift, int x, int y)
{
    if (GripShown() && PointInRect(GripRect(), TPoint{x, y})) {
        SetScreenCursor(crSizeNWSE);
        Widget()->setCursor(QtCursorOf(crSizeNWSE));
        return;
    }
    TCustomArgbImage::MouseMove(shift, x, y);
}
