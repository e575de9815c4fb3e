// Construction of the main window's menus: the main menu (File, Items, Options,
// Help) and the pop-up menus of the list, the build button and the templates.
#include "gallery/mainwindow/pvu.h"

#include <QAction>
#include <QWidget>

void TForm1::BuildMenus()
{
    MainMenu1 = CreateMainMenu("MainMenu1");
    BuildFileMenu();
    BuildItemsMenu();
    BuildOptionsAndHelpMenus();
    BuildPopupMenus();
}

// The File menu: the build commands, preview, upload, settings files.
void TForm1::BuildFileMenu()
{
    File1 = MainMenu1->Add("File1", "&File");
    StartCreate1 = File1->Add("StartCreate1", "Start Create");
    CreateAll2 = StartCreate1->Add("CreateAll2", "Create All");
    CreateAll2->SetShortCut("F9");
    CreateThumbnail1 = StartCreate1->Add("CreateThumbnail1", "Create Thumbnail");
    CreateThumbnail1->SetShortCut("F8");
    CreateImage1 = StartCreate1->Add("CreateImage1", "Create Image");
    CreateImage1->SetShortCut("F7");
    CreateHTML1 = StartCreate1->Add("CreateHTML1", "Create HTML");
    CreateHTML1->SetShortCut("F6");
    PreviewInWebBrowser1 = File1->Add("PreviewInWebBrowser1", "Preview in web browser");
    PreviewInWebBrowser1->SetShortCut("F4");
    File1->Add("N1", "-");
    Upload1 = File1->Add("Upload1", "FTP Upload");
    Upload1->SetShortCut("F11");
    ManualPaste1 = File1->Add("ManualPaste1", "Manual Paste");
    ManualPaste1->SetShortCut("F12");
    File1->Add("N2", "-");
    New1 = File1->Add("New1", "&New");
    New1->SetShortCut("Shift+N");
    Open1 = File1->Add("Open1", "&Open");
    Open1->SetShortCut("Shift+O");
    Save1 = File1->Add("Save1", "&Save");
    Save1->SetShortCut("Shift+S");
    Saveas1 = File1->Add("Saveas1", "Save &as");
    File1->Add("N3", "-");
    Exit1 = File1->Add("Exit1", "E&xit");
}

// The Items menu: adding, deleting, selecting, sorting and viewing items.
void TForm1::BuildItemsMenu()
{
    Items1 = MainMenu1->Add("Items1", "&Items");
    Newitems1 = Items1->Add("Newitems1", "New");
    Newitems1->SetShortCut("Ctrl+N");
    Open2 = Items1->Add("Open2", "Open");
    Open2->SetShortCut("Ctrl+O");
    Save2 = Items1->Add("Save2", "Save");
    Save2->SetShortCut("Ctrl+S");
    Items1->Add("N4", "-");
    Adddirectory1 = Items1->Add("Adddirectory1", "Add (Directory)");
    Adddirectory1->SetShortCut("Alt+Insert");
    Addfiles1 = Items1->Add("Addfiles1", "Add (files)");
    Addfiles1->SetShortCut("Ctrl+Insert");
    AddDropTarget1 = Items1->Add("AddDropTarget1", "Add (Drop Target)");
    AddDropTarget1->SetShortCut("Shift+Insert");
    Delete1 = Items1->Add("Delete1", "Delete");
    Delete1->SetShortCut("Ctrl+Delete");
    Items1->Add("N5", "-");
    Invert1 = Items1->Add("Invert1", "Invert");
    Invert1->SetShortCut("Num+*");
    Selectall1 = Items1->Add("Selectall1", "Select all");
    Selectall1->SetShortCut("Num++");
    Deselectall1 = Items1->Add("Deselectall1", "Deselect all");
    Deselectall1->SetShortCut("Num+-");
    Refresh1 = Items1->Add("Refresh1", "Refresh");
    Refresh1->SetShortCut("F5");
    Sortby1 = Items1->Add("Sortby1", "Sort by");
    Name1 = Sortby1->Add("Name1", "Name");
    ExtName1 = Sortby1->Add("ExtName1", "Ext+Name");
    PathName1 = Sortby1->Add("PathName1", "Path+Name");
    PathExtName1 = Sortby1->Add("PathExtName1", "Path+Ext+Name");
    DateTime1 = Sortby1->Add("DateTime1", "DateTime");
    PathDateTime1 = Sortby1->Add("PathDateTime1", "Path+DateTime");
    menuitem3 = Items1->Add("menuitem3", "Include subdirectories");
    Items1->Add("N6", "-");
    ViewOriginalImage1 = Items1->Add("ViewOriginalImage1", "View original image");
    ViewOriginalImage1->SetShortCut("Alt+Return");
    View1 = Items1->Add("View1", "View image");
    View1->SetShortCut("Return");
    ViewThumbnai1 = Items1->Add("ViewThumbnai1", "View thumbnail");
    ViewThumbnai1->SetShortCut("Ctrl+Return");
}

