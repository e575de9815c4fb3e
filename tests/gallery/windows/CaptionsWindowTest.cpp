// The captions of the main window and its dialogs byte for byte, and the
// shipped caption-position lists turned into pages.
#include "WindowTestSupport.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/windows/Pvu2.h"
#include "gallery/windows/pvu3.h"
#include "gallery/windows/pvu4.h"
#include "gallery/properties/pvu1.h"
#include "gallery/windows/pvu5.h"
#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "platform/strings/StringList.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QTreeWidget>

#include "raster/RasterView.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <tuple>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

const std::string DataFolder = std::string(PICTAVO_SOURCE_DIR) + "/data/";

struct CaptionCase {
    const char* component;
    const char* caption;
};

// Every caption of the main window that its users and its help name.
const CaptionCase MainWindowCaptions[] = {
    // File menu.
    {"StartCreate1", "Start Create"},
    {"CreateAll2", "Create All"},
    {"CreateThumbnail1", "Create Thumbnail"},
    {"CreateImage1", "Create Image"},
    {"CreateHTML1", "Create HTML"},
    {"PreviewInWebBrowser1", "Preview in web browser"},
    {"Upload1", "FTP Upload"},
    {"ManualPaste1", "Manual Paste"},
    {"New1", "&New"},
    {"Open1", "&Open"},
    {"Save1", "&Save"},
    {"Saveas1", "Save &as"},
    {"Exit1", "E&xit"},
    // Items menu.
    {"Newitems1", "New"},
    {"Open2", "Open"},
    {"Save2", "Save"},
    {"Adddirectory1", "Add (Directory)"},
    {"Addfiles1", "Add (files)"},
    {"AddDropTarget1", "Add (Drop Target)"},
    {"Delete1", "Delete"},
    {"Invert1", "Invert"},
    {"Selectall1", "Select all"},
    {"Deselectall1", "Deselect all"},
    {"Refresh1", "Refresh"},
    {"Sortby1", "Sort by"},
    {"Name1", "Name"},
    {"ExtName1", "Ext+Name"},
    {"PathName1", "Path+Name"},
    {"PathExtName1", "Path+Ext+Name"},
    {"DateTime1", "DateTime"},
    {"PathDateTime1", "Path+DateTime"},
    {"menuitem3", "Include subdirectories"},
    {"ViewOriginalImage1", "View original image"},
    {"View1", "View image"},
    {"ViewThumbnai1", "View thumbnail"},
    // Options menu.
    {"ListItems1", "List items"},
    {"Menuitem4", "Show Gridlines"},
    {"Menuitem5", "Mouse over"},
    {"Menuitem6", "Show Tooltips"},
    {"Overwritefiles1", "Overwrite files"},
    {"Replace1", "Replace"},
    {"Skip1", "Skip"},
    {"Ask1", "Ask"},
    {"SkipIfIdentical1", "Skip if identical"},
    {"Menuitem7", "Launch web browser after complete"},
    {"Menuitem8", "Keep original date"},
    {"menuitem10", "Replace forbidden character"},
    {"menuitem13", "Clear Destination Folder"},
    {"menuitem17", "Use image name when no description"},
    // Help menu, named after the product at start-up.
    {"PictavoHelp1", "Pictavo Help"},
    {"PictavoHomepage1", "Pictavo Homepage"},
    {"LicenseAgreement1", "License Agreement "},
    {"AboutPictavo1", "&About Pictavo"},
    // Drop-down of "Create All".
    {"Thumbnail1", "Create &Thumbnail"},
    {"Images1", "Create &Images"},
    {"HTMLPages1", "Create HTML &Pages"},
    {"ShowHTMLPage1", "Show HTML Page"},
    // The list's pop-up menu.
    {"Moveitemup1", "Move items up"},
    {"Moveitemdown1", "Move items down"},
    {"Moveitemtop1", "Move items top"},
    {"Moveitembottom1", "Move items bottom"},
    {"MenuItem12", "Move items to ..."},
    {"PlaceHere1", "Move items to here"},
    {"MenuItem15", "O&pen"},
    {"MenuItem16", "P&roperties"},
    // The template editors' pop-up menu, titled from the default editor records
    // (on the tests' desktop, which has no editors).
    {"EditWith1", "Edit with Web page editor"},
    {"EditWith2", "Edit with Text editor"},
    {"EditWith3", "Edit with "},
    {"CustomizeEditor1", "Customize editor"},
    // Tool bar and status bar.
    {"ToolButton1", "New items"},
    {"ToolButton2", "Add (Directory)"},
    {"ToolButton3", "Add (Files)"},
    {"ToolButton4", "Delete items"},
    {"ToolButton6all", "Create All"},
    {"ToolButton8", "Help"},
    {"Button14", "Stop"},
    // Pages.
    {"TabSheet1", "Source Images"},
    {"TabSheet2", "Destination"},
    {"TabSheet3", "Index pages"},
    {"TabSheet4", "Image pages"},
    {"TabSheet5", "Images"},
    // "Source Images" and "Destination".
    {"Button13", "Descrip&tion"},
    {"Label3", "&Save in Folder:"},
    {"Button8", "..."},
    {"Label8", "Change &case:"},
    {"Label9", "Base &URL:"},
    // "Index pages".
    {"Label11", "&Title page:"},
    {"Label12", "&Columns:"},
    {"Label13", "&Border:"},
    {"Label14", "Cell Pa&dding:"},
    {"Label15", "C&ell Spacing:"},
    {"Label16", "&Alignment:"},
    {"Label17", "Hyperlin&k to:"},
    {"CheckBox7", "Auto si&ze"},
    {"Label18", "Ca&ption:"},
    {"Label20", "&<Alt>"},
    // "Image pages".
    {"Label22", "&Title page:"},
    {"Label23", "&Border:"},
    {"Label24", "Ca&ption:"},
    {"Label26", "&<Alt>"},
    {"Label27", "Hyperlin&k:"},
    // "Images".
    {"GroupBox3", " Thumbnail "},
    {"GroupBox4", "Image"},
    {"Label29", "&X Colors:"},
    {"Label37", "&X Colors:"},
    {"CheckBox1", "Lock &dimension"},
    {"Label35", "&Border:"},
    {"CheckBox2", "Use Frame"},
    {"CheckBox3", "Resi&ze"},
    {"CheckBox4", "Use Frame"},
    {"CheckBox5", "Add Text"},
    {"CheckBox6", "Add Logo"},
};

