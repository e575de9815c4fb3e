// Construction of the properties dialog: the notebook and its eleven pages
// (the stamp and decoration pages are built in pvu1PagesDecorations.cpp).
#include "gallery/properties/pvu1.h"
#include "gallery/properties/pvu1PageLayout.h"

#include "raster/RasterView.h"
#include "widgets/FontCombos.h"

#include <QLabel>
#include <QStyle>
#include <QToolButton>

using namespace dialog_layout;

namespace {

const std::vector<std::string> Backgrounds{"none", "color", "image"};

}  // namespace

// Labels the records never name are numbered from 100 on.
TLabel* TForm2::AddLabel(QWidget* parent, const std::string& text, int x, int y, int w)
{
    TLabel* label = Make<TLabel>("Label" + std::to_string(nextLabel_++), parent, text);
    label->SetBounds(x, y + 3, w, 16);
    return label;
}

TPanel* TForm2::ColorPanel(const std::string& name, QWidget* parent, int x, int y, int w, int h)
{
    TPanel* panel = Make<TPanel>(name, parent);
    panel->SetBevel(true);
    panel->SetColor(0);
    Place(panel, x, y, w, h);
    panel->ClickOnRelease();
    panel->OnClick = [this](TComponent* s) { Panel11Click(s); };
    // Copy and Paste of the colour as text.
    panel->Widget()->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(panel->Widget(), &QWidget::customContextMenuRequested, panel->Widget(), [this, panel](QPoint p) {
        Label75->SetCaption(panel->Name);
        const QPoint at = panel->Widget()->mapToGlobal(p);
        PopupMenu1->Popup(at.x(), at.y());
    });
    return panel;
}

void TForm2::AddOkCancel(QWidget* page, const std::string& okName, const std::string& cancelName, int x, int y,
                         bool column)
{
    auto* ok = Make<TButton>(okName, page, "OK");
    Place(ok, x, y, 75, 25);
    ok->SetDefault(true);
    ok->OnClick = [this](TComponent*) {
        ModalResult = TModal::Ok;
        Close();
    };
    auto* cancel = Make<TButton>(cancelName, page, "Cancel");
    cancel->SetCancel(true);
    cancel->OnClick = [this](TComponent*) {
        ModalResult = TModal::Cancel;
        Close();
    };
    // A right-hand column stacks the buttons; a bottom row puts them side by side.
    if (column)
        Place(cancel, x, y + 32, 75, 25);
    else
        Place(cancel, x + 80, y, 75, 25);
}

void TForm2::BuildFrame()
{
    QWidget* client = Client();
    Notebook1 = Make<TNotebook>("Notebook1", client);
    Button33 = Make<TButton>("Button33", client, "&Help");
    Button33->OnClick = [this](TComponent* s) { Button33Click(s); };

    // Hidden state shared by the handlers.
    ListBox1 = Make<TListBox>("ListBox1", client);
    Label48 = Make<TLabel>("Label48", client);
    Label62 = Make<TLabel>("Label62", client);
    Label74 = Make<TLabel>("Label74", client);
    Label75 = Make<TLabel>("Label75", client);
    Edit10 = Make<TEdit>("Edit10", client);
    Edit17 = Make<TEdit>("Edit17", client);
    for (TControl* c : std::initializer_list<TControl*>{ListBox1, Label48, Label62, Label74, Label75, Edit10, Edit17})
        c->SetVisible(false);

    PopupMenu1 = Make<TPopupMenu>("PopupMenu1", client);
    Copy1 = PopupMenu1->Add("Copy1", "Copy");
    Pastewebcolor1 = PopupMenu1->Add("Pastewebcolor1", "Paste");
    PopupMenu2 = Make<TPopupMenu>("PopupMenu2", client);
    Add1 = PopupMenu2->Add("Add1", "Add Setting");
    Add1->SetShortCut("Ins");
    Delete1 = PopupMenu2->Add("Delete1", "Delete Setting");
    Delete1->SetShortCut("Del");
    Rename1 = PopupMenu2->Add("Rename1", "Rename Setting");
    Rename1->SetShortCut("F6");
    PopupMenu3 = Make<TPopupMenu>("PopupMenu3", client);
    MenuItem1 = PopupMenu3->Add("MenuItem1", "Edit with ");
    MenuItem1->Tag = 20;
    MenuItem2 = PopupMenu3->Add("MenuItem2", "Edit with ");
    MenuItem2->Tag = 21;
    MenuItem9 = PopupMenu3->Add("MenuItem9", "Edit with ");
    MenuItem9->Tag = 22;

    QWidget* pages[PropertyPageCount];
    for (QWidget*& page : pages) page = Notebook1->AddPage();
    BuildPagePropertiesPage(pages[ppPageProperties]);
    BuildTextStampPage(pages[ppTextStamp]);
    BuildLogoPage(pages[ppLogo]);
    BuildDecorationsPage(pages[ppDecorations]);
    BuildTablePage(pages[ppTable]);
    BuildBannerPage(pages[ppBanner]);
    BuildAboutPage(pages[ppAbout]);
    BuildCaptionFontPage(pages[ppCaptionFont]);
    BuildColorPickerPage(pages[ppColorPicker]);
    BuildEditorsPage(pages[ppEditors]);
}

