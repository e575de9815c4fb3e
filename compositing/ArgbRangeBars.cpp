#include "compositing/ArgbRangeBars.h"

#include "platform/gui/QtBridge.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPolygon>
#include <QResizeEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

QColor qColor(TColor c) { return ToQColor(ColorToRGB(c)); }

int roundEven(double v) { return int(std::nearbyint(v)); }

const TColor BtnFace = SystemColor(COLOR_BTNFACE);
const TColor BtnShadow = SystemColor(COLOR_BTNSHADOW);
const TColor BtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
const TColor WindowFrame = SystemColor(COLOR_WINDOWFRAME);
const TColor Highlight = SystemColor(COLOR_HIGHLIGHT);

void frame(QPainter& canvas, const QRect& r, TColor colour)
{
    if (r.width() <= 0 || r.height() <= 0) return;
    canvas.setPen(Qt::NoPen);
    canvas.setBrush(qColor(colour));
    canvas.drawRect(r.left(), r.top(), r.width(), 1);
    canvas.drawRect(r.left(), r.bottom(), r.width(), 1);
    canvas.drawRect(r.left(), r.top(), 1, r.height());
    canvas.drawRect(r.right(), r.top(), 1, r.height());
}

}  // namespace

TColor LightenColor(TColor color, int amount)
{
    const TColor rgb = ColorToRGB(color);
    auto ch = [&](int shift) { return TColor(std::clamp(int((rgb >> shift) & 0xFF) + amount, 0, 255)) << shift; };
    return ch(0) | ch(8) | ch(16);
}

TColor MixColors(TColor c1, TColor c2, int w)
{
    w = std::clamp(w, 0, 255);
    const TColor a = ColorToRGB(c1), b = ColorToRGB(c2);
    TColor out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int v = (w * int((a >> shift) & 0xFF) + (255 - w) * int((b >> shift) & 0xFF)) / 255;
        out |= TColor(v) << shift;
    }
    return out;
}

void FrameNested3D(QPainter& canvas, QRect& rect, TColor topLeft, int count, TColor bottomRight)
{
    canvas.setPen(Qt::NoPen);
    for (int i = 0; i < count && rect.width() > 0 && rect.height() > 0; ++i) {
        canvas.setBrush(qColor(topLeft));
        canvas.drawRect(rect.left(), rect.top(), rect.width(), 1);
        canvas.drawRect(rect.left(), rect.top(), 1, rect.height());
        canvas.setBrush(qColor(bottomRight));
        canvas.drawRect(rect.left(), rect.bottom(), rect.width(), 1);
        canvas.drawRect(rect.right(), rect.top(), 1, rect.height());
        rect.adjust(1, 1, -1, -1);
    }
}

// --- the widget behind a bar ---------------------------------------------------------

class ArrowBarSurface : public QWidget {
public:
    explicit ArrowBarSurface(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(false);
    }
    ~ArrowBarSurface() override
    {
        if (bar) bar->surface_ = nullptr;
    }
    TArrowBar* bar = nullptr;

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!bar) return;
        QPainter painter(this);
        bar->Dispatch([&] { bar->Paint(painter); });
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (bar) bar->Dispatch([&] { bar->MouseDown(MouseButtonOf(e->button()), e->pos().x(), e->pos().y()); });
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (bar) bar->Dispatch([&] { bar->MouseMove(e->pos().x(), e->pos().y()); });
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (bar) bar->Dispatch([&] { bar->MouseUp(MouseButtonOf(e->button()), e->pos().x(), e->pos().y()); });
    }
    void resizeEvent(QResizeEvent*) override
    {
        if (bar) bar->Dispatch([&] { bar->sizeChanged(); });
    }
};

// --- TArrowBar ---------------------------------------------------------------------------

TArrowBar::TArrowBar(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new ArrowBarSurface(parent)), handleColor_(BtnShadow)
{
    surface_ = static_cast<ArrowBarSurface*>(Widget());
    surface_->bar = this;
    timer_ = std::make_unique<QTimer>();
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Dispatch([this] { TimerTick(); }); });
    TControl::SetColor(BtnShadow);
    SetBounds(0, 0, 100, 16);
    RebuildPattern();
}

TArrowBar::~TArrowBar()
{
    if (surface_) surface_->bar = nullptr;
}

int TArrowBar::Width() const { return Widget()->width(); }
int TArrowBar::Height() const { return Widget()->height(); }

void TArrowBar::SetBounds(int left, int top, int width, int height)
{
    Widget()->setGeometry(left, top, std::max(width, 0), std::max(height, 0));
    sizeChanged();
}

