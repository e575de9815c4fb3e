// The control layer on its own: names, ranges, lists, dialogs and the exception box.
#include "platform/gui/Gui.h"
#include "tests/support/TestApplication.h"

#include <gtest/gtest.h>

#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <QImage>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <QWidget>

namespace {

TApplication& App() { return testsupport::TestApplication(); }

class TestForm : public TForm {
public:
    TestForm() : TForm(nullptr, "TestForm") {}
    int shows = 0, closes = 0;

protected:
    void FormShow() override { ++shows; }
    void FormClose() override { ++closes; }
};

struct MessageLog {
    MessageLog()
    {
        SetMessageHook([this](const TMessageRequest& r) {
            messages.push_back(r);
            return TModal::Ok;
        });
    }
    ~MessageLog() { SetMessageHook(nullptr); }
    std::vector<TMessageRequest> messages;
};

}  // namespace

TEST(Gui, FindComponentIgnoresCaseAndFindsMenuEntries)
{
    App();
    TestForm form;
    auto* edit = form.Make<TEdit>("Edit1", form.Client());
    auto* menu = form.CreateMainMenu("MainMenu1");
    TMenuItem* file = menu->Add("File1", "&File");
    TMenuItem* inner = file->Add("menuitem3", "Include");
    EXPECT_EQ(form.FindComponent("EDIT1"), edit);
    EXPECT_EQ(form.FindComponent("MenuItem3"), inner);
    EXPECT_EQ(form.FindComponent("edit10"), nullptr);
    EXPECT_EQ(form.FindComponent(""), nullptr);
    EXPECT_EQ(form.Find<TCheckBox>("edit1"), nullptr);
}

TEST(Gui, SpinEditClampsOnlyWithARange)
{
    App();
    TestForm form;
    auto* ranged = form.Make<TSpinEdit>("SpinEdit1", form.Client(), 1, 10000);
    auto* open = form.Make<TSpinEdit>("SpinEdit2", form.Client(), 0, 0);
    ranged->SetValue(0);
    EXPECT_EQ(ranged->Value(), 1);
    ranged->SetValue(20000);
    EXPECT_EQ(ranged->Value(), 10000);
    open->SetValue(-123456);
    EXPECT_EQ(open->Value(), -123456);
    open->SetValue(2000000000);
    EXPECT_EQ(open->Value(), 2000000000);
}

TEST(Gui, ComboBoxItemsIndexAndText)
{
    App();
    TestForm form;
    auto* list = form.Make<TComboBox>("ComboBox1", form.Client(), false);
    list->Items().Assign({"none", "Original image", "Image page"});
    list->SetItemIndex(2);
    EXPECT_EQ(list->Text(), "Image page");
    list->SetItemIndex(3);
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_EQ(list->Text(), "");
    list->SetText("ORIGINAL IMAGE");
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_THROW(list->Items().Get(3), EListError);
    EXPECT_THROW(list->Items().Delete(-1), EListError);

    auto* sorted = form.Make<TComboBox>("ComboBox2", form.Client(), false, true);
    for (const char* s : {"b.htm", "C.htm", "a.htm"}) sorted->Items().Add(s);
    EXPECT_EQ(sorted->Items().ToVector(), (std::vector<std::string>{"a.htm", "b.htm", "C.htm"}));

    auto* history = form.Make<TComboBox>("ComboBox3", form.Client(), true);
    history->Items().Assign({"one", "two"});
    history->SetText("typed");
    history->Items().Insert(0, "zero");
    history->Items().Delete(2);
    EXPECT_EQ(history->Text(), "typed");
    EXPECT_EQ(history->Items().ToVector(), (std::vector<std::string>{"zero", "one"}));
    // Bytes that are not UTF-8 come back unchanged.
    const std::string latin1 = "caf\xe9";
    history->Items().Add(latin1);
    EXPECT_EQ(history->Items()[2], latin1);
}

