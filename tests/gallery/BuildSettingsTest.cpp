// Settings across a restart and the build that follows: long texts in every
// text field of the properties dialog, damaged records in pv.ini, and the
// names of the pictures a build writes.
#include "BuildTestSupport.h"
#include "WindowTestSupport.h"

#include "gallery/properties/pvu1.h"
#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "gallery/windows/pvftp1.h"
#include "platform/system/System.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A text of 10,000 bytes, different for every n: letters, blanks, markup, a
// "|" and a "%" now and then, and no blank at either end (headers are trimmed).
std::string LongText(int n)
{
    const std::string pattern = "abc|def%gh <b>ij</b> ";
    std::string text = "T" + std::to_string(n) + "-";
    while (text.size() < 9999) text += pattern[text.size() % pattern.size()];
    return text + "z";
}

// The text fields of the properties dialog, by the main-window control that opens their kind.
struct TextField {
    const char* opener;
    const char* control;
};

const std::vector<TextField> DialogTextFields = {
    {"Button2", "Edit50"},          {"Button2", "ComboBox30"},      {"Button2", "Edit3"},
    {"Button2", "Edit4"},           {"Button2", "Edit5"},           {"Button2", "Edit11"},
    {"Button2", "Edit24"},          {"Button3", "Edit50"},          {"Button3", "ComboBox30"},
    {"Button3", "Edit3"},           {"Button3", "Edit4"},           {"Button3", "Edit11"},
    {"Button3", "Edit24"},          {"Button6", "Edit17"},          {"Button6", "Edit7"},
    {"Button7", "Edit18"},          {"Button5", "edit15"},          {"Button5", "Edit6"},
    {"Button5", "Edit9"},           {"Button5", "Edit25"},          {"Button4", "edit15"},
    {"Button4", "Edit6"},           {"Button4", "Edit9"},           {"Button4", "Edit25"},
    {"Button1", "Edit28"},          {"Button1", "Edit19"},          {"Button1", "Edit21"},
    {"Button1", "Edit20"},          {"Button1", "Edit2"},           {"Button12", "FontComboBox1"},
    {"Button9", "FontComboBox1"},   {"CustomizeEditor1", "Edit12"}, {"CustomizeEditor1", "Edit13"},
    {"CustomizeEditor1", "Edit16"}, {"CustomizeEditor1", "Edit14"}, {"CustomizeEditor1", "Edit23"},
    {"CustomizeEditor1", "Edit22"},
};

std::string TextOf(TForm2& dialog, const std::string& name)
{
    if (auto* edit = dialog.Find<TEdit>(name)) return edit->Text();
    if (auto* box = dialog.Find<TComboBox>(name)) return box->Text();
    ADD_FAILURE() << "no text control " << name;
    return std::string();
}

void SetTextOf(TForm2& dialog, const std::string& name, const std::string& text)
{
    if (auto* edit = dialog.Find<TEdit>(name))
        edit->SetText(text);
    else if (auto* box = dialog.Find<TComboBox>(name))
        box->SetText(text);
    else
        ADD_FAILURE() << "no text control " << name;
}

class BuildSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareBuildProgramFolder(program.Path());
        sources = program.Path() + "work/Sources/";
        destination = program.Path() + "work/Out/Gallery";
        fs::create_directories(sources);
        program.Write("pv.ini", FixedSettings(destination));
    }

    // The program as it starts: a new main window, which reads pv.ini.
    std::unique_ptr<TForm1> Start()
    {
        auto form = std::make_unique<TForm1>();
        EXPECT_EQ(form->ComboBox3->Text(), "fixed.htm");
        return form;
    }

    // The program as it ends: closing the window writes pv.ini.
    void Close(std::unique_ptr<TForm1>& form)
    {
        form->Show();
        form->Close();
        form.reset();
    }

    // Opens a kind of the properties dialog through its main-window control;
    // act works on the dialog, which then ends with answer.
    void OpenDialog(TForm1& form, const std::string& opener, const std::function<void(TForm2&)>& act, int answer)
    {
        form.ShowDialogWindow = [&](TForm& shown) {
            act(dynamic_cast<TForm2&>(shown));
            return answer;
        };
        form.FindComponent(opener)->Dispatch([&] {
            if (auto* button = form.Find<TButton>(opener))
                button->Click();
            else
                form.Find<TMenuItem>(opener)->Click();
        });
        form.ShowDialogWindow = nullptr;
    }

    void AddPicture(TForm1& form, const std::string& name, const std::string& arguments)
    {
        ASSERT_EQ(RunCommand("convert " + arguments + " " + ShellQuote(sources + name) + " 2>&1"), 0) << name;
        form.ListView1->Add(TForm1::MakeSourceItem(sources + name));
    }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& m : dialogs.Messages) texts.push_back(m.Caption + ": " + m.Text);
        return texts;
    }

    std::string Dest(const std::string& relative) const { return destination + "/" + relative; }

    TempProgramFolder program;
    DialogScript dialogs;
    std::string sources, destination;
};

