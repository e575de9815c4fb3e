#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "platform/system/System.h"
#include "tests/support/Desktop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

namespace fs = std::filesystem;

TEST(PropertyRecords, KeysInIndexOrder)
{
    const std::vector<std::string> keys = {"SourceImage",
                                           "PagePropertiesIndex",
                                           "PagePropertiesImage",
                                           "AddText",
                                           "AddLogo",
                                           "Nothing1",
                                           "Nothing2",
                                           "MoreTable",
                                           "CaptionFontT",
                                           "CaptionFontI",
                                           "Edit1",
                                           "Edit2",
                                           "Edit3",
                                           "FrameTFolder",
                                           "FrameIFolder",
                                           "LogoIFolder",
                                           "ManualPaste",
                                           "Upload",
                                           "CurrentPage1",
                                           "CurrentPage2",
                                           "DropTargetXY",
                                           "TextHeader1",
                                           "TextFooter1",
                                           "TextHeader2",
                                           "TextFooter2",
                                           "AddFrameImage",
                                           "AddMaskImage",
                                           "AddButtonImage",
                                           "AddFrameThumb",
                                           "AddMaskThumb",
                                           "AddButtonThumb",
                                           "AddOutlineI",
                                           "AddOutlineT"};
    ASSERT_EQ(static_cast<int>(keys.size()), PropertyRecordCount);
    for (int i = 0; i < PropertyRecordCount; ++i) {
        EXPECT_EQ(PropertyRecordKey(i), keys[static_cast<std::size_t>(i)]);
        EXPECT_EQ(PropertyRecordIndexOf(keys[static_cast<std::size_t>(i)]), i);
    }
    EXPECT_EQ(PropertyRecordIndexOf("addoutlinet"), prAddOutlineT);
    EXPECT_EQ(PropertyRecordIndexOf("Nothing3"), -1);
    EXPECT_THROW(PropertyRecordKey(33), EStringListError);
    EXPECT_THROW(PropertyRecordDefault(-1), EStringListError);
}

TEST(PropertyRecords, DefaultsWithoutTheProgramFolder)
{
    const std::vector<std::pair<int, std::string>> fixed = {
        {1,
         "1|8421440|1|16777215|0|16711680|0|8388736|0|255|0|0|wallpaper.jpg|0|0|0|0|_self|page |-|0|0|5|1|0|"
         "main.htm|left.htm|1|1|0|0"},
        {2, "0|16777215|0|0|0|16711680|0|8388736|0|255|0|0|wallpaper.jpg|0|0|0|0|_self|picture |-|0|0|5|1||||1|1|0|0"},
        {4, "|0|0|0|0|0|0|255|0"},
        {5, ""},
        {6, ""},
        {7, "0|100|1|0|0|0|1|8388608|bg.jpg|||0|0|0|0|Center|Default|0|0||0|16777215|bg.jpg|0|0|0|0|0|0|Default|0|0|"},
        {8, "Verdana|1|0|0|0|8454143|0|16777215|"},
        {9, "Verdana|0|0|0|0|15|0|15"},
        {12, ""},
        {18, "0|0|0|"},
        {19, "0|0|0|"},
        {20, "50|50|"},
        {21, "<center><font name=\"Verdana\" Size=\"5\">My Thumbnail Header</font></center>"},
        {22, "<center><font name=\"Verdana\" Size=\"5\">My Thumbnail Footer</font></center>"},
        {23, "<center><font name=\"Verdana\" Size=\"5\">My Image Header</font></center>"},
        {24, "<center><font name=\"Verdana\" Size=\"5\">My Image Footer</font></center>"},
        {25, "0||0|255|0|0|"},
        {26, "0||0|100|0|16777215|0|0|0||"},
        {27, "0|10|0|20|16777215|0|0|10|0|50|16777215|"},
        {28, "0||0|255|0|0|"},
        {29, "0||0|100|0|16777215|0|0|0||"},
        {30, "0|5|0|20|16777215|0|0|10|0|50|16777215|"},
        {31, "0||0|255|0"},
        {32, "0||0|255|20"},
    };
    for (const auto& [index, text] : fixed) EXPECT_EQ(PropertyRecordDefault(index), text) << PropertyRecordKey(index);

    // Field counts of the records the page writer and table code read.
    int count = 0;
    for (std::string rest = PropertyRecordDefault(1); !rest.empty(); NextField(rest)) ++count;
    EXPECT_EQ(count, 31);
    count = 0;
    for (std::string rest = PropertyRecordDefault(7); !rest.empty(); NextField(rest)) ++count;
    EXPECT_EQ(count, 32);

    const std::string manual = PropertyRecordDefault(prManualPaste);
    EXPECT_EQ(GetField(0, manual, 2), "my login here");
    EXPECT_EQ(GetField(0, manual, 5), "<specify here>");
    EXPECT_EQ(GetField(0, manual, 6), "1");
    const std::string upload = PropertyRecordDefault(prUpload);
    EXPECT_EQ(GetField(0, upload, 2), "21");
    EXPECT_EQ(GetField(0, upload, 3), "100");
    EXPECT_EQ(GetField(0, upload, 4), "My Name");
    EXPECT_EQ(GetField(0, upload, 5), "Blue Harbor");
    EXPECT_EQ(GetField(0, upload, 6), "");
    EXPECT_FALSE(GetField(0, upload, 7).empty());
}

