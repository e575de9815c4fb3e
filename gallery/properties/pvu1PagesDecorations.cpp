// Construction of the properties dialog's picture decoration pages: the text
// stamp, the logo, and the frame, buttonize and outline tabs.
#include "gallery/properties/pvu1.h"
#include "gallery/properties/pvu1PageLayout.h"

using namespace dialog_layout;

namespace {

const std::vector<std::string> Positions{"Top Left",     "Top Center",  "Top Right",     "Center Left", "Center",
                                         "Center Right", "Bottom Left", "Bottom Center", "Bottom Right"};

}  // namespace

void TForm2::BuildTextStampPage(QWidget* page)
{
    AddLabel(page, "Te&xt:", 8, 8, 50);
    Edit8 = Make<TEdit>("Edit8", page);
    Place(Edit8, 60, 8, 216);
    SpeedButton1 = Make<TButton>("SpeedButton1", page, "Font...");
    Place(SpeedButton1, 280, 7, 76, 25);
    SpeedButton1->SetHint("Set font, color and size");
    Panel20 = ColorPanel("Panel20", page, 362, 8, 34, 22);
    Panel20->SetHint("Font color");
    int y = 40;
    AddLabel(page, "Position:", 8, y, 70);
    ComboBox4 = Make<TComboBox>("ComboBox4", page, false);
    ComboBox4->Items().Assign(Positions);
    Place(ComboBox4, 80, y, 120);
    AddLabel(page, "Mirror:", 214, y, 60);
    ComboBox22 = Make<TComboBox>("ComboBox22", page, false);
    ComboBox22->Items().Assign({"none", "vertical", "horizontal"});
    Place(ComboBox22, 276, y, 120);
    y += 28;
    // The first offset moves the stamp down, the second to the right.
    AddLabel(page, "&Vertical offset:", 8, y, 130);
    SpinEdit3 = Make<TSpinEdit>("SpinEdit3", page, 0, 0);
    Place(SpinEdit3, 140, y, 60);
    AddLabel(page, "&Horizontal offset:", 214, y, 120);
    SpinEdit5 = Make<TSpinEdit>("SpinEdit5", page, 0, 0);
    Place(SpinEdit5, 336, y, 60);
    y += 28;
    AddLabel(page, "Transparency:", 8, y, 130);
    SpinEdit13 = Make<TSpinEdit>("SpinEdit13", page, 0, TextStampMaxTransparency);
    Place(SpinEdit13, 140, y, 60);
    AddLabel(page, "Rotation:", 214, y, 120);
    SpinEdit9 = Make<TSpinEdit>("SpinEdit9", page, -360, 360);
    Place(SpinEdit9, 336, y, 60);
    y += 28;
    AddLabel(page, "Horizontal margin:", 8, y, 130);
    SpinEdit7 = Make<TSpinEdit>("SpinEdit7", page, 0, 0);
    Place(SpinEdit7, 140, y, 60);
    AddLabel(page, "Vertical margin:", 214, y, 120);
    SpinEdit8 = Make<TSpinEdit>("SpinEdit8", page, 0, 0);
    Place(SpinEdit8, 336, y, 60);
    y += 30;
    AddLabel(page, "Background:", 8, y, 130);
    ComboBox17 = Make<TComboBox>("ComboBox17", page, false);
    ComboBox17->Items().Assign({"None", "Color", "Image"});
    Place(ComboBox17, 140, y, 100);
    CheckBox14 = Make<TCheckBox>("CheckBox14", page, "&Full Border");
    Place(CheckBox14, 256, y, 140);
    y += 28;
    Notebook4 = Make<TNotebook>("Notebook4", page);
    Place(Notebook4, 8, y, 390, 26);
    Notebook4->AddPage();
    QWidget* colours = Notebook4->AddPage();
    AddLabel(colours, "Colors:", 0, 0, 70);
    int x = 72;
    for (auto [panel, name] : {std::pair{&Panel16, "Panel16"}, std::pair{&Panel17, "Panel17"},
                               std::pair{&Panel18, "Panel18"}, std::pair{&Panel19, "Panel19"}}) {
        *panel = ColorPanel(name, colours, x, 2, 40, 20);
        x += 46;
    }
    QWidget* picture = Notebook4->AddPage();
    Edit7 = Make<TEdit>("Edit7", picture);
    Place(Edit7, 0, 1, 300);
    Button34 = Make<TButton>("Button34", picture, "...");
    Place(Button34, 304, 1, 26);
    Panel34 = ColorPanel("Panel34", picture, 340, 2, 40, 20);
    Panel34->SetHint("Transparent color");
    y += 32;
    CheckBox16 = Make<TCheckBox>("CheckBox16", page, "&Exclude text in opacity");
    Place(CheckBox16, 8, y, 240);
    CheckBox15 = Make<TCheckBox>("CheckBox15", page, "Smooth");
    Place(CheckBox15, 256, y, 100);
    CheckBox15->SetVisible(false);
    AddOkCancel(page, "BitBtn3", "BitBtn4", 408, 40, true);
    AddLabel(page, "Settings:", 408, 148, 77);
    ComboBox7 = TemplateList("ComboBox7", page, 408, 168, 77);
}

