#include "raster/RasterView.h"

#include "platform/gui/QtBridge.h"
#include "raster/RasterFiles.h"
#include "raster/RasterLayout.h"
#include "raster/RasterSize.h"

#include <QEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

void ConvertRow(const TRasterDIB& dib, int row, QRgb* out, std::vector<std::uint8_t>& indices)
{
    const int width = dib.Width();
    const std::uint8_t* src = dib.Rows[std::size_t(row)];
    switch (dib.BitCount()) {
    case 1:
    case 4:
    case 8:
        raster_layout::unpackIndices(src, width, dib.BitCount(), indices.data());
        for (int x = 0; x < width; ++x) {
            const RGBQUAD& q = dib.Colors[indices[std::size_t(x)]];
            out[x] = qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
        }
        return;
    case 24:
        for (int x = 0; x < width; ++x, src += 3) out[x] = qRgb(src[2], src[1], src[0]);
        return;
    case 32:
        if (dib.Header.Compression != BI_BITFIELDS) {
            for (int x = 0; x < width; ++x, src += 4) out[x] = qRgb(src[2], src[1], src[0]);
            return;
        }
        [[fallthrough]];
    default:
        for (int x = 0; x < width; ++x) {
            TColorTriple t;
            dib.GetPixelColor(row, x, t);
            out[x] = qRgb(t.Red, t.Green, t.Blue);
        }
    }
}

}  // namespace

namespace {
bool Drawable(const TRasterDIB& dib)
{
    const int bits = dib.BitCount();
    return raster_layout::hasPixels(dib) &&
           (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
}
}  // namespace

QImage RasterToImage(const TRasterDIB& dib)
{
    const int width = dib.Width();
    const int height = dib.AbsHeight;
    if (!Drawable(dib)) return {};
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return {};
    std::vector<std::uint8_t> indices(std::size_t(width) + 8);
    for (int y = 0; y < height; ++y)
        ConvertRow(dib, dib.RowFromTop(y), reinterpret_cast<QRgb*>(image.scanLine(y)), indices);
    return image;
}

// ---------------------------------------------------------------------------

// The widget behind the control. Paints opaquely (no background erase) and
// passes mouse presses, clicks and double clicks on to the control.
class TRasterView::Surface : public QWidget {
public:
    Surface(QWidget* parent, TRasterView* view) : QWidget(parent), view_(view)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setMouseTracking(true);
    }
    TRasterView* view_;

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!view_) return;
        QPainter painter(this);
        view_->Dispatch([&] { view_->PaintTo(painter); });
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (!view_ || !view_->OnMouseDown) return;
        const QPoint p = event->position().toPoint();
        const TMouseButton b = MouseButtonOf(event->button());
        const bool left = (event->buttons() & Qt::LeftButton) != 0;
        view_->Dispatch([&] { view_->OnMouseDown(view_, b, left, p.x(), p.y()); });
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (view_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) view_->Click();
    }
    void mouseDoubleClickEvent(QMouseEvent*) override
    {
        if (view_ && view_->OnDblClick) view_->Dispatch([this] { view_->OnDblClick(view_); });
    }
};

namespace {
// Keeps an alClient control on its parent's whole area.
class ParentResizeFilter : public QObject {
public:
    ParentResizeFilter(QObject* parent, std::function<void()> follow) : QObject(parent), follow_(std::move(follow)) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize) follow_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> follow_;
};
}  // namespace

TRasterView::TRasterView(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new Surface(parent, this))
{
    QWidget* surface = Widget();
    surface_ = surface;
    surface->resize(100, 100);
    SetColor(clBtnFace);
    WatchEvents(surface);
    if (parent) {
        QPointer<QWidget> guard(surface);
        parent->installEventFilter(new ParentResizeFilter(surface, [this, guard] {
            if (guard) FollowParent();
        }));
    }
}

TRasterView::~TRasterView()
{
    // The widget may outlive the control when its parent is not a form's.
    if (surface_) static_cast<Surface*>(surface_.data())->view_ = nullptr;
    PictureDIB.SetSize(0, 0, 0);
    WorkDIB.SetSize(0, 0, 0);
}

void TRasterView::SetPicture(const std::string& fileName)
{
    bool loaded = false;
    try {
        TFileStream stream(fileName, FileMode::OpenRead);
        ReadDIBData(stream);
        loaded = PictureDIB.Width() > 0 && PictureDIB.AbsHeight > 0;
    } catch (const Exception&) {
    }
    picture_ = loaded ? "(TRasterDIB)" : "(None)";
    if (!loaded) {
        PictureDIB.SetSize(0, 0, 0);
        WorkDIB.SetSize(0, 0, 0);
    }
    Refresh();
}

void TRasterView::SetAutoSize(bool autoSize)
{
    autoSize_ = autoSize;
    if (autoSize_ && PictureDIB.Width() > 0 && PictureDIB.AbsHeight > 0) {
        align_ = alNone;
        QWidget* w = Widget();
        w->setGeometry(w->x(), w->y(), PictureDIB.Width(), PictureDIB.AbsHeight);
    }
}

void TRasterView::SetSizeMode(TSizeMode mode)
{
    sizeMode_ = mode;
    if (mode == smGDI)
        WorkDIB.SetSize(0, 0, 0);
    else
        WorkDIB.SetSize(Widget()->width(), Widget()->height(), PictureDIB.BitCount());
    Refresh();
}