// A name that is not UTF-8 goes into an edit or an editable box and comes
// out as the same bytes; valid text shows as Qt itself decodes it.
TEST(Gui, TextThroughControlsKeepsItsBytes)
{
    App();
    TestForm form;
    auto* edit = form.Make<TEdit>("Edit1", form.Client());
    auto* box = form.Make<TComboBox>("ComboBox1", form.Client(), true);
    const std::string texts[] = {
        "/home/ann/Caf\xe9",                    // a Latin-1 folder name
        "\xc3\xa9t\xe9 \xed\xa0\x80 \xc0\xaf",  // valid, stray, surrogate, overlong
        "Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7", std::string("\x80\xff\xef\xbf\xbd", 5),  // a real U+FFFD stays one
    };
    for (const std::string& text : texts) {
        edit->SetText(text);
        EXPECT_EQ(edit->Text(), text);
        box->SetText(text);
        EXPECT_EQ(box->Text(), text);
        EXPECT_EQ(FromQString(ToQString(text)), text);
    }
    EXPECT_EQ(ToQString("Caf\xc3\xa9 \xf0\x9f\x93\xb7"), QString::fromUtf8("Caf\xc3\xa9 \xf0\x9f\x93\xb7"));
    EXPECT_EQ(FromQString(QString::fromUtf8("\xe2\x82\xac")), "\xe2\x82\xac");
}

TEST(Gui, ListViewRowsSelectionAndOrder)
{
    App();
    TestForm form;
    auto* view = form.Make<TListView>("ListView1", form.Client());
    view->AddColumn("Name", 100);
    view->AddColumn("Folder", 100);
    view->AddColumn("", 0);
    view->Add({"b.jpg", {"/x/", ".jpgb"}, false, false});
    view->Add({"a.jpg", {"/y/", ".jpga"}, true, true});
    view->Insert(0, {"c.jpg", {"/z/", ".jpgc"}, false, false});
    EXPECT_EQ(view->Count(), 3);
    EXPECT_EQ(view->SubItem(2, 0), "/y/");
    EXPECT_EQ(view->SubItem(2, 1), ".jpga");
    EXPECT_EQ(view->SubItem(2, 5), "");
    EXPECT_EQ(view->FirstSelected(), 2);
    EXPECT_TRUE(view->Focused(2));
    view->AlphaSort();
    EXPECT_EQ(view->Caption(0), "a.jpg");
    EXPECT_TRUE(view->Selected(0));
    EXPECT_EQ(view->SelCount(), 1);
    view->Delete(0);
    EXPECT_EQ(view->SelCount(), 0);
    EXPECT_THROW(view->Caption(5), EListError);
}

TEST(Gui, ASelectedRowStaysHighlightedWithGridLinesAndHotTracking)
{
    App();
    TestForm form;
    auto* view = form.Make<TListView>("ListView1", form.Client());
    view->SetBounds(0, 0, 300, 120);
    view->AddColumn("Name", 140);
    view->AddColumn("Folder", 140);
    view->Add({"a.jpg", {"/y/"}, true, true});
    view->Add({"b.jpg", {"/x/"}, false, false});
    for (auto [grid, hot] : {std::pair{true, false}, std::pair{false, true}, std::pair{true, true}}) {
        view->SetGridLines(grid);
        view->SetHotTrack(hot);
        auto* tree = view->Widget()->findChild<QTreeWidget*>();
        if (!tree) tree = qobject_cast<QTreeWidget*>(view->Widget());
        ASSERT_NE(tree, nullptr);
        const QImage shot = tree->viewport()->grab().toImage();
        const QRect row = tree->visualItemRect(tree->topLevelItem(0));
        // Right of the caption's text, inside the selected row.
        const QColor highlight = tree->palette().color(QPalette::Active, QPalette::Highlight);
        const QColor inactive = tree->palette().color(QPalette::Inactive, QPalette::Highlight);
        const QColor at = shot.pixelColor(row.left() + 120, row.center().y());
        EXPECT_TRUE(at == highlight || at == inactive) << grid << hot << " " << at.name().toStdString();
    }
}

