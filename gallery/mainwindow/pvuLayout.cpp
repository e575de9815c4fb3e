// Construction of the main window: tool bar, the five settings pages,
// the status bar and the hidden state controls (the menus are in
// pvuLayoutMenus.cpp).
#include "gallery/mainwindow/pvu.h"

#include "gallery/pictures/pvutilsDecorations.h"
#include "gallery/windows/pvu3.h"  // the description editor the window keeps

#include <QAction>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace {
constexpr int RowHeight = 22;

void Place(TControl* control, int x, int y, int w, int h = RowHeight) { control->SetBounds(x, y, w, h); }

// A green plus in the lower right corner: "add".
void DrawPlus(QPainter& p)
{
    p.setPen(QPen(QColor(0x1e, 0x6e, 0x1e), 1));
    p.setBrush(QColor(0x3c, 0xb4, 0x3c));
    p.drawPolygon(QPolygon({{15, 10},
                            {19, 10},
                            {19, 14},
                            {23, 14},
                            {23, 18},
                            {19, 18},
                            {19, 22},
                            {15, 22},
                            {15, 18},
                            {11, 18},
                            {11, 14},
                            {15, 14}}));
}

// The tool bar's "add" pictures, drawn here: a folder with a plus adds a
// folder's pictures, two pages with a plus add single files.
QIcon AddIcon(bool folder)
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QPen outline(QColor(0x50, 0x50, 0x50), 1);
    if (folder) {
        p.setPen(QPen(QColor(0x8a, 0x6a, 0x10), 1));
        p.setBrush(QColor(0xe8, 0xb8, 0x30));
        p.drawPolygon(QPolygon({{1, 5}, {8, 5}, {10, 7}, {19, 7}, {19, 19}, {1, 19}}));  // back and tab
        p.setBrush(QColor(0xf8, 0xd8, 0x60));
        p.drawPolygon(QPolygon({{1, 19}, {4, 10}, {22, 10}, {19, 19}}));  // open front
    } else {
        for (int offset : {0, 4}) {
            p.setPen(outline);
            p.setBrush(Qt::white);
            const int x = 2 + offset, y = 1 + offset;
            p.drawPolygon(QPolygon({{x, y}, {x + 9, y}, {x + 13, y + 4}, {x + 13, y + 17}, {x, y + 17}}));
            p.drawPolyline(QPolygon({{x + 9, y}, {x + 9, y + 4}, {x + 13, y + 4}}));  // folded corner
        }
        p.setPen(QColor(0xa0, 0xa0, 0xa0));
        for (int line = 10; line <= 17; line += 3) p.drawLine(9, line, 15, line);
    }
    DrawPlus(p);
    p.end();
    return QIcon(pixmap);
}

// "<Alt>" must show as written, never be taken for markup.
TLabel* PlainLabel(TLabel* label)
{
    static_cast<QLabel*>(label->Widget())->setTextFormat(Qt::PlainText);
    return label;
}
}  // namespace

