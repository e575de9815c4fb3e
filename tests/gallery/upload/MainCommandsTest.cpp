// The main window's commands that hand work to the upload window, the web
// browser, the template editors, the viewer and the description editor.
#include "gallery/windows/pvftp1.h"

#include "WindowTestSupport.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "platform/shell/Shell.h"
#include "platform/system/System.h"
#include "tests/support/TestApplication.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class MainCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm1>();
        dest = program.Path() + "dest/";
        fs::create_directories(dest);
        form->Edit1->SetText(dest);
        // A stand-in opener and editor that write their arguments down.
        capture = program.Path() + "captured.txt";
        recorder = program.Path() + "record-args.sh";
        WriteFile(recorder, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + capture +
                                ".tmp\"\nmv \"" + capture + ".tmp\" \"" + capture + "\"\n");
        chmod(recorder.c_str(), 0755);
        SetShellOpener(recorder);
    }
    void TearDown() override { SetShellOpener(""); }

    // The arguments the opener or editor got (waits for it; empty when none came).
    std::string Captured()
    {
        if (!testsupport::WaitForFile(capture)) return std::string();
        std::string text = ReadFile(capture);
        fs::remove(capture);
        return text;
    }

    TempProgramFolder program;
    DialogScript dialogs;
    std::unique_ptr<TForm1> form;
    std::string dest, capture, recorder;
};

TEST_F(MainCommandsTest, UploadTakesRecord17AndStoresItBackOnOk)
{
    program.Write("pftp.bak", "index.htm\r\nimages/a b.jpg\r\nthumbs/t.jpg\r\n");
    program.Write("pvftp.pv", "First|h1|21|15|u|p|f|\r\nSec%lineond|h2|21|15|u|p|f|\r\n");
    int shown = 0;
    form->ShowUploadWindow = [&](TForm5& w) {
        ++shown;
        EXPECT_EQ(w.Caption(), "FTP Upload");
        EXPECT_EQ(w.Notebook1->PageIndex(), 0);
        EXPECT_EQ(w.Edit1->Text(), "ftp.example.com");
        EXPECT_EQ(w.SpinEdit1->Value(), 21);
        EXPECT_EQ(w.SpinEdit2->Value(), 100);
        EXPECT_EQ(w.Edit2->Text(), "My Name");
        EXPECT_EQ(w.Edit3->Text(), "Blue Harbor");
        EXPECT_EQ(w.Edit5->Text(), "");
        EXPECT_EQ(w.Edit6->Text(), "");
        EXPECT_EQ(w.ComboBox1->Items().ToVector(), (std::vector<std::string>{"First", "Sec|ond"}));
        EXPECT_EQ(w.ListBox1->Items().ToVector(),
                  (std::vector<std::string>{"index.htm", "images/a b.jpg", "thumbs/t.jpg"}));
        EXPECT_EQ(w.Label1->Caption(), dest);
        EXPECT_EQ(w.StatusBar1->PanelText(1), "Total Files: 3");
        w.Edit1->SetText("ftp.mine.test");
        w.SpinEdit1->SetValue(2121);
        w.Edit3->SetText("pass|word");
        w.Edit5->SetText("gallery");
        return TModal::Ok;
    };
    form->Upload1->Click();
    EXPECT_EQ(shown, 1);
    // The placeholder web address of the default record is gone.
    EXPECT_EQ(form->GetPropertyRecord(prUpload), "ftp.mine.test|2121|100|My Name|pass%lineword|gallery|");

    // Closed any other way, nothing is stored.
    form->ShowUploadWindow = [&](TForm5& w) {
        w.Edit1->SetText("other.test");
        return TModal::Cancel;
    };
    form->Upload1->Click();
    EXPECT_EQ(form->GetPropertyRecord(prUpload), "ftp.mine.test|2121|100|My Name|pass%lineword|gallery|");

    // Reopened, the stored fields come back.
    form->ShowUploadWindow = [&](TForm5& w) {
        EXPECT_EQ(w.Edit3->Text(), "pass|word");
        EXPECT_EQ(w.SpinEdit1->Value(), 2121);
        return TModal::Cancel;
    };
    form->Upload1->Click();
}

