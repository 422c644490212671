// Writing a dust data database back as its CSV folder, one file per base
// table, in key order, with every value in a form the build reads back to
// the same value.
#include <filesystem>

#include "Csv.h"
#include "DustDataBuild.h"
#include "Numbers.h"
#include "SafeFiles.h"
#include "Tables.h"
#include "Text.h"
#include "detail/Access.h"
#include "detail/Schema.h"

namespace orv::dustdata {
namespace {

namespace fs = std::filesystem;
using detail::kTortiousExportQuery;
using detail::OpenDustData;
using detail::ReadParm;
using orv::csv::Cell;

// One spelling throughout: "Y"/"N" for surface flags, 0/1 for the other
// booleans.
Cell Format(const Column& c, const Value& v) {
  if (v.IsNull()) return std::nullopt;
  if (c.surface_flag) {
    if (c.type == ColumnType::Text) return orv::UpperAscii(orv::Trim(v.AsText()));
    return std::string(v.AsBool() ? "Y" : "N");
  }
  switch (c.type) {
    case ColumnType::Long:
    case ColumnType::Int16:
      return std::to_string(v.AsInt64());
    case ColumnType::Single:
      return orv::csv::ExactText(v.AsSingle());
    case ColumnType::YesNo:
      return std::string(v.AsBool() ? "1" : "0");
    case ColumnType::Text:
      break;
  }
  return orv::csv::ProtectFormula(v.AsText());
}

std::string SelectSql(const Table& t) {
  std::string cols;
  for (const Column& c : t.columns) cols += (cols.empty() ? "" : ", ") + std::string(c.name);
  // Without key columns the rows keep the order in which they were added.
  std::string order;
  for (const char* o : t.order_by) order += (order.empty() ? "" : ", ") + std::string(o);
  return "SELECT " + cols + " FROM " + t.name + " ORDER BY " + (order.empty() ? "rowid" : order);
}

// Whether the matrix counts as expanded: MatrixReady says so; without that
// key, whether the matrix holds rows (as a build of the export would say).
bool MatrixExpanded(orv::db::Database& db) {
  if (const auto v = ReadParm(db, kMatrixReadyKey)) {
    try {
      return orv::ParseNumber(*v) != 0;
    } catch (const std::exception&) {
      return true;
    }
  }
  auto rs = db.OpenRecordset("SELECT COUNT(*) FROM DUSTMATRIX", orv::db::RecordsetType::Snapshot);
  return rs->Field(0).AsInt64() > 0;
}

// The rows to export of a table. Once expanded, the tortious values the
// engine reads include the calculated national averages, which live in a
// working table of their own; the export writes them in place of the stored
// rows they replace, so a build of the export reads back the same values.
orv::db::RecordsetPtr ExportRows(orv::db::Database& db, const Table& t, bool expanded) {
  if (expanded && t.name == std::string("TORTIOUS") && db.QueryExists(kTortiousExportQuery))
    return db.QueryDefs(kTortiousExportQuery)->OpenRecordset(orv::db::RecordsetType::Snapshot);
  return db.OpenRecordset(SelectSql(t), orv::db::RecordsetType::Snapshot);
}

void ExportTable(orv::db::Database& db, const Table& t, bool expanded, const fs::path& file,
                 const ProgressFn& progress) {
  orv::csv::CsvWriter w(file.string(), t.ColumnNames());
  auto rs = ExportRows(db, t, expanded);
  const std::string step = std::string("Exporting ") + t.name;
  int64_t n = 0;
  std::vector<Cell> cells(t.columns.size());
  for (; !rs->IsEOF(); rs->MoveNext()) {
    for (size_t i = 0; i < t.columns.size(); ++i) {
      cells[i] = Format(t.columns[i], rs->Field(static_cast<int>(i)));
    }
    w.Row(cells);
    if (progress && (++n % 1024) == 0) progress(step, n, 0);
  }
  w.Commit();
}

}  // namespace

void ExportToCsv(const std::string& db_path, const std::string& out_dir,
                 const ProgressFn& progress) {
  auto db = OpenDustData(db_path, true);
  // Every file is written in full before any replaces the folder's old one,
  // so a failure midway (a full disk) leaves the old export as it was.
  orv::files::StagedFolder staged(out_dir);
  const bool expanded = MatrixExpanded(*db);
  for (const Table& t : BaseTables()) {
    if (t.file == std::string(kDustMatrixFile) && !expanded) continue;
    ExportTable(*db, t, expanded, fs::path(staged.Folder()) / t.file, progress);
  }
  db->Close();
  staged.Commit();
  if (!expanded) {
    // A matrix file left from an earlier export would mark the build expanded.
    std::error_code ignored;
    fs::remove(fs::path(out_dir) / kDustMatrixFile, ignored);
  }
}

}  // namespace orv::dustdata
