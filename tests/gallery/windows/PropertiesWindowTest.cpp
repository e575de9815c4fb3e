// The properties dialog over the main window's records: each kind's records
// through the dialog and OK, damaged records, the "|" rule, the enabling
// rules, keys and colours.
#include "WindowTestSupport.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/properties/pvu1.h"
#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "platform/core/AsciiCase.h"
#include "raster/RasterView.h"
#include "widgets/FontCombos.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QTest>
#include <QTimer>
#include <QPlainTextEdit>

#include <filesystem>
#include <functional>
#include <map>

namespace fs = std::filesystem;

namespace {

const std::string DataFolder = std::string(PICTAVO_SOURCE_DIR) + "/data/";

class PropertiesDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApplication();
        fs::copy(DataFolder + "framepg", folder.File("framepg"), fs::copy_options::recursive);
        form = std::make_unique<TForm1>();
        for (int i = 0; i < PropertyRecordCount; ++i) form->SetPropertyRecord(i, PropertyRecordDefault(i));
        form->ShowDialogWindow = [this](TForm& dialog) {
            auto& properties = dynamic_cast<TForm2&>(dialog);
            shownPage = properties.Notebook1->PageIndex();
            shownCaption = properties.Caption();
            if (act) act(properties);
            return answer;
        };
    }

    // Clicks the main-window control that opens a kind, as the user would.
    void Open(const std::string& sender)
    {
        form->FindComponent(sender)->Dispatch([&] {
            if (auto* b = form->Find<TButton>(sender))
                b->Click();
            else
                form->Find<TMenuItem>(sender)->Click();
        });
    }

    std::map<int, std::string> Records() const
    {
        std::map<int, std::string> records;
        for (int i = 0; i < PropertyRecordCount; ++i) records[i] = form->GetPropertyRecord(i);
        return records;
    }

    TempProgramFolder folder;
    DialogScript dialogs;
    std::unique_ptr<TForm1> form;
    std::function<void(TForm2&)> act;
    int answer = TModal::Ok;
    int shownPage = -1;
    std::string shownCaption;
};

struct RoundTrip {
    const char* sender;
    int page;
    // The records OK writes from the default records: every record made of
    // fields ends with "|", the stamp writes its size twice and its constant
    // tail, and the unused records are written empty.
    std::map<int, std::string> written;
};

std::vector<RoundTrip> RoundTrips(const std::string& program)
{
    return {
        {"Button2",
         0,
         {{prCurrentPage1, "0|0|0|"},
          {prPagePropertiesIndex,
           "1|8421440|1|16777215|0|16711680|0|8388736|0|255|0|0|wallpaper.jpg|0|0|0|0|_self|page "
           "|-|0|0|5|1|0|main.htm|left.htm|1|1|0|0|"}}},
        {"Button3",
         0,
         {{prCurrentPage2, "0|0|0|"},
          {prPagePropertiesImage,
           "0|16777215|0|0|0|16711680|0|8388736|0|255|0|0|wallpaper.jpg|0|0|0|0|_self|picture "
           "|-|0|0|5|1||||1|1|0|0|"}}},
        {"Button6",
         1,
         {{prAddText, "Verdana|b|14|14|0|Pictavo gallery|1|0|0|50|0|0|0|0|255|100|120301|31231|1|" + program +
                          "frames/bar1.gif|255|0|0|0|0|255|0|255|255|"}}},
        {"Button7", 2, {{prAddLogo, "|0|0|0|0|0|0|255|0|"}}},
        {"Button5", 3, {{prAddOutlineI, "0||0|255|0|"}, {prNothing1, ""}}},
        {"Button4", 3, {{prAddOutlineT, "0||0|255|20|"}, {prNothing2, ""}}},
        {"Button1", 4, {}},
        {"Button12", 8, {}},
        {"Button9", 8, {{prCaptionFontI, "Verdana|0|0|0|0|15|0|15|"}}},
        {"CustomizeEditor1", 10, {{prEdit3, "||"}}},
    };
}

TEST_F(PropertiesDialog, EveryKindWritesItsDefaultRecordsBackUnchanged)
{
    for (const RoundTrip& trip : RoundTrips(folder.Path())) {
        SCOPED_TRACE(trip.sender);
        for (int i = 0; i < PropertyRecordCount; ++i) form->SetPropertyRecord(i, PropertyRecordDefault(i));
        std::map<int, std::string> expected = Records();
        for (const auto& [index, text] : trip.written) expected[index] = text;
        Open(trip.sender);
        EXPECT_EQ(shownPage, trip.page);
        EXPECT_EQ(Records(), expected);
        EXPECT_TRUE(dialogs.Messages.empty());
    }
}

