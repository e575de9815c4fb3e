// The properties dialog's tools without the dialog: banner and preview files,
// pasted colour texts, the clicked pixel in both row orders, and editors
// started with the file as one argument.
#include "gallery/properties/pvu1TemplateFiles.h"
#include "gallery/properties/pvu1ToolFiles.h"
#include "platform/system/System.h"
#include "raster/RasterDIB.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

namespace {

TEST(DialogTools, BannerFilesRoundTripLineForLine)
{
    testsupport::TempDir folder("pictavo-banner");
    SetProgramFolder(folder.path.string());
    EXPECT_EQ(BannerFileName("Set page properties (index)"), "banner1.dat");
    EXPECT_EQ(BannerFileName("Set page properties (image)"), "banner2.dat");
    EXPECT_EQ(BannerFileName("INDEX"), "banner1.dat");
    SetProgramFolder("");

    std::string bytes;
    std::vector<std::string> lines;
    for (int i = 1; i <= 12; ++i) {
        lines.push_back(i == 5 ? "" : "<b>Banner " + std::to_string(i) + "</b> | %x");
        bytes += lines.back() + "\r\n";
    }
    const std::string file = folder.file("banner1.dat", bytes);
    EXPECT_EQ(ReadBannerLines(file), lines);
    ASSERT_TRUE(WriteBannerLines(file, ReadBannerLines(file)));
    EXPECT_EQ(testsupport::ReadFileText(file), bytes);
    // Files from other editors: LF ends and no end on the last line.
    const std::string unix = folder.file("banner2.dat", "one\ntwo");
    EXPECT_EQ(ReadBannerLines(unix), (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(ReadBannerLines(folder / "missing.dat").empty());
    ASSERT_TRUE(WriteBannerLines(folder / "empty.dat", {}));
    EXPECT_EQ(testsupport::ReadFileText(folder / "empty.dat"), "");
    EXPECT_FALSE(WriteBannerLines(folder / "no/such/banner.dat", lines));

    // The preview page holds the text as its one line, an empty text as an empty line.
    ASSERT_TRUE(WritePreviewFile(folder / "temp1.htm", ""));
    EXPECT_EQ(testsupport::ReadFileText(folder / "temp1.htm"), "\r\n");
    ASSERT_TRUE(WritePreviewFile(folder / "temp1.htm", "<h1>Title</h1>"));
    EXPECT_EQ(testsupport::ReadFileText(folder / "temp1.htm"), "<h1>Title</h1>\r\n");
}

// An installed copy reads the banners it ships until the user changes one;
// the changed banners and the settings templates go to the user's folder,
// and the program folder is left as it was installed.
TEST(DialogTools, AnInstalledCopyKeepsBannersAndTemplatesWithTheUser)
{
    testsupport::TempDir t("pictavo-installed-tools");
    const std::string program = t / "lib/pictavo/", user = t / "config/pictavo/";
    t.file(std::string("lib/pictavo/") + InstalledCopyMarker, "installed\n");
    t.file("lib/pictavo/banner1.dat", "shipped\r\n");
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", (t / "config").c_str());
    SetProgramFolder(program);

    EXPECT_EQ(EditableDataFile("banner1.dat"), program + "banner1.dat");
    EXPECT_EQ(ReadBannerLines(EditableDataFile("banner1.dat")), std::vector<std::string>{"shipped"});
    ASSERT_TRUE(WriteBannerLines(WritableFolder() + BannerFileName("index"), {"mine"}));
    EXPECT_EQ(EditableDataFile("banner1.dat"), user + "banner1.dat");
    EXPECT_EQ(ReadBannerLines(EditableDataFile("banner1.dat")), std::vector<std::string>{"mine"});
    EXPECT_EQ(TemplateFolder(2), user + "settings/logo/");
    SetProgramFolder("");

    std::vector<std::string> installed;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(program))
        installed.push_back(entry.path().filename().string());
    std::sort(installed.begin(), installed.end());
    EXPECT_EQ(installed, (std::vector<std::string>{"banner1.dat", InstalledCopyMarker}));
    EXPECT_EQ(testsupport::ReadFileText(program + "banner1.dat"), "shipped\r\n");
}

TEST(DialogTools, PastedColourTexts)
{
    // The pasted text, whether it is a colour, and which.
    const std::tuple<const char*, bool, TColor> cases[] = {
        {"#FF0000", true, 255},  {"255", true, 255},         {"#00ff80", true, 0x80FF00},
        {"$FF", true, 255},      {"0x00FF00", true, 0xFF00}, {"16777215", true, 0xFFFFFF},
        {"  42", true, 42},      {"red", false, 0},          {"#FF000", false, 0},
        {"#FF00000", false, 0},  {"#GG0000", false, 0},      {"FF0000", false, 0},
        {"", false, 0},          {"-1", false, 0},           {"16777216", false, 0},
        {"$80000005", false, 0}, {"255 ", false, 0},         {"# FF000", false, 0},
    };
    for (auto [text, ok, expected] : cases) {
        TColor colour = 0xABCDEF;
        EXPECT_EQ(ParsePastedColour(text, colour), ok) << '"' << text << '"';
        EXPECT_EQ(colour, ok ? expected : 0xABCDEF) << '"' << text << '"';
    }
    EXPECT_EQ(ColourCopyText(0x80FF00), "8453888");
    TColor back = 0;
    ASSERT_TRUE(ParsePastedColour(ColourCopyText(0x123456), back));
    EXPECT_EQ(back, 0x123456u);
}

TEST(DialogTools, ClickedPixelIsReadTheRightWayUp)
{
    for (int height : {3, -3}) {
        SCOPED_TRACE(height > 0 ? "bottom-up" : "top-down");
        TRasterDIB picture;
        picture.SetSize(4, height, 24);
        // The top row as shown is red, the bottom row blue, whatever the memory order.
        const int top = height > 0 ? 2 : 0, bottom = height > 0 ? 0 : 2;
        picture.Clear(TColorTriple{0, 255, 0});
        for (int x = 0; x < 4; ++x) {
            picture.SetPixelColor(top, x, TColorTriple{0, 0, 255});
            picture.SetPixelColor(bottom, x, TColorTriple{255, 0, 0});
        }
        picture.SetPixelColor(top, 3, TColorTriple{1, 2, 3});
        TColor colour = 7;
        ASSERT_TRUE(PixelColourAt(picture, 0, 0, colour));
        EXPECT_EQ(colour, RGBColor(255, 0, 0));
        ASSERT_TRUE(PixelColourAt(picture, 3, 0, colour));
        EXPECT_EQ(colour, RGBColor(3, 2, 1));
        ASSERT_TRUE(PixelColourAt(picture, 1, 2, colour));
        EXPECT_EQ(colour, RGBColor(0, 0, 255));
        ASSERT_TRUE(PixelColourAt(picture, 2, 1, colour));
        EXPECT_EQ(colour, RGBColor(0, 255, 0));
        colour = 7;
        for (auto [x, y] : {std::pair{-1, 0}, std::pair{4, 0}, std::pair{0, 3}, std::pair{0, -1}})
            EXPECT_FALSE(PixelColourAt(picture, x, y, colour));
        EXPECT_EQ(colour, 7u);
    }
    TRasterDIB empty;
    TColor colour = 0;
    EXPECT_FALSE(PixelColourAt(empty, 0, 0, colour));
}

TEST(DialogTools, EditorsGetTheFileAsOneArgument)
{
    testsupport::TempDir folder("pictavo-editor");
    // An editor that records how many arguments it got and the first one.
    const std::string editor =
        folder.file("my editor", "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n");
    std::filesystem::permissions(editor, std::filesystem::perms::owner_all);
    const std::string plain = folder.file("notes.txt", "text");
    EXPECT_TRUE(IsProgramFile(editor));
    EXPECT_FALSE(IsProgramFile(plain));
    EXPECT_FALSE(IsProgramFile(folder.path.string()));
    EXPECT_FALSE(IsProgramFile(folder / "missing"));

    const std::string file = folder.file("frame page \"quoted\" $HOME 'x'.htm", "<html>");
    std::string error;
    ASSERT_TRUE(StartEditor(editor, file, error)) << error;
    ASSERT_TRUE(testsupport::WaitForFile(editor + ".out"));
    EXPECT_EQ(testsupport::ReadFileText(editor + ".out"), "1|" + file);

    EXPECT_FALSE(StartEditor("", file, error));
    EXPECT_NE(error.find("No editor program"), std::string::npos);
    // A stored program that is not on this computer is named as stored.
    EXPECT_FALSE(StartEditor("c:\\windows\\notepad.exe", file, error));
    EXPECT_EQ(error,
              "The editor program \"c:\\windows\\notepad.exe\" does not exist on this computer. Choose an "
              "installed program on the Customize Editor page.");
    EXPECT_FALSE(StartEditor(folder / "missing editor", file, error));
    EXPECT_NE(error.find(folder / "missing editor"), std::string::npos);
    EXPECT_FALSE(StartEditor(plain, file, error));
}

}  // namespace