TEST(PropertyRecords, DefaultsThatHoldTheProgramFolder)
{
    SetProgramFolder("/opt/pictavo");
    EXPECT_EQ(PropertyRecordDefault(prSourceImage), "/opt/pictavo/");
    EXPECT_EQ(PropertyRecordDefault(prFrameTFolder), "/opt/pictavo/frames");
    EXPECT_EQ(PropertyRecordDefault(prFrameIFolder), "/opt/pictavo/frames");
    EXPECT_EQ(PropertyRecordDefault(prLogoIFolder), "/opt/pictavo/frames");
    const std::string text = PropertyRecordDefault(prAddText);
    EXPECT_EQ(text.rfind("Verdana|b|14|1|0|", 0), 0u);
    EXPECT_FALSE(GetField(1, text, 6).empty());  // the sample stamp text
    EXPECT_EQ(GetField(1, text, 7), "1");
    EXPECT_EQ(GetField(1, text, 10), "50");
    EXPECT_EQ(GetField(1, text, 17), "120301");
    EXPECT_EQ(GetField(1, text, 19), "1");
    EXPECT_EQ(GetField(1, text, 20), "/opt/pictavo/frames/bar1.gif");
    EXPECT_EQ(GetField(1, text, 21), "255");
    EXPECT_EQ(GetField(1, text, 28), "255");
    EXPECT_EQ(GetField(1, text, 29), "");
    SetProgramFolder("");
}

// The field names line up with the default records: the last named field is
// the last field of the default, and a few fields read back by name.
TEST(PropertyRecords, FieldNamesMatchTheDefaults)
{
    const struct {
        int record, lastField;
    } counts[] = {
        {prPagePropertiesIndex, PageField::Count},
        {prPagePropertiesImage, PageField::Count},
        {prAddText, TextField::Count - 1},  // the default's constant tail is one short
        {prAddLogo, LogoField::Count},
        {prMoreTable, TableField::Count},
        {prCaptionFontT, CaptionFontField::Count},
        {prManualPaste, ManualPasteField::Count},
        {prCurrentPage1, CurrentPageField::Count},
        {prDropTargetXY, DropTargetField::Count},
        {prAddFrameImage, FrameField::Count},
        {prAddMaskImage, MaskField::Count},
        {prAddButtonImage, BevelField::Count},
        {prAddOutlineI, OutlineField::Count},
    };
    for (const auto& c : counts) {
        const std::string record = PropertyRecordDefault(c.record);
        std::string rest = record;
        int fields = 0;
        while (!rest.empty()) {
            NextField(rest);
            ++fields;
        }
        EXPECT_EQ(fields, c.lastField) << PropertyRecordKey(c.record);
    }
    EXPECT_EQ(GetField(0, PropertyRecordDefault(prPagePropertiesIndex), PageField::FramePageFile), "main.htm");
    EXPECT_EQ(GetField(0, PropertyRecordDefault(prAddText), TextField::BackgroundTransparentColor), "255");
    EXPECT_EQ(GetField(0, PropertyRecordDefault(prAddText), TextField::SecondTransparentKey), "255");
    EXPECT_EQ(GetField(0, PropertyRecordDefault(prMoreTable), TableField::CellAlign), "Center");
    EXPECT_EQ(GetField(0, PropertyRecordDefault(prMoreTable), TableField::PictureAlign), "Default");
    EXPECT_EQ(GetField(0, PropertyRecordDefault(prAddButtonThumb), BevelField::Width), "5");
    EXPECT_EQ(GetField(0, PropertyRecordDefault(prAddOutlineT), OutlineField::Width), "20");
    EXPECT_EQ(GetField(0, PropertyRecordDefault(prUpload), UploadField::Password), "Blue Harbor");
}

