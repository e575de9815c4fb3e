// The upload window's files: FTP profiles (pvftp.pv, one site a line) and
// saved file lists (.pfp).

#include "gallery/windows/pvftp1.h"

#include "gallery/windows/pvftp1Internal.h"
#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/strings/StringList.h"
#include "platform/system/Files.h"
#include "platform/system/System.h"

#include <cstring>

using upload_window_detail::CountText;

namespace {

const char* const ListFilter = "ftp generated files (*.pfp)|*.pfp";

}  // namespace

std::string FormatProfileLine(const TFtpProfile& p)
{
    return MakePropertyRecord({p.Name, p.Host, p.Port, p.Timeout, p.User, p.Password, p.WebFolder});
}

TFtpProfile ParseProfileLine(const std::string& line)
{
    std::string rest = line;
    TFtpProfile p;
    for (std::string* field : {&p.Name, &p.Host, &p.Port, &p.Timeout, &p.User, &p.Password, &p.WebFolder})
        *field = UnescapeRecordField(NextField(rest));
    return p;
}

std::string StoredProfileLine(const std::string& line)
{
    // User and password are the bytes the server checks, the web folder a name on it.
    return StoredFieldsToUtf8(line, {5, 6, 7});
}

void SavePrivateLines(const std::string& fileName, const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    if (const int error = WritePrivateFile(fileName, text); error != 0)
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(error));
}

std::string TForm5::ProfilesFileName() { return WritableFolder() + "pvftp.pv"; }

std::vector<std::string> TForm5::LoadProfiles() const
{
    std::vector<std::string> lines;
    if (!FileExists(ProfilesFileName())) return lines;
    TStringList list;
    list.LoadFromFile(ProfilesFileName());
    for (const auto& line : list) lines.push_back(StoredProfileLine(line));
    return lines;
}

void TForm5::SaveProfiles(const std::vector<std::string>& lines) const { SavePrivateLines(ProfilesFileName(), lines); }

void TForm5::ReloadProfileNames(const std::vector<std::string>& lines)
{
    std::vector<std::string> names;
    for (const auto& line : lines) names.push_back(ParseProfileLine(line).Name);
    ComboBox1->Items().Assign(names);
}

// ---------------------------------------------------------------------------
// Profiles

void TForm5::Button14Click(TComponent*)
{
    if (uploading_) return;
    std::string name;
    if (!AskName || !AskName("Save Setting", name) || name.empty()) return;
    std::vector<std::string> lines = LoadProfiles();
    TFtpProfile p{name,
                  Edit1->Text(),
                  std::to_string(SpinEdit1->Value()),
                  std::to_string(SpinEdit2->Value()),
                  Edit2->Text(),
                  Edit3->Text(),
                  Edit5->Text()};
    int match = -1;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i)
        if (ParseProfileLine(lines[static_cast<std::size_t>(i)]).Name == name) match = i;
    if (match < 0) {
        lines.insert(lines.begin(), FormatProfileLine(p));
    } else {
        if (MessageDlgCentered("Confirm Replace", "\"" + name + "\" already exists. Would you like to replace it?",
                               mtConfirmation, mbOK | mbCancel) != mrOk)
            return;
        lines[static_cast<std::size_t>(match)] = FormatProfileLine(p);
    }
    SaveProfiles(lines);
    ReloadProfileNames(lines);
    ComboBox1->SetItemIndex(match < 0 ? 0 : match);
}

void TForm5::Button13Click(TComponent*)
{
    if (uploading_ || !FileExists(ProfilesFileName())) return;
    std::vector<std::string> lines = LoadProfiles();
    const int index = ComboBox1->ItemIndex();
    if (index < 0 || index >= static_cast<int>(lines.size())) return;
    const std::string name = ComboBox1->Items()[index];
    if (MessageDlgCentered("Confirm Delete", "Are you sure you want to delete \"" + name + "\"?", mtConfirmation,
                           mbOK | mbCancel) != mrOk)
        return;
    lines.erase(lines.begin() + index);
    SaveProfiles(lines);
    ComboBox1->Items().Delete(index);
}

void TForm5::Button15Click(TComponent*)
{
    if (uploading_ || !FileExists(ProfilesFileName())) return;
    std::vector<std::string> lines = LoadProfiles();
    const int index = ComboBox1->ItemIndex();
    if (index < 0 || index >= static_cast<int>(lines.size())) return;
    TFtpProfile p = ParseProfileLine(lines[static_cast<std::size_t>(index)]);
    std::string name = p.Name;
    if (!AskName || !AskName("Rename Setting", name) || name.empty() || name == p.Name) return;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        if (i != index && ParseProfileLine(lines[static_cast<std::size_t>(i)]).Name == name) {
            if (MessageDlgCentered("Confirm Replace", "\"" + name + "\" already exists. Would you like to replace it?",
                                   mtConfirmation, mbOK | mbCancel) != mrOk)
                return;
        }
    }
    p.Name = name;
    lines[static_cast<std::size_t>(index)] = FormatProfileLine(p);
    // A profile replaced by the renamed one goes.
    int kept = index;
    for (int i = static_cast<int>(lines.size()) - 1; i >= 0; --i) {
        if (i != kept && ParseProfileLine(lines[static_cast<std::size_t>(i)]).Name == name) {
            lines.erase(lines.begin() + i);
            if (i < kept) --kept;
        }
    }
    SaveProfiles(lines);
    ReloadProfileNames(lines);
    ComboBox1->SetItemIndex(kept);
}

void TForm5::ComboBox1Click(TComponent*)
{
    if (uploading_) return;
    const int index = ComboBox1->ItemIndex();
    if (ComboBox1->Items().Count() == 0 || index < 0 || !FileExists(ProfilesFileName())) return;
    const std::vector<std::string> lines = LoadProfiles();
    if (index >= static_cast<int>(lines.size())) return;
    const TFtpProfile p = ParseProfileLine(lines[static_cast<std::size_t>(index)]);
    Edit1->SetText(p.Host);
    SpinEdit1->SetValue(StrToInt(p.Port));
    SpinEdit2->SetValue(StrToInt(p.Timeout));
    Edit2->SetText(p.User);
    Edit3->SetText(p.Password);
    Edit5->SetText(p.WebFolder);
}

// ---------------------------------------------------------------------------
// Saved lists

void TForm5::Button4Click(TComponent*)
{
    if (uploading_) return;
    TFileDialog dialog(this, "OpenDialog1", TFileDialogKind::Open);
    dialog.Filter = ListFilter;
    dialog.DefaultExt = "pfp";
    dialog.InitialDir = ProgramFolder();
    if (!dialog.Execute()) return;
    TStringList list;
    list.LoadFromFile(dialog.FileName);
    std::vector<std::string> lines;
    for (const auto& line : list) lines.push_back(line);
    ListBox2->Items().Assign(lines);
    if (!lines.empty()) ListBox2->SetItemIndex(0);
    SetStatus(1, CountText("Total Files: %s", static_cast<std::int64_t>(lines.size())));
    UpdateTotals();
}

void TForm5::Button5Click(TComponent*)
{
    if (uploading_) return;
    TFileDialog dialog(this, "SaveDialog1", TFileDialogKind::Save);
    dialog.Filter = ListFilter;
    dialog.DefaultExt = "pfp";
    dialog.InitialDir = ProgramFolder();
    if (!dialog.Execute()) return;
    std::string name = dialog.FileName;
    if (ExtractFileExt(name).empty()) name += ".pfp";
    TStringList list;
    for (const auto& line : ListBox2->Items().ToVector()) list.Add(line);
    list.SaveToFile(name);
}
