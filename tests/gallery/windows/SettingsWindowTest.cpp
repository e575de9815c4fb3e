// The settings store and the File menu of the main window.
#include "WindowTestSupport.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/properties/pvu1.h"
#include "gallery/records/pvutils.h"
#include "platform/inifile/IniFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <tuple>

namespace {

const char* const BoundControls[] = {
    "ComboBox10", "ComboBox16", "Edit1",      "Edit5",      "Edit9",     "Edit2",      "Edit4",      "ComboBox23",
    "SpinEdit1",  "ComboBox1",  "SpinEdit2",  "SpinEdit3",  "SpinEdit4", "SpinEdit5",  "ComboBox2",  "ComboBox3",
    "ComboBox4",  "CheckBox7",  "Edit3",      "ComboBox11", "ComboBox9", "ComboBox12", "ComboBox5",  "SpinEdit10",
    "Edit6",      "ComboBox13", "ComboBox14", "ComboBox15", "Edit11",    "ComboBox7",  "SpinEdit12", "SpinEdit14",
    "ComboBox6",  "SpinEdit6",  "SpinEdit7",  "CheckBox1",  "CheckBox2", "ComboBox17", "ComboBox8",  "SpinEdit13",
    "SpinEdit15", "CheckBox3",  "ComboBox19", "SpinEdit8",  "SpinEdit9", "CheckBox4",  "CheckBox5",  "CheckBox6",
    "ComboBox18", "menuitem3",  "Menuitem4",  "Menuitem5",  "Menuitem6", "Menuitem7",  "Menuitem8",  "menuitem10",
    "menuitem13", "menuitem17", "Replace1",   "Skip1",      "Ask1"};

std::map<std::string, std::string> Snapshot(TForm1& form)
{
    std::map<std::string, std::string> values;
    for (const char* name : BoundControls) {
        TComponent* c = form.FindComponent(name);
        std::string v;
        if (auto* e = dynamic_cast<TEdit*>(c)) v = e->Text();
        if (auto* b = dynamic_cast<TComboBox*>(c)) {
            v = std::to_string(b->ItemIndex()) + "/" + b->Text() + "/";
            for (const auto& item : b->Items().ToVector()) v += "[" + item + "]";
        }
        if (auto* s = dynamic_cast<TSpinEdit*>(c)) v = std::to_string(s->Value());
        if (auto* k = dynamic_cast<TCheckBox*>(c)) v = k->Checked() ? "1" : "0";
        if (auto* m = dynamic_cast<TMenuItem*>(c)) v = m->Checked() ? "1" : "0";
        EXPECT_NE(c, nullptr) << name;
        values[name] = v;
    }
    for (int k = 0; k < form.ListBox1->Items().Count(); ++k)
        values["record" + std::to_string(k)] = form.GetPropertyRecord(k);
    return values;
}

void WriteTemplates(const TempProgramFolder& folder)
{
    folder.Write("indexpg/b.htm", "<html>%thumb_location</html>\n");
    folder.Write("indexpg/a.htm", "<html>%thumb_location</html>\n");
    folder.Write("indexpg/.hidden.htm", "hidden\n");
    folder.Write("imagepg/one.htm", "%img_location\n");
    folder.Write("imagepg/two.htm", "%img_location\n");
    folder.Write("pvcapt.pv", "Above|%caption<br>%file\r\nBelow|%file<br>%caption\r\nNone|%file\r\n");
    folder.Write("pvcapi.pv", "Top|%caption %file\nBottom|%file %caption\n");
}

// Every bound control moved away from its default, every record replaced.
void ChangeEverything(TForm1& form)
{
    for (const char* name : BoundControls) {
        TComponent* c = form.FindComponent(name);
        if (auto* e = dynamic_cast<TEdit*>(c)) e->SetText(std::string("value of ") + name);
        if (auto* b = dynamic_cast<TComboBox*>(c)) {
            if (b->Editable()) {
                b->Items().Assign({std::string("first ") + name, "with|bar", "last"});
                b->SetText(std::string("text|of ") + name);
            } else {
                b->SetItemIndex(b->Items().Count() - 1);
            }
        }
        if (auto* s = dynamic_cast<TSpinEdit*>(c)) s->SetValue(s->MinValue() + 7);
        if (auto* k = dynamic_cast<TCheckBox*>(c)) k->SetChecked(!k->Checked());
        if (auto* m = dynamic_cast<TMenuItem*>(c)) m->SetChecked(!m->Checked());
    }
    form.Replace1Click(form.Skip1);
    for (int k = 0; k < PropertyRecordCount; ++k)
        form.SetPropertyRecord(k, "record " + std::to_string(k) + "|field two|" + std::to_string(k * 3) + "|");
}

}  // namespace

