// The main window's commands that hand work to other windows and programs:
// the upload window and its manual-paste page, the web-browser preview, the
// template editors, the full-screen viewer, the description editor and the
// drop target.
#include "gallery/mainwindow/pvu.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/windows/Pvu2.h"
#include "gallery/properties/pvu1.h"
#include "gallery/properties/pvu1ToolFiles.h"
#include "gallery/windows/pvu3.h"
#include "gallery/windows/pvu4.h"
#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/core/AsciiCase.h"
#include "platform/strings/StringList.h"
#include "platform/system/System.h"
#include "gallery/windows/pvftp1.h"

#include <QWidget>

#include <algorithm>

void TForm1::ConnectCommandHandlers()
{
    auto bind = [this](void (TForm1::*handler)(TComponent*)) {
        return [this, handler](TComponent* sender) { (this->*handler)(sender); };
    };
    for (TMenuItem* m : {ViewOriginalImage1, View1, ViewThumbnai1})
        m->OnClick = bind(&TForm1::Viewimageinfullscreen1Click);
    Button13->OnClick = bind(&TForm1::Button13Click);
    ShowHTMLPage1->OnClick = bind(&TForm1::ShowHTMLPage1Click);
    PreviewInWebBrowser1->OnClick = bind(&TForm1::ShowHTMLPage1Click);
    for (TToolButton* b : {ToolButton9, ToolButton10}) {
        b->OnMouseMove = [this](TComponent* s, TMouseButton button, bool left, int x, int y) {
            ToolButton9MouseMove(s, button, left, x, y);
        };
        b->OnClick = bind(&TForm1::OpenwithMicrosoftFrontpage1Click);
    }
    for (TMenuItem* m : {EditWith1, EditWith2, EditWith3}) m->OnClick = bind(&TForm1::OpenwithMicrosoftFrontpage1Click);
    CustomizeEditor1->OnClick = bind(&TForm1::Button2Click);
    for (const char* name :
         {"Button1", "Button2", "Button3", "Button4", "Button5", "Button6", "Button7", "Button9", "Button12"})
        Find<TButton>(name)->OnClick = bind(&TForm1::Button2Click);
    Upload1->OnClick = bind(&TForm1::Upload1Click);
    ManualPaste1->OnClick = bind(&TForm1::Upload1Click);
    AddDropTarget1->OnClick = bind(&TForm1::AddDropTarget1Click);
}

int TForm1::ShowDialog(TForm& form) { return ShowDialogWindow ? ShowDialogWindow(form) : form.ShowModal(); }

int SteppedIndex(int current, int count, TListStep step)
{
    if (count <= 0) return -1;
    int target = current;
    switch (step) {
    case TListStep::First: target = 0; break;
    case TListStep::Previous: --target; break;
    case TListStep::Next: ++target; break;
    case TListStep::Last: target = count - 1; break;
    }
    return std::clamp(target, 0, count - 1);
}

int TForm1::StepSelection(TListStep step)
{
    const int current = ListView1->FirstSelected();
    const int target = SteppedIndex(current, ListView1->Count(), step);
    if (target < 0) return -1;
    if (current >= 0) ListView1->SetSelected(current, false);
    ListView1->SetSelected(target, true);
    ListView1->SetFocused(target);
    ListView1->Widget()->update();
    return target;
}

void TForm1::Viewimageinfullscreen1Click(TComponent* Sender)
{
    const std::string name = Sender ? AsciiLower(Sender->Name) : "";
    TForm3 viewer(*this);
    viewer.Label1->SetCaption(name == "vieworiginalimage1" ? "3" : name == "view1" ? "2" : "1");
    viewer.FitScreen();
    // A picture that cannot be made leaves the viewer black.
    viewer.ShowItemPicture(ListView1->FirstSelected());
    ShowDialog(viewer);
    UpdateControls();
}

TForm4& TForm1::DescriptionEditor()
{
    if (!descriptionEditor_) descriptionEditor_ = std::make_unique<TForm4>(*this);
    return *descriptionEditor_;
}