// A settings-template list; its context menu adds, deletes and renames templates.
TComboBox* TForm2::TemplateList(const std::string& name, QWidget* parent, int x, int y, int w)
{
    TComboBox* list = Make<TComboBox>(name, parent, false, true);
    Place(list, x, y, w);
    list->SetHint("Settings");
    list->Widget()->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(list->Widget(), &QWidget::customContextMenuRequested, list->Widget(), [this, list](QPoint p) {
        const QPoint at = list->Widget()->mapToGlobal(p);
        PopupMenu2->Popup(at.x(), at.y());
    });
    return list;
}

void TForm2::BuildPagePropertiesPage(QWidget* page)
{
    PageControl1 = Make<TPageControl>("PageControl1", page);
    Place(PageControl1, 4, 4, 392, 322);
    BuildPageColorsTab(PageControl1->AddPage("TabSheet1", "Page Properties")->Widget());
    BuildMiscellaneousTab(PageControl1->AddPage("TabSheet2", "Miscellenous")->Widget());
    BuildCustomTagTab(PageControl1->AddPage("TabSheet3", "Custom Tag")->Widget());
    AddOkCancel(page, "BitBtn1", "BitBtn2", 404, 32, true);
    AddLabel(page, "Settings:", 404, 140, 75);
    ComboBox18 = TemplateList("ComboBox18", page, 404, 160, 75);
}

