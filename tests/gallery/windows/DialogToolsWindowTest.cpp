// The properties dialog's settings templates and tools, opened from the main
// window as a user would: templates saved and chosen on each face, added,
// replaced, deleted and renamed (refused names included), the banner editor,
// the preview, the transparent-colour picker, colour copy and paste, the
// frame-page template's editors and the editor-program pickers.
#include "WindowTestSupport.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/properties/pvu1.h"
#include "gallery/properties/pvu1TemplateFiles.h"
#include "gallery/records/pvutils.h"
#include "platform/shell/Shell.h"
#include "platform/system/System.h"
#include "raster/RasterFiles.h"
#include "raster/RasterView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>

#include <chrono>
#include <deque>
#include <filesystem>
#include <tuple>

namespace fs = std::filesystem;

namespace {

const std::string DataFolder = std::string(PICTAVO_SOURCE_DIR) + "/data/";

// A program that records its arguments, one a line, in <itself>.out.
std::string RecordingProgram(const std::string& path)
{
    WriteFile(path,
              "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n");
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

// What a recording program wrote, once it has run.
std::string WaitForOutput(const std::string& program)
{
    return testsupport::WaitForFile(program + ".out") ? ReadFile(program + ".out") : "";
}

class DialogTools : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::copy(DataFolder + "framepg", folder.File("framepg"), fs::copy_options::recursive);
        for (int i = 0; i < PropertyRecordCount; ++i) form.SetPropertyRecord(i, PropertyRecordDefault(i));
        form.ShowDialogWindow = [this](TForm& window) {
            auto& dialog = dynamic_cast<TForm2&>(window);
            dialog.AskName = [this](const std::string& caption, std::string& name) {
                prompts.push_back(caption + ":" + name);
                if (names.empty()) return false;
                name = names.front();
                names.pop_front();
                return true;
            };
            dialog.Show();
            act(dialog);
            dialog.Hide();
            return answer;
        };
    }
    // Opens the dialog from a main-window button and runs what the user does in it.
    void Open(const std::string& button, std::function<void(TForm2&)> what)
    {
        act = std::move(what);
        form.Find<TButton>(button)->Click();
    }
    std::string Template(const std::string& kind, const std::string& name) const
    {
        return folder.File("settings/" + kind + "/" + name + ".pvx");
    }
    // The message boxes shown since the last look, as "caption: text".
    std::vector<std::string> TakeMessages()
    {
        std::vector<std::string> shown;
        for (const TMessageRequest& m : dialogs.Messages) shown.push_back(m.Caption + ": " + m.Text);
        dialogs.Messages.clear();
        return shown;
    }
    static std::vector<std::string> Items(TComboBox* list) { return list->Items().ToVector(); }

    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    std::function<void(TForm2&)> act;
    int answer = TModal::Cancel;
    std::deque<std::string> names;
    std::vector<std::string> prompts;
};