TForm1::TForm1() : TForm(nullptr, "Form1")
{
    QWidget* client = Client();
    auto* layout = new QVBoxLayout(client);  // owned by the client area
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    BuildMenus();
    BuildToolBar();
    layout->addWidget(ToolBar1->Widget());

    PageControl1 = Make<TPageControl>("PageControl1", client);
    layout->addWidget(PageControl1->Widget(), 1);
    BuildPages();

    // The build's view takes the pages' place while a build runs: the phase
    // text over the window's whole width, the progress bar and the Stop
    // button, so the status bar keeps its place and its room.
    buildView_ = new QWidget(client);  // owned by the client area
    auto* buildLayout = new QVBoxLayout(buildView_);
    buildLayout->setContentsMargins(12, 12, 12, 12);
    buildLayout->setSpacing(10);
    buildLayout->addStretch(1);
    Label34 = Make<TLabel>("Label34", buildView_);
    static_cast<QLabel*>(Label34->Widget())->setAlignment(Qt::AlignCenter);
    buildLayout->addWidget(Label34->Widget());
    ProgressBar1 = Make<TProgressBar>("ProgressBar1", buildView_);
    ProgressBar1->Widget()->setFixedHeight(16);
    buildLayout->addWidget(ProgressBar1->Widget());
    Button14 = Make<TButton>("Button14", buildView_, "Stop");
    Button14->Widget()->setMinimumWidth(90);
    buildLayout->addWidget(Button14->Widget(), 0, Qt::AlignHCenter);
    buildLayout->addStretch(2);
    layout->addWidget(buildView_, 1);
    Label34->SetVisible(false);
    ProgressBar1->SetVisible(false);
    Button14->SetVisible(false);
    buildView_->setVisible(false);

    StatusBar1 = Make<TStatusBar>("StatusBar1", client);
    // The page count needs less than 120 pixels; the item count and the
    // selection ("Total Items: 160         Selected 160 items") need the rest,
    // and take what the page count's panel holds beyond its text.
    StatusBar1->AddPanel(120);
    StatusBar1->AddPanel(0);
    layout->addWidget(StatusBar1->Widget());

    // Hidden state kept in controls, as the handlers share it.
    auto hidden = [this, client](TControl* c) {
        c->SetVisible(false);
        (void)client;
        return c;
    };
    Label31 = static_cast<TLabel*>(hidden(Make<TLabel>("Label31", client)));
    Label45 = static_cast<TLabel*>(hidden(Make<TLabel>("Label45", client)));
    Label49 = static_cast<TLabel*>(hidden(Make<TLabel>("Label49", client, "0")));
    Label50 = static_cast<TLabel*>(hidden(Make<TLabel>("Label50", client, "0")));
    Label51 = static_cast<TLabel*>(hidden(Make<TLabel>("Label51", client)));
    ListBox1 = static_cast<TListBox*>(hidden(Make<TListBox>("ListBox1", client)));
    ListBox2 = static_cast<TListBox*>(hidden(Make<TListBox>("ListBox2", client)));
    ListBox3 = static_cast<TListBox*>(hidden(Make<TListBox>("ListBox3", client)));
    ListBox4 = static_cast<TListBox*>(hidden(Make<TListBox>("ListBox4", client)));
    Memo1 = static_cast<TMemo*>(hidden(Make<TMemo>("Memo1", client)));
    Decorations = StandardDecorationHooks();

    OpenDialog1 = Make<TFileDialog>("OpenDialog1", TFileDialogKind::Open);
    SaveDialog1 = Make<TFileDialog>("SaveDialog1", TFileDialogKind::Save);
    OpenItemsDialog = Make<TFileDialog>("OpenItemsDialog", TFileDialogKind::Open);
    SaveItemsDialog = Make<TFileDialog>("SaveItemsDialog", TFileDialogKind::Save);
    OpenPictureDialog1 = Make<TFileDialog>("OpenPictureDialog1", TFileDialogKind::OpenPicture);
    OpenPictureDialog1->MultiSelect = true;

    SetFixedClientSize(370, 360);
    SetShowHint(true);
    ConnectHandlers();
    FormCreate();
    CenterOnScreen();
}

TForm1::~TForm1() = default;

