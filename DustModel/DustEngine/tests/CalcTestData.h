// A small dust data database whose every value the calculation tests choose,
// so that their expected results can be worked out by hand. Values are kept
// to numbers that single precision holds exactly (4, 0.5, 1.25 ...), so the
// hand working and the engine agree to the last digit.
//
// Model parameters: AvgYrPXR 4, PctPrevCat1 10, YearsAvgSmokeEquiv 20, so
// that the dust insult conversion K(x) = (20 / 10) x (x / 4) = x / 2;
// AnnSmokeUnit 1; England and Wales: LimitationYear 1960, LimitYearVal 0.5;
// Scotland: 1964 and 1; SurfaceData 1; SmallMineJobID 20, SmallMineRespID 5,
// RespiratorWornRespID 3.
//
// Collieries (matrix value, marker; tortious percentage underground/surface):
//   101 Ashby Main (North): 4 SURVEY, 1977 STRIKE; tortious 50
//   102 Bexley Colliery (North): 2 AVERAGE; tortious 40, surface 20
//   103 Carrow Pit (South, split 2 "Carrow Estates, Ltd"): 6 SURVEY, 1984
//       STRIKE; tortious 80
//   104 Dunmore (South): 4 only up to 1964; tortious 50
//   105 Eskdale (South): 4; no tortious rows
//   106 UK Coal Eastfield (South): 4; tortious 50
//   107 Fenwick (South): 4 up to 1969, CLOSED (4) from 1970; tortious 50
//   108 Gorse Hill (West, area split 2 "West Owners"): 4; tortious 88
//   109 Hatton (South): 4; tortious 80
//   904 Small Mines Area Average (Small Mines, split 1 "Small Mine:
//       %PITNAME%"): 3 AVERAGE; tortious 60
// Job factors (factor, uplift, dusty time, years past close):
//   1 FW Face Worker (1, 1, 1, 0)            2 HAUL Haulage Hand (0.5, 1, 1, 0)
//   3 SURF Surface Screens, surface (0.5, 1, 0.5, 0)
//   6 STR "Strike period"  7 JB "Job Break"  8 ND "No Data"  (0, 1, 1, 0)
//   9 NDX "No Data - job not known" (0, 1, 1, 0)
//   11 CL15 Salvage (1, 1, 1, 1.5)           12 CL0 Salvage (1, 1, 1, 0)
//   13 UPL Face Worker uplifted (1, 1.25, 1, 0)
//   20 SM Small Mine Worker (1, 1, 1, 0)
// Respirator factors (factor, years, start/end year values):
//   1 No respirator (0)                  2 Respirator worn 1975 to 1990 (20,
//   1975-1990, 0.5, 1)                    3 Respirator worn (25, 1970-1995)
//   4 Surface - no respirator (surface)   5 Small mine - no respirator
//   6 "Strike period"  7 "Job Break"  8 "No Data"
//   10 Respirator 20 always (20, 1947-2126)  11 Respirator 24 always (24)
//   12 Respirator 60 always (60)
// Smoking: 1 N Non smoker (0), 2 L Light (0.5), 4 H Heavy (1.5).
#pragma once

#include <map>
#include <string>

#include "TempDir.h"

namespace orv::dust::calctest {

// The database, built once per test program (path stays valid).
const std::string& HandDb();

// A database built the same way with some model parameters replaced.
std::string HandDbWith(const std::map<std::string, std::string>& parms);

// Opens the connection on `db` (DustDatabase) as a model would.
void OpenHandDb(const std::string& db);

// A fresh folder under the temporary folder, removed with the object.
using ScratchDir = orv::test::TempDir;

}  // namespace orv::dust::calctest
