#include "CompareDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <map>
#include <utility>
#include <vector>

#include "DustModelTypes.h"
#include "HistoryLoader.h"
#include "LookupLists.h"
#include "MessageBox.h"
#include "OrvError.h"
#include "Registry.h"
#include "modDataEntry.h"

namespace orv::tarnby {

namespace {

constexpr const char* kOutputClassId = "OrvDustO.Output";
constexpr int kIdRole = Qt::UserRole;
constexpr int kRowRole = Qt::UserRole + 1;
// On a smoking row's Years cell: true when the row gives its first and last
// years and the cell shows the years that period counts (the engine works
// them out; nothing is typed there).
constexpr int kCountedRole = Qt::UserRole + 2;

// Work table columns.
enum { kColliery, kWorkFrom, kWorkTo, kJobFactor, kRespFactor };
// Smoking table columns.
enum { kCategory, kSmokeFrom, kSmokeTo, kSmokeYears };

using Choices = std::vector<std::pair<QString, int32_t>>;

}  // namespace

// A pick-list column: the cell shows the text, keeps the identifier, and is
// edited in a combo box of the list's entries.
class CompareDialog::ChoiceDelegate : public QStyledItemDelegate {
 public:
  ChoiceDelegate(Choices choices, QObject* parent)
      : QStyledItemDelegate(parent), choices_(std::move(choices)) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                        const QModelIndex&) const override {
    auto* box = new QComboBox(parent);
    for (const auto& [text, id] : choices_) box->addItem(text, id);
    return box;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* box = static_cast<QComboBox*>(editor);
    box->setCurrentIndex(box->findData(index.data(kIdRole)));
  }
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    auto* box = static_cast<QComboBox*>(editor);
    if (box->currentIndex() < 0) return;
    model->setData(index, box->currentData(), kIdRole);
    model->setData(index, box->currentText(), Qt::DisplayRole);
  }
  int32_t FirstId() const { return choices_.empty() ? 0 : choices_.front().second; }
  QString TextOf(int32_t id) const {
    for (const auto& [text, choice] : choices_)
      if (choice == id) return text;
    return QObject::tr("(%1: not in the list)").arg(id);
  }

 private:
  Choices choices_;
};

namespace {

Choices ListChoices(dust::LookupList& list) {
  Choices out;
  for (list.MoveFirst(); !list.IsEOF(); list.MoveNext())
    out.emplace_back(QString::fromStdString(list.ListEntry()), list.ID());
  return out;
}

// The user-defined factors of the claimant database, none without the table.
std::map<int32_t, dust::UserFactor> UserFactors(db::Database& claimants) {
  std::map<int32_t, dust::UserFactor> out;
  if (!claimants.TableExists("USERFACTOR")) return out;
  const db::RecordsetPtr rs =
      claimants.OpenRecordset("SELECT * FROM USERFACTOR", db::RecordsetType::Snapshot);
  for (; !rs->IsEOF(); rs->MoveNext()) {
    const dust::UserFactor f = claimcalc::ReadUserFactorRow(*rs);
    out[f.ID] = f;
  }
  return out;
}

QTableWidgetItem* NumberItem(int value) {
  auto* item = new QTableWidgetItem;
  item->setData(Qt::EditRole, value);
  return item;
}

template <typename Delegate>
QTableWidgetItem* ChoiceItem(const Delegate& choices, int32_t id) {
  auto* item = new QTableWidgetItem(choices.TextOf(id));
  item->setData(kIdRole, id);
  return item;
}

int NumberIn(const QTableWidget* table, int row, int column) {
  return table->item(row, column)->data(Qt::EditRole).toInt();
}

int32_t IdIn(const QTableWidget* table, int row, int column) {
  return table->item(row, column)->data(kIdRole).toInt();
}

QString Shown(const std::optional<std::string>& line) {
  return QString::fromStdString(calcrun::TabsAsSpaces(line.value_or("")));
}

// A report line split as the preview takes it: the label, and the value the
// engine joined to it with " = ".
std::pair<std::string, std::string> LabelAndValue(const std::optional<std::string>& line) {
  if (!line) return {};
  const size_t at = line->rfind(" = ");
  if (at == std::string::npos) return {*line, ""};
  const std::string value = line->substr(at + 3);
  if (value.empty() || value.find_first_not_of("-0123456789.") != std::string::npos)
    return {*line, ""};
  return {line->substr(0, at), value};
}

}  // namespace

