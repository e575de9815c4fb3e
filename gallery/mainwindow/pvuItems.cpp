// The source-item list: adding pictures by folder scan, file dialog and item
// lists, deleting and selecting them, and keeping the window's controls and
// status bar in step with the list and the settings. Sorting and moving are
// in pvuItemsOrder.cpp.
#include "gallery/mainwindow/pvu.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "gallery/pictures/pvutilsGeometry.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/core/Split.h"
#include "platform/system/FindFiles.h"
#include "platform/system/Files.h"
#include "platform/system/System.h"

#include <algorithm>
#include <climits>

namespace {

std::vector<std::string> SplitMasks(const std::string& masks) { return SplitText(masks, ';'); }

}  // namespace

// ---------------------------------------------------------------------------

TListRow TForm1::MakeSourceItem(const std::string& fullPath)
{
    TListRow row;
    row.Caption = ExtractFileName(fullPath);
    row.SubItems.resize(3);
    row.SubItems[0] = ExtractFilePath(fullPath);
    const std::size_t dot = row.Caption.find('.');
    if (dot != std::string::npos)
        row.SubItems[1] = AsciiLower(ExtractFileExt(row.Caption)) + AsciiLower(row.Caption.substr(0, dot));
    FileDateText(2, fullPath, "", row.SubItems[2]);
    return row;
}

std::string TForm1::ItemFullPath(int index) const { return ListView1->SubItem(index, 0) + ListView1->Caption(index); }

void TForm1::EnableMainUI(int flag)
{
    if (flag != 0 && flag != 1) return;
    PageControl1->SetEnabled(flag == 1);
    ToolBar1->SetEnabled(flag == 1);
}

void TForm1::EnableControl(bool enabled, const std::string& controlName)
{
    auto* control = dynamic_cast<TControl*>(FindComponent(controlName));
    if (!control) return;
    control->SetEnabled(enabled);
    const std::string name = AsciiLower(controlName);
    for (const char* skip : {"checkbo", "button", "panel"})
        if (name.find(skip) != std::string::npos) return;
    if (name.find("notebook") != std::string::npos)
        control->SetVisible(enabled);
    else
        control->SetColor(enabled ? clWindow : clBtnFace);
}

void TForm1::RebuildFromSet(const TPathSet& paths, bool showProgress)
{
    TPathSet all = paths;
    for (int i = 0; i < ListView1->Count(); ++i) all.insert(ItemFullPath(i));
    if (showProgress) {
        ProgressBar1->SetMax(static_cast<int>(all.size()));
        ProgressBar1->SetPosition(0);
        ProgressBar1->SetVisible(true);
    }
    std::vector<TListRow> rows;
    rows.reserve(all.size());
    for (const std::string& path : all) {
        rows.push_back(MakeSourceItem(path));
        if (showProgress) ProgressBar1->StepBy(1);
    }
    ListView1->SetRows(rows);
}

// ---------------------------------------------------------------------------
// Adding

void TForm1::Newitems1Click(TComponent*)
{
    if (ListView1->Count() > 0 &&
        MessageDlgCentered("Confirm Clear items", "Are you sure you want to clear the list items?", mtInformation,
                           mbYes | mbNo) == mrYes) {
        EnableMainUI(0);
        ListView1->SetVisible(false);
        ListView1->Clear();
        ListView1->SetVisible(true);
        EnableMainUI(1);
    }
    UpdateControls();
}

void TForm1::Adddirectory1Click(TComponent*)
{
    const std::string start = RecordText(1, GetPropertyRecord(prSourceImage), SourceImageField::Folder);
    RemoveMissingItems();
    std::string chosen;
    if (BrowseForFolder("Select directory for scanning the files: \r\n" + ComboBox16->Text(), start, "", chosen,
                        true)) {
        SetPropertyRecord(prSourceImage, EscapeRecordField(chosen));
        EnableMainUI(0);
        ListView1->SetVisible(false);
        if (Application) Application->ProcessMessages();
        ScanSet.clear();
        ScanFolder(chosen, ComboBox16->Text(), ComboBox20->Text());
        RebuildFromSet(ScanSet, true);
        ScanSet.clear();
        ListView1->SetVisible(true);
    }
    EnableMainUI(1);
    ProgressBar1->SetVisible(false);
    if (ListView1->Count() > 0 && ListView1->SelCount() == 0) ListView1->SetSelected(0, true);
    UpdateControls();
}

