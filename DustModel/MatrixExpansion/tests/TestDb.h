// Small dust data databases for the expansion's tests: a CSV folder written
// into a temporary folder (a plain base set, with the files a test cares
// about replaced) and built with the dust data tools' own build.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Database.h"
#include "RunValues.h"
#include "Value.h"
#include "MessageBox.h"

namespace orv::dustm::test {

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// CSV file name -> its whole text. The base set has areas 1 "Northfield"
// (area-average colliery 901), 2 "Southmoor" (902), 3 the national average
// (903), 4 small mines (904, split type 1) and 5 "Westdale" (none); the
// collieries are the four pseudo collieries only; no surveys, one survey
// round 1960-1964, tortious values only for the pseudo collieries.
using CsvFiles = std::map<std::string, std::string>;
CsvFiles BaseFiles();

// The run values the tests use: default years 1940 to 2030, area averages
// from 1947 to 1990, three years past closure.
RunValues TestRunValues();

// Builds `files` (the base set with these replaced or added) into a new
// database file in `dir` and returns its path.
std::string BuildDb(const TempDir& dir, const CsvFiles& files, const std::string& name = "DUST.db");

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
