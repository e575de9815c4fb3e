// The build driver end to end: pictures made at test time, "Create All" run
// through the main window's own command, every produced file checked.
#include "BuildTestSupport.h"
#include "WindowTestSupport.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/build/pvuBuildPaths.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/pictures/pvutilsSourceCache.h"
#include "gallery/records/pvutils.h"
#include "platform/shell/Shell.h"
#include "platform/system/System.h"
#include "tests/support/TestApplication.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

const std::string GoldenFolder = std::string(PICTAVO_SOURCE_DIR) + "/tests/gallery/golden/";

// One source picture of the end-to-end list: the file, how it is made, and its size.
struct SourcePicture {
    std::string name;
    std::string makeArguments;  // arguments of ImageMagick's convert before the output; empty: not made
    int width;
    int height;
    int bmpBits;  // the BMP depth the file must have, 0 for other formats
};

const std::vector<SourcePicture> EndToEndPictures = {
    {"A_Baseline.jpg", "-size 400x300 gradient:red-blue -quality 90", 400, 300, 0},
    {"b_progressive.JPG", "-size 300x400 gradient:green-yellow -interlace JPEG -quality 90", 300, 400, 0},
    {"c_grey.jpeg", "-size 200x200 gradient:black-white -colorspace Gray -type Grayscale", 200, 200, 0},
    {"d_24.bmp", "-size 160x120 gradient:orange-purple -type TrueColor BMP3:", 160, 120, 24},
    {"e_8.bmp", "-size 150x100 gradient:red-green -colors 200 -type Palette BMP3:", 150, 100, 8},
    {"f_1.bmp", "-size 40x30 pattern:checkerboard -monochrome -type Bilevel BMP3:", 40, 30, 1},
    {"g_16.bmp", "-size 64x48 gradient:cyan-magenta -define bmp:subtype=RGB565 BMP:", 64, 48, 16},
    {"h_missing.jpg", "", 0, 0, 0},
    {"i_anim.gif", "-size 120x90 gradient:blue-white", 120, 90, 0},
    {"j_alpha.png", "-size 90x120 gradient:white-black", 90, 120, 0},
    {"k_wide.jpg", "-size 1600x1200 gradient:red-yellow -quality 85", 1600, 1200, 0},
    {"l_small.jpg", "-size 64x48 plasma:fractal -seed 7 -quality 90", 64, 48, 0},
};

std::string PicName(int number, const char* folder, const char* prefix)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s/%s%02d.jpg", folder, prefix, number);
    return buffer;
}

std::string PageName(int number)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "pages/page%02d.htm", number);
    return buffer;
}

class BuildTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareBuildProgramFolder(program.Path());
        work = program.Path() + "work/";
        sources = work + "Sources/";
        destination = work + "Out/Gallery";
        fs::create_directories(sources);
        program.Write("fixed.pvs", FixedSettings(destination));
        form = std::make_unique<TForm1>();
        form->FormCreate();
        form->ReadWriteSettings("r", program.File("fixed.pvs"));
        ASSERT_EQ(form->ComboBox3->Text(), "fixed.htm");
        ASSERT_EQ(form->ComboBox5->Text(), "fixed.htm");
    }
    void TearDown() override { form.reset(); }

    // Makes the pictures (those with arguments) in the source folder and puts all of them in the list.
    void AddPictures(const std::vector<SourcePicture>& pictures)
    {
        ASSERT_TRUE(HaveTool("convert"));
        for (const SourcePicture& picture : pictures) {
            const std::string path = sources + picture.name;
            if (!picture.makeArguments.empty()) {
                std::string arguments = picture.makeArguments;
                std::string target = ShellQuote(path);
                // A format prefix ("BMP3:") belongs in front of the output name.
                const std::size_t colon = arguments.rfind(' ');
                std::string last = arguments.substr(colon + 1);
                if (!last.empty() && last.back() == ':') {
                    arguments = arguments.substr(0, colon);
                    target = ShellQuote(last + path);
                }
                ASSERT_EQ(RunCommand("convert " + arguments + " " + target + " 2>&1"), 0) << picture.name;
                if (picture.bmpBits) {
                    ASSERT_EQ(BmpBitCount(path), picture.bmpBits) << picture.name;
                }
            }
            form->ListView1->Add(TForm1::MakeSourceItem(path));
        }
    }

    void AddSimplePictures(int count)
    {
        std::vector<SourcePicture> pictures;
        for (int k = 0; k < count; ++k)
            pictures.push_back(
                {"p" + std::to_string(k) + ".jpg", "-size 200x100 gradient:red-blue -quality 80", 200, 100, 0});
        AddPictures(pictures);
    }

    std::string Dest(const std::string& relative) const { return destination + "/" + relative; }
    std::string GeneratedList() const { return ReadFile(WritableFolder() + "pftp.bak"); }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& m : dialogs.Messages) texts.push_back(m.Caption + ": " + m.Text);
        return texts;
    }

    void ExpectWindowRestored()
    {
        EXPECT_TRUE(form->PageControl1->Visible());
        EXPECT_TRUE(form->ToolBar1->Enabled());
        EXPECT_FALSE(form->Button14->Visible());
        EXPECT_FALSE(form->ProgressBar1->Visible());
        EXPECT_EQ(form->ProgressBar1->Position(), 0);
        EXPECT_EQ(form->Label34->Caption(), "");
    }

    TempProgramFolder program;
    DialogScript dialogs;
    std::string work, sources, destination;
    std::unique_ptr<TForm1> form;
};

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// The button pictures of the fixed templates, as the build copies them beside
// the index pages and beside the image pages (listed last: uploaded first).
const std::vector<std::string> IndexButtons = {"first.gif", "prev.gif", "next.gif", "last.gif"};
const std::vector<std::string> PageButtons = {"pages/first.gif", "pages/prev.gif", "pages/index.gif", "pages/next.gif",
                                              "pages/last.gif"};
const std::string ButtonLines = JoinLines(IndexButtons) + JoinLines(PageButtons);

// The lines of the produced-files list.
std::vector<std::string> ListLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Every href and src of every page the list names resolves to a file that is
// there and that the list names too (what the upload sends is whole).
void ExpectLinksResolveToListedFiles(const std::string& destination, const std::vector<std::string>& listed)
{
    const std::set<std::string> names(listed.begin(), listed.end());
    EXPECT_EQ(names.size(), listed.size()) << "a file is listed twice";
    for (const std::string& page : listed) {
        if (page.find(".htm") == std::string::npos) continue;
        const fs::path pageFolder = fs::path(destination + "/" + page).parent_path();
        const std::vector<std::string> addresses = LinkedAddresses(ReadFile(destination + "/" + page));
        for (const std::string& address : addresses) {
            if (address.rfind("http", 0) == 0) continue;
            const fs::path target = (pageFolder / address).lexically_normal();
            EXPECT_TRUE(fs::is_regular_file(target)) << page << " links " << address;
            EXPECT_TRUE(names.count(fs::relative(target, destination).generic_string()))
                << page << " links " << address;
        }
    }
}

// ---------------------------------------------------------------------------

