// The source-item list of the main window.
#include "WindowTestSupport.h"

#include "formats/ImageFormats.h"
#include "gallery/records/PropertyRecords.h"
#include "platform/system/DateTime.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/system/Files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>

#include <filesystem>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Captions(const TForm1& form)
{
    std::vector<std::string> out;
    for (int i = 0; i < form.ListView1->Count(); ++i) out.push_back(form.ListView1->Caption(i));
    return out;
}

std::vector<std::string> Paths(const TForm1& form)
{
    std::vector<std::string> out;
    for (int i = 0; i < form.ListView1->Count(); ++i) out.push_back(form.ItemFullPath(i));
    return out;
}

std::vector<int> SelectedRows(const TForm1& form)
{
    std::vector<int> out;
    for (int i = 0; i < form.ListView1->Count(); ++i)
        if (form.ListView1->Selected(i)) out.push_back(i);
    return out;
}

void Select(TForm1& form, std::initializer_list<int> rows)
{
    for (int i = 0; i < form.ListView1->Count(); ++i) form.ListView1->SetSelected(i, false);
    for (int r : rows) form.ListView1->SetSelected(r, true);
}

// n files f0.jpg .. f(n-1).jpg added through "Add (files)".
void AddNumberedFiles(TForm1& form, DialogScript& dialogs, const std::string& folder, int n)
{
    std::vector<std::string> files;
    for (int i = 0; i < n; ++i) {
        files.push_back(folder + "f" + std::to_string(i) + ".jpg");
        WriteFile(files.back(), "x");
    }
    dialogs.FileAnswers.push_back(files);
    form.Addfiles1Click(nullptr);
}

std::vector<std::string> Names(std::initializer_list<int> order)
{
    std::vector<std::string> out;
    for (int i : order) out.push_back("f" + std::to_string(i) + ".jpg");
    return out;
}

class ScanTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = folder.Path() + "tree/";
        for (const char* f : {"a.jpg", "B.JPG", "c.gif", "d.bmp", "e.txt", "noext", ".hid.jpg", "sub/f.jpg",
                              "sub/g.bmp", "sub/deeper/h.JPG", ".hiddendir/i.jpg"})
            WriteFile(root + f, "data");
        fs::create_directory_symlink(root, root + "sub/loop");
    }
    std::vector<std::string> Scan(bool subfolders, const std::string& include, const std::string& exclude)
    {
        TForm1 form;
        form.menuitem3->SetChecked(subfolders);
        form.ComboBox16->SetText(include);
        form.ComboBox20->SetText(exclude);
        dialogs.FolderAnswers.push_back(root);
        char before[4096];
        EXPECT_NE(getcwd(before, sizeof before), nullptr);
        form.Adddirectory1Click(nullptr);
        char after[4096];
        EXPECT_NE(getcwd(after, sizeof after), nullptr);
        EXPECT_STREQ(before, after);
        EXPECT_EQ(form.GetPropertyRecord(prSourceImage), root);
        std::vector<std::string> rel;
        for (const auto& p : Paths(form)) rel.push_back(p.substr(root.size()));
        if (form.ListView1->Count() > 0) {
            EXPECT_EQ(SelectedRows(form), std::vector<int>{0});
        }
        return rel;
    }
    TempProgramFolder folder;
    DialogScript dialogs;
    std::string root;
};

}  // namespace

TEST_F(ScanTree, IncludeMaskIgnoresCaseWithoutSubfolders)
{
    EXPECT_EQ(Scan(false, "*.jpg", ""), (std::vector<std::string>{".hid.jpg", "a.jpg", "B.JPG"}));
    ASSERT_EQ(dialogs.FolderRequests.size(), 1u);
    EXPECT_EQ(dialogs.FolderRequests[0].Title, "Select directory for scanning the files: \r\n*.jpg");
    EXPECT_EQ(dialogs.FolderRequests[0].StartFolder, folder.Path());
}