TEST(SettingsStore, FirstStartWithoutIniShowsDefaults)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;

    EXPECT_EQ(form.Label31->Caption(), "");
    EXPECT_EQ(form.ComboBox7->Text(), "JPG");
    EXPECT_EQ(form.ComboBox8->Text(), "JPG");
    EXPECT_EQ(form.ComboBox10->ItemIndex(), 1);
    EXPECT_EQ(form.ComboBox16->Text(), "*.jpg;*.gif;*.bmp");
    EXPECT_EQ(form.ComboBox16->Items().ToVector(), std::vector<std::string>{"*.jpg;*.gif;*.bmp"});
    // An absolute folder in the home folder, never one relative to where the program started.
    EXPECT_EQ(form.Edit1->Text(), DefaultDestinationFolder());
    EXPECT_EQ(form.Edit1->Text().front(), '/');
    EXPECT_EQ(form.Edit1->Text(), std::string(std::getenv("HOME")) + "/pictavo-gallery");
    EXPECT_EQ(form.Edit11->Text(), "");  // image pages link nowhere until an address is given
    EXPECT_EQ(form.Edit5->Text(), "tn_*");
    EXPECT_EQ(form.Edit9->Text(), "image01");
    EXPECT_EQ(form.Edit2->Text(), "index1.html");
    EXPECT_EQ(form.Edit4->Text(), "image01.htm");
    EXPECT_EQ(form.ComboBox23->Text(), "");
    EXPECT_EQ(form.SpinEdit1->Value(), 5);
    EXPECT_EQ(form.ComboBox1->ItemIndex(), 0);
    EXPECT_EQ(form.SpinEdit2->Value(), 5);
    EXPECT_EQ(form.ComboBox4->ItemIndex(), 2);
    EXPECT_TRUE(form.CheckBox7->Checked());
    EXPECT_EQ(form.Edit3->Text(), "Welcome to my gallery");
    EXPECT_EQ(form.ComboBox11->Items().Count(), 8);
    EXPECT_EQ(form.ComboBox11->Items()[1], "(a)%Filename<br>(%Filesize bytes)(/a)");
    EXPECT_EQ(form.ComboBox11->Text(), "%Filename<br>(%Filesize bytes)");
    EXPECT_EQ(form.ComboBox12->Items().Count(), 11);
    EXPECT_EQ(form.ComboBox13->Items().Count(), 11);
    EXPECT_EQ(form.ComboBox13->Items()[3], "%Filename<br>(%Filesize bytes)");
    EXPECT_EQ(form.ComboBox15->Text(), "%Filename");
    EXPECT_EQ(form.Edit6->Text(), "My %filename image");
    EXPECT_EQ(form.SpinEdit12->Value(), 60);
    EXPECT_EQ(form.SpinEdit14->Value(), 255);
    EXPECT_EQ(form.ComboBox6->ItemIndex(), 1);
    EXPECT_EQ(form.SpinEdit6->Value(), 100);
    EXPECT_EQ(form.SpinEdit8->Value(), 320);
    EXPECT_EQ(form.SpinEdit9->Value(), 200);
    EXPECT_FALSE(form.CheckBox3->Checked());
    EXPECT_FALSE(form.menuitem3->Checked());
    EXPECT_TRUE(form.Menuitem4->Checked());
    EXPECT_FALSE(form.Menuitem5->Checked());
    EXPECT_TRUE(form.Menuitem6->Checked());
    EXPECT_TRUE(form.Menuitem7->Checked());
    EXPECT_TRUE(form.menuitem13->Checked());
    EXPECT_TRUE(form.Ask1->Checked());
    EXPECT_FALSE(form.Skip1->Checked());
    ASSERT_EQ(form.ListBox1->Items().Count(), PropertyRecordCount);
    for (int k = 0; k < PropertyRecordCount; ++k) EXPECT_EQ(form.GetPropertyRecord(k), PropertyRecordDefault(k)) << k;
    // The editor entries are named after records 10 to 12 (the tests' desktop has no editors).
    EXPECT_EQ(form.EditWith1->Caption(), "Edit with Web page editor");
    EXPECT_EQ(form.EditWith2->Caption(), "Edit with Text editor");
    EXPECT_EQ(form.EditWith3->Caption(), "Edit with ");
    EXPECT_EQ(form.Caption(), "Pictavo 1.0");
    EXPECT_EQ(form.Label45->Caption(), "Pictavo v1.0");
    EXPECT_EQ(form.PictavoHelp1->Caption(), "Pictavo Help");
    // No templates, no caption lists: empty lists and no selection.
    EXPECT_EQ(form.ComboBox3->Items().Count(), 0);
    EXPECT_EQ(form.ComboBox9->Items().Count(), 0);
    EXPECT_FALSE(form.Save1->Enabled());
    EXPECT_EQ(form.StatusBar1->PanelText(0), "Total Pages: 0");
    EXPECT_EQ(form.StatusBar1->PanelText(1), "Total Items: 0 ");
    // Reading never creates the file.
    EXPECT_FALSE(std::filesystem::exists(folder.File("pv.ini")));
    // "New" with the shipped default settings gives the same destination.
    std::filesystem::copy_file(std::string(PICTAVO_SOURCE_DIR) + "/data/pvmk1.pvs", folder.File("pvmk1.pvs"));
    form.Edit1->SetText("/elsewhere");
    form.New1Click(nullptr);
    EXPECT_EQ(form.Edit1->Text(), DefaultDestinationFolder());
}