TEST_F(BuildTest, CreateAllEndToEnd)
{
    ASSERT_TRUE(HaveTool("identify"));
    ASSERT_TRUE(HaveTool("tidy"));
    AddPictures(EndToEndPictures);
    ASSERT_EQ(form->ListView1->Count(), 12);

    const int cacheHitsBefore = CachedSourcePictureHits();
    form->CreateAll2->Click();

    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    ExpectWindowRestored();
    EXPECT_EQ(form->ProgressBar1->Max(), 2 * 12 + 4);
    // Every picture was decoded once: each thumbnail took the image copy's decoded source.
    EXPECT_EQ(CachedSourcePictureHits() - cacheHitsBefore, 11);
    // The missing picture left the list; the others keep their order.
    ASSERT_EQ(form->ListView1->Count(), 11);
    for (int i = 0; i < form->ListView1->Count(); ++i) EXPECT_NE(form->ListView1->Caption(i), "h_missing.jpg");

    // Pictures: output numbers follow the items that stayed; names lower-cased, folder as typed.
    std::vector<std::string> expectedList = {"index1.html", "index2.html"};
    for (int n = 1; n <= 11; ++n) expectedList.push_back(PageName(n));
    std::vector<std::string> pictures;
    int number = 1;
    for (const SourcePicture& source : EndToEndPictures) {
        if (source.makeArguments.empty()) continue;
        const std::string image = PicName(number, "images", "pic");
        const std::string thumbnail = PicName(number, "thumbs", "tn_pic");
        pictures.push_back(image);
        pictures.push_back(thumbnail);
        int imageWidth = 0, imageHeight = 0, thumbWidth = 0, thumbHeight = 0;
        FitIntoBox(source.width, source.height, 800, 600, imageWidth, imageHeight);
        FitIntoBox(source.width, source.height, 120, 120, thumbWidth, thumbHeight);
        for (const auto& [name, w, h] :
             {std::tuple{image, imageWidth, imageHeight}, std::tuple{thumbnail, thumbWidth, thumbHeight}}) {
            int ourWidth = 0, ourHeight = 0, theirWidth = 0, theirHeight = 0;
            MeasureWithOurReader(Dest(name), ourWidth, ourHeight);
            MeasureWithIdentify(Dest(name), theirWidth, theirHeight);
            EXPECT_EQ(ourWidth, w) << source.name << " -> " << name;
            EXPECT_EQ(ourHeight, h) << source.name << " -> " << name;
            EXPECT_EQ(theirWidth, w) << source.name << " -> " << name;
            EXPECT_EQ(theirHeight, h) << source.name << " -> " << name;
        }
        ++number;
    }
    expectedList.insert(expectedList.end(), pictures.begin(), pictures.end());
    expectedList.insert(expectedList.end(), IndexButtons.begin(), IndexButtons.end());
    expectedList.insert(expectedList.end(), PageButtons.begin(), PageButtons.end());
    EXPECT_EQ(GeneratedList(), JoinLines(expectedList));

    // Everything in the destination is listed, the template's button pictures too.
    const std::set<std::string> expectedFiles(expectedList.begin(), expectedList.end());
    EXPECT_EQ(FilesBelow(destination), expectedFiles);
    ExpectLinksResolveToListedFiles(destination, ListLines(GeneratedList()));

    // Pages: golden bytes, valid HTML, every address resolves to a produced file.
    const bool updateGolden = std::getenv("PICTAVO_UPDATE_GOLDEN") != nullptr;
    for (const std::string& page : expectedList) {
        if (page.find(".htm") == std::string::npos) continue;
        const std::string html = ReadFile(Dest(page));
        ASSERT_FALSE(html.empty()) << page;
        if (updateGolden) WriteFile(GoldenFolder + "createall/" + page, html);
        EXPECT_EQ(html, ReadFile(GoldenFolder + "createall/" + page)) << page;

        std::string tidyOutput;
        const int tidyStatus = RunCommand("tidy -q -e " + ShellQuote(Dest(page)) + " 2>&1", &tidyOutput);
        EXPECT_LT(tidyStatus, 2) << page << "\n" << tidyOutput;
        EXPECT_EQ(tidyOutput.find("Error:"), std::string::npos) << page << "\n" << tidyOutput;

        const fs::path pageFolder = fs::path(Dest(page)).parent_path();
        for (const std::string& address : LinkedAddresses(html)) {
            if (address.rfind("http", 0) == 0) continue;
            const fs::path target = (pageFolder / address).lexically_normal();
            EXPECT_TRUE(fs::is_regular_file(target)) << page << " links " << address;
            const std::string relative = fs::relative(target, destination).generic_string();
            EXPECT_TRUE(expectedFiles.count(relative)) << page << " links " << address;
        }
    }
    // The destination folder itself keeps its letters; nothing was written beside it.
    EXPECT_TRUE(fs::is_directory(work + "Out/Gallery"));
    EXPECT_FALSE(fs::exists(work + "out"));
}

TEST_F(BuildTest, StopBetweenItems)
{
    AddSimplePictures(5);
    program.Write("pftp.bak", "earlier build\r\n");
    int itemsSeen = 0;
    form->OnBuildItemDone = [&](int item) {
        ++itemsSeen;
        if (item == 1) {
            // The build state: phase text, progress, pages hidden, tool bar off, Stop shown.
            EXPECT_EQ(form->Label34->Caption(), "Creating Images+Thumbnails (2 of 5)");
            EXPECT_EQ(form->ProgressBar1->Max(), 2 * 5 + 4);
            EXPECT_EQ(form->ProgressBar1->Position(), 4);
            EXPECT_FALSE(form->PageControl1->Visible());
            EXPECT_FALSE(form->ToolBar1->Enabled());
            EXPECT_TRUE(form->Button14->Visible());
            form->Button14->Click();
            // Stop gives the window back at once.
            EXPECT_TRUE(form->PageControl1->Visible());
            EXPECT_TRUE(form->ToolBar1->Enabled());
            EXPECT_FALSE(form->Button14->Visible());
        }
    };
    form->CreateAll2->Click();
    EXPECT_EQ(itemsSeen, 2);
    EXPECT_TRUE(fs::exists(Dest("images/pic01.jpg")));
    EXPECT_TRUE(fs::exists(Dest("thumbs/tn_pic02.jpg")));
    EXPECT_FALSE(fs::exists(Dest("images/pic03.jpg")));
    EXPECT_FALSE(fs::exists(Dest("index1.html")));
    EXPECT_FALSE(fs::exists(Dest("first.gif")));
    EXPECT_EQ(program.Read("pftp.bak"), "earlier build\r\n");
    EXPECT_EQ(form->ListView1->Count(), 5);
    ExpectWindowRestored();
    EXPECT_TRUE(dialogs.Messages.empty());

    // The next build starts afresh.
    form->OnBuildItemDone = nullptr;
    form->CreateAll2->Click();
    EXPECT_TRUE(fs::exists(Dest("images/pic05.jpg")));
    EXPECT_TRUE(fs::exists(Dest("index1.html")));
}

TEST_F(BuildTest, CommandDuringABuildIsIgnored)
{
    AddSimplePictures(3);
    int nested = 0;
    form->OnBuildItemDone = [&](int item) {
        if (item == 0) {
            // A shortcut key pressed while the build processes messages.
            form->CreateThumbnail1->Click();
            form->ToolButton6all->Click();
            ++nested;
        }
    };
    form->CreateAll2->Click();
    EXPECT_EQ(nested, 1);
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    EXPECT_EQ(form->BuildMode, 1);
    EXPECT_EQ(form->ListBox2->Items().Count(), 6);
    EXPECT_EQ(GeneratedList(),
              "index1.html\r\npages/page01.htm\r\npages/page02.htm\r\npages/page03.htm\r\nimages/pic01.jpg\r\n"
              "thumbs/tn_pic01.jpg\r\nimages/pic02.jpg\r\nthumbs/tn_pic02.jpg\r\nimages/pic03.jpg\r\n"
              "thumbs/tn_pic03.jpg\r\n" +
                  ButtonLines);
}