TEST_F(ScanTree, SubfoldersAreEnteredOnceDespiteASymlinkLoop)
{
    EXPECT_EQ(Scan(true, "*.jpg;*.gif", ""),
              (std::vector<std::string>{".hid.jpg", "a.jpg", "B.JPG", "c.gif", "sub/deeper/h.JPG", "sub/f.jpg"}));
}

TEST_F(ScanTree, EverythingButExcludedBitmaps)
{
    EXPECT_EQ(Scan(true, "*.*", "*.bmp"), (std::vector<std::string>{".hid.jpg", "a.jpg", "B.JPG", "c.gif", "e.txt",
                                                                    "noext", "sub/deeper/h.JPG", "sub/f.jpg"}));
}

TEST_F(ScanTree, ExcludeStarTakesNothingAndAddingTwiceAddsNothing)
{
    EXPECT_TRUE(Scan(true, "*.*", "*").empty());
    TForm1 form;
    form.ComboBox16->SetText("*.gif");
    dialogs.FolderAnswers.push_back(root);
    form.Adddirectory1Click(nullptr);
    dialogs.FolderAnswers.push_back(root);
    form.Adddirectory1Click(nullptr);
    EXPECT_EQ(Captions(form), std::vector<std::string>{"c.gif"});
    // A cancelled browser leaves the list alone.
    form.Adddirectory1Click(nullptr);
    EXPECT_EQ(form.ListView1->Count(), 1);
}

TEST(SourceItems, ItemPartsAndMissingFiles)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    WriteFile(folder.File("pics/My.Holiday.JPG"), "x");
    WriteFile(folder.File("pics/README"), "x");
    WriteFile(folder.File("pics/odd|name.jpg"), "x");
    const TListRow row = TForm1::MakeSourceItem(folder.File("pics/My.Holiday.JPG"));
    EXPECT_EQ(row.Caption, "My.Holiday.JPG");
    EXPECT_EQ(row.SubItems[0], folder.File("pics/"));
    EXPECT_EQ(row.SubItems[1], ".jpgmy");
    EXPECT_EQ(row.SubItems[2], std::to_string(FileAge(folder.File("pics/My.Holiday.JPG"))));
    EXPECT_EQ(TForm1::MakeSourceItem(folder.File("pics/README")).SubItems[1], "");

    TForm1 form;
    dialogs.FileAnswers.push_back({folder.File("pics/README"), folder.File("pics/odd|name.jpg"), folder.File("pics")});
    form.Addfiles1Click(nullptr);
    EXPECT_EQ(Captions(form), (std::vector<std::string>{"odd|name.jpg", "README"}));
    EXPECT_EQ(form.GetPropertyRecord(prSourceImage), folder.File("pics"));
    // A file name with "|" survives a move.
    Select(form, {0});
    form.Moveitemdown1->Click();
    EXPECT_EQ(Captions(form), (std::vector<std::string>{"README", "odd|name.jpg"}));
    EXPECT_EQ(form.ItemFullPath(1), folder.File("pics/odd|name.jpg"));
    fs::remove(folder.File("pics/README"));
    form.Refresh1Click(nullptr);
    EXPECT_EQ(Captions(form), std::vector<std::string>{"odd|name.jpg"});
}