struct ItemsCase {
    const char* combo;
    std::vector<std::string> items;
};

const ItemsCase MainWindowItems[] = {
    {"ComboBox10", {"Do not change", "lowercase", "UPPERCASE", "Title Case", "Sentence case", "tOGGLE cASE"}},
    {"ComboBox1", {"Rows", "# Thumbs", "Single Page"}},
    {"ComboBox2", {"Default", "Left", "Right", "Center", "Justify"}},
    {"ComboBox4", {"none", "Original image", "Image page"}},
    {"ComboBox7", {"JPG", "GIF"}},
    {"ComboBox8", {"JPG", "GIF"}},
    {"ComboBox6", {"Percent", "Pixel", "Crop"}},
    {"ComboBox19", {"both", "width", "height"}},
    {"ComboBox17", {"none", "Blur", "Sharpen", "Auto Contrast"}},
    {"ComboBox18", {"none", "Blur", "Sharpen", "Auto Contrast"}},
};

// The caption a component carries, whatever its kind; "?" for a kind without one.
std::string CaptionOf(TComponent* c)
{
    if (auto* m = dynamic_cast<TMenuItem*>(c)) return m->Caption();
    if (auto* l = dynamic_cast<TLabel*>(c)) return l->Caption();
    if (auto* b = dynamic_cast<TButton*>(c)) return b->Caption();
    if (auto* x = dynamic_cast<TCheckBox*>(c)) return x->Caption();
    if (auto* t = dynamic_cast<TToolButton*>(c)) return t->Caption();
    if (auto* s = dynamic_cast<TTabSheet*>(c)) return s->Caption;
    if (auto* r = dynamic_cast<TRadioButton*>(c)) return r->Caption();
    if (auto* g = dynamic_cast<TGroupBox*>(c)) return static_cast<QGroupBox*>(g->Widget())->title().toStdString();
    return "?";
}