CompareDialog::CompareDialog(db::DatabasePtr claimants, int32_t claimantID, int32_t jurisdiction,
                             bool detail, QWidget* parent)
    : QDialog(parent), stored_detail_(detail) {
  setObjectName(QStringLiteral("frmCompare"));
  {
    claimcalc::ClaimantSource source(claimants);
    stored_.history = source.Read(claimantID);
  }
  stored_.jurisdiction = jurisdiction;
  const QString name = QString::fromStdString(stored_.history.identity.Name);
  setWindowTitle(tr("Compare: %1").arg(name.isEmpty() ? tr("claimant %1").arg(claimantID) : name));

  // The pick lists, read once: the engine's lists for the standard factors,
  // the claimant database for the user-defined ones.
  Choices collieries, jobs, resps, smokes;
  {
    dust::CollieryList list;
    collieries = ListChoices(list);
  }
  {
    dust::JobFactorList list;
    jobs = ListChoices(list);
  }
  {
    dust::RespFactorList list;
    resps = ListChoices(list);
  }
  {
    dust::SmokeFactorList list;
    smokes = ListChoices(list);
  }
  for (const auto& [id, f] : UserFactors(*claimants)) {
    user_factors_[id] = f;
    jobs.emplace_back(QString::fromStdString(dust::FactorListText(dust::UserFactorJobText(f))), id);
  }
  colliery_names_ = new ChoiceDelegate(std::move(collieries), this);
  job_choices_ = new ChoiceDelegate(std::move(jobs), this);
  resp_choices_ = new ChoiceDelegate(std::move(resps), this);
  smoke_choices_ = new ChoiceDelegate(std::move(smokes), this);

  auto* split = new QSplitter(Qt::Vertical, this);
  split->setChildrenCollapsible(false);
  split->addWidget(BuildEditor());
  split->addWidget(BuildResult());
  split->setStretchFactor(1, 2);

  detail_ = new QCheckBox(tr("&Detail report"), this);
  detail_->setObjectName(QStringLiteral("chkDetail"));
  detail_->setChecked(detail);
  reset_ = new QPushButton(tr("&Reset Variant"), this);
  reset_->setObjectName(QStringLiteral("cmdResetVariant"));
  compare_ = new QPushButton(tr("&Compare"), this);
  compare_->setObjectName(QStringLiteral("cmdRunCompare"));
  compare_->setDefault(true);
  preview_ = new QPushButton(tr("&Print Preview..."), this);
  preview_->setObjectName(QStringLiteral("cmdComparePreview"));
  auto* close = new QPushButton(tr("Close"), this);
  close->setObjectName(QStringLiteral("cmdCompareClose"));
  close->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(detail_);
  buttons->addStretch();
  for (QPushButton* b : {reset_, compare_, preview_, close}) buttons->addWidget(b);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(split);
  layout->addLayout(buttons);

  connect(reset_, &QPushButton::clicked, this, &CompareDialog::ResetVariant);
  connect(compare_, &QPushButton::clicked, this, &CompareDialog::Compare);
  connect(preview_, &QPushButton::clicked, this, &CompareDialog::ShowPreview);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);

  setTabOrder(jurisdiction_, work_);
  setTabOrder(work_, smoke_);
  setTabOrder(smoke_, add_smoke_);
  setTabOrder(add_smoke_, remove_smoke_);
  setTabOrder(remove_smoke_, lines_);
  setTabOrder(lines_, detail_);
  setTabOrder(detail_, reset_);
  setTabOrder(reset_, compare_);
  setTabOrder(compare_, preview_);
  setTabOrder(preview_, close);

  ResetVariant();
  resize(1100, 760);
  Compare();
}

CompareDialog::~CompareDialog() = default;