TEST_F(BuildTest, RefusesDestinationHoldingASourceFolder)
{
    AddSimplePictures(2);
    const std::string refusal =
        "Abort: Some of Source Folder can not be equal with Destination Folder, to prevent overwriting of original "
        "images, process will aborted!";
    fs::create_directories(work + "elsewhere");
    fs::create_directory_symlink(work, work + "elsewhere/link-to-work");
    fs::create_directory_symlink(sources, work + "elsewhere/link-to-sources");
    const std::vector<std::string> refused = {
        sources,                                         // the source folder itself
        work,                                            // a folder above it
        work + "Out/../Sources",                         // ".." leads back into it
        work + "./Sources/",                             // "." and a trailing '/'
        work + "elsewhere/link-to-sources",              // a link to the source folder
        work + "elsewhere/link-to-work",                 // a link to a folder above it
        work + "elsewhere/link-to-work/Sources/.",       // through a link, then "."
        work + "SOURCES",                                // letters in another case
        work + "elsewhere/link-to-work/New/../Sources",  // through a link and a folder not made yet
    };
    for (const std::string& destinationText : refused) {
        dialogs.Messages.clear();
        form->Edit1->SetText(destinationText);
        form->CreateAll2->Click();
        EXPECT_EQ(Messages(), std::vector<std::string>{refusal}) << destinationText;
    }
    // Nothing was written anywhere.
    EXPECT_EQ(FilesBelow(work), (std::set<std::string>{"Sources/p0.jpg", "Sources/p1.jpg"}));
    EXPECT_FALSE(fs::exists(WritableFolder() + "pftp.bak"));

    // A destination inside the source folder, or one whose name merely begins like it, is allowed.
    for (const std::string& allowed : {sources + "web", work + "Sources2"}) {
        dialogs.Messages.clear();
        form->Edit1->SetText(allowed);
        form->CreateAll2->Click();
        EXPECT_TRUE(dialogs.Messages.empty()) << allowed << ::testing::PrintToString(Messages());
        EXPECT_TRUE(fs::exists(allowed + "/index1.html")) << allowed;
    }
}

TEST_F(BuildTest, ValidationMessagesInOrder)
{
    AddSimplePictures(1);
    struct Rule {
        std::function<void(TForm1&, TempProgramFolder&)> breakIt;
        std::string message;
    };
    const std::vector<Rule> rules = {
        {[](TForm1& f, TempProgramFolder&) { f.Edit2->SetText("a\\b/c:d.htm"); }, "Invalid character:: (Index name)"},
        {[](TForm1& f, TempProgramFolder&) { f.Edit2->SetText("a/b.htm"); }, "Invalid character:/ (Index name)"},
        {[](TForm1& f, TempProgramFolder&) { f.Edit4->SetText("pages/p.htm"); },
         "Invalid character:/ (Image page name)"},
        {[](TForm1& f, TempProgramFolder&) { f.Edit5->SetText("c:tn_*"); },
         "Invalid character:: (Thumbnail path+name), it must \\"},
        {[](TForm1& f, TempProgramFolder&) { f.Edit9->SetText("x/img01"); },
         "Invalid character:/ (Image path+name), it must \\"},
        {[](TForm1& f, TempProgramFolder&) {
             f.ComboBox9->SetItemIndex(-1);
             f.ComboBox9->SetText("");
         },
         "Caption Position (Index Pages) can not be empty!"},
        {[](TForm1& f, TempProgramFolder&) {
             f.ComboBox14->SetItemIndex(-1);
             f.ComboBox14->SetText("");
         },
         "Caption Position (Image Pages) can not be empty!"},
        {[](TForm1&, TempProgramFolder& p) { p.Write("pvcapt.pv", "Above|%caption\r\nBelow|<br>%caption\r\n"); },
         "Not found variable (file) in Index Page Caption Position"},
        {[](TForm1&, TempProgramFolder& p) { p.Write("pvcapi.pv", "Above|%caption\r\nBelow|%caption only\r\n"); },
         "Not found variable (file) in Image Page Caption Position"},
        {[](TForm1& f, TempProgramFolder&) { f.ComboBox3->SetItemIndex(-1); }, "Index Page style can not be empty!"},
        {[](TForm1& f, TempProgramFolder&) { f.ComboBox5->SetItemIndex(-1); }, "Image Page style can not be empty!"},
        {[](TForm1& f, TempProgramFolder&) { f.Edit1->SetText(""); }, "Save in Folder name can not be empty!"},
        {[](TForm1& f, TempProgramFolder&) { f.Edit1->SetText("C:\\TEMP"); },
         "Save in Folder name must be a full path beginning with \"/\"!"},
        {[](TForm1& f, TempProgramFolder&) { f.Edit1->SetText("gallery/out"); },
         "Save in Folder name must be a full path beginning with \"/\"!"},
        {[](TForm1& f, TempProgramFolder&) { f.Edit5->SetText(""); }, "Thumbnail path+name can not be empty!"},
        {[](TForm1& f, TempProgramFolder&) { f.Edit2->SetText(""); }, "Index name can not be empty!"},
        {[](TForm1&, TempProgramFolder& p) { p.Write("indexpg/fixed.htm", "<html>%thumb_locatio</html>\r\n"); },
         "Variable \"%thumb_location\" not found in file style (Index)"},
        {[](TForm1&, TempProgramFolder& p) { p.Write("imagepg/fixed.htm", "<html>%img-location</html>\r\n"); },
         "Variable \"%img_location\" not found in file style (Image)"},
    };
    // The first kind-0 rule reports the first forbidden character of its list that occurs, ":" before "\".
    for (std::size_t k = 0; k < rules.size(); ++k) {
        SCOPED_TRACE(rules[k].message);
        form.reset();
        PrepareBuildProgramFolder(program.Path());
        form = std::make_unique<TForm1>();
        form->FormCreate();
        form->ReadWriteSettings("r", program.File("fixed.pvs"));
        form->ListView1->Add(TForm1::MakeSourceItem(sources + "p0.jpg"));
        dialogs.Messages.clear();
        rules[k].breakIt(*form, program);
        form->CreateAll2->Click();
        ASSERT_EQ(dialogs.Messages.size(), 1u) << ::testing::PrintToString(Messages());
        EXPECT_EQ(dialogs.Messages[0].Caption, "Invalid Settings");
        EXPECT_EQ(dialogs.Messages[0].Text, rules[k].message);
        EXPECT_FALSE(fs::exists(destination));
        EXPECT_EQ(form->ListView1->Count(), 1);
        ExpectWindowRestored();
    }
}

TEST_F(BuildTest, EachCommandDoesOnlyItsPart)
{
    AddSimplePictures(3);

    form->CreateThumbnail1->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    EXPECT_EQ(form->BuildMode, 2);
    EXPECT_EQ(form->ProgressBar1->Max(), 3 + 4);
    EXPECT_EQ(FilesBelow(destination),
              (std::set<std::string>{"thumbs/tn_pic01.jpg", "thumbs/tn_pic02.jpg", "thumbs/tn_pic03.jpg"}));
    EXPECT_EQ(GeneratedList(), "thumbs/tn_pic01.jpg\r\nthumbs/tn_pic02.jpg\r\nthumbs/tn_pic03.jpg\r\n");

    fs::remove_all(destination);
    form->Images1->Click();  // the drop-down entry of the tool bar
    EXPECT_EQ(form->BuildMode, 3);
    EXPECT_EQ(FilesBelow(destination),
              (std::set<std::string>{"images/pic01.jpg", "images/pic02.jpg", "images/pic03.jpg"}));
    EXPECT_EQ(GeneratedList(), "images/pic01.jpg\r\nimages/pic02.jpg\r\nimages/pic03.jpg\r\n");

    // "Create HTML" measures the pictures that are there and writes only pages and buttons.
    form->CreateThumbnail1->Click();
    const long long imageStamp = FileStamp(Dest("images/pic02.jpg"));
    const long long thumbStamp = FileStamp(Dest("thumbs/tn_pic02.jpg"));
    form->CreateHTML1->Click();
    EXPECT_EQ(form->BuildMode, 4);
    EXPECT_EQ(FileStamp(Dest("images/pic02.jpg")), imageStamp);
    EXPECT_EQ(FileStamp(Dest("thumbs/tn_pic02.jpg")), thumbStamp);
    EXPECT_EQ(GeneratedList(),
              "index1.html\r\npages/page01.htm\r\npages/page02.htm\r\npages/page03.htm\r\n" + ButtonLines);
    EXPECT_NE(ReadFile(Dest("index1.html")).find("width=\"120\" height=\"60\""), std::string::npos);
    EXPECT_NE(ReadFile(Dest("pages/page02.htm")).find("width=\"800\" height=\"400\""), std::string::npos);

    // Without "Auto size" nothing is read: the result lines carry names only.
    form->CheckBox7->SetChecked(false);
    form->HTMLPages1->Click();
    EXPECT_EQ(ReadFile(Dest("index1.html")).find("width=\"120\""), std::string::npos);
    EXPECT_EQ(form->ListBox2->Items().Count(), 6);
    EXPECT_EQ(form->ListBox2->Items()[0], "images/pic01.jpg|||||");
    EXPECT_EQ(form->ListBox2->Items()[1], "thumbs/tn_pic01.jpg|||||");

    // The tool button runs "Create All".
    fs::remove_all(destination);
    form->CheckBox7->SetChecked(true);
    form->ToolButton6all->Click();
    EXPECT_EQ(form->BuildMode, 1);
    EXPECT_TRUE(fs::exists(Dest("images/pic03.jpg")));
    EXPECT_TRUE(fs::exists(Dest("pages/page03.htm")));
    EXPECT_EQ(form->ListBox2->Items()[2].rfind("images/pic02.jpg|800|400|", 0), 0u) << form->ListBox2->Items()[2];
}

