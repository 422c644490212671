// The matrix expansion's one public class, created by class identifier as
// "OrvDustM.MakeMatrix" and called through orv::IMakeMatrix. (The C++ class
// cannot carry the name MakeMatrix, which is the name of one of its
// methods.) Each call runs the whole expansion with a progress display: the
// progress window inside the desktop program, a bar on standard error when
// that is a terminal, nothing otherwise.
#pragma once

#include <string>

#include "Component.h"
#include "IMakeMatrix.h"

namespace orv::dustm {

inline constexpr const char* kMakeMatrixClass = "OrvDustM.MakeMatrix";

class MakeMatrixObject final : public orv::Component, public orv::IMakeMatrix {
 public:
  std::string ClassName() const override { return kMakeMatrixClass; }

  bool MakeMatrix(const std::string& DBName, const std::string& DBPass, int16_t DefStartYear,
                  int16_t DefEndYear, int16_t AAStartYear, int16_t AAEndYear) override;
  bool MakeMatrixPastClosure(const std::string& DBName, const std::string& DBPass,
                             int16_t DefStartYear, int16_t DefEndYear, int16_t AAStartYear,
                             int16_t AAEndYear, int16_t MaxYearsPastClosure) override;
};

}  // namespace orv::dustm
