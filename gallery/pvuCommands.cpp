// The main window's commands that hand work to other windows and programs:
// the upload window and its manual-paste page, the web-browser preview, the
// template editors, and the viewer, description, properties and drop-target
// windows.
#include "gallery/pvu.h"

#include "gallery/PropertyRecords.h"
#include "gallery/pvutils.h"
#include "gallery/srutils.h"
#include "gallery/srutilsFiles.h"
#include "platform/strings/StringList.h"
#include "platform/system/System.h"
#include "upload/pvftp1.h"

namespace {

// Dialogs of this program that are not part of this build yet say so plainly.
void NotAvailable(const std::string& what)
{
    MessageDlgCentered(ProductName, what + " is not available in this version.", mtInformation, mbOK);
}

}  // namespace

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
    CustomizeEditor1->OnClick = bind(&TForm1::CustomizeEditor1Click);
    Upload1->OnClick = bind(&TForm1::Upload1Click);
    ManualPaste1->OnClick = bind(&TForm1::Upload1Click);
    AddDropTarget1->OnClick = bind(&TForm1::AddDropTarget1Click);
}

void TForm1::Viewimageinfullscreen1Click(TComponent*)
{
    NotAvailable("The full-screen viewer");
    UpdateControls();
}

void TForm1::Button13Click(TComponent*)
{
    if (ListView1->Count() == 0) return;
    if (ListView1->SelCount() == 0) ListView1->SetSelected(0, true);
    NotAvailable("The description editor");
}

void TForm1::CustomizeEditor1Click(TComponent*) { NotAvailable("The properties dialog"); }

void TForm1::AddDropTarget1Click(TComponent*) { NotAvailable("The drop target"); }

void TForm1::ShowHTMLPage1Click(TComponent*)
{
    const std::string folder = NormalizeFolderPath(Edit1->Text());
    const std::string record = GetPropertyRecord(prPagePropertiesIndex);
    if (FieldIsOn(record, PageField::FramesOn))
        ShellOpen(folder + GetField(0, record, PageField::FramePageFile));
    else
        ShellOpen(folder + Edit2->Text());
}

void TForm1::ToolButton9MouseMove(TComponent* Sender, TMouseButton, bool, int, int)
{
    if (Sender) Label51->SetCaption(Sender->Name);
}

void TForm1::OpenwithMicrosoftFrontpage1Click(TComponent* Sender)
{
    if (!Sender) return;
    // A tool button that is clicked is the one under the mouse.
    if (Sender == ToolButton9 || Sender == ToolButton10) Label51->SetCaption(Sender->Name);
    // Before either button was under the mouse the index-page template is meant.
    const bool imagePage = Label51->Caption() == "ToolButton10";
    const std::string templateFile =
        ProgramFolder() + (imagePage ? "imagepg/" : "indexpg/") + (imagePage ? ComboBox5 : ComboBox3)->Text();
    const int tag = Sender->Tag;
    if (tag == 1) {
        ShellOpen(templateFile);
    } else if (tag >= 10 && tag <= 12) {
        const std::string program = GetField(0, GetPropertyRecord(prEdit1 + (tag - 10)), EditorField::Program);
        ShellOpen(program, "\"" + templateFile + "\"");
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
        auto field = [&](int n) { return GetField(1, record, n); };
        form.Edit1->SetText(UnescapeRecordField(field(UploadField::Host)));
        form.SpinEdit1->SetValue(StrToInt(field(UploadField::Port)));
        form.SpinEdit2->SetValue(StrToInt(field(UploadField::Timeout)));
        form.Edit2->SetText(UnescapeRecordField(field(UploadField::User)));
        form.Edit3->SetText(UnescapeRecordField(field(UploadField::Password)));
        form.Edit5->SetText(UnescapeRecordField(field(UploadField::RemoteFolder)));
    } else {
        form.Notebook1->SetPageIndex(1);
        form.SetCaption("Manual Paste");
        const std::string record = GetPropertyRecord(prManualPaste);
        int n = ManualPasteField::Text1;
        for (TEdit* e : {form.Edit43, form.Edit44, form.Edit45, form.Edit46, form.Edit47})
            e->SetText(UnescapeRecordField(GetField(1, record, n++)));
        form.ComboBox29->SetItemIndex(StrToInt(GetField(1, record, ManualPasteField::PathMode)));
    }

    const int result = ShowUploadWindow ? ShowUploadWindow(form) : form.ShowModal();
    if (result != TModal::Ok) return;
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