TEST_F(BuildTest, LinkNoneMakesNoImageCopies)
{
    AddSimplePictures(2);
    form->ComboBox4->SetItemIndex(0);  // "none"
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    // Without image pages the image template's buttons go beside the index pages.
    EXPECT_EQ(GeneratedList(), "index1.html\r\nthumbs/tn_pic01.jpg\r\nthumbs/tn_pic02.jpg\r\n" +
                                   JoinLines(IndexButtons) + "index.gif\r\n");
    EXPECT_EQ(FilesBelow(destination).size(), ListLines(GeneratedList()).size());
    EXPECT_FALSE(fs::exists(Dest("images")));
    EXPECT_EQ(FilesBelow(destination).count("pages/page01.htm"), 0u);
}

TEST_F(BuildTest, PicturesNotWrittenKeepTheirItemsAndEndTheBuild)
{
    AddSimplePictures(4);
    // A folder stands where item 1's thumbnail and item 2's image copy should go.
    fs::create_directories(Dest("thumbs/tn_pic02.jpg/occupied"));
    fs::create_directories(Dest("images/pic03.jpg/occupied"));
    WriteFile(WritableFolder() + "pftp.bak", "from an earlier build\r\n");
    form->CreateAll2->Click();

    ASSERT_EQ(dialogs.Messages.size(), 1u) << ::testing::PrintToString(Messages());
    EXPECT_EQ(dialogs.Messages[0].Caption, "Error");
    // Each line names the source and the picture that failed, not one name for all.
    const std::vector<std::string> lines = ListLines(dialogs.Messages[0].Text);
    ASSERT_EQ(lines.size(), 3u) << dialogs.Messages[0].Text;
    EXPECT_EQ(lines[1].rfind("p1.jpg: ", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find(Dest("thumbs/tn_pic02.jpg")), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2].rfind("p2.jpg: ", 0), 0u) << lines[2];
    EXPECT_NE(lines[2].find(Dest("images/pic03.jpg")), std::string::npos) << lines[2];
    ExpectWindowRestored();

    // Every item stays (their sources are fine); no page links a missing
    // picture and the earlier list of files is left as it was.
    ASSERT_EQ(form->ListView1->Count(), 4);
    EXPECT_EQ(form->ListView1->Caption(1), "p1.jpg");
    EXPECT_EQ(form->ListView1->Caption(2), "p2.jpg");
    EXPECT_FALSE(fs::exists(Dest("index1.html")));
    EXPECT_EQ(GeneratedList(), "from an earlier build\r\n");
    // The others were written under their own numbers.
    EXPECT_TRUE(fs::is_regular_file(Dest("images/pic04.jpg")));
    EXPECT_TRUE(fs::is_regular_file(Dest("thumbs/tn_pic03.jpg")));

    // With the obstacles gone the same list builds whole.
    fs::remove_all(Dest("thumbs/tn_pic02.jpg"));
    fs::remove_all(Dest("images/pic03.jpg"));
    dialogs.Messages.clear();
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    EXPECT_EQ(ListLines(GeneratedList()).size(), 1u + 4u + 8u + 9u);
}

TEST_F(BuildTest, ManyPicturesNotWrittenGiveOneBoxThatFitsTheScreen)
{
    AddSimplePictures(25);
    WriteFile(Dest("thumbs"), "a file where the thumbnails' folder should be");
    form->CreateAll2->Click();
    ASSERT_EQ(dialogs.Messages.size(), 1u) << ::testing::PrintToString(Messages());
    const std::vector<std::string> lines = ListLines(dialogs.Messages[0].Text);
    ASSERT_EQ(lines.size(), 12u) << dialogs.Messages[0].Text;  // heading, ten pictures, the rest counted
    EXPECT_EQ(lines[1].rfind("p0.jpg: ", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find(Dest("thumbs/tn_pic01.jpg")), std::string::npos) << lines[1];
    EXPECT_EQ(lines[10].rfind("p9.jpg: ", 0), 0u) << lines[10];
    EXPECT_NE(lines[10].find(Dest("thumbs/tn_pic10.jpg")), std::string::npos) << lines[10];
    EXPECT_EQ(lines[11], "and 15 more");
    ExpectWindowRestored();
    EXPECT_EQ(form->ListView1->Count(), 25);
}

TEST_F(BuildTest, DestinationThatCannotBeWrittenStopsBeforeTheFirstPicture)
{
    AddSimplePictures(3);
    WriteFile(work + "a-file", "not a folder");
    struct Case {
        std::string destination;
        std::string reason;
    };
    std::vector<Case> cases = {
        {"/proc/pictavo-gallery", "No such file or directory"},  // cannot be created, even by root
        {"/proc/self", ""},                                      // a folder nobody can add files to
        {work + "a-file", ""},                                   // a regular file
        {work + "a-file/gallery", "Not a directory"},            // a path through a regular file
    };
    // Root writes through permission bits, so a read-only folder is an immutable one.
    fs::create_directories(work + "immutable");
    if (RunCommand("chattr +i " + ShellQuote(work + "immutable") + " 2>/dev/null") == 0)
        cases.push_back({work + "immutable", "Operation not permitted"});
    int itemsTried = 0;
    form->OnBuildItemDone = [&](int) { ++itemsTried; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.destination);
        dialogs.Messages.clear();
        form->Edit1->SetText(c.destination);
        form->CreateAll2->Click();
        ASSERT_EQ(dialogs.Messages.size(), 1u) << ::testing::PrintToString(Messages());
        EXPECT_EQ(dialogs.Messages[0].Caption, "Error");
        const std::string& text = dialogs.Messages[0].Text;
        EXPECT_EQ(text.rfind("Save in Folder \"" + c.destination + "\" cannot be written: ", 0), 0u) << text;
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        ExpectWindowRestored();
    }
    RunCommand("chattr -i " + ShellQuote(work + "immutable") + " 2>/dev/null");
    EXPECT_EQ(itemsTried, 0);
    EXPECT_EQ(form->ListView1->Count(), 3);
    EXPECT_FALSE(fs::exists(WritableFolder() + "pftp.bak"));
    EXPECT_EQ(ReadFile(work + "a-file"), "not a folder");
}