TEST(SettingsStore, DefaultDestinationFollowsAnAbsoluteHome)
{
    const char* saved = std::getenv("HOME");
    const std::string before = saved ? saved : "";
    for (auto [home, expected] :
         {std::pair{"/home/ann", "/home/ann/pictavo-gallery"}, std::pair{"/home/ann//", "/home/ann/pictavo-gallery"},
          std::pair{"/", "/pictavo-gallery"}, std::pair{"///", "/pictavo-gallery"}}) {
        setenv("HOME", home, 1);
        EXPECT_EQ(DefaultDestinationFolder(), expected) << home;
    }
    // A relative or empty HOME is no home: the user database (or /tmp) answers.
    for (const char* home : {"ann", ""}) {
        setenv("HOME", home, 1);
        const std::string folder = DefaultDestinationFolder();
        EXPECT_EQ(folder.rfind('/', 0), 0u) << home;
        EXPECT_TRUE(folder.ends_with("/pictavo-gallery")) << home;
        EXPECT_EQ(folder.find("ann"), std::string::npos) << home;
    }
    if (saved)
        setenv("HOME", before.c_str(), 1);
    else
        unsetenv("HOME");
}

TEST(SettingsStore, TemplateAndCaptionListsFillTheirBoxes)
{
    TempProgramFolder folder;
    WriteTemplates(folder);
    TForm1 form;
    EXPECT_EQ(form.ComboBox3->Items().ToVector(), (std::vector<std::string>{"a.htm", "b.htm"}));
    EXPECT_EQ(form.ComboBox5->Items().ToVector(), (std::vector<std::string>{"one.htm", "two.htm"}));
    EXPECT_EQ(form.ComboBox9->Items().ToVector(), (std::vector<std::string>{"Above", "Below", "None"}));
    EXPECT_EQ(form.ComboBox9->ItemIndex(), 1);
    EXPECT_EQ(form.ComboBox14->Items().ToVector(), (std::vector<std::string>{"Top", "Bottom"}));
    EXPECT_EQ(form.ComboBox3->ItemIndex(), 0);
}

