// Profiles (pvftp.pv), saved lists (.pfp), the name prompt and the
// manual-paste hot keys of the upload window.
#include "gallery/windows/pvftp1.h"

#include "WindowTestSupport.h"

#include "gallery/windows/pvu5.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/shell/Shell.h"
#include "platform/streams/Streams.h"
#include "platform/system/System.h"
#include "widgets/kitnwgui.h"
#include "tests/support/TestApplication.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class UploadProfilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetMessageDlgHook([](const std::string& c, const std::string& m, int t, int b) {
            return MessageDlg(c, m, static_cast<TMsgDlgType>(t), b);
        });
        form = std::make_unique<TForm5>(nullptr);
        form->AskName = [this](const std::string& caption, std::string& name) {
            captions.push_back(caption);
            if (names.empty()) return false;
            name = names.front();
            names.pop_front();
            return true;
        };
    }
    void TearDown() override { SetMessageDlgHook(nullptr); }

    void Fill(const std::string& host, int port, int timeout, const std::string& user, const std::string& password,
              const std::string& folder)
    {
        form->Edit1->SetText(host);
        form->SpinEdit1->SetValue(port);
        form->SpinEdit2->SetValue(timeout);
        form->Edit2->SetText(user);
        form->Edit3->SetText(password);
        form->Edit5->SetText(folder);
    }
    std::string Profiles() const { return program.Read("pvftp.pv"); }

    TempProgramFolder program;
    DialogScript dialogs;
    std::unique_ptr<TForm5> form;
    std::deque<std::string> names;
    std::vector<std::string> captions;
};