TEST(SourceItems, EachSortOrder)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    struct F {
        const char* path;
        int year;
    } files[] = {{"a/zeta.bmp", 1985}, {"a/beta.jpg", 1982}, {"b/alpha.gif", 1990}, {"b/gamma.jpg", 1983}};
    std::vector<std::string> chosen;
    for (const F& f : files) {
        WriteFile(folder.File(f.path), "x");
        ASSERT_EQ(FileSetDate(folder.File(f.path), DateTimeToFileDate(EncodeDate(f.year, 6, 1))), 0);
        chosen.push_back(folder.File(f.path));
    }
    TForm1 form;
    dialogs.FileAnswers.push_back(chosen);
    form.Addfiles1Click(nullptr);
    using V = std::vector<std::string>;
    EXPECT_EQ(Captions(form), (V{"beta.jpg", "zeta.bmp", "alpha.gif", "gamma.jpg"}));  // path order
    form.Name1->Click();
    EXPECT_EQ(Captions(form), (V{"alpha.gif", "beta.jpg", "gamma.jpg", "zeta.bmp"}));
    form.ExtName1->Click();
    EXPECT_EQ(Captions(form), (V{"zeta.bmp", "alpha.gif", "beta.jpg", "gamma.jpg"}));
    form.PathName1->Click();
    EXPECT_EQ(Captions(form), (V{"beta.jpg", "zeta.bmp", "alpha.gif", "gamma.jpg"}));
    form.PathExtName1->Click();
    EXPECT_EQ(Captions(form), (V{"zeta.bmp", "beta.jpg", "alpha.gif", "gamma.jpg"}));
    // Packed dates of 1982 have fewer digits than those of 1983 to 1990: compared
    // as text they would come last.
    form.DateTime1->Click();
    EXPECT_EQ(Captions(form), (V{"beta.jpg", "gamma.jpg", "zeta.bmp", "alpha.gif"}));
    form.PathDateTime1->Click();
    EXPECT_EQ(Captions(form), (V{"beta.jpg", "zeta.bmp", "gamma.jpg", "alpha.gif"}));
}

TEST(SourceItems, MoveCommands)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    AddNumberedFiles(form, dialogs, folder.File("m/"), 10);

    Select(form, {5, 7});
    form.Moveitemup1->Click();
    EXPECT_EQ(Captions(form), Names({0, 1, 2, 3, 5, 7, 4, 6, 8, 9}));
    EXPECT_EQ(SelectedRows(form), (std::vector<int>{4, 5}));

    // Down is the mirror of up: the block ends one place below its last row.
    form.Moveitemdown1->Click();
    EXPECT_EQ(Captions(form), Names({0, 1, 2, 3, 4, 5, 7, 6, 8, 9}));
    EXPECT_EQ(SelectedRows(form), (std::vector<int>{5, 6}));
    form.Moveitemdown1->Click();
    EXPECT_EQ(Captions(form), Names({0, 1, 2, 3, 4, 6, 5, 7, 8, 9}));
    Select(form, {6});
    form.Moveitemdown1->Click();
    EXPECT_EQ(Captions(form), Names({0, 1, 2, 3, 4, 6, 7, 5, 8, 9}));
    Select(form, {2, 3, 4});
    form.Moveitemdown1->Click();
    EXPECT_EQ(Captions(form), Names({0, 1, 6, 2, 3, 4, 7, 5, 8, 9}));

    Select(form, {2, 4});
    form.Moveitembottom1->Click();
    EXPECT_EQ(Captions(form), Names({0, 1, 2, 4, 7, 5, 8, 9, 6, 3}));
    EXPECT_EQ(SelectedRows(form), (std::vector<int>{8, 9}));
    Select(form, {3, 5});
    form.Moveitemtop1->Click();
    EXPECT_EQ(Captions(form), Names({4, 5, 0, 1, 2, 7, 8, 9, 6, 3}));
    Select(form, {0});
    form.Moveitemup1->Click();  // already at the top
    EXPECT_EQ(Captions(form), Names({4, 5, 0, 1, 2, 7, 8, 9, 6, 3}));

    // "Move items to ..." then "Move items to here" on the chosen place.
    Select(form, {0, 1});
    form.MenuItem12->Click();
    EXPECT_TRUE(form.PlaceHere1->Enabled());
    Select(form, {6});
    form.PlaceHere1->Click();
    EXPECT_EQ(Captions(form), Names({0, 1, 2, 7, 4, 5, 8, 9, 6, 3}));
    EXPECT_FALSE(form.PlaceHere1->Enabled());

    // A drag released below the last row moves the selection to the end.
    Select(form, {0});
    form.ListView1MouseMove(form.ListView1, TMouseButton::None, true, 5, 5);
    EXPECT_EQ(form.DragPending, 99);
    form.ListView1MouseUp(form.ListView1, TMouseButton::Left, false, -50, -50);
    EXPECT_EQ(Captions(form), Names({1, 2, 7, 4, 5, 8, 9, 6, 3, 0}));
    EXPECT_EQ(form.DragPending, 0);
}