TEST(Fields, NextFieldAndGetField)
{
    std::string text = "a|b c|";
    std::string field;
    NextField(text, field);
    EXPECT_EQ(field, "a");
    EXPECT_EQ(text, "b c|");
    text = "no bar";
    NextField(text, field);
    EXPECT_EQ(field, "no bar");
    EXPECT_EQ(text, "");
    text = "";
    NextField(text, field);
    EXPECT_EQ(field, "");

    EXPECT_EQ(GetField(0, "x|two  |z", 2), "two");
    EXPECT_EQ(GetField(1, "x|two  |z", 2), "two  ");
    EXPECT_EQ(GetField(0, "x|tab\t\r|", 2), "tab");
    EXPECT_EQ(GetField(0, "a|b|c", 5), "");
    EXPECT_EQ(GetField(0, "a|b|c", 3), "c");
    EXPECT_EQ(GetField(0, "a|b|c|", 4), "");
    EXPECT_EQ(GetField(0, "||c", 1), "");
    EXPECT_EQ(GetField(0, "||c", 3), "c");
    EXPECT_EQ(GetField(0, "", 1), "");
    field = "unchanged";
    GetField(0, "a|b", 0, field);
    EXPECT_EQ(field, "unchanged");
    GetField(0, "a|b", -2, field);
    EXPECT_EQ(field, "unchanged");
}

TEST(Fields, LoadFirstFieldsOfACaptionList)
{
    const fs::path file = fs::temp_directory_path() / "pictavo-pvcapt-test.pv";
    std::ofstream(file, std::ios::binary)
        << "Below the thumbnail|<br>%caption\r\nNo markup\nRight|<td>%caption</td>|x\n";
    const TStringList items = LoadFirstFields(file.string());
    EXPECT_EQ(items.Items(), (std::vector<std::string>{"Below the thumbnail", "", "Right"}));
    // The Windows program's lists are Windows-1252, line by line.
    std::ofstream(file, std::ios::binary) << "Sous l'\xe9tiquette|<br>\xe9\r\nD\xc3\xa9j\xc3\xa0|x\r\n";
    EXPECT_EQ(LoadFirstFields(file.string()).Items(),
              (std::vector<std::string>{"Sous l'\xc3\xa9tiquette", "D\xc3\xa9j\xc3\xa0"}));
    fs::remove(file);
    EXPECT_EQ(LoadFirstFields(file.string()).Count(), 0);
}

TEST(Fields, ABarTypedIntoATextFieldCannotSplitTheRecord)
{
    const std::string record = MakePropertyRecord({"Verdana", "b", "a|b|c", "", "end"});
    EXPECT_EQ(record, "Verdana|b|a%lineb%linec||end|");
    EXPECT_EQ(GetField(1, record, 3), "a%lineb%linec");
    EXPECT_EQ(UnescapeRecordField(GetField(1, record, 3)), "a|b|c");
    EXPECT_EQ(GetField(1, record, 5), "end");
    EXPECT_EQ(EscapeRecordField("no bars"), "no bars");
    EXPECT_EQ(EscapeRecordField("|"), "%line");
}