QWidget* CompareDialog::BuildEditor() {
  auto* box = new QGroupBox(tr("Variant (starts from the stored history; nothing is saved)"));
  box->setObjectName(QStringLiteral("fraVariant"));

  jurisdiction_ = new QComboBox(box);
  jurisdiction_->setObjectName(QStringLiteral("cboVariantJurisdiction"));
  jurisdiction_->addItem(tr("England/Wales"), dust::orvEnglandWales);
  jurisdiction_->addItem(tr("Scotland"), dust::orvScotland);
  auto* jurisdiction_label = new QLabel(tr("&Jurisdiction:"), box);
  jurisdiction_label->setBuddy(jurisdiction_);

  const auto table = [box](const char* name, const QStringList& columns) {
    auto* t = new QTableWidget(0, static_cast<int>(columns.size()), box);
    t->setObjectName(QString::fromLatin1(name));
    t->setHorizontalHeaderLabels(columns);
    t->verticalHeader()->hide();
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                       QAbstractItemView::AnyKeyPressed);
    t->setTabKeyNavigation(false);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
  };
  work_ = table("fgVariantWork",
                {tr("Colliery"), tr("From"), tr("To"), tr("Job Factor"), tr("Respirator Factor")});
  work_->setAccessibleName(tr("Variant work history"));
  work_->setItemDelegateForColumn(kJobFactor, job_choices_);
  work_->setItemDelegateForColumn(kRespFactor, resp_choices_);
  smoke_ = table("fgVariantSmoke", {tr("Category"), tr("From"), tr("To"), tr("Years")});
  smoke_->setAccessibleName(tr("Variant smoking history"));
  smoke_->setItemDelegateForColumn(kCategory, smoke_choices_);
  connect(smoke_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (item->column() == kSmokeFrom || item->column() == kSmokeTo) ShowCountedYears(item->row());
  });
  auto* work_label = new QLabel(tr("&Work history (years and factors can be changed):"), box);
  work_label->setBuddy(work_);
  auto* smoke_label = new QLabel(tr("&Smoking history:"), box);
  smoke_label->setBuddy(smoke_);

  add_smoke_ = new QPushButton(tr("&Add Entry"), box);
  add_smoke_->setObjectName(QStringLiteral("cmdVariantSmokeAdd"));
  add_smoke_->setAutoDefault(false);
  remove_smoke_ = new QPushButton(tr("Remo&ve Entry"), box);
  remove_smoke_->setObjectName(QStringLiteral("cmdVariantSmokeRemove"));
  remove_smoke_->setAutoDefault(false);
  connect(add_smoke_, &QPushButton::clicked, this, [this] {
    claimcalc::SmokeRow row;
    row.ID = next_new_row_--;
    row.SmokeCategoryID = smoke_choices_->FirstId();
    AddSmokeRow(row);
    smoke_->setCurrentCell(smoke_->rowCount() - 1, kCategory);
    smoke_->setFocus();
  });
  connect(remove_smoke_, &QPushButton::clicked, this, [this] {
    if (smoke_->currentRow() >= 0) smoke_->removeRow(smoke_->currentRow());
  });

  auto* top = new QHBoxLayout;
  top->addWidget(jurisdiction_label);
  top->addWidget(jurisdiction_);
  top->addStretch();
  auto* work = new QVBoxLayout;
  work->addWidget(work_label);
  work->addWidget(work_);
  auto* smoke_buttons = new QHBoxLayout;
  smoke_buttons->addWidget(add_smoke_);
  smoke_buttons->addWidget(remove_smoke_);
  smoke_buttons->addStretch();
  auto* smoke = new QVBoxLayout;
  smoke->addWidget(smoke_label);
  smoke->addWidget(smoke_);
  smoke->addLayout(smoke_buttons);
  auto* histories = new QHBoxLayout;
  histories->addLayout(work, 3);
  histories->addLayout(smoke, 2);
  auto* layout = new QVBoxLayout(box);
  layout->addLayout(top);
  layout->addLayout(histories);
  return box;
}

QWidget* CompareDialog::BuildResult() {
  auto* box = new QWidget;
  figures_ = new QLabel(box);
  figures_->setObjectName(QStringLiteral("lblCompareFigures"));
  figures_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  figures_->setWordWrap(true);
  lines_ = new QTableWidget(0, 3, box);
  lines_->setObjectName(QStringLiteral("fgCompare"));
  lines_->setAccessibleName(tr("The two reports side by side"));
  lines_->setHorizontalHeaderLabels({QString(), tr("As stored"), tr("Variant")});
  lines_->verticalHeader()->hide();
  lines_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lines_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lines_->setTabKeyNavigation(false);
  lines_->setWordWrap(false);
  lines_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // One line of text to a row, as in the output box.
  lines_->verticalHeader()->setDefaultSectionSize(lines_->fontMetrics().height() + 4);
  lines_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  lines_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  lines_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  auto* label = new QLabel(tr("Reports (lines that differ are marked * and shaded):"), box);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(figures_);
  layout->addWidget(label);
  layout->addWidget(lines_);
  return box;
}

