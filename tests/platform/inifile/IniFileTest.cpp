#include "platform/inifile/IniFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct TempIni {
    testsupport::TempDir folder{"pictavo-ini"};
    std::string path = folder / "pv.ini";
    void write(const std::string& bytes) const { std::ofstream(path, std::ios::binary) << bytes; }
    std::string read() const { return testsupport::ReadFileText(path); }
};

}  // namespace

TEST(IniFile, WindowsProfileRulesOnRead)
{
    TempIni t;
    t.write(
        "; settings\n[Location]\nSaveInFolder =  \"/home/me/web\"  \r\nThumbName='tn_*'\r\n"
        "Quoted=\"only left\n  [ images1 ]  \nQUALITY = 75\nHexColor=0x00FF00\nUpperHex=0XfF\n"
        "Dollar=$10\nBad=12abc\nEmpty=\nBig=4294967296\nNeg=-12\nOn=7\nOff=0\n");
    TIniFile ini(t.path);
    EXPECT_EQ(ini.ReadString("location", "saveinfolder", "x"), "/home/me/web");
    EXPECT_EQ(ini.ReadString("LOCATION", "ThumbName", "x"), "tn_*");
    EXPECT_EQ(ini.ReadString("Location", "Quoted", "x"), "\"only left");
    EXPECT_EQ(ini.ReadString("Location", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Nowhere", "SaveInFolder", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadInteger("Images1", "Quality", 60), 75);
    EXPECT_EQ(ini.ReadInteger("Images1", "HexColor", 0), 0xFF00);
    EXPECT_EQ(ini.ReadInteger("Images1", "UpperHex", 0), 255);
    EXPECT_EQ(ini.ReadInteger("Images1", "Dollar", 0), 16);
    EXPECT_EQ(ini.ReadInteger("Images1", "Bad", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Images1", "Empty", 5), 5);
    EXPECT_EQ(ini.ReadString("Images1", "Empty", "dflt"), "");  // present but empty is not missing
    EXPECT_EQ(ini.ReadInteger("Images1", "Big", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Images1", "Neg", 5), -12);
    EXPECT_TRUE(ini.ReadBool("Images1", "On", false));
    EXPECT_FALSE(ini.ReadBool("Images1", "Off", true));
    EXPECT_TRUE(ini.ReadBool("Images1", "Missing", true));
    EXPECT_TRUE(ini.SectionExists("IMAGES1"));
    EXPECT_TRUE(ini.ValueExists("images1", "quality"));
    EXPECT_FALSE(ini.ValueExists("images1", "nothing"));
    TStringList sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections.Items(), (std::vector<std::string>{"Location", "images1"}));
    TStringList keys;
    ini.ReadSection("Location", keys);
    EXPECT_EQ(keys.Items(), (std::vector<std::string>{"SaveInFolder", "ThumbName", "Quoted"}));
    TStringList values;
    ini.ReadSectionValues("Location", values);
    EXPECT_EQ(values[0], "SaveInFolder=/home/me/web");
}

TEST(IniFile, ValuesReadBackWholeWhateverTheirLengthBlanksOrQuotes)
{
    TempIni t;
    std::string longValue;
    for (int i = 0; i < 10000; ++i) longValue += char('a' + i % 26);
    const std::vector<std::string> values = {
        longValue + "|1|2|", "  padded  ", "\ttab", "\"quoted\"", "'single'", "\"\"", " \"a\" ", "a\"", "\"b", ""};
    {
        TIniFile ini(t.path);
        for (std::size_t i = 0; i < values.size(); ++i) ini.WriteString("Others", "K" + std::to_string(i), values[i]);
        EXPECT_EQ(ini.ReadString("Others", "K3", ""), "\"quoted\"");
    }
    EXPECT_NE(t.read().find("K0=" + longValue + "|1|2|\r\n"), std::string::npos);
    EXPECT_NE(t.read().find("K1=\"  padded  \"\r\n"), std::string::npos);
    EXPECT_NE(t.read().find("K7=a\"\r\n"), std::string::npos);  // only what reading would change is quoted
    TIniFile ini(t.path);
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(ini.ReadString("Others", "K" + std::to_string(i), "x"), values[i]) << i;
}

TEST(IniFile, RewriteKeepsUnknownLinesAndWritesCrLf)
{
    TempIni t;
    t.write("[Location]\nSaveInFolder=/old\nFuture=keep me\n\n; note\n[Unknown]\nA=1\n");
    {
        TIniFile ini(t.path);
        ini.WriteString("location", "SAVEINFOLDER", "/new");
        ini.WriteInteger("Location", "ChangeCase", 3);
        ini.WriteBool("Others", "LaunchWeb", true);
        ini.WriteBool("Others", "MouseOver", false);
        EXPECT_EQ(ini.ReadString("Location", "SaveInFolder", ""), "/new");  // seen before the file is written
    }
    EXPECT_EQ(t.read(),
              "[Location]\r\nSaveInFolder=/new\r\nFuture=keep me\r\nChangeCase=3\r\n\r\n; note\r\n"
              "[Unknown]\r\nA=1\r\n[Others]\r\nLaunchWeb=1\r\nMouseOver=0\r\n");
}

TEST(IniFile, AnEditorsByteOrderMarkDoesNotHideTheFirstSection)
{
    TempIni t;
    t.write("\xEF\xBB\xBF[Location]\r\nChangeCase=4\r\n");
    {
        TIniFile ini(t.path);
        EXPECT_EQ(ini.ReadInteger("Location", "ChangeCase", 1), 4);
        ini.WriteInteger("Location", "ChangeCase", 2);
    }
    EXPECT_EQ(t.read(), "\xEF\xBB\xBF[Location]\r\nChangeCase=2\r\n");
}

TEST(IniFile, EraseDeleteAndLineBreaksInValues)
{
    TempIni t;
    {
        TIniFile ini(t.path);
        ini.WriteString("A", "k1", "v1");
        ini.WriteString("A", "k2", "two\r\nlines");
        ini.WriteString("B", "k", "v");
        ini.DeleteKey("a", "K1");
        ini.EraseSection("b");
        EXPECT_TRUE(ini.UpdateFile());
    }
    EXPECT_EQ(t.read(), "[A]\r\nk2=two  lines\r\n");
}

TEST(IniFile, PrivateFilesAre0600AndWriteFailuresAreSilent)
{
    TempIni t;
    ::umask(022);
    {
        TIniFile ini(t.path, IniFileMode::Private);
        ini.WriteString("Others", "Upload", "host|21|100|me|secret||");
    }
    struct stat st {};
    ASSERT_EQ(::stat(t.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const std::string plain = (t.folder.path / "plain.pvs").string();
    {
        TIniFile ini(plain);
        ini.WriteString("Location", "SaveInFolder", "/x");
    }
    ASSERT_EQ(::stat(plain.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    // An existing file loosened by hand is tightened again on the next write.
    ::chmod(t.path.c_str(), 0644);
    {
        TIniFile ini(t.path, IniFileMode::Private);
        ini.WriteString("Others", "Upload", "changed");
    }
    ::stat(t.path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    {
        TIniFile ini((t.folder.path / "no/such/folder/pv.ini").string());
        ini.WriteString("A", "b", "c");
        EXPECT_FALSE(ini.UpdateFile());
    }  // the destructor's write fails silently too
    // No temporary files are left behind.
    int entries = 0;
    for (const auto& e : fs::directory_iterator(t.folder.path)) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 2);
}

TEST(IniFile, PrivateFileRefusesALinkInItsPlace)
{
    TempIni t;
    const std::string elsewhere = (t.folder.path / "elsewhere.ini").string();
    {
        std::ofstream(elsewhere) << "[Theirs]\r\n";
    }
    fs::remove(t.path);
    ASSERT_EQ(::symlink(elsewhere.c_str(), t.path.c_str()), 0);
    {
        TIniFile ini(t.path, IniFileMode::Private);
        ini.WriteString("Others", "Upload", "host|21|100|me|secret||");
        EXPECT_FALSE(ini.UpdateFile());
    }
    EXPECT_EQ(testsupport::ReadFileText(elsewhere), "[Theirs]\r\n");
    EXPECT_TRUE(fs::is_symlink(t.path));
}

TEST(IniFile, ValueRulesOnTheirOwn)
{
    EXPECT_EQ(IniTrimValue("  \"a b\"  "), "a b");
    EXPECT_EQ(IniTrimValue("'x'"), "x");
    EXPECT_EQ(IniTrimValue("\"mixed'"), "\"mixed'");
    EXPECT_EQ(IniTrimValue("\""), "\"");
    int v = 0;
    EXPECT_TRUE(IniParseInteger("0xFFFFFFFF", v));
    EXPECT_EQ(v, -1);
    EXPECT_FALSE(IniParseInteger("0x123456789", v));
    EXPECT_FALSE(IniParseInteger("0x", v));
    EXPECT_FALSE(IniParseInteger("-", v));
    EXPECT_TRUE(IniParseInteger("-2147483648", v));
    EXPECT_EQ(v, -2147483647 - 1);
    EXPECT_FALSE(IniParseInteger("2147483648", v));
}
