// Settings templates without the dialog: every page's keys written and read
// back, cross-checked with Python's configparser both ways; names that would
// leave the kind folder; listing and renaming template files.
#include "gallery/properties/pvu1TemplateFiles.h"
#include "platform/system/System.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace {

// Values by control name, as the dialog's controls would hold them.
struct ValueTable : TTemplateControls {
    std::map<std::string, std::string> texts;
    std::map<std::string, int> numbers;
    std::map<std::string, bool> flags;
    std::string Text(const std::string& c) const override { return texts.at(c); }
    void SetText(const std::string& c, const std::string& t) override { texts[c] = t; }
    int Number(const std::string& c) const override { return numbers.at(c); }
    void SetNumber(const std::string& c, int v) override { numbers[c] = v; }
    bool Flag(const std::string& c) const override { return flags.at(c); }
    void SetFlag(const std::string& c, bool v) override { flags[c] = v; }
};

// Distinct values for every key of a page, and the text each should have in the file.
ValueTable Distinct(int page, std::vector<std::string>& expectedLines)
{
    ValueTable values;
    int n = 0;
    for (const TTemplateKey& k : TemplateKeys(page)) {
        ++n;
        std::string text;
        switch (TemplateValueKind(k.Control)) {
        case TTemplateValue::Text:
            text = std::string(k.Control) == "Edit17.FontSize" ? "13" : "text " + std::to_string(n) + " =x;y";
            values.texts[k.Control] = text;
            break;
        case TTemplateValue::Flag:
            values.flags[k.Control] = n % 2 == 1;
            text = n % 2 == 1 ? "1" : "0";
            break;
        default:
            values.numbers[k.Control] = n % 3 == 0 ? -n : n * 1001;
            text = std::to_string(values.numbers[k.Control]);
            break;
        }
        expectedLines.push_back(std::string(k.Section) + "|" + k.Key + "|" + text);
    }
    return values;
}

// Runs a Python script on a file; what it prints.
testsupport::CommandOutput RunPython(const std::string& script, const std::string& file)
{
    testsupport::TempDir scratch("pictavo-py");
    const std::string path = scratch.file("script.py", script);
    return testsupport::RunCapture("python3 '" + path + "' '" + file + "'");
}

// What configparser reads: one "section|key|value" line each, in file order.
std::vector<std::string> ConfigParserLines(const std::string& file)
{
    const std::string script =
        "import configparser,sys\n"
        "c=configparser.ConfigParser(interpolation=None,strict=True)\n"
        "c.optionxform=str\n"
        "c.read(sys.argv[1])\n"
        "for s in c.sections():\n"
        "  for k,v in c.items(s): print(s+'|'+k+'|'+v)\n";
    const auto out = RunPython(script, file);
    EXPECT_EQ(out.ExitCode, 0);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < out.Output.size()) {
        const std::size_t end = out.Output.find('\n', start);
        lines.push_back(out.Output.substr(start, end - start));
        start = end == std::string::npos ? out.Output.size() : end + 1;
    }
    return lines;
}

class Templates : public ::testing::Test {
protected:
    void SetUp() override { SetProgramFolder(folder.path.string()); }
    void TearDown() override { SetProgramFolder(""); }
    testsupport::TempDir folder{"pictavo-templates"};
};