void TForm2::BuildLogoPage(QWidget* page)
{
    AddLabel(page, "&File:", 8, 8, 50);
    Edit18 = Make<TEdit>("Edit18", page);
    Place(Edit18, 60, 8, 302);
    Button6 = Make<TButton>("Button6", page, "...");
    Place(Button6, 366, 8, 26);
    int y = 40;
    AddLabel(page, "Position:", 8, y, 110);
    ComboBox5 = Make<TComboBox>("ComboBox5", page, false);
    ComboBox5->Items().Assign(Positions);
    Place(ComboBox5, 120, y, 130);
    y += 28;
    AddLabel(page, "&X offset:", 8, y, 110);
    SpinEdit1 = Make<TSpinEdit>("SpinEdit1", page, 0, 0);
    Place(SpinEdit1, 120, y, 64);
    AddLabel(page, "&Y offset:", 206, y, 110);
    SpinEdit2 = Make<TSpinEdit>("SpinEdit2", page, 0, 0);
    Place(SpinEdit2, 320, y, 64);
    y += 28;
    AddLabel(page, "Transparency:", 8, y, 110);
    SpinEdit11 = Make<TSpinEdit>("SpinEdit11", page, 0, 100);
    Place(SpinEdit11, 120, y, 64);
    AddLabel(page, "Rotation:", 206, y, 110);
    SpinEdit10 = Make<TSpinEdit>("SpinEdit10", page, -360, 360);
    Place(SpinEdit10, 320, y, 64);
    y += 28;
    AddLabel(page, "Mirror:", 8, y, 110);
    ComboBox20 = Make<TComboBox>("ComboBox20", page, false);
    ComboBox20->Items().Assign({"none", "vertical", "horizontal"});
    Place(ComboBox20, 120, y, 100);
    AddLabel(page, "Full border:", 232, y, 84);
    ComboBox12 = Make<TComboBox>("ComboBox12", page, false);
    ComboBox12->Items().Assign({"Default", "Width", "Height"});
    Place(ComboBox12, 320, y, 72);
    y += 28;
    AddLabel(page, "Transparent color:", 8, y, 110);
    Panel21 = ColorPanel("Panel21", page, 120, y, 40, 20);
    Panel21->SetHint("Transparent color");
    AddOkCancel(page, "BitBtn5", "BitBtn6", 416, 48, true);
    AddLabel(page, "Settings:", 416, 150, 77);
    ComboBox6 = TemplateList("ComboBox6", page, 416, 170, 77);
}

void TForm2::BuildDecorationsPage(QWidget* page)
{
    PageControl3 = Make<TPageControl>("PageControl3", page);
    Place(PageControl3, 4, 4, 417, 244);
    BuildFrameMaskTab(PageControl3->AddPage("TabSheet7", "Frame / Mask")->Widget());
    BuildButtonizeTab(PageControl3->AddPage("TabSheet8", "Buttonize")->Widget());
    BuildOutlineTab(PageControl3->AddPage("TabSheet9", "Outline")->Widget());
    AddLabel(page, "Settings:", 90, 257, 60);
    ComboBox13 = TemplateList("ComboBox13", page, 150, 257, 110);
    AddOkCancel(page, "BitBtn7", "BitBtn8", 266, 255, false);
}

void TForm2::BuildFrameMaskTab(QWidget* tab)
{
    CheckBox21 = Make<TCheckBox>("CheckBox21", tab, "Use &Frame");
    Place(CheckBox21, 8, 6, 110);
    edit15 = Make<TEdit>("edit15", tab);
    Place(edit15, 120, 6, 252);
    Button9 = Make<TButton>("Button9", tab, "...");
    Place(Button9, 376, 6, 26);
    AddLabel(tab, "Transparency:", 26, 32, 100);
    SpinEdit4 = Make<TSpinEdit>("SpinEdit4", tab, 0, 100);
    Place(SpinEdit4, 130, 32, 60);
    AddLabel(tab, "Transparent color:", 210, 32, 130);
    Panel22 = ColorPanel("Panel22", tab, 344, 32, 40, 20);
    Panel22->SetHint("Transparent color");
    AddLabel(tab, "Expand width:", 26, 58, 100);
    SpinEdit30 = Make<TSpinEdit>("SpinEdit30", tab, 0, 100);
    Place(SpinEdit30, 130, 58, 60);
    AddLabel(tab, "Expand height:", 210, 58, 130);
    SpinEdit31 = Make<TSpinEdit>("SpinEdit31", tab, 0, 100);
    Place(SpinEdit31, 344, 58, 60);

    int y = 100;
    CheckBox22 = Make<TCheckBox>("CheckBox22", tab, "Use &Mask");
    Place(CheckBox22, 8, y, 110);
    Edit6 = Make<TEdit>("Edit6", tab);
    Place(Edit6, 120, y, 252);
    Button4 = Make<TButton>("Button4", tab, "...");
    Place(Button4, 376, y, 26);
    y += 26;
    AddLabel(tab, "Transparency:", 26, y, 100);
    SpinEdit17 = Make<TSpinEdit>("SpinEdit17", tab, 0, 100);
    Place(SpinEdit17, 130, y, 60);
    AddLabel(tab, "Scale:", 210, y, 130);
    SpinEdit27 = Make<TSpinEdit>("SpinEdit27", tab, 0, 100);
    Place(SpinEdit27, 344, y, 60);
    y += 26;
    // The background is always a colour; the kind list stays hidden.
    ComboBox19 = Make<TComboBox>("ComboBox19", tab, false);
    ComboBox19->Items().Assign({"Color", "Image"});
    Place(ComboBox19, 26, y, 100);
    ComboBox19->SetVisible(false);
    Notebook5 = Make<TNotebook>("Notebook5", tab);
    Place(Notebook5, 26, y, 220, 24);
    QWidget* colour = Notebook5->AddPage();
    AddLabel(colour, "Background color:", 0, 0, 130);
    Panel23 = ColorPanel("Panel23", colour, 134, 2, 40, 20);
    QWidget* picture = Notebook5->AddPage();
    Button39 = Make<TButton>("Button39", picture, "...");
    Place(Button39, 0, 0, 26);
    Edit9 = Make<TEdit>("Edit9", tab);
    Edit9->SetVisible(false);
    CheckBox20 = Make<TCheckBox>("CheckBox20", tab, "Invert");
    Place(CheckBox20, 260, y, 100);
    SpinEdit28 = Make<TSpinEdit>("SpinEdit28", tab, -360, 360);
    SpinEdit29 = Make<TSpinEdit>("SpinEdit29", tab, -360, 360);
    SpinEdit28->SetVisible(false);
    SpinEdit29->SetVisible(false);
}