TEST(SettingsStore, WriteAndReadBackReproducesEveryValueAndRecord)
{
    TempProgramFolder folder;
    WriteTemplates(folder);
    DialogScript dialogs;
    const std::string file = folder.File("all.pvs");
    std::map<std::string, std::string> written;
    {
        TForm1 form;
        ChangeEverything(form);
        written = Snapshot(form);
        form.ReadWriteSettings("w", file);
    }
    TForm1 other;
    EXPECT_NE(Snapshot(other), written);
    other.ReadWriteSettings("r", file);
    const auto read = Snapshot(other);
    for (const auto& [name, value] : written) EXPECT_EQ(read.at(name), value) << name;
    EXPECT_TRUE(other.Skip1->Checked());
    EXPECT_FALSE(other.Ask1->Checked());
    // A '|' typed into a history entry is stored escaped and comes back whole.
    TIniFile ini(file);
    EXPECT_EQ(ini.ReadString("Location", "AddedFilter", ""), "first ComboBox16|with%linebar|last|");
    EXPECT_EQ(other.ComboBox16->Items()[1], "with|bar");
    EXPECT_EQ(ini.ReadString("Others", "Upload", ""), "record 17|field two|51|");
}

TEST(SettingsStore, OnlySaveInFolderGivesDefaultsForTheRest)
{
    TempProgramFolder folder;
    folder.Write("pv.ini", "[Location]\r\nSaveInFolder=/srv/www/gallery\r\n");
    TForm1 form;
    EXPECT_EQ(form.Edit1->Text(), "/srv/www/gallery");
    EXPECT_EQ(form.Edit5->Text(), "tn_*");
    EXPECT_EQ(form.SpinEdit1->Value(), 5);
    EXPECT_TRUE(form.Ask1->Checked());
    ASSERT_EQ(form.ListBox1->Items().Count(), PropertyRecordCount);
    for (int k = 0; k < PropertyRecordCount; ++k) EXPECT_EQ(form.GetPropertyRecord(k), PropertyRecordDefault(k)) << k;
}

TEST(SettingsStore, ValuesOutsideTheirRangesAndShortHistories)
{
    TempProgramFolder folder;
    folder.Write("pv.ini",
                 "[IndexPage]\nColumns=0\nRows=99999\nBorder=-4\nStyle=7\nHyperlinkTo=0x1\n"
                 "[Location]\nBaseURL=/first|/second\nAddedFilter=\nChangeCase=abc\n"
                 "[ImagePage]\nBorder=-123\n[Images1]\nColors=256\n");
    TForm1 form;
    EXPECT_EQ(form.SpinEdit1->Value(), 1);  // range 1 to 10000
    EXPECT_EQ(form.SpinEdit2->Value(), 10000);
    EXPECT_EQ(form.SpinEdit3->Value(), 0);
    EXPECT_EQ(form.SpinEdit10->Value(), -123);  // no range
    EXPECT_EQ(form.SpinEdit14->Value(), 255);
    EXPECT_EQ(form.ComboBox3->ItemIndex(), -1);  // no such template
    EXPECT_EQ(form.ComboBox4->ItemIndex(), 1);   // hexadecimal
    EXPECT_EQ(form.ComboBox10->ItemIndex(), 1);  // not a number: the default
    // Two fields without a trailing "|": only the first is an item.
    EXPECT_EQ(form.ComboBox23->Items().ToVector(), std::vector<std::string>{"/first"});
    // An empty history is one empty item.
    EXPECT_EQ(form.ComboBox16->Items().ToVector(), std::vector<std::string>{""});
}