void TForm1::Button13Click(TComponent*)
{
    if (ListView1->Count() == 0) return;
    if (ListView1->SelCount() == 0) ListView1->SetSelected(0, true);
    TForm4& editor = DescriptionEditor();
    editor.Edit1->SetText("");
    editor.Memo1->Lines().Clear();
    editor.Memo2->Lines().Clear();
    editor.ShowItem(ListView1->FirstSelected());
    ShowDialog(editor);
}

void TForm1::Button2Click(TComponent* Sender)
{
    const int kind = Sender ? PropertyKindOfSender(AsciiLower(Sender->Name)) : -1;
    if (kind < 0) return;
    TForm2 dialog(this);
    dialog.TransferPageProperties(*this, kind);
    if (ShowDialog(dialog) == TModal::Ok) {
        // The decoration the dialog was opened for is switched on.
        TCheckBox* ticked[PropertyKindCount] = {nullptr, nullptr, CheckBox5, CheckBox6, CheckBox4, CheckBox2};
        if (ticked[kind]) ticked[kind]->SetChecked(true);
        dialog.StorePageProperties(*this, kind);
    }
    if (kind == pkEditors) UpdateEditWithCaptions();
}

void TForm1::UpdateEditWithCaptions()
{
    TMenuItem* entries[] = {EditWith1, EditWith2, EditWith3};
    for (int i = 0; i < 3; ++i)
        entries[i]->SetCaption("Edit with " + RecordText(0, GetPropertyRecord(prEdit1 + i), EditorField::Title));
}

void TForm1::AddDropTarget1Click(TComponent*)
{
    Hide();
    // The main window comes back however the drop target ends.
    struct ShowAgain {
        TForm1& form;
        ~ShowAgain() { form.Show(); }
    } showAgain{*this};
    TForm6 target;
    const std::string place = GetPropertyRecord(prDropTargetXY);
    target.Label1->SetCaption(GetField(0, place, DropTargetField::Left));
    target.Label2->SetCaption(GetField(0, place, DropTargetField::Top));
    TStrings& paths = target.ListBox1->Items();
    for (int i = 0; i < ListView1->Count(); ++i) paths.Insert(paths.Count(), ItemFullPath(i));
    if (ShowDialog(target) != TModal::Ok) return;
    SetPropertyRecord(prDropTargetXY, target.Label1->Caption() + "|" + target.Label2->Caption());
    // The drop target's list is sorted, free of duplicates and holds every item.
    std::vector<TListRow> rows;
    rows.reserve(static_cast<std::size_t>(paths.Count()));
    for (int i = 0; i < paths.Count(); ++i) rows.push_back(MakeSourceItem(paths.Get(i)));
    ListView1->SetRows(rows);
    paths.Clear();
    EnableMainUI(1);
    UpdateControls();
    if (ListView1->Count() > 0 && ListView1->SelCount() == 0) ListView1->SetSelected(0, true);
}

void TForm1::ShowHTMLPage1Click(TComponent*)
{
    const std::string folder = NormalizeFolderPath(Edit1->Text());
    const std::string record = GetPropertyRecord(prPagePropertiesIndex);
    if (FieldIsOn(record, PageField::FramesOn))
        ShellOpen(folder + RecordText(0, record, PageField::FramePageFile));
    else
        ShellOpen(folder + Edit2->Text());
}

void TForm1::ToolButton9MouseMove(TComponent* Sender, TMouseButton, bool, int, int)
{
    if (Sender) Label51->SetCaption(Sender->Name);
}

namespace {

// The page template of the tool button last under the mouse; before either
// button was under the mouse the index-page template is meant.
std::string HoveredPageTemplate(const TForm1& form)
{
    const bool imagePage = form.Label51->Caption() == "ToolButton10";
    return ProgramFolder() + (imagePage ? "imagepg/" : "indexpg/") +
           (imagePage ? form.ComboBox5 : form.ComboBox3)->Text();
}

}  // namespace