// Records stored in Windows-1252: each text field is made UTF-8 on its own,
// every name field and the FTP login pass byte for byte, and a field already
// in UTF-8 is left alone, so a second read changes nothing.
TEST(PropertyRecords, StoredRecordsMakeTextsUtf8AndKeepNames)
{
    const std::string e = "\xe9", u = "\xc3\xa9", E = "\xc9", uE = "\xc3\x89";
    const std::string quote = "\x93", unquote = "\x94", uQuote = "\xe2\x80\x9c", uUnquote = "\xe2\x80\x9d";
    struct Case {
        int index;
        std::string stored, read;
    };
    const std::vector<Case> cases = {
        {prSourceImage, "/pics/f" + e, "/pics/f" + e},
        {prFrameIFolder, "/f" + e, "/f" + e},
        {prPagePropertiesIndex,
         "1|0|0|0|0|0|0|0|0|0|1|0|fond" + e + ".jpg|0|0|0|0|_self|s" + e + "rie |-|0|0|5|1|1|m" + e + ".htm|l" + e +
             ".htm|0|0|1|0",
         "1|0|0|0|0|0|0|0|0|0|1|0|fond" + e + ".jpg|0|0|0|0|_self|s" + u + "rie |-|0|0|5|1|1|m" + e + ".htm|l" + e +
             ".htm|0|0|1|0"},
        {prAddText,
         "Verdana|b|14|1|0|" + quote + "Caf" + e + unquote + "|1|0|0|50|0|0|2|0|1|3|1|1|1|/f/b" + e + ".gif|",
         "Verdana|b|14|1|0|" + uQuote + "Caf" + u + uUnquote + "|1|0|0|50|0|0|2|0|1|3|1|1|1|/f/b" + e + ".gif|"},
        {prAddLogo, "/l" + e + ".png|0|", "/l" + e + ".png|0|"},
        {prMoreTable, "0|1|1|0|0|0|2|0|t" + e + ".jpg|title=\"" + e + "\"|",
         "0|1|1|0|0|0|2|0|t" + e + ".jpg|title=\"" + u + "\"|"},
        {prCaptionFontT, "Fran" + e + "|1|", "Fran" + u + "|1|"},
        {prEdit3, E + "diteur|/usr/bin/" + e + "d|", uE + "diteur|/usr/bin/" + e + "d|"},
        {prManualPaste, "Jos" + e + "|x|", "Jos" + u + "|x|"},
        {prUpload, "h" + e + ".test|21|100|Jos" + e + "|p" + e + "|/www/f" + e + "|http://" + e + "/",
         "h" + u + ".test|21|100|Jos" + e + "|p" + e + "|/www/f" + e + "|http://" + u + "/"},
        {prTextHeader2, "<b>Cr" + e + "me \x80 5</b>", "<b>Cr" + u + "me \xe2\x82\xac 5</b>"},
        {prAddFrameImage, "1|/fr" + e + ".gif|0|", "1|/fr" + e + ".gif|0|"},
        {prAddMaskThumb, "1|/m" + e + ".gif|0|0|0|0|0|0|0|t" + e + "|", "1|/m" + e + ".gif|0|0|0|0|0|0|0|t" + u + "|"},
        {prAddOutlineT, "1|/o" + e + ".gif|", "1|/o" + e + ".gif|"},
        {prTextFooter1, "D" + u + "j" + e, "D\xc3\x83\xc2\xa9j" + u},  // one field, decided whole
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StoredPropertyRecord(c.index, c.stored), c.read) << PropertyRecordKey(c.index);
        EXPECT_EQ(StoredPropertyRecord(c.index, c.read), c.read) << PropertyRecordKey(c.index) << " read again";
    }
    EXPECT_EQ(StoredFieldsToUtf8("a" + e + "||b" + e + "|", {2}), "a" + u + "||b" + u + "|");
    EXPECT_EQ(StoredFieldsToUtf8("|" + e, {2}), "|" + e);
    EXPECT_THROW(StoredPropertyRecord(33, ""), EStringListError);
}