void TForm2::BuildButtonizeTab(QWidget* tab)
{
    AddLabel(tab, "Shape:", 8, 6, 100);
    ComboBox14 = Make<TComboBox>("ComboBox14", tab, false);
    ComboBox14->Items().Assign({"None", "Flat", "Button", "Fades"});
    Place(ComboBox14, 110, 6, 110);
    AddLabel(tab, "Width:", 8, 34, 100);
    SpinEdit18 = Make<TSpinEdit>("SpinEdit18", tab, 0, 0);
    Place(SpinEdit18, 110, 34, 60);
    AddLabel(tab, "Margin:", 206, 34, 120);
    SpinEdit19 = Make<TSpinEdit>("SpinEdit19", tab, 0, 0);
    Place(SpinEdit19, 330, 34, 60);
    AddLabel(tab, "Transparency:", 8, 60, 100);
    SpinEdit22 = Make<TSpinEdit>("SpinEdit22", tab, 0, 100);
    Place(SpinEdit22, 110, 60, 60);
    AddLabel(tab, "Highlight:", 8, 86, 100);
    Panel30 = ColorPanel("Panel30", tab, 110, 86, 40, 20);
    AddLabel(tab, "Shadow:", 206, 86, 120);
    Panel31 = ColorPanel("Panel31", tab, 330, 86, 40, 20);
    CheckBox19 = Make<TCheckBox>("CheckBox19", tab, "Double");
    Place(CheckBox19, 8, 118, 120);
    AddLabel(tab, "Spacing:", 26, 144, 82);
    SpinEdit24 = Make<TSpinEdit>("SpinEdit24", tab, 0, 0);
    Place(SpinEdit24, 110, 144, 60);
    AddLabel(tab, "Transparency:", 206, 144, 120);
    SpinEdit25 = Make<TSpinEdit>("SpinEdit25", tab, 0, 100);
    Place(SpinEdit25, 330, 144, 60);
    AddLabel(tab, "Between:", 26, 170, 82);
    SpinEdit26 = Make<TSpinEdit>("SpinEdit26", tab, 0, 100);
    Place(SpinEdit26, 110, 170, 60);
    AddLabel(tab, "Color between:", 206, 170, 120);
    Panel32 = ColorPanel("Panel32", tab, 330, 170, 40, 20);
}

void TForm2::BuildOutlineTab(QWidget* tab)
{
    CheckBox25 = Make<TCheckBox>("CheckBox25", tab, "Use &Outline");
    Place(CheckBox25, 8, 6, 110);
    Edit25 = Make<TEdit>("Edit25", tab);
    Place(Edit25, 120, 6, 252);
    Button7 = Make<TButton>("Button7", tab, "...");
    Place(Button7, 376, 6, 26);
    AddLabel(tab, "Transparency:", 26, 34, 100);
    SpinEdit32 = Make<TSpinEdit>("SpinEdit32", tab, 0, 100);
    Place(SpinEdit32, 130, 34, 60);
    AddLabel(tab, "Transparent color:", 210, 34, 130);
    Panel35 = ColorPanel("Panel35", tab, 344, 34, 40, 20);
    Panel35->SetHint("Transparent color");
    AddLabel(tab, "Width:", 26, 60, 100);
    SpinEdit33 = Make<TSpinEdit>("SpinEdit33", tab, 0, 100);
    Place(SpinEdit33, 130, 60, 60);
}
