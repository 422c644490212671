// Building a dust data database from its CSV folder: read and check
// everything first, then write the whole database under a temporary name
// in one transaction, and give it its name only when it is complete.
#include <filesystem>

#include "Database.h"
#include "DustDataBuild.h"
#include "ExpansionSchema.h"
#include "DustDataPassword.h"
#include "SafeFiles.h"
#include "Text.h"
#include "detail/Load.h"
#include "detail/Schema.h"

namespace orv::dustdata {
namespace {

namespace fs = std::filesystem;
using detail::LoadedRow;
using detail::LoadedTable;
using orv::InputError;

// Whether the matrix is taken from the source decides MatrixReady; a row of
// parms.csv for it is overwritten in place.
void SetMatrixReady(std::vector<LoadedTable>& tables) {
  bool matrix_given = false;
  LoadedTable* parms = nullptr;
  for (LoadedTable& t : tables) {
    if (IEquals(t.table->file, kDustMatrixFile)) matrix_given = t.present;
    if (IEquals(t.table->name, "PARMS")) parms = &t;
  }
  const Value ready(matrix_given ? "1" : "0");
  for (LoadedRow& row : parms->rows) {
    if (IEquals(row.values[0].AsText(), kMatrixReadyKey)) {
      row.values = {Value(kMatrixReadyKey), ready};
      return;
    }
  }
  parms->rows.push_back({0, {Value(kMatrixReadyKey), ready}});
}

std::string InsertSql(const Table& t) {
  std::string cols;
  std::string marks;
  for (const Column& c : t.columns) {
    cols += (cols.empty() ? "" : ", ") + std::string(c.name);
    marks += marks.empty() ? "?" : ", ?";
  }
  return "INSERT INTO " + std::string(t.name) + " (" + cols + ") VALUES (" + marks + ")";
}

void WriteDatabase(const std::string& path, const std::vector<LoadedTable>& tables,
                   const ProgressFn& progress) {
  auto db = orv::db::CreateDatabase(path, orv::DustDataConnect());
  try {
    InstallSchema(*db);
    int64_t total = 0;
    for (const LoadedTable& t : tables) total += static_cast<int64_t>(t.rows.size());
    int64_t done = 0;
    db->BeginTrans();
    for (const LoadedTable& t : tables) {
      const std::string sql = InsertSql(*t.table);
      const std::string step = std::string("Writing ") + t.table->name;
      for (const LoadedRow& row : t.rows) {
        db->Execute(sql, row.values);
        if (progress && (++done % 1024) == 0) progress(step, done, total);
      }
    }
    db->CommitTrans();
    if (progress) progress("Writing", total, total);
  } catch (...) {
    db->Close();
    throw;
  }
  db->Close();
}

}  // namespace

void InstallSchema(orv::db::Database& db) {
  detail::InstallBaseSchema(db);
  InstallExpansionSchema(db);
}

void BuildFromCsv(const std::string& source_dir, const std::string& output_db, bool force,
                  const ProgressFn& progress) {
  if (fs::exists(output_db) && !force) {
    throw InputError(output_db, 0, {}, "the file exists already (replace it with --force)");
  }
  if (fs::is_directory(output_db)) throw InputError(output_db, 0, {}, "this is a folder");
  std::vector<LoadedTable> tables = detail::LoadSource(source_dir, progress);
  SetMatrixReady(tables);

  const fs::path out = fs::absolute(output_db);
  fs::create_directories(out.parent_path());
  // Built in a private folder beside the output; a file replaced (--force)
  // keeps its mode and group.
  const std::string side = orv::files::MakeSideFolder(out.string());
  const std::string temp = side + "/building.db";
  std::error_code ignored;
  try {
    WriteDatabase(temp, tables, progress);
    orv::files::KeepModeAndGroup(out.string(), temp);
    fs::rename(temp, out);
  } catch (...) {
    fs::remove_all(side, ignored);
    throw;
  }
  fs::remove_all(side, ignored);
}

}  // namespace orv::dustdata