void TForm1::ScanFolder(const std::string& folder, const std::string& includeMasks, const std::string& excludeMasks)
{
    // The walk never changes the current folder and enters no folder twice,
    // so a symlink loop ends the descent instead of recursing for ever.
    WalkFolder(folder, menuitem3->Checked(), [&](const std::string& in, const TSearchRec& entry) {
        const std::string path = in + entry.Name;
        MatchesFilter(path, includeMasks, excludeMasks);
        // Only plain folders are entered; hidden or read-only ones are passed over.
        return entry.Attr == faDirectory;
    });
}

namespace {

// name (lower case) matches one of the include masks.
bool IncludedByMasks(const std::string& name, const std::string& includeMasks)
{
    bool taken = false;
    for (const std::string& mask : SplitMasks(includeMasks))
        if (mask == "*.*" || MatchesMask(name, AsciiLower(mask))) taken = true;
    return taken;
}

// name (lower case) matches one of the exclude masks; a last mask of "*." or
// "*" also excludes every path that holds a dot.
bool ExcludedByMasks(const std::string& fullPath, const std::string& name, const std::string& excludeMasks)
{
    const std::vector<std::string> excludes = SplitMasks(excludeMasks);
    bool excluded = false;
    for (const std::string& mask : excludes)
        if (mask == "*.*" || (!mask.empty() && MatchesMask(name, AsciiLower(mask)))) excluded = true;
    const bool dotted = fullPath.find('.') != std::string::npos;
    return excluded || (dotted && (excludes.back() == "*." || excludes.back() == "*"));
}

}  // namespace

void TForm1::MatchesFilter(const std::string& fullPath, const std::string& includeMasks,
                           const std::string& excludeMasks)
{
    const std::string name = AsciiLower(ExtractFileName(fullPath));
    const bool taken = IncludedByMasks(name, includeMasks) && !ExcludedByMasks(fullPath, name, excludeMasks);
    if (taken && !DirectoryExists(fullPath)) ScanSet.insert(fullPath);
}

void TForm1::Addfiles1Click(TComponent*)
{
    const std::string include = ComboBox16->Text();
    OpenPictureDialog1->Title = "Add (files)";
    OpenPictureDialog1->Filter = include + "|" + include + "|" + PictureFilesFilter();
    OpenPictureDialog1->InitialDir = RecordText(1, GetPropertyRecord(prSourceImage), SourceImageField::Folder);
    RemoveMissingItems();
    if (!OpenPictureDialog1->Execute()) return;
    TPathSet chosen;
    for (const std::string& file : OpenPictureDialog1->Files)
        if (!DirectoryExists(file)) chosen.insert(file);
    EnableMainUI(0);
    RebuildFromSet(chosen, false);
    EnableMainUI(1);
    if (!OpenPictureDialog1->Files.empty())
        SetPropertyRecord(
            prSourceImage,
            EscapeRecordField(ExcludeTrailingPathDelimiter(ExtractFilePath(OpenPictureDialog1->Files[0]))));
    if (ListView1->Count() > 0 && ListView1->SelCount() == 0) ListView1->SetSelected(0, true);
    UpdateControls();
}

// ---------------------------------------------------------------------------
// Item-list files

void TForm1::Open2Click(TComponent*)
{
    OpenItemsDialog->DefaultExt = "pvi";
    OpenItemsDialog->Filter = "Items List (*.pvi)|*.pvi";
    OpenItemsDialog->InitialDir = ProgramFolder();
    if (OpenItemsDialog->Execute()) LoadItemList(OpenItemsDialog->FileName);
}

void TForm1::LoadItemList(const std::string& fileName)
{
    TStringList lines;
    lines.LoadFromFile(fileName);
    TPathSet paths;
    // A name not on disk as bytes may be there under its Windows-1252 reading.
    for (const std::string& line : lines)
        if (!line.empty()) paths.insert(StoredFileName("", line));
    std::vector<TListRow> rows;
    for (const std::string& path : paths)
        if (FileExists(path)) rows.push_back(MakeSourceItem(path));
    ListView1->SetRows(rows);
    if (ListView1->Count() > 0 && ListView1->SelCount() == 0) ListView1->SetSelected(0, true);
    UpdateControls();
}

