// The order of the source-item list: the "Sort by" entries, and moving the
// selected items up, down, to the top or bottom, or to a place chosen later.
#include "gallery/mainwindow/pvu.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

// ---------------------------------------------------------------------------
// Sorting

void TForm1::Name1Click(TComponent*) { SortItems(TItemSort::Name); }
void TForm1::ExtName1Click(TComponent*) { SortItems(TItemSort::ExtName); }
void TForm1::PathName1Click(TComponent*) { SortItems(TItemSort::PathName); }
void TForm1::PathExtName1Click(TComponent*) { SortItems(TItemSort::PathExtName); }
void TForm1::DateTime1Click(TComponent*) { SortItems(TItemSort::DateTime); }
void TForm1::PathDateTime1Click(TComponent*) { SortItems(TItemSort::PathDateTime); }

namespace {

// The packed file date of an item; a missing or broken date sorts first.
long long DateOf(const std::string& text)
{
    if (text.empty()) return LLONG_MIN;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    return (end && *end == '\0') ? v : LLONG_MIN;
}

std::string SubItem(const TListRow& r, std::size_t k) { return k < r.SubItems.size() ? r.SubItems[k] : std::string(); }

// Dates compare as the numbers they are, not as their digits; equal dates by name.
bool DateLess(const TListRow& a, const TListRow& b)
{
    const long long da = DateOf(SubItem(a, 2)), db = DateOf(SubItem(b, 2));
    if (da != db) return da < db;
    return CompareText(a.Caption, b.Caption) < 0;
}

bool FolderDateLess(const TListRow& a, const TListRow& b)
{
    const int byFolder = CompareText(SubItem(a, 0), SubItem(b, 0));
    if (byFolder != 0) return byFolder < 0;
    return DateOf(SubItem(a, 2)) < DateOf(SubItem(b, 2));
}

// The order of a "Sort by" entry (sub-items: folder, sort key, date).
bool RowLess(TItemSort order, const TListRow& a, const TListRow& b)
{
    switch (order) {
    case TItemSort::ExtName: return CompareText(SubItem(a, 1), SubItem(b, 1)) < 0;
    case TItemSort::PathName: return CompareText(SubItem(a, 0) + a.Caption, SubItem(b, 0) + b.Caption) < 0;
    case TItemSort::PathExtName: return CompareText(SubItem(a, 0) + SubItem(a, 1), SubItem(b, 0) + SubItem(b, 1)) < 0;
    case TItemSort::DateTime: return DateLess(a, b);
    case TItemSort::PathDateTime: return FolderDateLess(a, b);
    default: return false;
    }
}

}  // namespace

void TForm1::SortItems(TItemSort order)
{
    if (order == TItemSort::Name) {
        ListView1->AlphaSort();
        return;
    }
    std::vector<TListRow> rows = ListView1->Rows();
    std::stable_sort(rows.begin(), rows.end(),
                     [order](const TListRow& a, const TListRow& b) { return RowLess(order, a, b); });
    ListView1->SetRows(rows);
}

// ---------------------------------------------------------------------------
// Moving

void TForm1::Moveitemup1Click(TComponent* Sender)
{
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item) return;
    static const char* const modes[] = {"0", "-1", "1", "-2", "2"};
    if (item->Tag < 1 || item->Tag > 4) return;
    Label49->SetCaption("0");
    Label50->SetCaption(modes[item->Tag]);
    MoveSelectedItems();
}

void TForm1::MenuItem12Click(TComponent*)
{
    DragPending = ListView1->FirstSelected();
    moveSources_.clear();
    for (int i = 0; i < ListView1->Count(); ++i)
        if (ListView1->Selected(i)) moveSources_.push_back(ItemFullPath(i));
    PlaceHere1->SetEnabled(true);
}

void TForm1::PlaceHere1Click(TComponent*)
{
    const int target = ListView1->FirstSelected();
    // The rows to move are the ones chosen by "Move items to ..."; the
    // selection now only marks the place.
    if (!moveSources_.empty() && target >= 0) {
        int above = 0;
        for (int i = 0; i < ListView1->Count(); ++i) {
            const std::string path = ItemFullPath(i);
            const bool moving = std::find(moveSources_.begin(), moveSources_.end(), path) != moveSources_.end();
            ListView1->SetSelected(i, moving);
            if (moving && i < target) ++above;
        }
        Label50->SetCaption("5");
        Label49->SetCaption(std::to_string(target - above));
        MoveSelectedItems();
    }
    moveSources_.clear();
    PlaceHere1->SetEnabled(false);
    UpdateControls();
}

namespace {

// The move modes whose place follows from the first row taken: one down, to
// the bottom, to a place chosen later.
bool MovesDown(int mode) { return mode == 1 || mode == 2 || mode == 5; }

}  // namespace

int TForm1::TakeSelectedItems(int mode)
{
    int target = 0;
    bool firstTaken = false;
    for (int a = ListView1->Count() - 1; a >= 0; --a) {
        if (!ListView1->Selected(a)) continue;
        const TListRow row = ListView1->Row(a);
        // A file name may hold "|": each part is stored escaped.
        Memo1->Lines().Add(MakePropertyRecord({row.Caption, row.SubItems[0], row.SubItems[1], row.SubItems[2]}));
        ListView1->Delete(a);
        if (MovesDown(mode) && !firstTaken) {
            firstTaken = true;
            // The block ends one place below the lowest taken row: the rows
            // still selected above it will be taken out too.
            target = mode == 2 ? ListView1->Count() : a + 1 - ListView1->SelCount();
        }
        if (mode == -1) target = a - 1;
        if (mode == -2) target = 0;
    }
    return target;
}

void TForm1::MoveSelectedItems()
{
    const int mode = std::atoi(Label50->Caption().c_str());
    Memo1->Lines().Clear();
    int target = TakeSelectedItems(mode);
    if (mode == 5) target = std::atoi(Label49->Caption().c_str());
    target = std::clamp(target, 0, ListView1->Count());
    for (int i = 0; i < Memo1->Lines().Count(); ++i) {
        std::string rest = Memo1->Lines().Get(i);
        TListRow row;
        row.SubItems.resize(3);
        row.Caption = UnescapeRecordField(NextField(rest));
        for (auto& s : row.SubItems) s = UnescapeRecordField(NextField(rest));
        row.Selected = true;
        row.Focused = true;
        ListView1->Insert(target, row);
    }
    Memo1->Lines().Clear();
    UpdateControls();
}

void TForm1::ListView1MouseMove(TComponent*, TMouseButton, bool LeftHeld, int, int)
{
    ListView1->SetDragCursor(LeftHeld);
    DragPending = LeftHeld ? 99 : 0;
}

void TForm1::ListView1MouseUp(TComponent*, TMouseButton, bool, int X, int Y)
{
    ListView1->SetDragCursor(false);
    if (DragPending == 99) {
        DragPending = 0;
        int at = ListView1->ItemAt(X, Y);
        if (at < 0) at = ListView1->Count() - 1;
        Label50->SetCaption("5");
        Label49->SetCaption(std::to_string(at));
        MoveSelectedItems();
    }
}
