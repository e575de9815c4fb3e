#include "gallery/windows/pvu5.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace {
// Enter and Esc reach the prompt's key handler before the line edit eats them.
class PromptKeyFilter : public QObject {
public:
    PromptKeyFilter(TForm7* form, QObject* parent) : QObject(parent), form_(form) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int qtKey = static_cast<QKeyEvent*>(event)->key();
            int key = 0;
            if (qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter) key = 13;
            if (qtKey == Qt::Key_Escape) key = 27;
            if (key != 0) {
                form_->Edit1KeyPress(form_->Edit1, key);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TForm7* form_;
};
}  // namespace

TForm7::TForm7(TComponent* owner) : TForm(owner, "Form7")
{
    QWidget* client = Client();
    Label1 = Make<TLabel>("Label1", client, "Setting Name:");
    Label1->SetBounds(12, 14, 100, 22);
    Edit1 = Make<TEdit>("Edit1", client);
    Edit1->SetBounds(112, 12, 252, 24);
    Button1 = Make<TButton>("Button1", client, "OK");
    Button1->SetBounds(196, 72, 80, 28);
    Button2 = Make<TButton>("Button2", client, "Cancel");
    Button2->SetBounds(284, 72, 80, 28);
    Button1->OnClick = [this](TComponent*) {
        ModalResult = TModal::Ok;
        Close();
    };
    Button2->OnClick = [this](TComponent*) {
        ModalResult = TModal::Cancel;
        Close();
    };
    Button1->SetDefault(true);
    Button2->SetCancel(true);
    Edit1->Widget()->installEventFilter(new PromptKeyFilter(this, Edit1->Widget()));
    Prepare("Save Setting", 380, 116);
}

void TForm7::Prepare(const std::string& caption, int width, int height)
{
    SetCaption(caption);
    SetFixedClientSize(width, height);
    // A dialog's border: a title and a close button, no minimise.
    Window()->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                             Qt::MSWindowsFixedSizeDialogHint);
}

void TForm7::Edit1KeyPress(TComponent*, int& Key)
{
    if (Key == 13) {
        ModalResult = TModal::Ok;
        Close();
    } else if (Key == 27) {
        ModalResult = TModal::Cancel;
        Close();
    }
}

bool AskSettingName(TComponent* owner, const std::string& caption, std::string& name)
{
    TForm7 prompt(owner);
    prompt.Prepare(caption, 380, 116);
    prompt.Edit1->SetText(name);
    if (prompt.ShowModal() != TModal::Ok) return false;
    name = prompt.Edit1->Text();
    return true;
}
