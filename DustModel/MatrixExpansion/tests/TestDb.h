// Helpers of the expansion's tests, over the shared dust data test support
// (the base reference rows, small databases built from them).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Database.h"
#include "DustDataFiles.h"
#include "MessageBox.h"
#include "RunValues.h"
#include "Value.h"

namespace orv::dustm::test {

using orv::dustdata::test::BaseFiles;
using orv::dustdata::test::BaseWith;
using orv::dustdata::test::BuildDb;
using orv::dustdata::test::CsvFiles;
using orv::test::TempDir;

// The run values the tests use: default years 1940 to 2030, area averages
// from 1947 to 1990, three years past closure.
RunValues TestRunValues();

// Opens a built database read-write.
orv::db::DatabasePtr OpenDb(const std::string& path);

// One matrix row as text, "1960-1964 2.5 SURVEY Original survey" (an empty
// marker or source written as "-").
std::string RowText(int start, int end, float value, const Value& marker, const Value& source);
// Every DUSTMATRIX row of a colliery in year order, as RowText.
std::vector<std::string> MatrixRows(orv::db::Database& db, int32_t colliery_id);
// The text of one model parameter.
std::string Parm(orv::db::Database& db, const std::string& key);

// Installs a scripted message box service for the life of the object.
class ScriptedBoxes {
 public:
  ScriptedBoxes();
  ~ScriptedBoxes();
  std::vector<MessageBoxRequest>& shown() { return boxes_->shown; }

 private:
  std::shared_ptr<ScriptedMessageBox> boxes_;
  std::shared_ptr<MessageBoxService> previous_;
};

}  // namespace orv::dustm::test
