#include "HistoryTab.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QShortcut>
#include <QToolTip>

#include "MessageBox.h"
#include "OrvError.h"
#include "modDataEntry.h"

namespace orv::tarnby {

HistoryTab::HistoryTab(FormHost& host, Texts texts, QWidget* parent)
    : QWidget(parent), host_(host), entry_(this), mapper_(this), texts_(texts) {
  mapper_.setModel(&entry_);
  mapper_.setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
  connect(
      &entry_, &RecordModel::ReadFailed, this,
      [this] {
        if (const std::optional<OrvError> e = entry_.TakeFailure()) {
          ShowProgramError(
              std::string("An error occurred while reading the ") + texts_.history + " entry", *e);
        }
      },
      Qt::QueuedConnection);
}

void HistoryTab::Bind(QTableView* grid, QGroupBox* frame, QPushButton* add, QPushButton* edit,
                      QPushButton* save, QPushButton* cancel, QPushButton* remove,
                      HistoryGridModel* grid_model) {
  grid_ = grid;
  frame_ = frame;
  add_ = add;
  edit_ = edit;
  save_ = save;
  cancel_ = cancel;
  delete_ = remove;
  grid_model_ = grid_model;
  grid_->setModel(grid_model_);
  grid_->viewport()->installEventFilter(this);
  // Where the focus is shows on the grid as well as on the boxes.
  grid_->setStyleSheet(QStringLiteral("QTableView:focus { border: 2px solid palette(highlight); }"));
  connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) {
            if (!current.isValid() || current.row() == grid_model_->Marker()) return;
            try {
              SelectRow(current.row());
            } catch (...) {
              // Out of a slot nothing may be thrown: the entry that could not
              // be read is reported.
              ShowProgramError(
                  std::string("An error occurred while reading the ") + texts_.history + " entry",
                  true);
            }
          });
  connect(add_, &QPushButton::clicked, this, &HistoryTab::AddEntry);
  connect(edit_, &QPushButton::clicked, this, &HistoryTab::EditEntry);
  connect(save_, &QPushButton::clicked, this, &HistoryTab::SaveEntry);
  connect(cancel_, &QPushButton::clicked, this, &HistoryTab::CancelEntry);
  connect(delete_, &QPushButton::clicked, this, &HistoryTab::DeleteEntry);
  // Esc abandons the entry as Cancel does, wherever the focus is in the tab
  // (a box that refused its text included).
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, nullptr, nullptr,
                               Qt::WidgetWithChildrenShortcut);
  connect(escape, &QShortcut::activated, this, [this] {
    if (Editing()) CancelEntry();
  });
  SetState(kNoEntries);
}

std::string HistoryTab::ColumnWidths() const {
  const QHeaderView* h = grid_->horizontalHeader();
  std::string text;
  for (int i = 0; i < h->count(); ++i) {
    if (i > 0) text += ',';
    text += std::to_string(h->sectionSize(i));
  }
  return text;
}

void HistoryTab::RestoreColumnWidths(const std::string& widths) {
  QHeaderView* h = grid_->horizontalHeader();
  const QStringList parts = QString::fromStdString(widths).split(QLatin1Char(','));
  if (parts.size() != h->count()) return;
  for (int i = 0; i < h->count(); ++i) {
    bool ok = false;
    const int width = parts[i].toInt(&ok);
    // The columns that take the window's spare width size themselves.
    if (ok && width > 0 && width < 2000 && h->sectionResizeMode(i) == QHeaderView::Interactive) {
      h->resizeSection(i, width);
    }
  }
}