std::string Head(const std::string& bytes, std::size_t n) { return bytes.substr(0, n); }

}  // namespace

// Texts far longer than the 2,047 characters the Windows calls read back:
// every one survives a restart byte for byte, the records keep their later
// fields, and "Create All" runs with them (the header is in the pages whole).
TEST_F(BuildSettings, LongTextsInEveryDialogFieldSurviveARestartAndTheBuild)
{
    ASSERT_TRUE(HaveTool("convert"));
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> typed;  // opener: control, text
    for (std::size_t i = 0; i < DialogTextFields.size(); ++i)
        typed[DialogTextFields[i].opener].emplace_back(DialogTextFields[i].control, LongText(int(i)));

    auto form = Start();
    for (const auto& [opener, fields] : typed)
        OpenDialog(
            *form, opener,
            [&](TForm2& dialog) {
                for (const auto& [control, text] : fields) SetTextOf(dialog, control, text);
                if (std::string(opener) == "Button2") dialog.CheckBox23->SetChecked(true);  // the header on
            },
            TModal::Ok);
    std::vector<std::string> before;
    for (int i = 0; i < PropertyRecordCount; ++i) before.push_back(form->GetPropertyRecord(i));
    Close(form);

    form = Start();
    for (int i = 0; i < PropertyRecordCount; ++i)
        EXPECT_EQ(form->GetPropertyRecord(i), before[std::size_t(i)]) << PropertyRecordKey(i);
    for (const auto& [opener, fields] : typed)
        OpenDialog(
            *form, opener,
            [&](TForm2& dialog) {
                for (const auto& [control, text] : fields)
                    EXPECT_TRUE(TextOf(dialog, control) == text) << opener << " " << control;
            },
            TModal::Cancel);

    AddPicture(*form, "one.jpg", "-size 200x150 gradient:red-blue");
    AddPicture(*form, "two.jpg", "-size 150x200 gradient:green-white");
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    const std::string index = ReadFile(Dest("index1.html"));
    EXPECT_NE(index.find("\r\n" + typed["Button2"][5].second + "\r\n"), std::string::npos) << "the whole header";
    EXPECT_NE(index.find(typed["Button1"][1].second + ">"), std::string::npos) << "the whole table tag text";
    EXPECT_TRUE(FileExists(Dest("images/pic01.jpg")));
    EXPECT_TRUE(FileExists(WritableFolder() + "pftp.bak"));
}

// Records damaged by hand (short, or words where numbers belong) build as
// their defaults would: the same pages and pictures, and no message.
TEST_F(BuildSettings, HandDamagedRecordsBuildWithTheirDefaults)
{
    ASSERT_TRUE(HaveTool("convert"));
    const std::map<int, std::string> damaged = {
        {prPagePropertiesIndex, "1|abc"},
        {prPagePropertiesImage, "0|white|0|0|"},
        {prMoreTable, "0|x|"},
        {prAddText, "Verdana|b|huge|"},
        {prAddLogo, "|left|"},
        {prCaptionFontT, "Verdana|x"},
        {prCaptionFontI, ""},
        {prAddButtonImage, "0|ten|"},
        {prAddOutlineI, "0||x|"},
        {prAddFrameThumb, "0||0|255|0|z|"},
        {prAddMaskThumb, "0|"},
    };
    std::string ini = FixedSettings(destination);
    for (const auto& [index, text] : damaged) ini += std::string(PropertyRecordKey(index)) + "=" + text + "\r\n";
    program.Write("pv.ini", ini);

    auto build = [&](TForm1& form) {
        form.CheckBox4->SetChecked(true);  // decorations of image copies,
        form.CheckBox5->SetChecked(true);  // the text stamp,
        form.CheckBox6->SetChecked(true);  // the logo
        form.CheckBox2->SetChecked(true);  // and decorations of thumbnails on
        AddPicture(form, "one.jpg", "-size 200x150 gradient:red-blue");
        form.CreateAll2->Click();
        return ReadFile(Dest("index1.html")) + ReadFile(Dest("pages/page01.htm")) + ReadFile(Dest("images/pic01.jpg")) +
               ReadFile(Dest("thumbs/tn_pic01.jpg"));
    };
    auto form = Start();
    EXPECT_EQ(form->GetPropertyRecord(prMoreTable), "0|x|");
    const std::string withDamage = build(*form);
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    EXPECT_NE(withDamage.find("</html>"), std::string::npos);

    for (const auto& [index, text] : damaged) form->SetPropertyRecord(index, PropertyRecordDefault(index));
    form->ListView1->Clear();
    fs::remove_all(destination);
    EXPECT_TRUE(withDamage == build(*form)) << "the damaged records built as their defaults";
}