TEST(SettingsStore, NameBasedKindsOfReadWriteComponent)
{
    TempProgramFolder folder;
    folder.Write("k.ini",
                 "[S]\nLabel=from file\nFont=Serif|3|14|14|255|typed%lineit|65280|\nNum=0x10\n"
                 "Check=7\nSpin=50\n");
    TForm1 form;
    form.ReadWriteSettings("x", folder.File("k.ini"));  // any other mode does nothing
    EXPECT_EQ(form.Edit1->Text(), DefaultDestinationFolder());
    int number = -1;
    form.UseSettingsFile(folder.File("k.ini"), [&] {
        form.ReadWriteComponent("r", "Label51", "S", false, 0, "", "Label");
        form.ReadWriteComponent("r", "fedit3", "S", false, 0, "", "Font");
        number = form.ReadWriteComponent("r", "none", "S", false, 5, "", "Num");
        form.ReadWriteComponent("r", "checkbox3", "S", false, 0, "", "Check");
        // "spinedit" wins over "edit": SpinEdit3 is clamped into 0 to 100.
        form.ReadWriteComponent("r", "spinedit3", "S", false, 0, "", "Spin");
    });
    EXPECT_EQ(form.Label51->Caption(), "from file");
    EXPECT_EQ(number, 16);
    EXPECT_TRUE(form.CheckBox3->Checked());
    EXPECT_EQ(form.SpinEdit3->Value(), 50);
    EXPECT_EQ(form.Edit3->Text(), "typed|it");
    const TFontInfo font = form.Edit3->Font();
    EXPECT_TRUE(font.Bold);
    EXPECT_TRUE(font.Italic);
    EXPECT_EQ(font.Size, 14);
    EXPECT_EQ(font.Color, 255u);
    EXPECT_EQ(form.Edit3->Color(), 65280u);

    form.UseSettingsFile(folder.File("out.ini"), [&] {
        form.ReadWriteComponent("w", "fedit3", "S", false, 0, "", "Font");
        form.ReadWriteComponent("w", "none", "S", false, 42, "", "Num");
        form.ReadWriteComponent("w", "label51", "S", false, 0, "", "Label");
    });
    TIniFile out(folder.File("out.ini"));
    EXPECT_EQ(out.ReadString("S", "Font", ""), font.Name + "|3|14|14|255|typed%lineit|65280|");
    EXPECT_EQ(out.ReadInteger("S", "Num", 0), 42);
    EXPECT_EQ(out.ReadString("S", "Label", ""), "from file");
}

// Colours written as negative numbers (system colours of older settings) keep
// their bits in the unsigned colour and are written back unchanged.
TEST(SettingsStore, NegativeColourNumbersRoundTrip)
{
    TempProgramFolder folder;
    folder.Write("k.ini", "[S]\nFont=Serif|0|9|9|-16777208|t|-16777211|\n");
    TForm1 form;
    form.UseSettingsFile(folder.File("k.ini"),
                         [&] { form.ReadWriteComponent("r", "fedit3", "S", false, 0, "", "Font"); });
    EXPECT_EQ(form.Edit3->Font().Color, 0xFF000008u);
    EXPECT_EQ(form.Edit3->Color(), 0xFF000005u);
    form.UseSettingsFile(folder.File("out.ini"),
                         [&] { form.ReadWriteComponent("w", "fedit3", "S", false, 0, "", "Font"); });
    TIniFile out(folder.File("out.ini"));
    EXPECT_EQ(out.ReadString("S", "Font", ""), "Serif|0|9|9|-16777208|t|-16777211|");
}