void CompareDialog::FillWork() {
  work_->setRowCount(0);
  for (const claimcalc::WorkRow& w : stored_.history.work) {
    const int r = work_->rowCount();
    work_->insertRow(r);
    auto* colliery = ChoiceItem(*colliery_names_, w.CollieryID);
    colliery->setFlags(colliery->flags() & ~Qt::ItemIsEditable);
    colliery->setData(kRowRole, w.ID);
    work_->setItem(r, kColliery, colliery);
    work_->setItem(r, kWorkFrom, NumberItem(w.StartYear));
    work_->setItem(r, kWorkTo, NumberItem(w.EndYear));
    work_->setItem(r, kJobFactor, ChoiceItem(*job_choices_, w.JobFactorID));
    // A user-defined factor brings its own respirator factor.
    auto* resp = ChoiceItem(*resp_choices_, w.RespFactorID);
    if (w.JobFactorID >= dust::kFirstUserFactorID) resp->setText(tr("(from the job factor)"));
    work_->setItem(r, kRespFactor, resp);
  }
  work_->resizeColumnsToContents();
}

void CompareDialog::AddSmokeRow(const claimcalc::SmokeRow& row) {
  const int r = smoke_->rowCount();
  smoke_->insertRow(r);
  auto* category = ChoiceItem(*smoke_choices_, row.SmokeCategoryID);
  category->setData(kRowRole, row.ID);
  smoke_->setItem(r, kCategory, category);
  smoke_->setItem(r, kSmokeFrom, NumberItem(row.StartYear));
  smoke_->setItem(r, kSmokeTo, NumberItem(row.EndYear));
  const bool counted = row.Years == 0 && row.StartYear != 0 && row.EndYear != 0;
  QTableWidgetItem* years = NumberItem(row.Years);
  if (counted) {
    years->setData(kCountedRole, true);
    years->setFlags(years->flags() & ~Qt::ItemIsEditable);
    years->setForeground(smoke_->palette().brush(QPalette::Disabled, QPalette::Text));
    years->setToolTip(tr("The years from the first year to the last, as the Smoking History "
                         "tab counts them; change From or To"));
  }
  smoke_->setItem(r, kSmokeYears, years);
  if (counted) ShowCountedYears(r);
}

void CompareDialog::ShowCountedYears(int row) {
  QTableWidgetItem* years = smoke_->item(row, kSmokeYears);
  if (!years || !years->data(kCountedRole).toBool()) return;
  const QSignalBlocker quiet(smoke_);
  years->setData(Qt::EditRole, NumberIn(smoke_, row, kSmokeTo) - NumberIn(smoke_, row, kSmokeFrom));
}

void CompareDialog::FillSmoke() {
  smoke_->setRowCount(0);
  for (const claimcalc::SmokeRow& s : stored_.history.smoking) AddSmokeRow(s);
  smoke_->resizeColumnsToContents();
}

void CompareDialog::ResetVariant() {
  jurisdiction_->setCurrentIndex(jurisdiction_->findData(stored_.jurisdiction));
  FillWork();
  FillSmoke();
  detail_->setChecked(stored_detail_);
}

claimcalc::CompareSide CompareDialog::Variant() const {
  claimcalc::CompareSide v = stored_;
  v.jurisdiction = jurisdiction_->currentData().toInt();
  for (int r = 0; r < work_->rowCount(); ++r) {
    claimcalc::WorkRow& w = v.history.work[static_cast<size_t>(r)];
    w.StartYear = static_cast<int16_t>(NumberIn(work_, r, kWorkFrom));
    w.EndYear = static_cast<int16_t>(NumberIn(work_, r, kWorkTo));
    w.JobFactorID = IdIn(work_, r, kJobFactor);
    w.RespFactorID = IdIn(work_, r, kRespFactor);
    w.user_factor.reset();
    if (w.JobFactorID >= dust::kFirstUserFactorID) {
      if (const auto f = user_factors_.find(w.JobFactorID); f != user_factors_.end())
        w.user_factor = f->second;
    }
  }
  v.history.smoking.clear();
  for (int r = 0; r < smoke_->rowCount(); ++r) {
    claimcalc::SmokeRow s;
    s.ID = smoke_->item(r, kCategory)->data(kRowRole).toInt();
    s.SmokeCategoryID = IdIn(smoke_, r, kCategory);
    s.StartYear = static_cast<int16_t>(NumberIn(smoke_, r, kSmokeFrom));
    s.EndYear = static_cast<int16_t>(NumberIn(smoke_, r, kSmokeTo));
    // A counted cell only shows what the engine works out from the years.
    const bool counted = smoke_->item(r, kSmokeYears)->data(kCountedRole).toBool();
    s.Years = counted ? 0 : NumberIn(smoke_, r, kSmokeYears);
    v.history.smoking.push_back(s);
  }
  return v;
}

void CompareDialog::Compare() {
  try {
    comparison_ = claimcalc::CompareClaimant(stored_, Variant(), detail_->isChecked());
    ShowComparison();
  } catch (...) {
    ShowProgramError("An error occurred while comparing the calculations", true);
  }
}