TEST(Captions, EveryCaptionOfTheMainWindowStandsAsWritten)
{
    TempProgramFolder folder;
    TForm1 form;
    for (const auto& expected : MainWindowCaptions) {
        TComponent* c = form.FindComponent(expected.component);
        ASSERT_NE(c, nullptr) << expected.component;
        EXPECT_EQ(CaptionOf(c), expected.caption) << expected.component;
    }
    for (const auto& expected : MainWindowItems) {
        auto* combo = form.Find<TComboBox>(expected.combo);
        ASSERT_NE(combo, nullptr) << expected.combo;
        EXPECT_EQ(combo->Items().ToVector(), expected.items) << expected.combo;
    }
    // The tabs show the page captions; the list shows its two columns.
    auto* tabs = static_cast<QTabWidget*>(form.PageControl1->Widget());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(tabs->tabText(i).toStdString(), form.PageControl1->Page(i)->Caption);
    auto* header = static_cast<QTreeWidget*>(form.ListView1->Widget())->headerItem();
    EXPECT_EQ(header->text(0).toStdString(), "Name");
    EXPECT_EQ(header->text(1).toStdString(), "Folder");
    // The status bar of an empty list.
    EXPECT_EQ(form.StatusBar1->PanelText(0), "Total Pages: 0");
    EXPECT_EQ(form.StatusBar1->PanelText(1), "Total Items: 0 ");
    // "<Alt>" is shown as text: the accelerator mark is taken, the brackets stay.
    for (TLabel* alt : {form.Find<TLabel>("Label20"), form.Find<TLabel>("Label26")}) {
        auto* label = static_cast<QLabel*>(alt->Widget());
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->text().toStdString(), "<Alt>");
    }
    EXPECT_EQ(static_cast<QLabel*>(form.Find<TLabel>("Label14")->Widget())->text().toStdString(), "Cell Padding:");
}

// The captions of the description editor and the name prompt.
const CaptionCase EditorCaptions[] = {
    {"Label1", "&1:"},
    {"Label2", "&2:"},
    {"TabSheet1", "Description"},
    {"TabSheet2", "Adjust Image"},
    {"Label6", "Brightness:"},
    {"Label7", "Contrast:"},
    {"Label8", "Saturation:"},
    {"Label9", "Lightness:"},
    {"Label10", "JPEG Quality:"},
    {"Button7", "Apply"},
    {"Label3", "F4=Save     F9=First     F10=Prev     F11=Next     F12=Last"},
    {"Button1", "&Save"},
    {"Button2", "&Close"},
};
const CaptionCase PromptCaptions[] = {{"Label1", "Setting Name:"}, {"Button1", "OK"}, {"Button2", "Cancel"}};

TEST(Captions, TheDialogsCaptionsStandAsWritten)
{
    TempProgramFolder folder;
    TForm1 form;
    TForm4& editor = form.DescriptionEditor();
    TForm7 prompt(&form);
    for (auto [window, cases, count] :
         {std::tuple{static_cast<TForm*>(&editor), EditorCaptions, std::size(EditorCaptions)},
          std::tuple{static_cast<TForm*>(&prompt), PromptCaptions, std::size(PromptCaptions)}})
        for (std::size_t i = 0; i < count; ++i) {
            TComponent* c = window->FindComponent(cases[i].component);
            ASSERT_NE(c, nullptr) << cases[i].component;
            EXPECT_EQ(CaptionOf(c), cases[i].caption) << window->Name << " " << cases[i].component;
        }
    EXPECT_EQ(editor.Caption(), "Edit Description");
    EXPECT_EQ(editor.Button7->Widget()->toolTip().toStdString(), "Save modified image");
    EXPECT_EQ(prompt.Caption(), "Save Setting");
    EXPECT_FALSE(editor.SpinEdit4->Visible());  // gamma is never shown
    EXPECT_EQ(editor.SpinEdit1->Value(), 80);
    EXPECT_EQ(editor.SpinEdit1->MinValue(), 40);
    EXPECT_EQ(editor.SpinEdit1->MaxValue(), 100);
    for (TSpinEdit* s : {editor.SpinEdit2, editor.SpinEdit3, editor.SpinEdit5, editor.SpinEdit6})
        EXPECT_EQ(std::pair(s->MinValue(), s->MaxValue()), std::pair(-100, 100)) << s->Name;
    // The viewer keeps its mode in a hidden label and is black; the drop target's state is hidden.
    TForm3 viewer(form);
    EXPECT_FALSE(viewer.Label1->Visible());
    EXPECT_EQ(viewer.RasterView1->Color(), 0u);
    TForm6 target;
    for (TControl* c : std::initializer_list<TControl*>{target.Label1, target.Label2, target.ListBox1})
        EXPECT_FALSE(c->Visible()) << c->Name;
    EXPECT_EQ(form.AddDropTarget1->Action()->shortcut().toString().toStdString(), "Shift+Ins");
}

