// "Compare...": the current claimant as stored against a variant the
// operator edits (the smoking history, a job's years or factors, the
// jurisdiction), both calculated with nothing saved, the two reports side by
// side with the differing lines marked, the two recoverable figures and
// their difference. The comparison goes to the report preview to be printed
// or saved as PDF. Nothing is written to the claimant database.
#pragma once

#include <QDialog>

#include <map>
#include <memory>
#include <string>

#include "ClaimantCompare.h"
#include "Component.h"
#include "Database.h"
#include "IOutput.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace orv::tarnby {

class CompareDialog : public QDialog {
  Q_OBJECT

 public:
  // Reads claimant `claimantID` from `claimants` (reading only) and
  // compares him with himself until the variant is edited. `jurisdiction`
  // and `detail` are the program's, as "Do Calculation" uses them; the
  // variant's jurisdiction starts from it. The engine's dust data
  // connection must be open on this thread. Fails as the read fails.
  CompareDialog(db::DatabasePtr claimants, int32_t claimantID, int32_t jurisdiction, bool detail,
                QWidget* parent = nullptr);
  ~CompareDialog() override;

  // The variant as the editor holds it.
  claimcalc::CompareSide Variant() const;
  // Puts the stored history back into the editor.
  void ResetVariant();
  // Calculates the stored history and the variant and shows them side by side.
  void Compare();
  // The comparison on screen into the report preview, for printing or PDF.
  void ShowPreview();

  const claimcalc::ClaimantComparison& Comparison() const { return comparison_; }
  QComboBox* JurisdictionBox() const { return jurisdiction_; }
  QTableWidget* WorkTable() const { return work_; }
  QTableWidget* SmokeTable() const { return smoke_; }
  QTableWidget* Lines() const { return lines_; }
  QLabel* Figures() const { return figures_; }
  QCheckBox* DetailBox() const { return detail_; }
  QPushButton* CompareButton() const { return compare_; }
  QPushButton* PreviewButton() const { return preview_; }
  QPushButton* AddSmokeButton() const { return add_smoke_; }
  QPushButton* RemoveSmokeButton() const { return remove_smoke_; }
  // The preview's report output object once the comparison has been shown.
  std::shared_ptr<IOutput> Output() const { return output_; }

 private:
  class ChoiceDelegate;
  QWidget* BuildEditor();
  QWidget* BuildResult();
  void FillWork();
  void FillSmoke();
  void AddSmokeRow(const claimcalc::SmokeRow& row);
  // A row given by its first and last years: its Years cell shows the years
  // they count, again after From or To is changed.
  void ShowCountedYears(int row);
  void ShowComparison();

  claimcalc::CompareSide stored_;
  bool stored_detail_;
  int32_t next_new_row_ = -1;
  claimcalc::ClaimantComparison comparison_;
  std::map<int32_t, dust::UserFactor> user_factors_;
  ChoiceDelegate* colliery_names_ = nullptr;
  ChoiceDelegate* job_choices_ = nullptr;
  ChoiceDelegate* resp_choices_ = nullptr;
  ChoiceDelegate* smoke_choices_ = nullptr;
  QComboBox* jurisdiction_ = nullptr;
  QTableWidget* work_ = nullptr;
  QTableWidget* smoke_ = nullptr;
  QTableWidget* lines_ = nullptr;
  QLabel* figures_ = nullptr;
  QCheckBox* detail_ = nullptr;
  QPushButton* compare_ = nullptr;
  QPushButton* preview_ = nullptr;
  QPushButton* add_smoke_ = nullptr;
  QPushButton* remove_smoke_ = nullptr;
  QPushButton* reset_ = nullptr;
  ComponentPtr output_component_;
  std::shared_ptr<IOutput> output_;
};

// Opens the comparison of claimant `claimantID` over the main form (which
// it blocks; the preview it opens does not), calculated as the program
// calculates him. A claimant not yet saved (0) is told so. Failures go to
// the program's error box.
void ShowCompareDialog(QWidget* parent, int32_t claimantID);

}  // namespace orv::tarnby
