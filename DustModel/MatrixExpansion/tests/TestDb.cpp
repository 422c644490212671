#include "TestDb.h"

#include <cstdlib>

#include "Numbers.h"

namespace orv::dustm::test {
namespace {
// The tests' error logs go into a folder of their own, not the user's.
struct LogFolder {
  LogFolder() {
    static TempDir logs;
    setenv("XDG_DATA_HOME", logs.path().c_str(), 1);
  }
};
}  // namespace

const LogFolder kLogFolder;

RunValues TestRunValues() { return RunValues{1940, 2030, 1947, 1990, 3}; }

orv::db::DatabasePtr OpenDb(const std::string& path) {
  return orv::dustdata::test::OpenDb(path, false);
}

std::string RowText(int start, int end, float value, const Value& marker, const Value& source) {
  const auto text = [](const Value& v) {
    const std::string t = v.TextOrEmpty();
    return t.empty() ? std::string("-") : t;
  };
  return std::to_string(start) + "-" + std::to_string(end) + " " + FloatToText(value) + " " +
         text(marker) + " " + text(source);
}

std::vector<std::string> MatrixRows(orv::db::Database& db, int32_t colliery_id) {
  std::vector<std::string> rows;
  auto rs = db.OpenRecordset(
      "SELECT STARTYEAR, ENDYEAR, DUSTVAL, MARKER, SOURCE FROM DUSTMATRIX WHERE COLLIERYID = ? "
      "ORDER BY STARTYEAR, ENDYEAR",
      orv::db::RecordsetType::Snapshot, {Value(colliery_id)});
  for (; !rs->IsEOF(); rs->MoveNext()) {
    rows.push_back(RowText(rs->Field(0).AsInt32(), rs->Field(1).AsInt32(), rs->Field(2).AsSingle(),
                           rs->Field(3), rs->Field(4)));
  }
  return rows;
}

std::string Parm(orv::db::Database& db, const std::string& key) {
  auto rs = db.OpenRecordset("SELECT PARMVALUE FROM PARMS WHERE PARM = ? COLLATE NOCASE",
                             orv::db::RecordsetType::Snapshot, {Value(key)});
  return rs->IsEOF() ? std::string("(missing)") : rs->Field(0).TextOrEmpty();
}

ScriptedBoxes::ScriptedBoxes()
    : boxes_(std::make_shared<ScriptedMessageBox>()), previous_(SetMessageBoxService(boxes_)) {}

ScriptedBoxes::~ScriptedBoxes() { SetMessageBoxService(previous_); }

}  // namespace orv::dustm::test