TEST_F(MainCommandsTest, ManualPasteTakesRecord16AndStoresItBackOnOk)
{
    program.Write("pftp.bak", "index.htm\n");
    form->ShowUploadWindow = [&](TForm5& w) {
        EXPECT_EQ(w.Caption(), "Manual Paste");
        EXPECT_EQ(w.Notebook1->PageIndex(), 1);
        EXPECT_EQ(w.Edit43->Text(), "Your Name");
        EXPECT_EQ(w.Edit44->Text(), "my login here");
        EXPECT_EQ(w.Edit47->Text(), "<specify here>");
        EXPECT_EQ(w.ComboBox29->ItemIndex(), 1);
        w.Edit45->SetText("third");
        w.ComboBox29->SetItemIndex(0);
        return TModal::Ok;
    };
    form->ManualPaste1->Click();
    EXPECT_EQ(form->GetPropertyRecord(prManualPaste), "Your Name|my login here|third|<specify here>|<specify here>|0|");
    EXPECT_EQ(form->GetPropertyRecord(prUpload), PropertyRecordDefault(prUpload));
}

TEST_F(MainCommandsTest, RealModalWindowClosesWithOkByItsExitButton)
{
    program.Write("pftp.bak", "a.htm\r\nb.jpg\r\n");
    testsupport::WhenModal([](QWidget* w) {
        EXPECT_EQ(w->windowTitle().toStdString(), "FTP Upload");
        w->findChild<QPushButton*>("Button3")->click();
    });
    form->Upload1->Click();
    EXPECT_EQ(form->GetPropertyRecord(prUpload), "ftp.example.com|21|100|My Name|Blue Harbor||");
}

TEST_F(MainCommandsTest, MissingProducedFilesListGivesAClearMessage)
{
    bool shown = false;
    form->ShowUploadWindow = [&](TForm5&) {
        shown = true;
        return TModal::Ok;
    };
    form->Upload1->Click();
    EXPECT_FALSE(shown);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Caption, "FTP Upload");
    EXPECT_NE(dialogs.Messages[0].Text.find("There is no list of produced files yet"), std::string::npos);
    EXPECT_NE(dialogs.Messages[0].Text.find("pftp.bak"), std::string::npos);
    EXPECT_EQ(form->GetPropertyRecord(prUpload), PropertyRecordDefault(prUpload));
}

TEST_F(MainCommandsTest, NonNumericPortIsReportedAndNoWindowShows)
{
    program.Write("pftp.bak", "a.htm\n");
    form->SetPropertyRecord(prUpload, "host|twenty-one|15|u|p|f|");
    bool shown = false;
    form->ShowUploadWindow = [&](TForm5&) {
        shown = true;
        return TModal::Ok;
    };
    form->Upload1->Click();
    EXPECT_FALSE(shown);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "'twenty-one' is not a valid integer value");
    EXPECT_EQ(form->GetPropertyRecord(prUpload), "host|twenty-one|15|u|p|f|");
}

TEST_F(MainCommandsTest, PreviewOpensTheIndexOrTheFramePage)
{
    form->Edit2->SetText("index.htm");
    // A page that is not there yet is reported, nothing is started.
    form->PreviewInWebBrowser1->Click();
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "Cannot find " + dest + "index.htm");
    WriteFile(dest + "index.htm", "<html></html>");
    WriteFile(dest + "frames.htm", "<html></html>");
    form->PreviewInWebBrowser1->Click();
    EXPECT_EQ(Captured(), dest + "index.htm\n");

    std::string record = form->GetPropertyRecord(prPagePropertiesIndex);
    std::vector<std::string> fields;
    for (int n = 1; n <= 31; ++n) fields.push_back(GetField(1, record, n));
    fields[24] = "1";
    fields[25] = "frames.htm";
    std::string joined;
    for (const auto& f : fields) joined += f + "|";
    form->SetPropertyRecord(prPagePropertiesIndex, joined);
    form->ShowHTMLPage1->Click();
    EXPECT_EQ(Captured(), dest + "frames.htm\n");
}