// Pictures written as JPEG or GIF carry that extension, whatever the source
// was; the pages, captions and the upload list name them so.
TEST_F(BuildSettings, WrittenPicturesAreNamedForWhatTheyHold)
{
    ASSERT_TRUE(HaveTool("convert"));
    auto form = Start();
    form->Edit9->SetText("");  // image copies keep the source names
    form->Edit5->SetText("tn_*");
    for (const char* name : {"rose.png", "leaf.tif", "bark.psd", "sun.jpeg", "moon.JPG"})
        AddPicture(*form, name, "-size 160x120 gradient:orange-purple");
    form->CreateAll2->Click();
    ASSERT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());

    const std::vector<std::string> written = {"rose.png.jpg", "leaf.tif.jpg", "bark.psd.jpg", "sun.jpeg", "moon.jpg"};
    const std::string list = ReadFile(WritableFolder() + "pftp.bak");
    for (std::size_t i = 0; i < written.size(); ++i) {
        const std::string& name = written[i];
        EXPECT_EQ(Head(ReadFile(Dest(name)), 3), "\xFF\xD8\xFF") << name << " holds JPEG data";
        EXPECT_NE(list.find("\r\n" + name + "\r\n"), std::string::npos) << name;
        const std::string page = ReadFile(Dest("pages/page0" + std::to_string(i + 1) + ".htm"));
        EXPECT_NE(page.find("src=\"../" + name + "\""), std::string::npos) << name;
        EXPECT_NE(page.find(name + ": "), std::string::npos) << "the caption names " << name;
    }
    for (const char* kept : {"rose.png", "leaf.tif", "bark.psd"}) EXPECT_FALSE(fs::exists(Dest(kept))) << kept;
    EXPECT_EQ(Head(ReadFile(Dest("tn_rose.png.jpg")), 3), "\xFF\xD8\xFF");

    // As GIF, every copy gets ".gif", the JPEG sources too.
    form->ComboBox8->SetItemIndex(1);
    fs::remove_all(destination);
    form->CreateAll2->Click();
    for (const char* name : {"rose.png.gif", "sun.jpeg.gif", "moon.jpg.gif"}) {
        EXPECT_EQ(Head(ReadFile(Dest(name)), 4), "GIF8") << name;
        EXPECT_NE(ReadFile(WritableFolder() + "pftp.bak").find(name), std::string::npos) << name;
    }
}