TEST(Gui, FolderBrowserTitleHasNoLineBreakCharacters)
{
    App();
    for (auto [title, shown] :
         {std::pair{"Select directory for scanning the files: \r\n*.jpg;*.gif",
                    "Select directory for scanning the files: *.jpg;*.gif"},
          std::pair{"two\r\nlines\nand\rmore", "two lines and more"}, std::pair{"Save in folder", "Save in folder"}}) {
        const std::unique_ptr<QFileDialog> dialog = MakeFolderBrowser(title, "/tmp");
        EXPECT_EQ(dialog->windowTitle().toStdString(), shown);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    }
}

TEST(Gui, MessageBoxNeverGrowsPastTheScreen)
{
    App();
    std::string text = "These pictures could not be written:";
    for (int k = 0; k < 160; ++k) text += "\r\nimage" + std::to_string(k) + ".jpg";
    const std::unique_ptr<QMessageBox> box = MakeMessageBox("Error", text, TMsgDlgType::Error, TMsgButtons::OK);
    const int screenHeight = QGuiApplication::primaryScreen()->availableGeometry().height();
    EXPECT_LE(box->sizeHint().height(), screenHeight);
    const QStringList lines = box->text().split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[1].toStdString(), "image0.jpg");
    EXPECT_TRUE(lines.back().startsWith("and ")) << lines.back().toStdString();
    EXPECT_EQ(lines.size() - 2 + lines.back().split(' ')[1].toInt(), 160);  // every picture line shown or counted
    // So does a line that cannot wrap; it keeps its ends.
    const std::string path = "/" + std::string(3000, 'x') + "/end.jpg";
    const std::unique_ptr<QMessageBox> wide = MakeMessageBox("Error", path, TMsgDlgType::Error, TMsgButtons::OK);
    EXPECT_LE(wide->sizeHint().width(), QGuiApplication::primaryScreen()->availableGeometry().width());
    EXPECT_TRUE(wide->text().startsWith("/xxx"));
    EXPECT_TRUE(wide->text().endsWith("/end.jpg"));
    // A short text stays whole.
    EXPECT_EQ(MakeMessageBox("Error", "one\ntwo", TMsgDlgType::Error, TMsgButtons::OK)->text().toStdString(),
              "one\ntwo");
}

TEST(Gui, MenuEntriesDoNotToggleThemselves)
{
    App();
    TestForm form;
    auto* menu = form.CreateMainMenu("MainMenu1");
    TMenuItem* options = menu->Add("Options1", "&Options");
    TMenuItem* grid = options->Add("Menuitem4", "Show Gridlines");
    grid->SetChecked(true);
    int clicks = 0;
    grid->OnClick = [&](TComponent* sender) {
        EXPECT_EQ(sender, grid);
        ++clicks;
    };
    grid->Action()->trigger();
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(grid->Checked());
    grid->SetEnabled(false);
    grid->Click();
    EXPECT_EQ(clicks, 1);
}

TEST(Gui, FormShowAndCloseRunTheirHandlers)
{
    App();
    TestForm form;
    form.SetFixedClientSize(200, 100);
    form.Show();
    EXPECT_EQ(form.shows, 1);
    EXPECT_TRUE(form.Visible());
    form.Close();
    EXPECT_EQ(form.closes, 1);
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(form.Client()->width(), 200);
}

