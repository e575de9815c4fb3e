#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/system/DateTime.h"
#include "platform/shell/Shell.h"
#include "platform/system/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TempFolder : testsupport::TempDir {
    TempFolder() : TempDir("pictavo-utils") {}
    std::string file(const std::string& name, const std::string& text = "x") const { return TempDir::file(name, text); }
};

std::string readFile(const std::string& path) { return testsupport::ReadFileText(path); }

}  // namespace

TEST(FileNames, RenumberFileName)
{
    EXPECT_EQ(RenumberFileName("image01.jpg", 1), "image02.jpg");
    EXPECT_EQ(RenumberFileName("image01.jpg", 9), "image10.jpg");
    EXPECT_EQ(RenumberFileName("img9.jpg", 1), "img10.jpg");
    EXPECT_EQ(RenumberFileName("photo.jpg", 3), "photo3.jpg");
    EXPECT_EQ(RenumberFileName("song.mp3", 3), "song.mp3");
    EXPECT_EQ(RenumberFileName("SONG.MP3", 3), "SONG.MP3");
    EXPECT_EQ(RenumberFileName("my.photo01.jpg", 1), "my1.jpg");  // cut at the first dot
    EXPECT_EQ(RenumberFileName("a1b2.htm", 9), "a2b1.htm");       // the digits read as one number 12
    EXPECT_EQ(RenumberFileName("x99y.gif", 1), "x100y.gif");      // extra digits follow the last digit
    EXPECT_EQ(RenumberFileName("a9b9.gif", 1), "a1b00.gif");
    EXPECT_EQ(RenumberFileName("image01", 0), "image01");
    // A folder in the name pattern keeps its dots and digits.
    EXPECT_EQ(RenumberFileName("pics.2024\\image01.jpg", 1), "pics.2024\\image02.jpg");
    EXPECT_EQ(RenumberFileName("2024/tn_", 4), "2024/tn_4");
    try {
        RenumberFileName("img99999999999.jpg", 1);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'99999999999' is not a valid integer value");
    }
}

TEST(FileNames, ExtensionsAndFolders)
{
    EXPECT_EQ(AddDefaultExt(0, "tn_a"), "tn_a.jpg");
    EXPECT_EQ(AddDefaultExt(1, "tn_a"), "tn_a.gif");
    EXPECT_EQ(AddDefaultExt(9, "page"), "page.htm");
    EXPECT_EQ(AddDefaultExt(2, "page"), "page");
    EXPECT_EQ(AddDefaultExt(0, "a.png"), "a.png");
    EXPECT_EQ(AddDefaultExt(0, "folder/"), "folder/");
    EXPECT_EQ(AddDefaultExt(0, "my.dir/name"), "my.dir/name.jpg");
    EXPECT_EQ(ExtractFileNameNoExt("c:\\pics\\holiday.jpg"), "holiday");
    EXPECT_EQ(ExtractFileNameNoExt("/pics/a.jpg.jpg"), "a.jpg");  // the extension's own dot
    EXPECT_EQ(ExtractFileNameNoExt("noext"), "noext");
    EXPECT_EQ(NormalizeFolderPath("c:/web"), "c:/web/");
    EXPECT_EQ(NormalizeFolderPath("web\\sub"), "web/sub/");
    EXPECT_EQ(NormalizeFolderPath("/srv/web/"), "/srv/web/");
    EXPECT_EQ(NormalizeFolderPath(""), "");
    EXPECT_EQ(EscapeSpaces(true, "my pics/a b.jpg"), "my%20pics/a%20b.jpg");
    EXPECT_EQ(EscapeSpaces(false, "a b"), "a b");
    EXPECT_EQ(BackslashToSlash("thumbs\\tn_a.jpg"), "thumbs/tn_a.jpg");
}

TEST(FileFacts, OpenSizeAndMissingFiles)
{
    TempFolder t;
    const std::string f = t.file("big.bin", std::string(1536, 'z'));
    fs::create_directory(t.path / "dir");
    EXPECT_TRUE(FileCanOpen(f));
    EXPECT_FALSE(FileCanOpen(t / "missing.jpg"));
    EXPECT_FALSE(FileCanOpen(t / "dir"));
    EXPECT_FALSE(FileCanOpen(""));
    std::string out;
    FileSizeText(0, t / "missing.jpg", out);
    EXPECT_EQ(out, "");
    FileSizeText(0, f, out);
    EXPECT_EQ(out, "1536");
    FileSizeText(1, f, out);
    EXPECT_EQ(out, "2");  // 1.5 KB rounds up
    FileSizeText(2, f, out);
    EXPECT_EQ(out, "0");
    out = "same";
    FileSizeText(7, f, out);
    EXPECT_EQ(out, "same");
    EXPECT_EQ(FileSizeOf(f), 1536);
    EXPECT_EQ(FileSizeOf(t / "missing.jpg"), 0);
}