void TForm1::Save2Click(TComponent*)
{
    SaveItemsDialog->DefaultExt = "pvi";
    SaveItemsDialog->Filter = "Items List (*.pvi)|*.pvi";
    SaveItemsDialog->InitialDir = ProgramFolder();
    if (!SaveItemsDialog->Execute()) return;
    std::string name = SaveItemsDialog->FileName;
    if (ExtractFileExt(name).empty()) name += ".pvi";
    SaveItemList(name);
}

void TForm1::SaveItemList(const std::string& fileName)
{
    TStringList lines;
    for (int i = 0; i < ListView1->Count(); ++i) lines.Add(ItemFullPath(i));
    lines.SaveToFile(fileName);
}

void TForm1::RemoveMissingItems()
{
    EnableMainUI(0);
    if (Application) Application->ProcessMessages();
    for (int i = ListView1->Count() - 1; i >= 0; --i) {
        const std::string path = ItemFullPath(i);
        if (!DirectoryExists(path) && !FileExists(path)) ListView1->Delete(i);
    }
    EnableMainUI(1);
}

// ---------------------------------------------------------------------------
// Deleting and selecting

void TForm1::Delete1Click(TComponent*)
{
    const int selected = ListView1->SelCount();
    ProgressBar1->SetMax(selected);
    ProgressBar1->SetPosition(0);
    ProgressBar1->SetVisible(true);
    ListView1->SetEnabled(false);
    ListView1->SetVisible(false);
    for (int i = ListView1->Count() - 1; i >= 0; --i) {
        if (!ListView1->Selected(i)) continue;
        ListView1->Delete(i);
        ProgressBar1->StepBy(1);
    }
    ListView1->SetVisible(true);
    ListView1->SetEnabled(true);
    ProgressBar1->SetVisible(false);
    UpdateControls();
}

void TForm1::Invert1Click(TComponent*)
{
    for (int i = 0; i < ListView1->Count(); ++i) ListView1->SetSelected(i, !ListView1->Selected(i));
    UpdateControls();
}

void TForm1::Selectall1Click(TComponent*)
{
    for (int i = 0; i < ListView1->Count(); ++i) ListView1->SetSelected(i, true);
    UpdateControls();
}

void TForm1::Deselectall1Click(TComponent*)
{
    for (int i = 0; i < ListView1->Count(); ++i) ListView1->SetSelected(i, false);
    UpdateControls();
}

void TForm1::Refresh1Click(TComponent*)
{
    // Reloads the template and caption lists but keeps the settings in the
    // window: re-reading pv.ini here would throw away unsaved changes.
    struct Choice {
        TComboBox* box;
        std::string text;
        int index;
    };
    std::vector<Choice> choices;
    for (TComboBox* box : {ComboBox3, ComboBox5, ComboBox9, ComboBox14})
        choices.push_back({box, box->Text(), box->ItemIndex()});
    LoadTemplateLists(false);
    for (const Choice& c : choices) {
        const int byText = c.text.empty() ? -1 : c.box->Items().IndexOf(c.text);
        c.box->SetItemIndex(byText >= 0 ? byText : c.index);
    }
    RemoveMissingItems();
    UpdateControls();
}

void TForm1::menuitem3Click(TComponent* Sender)
{
    if (auto* item = dynamic_cast<TMenuItem*>(Sender)) item->SetChecked(!item->Checked());
    UpdateControls();
}

void TForm1::MenuItem16Click(TComponent*)
{
    if (ListView1->SelCount() == 0) return;
    int chosen = -1;
    for (int i = 0; i < ListView1->Count(); ++i)
        if (ListView1->Focused(i) && ListView1->Selected(i)) chosen = i;
    if (chosen >= 0) ShowFileProperties(ItemFullPath(chosen));
}

bool BrowseForFolder(const std::string& title, const std::string& startFolder, const std::string&, std::string& chosen,
                     bool)
{
    return BrowseForFolderDialog(title, startFolder, chosen);
}

// ---------------------------------------------------------------------------
// Destination, histories and the state of the controls

void TForm1::Button8Click(TComponent*)
{
    std::string chosen;
    if (BrowseForFolderDialog("Save in folder", Edit1->Text(), chosen)) Edit1->SetText(chosen);
}