TEST(SourceItems, DeleteSelectInvertAndClear)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    AddNumberedFiles(form, dialogs, folder.File("d/"), 6);
    form.Selectall1->Click();
    EXPECT_EQ(form.ListView1->SelCount(), 6);
    Select(form, {1, 4});
    form.Invert1->Click();
    EXPECT_EQ(SelectedRows(form), (std::vector<int>{0, 2, 3, 5}));
    form.Delete1->Click();
    EXPECT_EQ(Captions(form), Names({1, 4}));
    EXPECT_FALSE(form.ProgressBar1->Visible());
    EXPECT_FALSE(form.Delete1->Enabled());  // nothing selected now
    form.Deselectall1->Click();
    EXPECT_EQ(form.ListView1->SelCount(), 0);

    dialogs.MessageAnswers.push_back(TModal::No);
    form.Newitems1->Click();
    EXPECT_EQ(form.ListView1->Count(), 2);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Caption, "Confirm Clear items");
    EXPECT_EQ(dialogs.Messages[0].Text, "Are you sure you want to clear the list items?");
    dialogs.MessageAnswers.push_back(TModal::Yes);
    form.Newitems1->Click();
    EXPECT_EQ(form.ListView1->Count(), 0);
    EXPECT_FALSE(form.StartCreate1->Enabled());
    form.Newitems1->Click();  // an empty list asks nothing
    EXPECT_EQ(dialogs.Messages.size(), 2u);
}

TEST(SourceItems, StepsThroughTheListStopAtItsEnds)
{
    const struct {
        int current, count;
        TListStep step;
        int landed;
    } steps[] = {
        {1, 3, TListStep::First, 0},   {2, 3, TListStep::Previous, 1},  {0, 3, TListStep::Previous, 0},
        {1, 3, TListStep::Next, 2},    {2, 3, TListStep::Next, 2},      {0, 3, TListStep::Last, 2},
        {-1, 3, TListStep::Next, 0},   {-1, 3, TListStep::Previous, 0}, {0, 1, TListStep::Next, 0},
        {-1, 0, TListStep::First, -1},
    };
    for (const auto& s : steps)
        EXPECT_EQ(SteppedIndex(s.current, s.count, s.step), s.landed)
            << s.current << " of " << s.count << " step " << static_cast<int>(s.step);
}

TEST(SourceItems, ItemListFilesRoundTrip)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    std::string list;
    {
        TForm1 form;
        AddNumberedFiles(form, dialogs, folder.File("p/"), 3);
        Select(form, {0});
        form.Moveitembottom1->Click();
        dialogs.FileAnswers.push_back({folder.File("items")});
        form.Save2Click(nullptr);
        list = folder.Read("items.pvi");
        EXPECT_EQ(list, folder.File("p/f1.jpg") + "\r\n" + folder.File("p/f2.jpg") + "\r\n" + folder.File("p/f0.jpg") +
                            "\r\n");
        ASSERT_EQ(dialogs.FileRequests.back().DefaultExt, "pvi");
        EXPECT_EQ(dialogs.FileRequests.back().Filter, "Items List (*.pvi)|*.pvi");
    }
    // A name the Windows program wrote in Windows-1252 finds the file under its reading.
    folder.Write("p/g\xc3\xa9.jpg", "x");
    folder.Write("items.pvi", list + folder.File("p/gone.jpg") + "\n" + folder.File("p/f1.jpg") + "\n" +
                                  folder.File("p/g\xe9.jpg") + "\n");
    TForm1 form;
    dialogs.FileAnswers.push_back({folder.File("items.pvi")});
    form.Open2Click(nullptr);
    // Sorted by path, missing files and duplicates dropped, the first selected.
    EXPECT_EQ(Captions(form), (std::vector<std::string>{"f0.jpg", "f1.jpg", "f2.jpg", "g\xc3\xa9.jpg"}));
    EXPECT_EQ(SelectedRows(form), std::vector<int>{0});
}