TEST_F(BuildTest, NamesWithUrlCharactersLinkTheirFiles)
{
    // Source names kept (an image name pattern without a name); image pages named after the items.
    const std::vector<std::string> names = {"a#1.jpg",  "b%41.jpg", "c&d.jpg",  "e?x=1.jpg",    "f g.jpg",
                                            "h<i>.jpg", "j:k.jpg",  "l\"m.jpg", "\xC3\xBC.jpg", "caf\xE9.jpg"};
    std::vector<SourcePicture> pictures;
    for (const std::string& name : names) pictures.push_back({name, "-size 60x40 xc:navy", 60, 40, 0});
    AddPictures(pictures);
    form->Edit9->SetText("Images\\");
    form->Edit4->SetText("Pages\\");
    form->CreateAll2->Click();
    ASSERT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    ASSERT_TRUE(fs::exists(Dest("images/c&d.jpg"))) << ::testing::PrintToString(FilesBelow(destination));

    // Every link and picture of every page resolves, as a browser resolves it, to a file.
    std::string broken;
    const int status =
        RunCommand("python3 " + ShellQuote(std::string(PICTAVO_SOURCE_DIR) + "/tests/gallery/resolve_links.py") + " " +
                       ShellQuote(destination) + " 2>/dev/null",
                   &broken);
    EXPECT_EQ(status, 0) << broken;
    EXPECT_EQ(broken, "");

    // Names shown as text are escaped; in addresses they are percent-encoded.
    const std::string index = ReadFile(Dest("index1.html"));
    EXPECT_NE(index.find("h&lt;i&gt;"), std::string::npos);
    EXPECT_NE(index.find("c&amp;d"), std::string::npos);
    EXPECT_EQ(index.find("c&d"), std::string::npos);
    EXPECT_EQ(index.find("<i>"), std::string::npos);
    EXPECT_NE(index.find("href=\"pages/a%231.htm\""), std::string::npos) << index;
    EXPECT_NE(index.find("src=\"thumbs/tn_f%20g.jpg\""), std::string::npos) << index;
    EXPECT_NE(ReadFile(Dest("pages/e?x=1.htm")).find("src=\"../images/e%3Fx=1.jpg\""), std::string::npos);

    // A name that is not UTF-8 keeps its bytes in files and links and is shown
    // as its Windows-1252 reading, so every page is UTF-8.
    EXPECT_NE(ReadFile(Dest("index2.html"))
                  .find("<a href=\"pages/caf%E9.htm\"><img src=\"thumbs/tn_caf%E9.jpg\" alt=\"caf\xC3\xA9.jpg\"  "
                        "border=\"0\" width=\"120\" height=\"80\" ></a><br><font face=\"Verdana\" size=\"1\">"
                        "caf\xC3\xA9 (800 x 533)</font>"),
              std::string::npos);
    const std::string page = ReadFile(Dest("pages/caf\xE9.htm"));
    EXPECT_NE(page.find("<title>Picture caf\xC3\xA9</title>"), std::string::npos) << page;
    EXPECT_NE(page.find("<img src=\"../images/caf%E9.jpg\" alt=\"caf\xC3\xA9.jpg\"  width=\"800\" height=\"533\"  "
                        "border=\"0\"><br><font face=\"Verdana\" size=\"0\">caf\xC3\xA9.jpg: 800 x 533</font>"),
              std::string::npos)
        << page;
    for (const std::string& file : FilesBelow(destination)) {
        if (file.find(".htm") == std::string::npos) continue;
        EXPECT_EQ(RunCommand("iconv -f UTF-8 -t UTF-8 " + ShellQuote(Dest(file)) + " >/dev/null 2>&1"), 0) << file;
    }
}

// True when the picture is more red than blue, as ImageMagick sees it.
bool MoreRedThanBlue(const std::string& path)
{
    std::string answer;
    RunCommand("convert " + ShellQuote(path) + " -scale 1x1! -format '%[fx:r>b]' info: 2>&1", &answer);
    EXPECT_TRUE(answer == "1" || answer == "0") << path << ": " << answer;
    return answer == "1";
}

// Source names kept: "a.png" and "a.jpg" have two copies, so two thumbnails
// and two image pages, each in its own cell and all in the list to upload.
TEST_F(BuildTest, PicturesOfOneNameKeepTheirOwnThumbnails)
{
    AddPictures({{"a.png", "-size 200x100 xc:red", 200, 100, 0}, {"a.jpg", "-size 100x200 xc:blue", 100, 200, 0}});
    form->Edit9->SetText("Images\\");
    form->Edit5->SetText("Thumbs\\tn_*");
    form->Edit4->SetText("Pages\\");
    form->CreateAll2->Click();
    ASSERT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());

    // Item 0 is a.png (red), item 1 a.jpg (blue).
    const std::string thumbnails[] = {"thumbs/tn_a.png.jpg", "thumbs/tn_a.jpg"};
    EXPECT_TRUE(MoreRedThanBlue(Dest(thumbnails[0])));
    EXPECT_FALSE(MoreRedThanBlue(Dest(thumbnails[1])));
    std::vector<std::string> shown;
    for (const std::string& address : LinkedAddresses(ReadFile(Dest("index1.html"))))
        if (address.rfind("thumbs/", 0) == 0) shown.push_back(address);
    EXPECT_EQ(shown, std::vector<std::string>(std::begin(thumbnails), std::end(thumbnails)));
    // Each image page is named after its copy, linked from its own cell, and shows its copy.
    const std::vector<std::string> indexLinks = LinkedAddresses(ReadFile(Dest("index1.html")));
    for (const std::string page : {"pages/a.png.htm", "pages/a.htm"})
        EXPECT_EQ(std::count(indexLinks.begin(), indexLinks.end(), page), 1) << page;
    const std::string pages[] = {"pages/a.png.htm", "pages/a.htm"}, copies[] = {"images/a.png.jpg", "images/a.jpg"};
    for (int k : {0, 1}) {
        const std::vector<std::string> links = LinkedAddresses(ReadFile(Dest(pages[k])));
        EXPECT_EQ(std::count(links.begin(), links.end(), "../" + copies[k]), 1) << pages[k];
        EXPECT_EQ(std::count(links.begin(), links.end(), "../" + copies[1 - k]), 0) << pages[k];
    }
    const std::vector<std::string> listed = ListLines(GeneratedList());
    for (const std::string& name : {thumbnails[0], thumbnails[1], copies[0], copies[1], pages[0], pages[1]})
        EXPECT_EQ(std::count(listed.begin(), listed.end(), name), 1) << name;
    ExpectLinksResolveToListedFiles(destination, listed);
}