void TForm2::BuildPageColorsTab(QWidget* tab)
{
    struct ColourRow {
        TCheckBox*& check;
        TPanel*& panel;
        const char *checkName, *panelName, *caption;
    };
    const ColourRow rows[] = {{CheckBox56, Panel28, "CheckBox56", "Panel28", "Ba&ckground"},
                              {CheckBox57, Panel27, "CheckBox57", "Panel27", "&Text"},
                              {CheckBox58, Panel26, "CheckBox58", "Panel26", "&Links"},
                              {CheckBox59, Panel25, "CheckBox59", "Panel25", "&Visited Links"},
                              {CheckBox60, Panel24, "CheckBox60", "Panel24", "&Active Links"}};
    int y = 8;
    for (const ColourRow& r : rows) {
        r.check = Make<TCheckBox>(r.checkName, tab, r.caption);
        Place(r.check, 8, y, 118);
        r.panel = ColorPanel(r.panelName, tab, 128, y, 40, 20);
        y += 26;
    }
    // The sample: the page background with its four text colours.
    Panel29 = ColorPanel("Panel29", tab, 180, 8, 196, 124);
    struct Sample {
        TLabel*& label;
        const char *name, *caption;
    };
    const Sample samples[] = {{Label96, "Label96", "Text"},
                              {Label97, "Label97", "Link"},
                              {Label98, "Label98", "Visited Link"},
                              {Label99, "Label99", "Active Link"}};
    int sy = 12;
    for (const Sample& s : samples) {
        s.label = Make<TLabel>(s.name, Panel29->Widget(), s.caption);
        Place(s.label, 14, sy, 170, 20);
        s.label->ClickOnRelease();
        s.label->OnClick = [this](TComponent* c) { Panel11Click(c); };
        sy += 26;
    }
    y += 6;
    CheckBox62 = Make<TCheckBox>("CheckBox62", tab, "Background &Image");
    Place(CheckBox62, 8, y, 160);
    CheckBox61 = Make<TCheckBox>("CheckBox61", tab, "Fixed");
    Place(CheckBox61, 180, y, 90);
    y += 24;
    Edit50 = Make<TEdit>("Edit50", tab);
    Place(Edit50, 8, y, 338);
    Button22 = Make<TButton>("Button22", tab, "...");
    Place(Button22, 350, y, 26);
    y += 32;
    AddLabel(tab, "Margins:", 8, y, 60);
    CheckBox65 = Make<TCheckBox>("CheckBox65", tab, "&Top");
    Place(CheckBox65, 72, y, 60);
    SpinEdit20 = Make<TSpinEdit>("SpinEdit20", tab, 0, 10000);
    Place(SpinEdit20, 134, y, 70);
    CheckBox66 = Make<TCheckBox>("CheckBox66", tab, "&Left");
    Place(CheckBox66, 224, y, 60);
    SpinEdit21 = Make<TSpinEdit>("SpinEdit21", tab, 0, 10000);
    Place(SpinEdit21, 286, y, 70);
    y += 32;
    AddLabel(tab, "Default target frame:", 8, y, 150);
    ComboBox30 = Make<TComboBox>("ComboBox30", tab, true);
    ComboBox30->Items().Assign({"_self", "_top", "_blank", "_parent"});
    Place(ComboBox30, 160, y, 140);
}

void TForm2::BuildMiscellaneousTab(QWidget* tab)
{
    int y = 8;
    AddLabel(tab, "Page number text:", 8, y, 162);
    Edit3 = Make<TEdit>("Edit3", tab);
    Place(Edit3, 172, y, 110);
    y += 26;
    AddLabel(tab, "Page number separator:", 8, y, 162);
    Edit4 = Make<TEdit>("Edit4", tab);
    Place(Edit4, 172, y, 60);
    y += 26;
    AddLabel(tab, "End links:", 8, y, 162);
    ComboBox21 = Make<TComboBox>("ComboBox21", tab, false);
    ComboBox21->Items().Assign({"Default", "Invisible", "Visible"});
    Place(ComboBox21, 172, y, 120);
    y += 28;
    CheckBox17 = Make<TCheckBox>("CheckBox17", tab, "Automatically load &next page");
    Place(CheckBox17, 8, y, 300);
    y += 24;
    AddLabel(tab, "Delay (seconds):", 26, y, 144);
    SpinEdit16 = Make<TSpinEdit>("SpinEdit16", tab, 0, 10000);
    Place(SpinEdit16, 172, y, 70);
    y += 26;
    AddLabel(tab, "After the last page:", 26, y, 144);
    ComboBox8 = Make<TComboBox>("ComboBox8", tab, false);
    ComboBox8->Items().Assign({"Stop", "Loop", "go to index page"});
    Place(ComboBox8, 172, y, 150);
    y += 30;
    GroupBox6 = Make<TGroupBox>("GroupBox6", tab, "Frames");
    Place(GroupBox6, 8, y, 368, 78);
    QWidget* g = GroupBox6->Widget();
    CheckBox18 = Make<TCheckBox>("CheckBox18", g, "Use &Frames Pages");
    Place(CheckBox18, 8, 20, 150);
    Edit5 = Make<TEdit>("Edit5", g);
    Place(Edit5, 160, 20, 200);
    AddLabel(g, "Template:", 8, 48, 70);
    ComboBox11 = Make<TComboBox>("ComboBox11", g, false);
    Place(ComboBox11, 80, 48, 180);
    ToolButton9 = Make<TToolButton>("ToolButton9", new QToolButton(g), "Edit");
    Place(ToolButton9, 266, 48, 94);
    ToolButton9->Tag = 2;
    ToolButton9->SetDropdownMenu(PopupMenu3);
    y += 88;
    // The banner row moves up into the frames group's place where that is hidden.
    bannerRow_ = new QWidget(tab);  // owned by the tab
    bannerRow_->setGeometry(0, y - 1, 384, 26);
    AddLabel(bannerRow_, "Banner:", 8, 1, 60);
    ComboBox16 = Make<TComboBox>("ComboBox16", bannerRow_, false);
    ComboBox16->Items().Assign({"None", "Step", "Number of Line"});
    Place(ComboBox16, 70, 1, 130);
    SpinEdit23 = Make<TSpinEdit>("SpinEdit23", bannerRow_, 1, 10000);
    Place(SpinEdit23, 206, 1, 70);
    SpeedButton4 = Make<TButton>("SpeedButton4", bannerRow_, "Edit Banner");
    Place(SpeedButton4, 282, 0, 94, 25);
}