void TArrowBar::sizeChanged()
{
    // A hidden widget gets its resize event only when shown: follow the size here.
    if (Width() == lastWidth_ && Height() == lastHeight_) return;
    lastWidth_ = Width();
    lastHeight_ = Height();
    Resize();
}

void TArrowBar::Repaint() { Widget()->update(); }

void TArrowBar::SetBackgnd(TRBBackgnd value)
{
    if (value == backgnd_) return;
    backgnd_ = value;
    RebuildPattern();
    Repaint();
}
void TArrowBar::SetBorderStyle(TBarBorderStyle value)
{
    if (value == borderStyle_) return;
    borderStyle_ = value;
    Repaint();
}
void TArrowBar::SetButtonSize(int value)
{
    if (value == buttonSize_) return;
    buttonSize_ = value;
    Repaint();
}
void TArrowBar::SetFramed(bool value)
{
    if (value == framed_) return;
    framed_ = value;
    Repaint();
}
void TArrowBar::SetHandleColor(TColor value)
{
    if (value == handleColor_) return;
    handleColor_ = value;
    Repaint();
}
void TArrowBar::SetKind(TScrollBarKind value)
{
    if (value == kind_) return;
    kind_ = value;
    Repaint();
}
void TArrowBar::SetShowArrows(bool value)
{
    if (value == showArrows_) return;
    showArrows_ = value;
    Repaint();
}
void TArrowBar::SetShowHandleGrip(bool value)
{
    if (value == showHandleGrip_) return;
    showHandleGrip_ = value;
    Repaint();
}
void TArrowBar::SetColor(TColor color)
{
    TControl::SetColor(color);
    RebuildPattern();
    Repaint();
}
void TArrowBar::SetEnabled(bool enabled)
{
    TControl::SetEnabled(enabled);
    RebuildPattern();
    Repaint();
}

void TArrowBar::DoChange()
{
    if (OnChange) OnChange(this);
    if (userChange_ && OnUserChange) OnUserChange(this);
}

QRect TArrowBar::ClientArea() const
{
    QRect r(0, 0, Width(), Height());
    if (borderStyle_ == TBarBorderStyle::Single) r.adjust(1, 1, -1, -1);
    return r;
}

int TArrowBar::Length() const { return kind_ == sbHorizontal ? Width() : Height(); }

int TArrowBar::ButtonLength() const
{
    if (!showArrows_) return 0;
    const int border = borderStyle_ == TBarBorderStyle::Single ? 2 : 0;
    int result = buttonSize_;
    if (result == 0) result = std::min((kind_ == sbHorizontal ? Height() : Width()) - border, 32);
    const int length = Length() - border;
    if (length < 2 * result) result = length / 2;
    return result;
}

int TArrowBar::GetZone(int x, int y) const
{
    const QRect r = ClientArea();
    if (!r.contains(x, y)) return 0;
    const int along = kind_ == sbHorizontal ? x - r.left() : y - r.top();
    const int length = kind_ == sbHorizontal ? r.width() : r.height();
    const int button = ButtonLength();
    if (along < button) return 1;
    if (along >= length - button) return 2;
    return 0;
}

void TArrowBar::RebuildPattern()
{
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            TColor& c = pattern_[std::size_t(y * 8 + x)];
            switch (backgnd_) {
            case bgSolid: c = ColorToRGB(Color()); break;
            case bgPattern: c = ((x ^ y) & 1) ? ColorToRGB(BtnFace) : ColorToRGB(Color()); break;
            case bgMix: c = MixColors(BtnFace, Color(), 127); break;
            }
        }
}

bool TArrowBar::TimerActive() const { return timer_->isActive(); }
int TArrowBar::TimerInterval() const { return timer_->interval(); }
void TArrowBar::StopTimer() { timer_->stop(); }

void TArrowBar::MouseDown(TMouseButton button, int x, int y)
{
    if (button != TMouseButton::Left) return;
    zone_ = GetZone(x, y);
    mouseDownPoint_ = TPoint{x, y};
    timer_->setInterval(600);
    timerFirst_ = true;
    userChange_ = true;
    RepeatAction();
    userChange_ = false;
    timer_->start();
    Repaint();
}

void TArrowBar::MouseMove(int, int) {}

void TArrowBar::MouseUp(TMouseButton, int, int)
{
    zone_ = 0;
    Repaint();
    timer_->stop();
}

void TArrowBar::TimerTick()
{
    if (timerFirst_) {
        timer_->setInterval(100);
        timerFirst_ = false;
    }
    userChange_ = true;
    RepeatAction();
    userChange_ = false;
}

