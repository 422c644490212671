// Fuzz target: the INI settings reader and writer. A damaged or hostile
// settings file must read as values or defaults, and a key written into it
// must read back as written.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "ProfileIni.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = orv::fuzz::ScratchFile("settings.ini", data, size);
  // Sections and keys the system's own settings files use.
  static const char* const kKeys[][2] = {
      {"Paths", "DustDataDB"}, {"Paths", "ClaimantDB"}, {"Position", "Left"}, {"", ""}};
  for (const auto& k : kKeys) {
    const std::string v = orv::ReadProfileString(path, k[0], k[1], "default");
    if (v.size() > 255) __builtin_trap();
  }
  if (!orv::WriteProfileString(path, "Paths", "DustDataDB", "/data/DUSTDATA.db")) return 0;
  if (orv::ReadProfileString(path, "Paths", "DustDataDB", "") != "/data/DUSTDATA.db")
    __builtin_trap();
  return 0;
}
