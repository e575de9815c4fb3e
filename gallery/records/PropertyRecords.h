#pragma once
// The 33 property records: "|"-separated texts kept by fixed index, saved
// under their keys in section Others of the settings file.

#include <initializer_list>
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

// ---------------------------------------------------------------------------
// Field numbers, from 1 as GetField counts them. Booleans are "1"/"0",
// colours decimal 0x00BBGGRR numbers, files full paths or names relative to
// the folder the reader names.

// Record 0 SourceImage.
namespace SourceImageField {
enum : int { Folder = 1 };  // the folder "Add (Directory)" and "Add (files)" last used
}

// Records 1 PagePropertiesIndex and 2 PagePropertiesImage (image pages write
// FramesOn .. FrameTemplate empty and never read them).
namespace PageField {
enum : int {
    BackgroundColorOn = 1,
    BackgroundColor,
    TextColorOn,
    TextColor,
    LinkColorOn,
    LinkColor,
    VisitedLinkColorOn,
    VisitedLinkColor,
    ActiveLinkColorOn,
    ActiveLinkColor,
    BackgroundImageOn,
    BackgroundFixed,
    BackgroundImageFile,
    TopMarginOn,
    TopMargin,
    LeftMarginOn,
    LeftMargin,
    BaseTarget,           // default target frame
    PageNumberText,       // the label of "%pageno"
    PageNumberSeparator,  // "|" stored as "%line"
    EndLinks,             // TEndLinks
    AutoRefresh,          // load the next page automatically
    RefreshDelay,         // seconds
    AfterLastPage,        // TAfterLastPage
    FramesOn,             // frame page on
    FramePageFile,        // the frame page's output name
    FrameTemplate,        // the frame template's name in framepg/
    BannerMode,           // TBannerMode
    BannerStep,           // step, or the line of "Number of Line"
    HeaderOn,
    FooterOn,
    Count = FooterOn
};
}
enum TEndLinks : int { elDefault = 0, elInvisible = 1, elVisible = 2 };
enum TAfterLastPage : int { alStop = 0, alLoop = 1, alIndexPage = 2 };
enum TBannerMode : int { bnNone = 0, bnStep = 1, bnNumberOfLine = 2 };

// Record 3 AddText: the stamp's font and text, then its placement and panel.
namespace TextField {
enum : int {
    FontName = 1,
    FontStyle,  // letters "b", "i", "u", "s"
    FontSize,
    FontSizeAgain,  // written, never read
    FontColor,
    Text,
    Position,      // 0..8, Top Left .. Bottom Right
    XOffset,       // labelled "X offset", added to the vertical coordinate
    YOffset,       // labelled "Y offset", added to the horizontal coordinate
    Transparency,  // 0..300
    Rotation,      // degrees, -360..360
    Mirror,        // TMirror (pvutilsPictures.h)
    Background,    // TStampBackground
    AlwaysZero,    // always "0", not read
    GradientColor1,
    GradientColor2,
    GradientColor3,
    GradientColor4,
    FullBorder,  // the panel spans the image
    BackgroundFile,
    BackgroundTransparentColor,
    ExcludeTextFromOpacity,  // 1: the font colour is the opaque key; else the value is
    Smoothing,               // kept, not read
    HorizontalMargin,        // spacing around the text
    VerticalMargin,
    ConstantTail,               // fields ConstantTail .. Count hold "255|0|255|255|"
    SecondTransparentKey = 28,  // the blend's second transparent key (255)
    Count = 29
};
}
enum TStampBackground : int { sbNone = 0, sbGradient = 1, sbPicture = 2 };

// Record 4 AddLogo.
namespace LogoField {
enum : int {
    File = 1,
    Position,
    XOffset,  // horizontal
    YOffset,  // vertical
    Transparency,
    Rotation,
    Mirror,  // TMirror (pvutilsPictures.h)
    TransparentColor,
    FullBorder,  // TLogoFullBorder
    Count = FullBorder
};
}
enum TLogoFullBorder : int { lbDefault = 0, lbWidth = 1, lbHeight = 2 };

// Record 7 MoreTable: the thumbnail table of index pages.
namespace TableField {
enum : int {
    WidthOn = 1,
    Width,
    WidthInPercent,  // "1" percent, "0" pixels
    HeightOn,
    Height,
    HeightInPercent,
    Background,  // TTableBackground
    BackgroundColor,
    BackgroundFile,
    TableAttributes,  // free text for the table tag
    RowAttributes,    // free text, not written by the page writer
    HighlightBorderOn,
    HighlightBorderColor,
    ShadowBorderOn,
    ShadowBorderColor,
    CellAlign,   // "Default", "Left", "Right", "Center", "Justify"
    CellVAlign,  // "Default", "Top", "Middle", "Baseline", "Bottom"
    HeaderCells,
    NoWrap,
    CellAttributes,  // free text for the cell tag
    CellBackground,  // TTableBackground
    CellBackgroundColor,
    CellBackgroundFile,
    CellBorderColorOn,
    CellBorderColor,
    CellHighlightBorderOn,
    CellHighlightBorderColor,
    CellShadowBorderOn,
    CellShadowBorderColor,
    PictureAlign,   // "Default", "Left", ... "Center"
    PictureHSpace,  // the dialog labels it vertical spacing
    PictureVSpace,  // the dialog labels it horizontal spacing
    Count = PictureVSpace
};
}
enum TTableBackground : int { tbNone = 0, tbColor = 1, tbPicture = 2 };