TEST_F(MainCommandsTest, TemplateEditingOpensTheTemplateOrTheChosenEditor)
{
    form->ComboBox3->Items().Assign({"idx.htm"});
    form->ComboBox3->SetItemIndex(0);
    form->ComboBox5->Items().Assign({"img \"one\".htm"});
    form->ComboBox5->SetItemIndex(0);
    form->SetPropertyRecord(prEdit2, "My Editor|" + recorder + "  |");
    WriteFile(program.Path() + "indexpg/idx.htm", "%thumb_location");

    // The image-page button was under the mouse, no mouse button held (the
    // drop-down opens on the press, so no move with a button comes before it);
    // the second editor entry.
    QMouseEvent hover(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(form->ToolButton10->Widget(), &hover);
    EXPECT_EQ(form->Label51->Caption(), "ToolButton10");
    form->EditWith2->Click();
    EXPECT_EQ(Captured(), ProgramFolder() + "imagepg/img \"one\".htm\n");

    // The index-page tool button itself opens its template with the opener.
    form->ToolButton9->Click();
    EXPECT_EQ(Captured(), ProgramFolder() + "indexpg/idx.htm\n");
    EXPECT_EQ(form->Label51->Caption(), "ToolButton9");
}

// "Edit with" offers the desktop's own editors; a settings file from Windows
// days gets them too, and a program that is not on this computer is named.
TEST_F(MainCommandsTest, EditWithStartsTheDesktopsEditorsAndNamesAMissingProgram)
{
    program.Desktop().AddEntry("scribe.desktop", "Name=Scribe\nExec=" + recorder +
                                                     " %F\nCategories=Utility;TextEditor;\nMimeType=text/plain;\n");
    program.Desktop().SetDefaults("[Default Applications]\ntext/plain=scribe.desktop;\n");
    WriteFile(program.Path() + "indexpg/idx.htm", "%thumb_location");
    auto start = [&] {
        form.reset();
        form = std::make_unique<TForm1>();
        form->ComboBox3->Items().Assign({"idx.htm"});
        form->ComboBox3->SetItemIndex(0);
        form->ToolButton9MouseMove(form->ToolButton9, TMouseButton::None, false, 1, 1);
    };
    start();
    EXPECT_EQ(form->EditWith1->Caption(), "Edit with Web page editor");
    EXPECT_EQ(form->EditWith2->Caption(), "Edit with Scribe");
    form->EditWith2->Click();
    EXPECT_EQ(Captured(), ProgramFolder() + "indexpg/idx.htm\n");

    program.Write("pv.ini",
                  "[Others]\r\nEdit1=My Page Tool|c:\\tools\\pagetool.exe|\r\n"
                  "Edit2=Windows Notepad|c:\\windows\\notepad.exe|\r\n");
    start();
    EXPECT_EQ(form->EditWith2->Caption(), "Edit with Scribe");
    form->EditWith2->Click();
    EXPECT_EQ(Captured(), ProgramFolder() + "indexpg/idx.htm\n");
    EXPECT_TRUE(dialogs.Messages.empty());
    form->EditWith1->Click();
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Caption, "Error");
    EXPECT_EQ(dialogs.Messages[0].Text,
              "The editor program \"c:\\tools\\pagetool.exe\" does not exist on this "
              "computer. Choose an installed program on the Customize Editor page.");
}

TEST_F(MainCommandsTest, ViewAndDescriptionCommandsOpenTheirWindowsForTheSelectedItem)
{
    std::vector<std::string> opened;
    form->ShowDialogWindow = [&](TForm& window) {
        std::string mode;
        if (auto* label = window.Find<TLabel>("Label1"); label && window.Name == "Form3") mode = label->Caption();
        if (auto* edit = window.Find<TEdit>("Edit1"); edit && window.Name == "Form4") mode = edit->Text();
        opened.push_back(window.Name + " " + mode);
        return TModal::Cancel;
    };
    const std::string picture = program.Path() + "pic.jpg";
    WriteFile(picture, "x");
    form->ListView1->Add(TForm1::MakeSourceItem(picture));
    form->ListView1->SetSelected(0, true);
    form->UpdateControls();
    for (TMenuItem* m : {form->ViewOriginalImage1, form->View1, form->ViewThumbnai1}) m->Click();
    EXPECT_EQ(opened, (std::vector<std::string>{"Form3 3", "Form3 2", "Form3 1"}));
    // "Customize editor" opens the properties dialog on its editors page.
    form->CustomizeEditor1->Click();
    EXPECT_EQ(opened.back(), "Form2 ");
    EXPECT_TRUE(dialogs.Messages.empty());
    // The description editor: nothing with an empty list; else the first item when none is selected.
    opened.clear();
    form->ListView1->Clear();
    form->Button13->Click();
    EXPECT_TRUE(opened.empty());
    form->ListView1->Add(TForm1::MakeSourceItem(picture));
    form->ListView1->SetSelected(0, false);
    form->Button13->Click();
    EXPECT_TRUE(form->ListView1->Selected(0));
    EXPECT_EQ(opened, (std::vector<std::string>{"Form4 " + picture}));
}

}  // namespace