void TForm1::OpenwithMicrosoftFrontpage1Click(TComponent* Sender)
{
    if (!Sender) return;
    // A tool button that is clicked is the one under the mouse.
    if (Sender == ToolButton9 || Sender == ToolButton10) Label51->SetCaption(Sender->Name);
    const std::string templateFile = HoveredPageTemplate(*this);
    const int tag = Sender->Tag;
    if (tag == 1) {
        ShellOpen(templateFile);
    } else if (tag >= 10 && tag <= 12) {
        const std::string program = RecordText(0, GetPropertyRecord(prEdit1 + (tag - 10)), EditorField::Program);
        // The template is the editor's one argument, whatever its name holds.
        std::string error;
        if (!StartEditor(program, templateFile, error)) MessageDlgCentered("Error", error, mtError, mbOK);
    }
}

void TForm1::Upload1Click(TComponent* Sender)
{
    const bool upload = Sender && Sender->Name.find("Upload1") != std::string::npos;
    if (Application) Application->ProcessMessages();
    const std::string listFile = WritableFolder() + "pftp.bak";
    if (!FileExists(listFile)) {
        MessageDlgCentered(upload ? "FTP Upload" : "Manual Paste",
                           "There is no list of produced files yet (" + listFile + "). Create the gallery first.",
                           mtInformation, mbOK);
        return;
    }
    TForm5 form(this);
    FillUploadWindow(form, upload, listFile);
    const int result = ShowUploadWindow ? ShowUploadWindow(form) : form.ShowModal();
    if (result == TModal::Ok) StoreUploadWindow(form, upload);
}

void TForm1::FillUploadWindow(TForm5& form, bool upload, const std::string& listFile)
{
    form.ComboBox1->Items().Clear();
    if (FileExists(TForm5::ProfilesFileName())) {
        std::vector<std::string> names;
        for (const auto& name : LoadFirstFields(TForm5::ProfilesFileName())) names.push_back(UnescapeRecordField(name));
        form.ComboBox1->Items().Assign(names);
    }
    TStringList produced;
    produced.LoadFromFile(listFile);
    std::vector<std::string> lines;
    for (const auto& line : produced) lines.push_back(line);
    form.ListBox1->Items().Assign(lines);
    form.Label1->SetCaption(NormalizeFolderPath(Edit1->Text()));
    std::string total;
    FormatCount(1, "Total Files: %s", static_cast<std::int64_t>(lines.size()), total);
    form.StatusBar1->SetPanelText(1, total);

    if (upload) {
        form.Notebook1->SetPageIndex(0);
        form.SetCaption("FTP Upload");
        const std::string record = GetPropertyRecord(prUpload);
        auto text = [&](int n) { return RecordText(1, record, n); };
        form.Edit1->SetText(text(UploadField::Host));
        form.SpinEdit1->SetValue(StrToInt(text(UploadField::Port)));
        form.SpinEdit2->SetValue(StrToInt(text(UploadField::Timeout)));
        form.Edit2->SetText(text(UploadField::User));
        form.Edit3->SetText(text(UploadField::Password));
        form.Edit5->SetText(text(UploadField::RemoteFolder));
    } else {
        form.Notebook1->SetPageIndex(1);
        form.SetCaption("Manual Paste");
        const std::string record = GetPropertyRecord(prManualPaste);
        int n = ManualPasteField::Text1;
        for (TEdit* e : {form.Edit43, form.Edit44, form.Edit45, form.Edit46, form.Edit47})
            e->SetText(RecordText(1, record, n++));
        form.ComboBox29->SetItemIndex(StrToInt(GetField(1, record, ManualPasteField::PathMode)));
    }
}

void TForm1::StoreUploadWindow(TForm5& form, bool upload)
{
    if (upload) {
        SetPropertyRecord(prUpload, MakePropertyRecord({form.Edit1->Text(), std::to_string(form.SpinEdit1->Value()),
                                                        std::to_string(form.SpinEdit2->Value()), form.Edit2->Text(),
                                                        form.Edit3->Text(), form.Edit5->Text()}));
    } else {
        SetPropertyRecord(
            prManualPaste,
            MakePropertyRecord({form.Edit43->Text(), form.Edit44->Text(), form.Edit45->Text(), form.Edit46->Text(),
                                form.Edit47->Text(), std::to_string(form.ComboBox29->ItemIndex())}));
    }
}
