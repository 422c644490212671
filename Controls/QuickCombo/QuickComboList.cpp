// The list of the auto-matching combo: items, data values, and filling from a separated text or
// a row source.
#include <QAbstractItemView>
#include <QLineEdit>

#include "InnerCombo.h"
#include "OrvError.h"
#include "QuickCombo.h"
#include "RowSource.h"

namespace orv {

namespace {
constexpr int32_t kInvalidArrayIndex = 381;
}  // namespace

void QuickCombo::Clear() {
  cbo_->clear();
  cbo_->clearEditText();
  new_index_ = -1;
  top_index_ = 0;
}

// Where a sorted list puts a new item: after every item that does not sort after it, comparing
// ignoring case, so that equal texts keep the order they were added in.
int QuickCombo::SortedPosition(const QString& item) const {
  int lo = 0;
  int hi = cbo_->count();
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (QString::compare(cbo_->itemText(mid), item, Qt::CaseInsensitive) <= 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

void QuickCombo::AddItem(const QString& Item, std::optional<int> Index) {
  int at = cbo_->count();
  if (Index) {
    if (*Index < 0 || *Index > cbo_->count()) Raise(err::kInvalidCall);
    at = *Index;
  } else if (sorted_) {
    at = SortedPosition(Item);
  }
  // Qt selects the first item put into an empty list; the control selects nothing by itself
  // and leaves the text being edited alone.
  const int selected = cbo_->currentIndex();
  const QString text = cbo_->currentText();
  cbo_->insertItem(at, Item, 0);
  if (selected < 0 && cbo_->currentIndex() >= 0) cbo_->setCurrentIndex(-1);
  if (cbo_->currentText() != text) cbo_->setEditText(text);
  new_index_ = at;
}

void QuickCombo::AddItemExtended(const QString& Item, int32_t ItemDataValue,
                                 std::optional<int> Index) {
  AddItem(Item, Index);
  SetItemData(new_index_, ItemDataValue);
}

void QuickCombo::FillFromString(const QString& vsList, const QString& vsSeparator,
                                bool vbIgnoreBlankEntries, bool vbClearFirst) {
  if (vbClearFirst) Clear();
  if (vsList.isEmpty()) return;
  // An empty separator splits nothing: the whole text is one part.
  const QStringList parts = vsSeparator.isEmpty()
                                ? QStringList{vsList}
                                : vsList.split(vsSeparator, Qt::KeepEmptyParts, Qt::CaseSensitive);
  for (const QString& part : parts) {
    if (!part.isEmpty() || !vbIgnoreBlankEntries) AddItem(part);
  }
}

void QuickCombo::FillFromRS(RowSource& rsRS, int16_t ListColumn, int16_t ItemDataColumn) {
  Clear();
  rsRS.MoveFirst();
  while (!rsRS.IsEOF()) {
    const Value text = rsRS.Column(ListColumn);
    if (text.IsNull()) RaiseStandard(err::kInvalidUseOfNull, type_name_);
    AddItem(QString::fromStdString(text.AsText()));
    if (ItemDataColumn >= 0) SetItemData(new_index_, rsRS.Column(ItemDataColumn).AsInt32());
    rsRS.MoveNext();
  }
}

void QuickCombo::CheckItemIndex(int index) const {
  if (index < 0 || index >= cbo_->count()) Raise(kInvalidArrayIndex);
}

int32_t QuickCombo::ItemData(int32_t index) const {
  CheckItemIndex(index);
  return cbo_->itemData(index).toInt();
}

void QuickCombo::SetItemData(int32_t index, int32_t data) {
  CheckItemIndex(index);
  cbo_->setItemData(index, data);
  ReportChanged(QStringLiteral("ItemData"));
}

QString QuickCombo::List(int index) const {
  CheckItemIndex(index);
  return cbo_->itemText(index);
}

void QuickCombo::SetList(int index, const QString& text) {
  CheckItemIndex(index);
  cbo_->setItemText(index, text);
  ReportChanged(QStringLiteral("List"));
}

void QuickCombo::SetListIndex(int v) {
  if (v < -1 || v >= cbo_->count()) Raise(err::kInvalidPropertyValue);
  cbo_->setCurrentIndex(v);
  ReportChanged(QStringLiteral("ListIndex"));
}

void QuickCombo::RemoveItem(int index) {
  if (index < 0 || index >= cbo_->count()) Raise(err::kInvalidCall);
  // Qt selects a neighbour in place of a removed selected item; the control then selects
  // nothing and keeps the text.
  const bool was_selected = index == cbo_->currentIndex();
  const QString text = cbo_->currentText();
  cbo_->removeItem(index);
  if (was_selected) {
    cbo_->setCurrentIndex(-1);
    cbo_->setEditText(text);
  }
  if (index == new_index_)
    new_index_ = -1;
  else if (index < new_index_)
    --new_index_;
}

int QuickCombo::TopIndex() const {
  const QAbstractItemView* view = cbo_->view();
  if (!view->isVisible()) return top_index_;
  const int row = view->indexAt(QPoint(1, 1)).row();
  return row < 0 ? 0 : row;
}

void QuickCombo::SetTopIndex(int v) {
  if (v < 0 || (v > 0 && v >= cbo_->count())) Raise(err::kInvalidPropertyValue);
  top_index_ = v;
  if (cbo_->view()->isVisible() && cbo_->count() > 0)
    cbo_->view()->scrollTo(cbo_->model()->index(v, cbo_->modelColumn()),
                           QAbstractItemView::PositionAtTop);
  ReportChanged(QStringLiteral("TopIndex"));
}

}  // namespace orv