TEST(Gui, HandlerExceptionsReachTheErrorBoxTitledWithTheProgram)
{
    TApplication& app = App();
    app.Title = "Pictavo 1.0";
    MessageLog log;
    TestForm form;
    auto* button = form.Make<TButton>("Button1", form.Client(), "Go");
    button->OnClick = [](TComponent*) { throw Exception("Something went wrong"); };
    button->Click();
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].Caption, "Pictavo 1.0");
    EXPECT_EQ(log.messages[0].Text, "Something went wrong");
    EXPECT_EQ(log.messages[0].Type, TMsgDlgType::Error);
    // A quiet abort shows nothing; the next click still works.
    button->OnClick = [](TComponent*) { throw EAbort(); };
    button->Click();
    EXPECT_EQ(log.messages.size(), 1u);
    // Through Qt's own signal path as well.
    button->OnClick = [](TComponent*) { throw std::runtime_error("from a signal"); };
    static_cast<QWidget*>(button->Widget())->setEnabled(true);
    QMetaObject::invokeMethod(button->Widget(), "click");
    ASSERT_EQ(log.messages.size(), 2u);
    EXPECT_EQ(log.messages[1].Text, "from a signal");
}

TEST(Gui, DialogsAnswerFromHooksAndNeverBlockHeadless)
{
    App();
    TestForm form;
    auto* open = form.Make<TFileDialog>("OpenDialog1", TFileDialogKind::Open);
    open->FileName = "/kept.pvs";
    // No hook on the offscreen platform: cancelled at once, nothing changed.
    EXPECT_FALSE(open->Execute());
    EXPECT_EQ(open->FileName, "/kept.pvs");
    // Nobody answers a headless confirmation with Yes.
    EXPECT_EQ(MessageDlg("Q", "Sure?", TMsgDlgType::Confirmation, TMsgButtons::Yes | TMsgButtons::No), TModal::No);
    EXPECT_EQ(MessageDlg("I", "Done.", TMsgDlgType::Information, TMsgButtons::OK), TModal::Ok);
    std::string chosen = "unchanged";
    EXPECT_FALSE(BrowseForFolderDialog("Pick", "/", chosen));
    EXPECT_EQ(chosen, "unchanged");

    SetFileDialogHook([](TFileDialogRequest& r) {
        EXPECT_EQ(r.DefaultExt, "pvs");
        r.Files = {"/a.pvs", "/b.pvs"};
        return true;
    });
    open->DefaultExt = "pvs";
    EXPECT_TRUE(open->Execute());
    EXPECT_EQ(open->FileName, "/a.pvs");
    EXPECT_EQ(open->Files.size(), 2u);
    SetFileDialogHook(nullptr);
    SetFolderDialogHook([](TFolderRequest& r) {
        r.Chosen = r.StartFolder + "sub";
        return true;
    });
    EXPECT_TRUE(BrowseForFolderDialog("Pick", "/srv/", chosen));
    EXPECT_EQ(chosen, "/srv/sub");
    SetFolderDialogHook(nullptr);
}

TEST(Gui, StatusBarPanelsAndHiddenStoreControls)
{
    App();
    TestForm form;
    auto* bar = form.Make<TStatusBar>("StatusBar1", form.Client());
    bar->AddPanel(220);
    bar->AddPanel(200);
    bar->SetPanelText(1, "Total Items: 3 ");
    EXPECT_EQ(bar->PanelText(1), "Total Items: 3 ");
    auto* memo = form.Make<TMemo>("Memo1", form.Client());
    memo->SetVisible(false);
    memo->Lines().Add("a|b|");
    memo->Lines().Insert(0, "first");
    EXPECT_EQ(memo->Lines().ToVector(), (std::vector<std::string>{"first", "a|b|"}));
    auto* label = form.Make<TLabel>("Label1", form.Client(), "&Save in Folder:");
    EXPECT_EQ(label->Caption(), "&Save in Folder:");
}

