#pragma once
// The 33 property records: "|"-separated texts kept by fixed index, saved
// under their keys in section Others of the settings file.

#include <string>
#include <vector>

constexpr int PropertyRecordCount = 33;

// Index names, for readable call sites.
enum TPropertyRecordIndex : int {
    prSourceImage = 0,
    prPagePropertiesIndex,
    prPagePropertiesImage,
    prAddText,
    prAddLogo,
    prNothing1,
    prNothing2,
    prMoreTable,
    prCaptionFontT,
    prCaptionFontI,
    prEdit1,
    prEdit2,
    prEdit3,
    prFrameTFolder,
    prFrameIFolder,
    prLogoIFolder,
    prManualPaste,
    prUpload,
    prCurrentPage1,
    prCurrentPage2,
    prDropTargetXY,
    prTextHeader1,
    prTextFooter1,
    prTextHeader2,
    prTextFooter2,
    prAddFrameImage,
    prAddMaskImage,
    prAddButtonImage,
    prAddFrameThumb,
    prAddMaskThumb,
    prAddButtonThumb,
    prAddOutlineI,
    prAddOutlineT,
};

// The key of record index ("SourceImage" .. "AddOutlineT"). An index outside
// 0..32 raises EStringListError "List index out of bounds (<index>)".
const char* PropertyRecordKey(int index);
// The default text; records 0, 3, 13, 14 and 15 hold the program folder
// (platform/system ProgramFolder()).
std::string PropertyRecordDefault(int index);
// The index of a key (ignoring ASCII case), -1 when none.
int PropertyRecordIndexOf(const std::string& key);

// A text field may not hold "|": stored, every "|" becomes "%line" (the rule
// the page-number separator always had). Turn it back with UnescapeRecordField
// where the text is used.
std::string EscapeRecordField(const std::string& text);
std::string UnescapeRecordField(const std::string& text);
// Joins fields into a record, each escaped and followed by "|".
std::string MakePropertyRecord(const std::vector<std::string>& fields);