TEST(FileFacts, DatesOfReadOnlyFilesAndSettingThem)
{
    TempFolder t;
    const std::string f = t.file("a.jpg");
    ASSERT_TRUE(FileDateSet(f, " 2019-04-05 06:07:08 ", 0));
    std::string out;
    FileDateText(1, f, "dd/mm/yyyy hh:nn:ss", out);
    EXPECT_EQ(out, "05/04/2019 06:07:08");
    const std::int32_t packed = DateTimeToFileDate(EncodeDateTime(TDateParts{2001, 2, 3, 4, 5, 6, 0}));
    ASSERT_TRUE(FileDateSet(f, "", packed));
    ::chmod(f.c_str(), 0444);  // read-only: the date is still read
    FileDateText(2, f, "", out);
    EXPECT_EQ(out, std::to_string(packed));
    FileDateText(1, f, "mm/dd/yyyy hh:nn:ss am/pm", out);
    EXPECT_EQ(out, "02/03/2001 04:05:06 am");
    out = "keep";
    FileDateText(2, t / "missing.jpg", "", out);
    EXPECT_EQ(out, "keep");
    EXPECT_FALSE(FileDateSet(t / "missing.jpg", "", packed));
    EXPECT_THROW(FileDateSet(f, "not a date", 0), EConvertError);
    std::string now;
    FormatNow("yyyy", now);
    EXPECT_EQ(now.size(), 4u);
}

TEST(FileFacts, AttributeCodes)
{
    TempFolder t;
    const std::string f = t.file("a.txt");
    EXPECT_TRUE(SetFileAttrText("R+h+a+S-", f));
    EXPECT_EQ(FileGetAttr(f) & faReadOnly, faReadOnly);
    EXPECT_TRUE(SetFileAttrText("r-h-a-s-", f));
    EXPECT_EQ(FileGetAttr(f) & faReadOnly, 0);
    EXPECT_TRUE(SetFileAttrText("r+r-", f));  // "r-" wins
    EXPECT_EQ(FileGetAttr(f) & faReadOnly, 0);
    EXPECT_FALSE(SetFileAttrText("r+", t / "missing.txt"));
}

TEST(ShellFileOperation, FailureIsNeverReportedAsSuccess)
{
    TempFolder t;
    const std::string src = t.file("buttons/next.gif", "GIF");
    fs::create_directory(t.path / "web");
    EXPECT_TRUE(ShellFileOperation(0, src, t / "web/"));
    EXPECT_EQ(readFile(t / "web/next.gif"), "GIF");
    EXPECT_FALSE(ShellFileOperation(0, t / "buttons/missing.gif", t / "web/"));
    EXPECT_FALSE(ShellFileOperation(1, t / "buttons/missing.gif", t / "web/"));
    EXPECT_FALSE(ShellFileOperation(0, "", t / "web/"));
    EXPECT_TRUE(ShellFileOperation(3, t / "web/next.gif", t / "web/prev.gif"));
    EXPECT_TRUE(fs::exists(t / "web/prev.gif"));
    EXPECT_TRUE(ShellFileOperation(1, t / "web/prev.gif", t / "moved.gif"));
    EXPECT_TRUE(ShellFileOperation(2, t / "moved.gif", ""));
    EXPECT_FALSE(fs::exists(t / "moved.gif"));
    EXPECT_FALSE(ShellFileOperation(2, t / "moved.gif", ""));
    EXPECT_FALSE(ShellFileOperation(7, src, t / "web/"));
    // Stored names with '\' work at the file-system boundary.
    std::string windowsStyle = t / "buttons\\next.gif";
    EXPECT_TRUE(ShellFileOperation(0, windowsStyle, t / "web\\copy.gif"));
    EXPECT_TRUE(fs::exists(t / "web/copy.gif"));
}