TEST(Gui, StatusPanelTextIsWholeWhileTheBarHasRoom)
{
    // The upload window's bar: 382 pixels, panels of 220 and 200.
    App();
    TestForm form;
    auto* bar = form.Make<TStatusBar>("StatusBar1", form.Client());
    bar->AddPanel(220);
    bar->AddPanel(200);
    form.Show();
    const QLabel *first = bar->Panel(0), *second = bar->Panel(1);
    auto whole = [](const QLabel* panel) { return testsupport::ShowsWholeText(*panel); };
    struct Case {
        int barWidth;
        const char* text;
        bool firstWhole, secondWhole;
    };
    for (const Case& k :
         {Case{382, "Files Left: 14", true, true}, Case{382, "Files Left: 14  Transfer: 1,159,121 bytes", true, true},
          Case{382, "Files Left: 88,888  Transfer: 1,116,220,333,444 bytes", false, true},
          // Too narrow for the widths: first the first panel's
          // empty part goes, then the last panel's text is cut.
          Case{250, "Files Left: 14", true, true}, Case{150, "Files Left: 14", true, false}}) {
        SCOPED_TRACE(std::to_string(k.barWidth) + " " + k.text);
        bar->SetPanelText(0, k.text);
        bar->SetPanelText(1, "Total Files: 15");
        bar->Widget()->setGeometry(0, 0, k.barWidth, 22);
        QApplication::processEvents();
        EXPECT_EQ(whole(first), k.firstWhole);
        EXPECT_EQ(whole(second), k.secondWhole);
        // In order, and inside the bar.
        EXPECT_GT(second->x(), first->x() + first->width());
        EXPECT_LE(second->x() + second->width(), k.barWidth);
        // A panel keeps its width while the bar has room; a text is cut only
        // where the bar has none left.
        if (k.barWidth == 382) {
            EXPECT_GE(first->width(), 220);
        }
        if (!k.firstWhole || !k.secondWhole) {
            EXPECT_EQ(second->x() + second->width(), k.barWidth);
        }
    }
    form.Hide();
}

TEST(Gui, TypedMemoTextBecomesItsLines)
{
    App();
    TestForm form;
    auto* memo = form.Make<TMemo>("Memo1", form.Client());
    auto* edit = static_cast<QPlainTextEdit*>(memo->Widget());
    using Lines = std::vector<std::string>;
    // A last line break ends the last line; it starts no empty one.
    const std::pair<const char*, Lines> cases[] = {{"", Lines{}},
                                                   {"a", Lines{"a"}},
                                                   {"a\n", Lines{"a"}},
                                                   {"\n", Lines{""}},
                                                   {"a\n\nb", Lines{"a", "", "b"}},
                                                   {"a\nb\n\n", Lines{"a", "b", ""}}};
    for (const auto& [typed, lines] : cases) {
        edit->setPlainText(QString::fromUtf8(typed));
        EXPECT_EQ(memo->Lines().ToVector(), lines) << '"' << typed << '"';
    }
    // Lines appended to the view, then edited through the lines: the edit
    // starts from what the view holds.
    edit->setPlainText("a");
    edit->appendPlainText("b");
    memo->Lines().Add("c");
    memo->Lines().Delete(0);
    EXPECT_EQ(memo->Lines().ToVector(), (Lines{"b", "c"}));
}

TEST(Gui, KeyReleaseAndFocusLossReachTheHandlers)
{
    App();
    TestForm form;
    auto* box = form.Make<TComboBox>("ComboBox13", form.Client(), true);
    int lastKey = 0, exits = 0;
    box->OnKeyUp = [&](TComponent* sender, int& key) {
        EXPECT_EQ(sender, box);
        lastKey = key;
    };
    box->OnExit = [&](TComponent*) { ++exits; };
    QWidget* editor = box->Box()->lineEdit();
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(editor, &release);
    EXPECT_EQ(lastKey, VK_DELETE);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(editor, &out);
    EXPECT_EQ(exits, 1);
    // Opening the box's own list is not leaving it.
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QCoreApplication::sendEvent(editor, &popup);
    EXPECT_EQ(exits, 1);
}

