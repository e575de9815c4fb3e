#include "gallery/windows/Pvu2.h"

#include "gallery/mainwindow/pvu.h"
#include "gallery/pictures/pvutilsGeometry.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "raster/RasterView.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWidget>

namespace {

constexpr TColor clBlack = 0;

class ViewerKeyFilter : public QObject {
public:
    ViewerKeyFilter(TForm3* form, QObject* parent) : QObject(parent), form_(form) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        int key = 0;
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Escape: key = 27; break;
        case Qt::Key_PageUp: key = 33; break;
        case Qt::Key_PageDown: key = 34; break;
        case Qt::Key_End: key = 35; break;
        case Qt::Key_Home: key = 36; break;
        default: return QObject::eventFilter(watched, event);
        }
        form_->Dispatch([&] { form_->FormKeyDown(form_, key); });
        return true;
    }

private:
    TForm3* form_;
};

}  // namespace

TForm3::TForm3(TForm1& main) : TForm(nullptr, "Form3"), main_(main)
{
    QWidget* window = Window();
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window->setStyleSheet("background-color: black;");
    Label1 = Make<TLabel>("Label1", Client(), "1");
    Label1->SetVisible(false);
    RasterView1 = Make<TRasterView>("RasterView1", Client());
    RasterView1->SetColor(clBlack);
    RasterView1->SetSizeMode(smBilinear);
    RasterView1->SetDrawStyle(dsResize);
    RasterView1->SetAlign(alClient);
    window->installEventFilter(new ViewerKeyFilter(this, window));
}

void TForm3::FitScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    ScreenWidth = area.width();
    ScreenHeight = area.height();
    Window()->setGeometry(area);
    Window()->setWindowState(Qt::WindowFullScreen);
}

bool TForm3::ShowItemPicture(int index)
{
    if (index < 0 || index >= main_.ListView1->Count()) return false;
    const std::string path = main_.ItemFullPath(index);
    const std::string mode = Label1->Caption();
    TRasterDIB picture;
    int failed = 1;
    if (mode == "3")
        main_.LoadOriginal(failed, path, picture);
    else if (mode == "2")
        main_.CreateImage(failed, path, picture);
    else
        main_.CreateThumbnail(failed, path, picture);
    if (failed != 0) return false;
    const bool smaller = picture.Width() < ScreenWidth && picture.AbsHeight < ScreenHeight;
    RasterView1->SetDrawStyle(smaller ? dsCenter : dsResize);
    CopyPicture(picture, RasterView1->PictureDIB);
    RasterView1->Refresh();
    return true;
}

void TForm3::FormKeyDown(TComponent*, int& Key)
{
    if (Key == 27) {
        Close();
        return;
    }
    TListStep step;
    switch (Key) {
    case 33: step = TListStep::Previous; break;
    case 34: step = TListStep::Next; break;
    case 35: step = TListStep::Last; break;
    case 36: step = TListStep::First; break;
    default: return;
    }
    const int target = main_.StepSelection(step);
    if (target >= 0) ShowItemPicture(target);
}