TEST_F(PropertiesDialog, OkTicksTheDecorationAndCancelChangesNothing)
{
    const std::pair<const char*, TCheckBox*> decorations[] = {{"Button6", form->CheckBox5},
                                                              {"Button7", form->CheckBox6},
                                                              {"Button5", form->CheckBox4},
                                                              {"Button4", form->CheckBox2}};
    answer = TModal::Cancel;
    act = [](TForm2& d) {
        d.Edit18->SetText("changed.gif");
        d.CheckBox21->SetChecked(true);
    };
    const auto before = Records();
    for (auto [sender, check] : decorations) {
        check->SetChecked(false);
        Open(sender);
        EXPECT_FALSE(check->Checked()) << sender;
    }
    EXPECT_EQ(Records(), before);
    answer = TModal::Ok;
    for (auto [sender, check] : decorations) {
        Open(sender);
        EXPECT_TRUE(check->Checked()) << sender;
    }
    EXPECT_EQ(form->GetPropertyRecord(prAddLogo), "changed.gif|0|0|0|0|0|0|255|0|");
    EXPECT_EQ(GetField(0, form->GetPropertyRecord(prAddFrameThumb), FrameField::On), "1");
}

TEST_F(PropertiesDialog, ABarInAnyTextFieldIsStoredAsLineAndShownAsABar)
{
    act = [](TForm2& d) {
        d.Edit4->SetText("a|b");
        d.Edit3->SetText("page|");
        d.Edit50->SetText("x|y.jpg");
        d.Edit11->SetText("<b>|</b>");
    };
    Open("Button2");
    const std::string record = form->GetPropertyRecord(prPagePropertiesIndex);
    EXPECT_EQ(GetField(1, record, PageField::PageNumberSeparator), "a%lineb");
    EXPECT_EQ(GetField(1, record, PageField::PageNumberText), "page%line");
    EXPECT_EQ(GetField(1, record, PageField::BackgroundImageFile), "x%liney.jpg");
    EXPECT_EQ(GetField(1, record, PageField::BannerMode), "1");  // the fields after them keep their places
    EXPECT_EQ(form->GetPropertyRecord(prTextHeader1), "<b>%line</b>");
    std::string shown;
    act = [&](TForm2& d) { shown = d.Edit4->Text() + " " + d.Edit11->Text(); };
    answer = TModal::Cancel;
    Open("Button2");
    EXPECT_EQ(shown, "a|b <b>|</b>");

    // Every other text field of the dialog follows the same rule.
    answer = TModal::Ok;
    act = [](TForm2& d) {
        d.Edit12->SetText("My|Editor");
        d.Edit13->SetText("/usr/bin/ed|it");
    };
    Open("CustomizeEditor1");
    EXPECT_EQ(form->GetPropertyRecord(prEdit1), "My%lineEditor|/usr/bin/ed%lineit|");
    EXPECT_EQ(form->EditWith1->Caption(), "Edit with My|Editor");
    act = [](TForm2& d) {
        d.Edit17->SetText("A|B");
        d.Edit7->SetText("p|q.gif");
    };
    Open("Button6");
    EXPECT_EQ(GetField(1, form->GetPropertyRecord(prAddText), TextField::Text), "A%lineB");
    EXPECT_EQ(GetField(1, form->GetPropertyRecord(prAddText), TextField::BackgroundFile), "p%lineq.gif");
    EXPECT_EQ(GetField(1, form->GetPropertyRecord(prAddText), TextField::Count), "255");
}

