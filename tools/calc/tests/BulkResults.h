// What a bulk run leaves, read back for the tests: its results file and
// every claimant's stored result.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>

#include "Database.h"
#include "ToolRun.h"

namespace orv::calcrun::test {

// The results file as ID -> its row's cells after the ID.
inline std::map<int32_t, std::string> ResultRows(const std::string& path) {
  std::map<int32_t, std::string> rows;
  std::istringstream in(orv::test::ReadAll(path));
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "ID,OK,RECOVERABLEQUANTUM,STORED_RECOVERABLEQUANTUM,CHANGED,MESSAGE");
  while (std::getline(in, line)) {
    const size_t comma = line.find(',');
    const int32_t id = std::stoi(line.substr(0, comma));
    EXPECT_EQ(rows.count(id), 0u) << "claimant " << id << " listed twice";
    rows[id] = line.substr(comma + 1);
  }
  return rows;
}

// Every claimant's stored result as "CALCDATE-less" text, in ID order.
inline std::map<int32_t, std::string> StoredResults(const std::string& claimants) {
  std::map<int32_t, std::string> stored;
  orv::db::OpenOptions read_only;
  read_only.read_only = true;
  const auto db = orv::db::OpenDatabase(claimants, read_only);
  for (auto r = db->OpenRecordset(
           "SELECT ID, RECOVERABLEQUANTUM, ENGINEVERSION, DUSTDATAVERSION, "
           "CASE WHEN CALCDATE IS NULL THEN 1 ELSE 0 END FROM CLAIMANT ORDER BY ID",
           orv::db::RecordsetType::Snapshot);
       !r->IsEOF(); r->MoveNext())
    stored[r->Field(0).AsInt32()] = r->Field(1).TextOrEmpty() + "|" + r->Field(2).TextOrEmpty() +
                                    "|" + r->Field(3).TextOrEmpty() + "|" + r->Field(4).AsText();
  return stored;
}

}  // namespace orv::calcrun::test