void CompareDialog::ShowComparison() {
  const claimcalc::ClaimantComparison& c = comparison_;
  lines_->setRowCount(static_cast<int>(c.rows.size()));
  const QBrush shade(QColor(0xff, 0xe0, 0x8a));
  for (int r = 0; r < static_cast<int>(c.rows.size()); ++r) {
    const calcrun::ComparedLine& line = c.rows[static_cast<size_t>(r)];
    QTableWidgetItem* cells[] = {
        new QTableWidgetItem(line.differs ? QStringLiteral("*") : QString()),
        new QTableWidgetItem(Shown(line.a)), new QTableWidgetItem(Shown(line.b))};
    for (int col = 0; col < 3; ++col) {
      if (line.differs) cells[col]->setBackground(shade);
      lines_->setItem(r, col, cells[col]);
    }
  }
  // The first difference is brought into view.
  for (int r = 0; r < lines_->rowCount(); ++r) {
    if (c.rows[static_cast<size_t>(r)].differs) {
      lines_->scrollToItem(lines_->item(r, 1), QAbstractItemView::PositionAtTop);
      break;
    }
  }
  QString text = tr("%1: as stored %2, variant %3; difference (variant - stored) %4.")
                     .arg(QString::fromLatin1(calcrun::kFigureLabel),
                          QString::fromStdString(calcrun::FigureOrNotCalculated(c.figures.a)),
                          QString::fromStdString(calcrun::FigureOrNotCalculated(c.figures.b)),
                          QString::fromStdString(c.figures.difference.value_or("none")));
  if (!c.a.refusal.empty())
    text += QLatin1Char('\n') + tr("As stored: %1").arg(QString::fromStdString(c.a.refusal));
  if (!c.b.refusal.empty())
    text += QLatin1Char('\n') + tr("Variant: %1").arg(QString::fromStdString(c.b.refusal));
  figures_->setText(text);
}

void CompareDialog::ShowPreview() {
  try {
    if (!output_) {
      ComponentPtr component = CreateObject(kOutputClassId);
      std::shared_ptr<IOutput> output = As<IOutput>(component);
      if (!output || !As<IComparisonOutput>(component))
        throw OrvError(err::kCantCreateObject, "CompareDialog",
                       std::string(kOutputClassId) + " does not offer the comparison output");
      output_component_ = std::move(component);
      output_ = std::move(output);
    }
    IComparisonOutput& rows = *As<IComparisonOutput>(output_component_);
    const dust::ClaimantIdentity& who = stored_.history.identity;
    output_->KillDoc();
    output_->StartDoc();
    output_->SetHeader("Dust Calculation Comparison for " + who.Name +
                       "\r\nRef: " + who.SolicitorRef + "\tZURIR Ref: " + who.ZURIRRef);
    output_->SetFooter("Page %d");
    rows.CompareLine("As stored", "", "Variant", "", false);
    for (const calcrun::ComparedLine& line : comparison_.rows) {
      const auto [a_text, a_value] = LabelAndValue(line.a);
      const auto [b_text, b_value] = LabelAndValue(line.b);
      rows.CompareLine(a_text, a_value, b_text, b_value, line.differs);
    }
    const calcrun::FigureComparison& f = comparison_.figures;
    rows.CompareLine("", "", "", "", false);
    rows.CompareLine(calcrun::kFigureLabel, calcrun::FigureOrNotCalculated(f.a), calcrun::kFigureLabel,
                     calcrun::FigureOrNotCalculated(f.b), f.a != f.b);
    rows.CompareLine("", "", "Difference (variant - stored)", f.difference.value_or("none"), false);
    output_->EndDoc();
    output_->Show();
  } catch (...) {
    ShowProgramError("An error occurred while showing the comparison in the print preview", true);
  }
}

void ShowCompareDialog(QWidget* parent, int32_t claimantID) {
  try {
    if (claimantID == 0 || !ClaimantDatabase) {
      MsgBox("A comparison starts from the claimant's stored history: save the claimant first.",
             mb::kInformation, "Compare");
      return;
    }
    auto* dialog = new CompareDialog(ClaimantDatabase, claimantID, Settings.Jurisdiction,
                                     Settings.DustDetail, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The main form waits; the print preview it may open does not.
    dialog->setWindowModality(Qt::WindowModal);
    dialog->show();
  } catch (...) {
    ShowProgramError("An error occurred while opening the comparison", true);
  }
}

}  // namespace orv::tarnby