// Names that still meet (one name in two folders; names the lower-case
// setting makes equal) never replace each other: the first picture keeps the
// file, the second is reported as not written and no page is made.
TEST_F(BuildTest, PicturesWhoseNamesMeetAreNotWrittenOverEachOther)
{
    const struct {
        std::string first, second;    // below the source folder; the first red, the second blue
        std::string copy, thumbnail;  // what both would be written as
    } cases[] = {
        {"A.jpg", "a.jpg", "images/a.jpg", "thumbs/tn_a.jpg"},
        {"x/p.png", "y/p.png", "images/p.png.jpg", "thumbs/tn_p.png.jpg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        form->ListView1->Clear();
        fs::remove_all(destination);
        dialogs.Messages.clear();
        for (const auto& [name, colour] : {std::pair{c.first, "red"}, std::pair{c.second, "blue"}}) {
            fs::create_directories(fs::path(sources + name).parent_path());
            ASSERT_EQ(RunCommand("convert -size 80x60 xc:" + std::string(colour) + " " + ShellQuote(sources + name)),
                      0);
            form->ListView1->Add(TForm1::MakeSourceItem(sources + name));
        }
        form->Edit9->SetText("Images\\");
        form->CreateAll2->Click();

        ASSERT_EQ(dialogs.Messages.size(), 1u) << ::testing::PrintToString(Messages());
        const std::vector<std::string> lines = ListLines(dialogs.Messages[0].Text);
        ASSERT_EQ(lines.size(), 3u) << dialogs.Messages[0].Text;
        for (int k : {1, 2}) {
            const std::string& picture = k == 1 ? c.copy : c.thumbnail;
            EXPECT_EQ(lines[k],
                      ExtractFileName(c.second) + ": " + Dest(picture) + ": already written for " + sources + c.first);
            EXPECT_TRUE(MoreRedThanBlue(Dest(picture))) << picture;
        }
        EXPECT_EQ(form->ListView1->Count(), 2);
        EXPECT_FALSE(fs::exists(Dest("index1.html")));
    }
}

TEST_F(BuildTest, BuildViewShowsEveryTextAtTheFixedSize)
{
    AddSimplePictures(2);
    form->Show();
    TestApplication().ProcessMessages();
    auto* statusBar = form->StatusBar1->Widget();
    const int clientHeight = form->Client()->height();
    bool checked = false;
    form->OnBuildItemDone = [&](int item) {
        if (item != 0) return;
        checked = true;
        // The longest texts a build of 160 pictures shows.
        for (const char* text :
             {"Creating Images+Thumbnails (160 of 160)", "Analyzing File (160 of 160)", "Creating index Pages: 160"}) {
            form->Label34->SetCaption(text);
            TestApplication().ProcessMessages();
            const QWidget* label = form->Label34->Widget();
            EXPECT_TRUE(label->isVisible());
            EXPECT_LE(label->sizeHint().width(), label->width()) << text;
            EXPECT_TRUE(form->Client()->rect().contains(QRect(label->mapTo(form->Client(), QPoint()), label->size())));
        }
        form->StatusBar1->SetPanelText(0, "Total Pages: 160");
        form->StatusBar1->SetPanelText(1, "Total Items: 160         Selected 160 items");
        TestApplication().ProcessMessages();
        // The status bar stays at the bottom, and its panels show their whole texts.
        EXPECT_EQ(statusBar->mapTo(form->Client(), QPoint()).y() + statusBar->height(), clientHeight);
        for (QLabel* panel : statusBar->findChildren<QLabel*>())
            if (panel->isVisible()) {
                EXPECT_TRUE(testsupport::ShowsWholeText(*panel)) << panel->text().toStdString() << " at " << panel->x();
            }
        EXPECT_TRUE(form->Button14->Widget()->isVisible());
        EXPECT_TRUE(form->ProgressBar1->Widget()->isVisible());
        if (const char* shots = std::getenv("PICTAVO_SHOT_DIR"))
            form->Window()->grab().save(QString("%1/build-view.png").arg(shots));
    };
    form->CreateAll2->Click();
    EXPECT_TRUE(checked);
    EXPECT_EQ(statusBar->mapTo(form->Client(), QPoint()).y() + statusBar->height(), clientHeight);
    form->Hide();
}

TEST_F(BuildTest, ErrorThatEndsTheBuildRestoresTheWindow)
{
    AddSimplePictures(1);
    WriteFile(sources + "odd.unknownext", "data");
    form->ListView1->Add(TForm1::MakeSourceItem(sources + "odd.unknownext"));
    form->CreateAll2->Click();
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_NE(dialogs.Messages[0].Text.find("Unknown picture file extension (.unknownext)"), std::string::npos);
    ExpectWindowRestored();
    // A later build runs normally.
    dialogs.Messages.clear();
    form->ListView1->Delete(1);
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    EXPECT_TRUE(fs::exists(Dest("index1.html")));
}

TEST_F(BuildTest, OutputNamesStayInsideTheDestination)
{
    AddSimplePictures(1);
    form->Edit9->SetText("..\\..\\Escaped\\Pic01");
    form->Edit5->SetText("\\..\\Up\\TN_*");
    form->Edit4->SetText("..\\Pages\\Page01.htm");
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    const std::set<std::string> files = FilesBelow(destination);
    EXPECT_TRUE(files.count("escaped/pic01.jpg"));
    EXPECT_TRUE(files.count("up/tn_pic01.jpg"));
    EXPECT_TRUE(files.count("pages/page01.htm"));
    EXPECT_EQ(FilesBelow(work + "Out").size(), files.size());  // nothing beside the destination
    EXPECT_FALSE(fs::exists(work + "escaped"));
}

TEST_F(BuildTest, FramePageAndBrowserLaunch)
{
    AddSimplePictures(2);
    // Frames on, the frame page's name and its template.
    SetRecordFields(*form, prPagePropertiesIndex, {{25, "1"}, {26, "Main.htm"}, {27, "left.htm"}});
    form->Menuitem7->SetChecked(true);
    const std::string opened = program.File("opened.txt");
    program.Write("opener.sh", "#!/bin/sh\nprintf '%s' \"$1\" > " + ShellQuote(opened + ".tmp") + " && mv " +
                                   ShellQuote(opened + ".tmp") + " " + ShellQuote(opened) + "\n");
    fs::permissions(program.File("opener.sh"), fs::perms::owner_all);
    SetShellOpener(program.File("opener.sh"));

    form->CreateAll2->Click();
    SetShellOpener("");
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    const std::string frame = ReadFile(Dest("Main.htm"));
    ASSERT_FALSE(frame.empty());
    EXPECT_NE(frame.find("<frame src=\"index1.html\" name=\"index\""), std::string::npos) << frame;
    EXPECT_NE(frame.find("<frame src=\"pages/page01.htm\" name=\"image\""), std::string::npos) << frame;
    EXPECT_NE(frame.find("<title>Welcome to my gallery</title>"), std::string::npos) << frame;
    std::string tidyOutput;
    EXPECT_LT(RunCommand("tidy -q -e " + ShellQuote(Dest("Main.htm")) + " 2>&1", &tidyOutput), 2) << tidyOutput;
    // The frame page heads the list of produced files (uploaded last, after the pages it shows).
    EXPECT_EQ(GeneratedList(),
              "Main.htm\r\nindex1.html\r\npages/page01.htm\r\npages/page02.htm\r\n"
              "images/pic01.jpg\r\nthumbs/tn_pic01.jpg\r\nimages/pic02.jpg\r\nthumbs/tn_pic02.jpg\r\n" +
                  ButtonLines);
    ExpectLinksResolveToListedFiles(destination, ListLines(GeneratedList()));
    EXPECT_EQ(FilesBelow(destination).size(), ListLines(GeneratedList()).size());
    ASSERT_TRUE(testsupport::WaitForFile(opened));
    EXPECT_EQ(ReadFile(opened), Dest("Main.htm"));
}

TEST_F(BuildTest, BackgroundPicturesAreCopied)
{
    AddSimplePictures(1);
    const std::string backgrounds = work + "Backgrounds/";
    // The cell's background is named in Windows-1252 and is on disk under the name's reading.
    const std::vector<std::string> copied = {"page.gif", "image.gif", "table.gif", "cell\xc3\xa9.gif"};
    for (const std::string& name : copied) WriteFile(backgrounds + name, "GIF89a");
    WriteFile(backgrounds + "unused.gif", "GIF89a");
    SetRecordFields(*form, prPagePropertiesIndex, {{11, "1"}, {13, backgrounds + "page.gif"}});
    SetRecordFields(*form, prPagePropertiesImage, {{11, "1"}, {13, backgrounds + "image.gif"}});
    SetRecordFields(*form, prMoreTable,
                    {{7, "2"}, {9, backgrounds + "table.gif"}, {21, "2"}, {23, backgrounds + "cell\xe9.gif"}});
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    for (const std::string& name : copied) EXPECT_EQ(ReadFile(Dest(name)), "GIF89a") << name;
    EXPECT_FALSE(fs::exists(Dest("unused.gif")));
    EXPECT_NE(ReadFile(Dest("index1.html")).find("background=\"page.gif\""), std::string::npos);
    EXPECT_NE(ReadFile(Dest("index1.html")).find("background=\"cell%C3%A9.gif\""), std::string::npos);
    // The copied backgrounds are listed once each, after the buttons.
    EXPECT_EQ(GeneratedList(), "index1.html\r\npages/page01.htm\r\nimages/pic01.jpg\r\nthumbs/tn_pic01.jpg\r\n" +
                                   ButtonLines + JoinLines(copied));
    EXPECT_EQ(FilesBelow(destination).size(), ListLines(GeneratedList()).size());

    // Switched off, nothing is copied.
    fs::remove_all(destination);
    SetRecordFields(*form, prPagePropertiesIndex, {{11, "0"}});
    SetRecordFields(*form, prPagePropertiesImage, {{11, "0"}});
    SetRecordFields(*form, prMoreTable, {{7, "1"}, {21, "0"}});
    form->CreateAll2->Click();
    for (const std::string& name : copied) EXPECT_FALSE(fs::exists(Dest(name))) << name;
    EXPECT_EQ(GeneratedList().find("page.gif"), std::string::npos);
}

TEST_F(BuildTest, GifThumbnailsWithTheirColourLimit)
{
    AddPictures({{"photo.jpg", "-size 200x150 plasma:fractal -seed 3 -quality 90", 200, 150, 0}});
    form->ComboBox7->SetItemIndex(1);  // thumbnails as GIF
    form->SpinEdit14->SetValue(16);
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    EXPECT_EQ(GeneratedList(),
              "index1.html\r\npages/page01.htm\r\nimages/pic01.jpg\r\nthumbs/tn_pic01.gif\r\n" + ButtonLines);
    std::string out;
    ASSERT_EQ(RunCommand("identify -format '%m %w %h %k' " + ShellQuote(Dest("thumbs/tn_pic01.gif")), &out), 0);
    int width = 0, height = 0, colours = 0;
    char format[16] = {};
    ASSERT_EQ(std::sscanf(out.c_str(), "%15s %d %d %d", format, &width, &height, &colours), 4) << out;
    EXPECT_STREQ(format, "GIF");
    EXPECT_EQ(width, 120);
    EXPECT_EQ(height, 90);
    EXPECT_LE(colours, 16);
    EXPECT_NE(ReadFile(Dest("index1.html")).find("src=\"thumbs/tn_pic01.gif\""), std::string::npos);
}

// Masks in the build: image copies and thumbnails faded through a mask whose
// left half is black onto the record's background colour.
TEST_F(BuildTest, MaskedImageCopiesAndThumbnails)
{
    AddPictures({{"halves.bmp", "-size 200x100 xc:red -fill blue -draw 'rectangle 100,0 199,99' -type TrueColor BMP3:",
                  200, 100, 24}});
    const std::string mask = sources + "../mask.bmp";
    ASSERT_EQ(RunCommand("convert -size 200x100 xc:black -fill white -draw 'rectangle 100,0 199,99' -type TrueColor "
                         "BMP3:" +
                         ShellQuote(mask)),
              0);
    const std::map<int, std::string> fields = {{MaskField::On, "1"},
                                               {MaskField::File, mask},
                                               {MaskField::Scale, "100"},
                                               {MaskField::BackgroundColor, std::to_string(RGBColor(0, 128, 0))}};
    SetRecordFields(*form, prAddMaskImage, fields);
    SetRecordFields(*form, prAddMaskThumb, fields);
    form->CheckBox4->SetChecked(true);
    form->CheckBox2->SetChecked(true);
    form->CheckBox3->SetChecked(false);  // the image copy keeps its size
    form->ComboBox7->SetItemIndex(1);    // both as GIF: no JPEG loss to allow for
    form->ComboBox8->SetItemIndex(1);
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    auto pixel = [](const std::string& file, int x, int y) {
        std::string out;
        EXPECT_EQ(RunCommand("convert " + ShellQuote(file) + " -format '%[pixel:p{" + std::to_string(x) + "," +
                                 std::to_string(y) + "}]' info:",
                             &out),
                  0);
        return out;
    };
    const std::string image = Dest("images/pic01.gif"), thumb = Dest("thumbs/tn_pic01.gif");
    for (auto [x, y] : {std::pair{0, 0}, {50, 50}, {99, 99}}) EXPECT_EQ(pixel(image, x, y), "srgb(0,128,0)") << x;
    for (auto [x, y] : {std::pair{100, 0}, {150, 50}, {199, 99}}) EXPECT_EQ(pixel(image, x, y), "srgb(0,0,255)") << x;
    EXPECT_EQ(pixel(thumb, 5, 30), "srgb(0,128,0)");
    EXPECT_EQ(pixel(thumb, 110, 30), "srgb(0,0,255)");
}

// Every decoration on, with the frame pictures, outline strips, panel and
// logo installed beside the program (named as stored records name them).
// PICTAVO_DECORATED_OUT=<folder> keeps the gallery for looking at.
TEST_F(BuildTest, EveryDecorationOn)
{
    AddPictures(
        {{"harbour.jpg", "-size 1600x1200 plasma:steelblue-wheat -seed 11 -blur 0x2 -quality 90", 1600, 1200, 0},
         {"field.jpg", "-size 600x800 plasma:green-yellow -seed 3 -blur 0x2 -quality 90", 600, 800, 0}});
    const std::map<int, std::string> frame = {
        {FrameField::On, "1"}, {FrameField::File, "frames\\frame-wood.gif"}, {FrameField::Transparency, "0"}};
    SetRecordFields(*form, prAddFrameImage, frame);
    SetRecordFields(*form, prAddFrameThumb, frame);
    SetRecordFields(*form, prAddButtonImage,
                    {{BevelField::Shape, "2"},
                     {BevelField::Width, "6"},
                     {BevelField::Margin, "30"},
                     {BevelField::Transparency, "40"}});
    SetRecordFields(*form, prAddButtonThumb,
                    {{BevelField::Shape, "2"},
                     {BevelField::Width, "2"},
                     {BevelField::Margin, "8"},
                     {BevelField::Transparency, "40"}});
    SetRecordFields(*form, prAddOutlineI,
                    {{OutlineField::On, "1"},
                     {OutlineField::File, "frames/outline-braid.gif"},
                     {OutlineField::Transparency, "20"},
                     {OutlineField::Width, "12"}});
    SetRecordFields(*form, prAddOutlineT,
                    {{OutlineField::On, "1"},
                     {OutlineField::File, "frames/outline-film.gif"},
                     {OutlineField::Transparency, "0"},
                     {OutlineField::Width, "4"}});
    SetRecordFields(*form, prAddLogo,
                    {{LogoField::File, "frames/logo.gif"},
                     {LogoField::Position, "8"},
                     {LogoField::XOffset, "-40"},
                     {LogoField::YOffset, "-40"},
                     {LogoField::Transparency, "30"},
                     {LogoField::TransparentColor, "255"}});
    // A panel of the text's size above the frame's bottom band; the "X" offset moves it up.
    SetRecordFields(*form, prAddText,
                    {{TextField::Text, "Pictavo gallery: %filenoext"},
                     {TextField::FontSize, "28"},
                     {TextField::Position, "7"},
                     {TextField::XOffset, "-120"},
                     {TextField::Background, "2"},
                     {TextField::Transparency, "20"},
                     {TextField::FullBorder, "0"},
                     {TextField::HorizontalMargin, "24"},
                     {TextField::VerticalMargin, "8"}});
    form->CheckBox4->SetChecked(true);
    form->CheckBox2->SetChecked(true);
    form->CheckBox5->SetChecked(true);
    form->CheckBox6->SetChecked(true);
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    if (const char* keep = std::getenv("PICTAVO_DECORATED_OUT")) CopyTree(destination, keep);

    auto pixel = [](const std::string& file, int x, int y) {
        std::string out;
        EXPECT_EQ(RunCommand("convert " + ShellQuote(file) +
                                 " -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' "
                                 "-crop 1x1+" +
                                 std::to_string(x) + "+" + std::to_string(y) + " info:",
                             &out),
                  0);
        int r = 0, g = 0, b = 0;
        std::sscanf(out.c_str(), "%d,%d,%d", &r, &g, &b);
        return std::array<int, 3>{r, g, b};
    };
    auto near = [](std::array<int, 3> a, std::array<int, 3> b) {
        for (int k = 0; k < 3; ++k)
            if (std::abs(a[k] - b[k]) > 24) return false;
        return true;
    };
    // Image copies keep the box; their outer edge is the outline over the wooden frame.
    int width = 0, height = 0;
    MeasureWithIdentify(Dest("images/pic01.jpg"), width, height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(800, 600));
    EXPECT_FALSE(near(pixel(Dest("images/pic01.jpg"), 400, 300), {0x5A, 0x3A, 0x1E}));
    // Thumbnails grow by the film outline (transparency 0) on every side.
    MeasureWithIdentify(Dest("thumbs/tn_pic01.jpg"), width, height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(128, 98));
    MeasureWithIdentify(Dest("thumbs/tn_pic02.jpg"), width, height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(98, 128));
    EXPECT_TRUE(near(pixel(Dest("thumbs/tn_pic01.jpg"), 64, 0), {0x20, 0x20, 0x20}));
    // Inside the outline lies the frame's dark wood, under the bevel's rings.
    const auto wood = pixel(Dest("thumbs/tn_pic01.jpg"), 64, 90);
    EXPECT_LT(wood[0], 110);
    EXPECT_LT(wood[2], 60);
}

// TIFF, Photoshop, Photo-CD, SGI and portable-map sources go through the
// picture registry into 24-bit buffers, image copies and thumbnails
// (Photo-CD pictures are 768 x 512).
TEST_F(BuildTest, FurtherFormatSourcesMakeImageCopies)
{
    const std::vector<SourcePicture> pictures = {
        {"photo.tif", "-size 200x150 plasma:fractal -seed 5 -compress lzw", 200, 150, 0},
        {"scan.TIFF", "-size 90x60 gradient:black-white -colorspace Gray -compress zip", 90, 60, 0},
        {"layers.psd", "-size 200x150 plasma:fractal -seed 6", 200, 150, 0},
        {"kodak.pcd", "-size 200x150 plasma:fractal -seed 7", 768, 512, 0},
        {"photo.sgi", "-size 160x120 plasma:fractal -seed 8", 160, 120, 0},
        {"photo.ppm", "-size 200x150 plasma:fractal -seed 9 -depth 8", 200, 150, 0},
    };
    AddPictures(pictures);
    for (const SourcePicture& picture : pictures) {
        TRasterDIB dib;
        LoadImageFile(dib, sources + picture.name);
        EXPECT_EQ(dib.BitCount(), 24) << picture.name;
        EXPECT_EQ(std::make_pair(dib.Width(), std::abs(dib.Header.Height)),
                  std::make_pair(picture.width, picture.height))
            << picture.name;
    }
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    ASSERT_EQ(form->ListBox2->Items().Count(), int(2 * pictures.size()));
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        SCOPED_TRACE(pictures[i].name);
        const std::string number = (i < 9 ? "0" : "") + std::to_string(i + 1);
        EXPECT_TRUE(fs::is_regular_file(Dest("images/pic" + number + ".jpg")));
        int width = 0, height = 0;
        MeasureWithIdentify(Dest("thumbs/tn_pic" + number + ".jpg"), width, height);
        EXPECT_EQ(width, 120);
        EXPECT_EQ(height, 120 * pictures[i].height / pictures[i].width);
    }
}