// The editors 10 and 11 are what the desktop has: an editor for web pages and
// one for text where there is one, else the desktop's program for the kind,
// else xdg-open for web pages and $VISUAL or $EDITOR for text. Settings that
// still hold the Windows editors the defaults once named get today's.
TEST(PropertyRecords, EditorDefaultsAreTheDesktopsEditors)
{
    testsupport::ScopedDesktop desktop;
    const std::string scribe = desktop.AddProgram("scribe"), browse = desktop.AddProgram("browse");
    desktop.Set("PATH", std::string("/nowhere"));
    EXPECT_EQ(PropertyRecordDefault(prEdit1), "Web page editor||");
    EXPECT_EQ(PropertyRecordDefault(prEdit2), "Text editor||");
    const std::string nano = desktop.AddProgram("nano");
    desktop.Set("PATH", fs::path(nano).parent_path().string());
    desktop.Set("EDITOR", std::string("nano -w"));
    EXPECT_EQ(PropertyRecordDefault(prEdit2), "Text editor|" + nano + "|");
    desktop.Set("VISUAL", std::string("scribe"));
    EXPECT_EQ(PropertyRecordDefault(prEdit2), "Text editor|" + scribe + "|");

    desktop.AddEntry("browser.desktop", "Name=Browser\nExec=" + browse + " %u\nMimeType=text/html;\n");
    desktop.SetDefaults("[Default Applications]\ntext/html=browser.desktop;\n");
    EXPECT_EQ(PropertyRecordDefault(prEdit1), "Browser|" + browse + "|");
    desktop.AddEntry("scribe.desktop", "Name=Scribe|Pad\nExec=" + scribe +
                                           " %F\nCategories=TextEditor;\nMimeType=text/plain;text/html;\n");
    EXPECT_EQ(PropertyRecordDefault(prEdit1), "Scribe%linePad|" + scribe + "|");
    EXPECT_EQ(PropertyRecordDefault(prEdit2), "Scribe%linePad|" + scribe + "|");

    EXPECT_EQ(UpgradedPropertyRecord(prEdit1, "Microsoft Frontpage|C:\\PROGRA~1\\MICROS~1\\OFFICE\\frontpg.exe|"),
              PropertyRecordDefault(prEdit1));
    EXPECT_EQ(UpgradedPropertyRecord(prEdit2, "Windows Notepad|c:\\windows\\notepad.exe|"),
              PropertyRecordDefault(prEdit2));
    EXPECT_EQ(UpgradedPropertyRecord(prEdit2, "Windows Notepad|c:\\winnt\\notepad.exe|"),
              "Windows Notepad|c:\\winnt\\notepad.exe|");
    EXPECT_EQ(UpgradedPropertyRecord(prEdit3, "Windows Notepad|c:\\windows\\notepad.exe|"),
              "Windows Notepad|c:\\windows\\notepad.exe|");
}

// What the build reads of a record: a field the record lacks, or a number
// field that holds no number, is the default record's; text fields keep what
// they hold; fields past the default's stay; records of one text stay whole.
TEST(PropertyRecords, CompletedRecordsTakeTheDefaultsFieldsTheirOwnCannotGive)
{
    const std::vector<std::tuple<int, std::string, std::string>> cases = {
        {prAddButtonImage, "", "0|10|0|20|16777215|0|0|10|0|50|16777215|"},
        {prAddButtonImage, "2|ten|", "2|10|0|20|16777215|0|0|10|0|50|16777215|"},
        {prAddButtonImage, " 3 |$10|0x20||-4", "3|16|32|20|-4|0|0|10|0|50|16777215|"},
        {prAddButtonThumb, "1|2|3|4|5|6|7|8|9|10|11|12|extra", "1|2|3|4|5|6|7|8|9|10|11|12|extra|"},
        {prAddLogo, "12|left|", "12|0|0|0|0|0|0|255|0|"},
        {prAddMaskImage, "1|m.png|x|50|0|0|0|0|0|note", "1|m.png|0|50|0|0|0|0|0|note|"},
        {prCaptionFontT, "Verdana|2", "Verdana|2|0|0|0|8454143|0|16777215|"},
        {prTextHeader1, "a|b", "a|b"},
        {prSourceImage, "", ""},
    };
    for (const auto& [index, stored, complete] : cases)
        EXPECT_EQ(CompletePropertyRecord(index, stored), complete) << PropertyRecordKey(index) << " " << stored;
}

TEST(Fields, NumericFieldsConvertOrRaise)
{
    const std::string record = PropertyRecordDefault(prPagePropertiesIndex);
    EXPECT_EQ(StrToInt(GetField(0, record, 2)), 8421440);
    EXPECT_EQ(StrToInt(" -12"), -12);
    EXPECT_EQ(StrToInt("$FF"), 255);
    EXPECT_EQ(StrToInt("0xFFFFFFFF"), -1);
    EXPECT_EQ(StrToIntDef("", 7), 7);
    EXPECT_EQ(StrToIntDef("12 ", 7), 7);
    EXPECT_EQ(StrToIntDef("2147483648", 7), 7);
    // A short record gives an empty field, and converting it ends the command.
    try {
        StrToInt(GetField(0, "1|2", 9));
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'' is not a valid integer value");
    }
    EXPECT_THROW(StrToInt("abc"), EConvertError);
    EXPECT_THROW(StrToInt("-"), EConvertError);
}