// The properties dialog: the captions its users, its help and its records name.
const CaptionCase PropertiesCaptions[] = {
    {"Button33", "&Help"},
    {"TabSheet1", "Page Properties"},
    {"TabSheet2", "Miscellenous"},
    {"TabSheet3", "Custom Tag"},
    {"CheckBox56", "Ba&ckground"},
    {"CheckBox57", "&Text"},
    {"CheckBox58", "&Links"},
    {"CheckBox59", "&Visited Links"},
    {"CheckBox60", "&Active Links"},
    {"Label96", "Text"},
    {"Label97", "Link"},
    {"Label98", "Visited Link"},
    {"Label99", "Active Link"},
    {"CheckBox62", "Background &Image"},
    {"CheckBox61", "Fixed"},
    {"CheckBox65", "&Top"},
    {"CheckBox66", "&Left"},
    {"CheckBox17", "Automatically load &next page"},
    {"CheckBox18", "Use &Frames Pages"},
    {"SpeedButton4", "Edit Banner"},
    {"CheckBox23", "&Header Text"},
    {"CheckBox24", "&Footer Text"},
    {"CheckBox14", "&Full Border"},
    {"CheckBox16", "&Exclude text in opacity"},
    {"TabSheet7", "Frame / Mask"},
    {"TabSheet8", "Buttonize"},
    {"TabSheet9", "Outline"},
    {"CheckBox21", "Use &Frame"},
    {"CheckBox22", "Use &Mask"},
    {"CheckBox20", "Invert"},
    {"CheckBox19", "Double"},
    {"CheckBox25", "Use &Outline"},
    {"TabSheet4", "Table Properties"},
    {"TabSheet5", "Cell Properties"},
    {"TabSheet6", "Picture Properties"},
    {"CheckBox2", "&Width:"},
    {"CheckBox5", "&Height:"},
    {"RadioButton1", "in Pixels"},
    {"RadioButton2", "in Percent"},
    {"RadioButton3", "in Pixels"},
    {"RadioButton4", "in Percent"},
    {"CheckBox1", "Highlight bord&er"},
    {"CheckBox3", "&Shadow border"},
    {"CheckBox7", "Heade&r"},
    {"CheckBox11", "No wra&p"},
    {"CheckBox8", "Borde&r Color:"},
    {"CheckBox6", "Highlight bord&er"},
    {"CheckBox4", "&Shadow border"},
    {"CheckBox9", "&Bold"},
    {"CheckBox12", "&Italic"},
    {"CheckBox10", "Fon&t color"},
    {"CheckBox13", "&Highlight"},
    {"Copy1", "Copy"},
    {"Pastewebcolor1", "Paste"},
    {"Add1", "Add Setting"},
    {"Delete1", "Delete Setting"},
    {"Rename1", "Rename Setting"},
};

const ItemsCase PropertiesItems[] = {
    {"ComboBox30", {"_self", "_top", "_blank", "_parent"}},
    {"ComboBox21", {"Default", "Invisible", "Visible"}},
    {"ComboBox8", {"Stop", "Loop", "go to index page"}},
    {"ComboBox16", {"None", "Step", "Number of Line"}},
    {"ComboBox4",
     {"Top Left", "Top Center", "Top Right", "Center Left", "Center", "Center Right", "Bottom Left", "Bottom Center",
      "Bottom Right"}},
    {"ComboBox5",
     {"Top Left", "Top Center", "Top Right", "Center Left", "Center", "Center Right", "Bottom Left", "Bottom Center",
      "Bottom Right"}},
    {"ComboBox22", {"none", "vertical", "horizontal"}},
    {"ComboBox20", {"none", "vertical", "horizontal"}},
    {"ComboBox17", {"None", "Color", "Image"}},
    {"ComboBox12", {"Default", "Width", "Height"}},
    {"ComboBox19", {"Color", "Image"}},
    {"ComboBox14", {"None", "Flat", "Button", "Fades"}},
    {"ComboBox3", {"none", "color", "image"}},
    {"ComboBox1", {"none", "color", "image"}},
    {"ComboBox9", {"Default", "Left", "Right", "Center", "Justify"}},
    {"ComboBox10", {"Default", "Top", "Middle", "Baseline", "Bottom"}},
    {"ComboBox15",
     {"Default", "Left", "Right", "Top", "Texttop", "Middle", "Absmiddle", "Baseline", "Bottom", "Absbottom",
      "Center"}},
    {"ComboBox2", {"Normal", "1 (8 pt)", "2 (10 pt)", "3 (12 pt)", "4 (14 pt)", "5 (18 pt)", "6 (24 pt)", "7 (36 pt)"}},
};