TEST_F(BuildTest, KeepOriginalDate)
{
    AddSimplePictures(2);
    const auto past = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(sources + "p0.jpg", past);
    form->Menuitem8->SetChecked(true);
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    // File dates are kept to the two seconds of the packed form.
    for (const char* name : {"images/pic01.jpg", "thumbs/tn_pic01.jpg"}) {
        const auto kept = fs::last_write_time(Dest(name));
        EXPECT_LT(std::chrono::abs(kept - past), std::chrono::seconds(3)) << name;
    }
    EXPECT_GT(fs::last_write_time(Dest("images/pic02.jpg")), past + std::chrono::hours(24));
}

TEST_F(BuildTest, LargeSizesArePlainIntegers)
{
    AddPictures({{"wide.jpg", "-size 1600x1200 gradient:red-yellow -quality 85", 1600, 1200, 0}});
    form->CheckBox3->SetChecked(false);  // the image copy keeps the source size
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    ASSERT_EQ(form->ListBox2->Items().Count(), 2);
    EXPECT_EQ(form->ListBox2->Items()[0].rfind("images/pic01.jpg|1600|1200|", 0), 0u) << form->ListBox2->Items()[0];
    EXPECT_EQ(form->ListBox2->Items()[1], "thumbs/tn_pic01.jpg|120|90|0");
    EXPECT_NE(ReadFile(Dest("pages/page01.htm")).find("width=\"1600\" height=\"1200\""), std::string::npos);
}

