// The dust data database's password, shared by the engine, the matrix
// expansion and the tools that build dust data databases.
#pragma once

#include <string>

namespace orv {

inline constexpr const char* kDustDataPassword = "Tn5dx";
// The connect text that goes with it.
inline std::string DustDataConnect() { return std::string(";pwd=") + kDustDataPassword; }

}  // namespace orv