// The label placed just before a control on its page.
std::string LabelBefore(TForm2& dialog, const char* control)
{
    QWidget* target = dialog.Find<TControl>(control)->Widget();
    std::string caption;
    for (QObject* sibling : target->parentWidget()->children()) {
        if (sibling == target) break;
        if (auto* label = qobject_cast<QLabel*>(sibling)) caption = label->text().toStdString();
    }
    return caption;
}

TEST(Captions, ThePropertiesDialogsCaptionsStandAsWritten)
{
    TempProgramFolder folder;
    TForm1 form;
    TForm2 dialog(&form);
    for (const auto& expected : PropertiesCaptions) {
        TComponent* c = dialog.FindComponent(expected.component);
        ASSERT_NE(c, nullptr) << expected.component;
        EXPECT_EQ(CaptionOf(c), expected.caption) << expected.component;
    }
    for (const auto& expected : PropertiesItems) {
        auto* combo = dialog.Find<TComboBox>(expected.combo);
        ASSERT_NE(combo, nullptr) << expected.combo;
        EXPECT_EQ(combo->Items().ToVector(), expected.items) << expected.combo;
    }
    EXPECT_EQ(dialog.Notebook1->PageCount(), 11);
    // The kinds: the caption, page and outer size each property button opens.
    const std::tuple<const char*, const char*, int> kinds[] = {{"button2", "Set page properties (index)", 0},
                                                               {"button3", "Set page properties (image)", 0},
                                                               {"button6", "Add Text", 1},
                                                               {"button7", "Add Logo", 2},
                                                               {"button5", "Use Frame (image)", 3},
                                                               {"button4", "Use Frame (thumbnail)", 3},
                                                               {"button1", "Set Table Properties", 4},
                                                               {"button12", "Set Font Properties (index)", 8},
                                                               {"button9", "Set Font Properties (image)", 8},
                                                               {"customizeeditor1", "Customize Editor", 10}};
    for (int kind = 0; kind < PropertyKindCount; ++kind) {
        const TPropertyKindInfo& info = PropertyKindInfo(kind);
        EXPECT_EQ(info.Sender, std::string(std::get<0>(kinds[kind])));
        EXPECT_EQ(info.Caption, std::string(std::get<1>(kinds[kind])));
        EXPECT_EQ(info.Page, std::get<2>(kinds[kind]));
        dialog.TransferPageProperties(form, kind);
        EXPECT_EQ(dialog.Caption(), info.Caption);
        EXPECT_EQ(dialog.Button33->Visible(), kind != pkEditors) << kind;
    }
    // The stamp's offsets say which way they move it; the logo's keep their names.
    EXPECT_EQ(LabelBefore(dialog, "SpinEdit3"), "Vertical offset:");
    EXPECT_EQ(LabelBefore(dialog, "SpinEdit5"), "Horizontal offset:");
    EXPECT_EQ(LabelBefore(dialog, "SpinEdit1"), "X offset:");
    EXPECT_EQ(LabelBefore(dialog, "SpinEdit2"), "Y offset:");
    EXPECT_EQ(dialog.SpeedButton1->Widget()->toolTip().toStdString(), "Set font, color and size");
    // The hidden state and the hidden mask fields.
    for (const char* hidden : {"ListBox1", "Label48", "Label62", "Label74", "Label75", "Edit10", "Edit17", "CheckBox15",
                               "ComboBox19", "Edit9", "SpinEdit28", "SpinEdit29"})
        EXPECT_FALSE(dialog.Find<TControl>(hidden)->Visible()) << hidden;
}

// ---------------------------------------------------------------------------
// Shipped caption-position lists

std::vector<std::string> ListLines(const std::string& name)
{
    TStringList list;
    list.LoadFromFile(DataFolder + name);
    std::vector<std::string> lines;
    for (const auto& line : list) lines.push_back(line);
    return lines;
}