TEST_F(UploadProfilesTest, SaveReplaceLoadRenameAndDelete)
{
    Fill("ftp.one.test", 21, 15, "ann", "p|w one", "www");
    names = {"One"};
    form->Button14Click(form->Button14);
    EXPECT_EQ(captions, std::vector<std::string>{"Save Setting"});
    EXPECT_EQ(Profiles(), "One|ftp.one.test|21|15|ann|p%linew one|www|\r\n");
    struct stat st {};
    ASSERT_EQ(stat(TForm5::ProfilesFileName().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A new profile goes first; the combo lists the names in file order.
    Fill("two.test", 2121, 30, "bob", "secret", "");
    names = {"Two"};
    form->Button14Click(form->Button14);
    EXPECT_EQ(Profiles(), "Two|two.test|2121|30|bob|secret||\r\nOne|ftp.one.test|21|15|ann|p%linew one|www|\r\n");
    EXPECT_EQ(form->ComboBox1->Items().ToVector(), (std::vector<std::string>{"Two", "One"}));

    // The same name asks first; Cancel keeps the file, OK replaces that line.
    Fill("changed.test", 99, 1, "x", "y", "z");
    names = {"One", "One"};
    dialogs.MessageAnswers = {TModal::Cancel, TModal::Ok};
    const std::string before = Profiles();
    form->Button14Click(form->Button14);
    EXPECT_EQ(Profiles(), before);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Caption, "Confirm Replace");
    EXPECT_EQ(dialogs.Messages[0].Text, "\"One\" already exists. Would you like to replace it?");
    form->Button14Click(form->Button14);
    EXPECT_EQ(Profiles(), "Two|two.test|2121|30|bob|secret||\r\nOne|changed.test|99|1|x|y|z|\r\n");

    // Choosing a profile loads its fields.
    Fill("", 0, 0, "", "", "");
    form->ComboBox1->SetItemIndex(0);
    form->ComboBox1Click(form->ComboBox1);
    EXPECT_EQ(form->Edit1->Text(), "two.test");
    EXPECT_EQ(form->SpinEdit1->Value(), 2121);
    EXPECT_EQ(form->SpinEdit2->Value(), 30);
    EXPECT_EQ(form->Edit2->Text(), "bob");
    EXPECT_EQ(form->Edit3->Text(), "secret");
    EXPECT_EQ(form->Edit5->Text(), "");

    // Rename keeps the fields and the place of the line.
    names = {"Second"};
    form->Button15Click(form->Button15);
    EXPECT_EQ(captions.back(), "Rename Setting");
    EXPECT_EQ(Profiles(), "Second|two.test|2121|30|bob|secret||\r\nOne|changed.test|99|1|x|y|z|\r\n");
    EXPECT_EQ(form->ComboBox1->Items().ToVector(), (std::vector<std::string>{"Second", "One"}));
    // A name another profile has asks first; Cancel keeps both, OK leaves one
    // profile of that name: the renamed line, in its place.
    names = {"One", "One"};
    dialogs.Messages.clear();
    dialogs.MessageAnswers = {TModal::Cancel, TModal::Ok};
    form->Button15Click(form->Button15);
    EXPECT_EQ(Profiles(), "Second|two.test|2121|30|bob|secret||\r\nOne|changed.test|99|1|x|y|z|\r\n");
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Caption, "Confirm Replace");
    form->Button15Click(form->Button15);
    EXPECT_EQ(Profiles(), "One|two.test|2121|30|bob|secret||\r\n");
    EXPECT_EQ(form->ComboBox1->Items().ToVector(), std::vector<std::string>{"One"});
    EXPECT_EQ(form->ComboBox1->ItemIndex(), 0);
    names = {"Second"};
    form->Button15Click(form->Button15);
    Fill("ftp.one.test", 21, 15, "ann", "p|w one", "www");
    names = {"One"};
    form->Button14Click(form->Button14);
    EXPECT_EQ(Profiles(), "One|ftp.one.test|21|15|ann|p%linew one|www|\r\nSecond|two.test|2121|30|bob|secret||\r\n");

    // Delete asks; Cancel keeps the line, OK removes it and its combo item.
    form->ComboBox1->SetItemIndex(1);
    dialogs.Messages.clear();
    dialogs.MessageAnswers = {TModal::Cancel, TModal::Ok};
    form->Button13Click(form->Button13);
    EXPECT_EQ(form->ComboBox1->Items().Count(), 2);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Caption, "Confirm Delete");
    EXPECT_EQ(dialogs.Messages[0].Text, "Are you sure you want to delete \"Second\"?");
    form->Button13Click(form->Button13);
    EXPECT_EQ(Profiles(), "One|ftp.one.test|21|15|ann|p%linew one|www|\r\n");
    EXPECT_EQ(form->ComboBox1->Items().ToVector(), std::vector<std::string>{"One"});
    ASSERT_EQ(stat(TForm5::ProfilesFileName().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Profiles the Windows program saved in Windows-1252: the names and hosts read
// as UTF-8 (and are written back so), the login and the remote folder stay
// the bytes the server knows; a profile named in UTF-8 is found by that name.
TEST_F(UploadProfilesTest, Windows1252ProfilesShowTheirNamesInUtf8)
{
    program.Write("pvftp.pv", "Caf\xe9|h\xf4te.test|21|100|Jos\xe9|p\xe4ss|/www/f\xfcr|\r\n");
    Fill("two.test", 21, 30, "bob", "secret", "");
    names = {"Caf\xc3\xa9"};
    dialogs.MessageAnswers = {TModal::Cancel};
    form->Button14Click(form->Button14);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "\"Caf\xc3\xa9\" already exists. Would you like to replace it?");
    names = {"Neu"};
    form->Button14Click(form->Button14);
    EXPECT_EQ(Profiles(),
              "Neu|two.test|21|30|bob|secret||\r\n"
              "Caf\xc3\xa9|h\xc3\xb4te.test|21|100|Jos\xe9|p\xe4ss|/www/f\xfcr|\r\n");
    EXPECT_EQ(form->ComboBox1->Items().ToVector(), (std::vector<std::string>{"Neu", "Caf\xc3\xa9"}));
    form->ComboBox1->SetItemIndex(1);
    form->ComboBox1Click(form->ComboBox1);
    EXPECT_EQ(form->Edit1->Text(), "h\xc3\xb4te.test");
    EXPECT_EQ(form->Edit2->Text(), "Jos\xe9");
    EXPECT_EQ(form->Edit3->Text(), "p\xe4ss");
    EXPECT_EQ(form->Edit5->Text(), "/www/f\xfcr");
}

TEST_F(UploadProfilesTest, ProfilesAreNotWrittenThroughALinkInTheirPlace)
{
    program.Write("theirs.txt", "theirs");
    ASSERT_EQ(::symlink(program.File("theirs.txt").c_str(), TForm5::ProfilesFileName().c_str()), 0);
    Fill("ftp.one.test", 21, 15, "ann", "secret", "www");
    names = {"One"};
    EXPECT_THROW(form->Button14Click(form->Button14), EFCreateError);
    EXPECT_EQ(program.Read("theirs.txt"), "theirs");
}

TEST_F(UploadProfilesTest, CancelledOrEmptyNameSavesNothingAndBadPortRaises)
{
    names = {""};
    form->Button14Click(form->Button14);
    form->Button14Click(form->Button14);  // cancelled
    EXPECT_FALSE(FileExists(TForm5::ProfilesFileName()));
    // Deleting without a profiles file or a chosen profile changes nothing.
    form->Button13Click(form->Button13);
    EXPECT_TRUE(dialogs.Messages.empty());

    program.Write("pvftp.pv", "Broken|host|twenty|15|u|p|f|\r\n");
    form->ComboBox1->Items().Assign({"Broken"});
    form->ComboBox1->SetItemIndex(0);
    EXPECT_THROW(form->ComboBox1Click(form->ComboBox1), Exception);
}

TEST_F(UploadProfilesTest, NamePromptAnswersWithItsEditAndKeys)
{
    // The real prompt, answered through its own controls.
    testsupport::WhenModal([](QWidget* prompt) {
        prompt->findChild<QLineEdit*>("Edit1")->setText("Typed name");
        prompt->findChild<QPushButton*>("Button1")->click();
    });
    std::string name;
    EXPECT_TRUE(AskSettingName(nullptr, "Save Setting", name));
    EXPECT_EQ(name, "Typed name");

    TForm7 prompt(nullptr);
    int key = 13;
    prompt.Edit1KeyPress(prompt.Edit1, key);
    EXPECT_EQ(prompt.ModalResult, TModal::Ok);
    key = 27;
    prompt.Edit1KeyPress(prompt.Edit1, key);
    EXPECT_EQ(prompt.ModalResult, TModal::Cancel);
    prompt.ModalResult = TModal::None;
    key = 'a';
    prompt.Edit1KeyPress(prompt.Edit1, key);
    EXPECT_EQ(prompt.ModalResult, TModal::None);
    EXPECT_EQ(prompt.Caption(), "Save Setting");
}

TEST_F(UploadProfilesTest, SavedListsRoundTrip)
{
    form->ListBox2->Items().Assign({"index.htm", "images/a b.jpg", "thumbs/t.jpg"});
    dialogs.FileAnswers = {{program.Path() + "mylist"}};
    form->Button5Click(form->Button5);
    ASSERT_EQ(dialogs.FileRequests.size(), 1u);
    EXPECT_EQ(dialogs.FileRequests[0].Filter, "ftp generated files (*.pfp)|*.pfp");
    EXPECT_EQ(dialogs.FileRequests[0].DefaultExt, "pfp");
    EXPECT_EQ(dialogs.FileRequests[0].InitialDir, ProgramFolder());
    EXPECT_EQ(program.Read("mylist.pfp"), "index.htm\r\nimages/a b.jpg\r\nthumbs/t.jpg\r\n");

    form->ListBox2->Items().Clear();
    dialogs.FileAnswers = {{}, {program.Path() + "mylist.pfp"}};
    form->Button4Click(form->Button4);  // cancelled
    EXPECT_EQ(form->ListBox2->Items().Count(), 0);
    form->Button4Click(form->Button4);
    EXPECT_EQ(form->ListBox2->Items().ToVector(),
              (std::vector<std::string>{"index.htm", "images/a b.jpg", "thumbs/t.jpg"}));
    EXPECT_EQ(form->StatusBar1->PanelText(1), "Total Files: 3");
}

TEST_F(UploadProfilesTest, WebAddressButtonOpensTheAddress)
{
    const std::string capture = program.Path() + "opened.txt";
    const std::string opener = program.Path() + "opener.sh";
    WriteFile(opener, "#!/bin/sh\nprintf '%s' \"$1\" > \"" + capture + ".tmp\" && mv \"" + capture + ".tmp\" \"" +
                          capture + "\"\n");
    chmod(opener.c_str(), 0755);
    SetShellOpener(opener);
    form->Edit6->SetText("http://www.example.com/gallery/");
    form->SpeedButton1->Click();
    EXPECT_TRUE(testsupport::WaitForFile(capture));
    SetShellOpener("");
    EXPECT_EQ(program.Read("opened.txt"), "http://www.example.com/gallery/");
}

TEST_F(UploadProfilesTest, HotKeysPutPathsAndTextsOnTheClipboard)
{
    ASSERT_EQ(form->HotKeys.size(), 9u);
    const TShortCut expected[9] = {32805, 32807, 32806, 32808, 32817, 32818, 32819, 32820, 32821};
    for (int k = 0; k < 9; ++k) EXPECT_EQ(form->HotKeys[static_cast<std::size_t>(k)]->HotKey(), expected[k]);
    auto press = [&](const std::string& name) {
        auto* key = form->Find<TKitGlobalHotKey>(name);
        ASSERT_NE(key, nullptr) << name;
        EXPECT_TRUE(key->Active());
        // The hot-key message, as the component's hidden window gets it.
        SendMessage(key->Handle(), WM_HOTKEY, key->Identifier(), 0);
    };
    QClipboard* clipboard = QApplication::clipboard();
    form->Label1->SetCaption("/out/site/");
    form->ListBox1->Items().Assign({"index.htm", "img/a.jpg", "img/b.jpg"});
    form->Notebook1->SetPageIndex(1);
    form->ComboBox29->SetItemIndex(0);
    form->FormShow();
    EXPECT_EQ(form->ListBox1->ItemIndex(), 0);
    press("PVCut2");
    EXPECT_EQ(form->ListBox1->ItemIndex(), 2);
    EXPECT_EQ(clipboard->text().toStdString(), "/out/site/img/b.jpg");
    press("PVCut4");  // next stays on the last line
    EXPECT_EQ(form->ListBox1->ItemIndex(), 2);
    press("PVCut3");
    EXPECT_EQ(clipboard->text().toStdString(), "/out/site/img/a.jpg");
    form->ComboBox29->SetItemIndex(1);
    press("PVCut1");
    EXPECT_EQ(form->ListBox1->ItemIndex(), 0);
    EXPECT_EQ(clipboard->text().toStdString(), "index.htm");
    press("PVCut3");  // previous stays on the first line
    EXPECT_EQ(form->ListBox1->ItemIndex(), 0);

    TEdit* edits[5] = {form->Edit43, form->Edit44, form->Edit45, form->Edit46, form->Edit47};
    const char* names[5] = {"PVCut5", "PVCut6", "Pvcut7", "PVCut8", "PVCut9"};
    for (int k = 0; k < 5; ++k) {
        edits[k]->SetText("text " + std::to_string(k + 1));
        press(names[k]);
        EXPECT_EQ(clipboard->text().toStdString(), "text " + std::to_string(k + 1));
    }
    // An empty list copies nothing.
    clipboard->setText("unchanged");
    form->ListBox1->Items().Clear();
    press("PVCut1");
    EXPECT_EQ(clipboard->text().toStdString(), "unchanged");
}

}  // namespace