TEST_F(Templates, EveryPageRoundTripsAndConfigParserReadsWhatWasWritten)
{
    ASSERT_TRUE(testsupport::HaveTool("python3"));
    const std::vector<std::vector<std::string>> sections = {
        {"Page"}, {"Text"}, {"Logo"}, {"Frame", "Mask", "Buttonize", "Outline"}};
    for (int page = 0; page < TemplatePageCount; ++page) {
        SCOPED_TRACE("page " + std::to_string(page));
        std::vector<std::string> expected;
        ValueTable written = Distinct(page, expected);
        const std::string file = folder / ("t" + std::to_string(page) + ".pvx");
        ASSERT_TRUE(TransferTemplate('w', file, page, written));
        EXPECT_EQ(ConfigParserLines(file), expected);
        ValueTable read;
        ASSERT_TRUE(TransferTemplate('r', file, page, read));
        EXPECT_EQ(read.texts, written.texts);
        EXPECT_EQ(read.numbers, written.numbers);
        EXPECT_EQ(read.flags, written.flags);
        // Sections come in the order the page writes them, each once.
        std::vector<std::string> order;
        for (const std::string& line : expected) {
            const std::string section = line.substr(0, line.find('|'));
            if (order.empty() || order.back() != section) order.push_back(section);
        }
        EXPECT_EQ(order, sections[std::size_t(page)]);
    }
    EXPECT_TRUE(TemplateKeys(4).empty());
    EXPECT_EQ(TemplateFile(2, "x"), folder / "settings/logo/x.pvx");
    EXPECT_EQ(TemplateFile(5, "x"), "");
}

TEST_F(Templates, FilesWrittenByConfigParserReadWithDefaultsForWhatIsMissingOrBroken)
{
    ASSERT_TRUE(testsupport::HaveTool("python3"));
    const std::string file = folder / "made.pvx";
    // Keys in other letter cases, spaces around "=", a hexadecimal number, a
    // word where a number belongs, a flag of 2, and keys left out.
    const std::string script =
        "import configparser,sys\n"
        "c=configparser.ConfigParser(interpolation=None)\n"
        "c.optionxform=str\n"
        "c['text']={'TEXT':'Hello world','fontname':'DejaVu Sans','X':'0x10','Y':'abc',"
        "'FullBorder':'2','Color1':'255'}\n"
        "c['Outline']={'Use':'1'}\n"
        "c.write(open(sys.argv[1],'w'))\n";
    ASSERT_EQ(RunPython(script, file).ExitCode, 0);
    ValueTable text;
    TransferTemplate('r', file, 1, text);
    EXPECT_EQ(text.texts["Edit17"], "Hello world");
    EXPECT_EQ(text.texts["Edit17.FontName"], "DejaVu Sans");
    EXPECT_EQ(text.texts["Edit17.FontSize"], "");
    EXPECT_EQ(text.numbers["SpinEdit3"], 16);
    EXPECT_EQ(text.numbers["SpinEdit5"], 5);
    EXPECT_EQ(text.numbers["ComboBox4"], 5);  // a missing "Position": the fifth entry
    EXPECT_EQ(text.numbers["Panel16"], 255);
    EXPECT_EQ(text.numbers["Panel20"], 0);
    EXPECT_TRUE(text.flags["CheckBox14"]);
    EXPECT_FALSE(text.flags["CheckBox16"]);
    ValueTable frame;
    TransferTemplate('r', file, 3, frame);
    EXPECT_TRUE(frame.flags["CheckBox25"]);
    EXPECT_EQ(frame.numbers["SpinEdit32"], 0);  // the outline's transparency defaults to 0
    EXPECT_EQ(frame.numbers["SpinEdit33"], 0);
    EXPECT_EQ(frame.numbers["SpinEdit4"], 5);
    // A missing file reads as every default and is not created.
    ValueTable logo;
    TransferTemplate('r', folder / "none.pvx", 2, logo);
    EXPECT_EQ(logo.numbers["ComboBox12"], 5);
    EXPECT_EQ(logo.texts["Edit18"], "");
    EXPECT_FALSE(FileExists(folder / "none.pvx"));
    // A file that cannot be written says so.
    EXPECT_FALSE(TransferTemplate('w', folder / "no/such/folder/x.pvx", 2, logo));
}

