// "OrvDustM.MakeMatrix", the matrix expansion as its callers reach it: they
// create the object by class identifier (CreateObject) and ask for this
// interface with As<IMakeMatrix>().
#pragma once

#include <cstdint>
#include <string>

namespace orv {

// Expands a dust data database's matrix in place.
class IMakeMatrix {
 public:
  virtual ~IMakeMatrix() = default;
  // Same as MakeMatrixPastClosure with MaxYearsPastClosure 0.
  virtual bool MakeMatrix(const std::string& DBName, const std::string& DBPass,
                          int16_t DefStartYear, int16_t DefEndYear, int16_t AAStartYear,
                          int16_t AAEndYear) = 0;
  // True when the whole expansion ran and the database was marked expanded.
  // Failures are raised as OrvError.
  virtual bool MakeMatrixPastClosure(const std::string& DBName, const std::string& DBPass,
                                     int16_t DefStartYear, int16_t DefEndYear,
                                     int16_t AAStartYear, int16_t AAEndYear,
                                     int16_t MaxYearsPastClosure) = 0;
};

}  // namespace orv