TEST(Gui, ShowModalReturnsTheResultSetBeforeClosing)
{
    App();
    TestForm form;
    QTimer::singleShot(0, [&form] {
        EXPECT_TRUE(form.Visible());
        form.ModalResult = TModal::Ok;
        form.Close();
    });
    EXPECT_EQ(form.ShowModal(), TModal::Ok);
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(form.closes, 1);
    // Closed without a result: Cancel.
    QTimer::singleShot(0, [&form] { form.Close(); });
    EXPECT_EQ(form.ShowModal(), TModal::Cancel);
}

TEST(Gui, AModalFormOwnedByAShownFormStaysOverIt)
{
    App();
    TestForm owner;
    owner.SetFixedClientSize(300, 200);
    owner.Show();
    class Dialog : public TForm {
    public:
        explicit Dialog(TComponent* o) : TForm(o, "Form7") {}
    } dialog(&owner);
    dialog.SetFixedClientSize(100, 50);
    QTimer::singleShot(0, [&] {
        ASSERT_NE(dialog.Window()->windowHandle(), nullptr);
        EXPECT_EQ(dialog.Window()->windowHandle()->transientParent(), owner.Window()->windowHandle());
        dialog.Close();
    });
    EXPECT_EQ(dialog.ShowModal(), TModal::Cancel);
    owner.Close();
}

TEST(Gui, MovingTheFocusOnLeavesAnEditableBoxOnce)
{
    App();
    TestForm form;
    form.SetFixedClientSize(200, 100);
    auto* box = form.Make<TComboBox>("ComboBox23", form.Client(), true);
    auto* spin = form.Make<TSpinEdit>("SpinEdit1", form.Client(), 1, 10);
    auto* edit = form.Make<TEdit>("Edit1", form.Client());
    box->SetBounds(0, 0, 100, 22);
    spin->SetBounds(0, 30, 100, 22);
    edit->SetBounds(0, 60, 100, 22);
    int boxExits = 0, spinExits = 0;
    box->OnExit = [&](TComponent*) { ++boxExits; };
    spin->OnExit = [&](TComponent*) { ++spinExits; };
    form.Show();
    form.Window()->activateWindow();
    QApplication::setActiveWindow(form.Window());
    App().ProcessMessages();
    box->SetFocus();
    App().ProcessMessages();
    spin->SetFocus();
    App().ProcessMessages();
    edit->SetFocus();
    App().ProcessMessages();
    EXPECT_EQ(boxExits, 1);
    EXPECT_EQ(spinExits, 1);
    form.Hide();
}

TEST(Gui, FramesFitIntoTheAvailableArea)
{
    const QRect area(0, 24, 1024, 744);  // a 1024 x 768 screen below a 24-pixel panel
    const struct {
        QRect frame;
        QPoint fitted;
    } cases[] = {
        {QRect(100, 100, 300, 200), QPoint(100, 100)},  // inside: left alone
        {QRect(-150, -100, 300, 200), QPoint(0, 24)},   // over each corner
        {QRect(900, -100, 300, 200), QPoint(724, 24)},
        {QRect(-150, 700, 300, 200), QPoint(0, 568)},
        {QRect(900, 700, 300, 200), QPoint(724, 568)},
        {QRect(724, 568, 300, 200), QPoint(724, 568)},  // touching the far corner
        {QRect(-50, 600, 1100, 100), QPoint(0, 600)},   // wider than the area
        {QRect(500, 300, 1200, 900), QPoint(0, 24)},    // larger: its top-left corner inside
    };
    for (const auto& c : cases) {
        const QRect fitted = FitFrameInArea(c.frame, area);
        EXPECT_EQ(fitted.topLeft(), c.fitted) << c.frame.x() << "," << c.frame.y();
        EXPECT_EQ(fitted.size(), c.frame.size());
    }
}