// A template the Windows program saved in Windows-1252: its texts read as
// UTF-8, its picture files byte for byte, on every page that has them.
TEST_F(Templates, Windows1252TextsReadAsUtf8AndFileNamesAsBytes)
{
    const std::string file = folder / "w.pvx";
    std::ofstream(file, std::ios::binary) << "[Text]\r\nText=\xa9 Caf\xe9\r\nFontName=Fran\xe7ois\r\n"
                                             "bgfile=/f/b\xe9.gif\r\n[Page]\r\nBGImageFile=/f/p\xe9.jpg\r\n"
                                             "[Logo]\r\nFile=/f/l\xe9.png\r\n[Frame]\r\nFile=/f/c\xe9.gif\r\n";
    ValueTable text, page, logo, frame;
    TransferTemplate('r', file, 1, text);
    TransferTemplate('r', file, 0, page);
    TransferTemplate('r', file, 2, logo);
    TransferTemplate('r', file, 3, frame);
    EXPECT_EQ(text.texts["Edit17"], "\xc2\xa9 Caf\xc3\xa9");
    EXPECT_EQ(text.texts["Edit17.FontName"], "Fran\xc3\xa7ois");
    EXPECT_EQ(text.texts["Edit7"], "/f/b\xe9.gif");
    EXPECT_EQ(page.texts["Edit50"], "/f/p\xe9.jpg");
    EXPECT_EQ(logo.texts["Edit18"], "/f/l\xe9.png");
    EXPECT_EQ(frame.texts["edit15"], "/f/c\xe9.gif");
}

TEST(TemplateNames, NamesThatWouldLeaveTheKindFolderAreRefused)
{
    for (const char* good : {"Blue frame", "v1.2", "a.b.c", "Ünïcode", "-x", "  spaced  "})
        EXPECT_EQ(TemplateNameProblem(good), "") << good;
    for (const char* bad : {"a/b", "/etc", "a\\b", "..", "../x", "x..", "a..b", "tab\there", "line\nbreak"}) {
        const std::string problem = TemplateNameProblem(bad);
        EXPECT_NE(problem.find("cannot be a setting name"), std::string::npos) << bad;
        EXPECT_EQ(problem.rfind("\"" + std::string(bad) + "\"", 0), 0u) << problem;
    }
}

TEST_F(Templates, ListingIsByNameIgnoringCaseAndRenamingNeverOverwrites)
{
    const std::string kind = TemplateFolder(3);
    testsupport::TempDir& f = folder;
    for (const char* name : {"settings/frame/beta.pvx", "settings/frame/Alpha.pvx", "settings/frame/gamma.PVX",
                             "settings/frame/notes.txt", "settings/frame/delta.pvx.bak"})
        f.file(name, "[Frame]\r\nUse=1\r\n");
    std::filesystem::create_directories(kind + "sub.pvx");
    EXPECT_EQ(ListTemplateNames(kind), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    EXPECT_TRUE(ListTemplateNames(folder / "settings/none/").empty());

    struct RenameCase {
        const char* from;
        const char* to;
        TTemplateRename result;
    };
    const RenameCase cases[] = {
        {"beta", "beta", TTemplateRename::Unchanged},  {"beta", "Alpha", TTemplateRename::Exists},
        {"beta", "../beta", TTemplateRename::Invalid}, {"beta", "a\\b", TTemplateRename::Invalid},
        {"gone", "new", TTemplateRename::Missing},     {"beta", "Beta two", TTemplateRename::Renamed},
    };
    for (const RenameCase& c : cases) {
        std::string message;
        EXPECT_EQ(RenameTemplateFile(kind, c.from, c.to, message), c.result) << c.from << " -> " << c.to;
        EXPECT_EQ(message.empty(), c.result == TTemplateRename::Renamed || c.result == TTemplateRename::Unchanged)
            << message;
    }
    EXPECT_EQ(ListTemplateNames(kind), (std::vector<std::string>{"Alpha", "Beta two", "gamma"}));
    EXPECT_FALSE(FileExists(folder / "settings/beta.pvx"));
    EXPECT_EQ(testsupport::ReadFileText(kind + "Alpha.pvx"), "[Frame]\r\nUse=1\r\n");
}

}  // namespace