void TForm1::BuildToolBar()
{
    ToolBar1 = Make<TToolBar>("ToolBar1", Client());
    // Most buttons show only their picture; the caption is also the hint.
    ToolButton1 = ToolBar1->AddButton("ToolButton1", "New items", "New items");
    ToolButton2 = ToolBar1->AddButton("ToolButton2", "Add (Directory)", "Add (Directory)");
    ToolButton3 = ToolBar1->AddButton("ToolButton3", "Add (Files)", "Add (Files)");
    ToolButton4 = ToolBar1->AddButton("ToolButton4", "Delete items", "Delete items");
    ToolBar1->AddSeparator();
    ToolButton6all = ToolBar1->AddButton("ToolButton6all", "Create All", "Create All");
    ToolButton6all->SetDropdownMenu(PopupMenu1);
    ToolBar1->AddSeparator();
    ToolButton8 = ToolBar1->AddButton("ToolButton8", "Help", "Help");
    // Pictures from the desktop's style; the hints name each button.
    auto picture = [](TToolButton* button, QStyle::StandardPixmap pixmap, bool withText) {
        auto* tool = static_cast<QToolButton*>(button->Widget());
        tool->setIcon(tool->style()->standardIcon(pixmap));
        tool->setToolButtonStyle(withText ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
    };
    picture(ToolButton1, QStyle::SP_FileIcon, false);
    for (auto [button, folder] : {std::pair{ToolButton2, true}, std::pair{ToolButton3, false}}) {
        auto* tool = static_cast<QToolButton*>(button->Widget());
        tool->setIcon(AddIcon(folder));
        tool->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    picture(ToolButton4, QStyle::SP_TrashIcon, false);
    picture(ToolButton6all, QStyle::SP_MediaPlay, true);
    picture(ToolButton8, QStyle::SP_DialogHelpButton, false);
}

void TForm1::BuildPages()
{
    // Five tabs share 370 pixels: a compact tab style keeps them all in sight.
    auto* tabs = static_cast<QTabWidget*>(PageControl1->Widget());
    tabs->setUsesScrollButtons(false);
    tabs->tabBar()->setExpanding(false);
    QFont tabFont = tabs->tabBar()->font();
    tabFont.setPointSizeF(tabFont.pointSizeF() * 0.9);
    tabs->tabBar()->setFont(tabFont);
    tabs->tabBar()->setStyleSheet(
        "QTabBar::tab { padding: 3px 3px; margin-right: 0px; border: 1px solid #a8a8a8; border-bottom: none;"
        " border-top-left-radius: 3px; border-top-right-radius: 3px; background: #e4e4e4; }"
        "QTabBar::tab:selected { background: #fafafa; }"
        "QTabBar::tab:!selected { margin-top: 2px; }");
    TabSheet1 = PageControl1->AddPage("TabSheet1", "Source Images");
    TabSheet2 = PageControl1->AddPage("TabSheet2", "Destination");
    TabSheet3 = PageControl1->AddPage("TabSheet3", "Index pages");
    TabSheet4 = PageControl1->AddPage("TabSheet4", "Image pages");
    TabSheet5 = PageControl1->AddPage("TabSheet5", "Images");
    BuildSourcePage(TabSheet1->Widget());
    BuildDestinationPage(TabSheet2->Widget());
    BuildIndexPage(TabSheet3->Widget());
    BuildImagePage(TabSheet4->Widget());
    BuildImagesPage(TabSheet5->Widget());
}

void TForm1::BuildSourcePage(QWidget* page)
{
    ListView1 = Make<TListView>("ListView1", page);
    ListView1->AddColumn("Name", 130);
    ListView1->AddColumn("Folder", 200);
    ListView1->AddColumn("", 0);
    ListView1->AddColumn("", 0);
    // Enter and its variants view the item under the cursor: keys of the list
    // only, so Enter keeps its meaning in the edit fields.
    for (TMenuItem* view : {ViewOriginalImage1, View1, ViewThumbnai1}) {
        view->Action()->setShortcutContext(Qt::WidgetShortcut);
        ListView1->Widget()->addAction(view->Action());
    }
    Place(ListView1, 4, 4, 354, 176);
    Place(Make<TLabel>("Label1", page, "&Include:"), 4, 186, 56);
    ComboBox16 = Make<TComboBox>("ComboBox16", page, true);
    Place(ComboBox16, 62, 186, 180);
    Place(Make<TLabel>("Label2", page, "E&xclude:"), 4, 212, 56);
    ComboBox20 = Make<TComboBox>("ComboBox20", page, true);
    Place(ComboBox20, 62, 212, 180);
    Button13 = Make<TButton>("Button13", page, "Descrip&tion");
    Place(Button13, 256, 186, 102, 26);
}

void TForm1::BuildDestinationPage(QWidget* page)
{
    const int lx = 4, lw = 146, cx = 152, cw = 206;
    int y = 6;
    auto row = [&](const char* labelName, const char* caption) {
        Place(Make<TLabel>(labelName, page, caption), lx, y, lw);
    };
    row("Label3", "&Save in Folder:");
    Edit1 = Make<TEdit>("Edit1", page);
    Place(Edit1, cx, y, cw - 28);
    Button8 = Make<TButton>("Button8", page, "...");
    Place(Button8, cx + cw - 26, y, 26);
    y += 28;
    row("Label4", "Thumbnail path\\name:");
    Edit5 = Make<TEdit>("Edit5", page);
    Place(Edit5, cx, y, cw);
    y += 28;
    row("Label5", "Image path\\name:");
    Edit9 = Make<TEdit>("Edit9", page);
    Place(Edit9, cx, y, cw);
    y += 28;
    row("Label6", "Index name:");
    Edit2 = Make<TEdit>("Edit2", page);
    Place(Edit2, cx, y, cw);
    y += 28;
    row("Label7", "Image page path\\name:");
    Edit4 = Make<TEdit>("Edit4", page);
    Place(Edit4, cx, y, cw);
    y += 28;
    row("Label8", "Change &case:");
    ComboBox10 = Make<TComboBox>("ComboBox10", page, false);
    ComboBox10->Items().Assign(
        {"Do not change", "lowercase", "UPPERCASE", "Title Case", "Sentence case", "tOGGLE cASE"});
    Place(ComboBox10, cx, y, cw);
    y += 28;
    row("Label9", "Base &URL:");
    ComboBox23 = Make<TComboBox>("ComboBox23", page, true);
    Place(ComboBox23, cx, y, cw);
}

void TForm1::BuildIndexPage(QWidget* page)
{
    // The captions stand in full: a wider label column, and the three table
    // numbers with their labels above them, "Auto size" beside them.
    const int lx = 4, lw = 74, cx = 80, cw = 278;
    int y = 4;
    Place(Make<TLabel>("Label10", page, "&Style:"), lx, y, lw);
    ComboBox3 = Make<TComboBox>("ComboBox3", page, false, true);
    Place(ComboBox3, cx, y, 186);
    ToolButton9 = Make<TToolButton>("ToolButton9", new QToolButton(page), "Edit");
    Place(ToolButton9, 270, y, 88);
    ToolButton9->Tag = 1;
    ToolButton9->SetHint("Edit the index-page template");
    ToolButton9->SetDropdownMenu(PopupMenu3);
    y += 26;
    Place(Make<TLabel>("Label11", page, "&Title page:"), lx, y, lw);
    Edit3 = Make<TEdit>("Edit3", page);
    Place(Edit3, cx, y, cw);
    y += 26;
    Place(Make<TLabel>("Label12", page, "&Columns:"), lx, y, lw);
    SpinEdit1 = Make<TSpinEdit>("SpinEdit1", page, 1, 10000);
    Place(SpinEdit1, cx, y, 58);
    ComboBox1 = Make<TComboBox>("ComboBox1", page, false);
    ComboBox1->Items().Assign({"Rows", "# Thumbs", "Single Page"});
    Place(ComboBox1, 142, y, 100);
    SpinEdit2 = Make<TSpinEdit>("SpinEdit2", page, 1, 10000);
    Place(SpinEdit2, 246, y, 60);
    y += 26;
    Place(Make<TLabel>("Label13", page, "&Border:"), lx, y, 86, 16);
    Place(Make<TLabel>("Label14", page, "Cell Pa&dding:"), 94, y, 86, 16);
    Place(Make<TLabel>("Label15", page, "C&ell Spacing:"), 184, y, 86, 16);
    y += 16;
    SpinEdit3 = Make<TSpinEdit>("SpinEdit3", page, 0, 100);
    Place(SpinEdit3, lx, y, 58);
    SpinEdit4 = Make<TSpinEdit>("SpinEdit4", page, 0, 100);
    Place(SpinEdit4, 94, y, 58);
    SpinEdit5 = Make<TSpinEdit>("SpinEdit5", page, 0, 100);
    Place(SpinEdit5, 184, y, 58);
    CheckBox7 = Make<TCheckBox>("CheckBox7", page, "Auto si&ze");
    Place(CheckBox7, 272, y, 86);
    y += 26;
    Place(Make<TLabel>("Label16", page, "&Alignment:"), lx, y, lw);
    ComboBox2 = Make<TComboBox>("ComboBox2", page, false);
    ComboBox2->Items().Assign({"Default", "Left", "Right", "Center", "Justify"});
    Place(ComboBox2, cx, y, 80);
    Place(Make<TLabel>("Label17", page, "Hyperlin&k to:"), 164, y, 78);
    ComboBox4 = Make<TComboBox>("ComboBox4", page, false);
    ComboBox4->Items().Assign({"none", "Original image", "Image page"});
    Place(ComboBox4, 244, y, 114);
    y += 26;
    Place(Make<TLabel>("Label18", page, "Ca&ption:"), lx, y, lw);
    ComboBox11 = Make<TComboBox>("ComboBox11", page, true);
    Place(ComboBox11, cx, y, cw);
    y += 26;
    Place(Make<TLabel>("Label19", page, "Position:"), lx, y, lw);
    ComboBox9 = Make<TComboBox>("ComboBox9", page, false);
    Place(ComboBox9, cx, y, cw);
    y += 26;
    Place(PlainLabel(Make<TLabel>("Label20", page, "&<Alt>")), lx, y, lw);
    ComboBox12 = Make<TComboBox>("ComboBox12", page, true);
    Place(ComboBox12, cx, y, cw);
    y += 28;
    // The property buttons open the properties dialog on their part of the records.
    Place(Make<TButton>("Button2", page, "Page properties..."), 4, y, 130, 24);
    Place(Make<TButton>("Button1", page, "Table..."), 138, y, 100, 24);
    Place(Make<TButton>("Button12", page, "Font..."), 242, y, 100, 24);
}

void TForm1::BuildImagePage(QWidget* page)
{
    GroupBox2 = Make<TGroupBox>("GroupBox2", page, "Image pages");
    Place(GroupBox2, 2, 2, 358, 250);
    QWidget* g = GroupBox2->Widget();
    // The label column is as wide as "Title page:" with a gap after it.
    int y = 20;
    Place(Make<TLabel>("Label21", g, "&Style:"), 6, y, 66);
    ComboBox5 = Make<TComboBox>("ComboBox5", g, false, true);
    Place(ComboBox5, 74, y, 186);
    ToolButton10 = Make<TToolButton>("ToolButton10", new QToolButton(g), "Edit");
    Place(ToolButton10, 264, y, 86);
    ToolButton10->Tag = 1;
    ToolButton10->SetHint("Edit the image-page template");
    ToolButton10->SetDropdownMenu(PopupMenu3);
    y += 26;
    Place(Make<TLabel>("Label22", g, "&Title page:"), 6, y, 66);
    Edit6 = Make<TEdit>("Edit6", g);
    Place(Edit6, 74, y, 276);
    y += 26;
    Place(Make<TLabel>("Label23", g, "&Border:"), 6, y, 66);
    SpinEdit10 = Make<TSpinEdit>("SpinEdit10", g, 0, 0);
    Place(SpinEdit10, 74, y, 64);
    y += 26;
    Place(Make<TLabel>("Label24", g, "Ca&ption:"), 6, y, 66);
    ComboBox13 = Make<TComboBox>("ComboBox13", g, true);
    Place(ComboBox13, 74, y, 276);
    y += 26;
    Place(Make<TLabel>("Label25", g, "Position:"), 6, y, 66);
    ComboBox14 = Make<TComboBox>("ComboBox14", g, false);
    Place(ComboBox14, 74, y, 276);
    y += 26;
    Place(PlainLabel(Make<TLabel>("Label26", g, "&<Alt>")), 6, y, 66);
    ComboBox15 = Make<TComboBox>("ComboBox15", g, true);
    Place(ComboBox15, 74, y, 276);
    y += 26;
    Place(Make<TLabel>("Label27", g, "Hyperlin&k:"), 6, y, 66);
    Edit11 = Make<TEdit>("Edit11", g);
    Place(Edit11, 74, y, 276);
    y += 28;
    Place(Make<TButton>("Button3", g, "Page properties..."), 6, y, 130, 24);
    Place(Make<TButton>("Button9", g, "Font..."), 140, y, 100, 24);
}

void TForm1::BuildImagesPage(QWidget* page)
{
    auto* thumbs = Make<TGroupBox>("GroupBox3", page, " Thumbnail ");
    Place(thumbs, 2, 2, 176, 238);
    auto* images = Make<TGroupBox>("GroupBox4", page, "Image");
    Place(images, 182, 2, 176, 238);
    BuildThumbnailGroup(thumbs->Widget());
    BuildImageGroup(images->Widget());
}

namespace {

const std::vector<std::string> OutputFormats{"JPG", "GIF"};
const std::vector<std::string> Filters{"none", "Blur", "Sharpen", "Auto Contrast"};

}  // namespace

// The " Thumbnail " group: output, size, filter, border and frame.
void TForm1::BuildThumbnailGroup(QWidget* t)
{
    int y = 18;
    ComboBox7 = Make<TComboBox>("ComboBox7", t, false);
    ComboBox7->Items().Assign(OutputFormats);
    ComboBox7->SetVisible(false);  // JPEG is the only output the program offers
    Notebook1 = Make<TNotebook>("Notebook1", t);
    Place(Notebook1, 4, y, 168, RowHeight);
    QWidget* q1 = Notebook1->AddPage();
    Place(Make<TLabel>("Label28", q1, "&Quality:"), 0, 0, 70);
    SpinEdit12 = Make<TSpinEdit>("SpinEdit12", q1, 0, 100);
    Place(SpinEdit12, 80, 0, 64);
    QWidget* c1 = Notebook1->AddPage();
    Place(Make<TLabel>("Label29", c1, "&X Colors:"), 0, 0, 70);
    SpinEdit14 = Make<TSpinEdit>("SpinEdit14", c1, 0, 255);
    Place(SpinEdit14, 80, 0, 64);
    y += 24;
    ComboBox6 = Make<TComboBox>("ComboBox6", t, false);
    ComboBox6->Items().Assign({"Percent", "Pixel", "Crop"});
    Place(ComboBox6, 4, y, 168);
    y += 24;
    Place(Make<TLabel>("Label30", t, "Width:"), 4, y, 70);
    SpinEdit6 = Make<TSpinEdit>("SpinEdit6", t, 0, 0);
    Place(SpinEdit6, 84, y, 64);
    y += 24;
    Place(Make<TLabel>("Label32", t, "Height:"), 4, y, 70);
    SpinEdit7 = Make<TSpinEdit>("SpinEdit7", t, 0, 0);
    Place(SpinEdit7, 84, y, 64);
    y += 24;
    CheckBox1 = Make<TCheckBox>("CheckBox1", t, "Lock &dimension");
    Place(CheckBox1, 4, y, 168);
    y += 24;
    Place(Make<TLabel>("Label33", t, "Filter:"), 4, y, 40);
    ComboBox17 = Make<TComboBox>("ComboBox17", t, false);
    ComboBox17->Items().Assign(Filters);
    Place(ComboBox17, 48, y, 124);
    y += 24;
    Place(Make<TLabel>("Label35", t, "&Border:"), 4, y, 70);
    SpinEdit11 = Make<TSpinEdit>("SpinEdit11", t, 0, 100);
    Place(SpinEdit11, 84, y, 64);
    y += 24;
    CheckBox2 = Make<TCheckBox>("CheckBox2", t, "Use Frame");
    Place(CheckBox2, 4, y, 136);
    Place(Make<TButton>("Button4", t, "..."), 144, y, 26);
}

// The "Image" group: output, resize, filter and the decorations.
void TForm1::BuildImageGroup(QWidget* m)
{
    int y = 18;
    ComboBox8 = Make<TComboBox>("ComboBox8", m, false);
    ComboBox8->Items().Assign(OutputFormats);
    ComboBox8->SetVisible(false);
    Notebook2 = Make<TNotebook>("Notebook2", m);
    Place(Notebook2, 4, y, 168, RowHeight);
    QWidget* q2 = Notebook2->AddPage();
    Place(Make<TLabel>("Label36", q2, "&Quality:"), 0, 0, 70);
    SpinEdit13 = Make<TSpinEdit>("SpinEdit13", q2, 0, 100);
    Place(SpinEdit13, 80, 0, 64);
    QWidget* c2 = Notebook2->AddPage();
    Place(Make<TLabel>("Label37", c2, "&X Colors:"), 0, 0, 70);
    SpinEdit15 = Make<TSpinEdit>("SpinEdit15", c2, 0, 255);
    Place(SpinEdit15, 80, 0, 64);
    y += 24;
    CheckBox3 = Make<TCheckBox>("CheckBox3", m, "Resi&ze");
    Place(CheckBox3, 4, y, 70);
    ComboBox19 = Make<TComboBox>("ComboBox19", m, false);
    ComboBox19->Items().Assign({"both", "width", "height"});
    Place(ComboBox19, 76, y, 96);
    y += 24;
    Place(Make<TLabel>("Label38", m, "Width:"), 4, y, 70);
    SpinEdit8 = Make<TSpinEdit>("SpinEdit8", m, 0, 0);
    Place(SpinEdit8, 84, y, 64);
    y += 24;
    Place(Make<TLabel>("Label39", m, "Height:"), 4, y, 70);
    SpinEdit9 = Make<TSpinEdit>("SpinEdit9", m, 0, 0);
    Place(SpinEdit9, 84, y, 64);
    y += 24;
    Place(Make<TLabel>("Label40", m, "Filter:"), 4, y, 40);
    ComboBox18 = Make<TComboBox>("ComboBox18", m, false);
    ComboBox18->Items().Assign(Filters);
    Place(ComboBox18, 48, y, 124);
    y += 24;
    CheckBox4 = Make<TCheckBox>("CheckBox4", m, "Use Frame");
    Place(CheckBox4, 4, y, 136);
    Place(Make<TButton>("Button5", m, "..."), 144, y, 26);
    y += 24;
    CheckBox5 = Make<TCheckBox>("CheckBox5", m, "Add Text");
    Place(CheckBox5, 4, y, 136);
    Place(Make<TButton>("Button6", m, "..."), 144, y, 26);
    y += 24;
    CheckBox6 = Make<TCheckBox>("CheckBox6", m, "Add Logo");
    Place(CheckBox6, 4, y, 136);
    Place(Make<TButton>("Button7", m, "..."), 144, y, 26);
}