TEST(Gui, ADialogOpensOnItsFirstInputAndAnswersEnterAndEsc)
{
    App();
    TestForm form;
    form.SetFixedClientSize(300, 200);
    // Made first, the help button leads the tab order.
    auto* help = form.Make<TButton>("Button33", form.Client(), "&Help");
    auto* edit = form.Make<TEdit>("Edit1", form.Client());
    auto* check = form.Make<TCheckBox>("CheckBox1", form.Client(), "Check");
    auto* memo = form.Make<TMemo>("Memo1", form.Client());
    auto* ok = form.Make<TButton>("BitBtn1", form.Client(), "OK");
    auto* cancel = form.Make<TButton>("BitBtn2", form.Client(), "Cancel");
    memo->SetBounds(0, 60, 100, 60);
    ok->SetDefault(true);
    cancel->SetCancel(true);
    std::string pressed;
    for (TButton* b : {help, ok, cancel}) b->OnClick = [&](TComponent* s) { pressed += s->Name + " "; };
    form.Show();
    QApplication::setActiveWindow(form.Window());
    EXPECT_EQ(QApplication::focusWidget(), edit->Widget());
    QTest::keyClick(edit->Widget(), Qt::Key_Return);
    QTest::keyClick(check->Widget(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(pressed, "BitBtn1 BitBtn1 ");
    // A multi-line editor keeps Enter for its lines; Esc goes on to Cancel.
    pressed.clear();
    QTest::keyClick(memo->Widget(), Qt::Key_Return);
    EXPECT_EQ(static_cast<QPlainTextEdit*>(memo->Widget())->toPlainText(), "\n");
    QTest::keyClick(memo->Widget(), Qt::Key_Escape);
    EXPECT_EQ(pressed, "BitBtn2 ");
    // A focused button is pressed itself; a hidden default button is not pressed.
    pressed.clear();
    help->SetFocus();
    QTest::keyClick(help->Widget(), Qt::Key_Return);
    ok->SetVisible(false);
    edit->SetFocus();
    QTest::keyClick(edit->Widget(), Qt::Key_Return);
    // Modified keys belong to the shortcuts.
    QTest::keyClick(edit->Widget(), Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_EQ(pressed, "Button33 ");
    form.Hide();
}

// A number-pad key for which the window system matched no shortcut (X11
// matches none of the pad's; here the entry sits in no menu Qt could match it
// in) reaches the focused control as a key press: the list runs the entry, a
// text field types the key.
TEST(Gui, NumberPadKeysRunTheirMenuEntryUnlessAControlTypesThem)
{
    App();
    TestForm form;
    form.SetFixedClientSize(200, 160);
    auto* list = form.Make<TListView>("ListView1", form.Client());
    list->AddColumn("Name", 100);
    list->SetBounds(0, 0, 200, 100);
    auto* edit = form.Make<TEdit>("Edit1", form.Client());
    edit->SetBounds(0, 110, 100, 24);
    auto* all = form.Make<TMenuItem>("Selectall1", "Select all");
    all->SetShortCut("Num++");
    auto* none = form.Make<TMenuItem>("Deselectall1", "Deselect all");
    none->SetShortCut("Num+-");
    none->SetEnabled(false);
    std::string ran;
    for (TMenuItem* m : {all, none}) m->OnClick = [&](TComponent* s) { ran += s->Name + " "; };
    form.Show();
    QApplication::setActiveWindow(form.Window());
    const auto press = [](TControl* control, Qt::Key key) {
        control->SetFocus();
        QKeyEvent event(QEvent::KeyPress, key, Qt::KeypadModifier, QString(QChar(key)));
        QApplication::sendEvent(QApplication::focusWidget(), &event);
    };
    press(list, Qt::Key_Plus);
    press(list, Qt::Key_Minus);     // its entry is disabled
    press(list, Qt::Key_Asterisk);  // no entry has it
    EXPECT_EQ(ran, "Selectall1 ");
    press(edit, Qt::Key_Plus);
    EXPECT_EQ(edit->Text(), "+");
    EXPECT_EQ(ran, "Selectall1 ");
    form.Hide();
}