TEST(SourceItems, StatusBarTexts)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    AddNumberedFiles(form, dialogs, folder.File("s/"), 12);
    Select(form, {3});
    form.UpdateControls();
    EXPECT_EQ(form.StatusBar1->PanelText(1), "Total Items: 12         Current: 4");
    EXPECT_EQ(form.StatusBar1->PanelText(0), "Total Pages: 1");
    Select(form, {1, 2, 9});
    form.UpdateControls();
    EXPECT_EQ(form.StatusBar1->PanelText(1), "Total Items: 12         Selected 3 items");
    EXPECT_FALSE(form.View1->Enabled());
    Select(form, {});
    form.SpinEdit1->SetValue(2);
    form.SpinEdit2->SetValue(2);
    form.UpdateControls();
    EXPECT_EQ(form.StatusBar1->PanelText(1), "Total Items: 12 ");
    EXPECT_EQ(form.StatusBar1->PanelText(0), "Total Pages: 3");
    form.ComboBox1->SetItemIndex(1);  // thumbnails per page: 2
    form.UpdateControls();
    EXPECT_EQ(form.StatusBar1->PanelText(0), "Total Pages: 6");
    form.ComboBox1->SetItemIndex(2);
    form.UpdateControls();
    EXPECT_EQ(form.StatusBar1->PanelText(0), "Total Pages: 1");
    EXPECT_FALSE(form.SpinEdit2->Enabled());
}

TEST(SourceItems, PageCountLayouts)
{
    int pages = -1, remainder = -1;
    PageCount(pages, remainder, 0, 2, 3, 0);
    EXPECT_EQ(pages, 0);
    EXPECT_EQ(remainder, 0);
    PageCount(pages, remainder, 0, 2, 3, 13);
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(remainder, 1);
    PageCount(pages, remainder, 0, 2, 3, 12);
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(remainder, 0);
    PageCount(pages, remainder, 1, 5, 0, 3);
    EXPECT_EQ(pages, 1);
    PageCount(pages, remainder, 2, 1, 1, 500);
    EXPECT_EQ(pages, 1);
    PageCount(pages, remainder, 0, 0, 5, 7);  // nothing per page: one page, no division
    EXPECT_EQ(pages, 1);
}

TEST(MainWindowControls, HistoriesAndBaseUrl)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    form.ComboBox23->SetText("  www.example.com ");
    form.ComboBox16Exit(form.ComboBox23);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Caption, "Error");
    EXPECT_EQ(dialogs.Messages[0].Text, "The base URL must be absolute.");
    EXPECT_EQ(form.ComboBox23->Text(), "");
    for (const char* ok : {" /gallery ", "HTTP://host/x", "https://host/y"}) {
        form.ComboBox23->SetText(ok);
        form.ComboBox16Exit(form.ComboBox23);
    }
    EXPECT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(form.ComboBox23->Items()[0], "https://host/y");
    EXPECT_EQ(form.ComboBox23->Items()[2], "/gallery");

    // An entry equal to an item (in any case) is not added again; Delete removes it.
    form.ComboBox11->SetText("%FILENAME");
    const int before = form.ComboBox11->Items().Count();
    form.ComboBox16Exit(form.ComboBox11);
    EXPECT_EQ(form.ComboBox11->Items().Count(), before);
    int key = VK_DELETE;
    form.ComboBox13KeyUp(form.ComboBox11, key);
    EXPECT_EQ(form.ComboBox11->Items().Count(), before - 1);
    EXPECT_EQ(form.ComboBox11->Items().IndexOf("%Filename"), -1);
    int other = 65;
    form.ComboBox13KeyUp(form.ComboBox11, other);
    EXPECT_EQ(form.ComboBox11->Items().Count(), before - 1);
}