// Settings and FTP profiles the Windows program wrote in Windows-1252: after
// a start and a close pv.ini holds the texts in UTF-8 and the destination
// folder byte for byte, a second start changes nothing, the pages are valid
// UTF-8 with the letters, and the upload window shows the profile's name.
TEST_F(BuildSettings, Windows1252SettingsAndProfilesKeepTheirLetters)
{
    ASSERT_TRUE(HaveTool("convert"));
    ASSERT_TRUE(HaveTool("iconv"));
    destination = program.Path() + "work/Out/Gal\xe9rie";  // a folder name of another encoding
    std::string ini = FixedSettings(destination);
    const auto replace = [&](const std::string& from, const std::string& to) {
        ASSERT_NE(ini.find(from), std::string::npos) << from;
        ini.replace(ini.find(from), from.size(), to);
    };
    replace("TitlePage=Picture %filenoext", "TitlePage=Caf\xe9 %filenoext");
    replace("CaptionDefault=%filename: %width x %height", "CaptionDefault=%filename \x96 %FileDesc1");
    // A history list holds entries of both encodings: each is judged on its own.
    replace("CaptionPosition=1\r\nAlternativeDefault",
            "Caption=A caf\xe9|B caf\xc3\xa9|\r\nCaptionPosition=1\r\nAlternativeDefault");
    ini +=
        "PagePropertiesImage=0|16777215|0|0|0|16711680|0|8388736|0|255|0|0|fond\xe9.jpg|0|0|0|0|_self|image "
        "|-|0|0|5|1||||0|1|1|0\r\nTextHeader2=<b>Cr\xe8me \x80 5</b>\r\n";
    program.Write("pv.ini", ini);
    program.Write("pvftp.pv", "Caf\xe9|ftp.example.test|21|100|Jos\xe9|p\xe4ss|/www/f\xfcr|\r\n");
    // The description file names the picture in Windows-1252; on this disk its name is UTF-8.
    WriteFile(sources + "descript.ion",
              "caf\xe9.jpg Cr\xe8me br\xfbl\xe9"
              "e\r\n");
    program.Write("pvcapi.pv", "Au-dessus|%caption<br>%file\r\nDessous \xbb|%file<br>%caption \xa9\r\n");

    auto form = Start();
    EXPECT_EQ(form->Edit6->Text(), "Caf\xc3\xa9 %filenoext");
    EXPECT_EQ(form->Edit1->Text(), destination);
    EXPECT_EQ(form->ComboBox14->Text(), "Dessous \xc2\xbb");
    EXPECT_EQ(form->ComboBox11->Items().ToVector(), (std::vector<std::string>{"A caf\xc3\xa9", "B caf\xc3\xa9"}));
    EXPECT_EQ(GetField(1, form->GetPropertyRecord(prPagePropertiesImage), PageField::BackgroundImageFile),
              "fond\xe9.jpg");
    Close(form);
    const std::string written = program.Read("pv.ini");
    EXPECT_NE(written.find("\r\nTitlePage=Caf\xc3\xa9 %filenoext\r\n"), std::string::npos);
    EXPECT_NE(written.find("\r\nSaveInFolder=" + destination + "\r\n"), std::string::npos);
    EXPECT_NE(written.find("\r\nTextHeader2=<b>Cr\xc3\xa8me \xe2\x82\xac 5</b>\r\n"), std::string::npos);
    EXPECT_NE(written.find("\r\nCaption=A caf\xc3\xa9|B caf\xc3\xa9|\r\n"), std::string::npos);
    EXPECT_EQ(written.find("\xef\xbf\xbd"), std::string::npos) << "no replacement character";
    form = Start();
    Close(form);
    EXPECT_TRUE(program.Read("pv.ini") == written) << "a second start changes nothing";

    form = Start();
    AddPicture(*form, "caf\xc3\xa9.jpg", "-size 200x150 gradient:red-blue");
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    const std::string page = ReadFile(Dest("pages/page01.htm"));
    for (const std::string& file : {Dest("pages/page01.htm"), Dest("index1.html")})
        EXPECT_EQ(RunCommand("iconv -f UTF-8 -t UTF-8 " + ShellQuote(file) + " >/dev/null 2>&1"), 0) << file;
    EXPECT_NE(page.find("<title>Caf\xc3\xa9 pic01</title>"), std::string::npos) << page;
    EXPECT_NE(page.find("<b>Cr\xc3\xa8me \xe2\x82\xac 5</b>"), std::string::npos) << "the header";
    EXPECT_NE(page.find("pic01.jpg \xe2\x80\x93 Cr\xc3\xa8me br\xc3\xbbl\xc3\xa9"
                        "e"
                        "</font> \xc2\xa9"),
              std::string::npos)
        << "the caption in the caption list's markup";

    int shown = 0;
    form->ShowUploadWindow = [&](TForm5& w) {
        ++shown;
        EXPECT_EQ(w.ComboBox1->Items().ToVector(), std::vector<std::string>{"Caf\xc3\xa9"});
        w.ComboBox1->SetItemIndex(0);
        w.ComboBox1Click(w.ComboBox1);
        EXPECT_EQ(w.Edit1->Text(), "ftp.example.test");
        // The login and the remote folder are the bytes the server knows.
        EXPECT_EQ(w.Edit2->Text(), "Jos\xe9");
        EXPECT_EQ(w.Edit3->Text(), "p\xe4ss");
        EXPECT_EQ(w.Edit5->Text(), "/www/f\xfcr");
        return TModal::Cancel;
    };
    form->Upload1->Click();
    EXPECT_EQ(shown, 1);
}