void TForm2::BuildCustomTagTab(QWidget* tab)
{
    CheckBox23 = Make<TCheckBox>("CheckBox23", tab, "&Header Text");
    Place(CheckBox23, 8, 8, 200);
    Edit11 = Make<TEdit>("Edit11", tab);
    Place(Edit11, 8, 32, 300);
    SpeedButton2 = Make<TButton>("SpeedButton2", tab, "Preview");
    Place(SpeedButton2, 312, 31, 64, 25);
    CheckBox24 = Make<TCheckBox>("CheckBox24", tab, "&Footer Text");
    Place(CheckBox24, 8, 72, 200);
    Edit24 = Make<TEdit>("Edit24", tab);
    Place(Edit24, 8, 96, 300);
    SpeedButton3 = Make<TButton>("SpeedButton3", tab, "Preview");
    Place(SpeedButton3, 312, 95, 64, 25);
    for (TButton* b : {SpeedButton2, SpeedButton3}) b->SetHint("Preview in web browser");
}

void TForm2::BuildTablePage(QWidget* page)
{
    PageControl2 = Make<TPageControl>("PageControl2", page);
    Place(PageControl2, 4, 4, 368, 220);
    BuildTableTab(PageControl2->AddPage("TabSheet4", "Table Properties")->Widget());
    BuildCellTab(PageControl2->AddPage("TabSheet5", "Cell Properties")->Widget());
    BuildPictureTab(PageControl2->AddPage("TabSheet6", "Picture Properties")->Widget());
    AddOkCancel(page, "BitBtn9", "BitBtn10", 216, 232, false);
}

// A pair of unit radio buttons in its own group.
namespace {
void UnitPair(TForm2& form, QWidget* tab, int y, TRadioButton*& pixels, const char* pixelsName, TRadioButton*& percent,
              const char* percentName)
{
    auto* group = form.Make<TPanel>(std::string("Panel") + pixelsName, tab);
    Place(group, 160, y - 1, 196, 24);
    pixels = form.Make<TRadioButton>(pixelsName, group->Widget(), "in Pixels");
    Place(pixels, 0, 1, 90);
    percent = form.Make<TRadioButton>(percentName, group->Widget(), "in Percent");
    Place(percent, 94, 1, 100);
}
}  // namespace