TEST(MainWindowControls, UpdateControlsFollowsTheSettings)
{
    TempProgramFolder folder;
    TForm1 form;
    EXPECT_TRUE(form.GroupBox2->Visible());
    form.ComboBox4->SetItemIndex(1);
    form.ComboBox19->SetItemIndex(1);
    form.ComboBox6->SetItemIndex(0);
    form.Menuitem4->SetChecked(false);
    form.UpdateControls();
    EXPECT_FALSE(form.GroupBox2->Visible());
    EXPECT_FALSE(form.SpinEdit9->Enabled());
    EXPECT_EQ(form.SpinEdit9->Color(), clBtnFace);
    EXPECT_TRUE(form.SpinEdit8->Enabled());
    EXPECT_FALSE(form.SpinEdit7->Enabled());
    EXPECT_FALSE(form.ListView1->GridLines());
    form.ComboBox19->SetItemIndex(2);
    form.UpdateControls();
    EXPECT_TRUE(form.SpinEdit9->Enabled());
    EXPECT_FALSE(form.SpinEdit8->Enabled());
    form.Menuitem5->Click();  // toggles and refreshes
    EXPECT_TRUE(form.Menuitem5->Checked());
    EXPECT_TRUE(form.ListView1->HotTrack());
    form.EnableMainUI(0);
    EXPECT_FALSE(form.PageControl1->Enabled());
    EXPECT_FALSE(form.ToolBar1->Enabled());
    form.EnableMainUI(7);
    EXPECT_FALSE(form.PageControl1->Enabled());
    form.EnableMainUI(1);
    EXPECT_TRUE(form.ToolBar1->Enabled());
    // The output-format notebooks follow the hidden format choices.
    form.ComboBox8->SetItemIndex(1);
    form.ComboBox7Click(form.ComboBox8);
    EXPECT_EQ(form.Notebook2->PageIndex(), 1);
    EXPECT_EQ(form.Notebook1->PageIndex(), 0);
}

TEST(SourceItems, DialogsOfAddingAndPropertiesAndDestination)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    WriteFile(folder.File("in/one.jpg"), "x");
    WriteFile(folder.File("in/two.jpg"), "x");
    form.ComboBox16->SetText("*.jpg");
    dialogs.FileAnswers.push_back({folder.File("in/two.jpg"), folder.File("in/one.jpg")});
    form.Addfiles1Click(nullptr);
    ASSERT_EQ(dialogs.FileRequests.size(), 1u);
    const TFileDialogRequest& request = dialogs.FileRequests[0];
    EXPECT_EQ(request.Kind, TFileDialogKind::OpenPicture);
    EXPECT_TRUE(request.MultiSelect);
    EXPECT_EQ(request.Title, "Add (files)");
    EXPECT_EQ(request.Filter.rfind("*.jpg|*.jpg|All formats|*.jpg;*.jif;", 0), 0u) << request.Filter;
    EXPECT_NE(request.Filter.find("|Kodak ICC Photo CD (*.pcd)|*.pcd"), std::string::npos);
    EXPECT_EQ(request.InitialDir, folder.Path());
    // The folder of the first chosen file, without its trailing separator.
    EXPECT_EQ(form.GetPropertyRecord(prSourceImage), folder.File("in"));
    EXPECT_EQ(Captions(form), (std::vector<std::string>{"one.jpg", "two.jpg"}));

    // Properties of the focused and selected item go to the file-properties hook.
    std::string shown;
    SetFilePropertiesHook([&](const std::string& file) { shown = file; });
    Select(form, {});
    form.MenuItem16->Click();
    EXPECT_EQ(shown, "");
    form.ListView1->SetSelected(1, true);
    form.ListView1->SetFocused(1);
    form.MenuItem16->Click();
    EXPECT_EQ(shown, folder.File("in/two.jpg"));
    SetFilePropertiesHook(nullptr);

    // The "..." button browses from the destination and replaces it.
    form.Edit1->SetText("/var/www");
    dialogs.FolderAnswers.push_back("/srv/gallery");
    form.Button8->Click();
    ASSERT_EQ(dialogs.FolderRequests.size(), 1u);
    EXPECT_EQ(dialogs.FolderRequests[0].Title, "Save in folder");
    EXPECT_EQ(dialogs.FolderRequests[0].StartFolder, "/var/www");
    EXPECT_EQ(form.Edit1->Text(), "/srv/gallery");
    form.Button8->Click();  // cancelled: unchanged
    EXPECT_EQ(form.Edit1->Text(), "/srv/gallery");

    // A new include filter goes to the top of its history.
    form.ComboBox16->SetText(" *.png ");
    form.ComboBox16Exit(form.ComboBox16);
    EXPECT_EQ(form.ComboBox16->Items()[0], "*.png");
    EXPECT_EQ(form.ComboBox16->Text(), "*.png");

    // Delete steps the progress bar once per selected item.
    Select(form, {0, 1});
    form.Delete1->Click();
    EXPECT_EQ(form.ProgressBar1->Max(), 2);
    EXPECT_EQ(form.ProgressBar1->Position(), 2);
    EXPECT_EQ(form.ListView1->Count(), 0);
}