TEST(ListFiles, ReadListLineCyclesAndSurvivesEmptyFiles)
{
    TempFolder t;
    const std::string f = t.file("list.pv", "first\r\nsecond\nthird\n");
    int n = 1;
    std::string line;
    ReadListLine(f, n, line);
    EXPECT_EQ(line, "second");
    EXPECT_EQ(n, 1);
    n = 5;
    ReadListLine(f, n, line);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(line, "first");
    n = -3;
    ReadListLine(f, n, line);
    EXPECT_EQ(line, "first");
    n = 2;
    line = "old";
    ReadListLine(t.file("empty.pv", ""), n, line);
    EXPECT_EQ(line, "");
    EXPECT_EQ(n, 0);
    n = 2;
    ReadListLine(t / "missing.pv", n, line);
    EXPECT_EQ(line, "");
    EXPECT_EQ(n, 2);

    const std::string html = t.file("t.htm", "<HTML>\n<Body>%THUMB_LOCATION here</Body>\n");
    EXPECT_TRUE(FileContainsText(html, "%thumb_location"));
    EXPECT_FALSE(FileContainsText(html, "%THUMB_LOCATION"));  // only the file's lines are lower-cased
    EXPECT_FALSE(FileContainsText(html, ""));
    EXPECT_FALSE(FileContainsText(t / "missing.htm", "a"));
}

TEST(Descriptions, QuotedNamesRoundTrip)
{
    TempFolder t;
    const std::string d = t / "descript.ion";
    EXPECT_TRUE(WriteDescription(-1, d, "/pics/short.jpg", std::vector<std::string>{"A short", "one"}));
    EXPECT_TRUE(WriteDescription(-1, d, "/pics/longername.jpg", std::vector<std::string>{"Long"}));
    EXPECT_TRUE(WriteDescription(-1, d, "/pics/my cat.jpg", std::vector<std::string>{"Spaced"}));
    EXPECT_EQ(readFile(d), "short.jpg A short one \r\n\"longername.jpg\" Long \r\n\"my cat.jpg\" Spaced \r\n");
    EXPECT_EQ(DescriptionEntryName("12345678.jpg"), "12345678.jpg");
    EXPECT_EQ(DescriptionEntryName("123456789.jpg"), "\"123456789.jpg\"");

    int index = 99;
    std::string text = "stale";
    ReadDescription(index, d, "/elsewhere/MY CAT.JPG", text);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(text, "Spaced ");
    ReadDescription(index, d, "LongerName.jpg", text);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(text, "Long ");
    ReadDescription(index, d, "none.jpg", text);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(text, "");
    index = 7;
    ReadDescription(index, t / "missing.ion", "a.jpg", text);
    EXPECT_EQ(index, 7);  // no file: the index is left alone

    // Replace, delete, and a stale index that appends instead of overwriting.
    EXPECT_TRUE(WriteDescription(0, d, "short.jpg", std::vector<std::string>{"New"}));
    EXPECT_TRUE(WriteDescription(1, d, "longername.jpg", std::vector<std::string>{}));
    EXPECT_TRUE(WriteDescription(40, d, "late.jpg", std::vector<std::string>{"Late"}));
    EXPECT_EQ(readFile(d), "short.jpg New \r\n\"my cat.jpg\" Spaced \r\nlate.jpg Late \r\n");

    // A read-only description file is made writable, written, and left writable.
    ::chmod(d.c_str(), 0444);
    EXPECT_TRUE(WriteDescription(-1, d, "ro.jpg", std::vector<std::string>{"RO"}));
    EXPECT_EQ(FileGetAttr(d) & faReadOnly, 0);
    EXPECT_NE(readFile(d).find("ro.jpg RO \r\n"), std::string::npos);

    // Malformed lines: an unclosed quote, a bare name, an empty line.
    const std::string odd = t.file("descript.pv", "\"unclosed.jpg\n\nbare.jpg\n\"q.jpg\"\n");
    ReadDescription(index, odd, "bare.jpg", text);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(text, "");
    ReadDescription(index, odd, "q.jpg", text);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(text, "");
    ReadDescription(index, odd, "unclosed.jpg", text);
    EXPECT_EQ(index, 0);

    // The Windows program's descriptions are Windows-1252, each line on its own;
    // the name is matched as the bytes it is.
    const std::string windows = t.file("descript.ion",
                                       "a.jpg Cr\xe8me br\xfbl\xe9"
                                       "e\r\nb.jpg D\xc3\xa9j\xc3\xa0\r\n\"f\xe9te.jpg\" F\xeate\r\n");
    ReadDescription(index, windows, "/p/a.jpg", text);
    EXPECT_EQ(text,
              "Cr\xc3\xa8me br\xc3\xbbl\xc3\xa9"
              "e");
    ReadDescription(index, windows, "b.jpg", text);
    EXPECT_EQ(text, "D\xc3\xa9j\xc3\xa0");
    ReadDescription(index, windows, "f\xe9te.jpg", text);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(text, "F\xc3\xaate");
    // Copied to Linux the picture is "f\xc3\xa9te.jpg": its line is found by
    // the name's Windows-1252 reading, after every line that names it as bytes.
    const std::string both = t.file("both.ion", "\"f\xe9te.jpg\" Old\r\nf\xc3\xa9te.jpg New\r\n");
    ReadDescription(index, both, "f\xc3\xa9te.jpg", text);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(text, "New");
    ReadDescription(index, windows, "/p/F\xc3\xa9TE.JPG", text);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(text, "F\xc3\xaate");
    // Rewritten, that line names the picture as it is now; the others stay as they were.
    EXPECT_TRUE(WriteDescription(index, windows, "f\xc3\xa9te.jpg", std::vector<std::string>{"F\xc3\xaate!"}));
    EXPECT_EQ(readFile(windows),
              "a.jpg Cr\xe8me br\xfbl\xe9"
              "e\r\nb.jpg D\xc3\xa9j\xc3\xa0\r\nf\xc3\xa9te.jpg F\xc3\xaate! \r\n");
}