void TForm2::BuildTableTab(QWidget* tab)
{
    CheckBox2 = Make<TCheckBox>("CheckBox2", tab, "&Width:");
    Place(CheckBox2, 8, 8, 76);
    SpinEdit14 = Make<TSpinEdit>("SpinEdit14", tab, 0, 10000);
    Place(SpinEdit14, 86, 8, 68);
    UnitPair(*this, tab, 8, RadioButton1, "RadioButton1", RadioButton2, "RadioButton2");
    CheckBox5 = Make<TCheckBox>("CheckBox5", tab, "&Height:");
    Place(CheckBox5, 8, 34, 76);
    SpinEdit15 = Make<TSpinEdit>("SpinEdit15", tab, 0, 10000);
    Place(SpinEdit15, 86, 34, 68);
    UnitPair(*this, tab, 34, RadioButton3, "RadioButton3", RadioButton4, "RadioButton4");
    AddLabel(tab, "Background:", 8, 62, 76);
    ComboBox3 = Make<TComboBox>("ComboBox3", tab, false);
    ComboBox3->Items().Assign(Backgrounds);
    Place(ComboBox3, 92, 62, 70);
    Notebook2 = Make<TNotebook>("Notebook2", tab);
    Place(Notebook2, 168, 61, 190, 24);
    Notebook2->AddPage();
    Panel2 = ColorPanel("Panel2", Notebook2->AddPage(), 0, 2, 40, 20);
    QWidget* picture = Notebook2->AddPage();
    Edit28 = Make<TEdit>("Edit28", picture);
    Place(Edit28, 0, 1, 156);
    Button31 = Make<TButton>("Button31", picture, "...");
    Place(Button31, 160, 1, 26);
    AddLabel(tab, "Table tag:", 8, 90, 76);
    Edit19 = Make<TEdit>("Edit19", tab);
    Place(Edit19, 86, 90, 270);
    AddLabel(tab, "Row tag:", 8, 116, 76);
    Edit21 = Make<TEdit>("Edit21", tab);
    Place(Edit21, 86, 116, 270);
    CheckBox1 = Make<TCheckBox>("CheckBox1", tab, "Highlight bord&er");
    Place(CheckBox1, 8, 146, 130);
    Panel4 = ColorPanel("Panel4", tab, 140, 146, 34, 20);
    CheckBox3 = Make<TCheckBox>("CheckBox3", tab, "&Shadow border");
    Place(CheckBox3, 186, 146, 130);
    Panel5 = ColorPanel("Panel5", tab, 318, 146, 34, 20);
}

void TForm2::BuildCellTab(QWidget* tab)
{
    AddLabel(tab, "Horizontal:", 8, 6, 76);
    ComboBox9 = Make<TComboBox>("ComboBox9", tab, false);
    ComboBox9->Items().Assign({"Default", "Left", "Right", "Center", "Justify"});
    Place(ComboBox9, 86, 6, 90);
    AddLabel(tab, "Vertical:", 186, 6, 64);
    ComboBox10 = Make<TComboBox>("ComboBox10", tab, false);
    ComboBox10->Items().Assign({"Default", "Top", "Middle", "Baseline", "Bottom"});
    Place(ComboBox10, 252, 6, 100);
    CheckBox7 = Make<TCheckBox>("CheckBox7", tab, "Heade&r");
    Place(CheckBox7, 8, 34, 100);
    CheckBox11 = Make<TCheckBox>("CheckBox11", tab, "No wra&p");
    Place(CheckBox11, 120, 34, 100);
    AddLabel(tab, "Cell tag:", 8, 60, 76);
    Edit20 = Make<TEdit>("Edit20", tab);
    Place(Edit20, 86, 60, 270);
    AddLabel(tab, "Background:", 8, 88, 76);
    ComboBox1 = Make<TComboBox>("ComboBox1", tab, false);
    ComboBox1->Items().Assign(Backgrounds);
    Place(ComboBox1, 92, 88, 70);
    Notebook3 = Make<TNotebook>("Notebook3", tab);
    Place(Notebook3, 168, 87, 190, 24);
    Notebook3->AddPage();
    QWidget* colour = Notebook3->AddPage();
    Panel3 = ColorPanel("Panel3", colour, 0, 2, 40, 20);
    AddLabel(colour, "#", 48, 0, 10);
    Edit1 = Make<TEdit>("Edit1", colour);
    Place(Edit1, 60, 1, 70);
    QWidget* picture = Notebook3->AddPage();
    Edit2 = Make<TEdit>("Edit2", picture);
    Place(Edit2, 0, 1, 156);
    Button32 = Make<TButton>("Button32", picture, "...");
    Place(Button32, 160, 1, 26);
    CheckBox8 = Make<TCheckBox>("CheckBox8", tab, "Borde&r Color:");
    Place(CheckBox8, 8, 118, 130);
    Panel8 = ColorPanel("Panel8", tab, 140, 118, 34, 20);
    CheckBox6 = Make<TCheckBox>("CheckBox6", tab, "Highlight bord&er");
    Place(CheckBox6, 8, 146, 130);
    Panel6 = ColorPanel("Panel6", tab, 140, 146, 34, 20);
    CheckBox4 = Make<TCheckBox>("CheckBox4", tab, "&Shadow border");
    Place(CheckBox4, 186, 146, 130);
    Panel7 = ColorPanel("Panel7", tab, 318, 146, 34, 20);
}