// The Options and Help menus.
void TForm1::BuildOptionsAndHelpMenus()
{
    Options1 = MainMenu1->Add("Options1", "&Options");
    ListItems1 = Options1->Add("ListItems1", "List items");
    Menuitem4 = ListItems1->Add("Menuitem4", "Show Gridlines");
    Menuitem5 = ListItems1->Add("Menuitem5", "Mouse over");
    Menuitem6 = Options1->Add("Menuitem6", "Show Tooltips");
    Overwritefiles1 = Options1->Add("Overwritefiles1", "Overwrite files");
    Replace1 = Overwritefiles1->Add("Replace1", "Replace");
    Skip1 = Overwritefiles1->Add("Skip1", "Skip");
    Ask1 = Overwritefiles1->Add("Ask1", "Ask");
    SkipIfIdentical1 = Overwritefiles1->Add("SkipIfIdentical1", "Skip if identical");
    // No build step consults the overwrite policy, so the menu stays out of sight.
    Overwritefiles1->SetVisible(false);
    Options1->Add("N7", "-");
    Menuitem7 = Options1->Add("Menuitem7", "Launch web browser after complete");
    Menuitem8 = Options1->Add("Menuitem8", "Keep original date");
    menuitem10 = Options1->Add("menuitem10", "Replace forbidden character");
    menuitem13 = Options1->Add("menuitem13", "Clear Destination Folder");
    menuitem13->SetVisible(false);
    menuitem17 = Options1->Add("menuitem17", "Use image name when no description");
    for (TMenuItem* m : {menuitem3, Menuitem4, Menuitem5, Menuitem6, Replace1, Skip1, Ask1, SkipIfIdentical1, Menuitem7,
                         Menuitem8, menuitem10, menuitem13, menuitem17})
        m->SetChecked(false);

    Help1 = MainMenu1->Add("Help1", "&Help");
    PictavoHelp1 = Help1->Add("PictavoHelp1", "Help");
    PictavoHelp1->SetShortCut("F1");
    PictavoHomepage1 = Help1->Add("PictavoHomepage1", "Homepage");
    LicenseAgreement1 = Help1->Add("LicenseAgreement1", "License Agreement ");
    Help1->Add("N8", "-");
    AboutPictavo1 = Help1->Add("AboutPictavo1", "&About");

    // Drop-down of "Create All".
}

// The pop-up menus of the list, the build button and the page templates.
void TForm1::BuildPopupMenus()
{
    PopupMenu1 = Make<TPopupMenu>("PopupMenu1", Window());
    Thumbnail1 = PopupMenu1->Add("Thumbnail1", "Create &Thumbnail");
    Images1 = PopupMenu1->Add("Images1", "Create &Images");
    HTMLPages1 = PopupMenu1->Add("HTMLPages1", "Create HTML &Pages");
    PopupMenu1->Add("N9", "-");
    ShowHTMLPage1 = PopupMenu1->Add("ShowHTMLPage1", "Show HTML Page");

    // The list's pop-up menu.
    PopupMenu2 = Make<TPopupMenu>("PopupMenu2", Window());
    Moveitemup1 = PopupMenu2->Add("Moveitemup1", "Move items up");
    Moveitemup1->SetShortCut("Alt+Up");
    Moveitemup1->Tag = 1;
    Moveitemdown1 = PopupMenu2->Add("Moveitemdown1", "Move items down");
    Moveitemdown1->SetShortCut("Alt+Down");
    Moveitemdown1->Tag = 2;
    Moveitemtop1 = PopupMenu2->Add("Moveitemtop1", "Move items top");
    Moveitemtop1->SetShortCut("Alt+Home");
    Moveitemtop1->Tag = 3;
    Moveitembottom1 = PopupMenu2->Add("Moveitembottom1", "Move items bottom");
    Moveitembottom1->SetShortCut("Alt+End");
    Moveitembottom1->Tag = 4;
    MenuItem12 = PopupMenu2->Add("MenuItem12", "Move items to ...");
    MenuItem12->SetShortCut("Alt+Left");
    PlaceHere1 = PopupMenu2->Add("PlaceHere1", "Move items to here");
    PlaceHere1->SetShortCut("Alt+Right");
    PlaceHere1->SetEnabled(false);
    PopupMenu2->Add("N10", "-");
    MenuItem15 = PopupMenu2->Add("MenuItem15", "O&pen");
    MenuItem16 = PopupMenu2->Add("MenuItem16", "P&roperties");
    int context = 601;
    for (TMenuItem* m : {Moveitemup1, Moveitemdown1, Moveitemtop1, Moveitembottom1, MenuItem12, PlaceHere1})
        m->HelpContext = context++;
    // Pop-up shortcuts work while the window is active, as the menu's own would.
    for (int i = 0; i < PopupMenu2->Count(); ++i) Window()->addAction(PopupMenu2->Item(i)->Action());

    // Editors of the template tool buttons.
    PopupMenu3 = Make<TPopupMenu>("PopupMenu3", Window());
    EditWith1 = PopupMenu3->Add("EditWith1", "Edit with ");
    EditWith1->Tag = 10;
    EditWith2 = PopupMenu3->Add("EditWith2", "Edit with ");
    EditWith2->Tag = 11;
    EditWith3 = PopupMenu3->Add("EditWith3", "Edit with ");
    EditWith3->Tag = 12;
    PopupMenu3->Add("N11", "-");
    CustomizeEditor1 = PopupMenu3->Add("CustomizeEditor1", "Customize editor");
}