void TArrowBar::DrawButton(QPainter& canvas, const QRect& rect, bool pushed, bool enabled, TRBDirection direction)
{
    if (rect.width() <= 0 || rect.height() <= 0) return;
    canvas.fillRect(rect, qColor(BtnFace));
    QRect inner = rect;
    if (pushed)
        FrameNested3D(canvas, inner, BtnShadow, 1, BtnShadow);
    else
        FrameNested3D(canvas, inner, BtnHighlight, 1, BtnShadow);
    // The arrow: a triangle of about a third of the button, pointing the way it scrolls.
    const int size = std::max(2, std::min(rect.width(), rect.height()) / 3);
    const QPoint c = rect.center() + (pushed ? QPoint(1, 1) : QPoint(0, 0));
    QPolygon arrow;
    switch (direction) {
    case drLeft:
        arrow << QPoint(c.x() - size / 2, c.y()) << QPoint(c.x() + size / 2, c.y() - size)
              << QPoint(c.x() + size / 2, c.y() + size);
        break;
    case drRight:
        arrow << QPoint(c.x() + size / 2, c.y()) << QPoint(c.x() - size / 2, c.y() - size)
              << QPoint(c.x() - size / 2, c.y() + size);
        break;
    case drUp:
        arrow << QPoint(c.x(), c.y() - size / 2) << QPoint(c.x() - size, c.y() + size / 2)
              << QPoint(c.x() + size, c.y() + size / 2);
        break;
    case drDown:
        arrow << QPoint(c.x(), c.y() + size / 2) << QPoint(c.x() - size, c.y() - size / 2)
              << QPoint(c.x() + size, c.y() - size / 2);
        break;
    }
    canvas.setPen(Qt::NoPen);
    canvas.setBrush(enabled ? QColor(0, 0, 0) : qColor(BtnShadow));
    canvas.drawPolygon(arrow);
}

void TArrowBar::Paint(QPainter& canvas)
{
    QRect r(0, 0, Width(), Height());
    if (r.isEmpty()) return;
    if (borderStyle_ == TBarBorderStyle::Single) FrameNested3D(canvas, r, BtnShadow, 1, BtnHighlight);
    const bool horizontal = kind_ == sbHorizontal;
    const int button = ButtonLength();
    QRect first = r, second = r, track = r;
    if (horizontal) {
        first.setWidth(button);
        second.setLeft(r.right() + 1 - button);
        track.adjust(button, 0, -button, 0);
    } else {
        first.setHeight(button);
        second.setTop(r.bottom() + 1 - button);
        track.adjust(0, button, 0, -button);
    }
    const bool active = IsActive();
    const TColor frameColour = active ? WindowFrame : BtnShadow;
    if (button > 0) {
        QRect a = first, b = second;
        if (framed_) {
            frame(canvas, a, frameColour);
            frame(canvas, b, frameColour);
            a.adjust(1, 1, -1, -1);
            b.adjust(1, 1, -1, -1);
        }
        DrawButton(canvas, a, zone_ == 1, active, horizontal ? drLeft : drUp);
        DrawButton(canvas, b, zone_ == 2, active, horizontal ? drRight : drDown);
    }
    if (track.width() <= 0 || track.height() <= 0) return;
    if (framed_) {
        frame(canvas, track, frameColour);
        track.adjust(1, 1, -1, -1);
    }
    if (active) {
        // The edge's colour is first mixed half with the button face, except on a solid track.
        const TColor base = backgnd_ == bgSolid ? Color() : MixColors(BtnFace, Color(), 127);
        QRect inner = track;
        FrameNested3D(canvas, inner, LightenColor(base, 32), 1, LightenColor(base, -32));
        QImage brush(8, 8, QImage::Format_RGB32);
        for (int i = 0; i < 64; ++i) brush.setPixel(i % 8, i / 8, qColor(pattern_[std::size_t(i)]).rgb());
        canvas.fillRect(inner, QBrush(brush));
    } else {
        canvas.fillRect(track, qColor(BtnFace));
    }
    PaintTrackExtras(canvas, track);
}

// --- TCustomRangeBar ----------------------------------------------------------------------

TCustomRangeBar::TCustomRangeBar(TComponent* owner, std::string name, QWidget* parent)
    : TArrowBar(owner, std::move(name), parent)
{
    lastEffectiveWindow_ = EffectiveWindow();
}

void TCustomRangeBar::SetIncrement(float value) { increment_ = std::max(value, 0.001f); }

float TCustomRangeBar::EffectiveWindow() const
{
    lastEffectiveWindow_ = window_ > 0 ? window_ : float(Length());
    return lastEffectiveWindow_;
}