class ShippedCaptionLines : public ShippedDataTest {
protected:
    void SetUp() override
    {
        form->ComboBox4->SetItemIndex(2);  // thumbnails link to the image pages
        form->ComboBox6->SetItemIndex(1);  // thumbnail sizes in pixels
        form->SpinEdit6->SetValue(120);
        form->SpinEdit7->SetValue(90);
        for (int i = 0; i < 3; ++i) {
            const std::string source = folder.Path() + "src/p" + std::to_string(i + 1) + ".jpg";
            WriteFile(source, "x");
            form->ListView1->Add(TForm1::MakeSourceItem(source));
            form->ListBox2->Items().Add("i" + std::to_string(i + 1) + ".jpg|640|480|0");
            form->ListBox2->Items().Add("t" + std::to_string(i + 1) + ".jpg|120|90|0");
        }
    }

    // Writes the index pages and the image pages with the shipped templates.
    void WriteAllPages()
    {
        const int items = form->ListView1->Count();
        int pages = 0, remainder = 0;
        NamePages(pages, remainder);
        form->WritePages(0, pages, folder.File("indexpg/classic.htm"), remainder);
        form->WritePages(1, items, folder.File("imagepg/classic.htm"));
    }
};

TEST_F(ShippedCaptionLines, FirstLinesKeepTheirPlacesAndEveryLineHoldsThePicture)
{
    const auto index = ListLines("pvcapt.pv");
    const auto image = ListLines("pvcapi.pv");
    // Stored settings and the golden pages refer to these by index.
    ASSERT_GE(index.size(), 8u);
    ASSERT_GE(image.size(), 5u);
    EXPECT_EQ(index[0], "Caption above the thumbnail|%caption<br>%file");
    EXPECT_EQ(index[1], "Caption below the thumbnail|%file<br>%caption");
    EXPECT_EQ(index[4], "Thumbnail only|%file");
    EXPECT_EQ(image[0], "Caption above the image|%caption<br>%file");
    EXPECT_EQ(image[1], "Caption below the image|%file<br>%caption");
    EXPECT_EQ(image[4], "Image only|%file");
    bool sized = false;
    for (const auto& lines : {index, image})
        for (const auto& line : lines) {
            const auto bar = line.find('|');
            ASSERT_NE(bar, std::string::npos) << line;
            EXPECT_NE(AsciiLower(line.substr(bar + 1)).find("%file"), std::string::npos) << line;
            if (line.find("%thumbwidth") != std::string::npos && line.find("%thumbheight") != std::string::npos)
                sized = true;
        }
    EXPECT_TRUE(sized);
    // The window offers every line by its name.
    EXPECT_EQ(form->ComboBox9->Items().Count(), static_cast<int>(index.size()));
    EXPECT_EQ(form->ComboBox14->Items().Count(), static_cast<int>(image.size()));
}

TEST_F(ShippedCaptionLines, EveryLineGivesValidPagesAndTheThumbnailSizeFillsTheBox)
{
    ASSERT_EQ(std::system("tidy -v >/dev/null 2>&1"), 0) << "tidy is not installed";
    const int indexLines = form->ComboBox9->Items().Count();
    const int imageLines = form->ComboBox14->Items().Count();
    ASSERT_GT(indexLines, 0);
    for (int position = 0; position < std::max(indexLines, imageLines); ++position) {
        SCOPED_TRACE(position);
        form->ComboBox9->SetItemIndex(std::min(position, indexLines - 1));
        form->ComboBox14->SetItemIndex(std::min(position, imageLines - 1));
        WriteAllPages();
        for (const char* name : {"index1.html", "image02.htm"}) {
            const std::string page = ReadFile(destination + name);
            ASSERT_FALSE(page.empty()) << name;
            for (const char* v : {"%thumbwidth", "%thumbheight", "%file", "%caption"})
                EXPECT_EQ(AsciiLower(page).find(v), std::string::npos) << name << ": " << v;
            std::string output;
            const int rc = RunTidy(destination + name, output);
            EXPECT_TRUE(rc == 0 || rc == 1) << name << "\n" << output;
            EXPECT_EQ(output.find("Error:"), std::string::npos) << name << "\n" << output;
        }
        const std::string line = form->ComboBox9->Items()[form->ComboBox9->ItemIndex()];
        if (line.find("fixed-size box") != std::string::npos) {
            const std::string index = ReadFile(destination + "index1.html");
            EXPECT_NE(
                index.find("<td width=\"120\" height=\"90\" align=\"center\" valign=\"middle\"><a href=\"image01.htm\">"
                           "<img src=\"t1.jpg\""),
                std::string::npos)
                << index;
        }
    }
}

}  // namespace