TEST_F(PropertiesDialog, ShortOrDamagedRecordsOpenWithTheDefaultsOfTheirMissingFields)
{
    form->SetPropertyRecord(prAddLogo, "logo.gif|2|x");
    form->SetPropertyRecord(prMoreTable, "");
    form->SetPropertyRecord(prCurrentPage1, "junk");
    form->SetPropertyRecord(prAddButtonImage, "3|7");
    Open("Button7");
    EXPECT_TRUE(dialogs.Messages.empty());
    EXPECT_EQ(form->GetPropertyRecord(prAddLogo), "logo.gif|2|0|0|0|0|0|255|0|");
    Open("Button1");
    EXPECT_EQ(form->GetPropertyRecord(prMoreTable), PropertyRecordDefault(prMoreTable));
    EXPECT_EQ(form->GetPropertyRecord(prCurrentPage1), "0|0|0|");
    Open("Button5");
    EXPECT_EQ(form->GetPropertyRecord(prAddButtonImage), "3|7|0|20|16777215|0|0|10|0|50|16777215|");
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(PropertiesDialog, StoredValuesOutsideAControlsRangeAreClamped)
{
    // The stamp's transparency stops where the blend shows the image alone.
    std::string record = PropertyRecordDefault(prAddText);
    record = ReplaceText(record, "|50|", "|300|", false, false);
    form->SetPropertyRecord(prAddText, record);
    Open("Button6");
    EXPECT_EQ(GetField(1, form->GetPropertyRecord(prAddText), TextField::Transparency), "107");
    EXPECT_EQ(static_cast<int>(107 * 1.2), 128);
    EXPECT_LT(static_cast<int>(106 * 1.2), 128);
}

TEST_F(PropertiesDialog, AFaceThatIsNotInstalledIsWrittenBackUnchanged)
{
    form->SetPropertyRecord(prCaptionFontT, "No Such Face Anywhere|3|1|0|1|255|0|65280|");
    std::string shown;
    act = [&](TForm2& d) { shown = d.FontComboBox1->Text(); };
    Open("Button12");
    EXPECT_EQ(shown, "No Such Face Anywhere");
    EXPECT_EQ(form->GetPropertyRecord(prCaptionFontT), "No Such Face Anywhere|3|1|0|1|255|0|65280|");
}

TEST_F(PropertiesDialog, TabsAreRememberedPerKindAndReset)
{
    act = [](TForm2& d) { d.PageControl3->SetActivePageIndex(2); };
    Open("Button5");
    EXPECT_EQ(form->GetPropertyRecord(prCurrentPage1), "0|2|0|");
    int tab = -1;
    act = [&](TForm2& d) { tab = d.PageControl3->ActivePageIndex(); };
    Open("Button5");
    EXPECT_EQ(tab, 2);
    // Confirming the index page properties puts the others back on their first tab.
    act = nullptr;
    Open("Button2");
    EXPECT_EQ(form->GetPropertyRecord(prCurrentPage1), "0|0|0|");
}

// ---------------------------------------------------------------------------
// The dialog on its own

struct Rule {
    const char* governing;
    std::vector<const char*> governed;
};

TEST(PropertiesDialogAlone, EveryGoverningControlEnablesExactlyItsControls)
{
    TestApplication();
    TempProgramFolder folder;
    const Rule rules[] = {
        {"CheckBox62", {"CheckBox61", "Edit50"}},
        {"CheckBox65", {"SpinEdit20"}},
        {"CheckBox66", {"SpinEdit21"}},
        {"CheckBox17", {"SpinEdit16", "ComboBox8"}},
        {"CheckBox18", {"Edit5", "ComboBox11"}},
        {"ComboBox16", {"SpinEdit23"}},
        {"CheckBox23", {"Edit11", "SpeedButton2"}},
        {"CheckBox24", {"Edit24", "SpeedButton3"}},
        {"CheckBox21", {"edit15", "Button9", "SpinEdit4", "Panel22", "SpinEdit30", "SpinEdit31"}},
        {"CheckBox22",
         {"Edit6", "Button4", "SpinEdit17", "Panel23", "SpinEdit27", "ComboBox19", "Edit9", "CheckBox20", "Button39"}},
        {"ComboBox14", {"SpinEdit18", "SpinEdit19", "SpinEdit22", "Panel30", "Panel31"}},
        {"CheckBox19", {"SpinEdit24", "SpinEdit25", "SpinEdit26", "Panel32"}},
        {"CheckBox25", {"Edit25", "Button7", "SpinEdit32", "Panel35", "SpinEdit33"}},
        {"CheckBox2", {"SpinEdit14", "RadioButton1", "RadioButton2"}},
        {"CheckBox5", {"SpinEdit15", "RadioButton3", "RadioButton4"}},
    };
    TForm2 dialog(nullptr);
    auto set = [&](const char* name, bool on) {
        if (auto* check = dialog.Find<TCheckBox>(name))
            check->SetChecked(on);
        else
            dialog.Find<TComboBox>(name)->SetItemIndex(on ? 1 : 0);
    };
    for (const Rule& rule : rules) set(rule.governing, true);
    dialog.UpdateControls();
    for (const Rule& rule : rules) {
        set(rule.governing, false);
        dialog.UpdateControls();
        for (const Rule& other : rules)
            for (const char* name : other.governed)
                EXPECT_EQ(dialog.Find<TControl>(name)->Enabled(), &other != &rule) << rule.governing << " " << name;
        // Edits take the window colour when enabled, the button face when not; panels keep theirs.
        for (const char* name : rule.governed) {
            const std::string lower = AsciiLower(name);
            if (lower.find("edit") != std::string::npos && lower.find("spin") == std::string::npos) {
                EXPECT_EQ(dialog.Find<TControl>(name)->Color(), clBtnFace) << name;
            }
        }
        set(rule.governing, true);
        dialog.UpdateControls();
    }
}

TEST(PropertiesDialogAlone, ColoursFollowTheirGroupAndTickTheirCheckBox)
{
    TestApplication();
    TempProgramFolder folder;
    TForm2 dialog(nullptr);
    SetColorDialogHook([](TColor& c) {
        c = 0x123456;
        return true;
    });
    dialog.Label97->Click();  // the "Link" sample
    EXPECT_EQ(dialog.Panel26->Color(), 0x123456u);
    EXPECT_EQ(dialog.Label97->Font().Color, 0x123456u);
    EXPECT_TRUE(dialog.CheckBox58->Checked());
    EXPECT_FALSE(dialog.CheckBox56->Checked());
    EXPECT_FALSE(dialog.CheckBox57->Checked());
    dialog.Panel3->Click();
    EXPECT_EQ(dialog.Edit1->Text(), "563412");
    dialog.Panel6->Click();
    EXPECT_TRUE(dialog.CheckBox6->Checked());
    dialog.Panel5->Click();
    EXPECT_TRUE(dialog.CheckBox3->Checked());
    dialog.Panel20->Click();
    EXPECT_EQ(dialog.Edit17->Font().Color, 0x123456u);
    SetColorDialogHook(nullptr);
    // Six hexadecimal digits typed into the cell colour: red, green, blue.
    dialog.Edit1->SetText("FF8000");
    dialog.Edit1Exit(dialog.Edit1);
    EXPECT_EQ(dialog.Panel3->Color(), 0x0080FFu);
}

// Enter or Esc pressed as soon as a dialog opens, sent by the keyboard to the
// control that has the focus: OK or Cancel, never the help page.
TEST_F(PropertiesDialog, EnterRightAfterOpeningIsOkAndEscIsCancel)
{
    const struct {
        Qt::Key key;
        int result;
    } presses[] = {{Qt::Key_Return, TModal::Ok}, {Qt::Key_Enter, TModal::Ok}, {Qt::Key_Escape, TModal::Cancel}};
    for (const char* sender : {"Button2", "Button3", "Button6", "Button7", "Button5", "Button4", "Button1", "Button12",
                               "Button9", "CustomizeEditor1"})
        for (const auto& press : presses) {
            SCOPED_TRACE(std::string(sender) + " " + QKeySequence(press.key).toString().toStdString());
            int helps = 0, result = -1;
            std::string focused;
            form->ShowDialogWindow = [&](TForm& dialog) {
                auto& properties = dynamic_cast<TForm2&>(dialog);
                properties.Button33->OnClick = [&](TComponent*) { ++helps; };
                QTimer::singleShot(0, [&] {
                    // The window manager activates the new window.
                    QApplication::setActiveWindow(properties.Window());
                    QWidget* focus = QApplication::focusWidget();
                    ASSERT_NE(focus, nullptr);
                    focused = focus->objectName().toStdString();
                    QTest::keyClick(focus, press.key, press.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
                    if (properties.Visible()) properties.Close();  // the key did not close it
                });
                return result = properties.ShowModal();
            };
            Open(sender);
            EXPECT_EQ(result, press.result) << "focus on " << focused;
            EXPECT_EQ(helps, 0) << "focus on " << focused;
        }
}

TEST(PropertiesDialogAlone, EnterInTheBannerEditorAddsALineAndEscReturns)
{
    TestApplication();
    TempProgramFolder folder;
    TForm2 dialog(nullptr);
    int cancelled = 0;
    dialog.Button11->OnClick = [&](TComponent*) { ++cancelled; };
    dialog.Notebook1->SetPageIndex(ppBanner);
    dialog.Show();
    auto* memo = static_cast<QPlainTextEdit*>(dialog.memo3->Widget());
    memo->setPlainText("one");
    memo->moveCursor(QTextCursor::End);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(memo, &enter);
    EXPECT_EQ(memo->toPlainText().toStdString(), "one\n");
    EXPECT_TRUE(dialog.Visible());
    EXPECT_EQ(dialog.ModalResult, TModal::None);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(memo, &esc);
    EXPECT_EQ(cancelled, 1);
    // Elsewhere Enter is OK and Esc is Cancel.
    dialog.Notebook1->SetPageIndex(ppLogo);
    QKeyEvent enter2(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(dialog.Edit18->Widget(), &enter2);
    EXPECT_EQ(dialog.ModalResult, TModal::Ok);
    EXPECT_FALSE(dialog.Visible());
}

TEST(PropertiesDialogAlone, EscAndEnterOnTheColourPickerPressItsOwnButtons)
{
    TestApplication();
    TempProgramFolder folder;
    TForm2 dialog(nullptr);
    std::string pressed;
    dialog.Button35->OnClick = [&](TComponent*) { pressed += "ok "; };
    dialog.Button36->OnClick = [&](TComponent*) { pressed += "cancel "; };
    dialog.Button1->OnClick = [&](TComponent*) { pressed += "banner ok "; };
    dialog.Button11->OnClick = [&](TComponent*) { pressed += "banner cancel "; };
    dialog.Notebook1->SetPageIndex(ppColorPicker);
    dialog.Show();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(dialog.RasterView1->Widget(), &esc);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(dialog.RasterView1->Widget(), &enter);
    EXPECT_EQ(pressed, "cancel ok ");
    EXPECT_EQ(dialog.ModalResult, TModal::None);
    EXPECT_TRUE(dialog.Visible());
}

TEST(PropertiesDialogAlone, KindsAreFoundByTheExactLowerCaseName)
{
    EXPECT_EQ(PropertyKindOfSender("button2"), pkPageIndex);
    EXPECT_EQ(PropertyKindOfSender("customizeeditor1"), pkEditors);
    EXPECT_EQ(PropertyKindOfSender("Button2"), -1);
    EXPECT_EQ(PropertyKindOfSender("button22"), -1);
    EXPECT_EQ(TForm2::HelpContextOfPage(0), 47);
    EXPECT_EQ(TForm2::HelpContextOfPage(4), 46);
    EXPECT_EQ(TForm2::HelpContextOfPage(8), 0);
}

}  // namespace

namespace {

TEST_F(PropertiesDialog, PicturePickersStartInTheFilesFolderOrThePickerFolderAndRememberTheChoice)
{
    fs::create_directories(folder.File("pics"));
    dialogs.FileAnswers.push_back({"/somewhere/else/logo.gif"});
    dialogs.FileAnswers.push_back({});  // cancelled
    act = [](TForm2& d) { d.Button6->Click(); };
    Open("Button7");
    ASSERT_EQ(dialogs.FileRequests.size(), 1u);
    EXPECT_EQ(dialogs.FileRequests[0].InitialDir, folder.Path() + "frames");
    EXPECT_EQ(GetField(1, form->GetPropertyRecord(prAddLogo), LogoField::File), "/somewhere/else/logo.gif");
    EXPECT_EQ(form->GetPropertyRecord(prLogoIFolder), "/somewhere/else/");
    // A file whose folder exists opens there with its name filled in; Cancel changes nothing.
    form->SetPropertyRecord(prAddLogo, folder.File("pics/mine.gif") + "|0|0|0|0|0|0|255|0|");
    Open("Button7");
    ASSERT_EQ(dialogs.FileRequests.size(), 2u);
    EXPECT_EQ(dialogs.FileRequests[1].InitialDir, folder.Path() + "pics/");
    EXPECT_EQ(dialogs.FileRequests[1].FileName, "mine.gif");
    EXPECT_EQ(GetField(1, form->GetPropertyRecord(prAddLogo), LogoField::File), folder.File("pics/mine.gif"));
    EXPECT_EQ(dialogs.FileRequests[1].Filter.rfind("All formats|", 0), 0u);
}

}  // namespace