TEST_F(DialogTools, TemplatesSavedOnEachFaceComeBackWhenChosen)
{
    // The logo face: values saved, changed, and chosen again.
    Open("Button7", [&](TForm2& d) {
        d.Edit18->SetText("/pics/logo.png");
        d.SpinEdit1->SetValue(17);
        d.ComboBox5->SetItemIndex(8);
        TForm2::SetControlColor(*d.Panel21, 0x00FF00);
        names = {"Corner logo"};
        d.Add1Click(d.Add1);
        EXPECT_EQ(Items(d.ComboBox6), std::vector<std::string>{"Corner logo"});
        EXPECT_EQ(d.ComboBox6->Text(), "Corner logo");
        d.Edit18->SetText("");
        d.SpinEdit1->SetValue(0);
        d.ComboBox5->SetItemIndex(0);
        d.ComboBox6->SetItemIndex(0);
        d.ComboBox7Click(d.ComboBox6);
        EXPECT_EQ(d.Edit18->Text(), "/pics/logo.png");
        EXPECT_EQ(d.SpinEdit1->Value(), 17);
        EXPECT_EQ(d.ComboBox5->ItemIndex(), 8);
        EXPECT_EQ(TForm2::ControlColor(*d.Panel21), 0x00FF00u);
    });
    EXPECT_EQ(prompts, std::vector<std::string>{"Save Setting:"});
    EXPECT_NE(ReadFile(Template("logo", "Corner logo")).find("[Logo]\r\nFile=/pics/logo.png\r\nPosition=8\r\nX=17\r\n"),
              std::string::npos);
    // The template does not touch the records.
    EXPECT_EQ(form.GetPropertyRecord(prAddLogo), PropertyRecordDefault(prAddLogo));

    // The text stamp: the stamp text, the font and its colour come back with the template.
    Open("Button6", [&](TForm2& d) {
        d.Edit8->SetText("Hello");
        d.Edit17->SetText("Hello");
        TFontInfo font = d.Edit17->Font();
        font.Name = "DejaVu Serif";
        font.Size = 21;
        font.Bold = true;
        font.Underline = true;
        d.Edit17->SetFont(font);
        TForm2::SetControlColor(*d.Panel20, 0x0000FF);
        names = {"Stamp"};
        d.Add1Click(d.Add1);
        d.Edit17->SetText("other");
        d.Edit8->SetText("other");
        d.Edit17->SetFont(TFontInfo{});
        TForm2::SetControlColor(*d.Panel20, 0);
        d.ComboBox7->SetItemIndex(0);
        d.ComboBox7Click(d.ComboBox7);
        EXPECT_EQ(d.Edit8->Text(), "Hello");
        EXPECT_EQ(d.Edit17->Text(), "Hello");
        const TFontInfo back = d.Edit17->Font();
        EXPECT_EQ(back.Name, "DejaVu Serif");
        EXPECT_EQ(back.Size, 21);
        EXPECT_TRUE(back.Bold && back.Underline && !back.Italic && !back.StrikeOut);
        EXPECT_EQ(back.Color, 0x0000FFu);
    });
    const std::string stamp = ReadFile(Template("text", "Stamp"));
    EXPECT_NE(stamp.find("Text=Hello\r\nFontName=DejaVu Serif\r\nFontSize=21\r\nFontStyle=bu\r\nFontColor=255\r\n"),
              std::string::npos)
        << stamp;

    // The page face: the colour sample follows the colours chosen with the template.
    WriteFile(Template("page", "Dark"), "[Page]\r\nBgColor=1\r\nBgColorC=0\r\nLinkColor=1\r\nLinkColorC=65280\r\n");
    Open("Button2", [&](TForm2& d) {
        EXPECT_EQ(Items(d.ComboBox18), std::vector<std::string>{"Dark"});
        d.ComboBox18->SetItemIndex(0);
        d.ComboBox7Click(d.ComboBox18);
        EXPECT_TRUE(d.CheckBox56->Checked());
        EXPECT_TRUE(d.CheckBox58->Checked());
        EXPECT_EQ(TForm2::ControlColor(*d.Panel29), 0u);
        EXPECT_EQ(TForm2::ControlColor(*d.Label97), 65280u);
        EXPECT_EQ(d.SpinEdit20->Value(), 5);  // missing keys read as their defaults
    });

    // The decorations: all four sections, shared by the image's and the thumbnail's dialogs.
    Open("Button5", [&](TForm2& d) {
        d.CheckBox21->SetChecked(true);
        d.SpinEdit30->SetValue(12);
        d.CheckBox25->SetChecked(true);
        d.SpinEdit33->SetValue(7);
        names = {"Framed"};
        d.Add1Click(d.Add1);
    });
    Open("Button4", [&](TForm2& d) {
        EXPECT_EQ(Items(d.ComboBox13), std::vector<std::string>{"Framed"});
        d.ComboBox13->SetItemIndex(0);
        d.ComboBox7Click(d.ComboBox13);
        EXPECT_TRUE(d.CheckBox21->Checked());
        EXPECT_EQ(d.SpinEdit30->Value(), 12);
        EXPECT_TRUE(d.CheckBox25->Checked());
        EXPECT_EQ(d.SpinEdit33->Value(), 7);
        EXPECT_TRUE(d.edit15->Enabled());  // the enabling rules ran again
    });
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(DialogTools, AddDeleteAndRenameKeepTheListTrueToTheFolder)
{
    WriteFile(Template("logo", "Other"), "[Logo]\r\nX=1\r\n");
    folder.Write("settings/evil.pvx", "");
    Open("Button7", [&](TForm2& d) {
        // Names that would leave the kind folder are refused, and nothing is written.
        for (const char* bad : {"../evil", "a/b", "a\\b", ".."}) {
            names = {bad};
            d.Add1Click(d.Add1);
            const auto shown = TakeMessages();
            ASSERT_EQ(shown.size(), 1u) << bad;
            EXPECT_NE(shown[0].find("cannot be a setting name"), std::string::npos) << shown[0];
        }
        EXPECT_EQ(ReadFile(folder.File("settings/evil.pvx")), "");
        EXPECT_EQ(Items(d.ComboBox6), std::vector<std::string>{"Other"});
        EXPECT_FALSE(fs::exists(folder.File("settings/logo/a")));
        // An empty name or Cancel ends quietly.
        names = {""};
        d.Add1Click(d.Add1);
        d.Add1Click(d.Add1);
        EXPECT_TRUE(TakeMessages().empty());

        // Replacing asks first; Cancel keeps the file, OK writes over it.
        d.SpinEdit1->SetValue(42);
        names = {"Other"};
        dialogs.MessageAnswers = {TModal::Cancel};
        d.Add1Click(d.Add1);
        EXPECT_EQ(TakeMessages(),
                  std::vector<std::string>{"Confirm Replace: \"Other\" already exists. Would you like to replace it?"});
        EXPECT_EQ(ReadFile(Template("logo", "Other")), "[Logo]\r\nX=1\r\n");
        names = {"Other"};
        d.Add1Click(d.Add1);
        TakeMessages();
        EXPECT_NE(ReadFile(Template("logo", "Other")).find("X=42"), std::string::npos);
        EXPECT_EQ(Items(d.ComboBox6), std::vector<std::string>{"Other"});

        names = {"Mine"};
        d.Add1Click(d.Add1);
        EXPECT_EQ(Items(d.ComboBox6), (std::vector<std::string>{"Mine", "Other"}));
        // Renaming onto another template, to a refused name, or a file gone meanwhile: said, and nothing changes.
        const std::string mine = ReadFile(Template("logo", "Mine"));
        for (const char* to : {"Other", "../Mine", "x\\y"}) {
            d.ComboBox6->SetItemIndex(0);
            names = {to};
            d.Add1Click(d.Rename1);
            EXPECT_EQ(TakeMessages().size(), 1u) << to;
            EXPECT_EQ(Items(d.ComboBox6), (std::vector<std::string>{"Mine", "Other"})) << to;
            EXPECT_EQ(ReadFile(Template("logo", "Mine")), mine);
        }
        EXPECT_NE(ReadFile(Template("logo", "Other")).find("X=42"), std::string::npos);
        fs::rename(Template("logo", "Mine"), folder.File("Mine.away"));
        d.ComboBox6->SetItemIndex(0);
        names = {"Moved"};
        d.Add1Click(d.Rename1);
        EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Error: The setting \"Mine\" does not exist any more."});
        EXPECT_EQ(Items(d.ComboBox6), (std::vector<std::string>{"Mine", "Other"}));
        fs::rename(folder.File("Mine.away"), Template("logo", "Mine"));
        // A good rename: the prompt holds the old name, the list and the file follow.
        d.ComboBox6->SetItemIndex(0);
        names = {"Zeta"};
        d.Add1Click(d.Rename1);
        EXPECT_EQ(prompts.back(), "Rename Setting:Mine");
        EXPECT_EQ(Items(d.ComboBox6), (std::vector<std::string>{"Other", "Zeta"}));
        EXPECT_EQ(d.ComboBox6->Text(), "Zeta");
        EXPECT_EQ(ReadFile(Template("logo", "Zeta")), mine);
        EXPECT_FALSE(fs::exists(Template("logo", "Mine")));

        // Delete asks; Cancel keeps it; deleting every template leaves an empty list, and Delete then does nothing.
        dialogs.MessageAnswers = {TModal::Cancel};
        d.Add1Click(d.Delete1);
        EXPECT_EQ(TakeMessages(),
                  std::vector<std::string>{"Confirm Delete: Are you sure you want to delete \"Zeta\"?"});
        EXPECT_TRUE(fs::exists(Template("logo", "Zeta")));
        for (int i = 0; i < 2; ++i) {
            d.ComboBox6->SetItemIndex(0);
            d.Add1Click(d.Delete1);
        }
        TakeMessages();
        EXPECT_TRUE(Items(d.ComboBox6).empty());
        EXPECT_TRUE(ListTemplateNames(folder.File("settings/logo/")).empty());
        d.Add1Click(d.Delete1);
        d.Add1Click(d.Rename1);
        EXPECT_TRUE(TakeMessages().empty());
        // A template put into the folder meanwhile shows at the next showing.
        WriteFile(Template("logo", "Later"), "");
        d.Hide();
        d.Show();
        EXPECT_EQ(Items(d.ComboBox6), std::vector<std::string>{"Later"});
    });
}