TEST(FileMenu, SaveOpenNewOfSettingsFiles)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    folder.Write("pvmk1.pvs", "[Location]\nSaveInFolder=/from/default\n[IndexPage]\nColumns=3\n");
    TForm1 form;
    // "Save" without a file name does nothing.
    form.Save1Click(nullptr);
    EXPECT_FALSE(std::filesystem::exists(folder.File("mine.pvs")));

    form.Edit1->SetText("/my/web");
    dialogs.FileAnswers.push_back({folder.File("mine")});
    form.Saveas1Click(nullptr);
    ASSERT_EQ(dialogs.FileRequests.size(), 1u);
    EXPECT_EQ(dialogs.FileRequests[0].DefaultExt, "pvs");
    EXPECT_EQ(dialogs.FileRequests[0].Filter, "ini files (*.pvs)|*.pvs");
    EXPECT_EQ(dialogs.FileRequests[0].InitialDir, folder.Path());
    EXPECT_EQ(form.Label31->Caption(), folder.File("mine.pvs"));
    EXPECT_TRUE(form.Save1->Enabled());
    EXPECT_EQ(TIniFile(folder.File("mine.pvs")).ReadString("Location", "SaveInFolder", ""), "/my/web");

    // "Save" rewrites the same file.
    form.Edit1->SetText("/changed");
    form.Save1Click(nullptr);
    EXPECT_EQ(TIniFile(folder.File("mine.pvs")).ReadString("Location", "SaveInFolder", ""), "/changed");

    // A cancelled "Open" keeps the name and reads nothing.
    form.Edit1->SetText("/unsaved");
    dialogs.FileAnswers.push_back({});
    form.Open1Click(nullptr);
    EXPECT_EQ(form.Label31->Caption(), folder.File("mine.pvs"));
    EXPECT_EQ(form.Edit1->Text(), "/unsaved");

    // "New" reads the default settings file and forgets the name.
    form.New1Click(nullptr);
    EXPECT_EQ(form.Edit1->Text(), "/from/default");
    EXPECT_EQ(form.SpinEdit1->Value(), 3);
    EXPECT_EQ(form.Label31->Caption(), "");
    EXPECT_FALSE(form.Save1->Enabled());
    form.Edit1->SetText("/after/new");
    form.Save1Click(nullptr);
    EXPECT_EQ(TIniFile(folder.File("mine.pvs")).ReadString("Location", "SaveInFolder", ""), "/changed");

    // A cancelled "Save as" after "New" leaves the name empty: "Save" still writes nothing.
    dialogs.FileAnswers.push_back({});
    form.Saveas1Click(nullptr);
    EXPECT_EQ(form.Label31->Caption(), "");

    // "Open" reads the file and names it.
    dialogs.FileAnswers.push_back({folder.File("mine.pvs")});
    form.Open1Click(nullptr);
    EXPECT_EQ(form.Edit1->Text(), "/changed");
    EXPECT_EQ(form.Label31->Caption(), folder.File("mine.pvs"));
}

TEST(FileMenu, ItemListDialogsNeverBecomeTheSettingsFile)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    WriteFile(folder.File("pic.jpg"), "x");
    dialogs.FileAnswers.push_back({folder.File("pic.jpg")});
    form.Addfiles1Click(nullptr);
    dialogs.FileAnswers.push_back({folder.File("list.pvi")});
    form.Save2Click(nullptr);
    // Open of settings cancelled, then Save: the item list must stay an item list.
    dialogs.FileAnswers.push_back({});
    form.Open1Click(nullptr);
    EXPECT_EQ(form.Label31->Caption(), "");
    form.Save1Click(nullptr);
    EXPECT_EQ(folder.Read("list.pvi"), folder.File("pic.jpg") + "\r\n");
}