// Records 8 CaptionFontT and 9 CaptionFontI.
namespace CaptionFontField {
enum : int {
    Face = 1,
    SizeIndex,  // 0 "Normal", 1..7 the HTML font sizes
    Bold,
    Italic,
    ColorOn,
    Color,
    HighlightOn,
    HighlightColor,
    Count = HighlightColor
};
}

// Records 10 Edit1, 11 Edit2 and 12 Edit3: the external editors.
namespace EditorField {
enum : int { Title = 1, Program, Count = Program };
}

// Record 16 ManualPaste.
namespace ManualPasteField {
enum : int { Text1 = 1, Text2, Text3, Text4, Text5, PathMode, Count = PathMode };  // PathMode: 0 full path, 1 name only
}

// Record 17 Upload. The default has a seventh field, a web address, which
// the first confirmed upload dialog drops.
namespace UploadField {
enum : int { Host = 1, Port, Timeout, User, Password, RemoteFolder, WebAddress };
}

// Records 18 CurrentPage1 and 19 CurrentPage2: the tabs the properties dialog last showed.
namespace CurrentPageField {
enum : int { PageTab = 1, DecorationTab, TableTab, Count = TableTab };
}

// Record 20 DropTargetXY.
namespace DropTargetField {
enum : int { Left = 1, Top, Count = Top };
}

// Records 25 AddFrameImage and 28 AddFrameThumb: the frame picture.
namespace FrameField {
enum : int {
    On = 1,
    File,
    Transparency,  // 0..100
    TransparentColor,
    ExpandWidth,  // 0..100 pixels on each side
    ExpandHeight,
    Count = ExpandHeight
};
}

// Records 26 AddMaskImage and 29 AddMaskThumb: the masked overlay.
namespace MaskField {
enum : int {
    On = 1,
    File,
    Transparency,    // brightening of the mask, 0..100
    Scale,           // percent
    BackgroundKind,  // 0 colour, 1 image; the dialog always stores 0
    BackgroundColor,
    Invert,
    Extra1,  // hidden, -360..360, not used
    Extra2,
    ExtraText,  // hidden text, read and not used
    Count = ExtraText
};
}

// Records 27 AddButtonImage and 30 AddButtonThumb: the bevel.
namespace BevelField {
enum : int {
    Shape = 1,  // TBevelShape
    Width,
    Margin,
    Transparency,  // 0..100
    HighlightColor,
    ShadowColor,
    Double,
    Spacing,  // to the second frame
    SecondTransparency,
    TransparencyBetween,
    ColorBetween,
    Count = ColorBetween
};
}
enum TBevelShape : int { bsNone = 0, bsFlat = 1, bsButton = 2, bsFades = 3 };

// Records 31 AddOutlineI and 32 AddOutlineT.
namespace OutlineField {
enum : int {
    On = 1,
    File,
    Transparency,  // 0..100
    TransparentColor,
    Width,  // 0..100; 0 takes the picture's height
    Count = Width
};
}

// The per-item result lines of a build (the main window's ListBox2): line 2j
// is item j's image copy, line 2j + 1 its thumbnail.
namespace ResultField {
enum : int { Name = 1, Width, Height, Colours };
}

// The key of record index ("SourceImage" .. "AddOutlineT"). An index outside
// 0..32 raises EStringListError "List index out of bounds (<index>)".
const char* PropertyRecordKey(int index);
// The default text; records 0, 3, 13, 14 and 15 hold the program folder
// (platform/system ProgramFolder()). The editors 10 and 11 are the desktop's
// web-page editor and text editor (platform/shell FindDesktopProgram; else
// xdg-open for web pages, $VISUAL or $EDITOR for text), as "title|program|".
std::string PropertyRecordDefault(int index);
// A record as read from a settings file, with the Windows editors that the
// defaults of records 10 and 11 once named replaced by today's defaults.
std::string UpgradedPropertyRecord(int index, const std::string& stored);
// The index of a key (ignoring ASCII case), -1 when none.
int PropertyRecordIndexOf(const std::string& key);

// Field n of a record with its trailing blanks removed (GetField mode 0) is
// "1" (a flag that is on), or the number as written.
bool FieldIsOn(const std::string& record, int n);
bool FieldEquals(const std::string& record, int n, int value);

// A text field may not hold "|": stored, every "|" becomes "%line" (the rule
// the page-number separator always had). Turn it back with UnescapeRecordField
// where the text is used.
std::string EscapeRecordField(const std::string& text);
std::string UnescapeRecordField(const std::string& text);
// Text field n of a record as pages, files and programs use it (GetField of
// the mode, then "%line" back to "|"): the one way a text leaves a record.
std::string RecordText(int mode, const std::string& record, int n);

// The record of an index as its readers may take it apart: every field the
// record lacks, and every number field (one whose default is a number) that
// does not read as a number, is the default record's field; numbers are
// written plainly (decimal, no blanks). So a short or damaged record never
// stops a build: it gets the defaults the properties dialog would show.
// Records of one text (folders, headers, footers) come back unchanged.
std::string CompletePropertyRecord(int index, const std::string& record);
// A stored "|"-separated text (a record, a profile line) with each field that
// is not valid UTF-8 taken as Windows-1252 and made UTF-8, except the fields
// listed (from 1), which pass byte for byte. The "|"s stay where they were.
std::string StoredFieldsToUtf8(const std::string& text, std::initializer_list<int> keptFields);
// A record as a settings file holds it, its texts made UTF-8 field by field.
// Its names pass byte for byte: folders, picture, page and program files, the
// remote folder; so do the FTP user and password, the bytes the server checks.
std::string StoredPropertyRecord(int index, const std::string& stored);
// Joins fields into a record, each escaped and followed by "|".
std::string MakePropertyRecord(const std::vector<std::string>& fields);
