// The upload window's manual-paste page: produced paths and five texts go to
// the clipboard by system-wide hot keys (Alt + arrows, Alt + 1..5).

#include "gallery/windows/pvftp1.h"

#include "gallery/records/pvutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/system/System.h"
#include "widgets/kitnwgui.h"

#include <QLineEdit>

namespace {

std::string DigitOf(const std::string& name)
{
    for (auto it = name.rbegin(); it != name.rend(); ++it)
        if (*it >= '0' && *it <= '9') return std::string(1, *it);
    return std::string();
}

}  // namespace

void TForm5::BuildPastePage(QWidget* page)
{
    Button21 = Make<TButton>("Button21", page, "Close");
    Button21->SetBounds(294, 330, 80, 26);
    Button21->OnClick = [this](TComponent* s) { Button21Click(s); };
    TEdit** edits[5] = {&Edit43, &Edit44, &Edit45, &Edit46, &Edit47};
    for (int k = 0; k < 5; ++k) {
        const std::string n = std::to_string(k + 1);
        Make<TLabel>("Label4" + std::to_string(3 + k), page, "Alt+&" + n)->SetBounds(8, 8 + 28 * k, 60, 22);
        *edits[k] = Make<TEdit>("Edit" + std::to_string(43 + k), page);
        (*edits[k])->SetBounds(70, 6 + 28 * k, 304, 24);
    }
    ComboBox29 = Make<TComboBox>("ComboBox29", page, false);
    ComboBox29->SetBounds(70, 148, 304, 24);
    ComboBox29->Items().Add("x:\\path\\path_etc\\filename");
    ComboBox29->Items().Add("Filename");
    Make<TLabel>("Label48", page, "&Generated files:")->SetBounds(8, 178, 200, 20);
    ListBox1 = Make<TListBox>("ListBox1", page);
    ListBox1->SetBounds(8, 200, 366, 124);
    Edit48 = Make<TEdit>("Edit48", page);
    Edit48->SetVisible(false);
}

void TForm5::CreateHotKeys()
{
    // Alt + arrow keys walk the produced files; Alt + 1..5 give the five texts.
    struct Key {
        const char* name;
        std::uint16_t virtualKey;
        bool arrow;
    };
    static const Key keys[] = {{"PVCut1", 37, true},   {"PVCut2", 39, true},   {"PVCut3", 38, true},
                               {"PVCut4", 40, true},   {"PVCut5", '1', false}, {"PVCut6", '2', false},
                               {"Pvcut7", '3', false}, {"PVCut8", '4', false}, {"PVCut9", '5', false}};
    for (const Key& k : keys) {
        auto* hotKey = Make<TKitGlobalHotKey>(k.name);
        if (k.arrow)
            hotKey->OnKeyDown = [this](TComponent* s, std::uint16_t&, TShiftState) { PVCut1KeyDown(s); };
        else
            hotKey->OnKeyDown = [this](TComponent* s, std::uint16_t&, TShiftState) { PVCut5KeyDown(s); };
        hotKey->SetHotKey(static_cast<TShortCut>(scAlt + k.virtualKey));
        HotKeys.push_back(hotKey);
    }
}

void TForm5::Button21Click(TComponent*)
{
    ModalResult = TModal::Ok;
    Close();
}

void TForm5::CopyToClipboard(const std::string& text)
{
    Edit48->SetText(text);
    if (auto* edit = qobject_cast<QLineEdit*>(Edit48->Widget())) {
        edit->selectAll();
        edit->copy();
    }
}

void TForm5::PVCut1KeyDown(TComponent* Sender)
{
    const int count = ListBox1->Items().Count();
    if (count == 0 || !Sender) return;
    const std::string digit = DigitOf(Sender->Name);
    int index = ListBox1->ItemIndex();
    if (digit == "1")
        index = 0;
    else if (digit == "2")
        index = count - 1;
    else if (digit == "3")
        index -= 1;
    else if (digit == "4")
        index += 1;
    else
        return;
    if (index < 0) index = 0;
    if (index > count - 1) index = count - 1;
    ListBox1->SetItemIndex(index);
    const std::string line = ListBox1->Items()[index];
    if (ComboBox29->ItemIndex() == 0)
        CopyToClipboard(NormalizeFolderPath(Label1->Caption()) + ToFileSystemPath(line));
    else
        CopyToClipboard(ExtractFileName(line));
}

void TForm5::PVCut5KeyDown(TComponent* Sender)
{
    if (!Sender) return;
    const std::string digit = DigitOf(Sender->Name);
    if (digit.empty() || digit[0] < '5' || digit[0] > '9') return;
    TEdit* edits[5] = {Edit43, Edit44, Edit45, Edit46, Edit47};
    CopyToClipboard(edits[digit[0] - '5']->Text());
}