void TCustomRangeBar::AdjustPosition()
{
    const float window = EffectiveWindow();
    if (position_ + window > range_) position_ = range_ - window;
    if (!(position_ >= 0)) position_ = 0;
}

bool TCustomRangeBar::IsActive() const { return Enabled() && EffectiveWindow() < range_; }

void TCustomRangeBar::SetParams(float newWindow, float newRange)
{
    newWindow = std::max(newWindow, 0.0f);
    newRange = std::max(newRange, 0.0f);
    if (newWindow == window_ && newRange == range_) return;
    const float oldRange = range_;
    range_ = newRange;
    window_ = newWindow;
    const float window = EffectiveWindow();
    if (Centered && range_ > window) {
        const float half = window / 2;
        const float ratio = oldRange > window ? (half + position_) / oldRange : 0.5f;
        position_ = range_ * ratio - half;
    }
    AdjustPosition();
    Repaint();
}

void TCustomRangeBar::SetPosition(float value)
{
    if (value == position_) return;
    position_ = value;
    AdjustPosition();
    Repaint();
    DoChange();
}

TRect TCustomRangeBar::HandleRect() const
{
    QRect track = ClientArea();
    const int button = ButtonLength();
    const bool horizontal = Kind() == sbHorizontal;
    if (horizontal)
        track.adjust(button, 0, -button, 0);
    else
        track.adjust(0, button, 0, -button);
    const int length = horizontal ? track.width() : track.height();
    if (length <= 17) return TRect{};
    const float window = EffectiveWindow();
    int start = 0, size = length;
    if (window < range_) {
        size = roundEven(double(window) * length / range_);
        if (size < 17) {
            size = 17;
            start = roundEven(double(length - 17) * position_ / (range_ - window));
        } else {
            start = roundEven(double(length) * position_ / range_);
        }
    }
    if (horizontal) return TRect{track.left() + start, track.top(), track.left() + start + size, track.bottom() + 1};
    return TRect{track.left(), track.top() + start, track.right() + 1, track.top() + start + size};
}

int TCustomRangeBar::GetZone(int x, int y) const
{
    const int zone = TArrowBar::GetZone(x, y);
    if (zone != 0 || !ClientArea().contains(x, y)) return zone;
    const TRect handle = HandleRect();
    if (RectIsEmpty(handle)) return 0;
    if (PointInRect(handle, TPoint{x, y})) return 3;
    const bool horizontal = Kind() == sbHorizontal;
    const int along = horizontal ? x : y;
    return along < (horizontal ? handle.Left : handle.Top) ? 4 : 5;
}

void TCustomRangeBar::MouseDown(TMouseButton button, int x, int y)
{
    if (!IsActive()) return;
    TArrowBar::MouseDown(button, x, y);
    if (Zone() == 3) {
        StopTimer();
        dragStartPosition_ = position_;
    }
}

void TCustomRangeBar::MouseMove(int x, int y)
{
    TArrowBar::MouseMove(x, y);
    const float window = EffectiveWindow();
    if (Zone() != 3 || range_ <= window) return;
    const bool horizontal = Kind() == sbHorizontal;
    const int d = horizontal ? x - mouseDownPoint_.X : y - mouseDownPoint_.Y;
    const int track = Length() - 2 * ButtonLength() - (BorderStyle() == TBarBorderStyle::Single ? 2 : 0);
    float shift;
    if (roundEven(double(window) * track / range_) > 16)
        shift = range_ * float(d) / float(track);
    else
        shift = float(roundEven(double(d) * (range_ - window) / double(track - 17)));
    userChange_ = true;
    SetPosition(dragStartPosition_ + shift);
    userChange_ = false;
}

void TCustomRangeBar::RepeatAction()
{
    switch (Zone()) {
    case 1: SetPosition(position_ - increment_); break;
    case 2: SetPosition(position_ + increment_); break;
    case 4:
    case 5:
        // Page steps go on only while the pointer stays over the same part of the track.
        if (GetZone(mouseDownPoint_.X, mouseDownPoint_.Y) == Zone()) {
            SetPosition(position_ + (Zone() == 4 ? -EffectiveWindow() : EffectiveWindow()));
        } else {
            StopTimer();
            ClearZone();
            Repaint();
        }
        break;
    default: break;
    }
}

void TCustomRangeBar::Resize()
{
    const float old = lastEffectiveWindow_;
    const float window = EffectiveWindow();
    if (Centered && range_ > window) {
        const float ratio = range_ > old ? (old / 2 + position_) / range_ : 0.5f;
        position_ = range_ * ratio - window / 2;
    }
    AdjustPosition();
}