TEST(FileMenu, CloseWritesPrivateIniAndExitToo)
{
    TempProgramFolder folder;
    {
        TForm1 form;
        form.Edit1->SetText("/closing");
        form.Show();
        form.Close();
    }
    struct stat st {};
    ASSERT_EQ(stat(folder.File("pv.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(TIniFile(folder.File("pv.ini")).ReadString("Location", "SaveInFolder", ""), "/closing");
    TForm1 again;
    EXPECT_EQ(again.Edit1->Text(), "/closing");
    again.Edit1->SetText("/exit");
    again.Show();
    again.Exit1Click(nullptr);
    EXPECT_EQ(TIniFile(folder.File("pv.ini")).ReadString("Location", "SaveInFolder", ""), "/exit");
}

// Settings that cannot be written are not lost without a word: "Exit" and the
// closing window give one box for pv.ini, each "Save as" its own.
TEST(FileMenu, SettingsThatCannotBeWrittenSaySo)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    // A folder where each file should go: no one can write these, root included.
    for (const char* taken : {"pv.ini", "taken.pvs"}) std::filesystem::create_directory(folder.File(taken));
    {
        TForm1 form;
        dialogs.FileAnswers.push_back({folder.File("taken.pvs")});
        form.Saveas1Click(nullptr);
        form.Edit1->SetText("/changed");
        form.Show();
        form.Exit1Click(nullptr);
    }
    EXPECT_EQ(dialogs.Messages.size(), 2u);
    for (const auto& [k, file, consequence] : {std::tuple{0, "taken.pvs", "the settings were not saved."},
                                               std::tuple{1, "pv.ini", "the settings of this session are not kept."}}) {
        if (static_cast<std::size_t>(k) >= dialogs.Messages.size()) break;
        EXPECT_EQ(dialogs.Messages[k].Caption, "Error");
        EXPECT_EQ(dialogs.Messages[k].Text,
                  "Settings file \"" + folder.File(file) + "\" cannot be written: " + consequence);
    }
}

TEST(FileMenu, AskThenSkipLeavesOnlySkipChecked)
{
    TempProgramFolder folder;
    TForm1 form;
    form.Ask1->Click();
    form.Skip1->Click();
    EXPECT_TRUE(form.Skip1->Checked());
    EXPECT_FALSE(form.Ask1->Checked());
    EXPECT_FALSE(form.Replace1->Checked());
    form.ReadWriteSettings("w", folder.File("p.pvs"));
    EXPECT_EQ(TIniFile(folder.File("p.pvs")).ReadInteger("Others", "OverwriteFiles", 0), 2);
    form.Replace1Click(form.Replace1);
    form.ReadWriteSettings("w", folder.File("p.pvs"));
    EXPECT_EQ(TIniFile(folder.File("p.pvs")).ReadInteger("Others", "OverwriteFiles", 0), 1);
}

TEST(FileMenu, RefreshReloadsListsButKeepsUnsavedSettings)
{
    TempProgramFolder folder;
    WriteTemplates(folder);
    TForm1 form;
    form.ComboBox3->SetItemIndex(1);  // b.htm
    form.Edit1->SetText("/not/saved/yet");
    form.SpinEdit1->SetValue(9);
    folder.Write("indexpg/0first.htm", "%thumb_location\n");
    form.Refresh1Click(nullptr);
    EXPECT_EQ(form.ComboBox3->Items().Count(), 3);
    EXPECT_EQ(form.ComboBox3->Text(), "b.htm");  // the same template, at its new place
    EXPECT_EQ(form.Edit1->Text(), "/not/saved/yet");
    EXPECT_EQ(form.SpinEdit1->Value(), 9);
}

TEST(HelpMenu, AboutAndMissingHelpShowMessages)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    // About: the properties dialog's About page, titled and named after this program.
    std::string caption, title;
    int page = -1;
    bool help = true;
    form.ShowDialogWindow = [&](TForm& window) {
        auto& about = dynamic_cast<TForm2&>(window);
        caption = about.Caption();
        title = about.Label23->Caption();
        page = about.Notebook1->PageIndex();
        help = about.Button33->Visible();
        return TModal::Ok;
    };
    form.AboutPictavo1->Click();
    EXPECT_EQ(caption, "About Pictavo");
    EXPECT_EQ(title, "Pictavo 1.0");
    EXPECT_EQ(page, ppAbout);
    EXPECT_FALSE(help);
    EXPECT_TRUE(dialogs.Messages.empty());
    form.PictavoHelp1->Click();
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "No help is installed.");
}

TEST(ExceptionBox, AnEscapingErrorIsShownWithTheProgramTitle)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    // "Open" of an item list that does not exist raises the file error.
    dialogs.FileAnswers.push_back({folder.File("missing.pvi")});
    form.Open2->Click();
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Caption, "Pictavo 1.0");
    EXPECT_EQ(dialogs.Messages[0].Type, TMsgDlgType::Error);
    EXPECT_NE(dialogs.Messages[0].Text.find("missing.pvi"), std::string::npos) << dialogs.Messages[0].Text;
    // The window goes on working.
    form.Selectall1->Click();
    EXPECT_EQ(dialogs.Messages.size(), 1u);
}