TEST_F(DialogTools, EditWithRunsTheEditorOnTheFramePageTemplateAfterTheTemplateListWasEmptied)
{
    const std::string editor = RecordingProgram(folder.File("bin/my editor"));
    form.SetPropertyRecord(prEdit1 + 1, "Mine|" + editor + "|");
    form.SetPropertyRecord(prEdit1 + 2, "Nobody||");
    Open("Button2", [&](TForm2& d) {
        EXPECT_EQ(d.MenuItem2->Caption(), "Edit with Mine");
        ASSERT_EQ(d.ComboBox11->Text(), "left.htm");
        // Templates added, renamed and deleted until the list is empty: the editors stay.
        names = {"One", "Two"};
        d.Add1Click(d.Add1);
        d.Add1Click(d.Rename1);
        d.Add1Click(d.Delete1);
        EXPECT_TRUE(Items(d.ComboBox18).empty());
        EXPECT_EQ(d.ListBox1->Items().Count(), 3);
        TakeMessages();
        d.MenuItem2->Click();
        EXPECT_EQ(WaitForOutput(editor), folder.File("framepg/left.htm") + "\n");
        // An entry without a program, or an editor list without entries, says so and stays open.
        d.MenuItem9->Click();
        d.ListBox1->Items().Clear();
        d.MenuItem1->Click();
        const auto shown = TakeMessages();
        ASSERT_EQ(shown.size(), 2u);
        for (const std::string& m : shown) EXPECT_NE(m.find("No editor program"), std::string::npos) << m;
    });
}