// A name in a stored file is the file of those bytes, else the file of its
// Windows-1252 reading, part by part ('\\' as '/'); the folder given is not read.
TEST(Descriptions, StoredNamesFindFilesByBytesThenByTheirReading)
{
    TempFolder t;
    const std::string folder = t / "Gal\xe9rie/";
    t.file("Gal\xe9rie/caf\xc3\xa9/t\xc3\xaate.gif");
    t.file("Gal\xe9rie/both\xe9.gif");
    t.file("Gal\xe9rie/both\xc3\xa9.gif");
    EXPECT_EQ(StoredFileName(folder, "caf\xe9\\t\xeate.gif"), folder + "caf\xc3\xa9/t\xc3\xaate.gif");
    EXPECT_EQ(StoredFileName("", folder + "both\xe9.gif"), folder + "both\xe9.gif");
    EXPECT_EQ(StoredFileName(folder, "gone\xe9.gif"), folder + "gone\xe9.gif");
    EXPECT_EQ(StoredFileName(folder, ""), folder);
}

TEST(DialogHooks, MessagesAndPropertiesGoThroughTheGuiHooks)
{
    EXPECT_EQ(MessageDlgCentered("Abort", "no hook", mtInformation, mbOK), mrNone);
    std::vector<std::string> seen;
    SetMessageDlgHook([&](const std::string& caption, const std::string& message, int type, int buttons) {
        seen.push_back(caption + "|" + message + "|" + std::to_string(type) + "|" + std::to_string(buttons));
        return mrYes;
    });
    EXPECT_EQ(MessageDlgCentered("Confirm Clear items", "Are you sure?", mtInformation, mbYes | mbNo), mrYes);
    TempFolder t;
    ShellOpen(t / "missing page.htm");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "Confirm Clear items|Are you sure?|2|3");
    EXPECT_EQ(seen[1], "Error|Cannot find " + (t / "missing page.htm") + "|1|4");

    // An existing page goes to the opener; a missing opener is reported, not hidden.
    const std::string out = t / "opened.txt";
    const std::string opener = t.file(
        "opener.sh", "#!/bin/sh\nprintf '%s' \"$1\" > '" + out + ".tmp' && mv '" + out + ".tmp' '" + out + "'\n");
    ::chmod(opener.c_str(), 0755);
    SetShellOpener(opener);
    const std::string page = t.file("index.htm", "<html>");
    ShellOpen(page);
    ASSERT_TRUE(testsupport::WaitForFile(out));
    EXPECT_EQ(readFile(out), page);
    SetShellOpener("no-such-opener");
    ShellOpen(page);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2], "Error|no-such-opener is not installed|1|4");
    SetShellOpener("");
    SetMessageDlgHook(nullptr);

    std::string shown;
    ShowFileProperties("/a.jpg");  // no hook: nothing happens
    SetFilePropertiesHook([&](const std::string& name) { shown = name; });
    ShowFileProperties("/pics/a.jpg");
    EXPECT_EQ(shown, "/pics/a.jpg");
    SetFilePropertiesHook(nullptr);
}