void TRasterView::SetDrawStyle(TDrawStyle style)
{
    drawStyle_ = style;
    Refresh();
}

void TRasterView::SetAlign(TAlign align)
{
    align_ = align;
    FollowParent();
}

void TRasterView::FollowParent()
{
    QWidget* parent = Widget()->parentWidget();
    if (align_ == alClient && parent) Widget()->setGeometry(parent->rect());
}

void TRasterView::SetColor(TColor color)
{
    TControl::SetColor(color);
    Refresh();
}

void TRasterView::Refresh()
{
    if (autoSize_) SetAutoSize(true);
    Widget()->update();
}

void TRasterView::ReadDIBData(TStream& stream)
{
    try {
        ReadBmpStream(PictureDIB, stream, TBmpShortData::Refuse);
    } catch (...) {
        PictureDIB.SetSize(0, 0, 0);
        throw;
    }
}

void TRasterView::WriteDIBData(TStream& stream)
{
    if (PictureDIB.Width() > 0 && PictureDIB.AbsHeight > 0) WriteBmpStream(PictureDIB, stream);
}

// ---------------------------------------------------------------------------
// Painting

void TRasterView::FillOutside(QPainter& painter, const QRect& picture) const
{
    const QRegion outside = QRegion(Widget()->rect()).subtracted(QRegion(picture));
    for (const QRect& r : outside) painter.fillRect(r, ToQColor(Color()));
}

void TRasterView::DrawPicture(QPainter& painter, int x, int y) const
{
    painter.drawImage(QPoint(x, y), RasterToImage(PictureDIB));
}

// GDI stretching is nearest neighbour; the resamplers work on 8 bits and up.
void TRasterView::StretchPicture(QPainter& painter, const QRect& target)
{
    const int bits = PictureDIB.BitCount();
    if (target.width() == PictureDIB.Width() && target.height() == PictureDIB.AbsHeight) {
        DrawPicture(painter, target.x(), target.y());
        return;
    }
    if (sizeMode_ == smGDI || bits < 8) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(target, RasterToImage(PictureDIB));
        return;
    }
    // The working copy keeps the picture's row order, so the resamplers'
    // memory-order rows map top to top.
    const int rows = PictureDIB.Header.Height < 0 ? -target.height() : target.height();
    if (PictureDIB.Header.Compression == BI_BITFIELDS)
        WorkDIB.SetSizeEx(target.width(), rows, bits, PictureDIB.RedBits, PictureDIB.GreenBits, PictureDIB.BlueBits);
    else
        WorkDIB.SetSize(target.width(), rows, bits);
    if (bits <= 8) {
        std::memcpy(WorkDIB.Colors, PictureDIB.Colors, sizeof WorkDIB.Colors);
        WorkDIB.UpdateColorTable();
    }
    if (sizeMode_ == smFast || bits == 16)
        ResizeNearest(PictureDIB, WorkDIB);
    else
        ResizeBilinear(PictureDIB, WorkDIB);
    painter.drawImage(target.topLeft(), RasterToImage(WorkDIB));
}

void TRasterView::PaintResized(QPainter& painter)
{
    const int W = Widget()->width(), H = Widget()->height();
    const int w = PictureDIB.Width(), h = PictureDIB.AbsHeight;
    if (w == W && h == H) {
        DrawPicture(painter, 0, 0);
        return;
    }
    const float rx = float(W) / float(w), ry = float(H) / float(h);
    QRect target;
    if (rx > ry) {
        const float drawn = ry * float(w);
        target = QRect(int(std::nearbyint((float(W) - drawn) / 2)), 0, int(std::nearbyint(drawn)), H);
    } else {
        const float drawn = rx * float(h);
        target = QRect(0, int(std::nearbyint((float(H) - drawn) / 2)), W, int(std::nearbyint(drawn)));
    }
    // A side that rounds to nothing (a 20000 x 5 picture on a screen) leaves only background.
    if (target.width() <= 0 || target.height() <= 0) {
        painter.fillRect(Widget()->rect(), ToQColor(Color()));
        return;
    }
    FillOutside(painter, target);
    StretchPicture(painter, target);
}

void TRasterView::PaintTo(QPainter& painter)
{
    const int W = Widget()->width(), H = Widget()->height();
    const int w = PictureDIB.Width(), h = PictureDIB.AbsHeight;
    if (W <= 0 || H <= 0) return;  // nothing to cover
    if (!Drawable(PictureDIB)) {
        painter.fillRect(Widget()->rect(), ToQColor(Color()));
        return;
    }
    switch (drawStyle_) {
    case dsDraw:
        FillOutside(painter, QRect(0, 0, w, h));
        DrawPicture(painter, 0, 0);
        break;
    case dsStretch: StretchPicture(painter, QRect(0, 0, W, H)); break;
    case dsResize: PaintResized(painter); break;
    case dsTile: painter.fillRect(Widget()->rect(), QBrush(RasterToImage(PictureDIB))); break;
    case dsCenter: {
        // Division toward zero: a larger picture is centred with negative offsets.
        const int x = (W - w) / 2, y = (H - h) / 2;
        FillOutside(painter, QRect(x, y, w, h));
        DrawPicture(painter, x, y);
        break;
    }
    }
}