void TCustomRangeBar::PaintTrackExtras(QPainter& canvas, const QRect&)
{
    const TRect h = HandleRect();
    if (RectIsEmpty(h)) return;
    const QRect handle(h.Left, h.Top, h.Right - h.Left, h.Bottom - h.Top);
    const bool horizontal = Kind() == sbHorizontal;
    // The pressed part of the track shows in the highlight colour.
    if (Zone() == 4 || Zone() == 5) {
        const QRect track = ClientArea();
        QRect pressed = track;
        if (horizontal) {
            if (Zone() == 4)
                pressed.setCoords(track.left() + ButtonLength(), track.top(), handle.left() - 1, track.bottom());
            else
                pressed.setCoords(handle.right() + 1, track.top(), track.right() - ButtonLength(), track.bottom());
        } else {
            if (Zone() == 4)
                pressed.setCoords(track.left(), track.top() + ButtonLength(), track.right(), handle.top() - 1);
            else
                pressed.setCoords(track.left(), handle.bottom() + 1, track.right(), track.bottom() - ButtonLength());
        }
        if (pressed.isValid()) canvas.fillRect(pressed, qColor(Highlight));
    }
    DrawHandle(canvas, handle, Zone() == 3, horizontal);
}

void TCustomRangeBar::DrawHandle(QPainter& canvas, const QRect& rect, bool pushed, bool horizontal)
{
    const TColor light = LightenColor(HandleColor(), 48), shadow = LightenColor(HandleColor(), -32);
    QRect r = rect;
    if (pushed) {
        frame(canvas, r.adjusted(1, 1, -1, -1), LightenColor(shadow, -30));
        r.adjust(2, 2, -2, -2);
    } else {
        frame(canvas, r, WindowFrame);
        r.adjust(1, 1, -1, -1);
        FrameNested3D(canvas, r, light, 1, LightenColor(shadow, -32));
    }
    if (r.width() > 0 && r.height() > 0) canvas.fillRect(r, qColor(HandleColor()));
    if (!ShowHandleGrip()) return;
    // Raised marks across the middle, 3 pixels apart.
    const int length = horizontal ? rect.width() : rect.height();
    const int marks = length > 10 ? 4 : 3;
    const QPoint c = rect.center() + (pushed ? QPoint(1, 1) : QPoint(0, 0));
    const int across = std::max(2, (horizontal ? rect.height() : rect.width()) / 2 - 2);
    for (int i = 0; i < marks; ++i) {
        const int offset = (i - marks / 2) * 3;
        QRect mark = horizontal ? QRect(c.x() + offset, c.y() - across / 2, 2, across)
                                : QRect(c.x() - across / 2, c.y() + offset, across, 2);
        FrameNested3D(canvas, mark, light, 1, shadow);
    }
}

// --- TArrowBarAccess ---------------------------------------------------------------------

void TArrowBarAccess::SetColor(TColor value)
{
    both([&](TArrowBar* bar) { bar->SetColor(value); });
}
void TArrowBarAccess::SetBackgnd(TRBBackgnd value)
{
    both([&](TArrowBar* bar) { bar->SetBackgnd(value); });
}
void TArrowBarAccess::SetBorderStyle(TBarBorderStyle value)
{
    both([&](TArrowBar* bar) { bar->SetBorderStyle(value); });
}
void TArrowBarAccess::SetButtonSize(int value)
{
    both([&](TArrowBar* bar) { bar->SetButtonSize(value); });
}
void TArrowBarAccess::SetFramed(bool value)
{
    both([&](TArrowBar* bar) { bar->SetFramed(value); });
}
void TArrowBarAccess::SetHandleColor(TColor value)
{
    both([&](TArrowBar* bar) { bar->SetHandleColor(value); });
}
void TArrowBarAccess::SetShowArrows(bool value)
{
    both([&](TArrowBar* bar) { bar->SetShowArrows(value); });
}
void TArrowBarAccess::SetShowHandleGrip(bool value)
{
    both([&](TArrowBar* bar) { bar->SetShowHandleGrip(value); });
}

void TArrowBarAccess::Assign(const TPersistent* source)
{
    const auto* other = dynamic_cast<const TArrowBarAccess*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    SetColor(other->Color());
    SetBackgnd(other->Backgnd());
    SetBorderStyle(other->BorderStyle());
    SetButtonSize(other->ButtonSize());
    SetFramed(other->Framed());
    SetHandleColor(other->HandleColor());
    SetShowArrows(other->ShowArrows());
    SetShowHandleGrip(other->ShowHandleGrip());
}
