// The C++ interfaces through which components created by class identifier
// are called. The caller creates the object with CreateObject and asks for
// the interface with As<>().
#pragma once

#include <cstdint>
#include <string>

#include "Component.h"

namespace orv {

// "OrvDustM.MakeMatrix": expands a dust data database's matrix in place.
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

// "OrvDustO.Output": the paged report preview.
class IOutput {
 public:
  virtual ~IOutput() = default;
  virtual void SetHeader(const std::string& text) = 0;
  // The page number stands in place of %d.
  virtual void SetFooter(const std::string& text) = 0;
  virtual void DetailLine(const std::string& sLine, const std::string& sValue) = 0;
  virtual void KillDoc() = 0;
  virtual void StartDoc() = 0;
  virtual void EndDoc() = 0;
  // Shows the window without blocking the caller.
  virtual void Show() = 0;
  virtual void UnloadForm() = 0;
};

}  // namespace orv