TEST(SourceItems, NamesThatDifferOnlyInCaseAreTwoFiles)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    WriteFile(folder.File("c/photo.jpg"), "1");
    WriteFile(folder.File("c/PHOTO.jpg"), "2");
    WriteFile(folder.File("c/apple.jpg"), "3");
    TForm1 form;
    dialogs.FileAnswers.push_back({folder.File("c/photo.jpg"), folder.File("c/apple.jpg")});
    form.Addfiles1Click(nullptr);
    dialogs.FileAnswers.push_back({folder.File("c/PHOTO.jpg"), folder.File("c/photo.jpg")});
    form.Addfiles1Click(nullptr);
    // Sorted without regard to case, and no file is lost as a "duplicate" of another.
    EXPECT_EQ(Captions(form), (std::vector<std::string>{"apple.jpg", "PHOTO.jpg", "photo.jpg"}));
}

// Under "All formats" the "Add (files)" dialog shows files of every extension
// the picture registry holds (PNG, the portable maps, SGI, RLA, Paint Shop
// Pro, Autodesk and EPS among them), and each of those formats has an entry of
// its own.
TEST(SourceItems, AddFilesShowsEveryRegisteredFormatUnderAllFormats)
{
    InitializeImageFormats();
    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    form.ComboBox16->SetText("*.jpg");
    form.Addfiles1Click(nullptr);
    ASSERT_EQ(dialogs.FileRequests.size(), 1u);
    TFileDialogRequest request = dialogs.FileRequests[0];

    std::vector<std::string> parts;
    for (std::string rest = request.Filter + "|"; !rest.empty(); rest.erase(0, rest.find('|') + 1))
        parts.push_back(rest.substr(0, rest.find('|')));
    ASSERT_GE(parts.size(), 6u);
    EXPECT_EQ(parts[2], "All formats");
    std::set<std::string> ownEntries;  // the masks of the entries after "All formats"
    for (std::size_t i = 5; i < parts.size(); i += 2)
        for (std::string rest = parts[i] + ";"; !rest.empty(); rest.erase(0, rest.find(';') + 1))
            ownEntries.insert(rest.substr(0, rest.find(';')));
    std::set<std::string> expected;
    for (const TPictureFileFormat& format : TPicture::FileFormats()) {
        EXPECT_TRUE(ownEntries.count("*." + format.Extension)) << format.Extension;
        expected.insert("picture." + format.Extension);
    }
    for (const char* extension : {"png", "ppm", "pgm", "pbm", "sgi", "rgb", "rla", "psp", "pic", "cel", "eps"})
        EXPECT_TRUE(expected.count(std::string("picture.") + extension)) << extension << " is registered";

    // The dialog as the user gets it: its "All formats" entry, in Qt's form,
    // and Qt's own matching of file names against it (any letter case).
    const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(request);
    EXPECT_TRUE(dialog->nameFilters().contains("Tagged Image File Format (*.tif *.tiff)"));
    const QString allFormats = dialog->nameFilters().value(1);
    ASSERT_TRUE(allFormats.startsWith("All formats (")) << allFormats.toStdString();
    const QStringList masks = allFormats.mid(13, allFormats.size() - 14).split(' ');
    std::set<std::string> listed;
    for (const std::string& name : expected)
        if (QDir::match(masks, QString::fromStdString(name))) listed.insert(name);
    EXPECT_TRUE(QDir::match(masks, "ROSE.PNG"));
    EXPECT_FALSE(QDir::match(masks, "notes.txt"));
    EXPECT_EQ(listed, expected);
}