void TForm2::BuildPictureTab(QWidget* tab)
{
    AddLabel(tab, "Alignment:", 8, 8, 130);
    ComboBox15 = Make<TComboBox>("ComboBox15", tab, false);
    ComboBox15->Items().Assign({"Default", "Left", "Right", "Top", "Texttop", "Middle", "Absmiddle", "Baseline",
                                "Bottom", "Absbottom", "Center"});
    Place(ComboBox15, 140, 8, 120);
    AddLabel(tab, "Vertical spacing:", 8, 36, 130);
    SpinEdit12 = Make<TSpinEdit>("SpinEdit12", tab, 0, 10000);
    Place(SpinEdit12, 140, 36, 70);
    AddLabel(tab, "Horizontal spacing:", 8, 62, 130);
    SpinEdit6 = Make<TSpinEdit>("SpinEdit6", tab, 0, 10000);
    Place(SpinEdit6, 140, 62, 70);
}

void TForm2::BuildBannerPage(QWidget* page)
{
    memo3 = Make<TMemo>("memo3", page);
    Place(memo3, 8, 8, 467, 280);
    static_cast<QWidget*>(memo3->Widget())->setProperty("lineWrapMode", 0);  // no word wrap
    AddLabel(page, "Lines:", 8, 298, 50);
    Label63 = Make<TLabel>("Label63", page, "0");
    Place(Label63, 60, 301, 80, 16);
    Button1 = Make<TButton>("Button1", page, "OK");
    Place(Button1, 320, 296, 75, 25);
    Button11 = Make<TButton>("Button11", page, "Cancel");
    Place(Button11, 400, 296, 75, 25);
    // The temporary faces answer Enter and Esc with their own buttons.
    Button1->SetDefault(true);
    Button11->SetCancel(true);
}

void TForm2::BuildAboutPage(QWidget* page)
{
    auto* picture = Make<TLabel>("Image1", page);
    Place(picture, 16, 16, 48, 48);
    static_cast<QLabel*>(picture->Widget())
        ->setPixmap(page->style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
    Label23 = Make<TLabel>("Label23", page);
    Place(Label23, 80, 20, 310, 24);
    QFont title = Label23->Widget()->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.3);
    Label23->Widget()->setFont(title);
    auto* about = AddLabel(page, "Turns a list of pictures into a web photo gallery.", 80, 56, 310);
    about->Widget()->setFixedHeight(40);
    static_cast<QLabel*>(about->Widget())->setWordWrap(true);
    AddOkCancel(page, "BitBtn11", "BitBtn12", 320, 170, false);
    Find<TButton>("BitBtn12")->SetVisible(false);
    // The page's one button answers Esc too.
    Find<TButton>("BitBtn11")->SetCancel(true);
}

