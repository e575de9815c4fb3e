#include "platform/gui/Gui.h"

#include <QHeaderView>
#include <QTreeWidget>

#include <algorithm>

namespace {
constexpr int BytesRole = Qt::UserRole;

void FillItem(QTreeWidgetItem* item, const TListRow& row, int columns)
{
    auto put = [item](int col, const std::string& text) {
        item->setText(col, ToQString(text));
        item->setData(col, BytesRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    };
    put(0, row.Caption);
    for (int c = 1; c < columns; ++c) {
        std::size_t k = static_cast<std::size_t>(c - 1);
        put(c, k < row.SubItems.size() ? row.SubItems[k] : std::string());
    }
}

std::string BytesAt(const QTreeWidgetItem* item, int col)
{
    return item->data(col, BytesRole).toByteArray().toStdString();
}
}  // namespace

TListView::TListView(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new QTreeWidget(parent))
{
    tree_ = static_cast<QTreeWidget*>(Widget());
    tree_->setRootIsDecorated(false);
    tree_->setItemsExpandable(false);
    tree_->setUniformRowHeights(true);
    tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setColumnCount(0);
    tree_->viewport()->setMouseTracking(true);
    QObject::connect(tree_, &QTreeWidget::itemClicked, tree_, [this] { Click(); });
    WatchEvents(tree_);
    WatchEvents(tree_->viewport());
}

TListView::~TListView() = default;

void TListView::AddColumn(const std::string& caption, int width)
{
    ++columns_;
    tree_->setColumnCount(columns_);
    QTreeWidgetItem* header = tree_->headerItem();
    header->setText(columns_ - 1, ToQString(caption));
    if (width <= 0)
        tree_->setColumnHidden(columns_ - 1, true);
    else
        tree_->setColumnWidth(columns_ - 1, width);
}

int TListView::Count() const { return tree_->topLevelItemCount(); }

static QTreeWidgetItem* ItemOrThrow(QTreeWidget* tree, int index)
{
    if (index < 0 || index >= tree->topLevelItemCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return tree->topLevelItem(index);
}

std::string TListView::Caption(int index) const { return BytesAt(ItemOrThrow(tree_, index), 0); }

std::string TListView::SubItem(int index, int sub) const
{
    QTreeWidgetItem* item = ItemOrThrow(tree_, index);
    if (sub < 0 || sub + 1 >= columns_) return std::string();
    return BytesAt(item, sub + 1);
}

std::string TListView::FullRowText(int index) const { return SubItem(index, 0) + Caption(index); }

TListRow TListView::Row(int index) const
{
    QTreeWidgetItem* item = ItemOrThrow(tree_, index);
    TListRow row;
    row.Caption = BytesAt(item, 0);
    for (int c = 1; c < columns_; ++c) row.SubItems.push_back(BytesAt(item, c));
    row.Selected = item->isSelected();
    row.Focused = tree_->currentItem() == item;
    return row;
}

int TListView::Add(const TListRow& row)
{
    Insert(Count(), row);
    return Count() - 1;
}

void TListView::Insert(int index, const TListRow& row)
{
    if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    auto* item = new QTreeWidgetItem;  // owned by the tree once inserted
    FillItem(item, row, columns_);
    tree_->insertTopLevelItem(index, item);
    if (row.Selected) item->setSelected(true);
    if (row.Focused) tree_->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
}

void TListView::Delete(int index)
{
    ItemOrThrow(tree_, index);
    delete tree_->takeTopLevelItem(index);  // taken items are ours to free
}

void TListView::Clear() { tree_->clear(); }

std::vector<TListRow> TListView::Rows() const
{
    std::vector<TListRow> rows;
    rows.reserve(static_cast<std::size_t>(Count()));
    for (int i = 0; i < Count(); ++i) rows.push_back(Row(i));
    return rows;
}

void TListView::SetRows(const std::vector<TListRow>& rows)
{
    tree_->setUpdatesEnabled(false);
    tree_->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const auto& row : rows) {
        auto* item = new QTreeWidgetItem;  // owned by the tree once inserted
        FillItem(item, row, columns_);
        items.push_back(item);
    }
    tree_->addTopLevelItems(items);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].Selected) items[static_cast<qsizetype>(i)]->setSelected(true);
        if (rows[i].Focused) tree_->setCurrentItem(items[static_cast<qsizetype>(i)], 0, QItemSelectionModel::NoUpdate);
    }
    tree_->setUpdatesEnabled(true);
}

bool TListView::Selected(int index) const { return ItemOrThrow(tree_, index)->isSelected(); }
void TListView::SetSelected(int index, bool selected) { ItemOrThrow(tree_, index)->setSelected(selected); }
bool TListView::Focused(int index) const { return tree_->currentItem() == ItemOrThrow(tree_, index); }
void TListView::SetFocused(int index)
{
    tree_->setCurrentItem(ItemOrThrow(tree_, index), 0, QItemSelectionModel::NoUpdate);
}

int TListView::SelCount() const { return static_cast<int>(tree_->selectedItems().size()); }

int TListView::FirstSelected() const
{
    for (int i = 0; i < Count(); ++i)
        if (tree_->topLevelItem(i)->isSelected()) return i;
    return -1;
}

int TListView::ItemAt(int x, int y) const
{
    QTreeWidgetItem* item = tree_->itemAt(x, y);
    return item ? tree_->indexOfTopLevelItem(item) : -1;
}

void TListView::SetGridLines(bool on)
{
    gridLines_ = on;
    ApplyStyle();
}

void TListView::SetHotTrack(bool on)
{
    hotTrack_ = on;
    ApplyStyle();
}

void TListView::ApplyStyle()
{
    QString style;
    if (gridLines_) style += "QTreeView::item { border-bottom: 1px solid #d8d8d8; border-right: 1px solid #d8d8d8; }";
    if (hotTrack_) style += "QTreeView::item:hover { color: #0000c0; text-decoration: underline; }";
    // Once items are styled, the style no longer fills a selected row: without this its
    // highlighted (white) text would stand on white.
    if (!style.isEmpty())
        style += "QTreeView::item:selected { background: palette(highlight); color: palette(highlighted-text); }";
    tree_->setStyleSheet(style);
}

void TListView::SetDragCursor(bool dragging)
{
    if (dragging)
        tree_->viewport()->setCursor(Qt::DragMoveCursor);
    else
        tree_->viewport()->unsetCursor();
}

void TListView::AlphaSort()
{
    std::vector<TListRow> rows = Rows();
    std::stable_sort(rows.begin(), rows.end(), [](const TListRow& a, const TListRow& b) {
        return ToQString(a.Caption).localeAwareCompare(ToQString(b.Caption)) < 0;
    });
    SetRows(rows);
}