void TForm1::ComboBox16Exit(TComponent* Sender)
{
    auto* box = dynamic_cast<TComboBox*>(Sender);
    if (!box) return;
    const std::string text = Trim(box->Text());
    box->SetText(text);
    if (box == ComboBox23 && !text.empty()) {
        const std::string head = AsciiLower(text.substr(0, 7));
        // "https:/" is as absolute as "http:/".
        if (text[0] != '/' && head.compare(0, 6, "http:/") != 0 && head != "https:/") {
            MessageDlgCentered("Error", "The base URL must be absolute.", mtInformation, mbOK);
            box->SetText("");
            return;
        }
    }
    if (!text.empty() && box->Items().IndexOf(text) < 0) box->Items().Insert(0, text);
}

void TForm1::ComboBox13KeyUp(TComponent* Sender, int& Key)
{
    if (Key != VK_DELETE) return;
    auto* box = dynamic_cast<TComboBox*>(Sender);
    if (!box) return;
    const std::string text = AsciiLower(box->Text());
    for (int i = box->Items().Count() - 1; i >= 0; --i) {
        if (AsciiLower(box->Items().Get(i)) == text) {
            box->Items().Delete(i);
            return;
        }
    }
}

void TForm1::ListView1Click(TComponent*) { UpdateControls(); }
void TForm1::ListView1KeyUp(TComponent*, int&) { UpdateControls(); }
void TForm1::SpinEdit1Exit(TComponent*) { UpdateControls(); }
void TForm1::ComboBox1Change(TComponent*) { UpdateControls(); }
void TForm1::ComboBox19Click(TComponent*) { UpdateControls(); }
void TForm1::ComboBox4Change(TComponent*) { UpdateControls(); }

void TForm1::ComboBox7Click(TComponent*)
{
    Notebook1->SetPageIndex(std::max(0, ComboBox7->ItemIndex()));
    Notebook2->SetPageIndex(std::max(0, ComboBox8->ItemIndex()));
}

void TForm1::UpdateControls()
{
    ListView1->SetGridLines(Menuitem4->Checked());
    ListView1->SetHotTrack(Menuitem5->Checked());
    SetShowHint(Menuitem6->Checked());

    ComboBox7Click(ComboBox7);

    Save1->SetEnabled(!Label31->Caption().empty());

    const int n = ListView1->Count();
    const bool any = n > 0;
    for (TMenuItem* m :
         {StartCreate1, Delete1, Invert1, Selectall1, Deselectall1, ViewOriginalImage1, View1, ViewThumbnai1})
        m->SetEnabled(any);
    ToolButton6all->SetEnabled(any);
    ToolButton4->SetEnabled(any);
    Button13->SetEnabled(any);

    UpdateSizeControls();

    const int selected = ListView1->SelCount();
    if (any) {
        const bool some = selected > 0;
        for (TMenuItem* m : {Delete1, Invert1, Deselectall1}) m->SetEnabled(some);
        ToolButton4->SetEnabled(some);
        Button13->SetEnabled(some);
        for (TMenuItem* m : {ViewOriginalImage1, View1, ViewThumbnai1}) m->SetEnabled(selected == 1);
    }
    UpdateStatusBar(n, selected);
}

void TForm1::UpdateSizeControls()
{
    EnableControl(true, "SpinEdit8");
    EnableControl(true, "SpinEdit9");
    if (ComboBox19->ItemIndex() == rmWidth) EnableControl(false, "SpinEdit9");
    if (ComboBox19->ItemIndex() == rmHeight) EnableControl(false, "SpinEdit8");
    EnableControl(true, "SpinEdit7");
    if (ComboBox6->ItemIndex() == skPercent) EnableControl(false, "SpinEdit7");
    EnableControl(ComboBox1->ItemIndex() != lySinglePage, "SpinEdit2");

    GroupBox2->SetVisible(ComboBox4->ItemIndex() == hlImagePage);
}

void TForm1::UpdateStatusBar(int items, int selected)
{
    int pages = 0, remainder = 0;
    PageCount(pages, remainder, ComboBox1->ItemIndex(), SpinEdit2->Value(), SpinEdit1->Value(), items);
    std::string text;
    FormatCount(1, "Total Pages: %s", pages, text);
    StatusBar1->SetPanelText(0, text);
    std::string counts;
    FormatCount(1, "Total Items: %s ", items, counts);
    std::string more;
    if (selected == 1) FormatCount(1, "        Current: %s", ListView1->FirstSelected() + 1, more);
    if (selected > 1) FormatCount(1, "        Selected %s items", selected, more);
    StatusBar1->SetPanelText(1, counts + more);
}
