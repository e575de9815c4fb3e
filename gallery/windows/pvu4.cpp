#include "gallery/windows/pvu4.h"

#include "gallery/text/srutils.h"

#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QUrl>
#include <QWindow>

namespace {

constexpr int PictureSize = 48;

// The program's own mark: a framed landscape over a tray, with an arrow into it.
QPixmap DropPicture()
{
    QImage image(PictureSize, PictureSize, QImage::Format_RGB32);
    image.fill(QColor(40, 72, 120));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(140, 170, 215), 2));
    p.drawRect(1, 1, PictureSize - 2, PictureSize - 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 250, 245));
    p.drawRect(9, 7, 30, 22);
    p.setBrush(QColor(120, 190, 235));
    p.drawRect(11, 9, 26, 18);
    p.setBrush(QColor(70, 150, 70));
    QPainterPath hills;
    hills.moveTo(11, 27);
    hills.lineTo(19, 17);
    hills.lineTo(25, 23);
    hills.lineTo(30, 19);
    hills.lineTo(37, 27);
    hills.closeSubpath();
    p.drawPath(hills);
    p.setBrush(QColor(255, 210, 60));
    p.drawEllipse(QPointF(31, 13), 2.5, 2.5);
    p.setBrush(QColor(255, 255, 255));
    const QPointF arrow[] = {{24, 44}, {16, 35}, {21, 35}, {21, 31}, {27, 31}, {27, 35}, {32, 35}};
    p.drawPolygon(arrow, 7);
    p.end();
    return QPixmap::fromImage(image);
}

// The picture: mouse moves and double clicks go to the form's handlers.
class TDropPicture : public TControl {
public:
    TDropPicture(TComponent* owner, std::string name, QWidget* parent)
        : TControl(owner, std::move(name), new QLabel(parent))
    {
        auto* label = static_cast<QLabel*>(Widget());
        label->setPixmap(DropPicture());
        label->setFixedSize(PictureSize, PictureSize);
        WatchEvents(label);
    }
};

}  // namespace

// Drops on the window, and the press and double click of the picture.
class DropTargetEvents : public QObject {
public:
    DropTargetEvents(TForm6* form, QObject* parent) : QObject(parent), form_(form) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (!LocalFiles(*drag->mimeData()).empty()) drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const std::vector<std::string> paths = LocalFiles(*drop->mimeData());
            form_->Dispatch([&] { form_->WMDropFiles(paths); });
            drop->acceptProposedAction();
            return true;
        }
        case QEvent::MouseButtonPress:
            if (watched == form_->Image1->Widget()) {
                form_->pressGlobal_ = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
                form_->pressWindow_ = form_->Window()->pos();
                form_->systemMove_ = false;
            }
            break;
        case QEvent::MouseButtonDblClick:
            if (watched == form_->Image1->Widget()) {
                form_->Dispatch([this] { form_->Image1DblClick(form_->Image1); });
                return true;
            }
            break;
        default: break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static std::vector<std::string> LocalFiles(const QMimeData& data)
    {
        std::vector<std::string> paths;
        for (const QUrl& url : data.urls())
            if (url.isLocalFile()) paths.push_back(FromQString(url.toLocalFile()));
        return paths;
    }
    TForm6* form_;
};

TForm6::TForm6() : TForm(nullptr, "Form6")
{
    QWidget* window = Window();
    Image1 = Make<TDropPicture>("Image1", Client());
    Image1->SetHint("Drop pictures here; double-click when done");
    Image1->OnMouseMove = [this](TComponent* s, TMouseButton b, bool left, int x, int y) {
        Image1MouseMove(s, b, left, x, y);
    };
    Label1 = Make<TLabel>("Label1", Client(), "50");
    Label2 = Make<TLabel>("Label2", Client(), "50");
    ListBox1 = Make<TListBox>("ListBox1", Client());
    for (TControl* hidden : std::initializer_list<TControl*>{Label1, Label2, ListBox1}) hidden->SetVisible(false);
    SetFixedClientSize(PictureSize, PictureSize);
    // Borderless and above the other windows; showing it does not take the focus from them.
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    auto* events = new DropTargetEvents(this, window);
    window->installEventFilter(events);
    Image1->Widget()->installEventFilter(events);
}

TForm6::~TForm6() = default;

bool TForm6::CanPlaceWindows() const { return QGuiApplication::platformName() != "wayland"; }

void TForm6::FormShow()
{
    Window()->setAcceptDrops(true);
    // A place that is no number counts as the default place; one off the
    // desktop opens on it.
    if (CanPlaceWindows()) PlaceFrame(StrToIntDef(Label1->Caption(), 50), StrToIntDef(Label2->Caption(), 50));
    collecting_ = std::make_unique<TPathSet>();
    for (int i = 0; i < ListBox1->Items().Count(); ++i) collecting_->insert(ListBox1->Items().Get(i));
}

void TForm6::WMDropFiles(const std::vector<std::string>& paths)
{
    if (!collecting_) collecting_ = std::make_unique<TPathSet>();
    for (const std::string& path : paths) collecting_->insert(path);
}

void TForm6::Image1MouseMove(TComponent*, TMouseButton, bool LeftHeld, int X, int Y)
{
    if (!LeftHeld) return;
    // The window system moves the window where it can; elsewhere we follow the mouse.
    if (!systemMove_ && Window()->windowHandle() && Window()->windowHandle()->startSystemMove()) {
        systemMove_ = true;
        return;
    }
    if (systemMove_) return;
    const QPoint global = Image1->Widget()->mapToGlobal(QPoint(X, Y));
    Window()->move(pressWindow_ + (global - pressGlobal_));
}

void TForm6::Image1DblClick(TComponent*)
{
    ListBox1->Items().Clear();
    if (collecting_)
        for (const std::string& path : *collecting_) ListBox1->Items().Insert(ListBox1->Items().Count(), path);
    collecting_.reset();
    // Only a place the window system reports is stored; elsewhere the old one stays.
    if (CanPlaceWindows()) {
        Label1->SetCaption(std::to_string(Window()->x()));
        Label2->SetCaption(std::to_string(Window()->y()));
    }
    ModalResult = TModal::Ok;
    Close();
}