bool HistoryTab::eventFilter(QObject* watched, QEvent* event) {
  if (grid_ && watched == grid_->viewport() && event->type() == QEvent::ToolTip) {
    // A cell whose text is cut shows it whole as its tool tip.
    const QPoint at = static_cast<QHelpEvent*>(event)->pos();
    const QModelIndex index = grid_->indexAt(at);
    const QString text = index.data().toString();
    const int room = grid_->visualRect(index).width() - 8;
    if (index.isValid() && grid_->fontMetrics().horizontalAdvance(text) > room) {
      QToolTip::showText(grid_->viewport()->mapToGlobal(at), text, grid_->viewport());
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void HistoryTab::SetState(int16_t state) {
  state_ = state;
  skip_check_ = false;
  const bool editing = Editing();
  add_->setVisible(!editing);
  edit_->setVisible(state == kBrowsing);
  delete_->setVisible(state == kBrowsing);
  save_->setVisible(editing);
  cancel_->setVisible(editing);
  grid_->setEnabled(state == kBrowsing);
  frame_->setEnabled(editing);
  host_.SetTabsEnabled(!editing);
  OnStateChanged();
  if (editing && FirstCombo()) FirstCombo()->setFocus(Qt::OtherFocusReason);
}

int32_t HistoryTab::CurrentEntryID() const {
  const Value id = entry_.FieldValue("ID");
  return id.IsNull() ? 0 : id.AsInt32();
}

void HistoryTab::LoadGrid() {
  const std::string where =
      std::string("An error occurred while loading the ") + texts_.history + " grid";
  try {
    db::Recordset& rs = RequeryRows();
    grid_model_->Clear();
    if (rs.IsEOF()) {
      LoadEntry(0);
      SetState(kNoEntries);
      return;
    }
    std::optional<OrvError> refused;
    for (; !rs.IsEOF(); rs.MoveNext()) {
      try {
        const auto [id, texts] = AddRow(rs);
        grid_model_->AddRow(id, texts);
      } catch (const OrvError& e) {
        if (!refused) refused = e;
        const auto [id, texts] = RefusedRow(rs);
        grid_model_->AddRow(id, texts);
      }
    }
    SetState(kBrowsing);
    SelectRow(0);
    if (refused) ShowProgramError(where, *refused);
  } catch (...) {
    ShowProgramError(where, true);
  }
}

void HistoryTab::LoadEntry(int32_t id) {
  EntryQuery().SetParameter("WHATID", Value(id));
  EntryRecordset().Requery(&EntryQuery());
  if (entry_.Recordset() != &EntryRecordset()) {
    entry_.SetRecordset(&EntryRecordset());
    mapper_.clearMapping();
    MapFields();
  } else {
    entry_.Refresh();
  }
  mapper_.setCurrentIndex(0);
  mapper_.revert();
  ShowEntry();
}

void HistoryTab::SelectRow(int row) {
  if (row < 0 || row >= grid_model_->Count()) {
    grid_model_->SetMarker(-1);
    LoadEntry(0);
    return;
  }
  grid_model_->SetMarker(row);
  if (grid_->currentIndex().row() != row) {
    grid_->setCurrentIndex(grid_model_->index(row, 1));
  }
  LoadEntry(grid_model_->IdAt(row));
}

void HistoryTab::AddEntry() {
  try {
    LoadEntry(0);
    entry_.BeginAdd();
    entry_.SetFieldValue("CLAIMANTID", Value(host_.CurrentClaimantID()));
    entry_.Save();
    const int32_t id = CurrentEntryID();
    const int row = grid_model_->AddRow(id, {});
    SelectRow(row);
    entry_.BeginEdit();
    SetState(kAdding);
  } catch (...) {
    ShowProgramError(
        std::string("An error occurred while adding the new ") + texts_.history + " record", true);
  }
}

void HistoryTab::EditEntry() {
  if (CurrentEntryID() == 0) return;
  try {
    // The record is put in edit now: a change another user saves before
    // this one is refused at Save instead of being overwritten.
    entry_.BeginEdit();
  } catch (...) {
    ShowProgramError(
        std::string("An error occurred while editing the ") + texts_.history + " entry", true);
    return;
  }
  SetState(kEditing);
}

void HistoryTab::SaveEntry() {
  try {
    if (!skip_check_) {
      const std::string failures = CheckEntry();
      if (!failures.empty()) {
        // Each failure begins a line of its own; the box does not start
        // with an empty one.
        MsgBox(failures.substr(failures.starts_with("\r\n") ? 2 : 0),
               mb::kCritical | mb::kOkOnly, kApplicationTitle);
        return;
      }
      if (!ConfirmEntry()) return;
    }
  } catch (...) {
    ShowProgramError(
        std::string("An error occurred while validating the ") + texts_.history + " entry", true);
    return;
  }
  try {
    mapper_.submit();
    entry_.ThrowIfFailed();
    WriteEntry();
    entry_.Save();
    // Cleared after the history is stored, so that a result stored by a bulk
    // run in between (from the history as it was) cannot outlive the change.
    host_.ClearOldResults();
  } catch (const OrvError& e) {
    if (IsConnectionLost(e)) {
      // The entry stays in the form, still in edit: the next Save connects
      // again.
      ShowConnectionLost(std::string("The ") + texts_.history + " entry was not saved.", e);
      return;
    }
    const int32_t answer = MsgBox(
        "Error: " + e.Description() +
            "\nChoose OK to make changes to data to correct error or cancel to abort changes "
            "without saving",
        mb::kCritical | mb::kOkCancel, "Data Error");
    if (answer == mb::kCancel) {
      entry_.Cancel();
      mapper_.revert();
      ShowEntry();
      SetState(kBrowsing);
    } else {
      // Still in edit, from the row as it is stored now.
      try {
        entry_.BeginEdit();
      } catch (const OrvError&) {
        // The next save opens the edit itself.
      }
    }
    return;
  }
  try {
    AfterSave(CurrentEntryID());
    SetState(kBrowsing);
  } catch (...) {
    ShowProgramError(std::string("An error occurred while saving the ") + texts_.history + " entry",
                     true);
    SetState(kBrowsing);
  }
}

void HistoryTab::CancelEntry() {
  skip_check_ = true;
  try {
    if (state_ == kEditing) {
      entry_.Cancel();
      LoadEntry(CurrentEntryID());
      SetState(kBrowsing);
    } else if (state_ == kAdding) {
      entry_.Cancel();
      mapper_.revert();
      DeleteEntry();
    }
  } catch (...) {
    ShowProgramError(texts_.cancel_error, true);
  }
}

void HistoryTab::DeleteEntry() {
  try {
    const bool adding = state_ == kAdding;
    const int32_t answer =
        MsgBox(adding ? "Are you sure you want to cancel adding this record"
                      : "Are you sure you want to delete this record",
               mb::kQuestion | mb::kYesNo, adding ? texts_.cancel_title : texts_.delete_title);
    if (answer != mb::kYes) {
      // The addition goes on: its entry must still pass the checks.
      skip_check_ = false;
      return;
    }
    const int32_t id = CurrentEntryID();
    if (id == 0) return;
    // Out of the engine only once it is out of the database, so that a
    // refused delete leaves both holding the entry.
    EntryRecordset().Delete();
    RemoveFromCollection(id);
    // The stored result was calculated from the history as it was.
    host_.ClearOldResults();
    grid_model_->RemoveRowOf(id);
    SelectRow(grid_model_->Count() > 0 ? 0 : -1);
    SetState(grid_model_->Count() == 0 ? kNoEntries : kBrowsing);
  } catch (...) {
    ShowProgramError(
        std::string("An error occurred while deleting the ") + texts_.history + " record", true);
  }
}

}  // namespace orv::tarnby