void TForm2::BuildCaptionFontPage(QWidget* page)
{
    AddLabel(page, "Font:", 8, 8, 50);
    FontComboBox1 = Make<TFontComboBox>("FontComboBox1", page);
    Place(FontComboBox1, 60, 8, 228);
    AddLabel(page, "Size:", 8, 38, 50);
    ComboBox2 = Make<TComboBox>("ComboBox2", page, false);
    ComboBox2->Items().Assign(
        {"Normal", "1 (8 pt)", "2 (10 pt)", "3 (12 pt)", "4 (14 pt)", "5 (18 pt)", "6 (24 pt)", "7 (36 pt)"});
    Place(ComboBox2, 60, 38, 120);
    CheckBox9 = Make<TCheckBox>("CheckBox9", page, "&Bold");
    Place(CheckBox9, 8, 68, 90);
    CheckBox12 = Make<TCheckBox>("CheckBox12", page, "&Italic");
    Place(CheckBox12, 110, 68, 90);
    CheckBox10 = Make<TCheckBox>("CheckBox10", page, "Fon&t color");
    Place(CheckBox10, 8, 96, 110);
    Panel11 = ColorPanel("Panel11", page, 120, 96, 40, 20);
    CheckBox13 = Make<TCheckBox>("CheckBox13", page, "&Highlight");
    Place(CheckBox13, 8, 122, 110);
    Panel13 = ColorPanel("Panel13", page, 120, 122, 40, 20);
    AddOkCancel(page, "BitBtn13", "BitBtn14", 134, 152, false);
}

void TForm2::BuildColorPickerPage(QWidget* page)
{
    ScrollBox1 = Make<TScrollBox>("ScrollBox1", page);
    Place(ScrollBox1, 8, 8, 380, 240);
    RasterView1 = Make<TRasterView>("RasterView1", ScrollBox1->Content());
    RasterView1->SetAutoSize(true);
    Panel33 = ColorPanel("Panel33", page, 396, 8, 80, 40);
    Panel33->OnClick = nullptr;  // the sample shows the picked colour; it is not chosen here
    Label61 = Make<TLabel>("Label61", page);
    Place(Label61, 396, 52, 80, 16);
    Button35 = Make<TButton>("Button35", page, "OK");
    // High enough for the lowest face that opens the picker (the logo's).
    Place(Button35, 396, 150, 75, 25);
    Button36 = Make<TButton>("Button36", page, "Cancel");
    Place(Button36, 396, 182, 75, 25);
    Button35->SetDefault(true);
    Button36->SetCancel(true);
}

void TForm2::BuildEditorsPage(QWidget* page)
{
    AddLabel(page, "Title", 8, 2, 110);
    AddLabel(page, "Program", 130, 2, 200);
    struct EditorRow {
        TEdit *&title, *&program;
        TButton*& browse;
        const char *titleName, *programName, *browseName;
    };
    const EditorRow rows[] = {{Edit12, Edit13, Button41, "Edit12", "Edit13", "Button41"},
                              {Edit16, Edit14, Button42, "Edit16", "Edit14", "Button42"},
                              {Edit23, Edit22, Button43, "Edit23", "Edit22", "Button43"}};
    int y = 24;
    for (const EditorRow& r : rows) {
        r.title = Make<TEdit>(r.titleName, page);
        Place(r.title, 8, y, 116);
        r.program = Make<TEdit>(r.programName, page);
        Place(r.program, 130, y, 200);
        r.browse = Make<TButton>(r.browseName, page, "...");
        Place(r.browse, 334, y, 26);
        y += 28;
    }
    AddOkCancel(page, "BitBtn15", "BitBtn16", 206, 124, false);
}