TEST_F(DialogTools, BannerEditorShowsTheLinesAndWritesThemBackUnchanged)
{
    std::string bytes;
    for (int i = 1; i <= 12; ++i) bytes += "<img src=\"banner" + std::to_string(i) + ".gif\">\r\n";
    folder.Write("banner1.dat", bytes);
    Open("Button2", [&](TForm2& d) {
        d.SpeedButton4->Click();
        EXPECT_EQ(d.Notebook1->PageIndex(), 5);
        EXPECT_FALSE(d.Button33->Visible());
        EXPECT_EQ(d.Label63->Caption(), "12");
        EXPECT_EQ(d.memo3->Lines().Count(), 12);
        d.memo3->Lines().Add("line 13");
        EXPECT_EQ(d.Label63->Caption(), "13");
        // Enter in the editor starts a line; it does not confirm the dialog.
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(d.memo3->Widget(), &enter);
        EXPECT_TRUE(d.Visible());
        EXPECT_EQ(d.Notebook1->PageIndex(), 5);
        d.Button11->Click();  // Cancel writes nothing
        EXPECT_EQ(d.Notebook1->PageIndex(), 0);
        EXPECT_TRUE(d.Button33->Visible());
        EXPECT_EQ(folder.Read("banner1.dat"), bytes);
        d.SpeedButton4->Click();
        EXPECT_EQ(d.Label63->Caption(), "12");
        d.Button1->Click();
        EXPECT_EQ(d.Notebook1->PageIndex(), 0);
        EXPECT_EQ(d.memo3->Lines().Count(), 0);
    });
    EXPECT_EQ(folder.Read("banner1.dat"), bytes);
    // The image pages' banners: a missing file opens empty and is made on OK.
    Open("Button3", [&](TForm2& d) {
        d.SpeedButton4->Click();
        EXPECT_EQ(d.Label63->Caption(), "0");
        d.memo3->Lines().Assign({"one", "two"});
        d.Button1->Click();
    });
    EXPECT_EQ(folder.Read("banner2.dat"), "one\r\ntwo\r\n");
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(DialogTools, HeaderAndFooterPreviewWriteOneLineAndOpenIt)
{
    const std::string opener = RecordingProgram(folder.File("bin/opener"));
    SetShellOpener(opener);
    Open("Button2", [&](TForm2& d) {
        d.Edit11->SetText("");
        d.Edit24->SetText("<p>Footer</p>");
        d.SpeedButton2->Click();
        EXPECT_EQ(WaitForOutput(opener), WritableFolder() + "temp1.htm\n");
        EXPECT_EQ(ReadFile(WritableFolder() + "temp1.htm"), "\r\n");
        d.SpeedButton3->Click();
        EXPECT_EQ(ReadFile(WritableFolder() + "temp1.htm"), "<p>Footer</p>\r\n");
    });
    SetShellOpener("");
}

TEST_F(DialogTools, TransparentColourPickerSetsOnlyItsPanelFromThePixelClicked)
{
    // Bottom-up BMP: the top row shown is red, the rest blue; the top right pixel green.
    TRasterDIB picture;
    picture.SetSize(30, 20, 24);
    picture.Clear(TColorTriple{255, 0, 0});
    for (int x = 0; x < 30; ++x) picture.SetPixelColor(19, x, TColorTriple{0, 0, 255});
    picture.SetPixelColor(19, 29, TColorTriple{0, 255, 0});
    WriteBmpFile(picture, folder.File("frame.bmp"));

    answer = TModal::Ok;
    Open("Button5", [&](TForm2& d) {
        const std::string caption = d.Caption();
        TForm2::SetControlColor(*d.Panel22, 111);
        TForm2::SetControlColor(*d.Panel35, 222);
        // No outline picture chosen yet.
        d.Edit25->SetText("");
        d.Panel35->Click();
        EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Error: Choose outline image file first!!"});
        EXPECT_EQ(d.Notebook1->PageIndex(), 3);

        d.edit15->SetText(folder.File("frame.bmp"));
        d.Panel22->Click();
        EXPECT_EQ(d.Notebook1->PageIndex(), 9);
        EXPECT_EQ(d.Caption(), "Select transparent color");
        EXPECT_FALSE(d.Button33->Visible());
        EXPECT_EQ(TForm2::ControlColor(*d.Panel33), 111u);
        // The page's buttons stay inside this face's width.
        EXPECT_LE(d.Button35->Widget()->geometry().right(), d.Notebook1->Widget()->width());
        auto click = [&](int x, int y) {
            QMouseEvent up(QEvent::MouseButtonRelease, QPointF(x, y), QPointF(x, y), Qt::LeftButton, Qt::NoButton,
                           Qt::NoModifier);
            QApplication::sendEvent(d.RasterView1->Widget(), &up);
        };
        click(29, 0);
        EXPECT_EQ(TForm2::ControlColor(*d.Panel33), RGBColor(0, 255, 0));
        EXPECT_EQ(d.Label61->Caption(), std::to_string(RGBColor(0, 255, 0)));
        click(3, 0);
        EXPECT_EQ(TForm2::ControlColor(*d.Panel33), RGBColor(255, 0, 0));
        click(200, 200);  // beside the picture: nothing
        EXPECT_EQ(TForm2::ControlColor(*d.Panel33), RGBColor(255, 0, 0));
        d.Button35->Click();
        EXPECT_EQ(d.Notebook1->PageIndex(), 3);
        EXPECT_EQ(d.Caption(), caption);
        EXPECT_TRUE(d.Button33->Visible());
        EXPECT_EQ(TForm2::ControlColor(*d.Panel22), RGBColor(255, 0, 0));
        EXPECT_EQ(TForm2::ControlColor(*d.Panel35), 222u);

        // Picked from the outline's panel, Cancel: nothing changes.
        d.Edit25->SetText(folder.File("frame.bmp"));
        d.Panel35->Click();
        click(5, 10);
        EXPECT_EQ(TForm2::ControlColor(*d.Panel33), RGBColor(0, 0, 255));
        d.Button36->Click();
        EXPECT_EQ(TForm2::ControlColor(*d.Panel35), 222u);
        // And OK sets the outline's panel only.
        d.Panel35->Click();
        click(5, 10);
        d.Button35->Click();
        EXPECT_EQ(TForm2::ControlColor(*d.Panel35), RGBColor(0, 0, 255));
        EXPECT_EQ(TForm2::ControlColor(*d.Panel22), RGBColor(255, 0, 0));
    });
    // Each face that opens the picker keeps its buttons on the face, the logo's lowest of all.
    for (auto [button, edit, panel] :
         {std::tuple{"Button7", "Edit18", "Panel21"}, std::tuple{"Button6", "Edit7", "Panel34"}}) {
        answer = TModal::Cancel;
        Open(button, [&, edit = edit, panel = panel](TForm2& d) {
            d.Find<TEdit>(edit)->SetText(folder.File("frame.bmp"));
            d.Find<TControl>(panel)->Click();
            ASSERT_EQ(d.Notebook1->PageIndex(), 9) << panel;
            const QRect face = d.Notebook1->Widget()->rect();
            for (TControl* c : std::initializer_list<TControl*>{d.Button35, d.Button36, d.Panel33})
                EXPECT_TRUE(face.contains(c->Widget()->geometry())) << panel << " " << c->Name;
            EXPECT_FALSE(d.Button35->Widget()->geometry().intersects(d.Button36->Widget()->geometry()));
            d.Button36->Click();
        });
    }
    EXPECT_EQ(GetField(0, form.GetPropertyRecord(prAddFrameImage), FrameField::TransparentColor),
              std::to_string(RGBColor(255, 0, 0)));
}

TEST_F(DialogTools, ColoursCopyAndPasteAsText)
{
    Open("Button2", [&](TForm2& d) {
        struct PasteCase {
            const char* text;
            bool changes;
        };
        for (const PasteCase& c : {PasteCase{"#FF0000", true}, PasteCase{"255", true}, PasteCase{"red", false},
                                   PasteCase{"#FF00", false}, PasteCase{"-1", false}}) {
            TForm2::SetControlColor(*d.Panel26, 0x123456);
            TForm2::SetControlColor(*d.Label97, 0x123456);
            d.CheckBox58->SetChecked(false);
            d.Panel28MouseMove(d.Panel26, TMouseButton::None, false, 1, 1);
            QApplication::clipboard()->setText(c.text);
            d.Pastewebcolor1->Click();
            EXPECT_EQ(d.Edit10->Text(), c.text);
            // The link colour's group follows: its panel, the sample label and its check box.
            EXPECT_EQ(TForm2::ControlColor(*d.Panel26), c.changes ? 255u : 0x123456u) << c.text;
            EXPECT_EQ(TForm2::ControlColor(*d.Label97), c.changes ? 255u : 0x123456u) << c.text;
            EXPECT_EQ(d.CheckBox58->Checked(), c.changes) << c.text;
        }
        TForm2::SetControlColor(*d.Panel24, 0x80FF00);
        d.Panel28MouseMove(d.Panel24, TMouseButton::None, false, 1, 1);
        d.Copy1->Click();
        EXPECT_EQ(d.Edit10->Text(), "8453888");
        EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "8453888");
    });
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(DialogTools, EditorPickersTakeAnyExecutableFile)
{
    const std::string program = RecordingProgram(folder.File("bin/editor"));
    folder.Write("bin/readme.txt", "text");
    act = [&](TForm2& d) {
        d.Edit14->SetText("unchanged");
        const std::string third = d.Edit22->Text();
        dialogs.FileAnswers = {{folder.File("bin/readme.txt")}, {program}, {}};
        d.Button42->Click();
        EXPECT_EQ(d.Edit14->Text(), "unchanged");
        const auto shown = TakeMessages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_NE(shown[0].find("is not a program"), std::string::npos) << shown[0];
        d.Button42->Click();
        EXPECT_EQ(d.Edit14->Text(), program);
        d.Button43->Click();  // cancelled
        EXPECT_EQ(d.Edit22->Text(), third);
        ASSERT_EQ(dialogs.FileRequests.size(), 3u);
        EXPECT_EQ(dialogs.FileRequests.back().Filter.find("*.exe"), std::string::npos);
    };
    form.CustomizeEditor1->Click();
}

}  // namespace