// A phone's portrait photo: stored 1200 x 750 with "turn a quarter clockwise"
// in its EXIF data. Its image copy and thumbnail stand upright, as ImageMagick's
// -auto-orient and every viewer show it, and the pages give the upright sizes.
TEST_F(BuildTest, PortraitPhonePhotoStandsUpright)
{
    if (!HaveTool("exiftool")) GTEST_SKIP() << "exiftool missing";
    AddPictures({{"phone.jpg", "-size 1200x750 gradient:red-blue -quality 85", 1200, 750, 0}});
    ASSERT_EQ(RunCommand("exiftool -q -n -overwrite_original -Orientation=6 " + ShellQuote(sources + "phone.jpg")), 0);
    form->CreateAll2->Click();
    EXPECT_TRUE(dialogs.Messages.empty()) << ::testing::PrintToString(Messages());
    for (const auto& [name, w, h] :
         {std::tuple{"images/pic01.jpg", 375, 600}, std::tuple{"thumbs/tn_pic01.jpg", 75, 120}}) {
        int width = 0, height = 0;
        MeasureWithIdentify(Dest(name), width, height);
        EXPECT_EQ(width, w) << name;
        EXPECT_EQ(height, h) << name;
    }
    // The stored top (red) is on the right, as the camera was held.
    std::string colours;
    RunCommand(
        "convert " + ShellQuote(Dest("images/pic01.jpg")) + " -format '%[fx:p{370,300}.r>0.8 && p{4,300}.b>0.8]' info:",
        &colours);
    EXPECT_EQ(colours, "1");
    EXPECT_EQ(form->ListBox2->Items()[0].rfind("images/pic01.jpg|375|600|", 0), 0u) << form->ListBox2->Items()[0];
}

TEST_F(BuildTest, SourcePictureKeptAcrossAnItemsTwoLoads) { EXPECT_EQ(CheckSourcePictureCache(work), ""); }

TEST(BuildPaths, ContainedOutputNames)
{
    const std::pair<const char*, const char*> cases[] = {{"images\\pic01.jpg", "images/pic01.jpg"},
                                                         {"..\\..\\x\\a.jpg", "x/a.jpg"},
                                                         {"/etc/passwd", "etc/passwd"},
                                                         {"a/./b//c/../d.jpg", "a/b/c/d.jpg"},
                                                         {"...", "..."},
                                                         {"..", ""}};
    for (auto [name, contained] : cases) EXPECT_EQ(ContainedRelativePath(name), contained) << name;
}

}  // namespace
