// SHA-256 of a text as 64 lower-case hex digits: the digest the password
// gate uses, for anything else that needs to tell whether a text changed.
#pragma once

#include <string>
#include <string_view>

namespace orv::db {

std::string Sha256Hex(std::string_view data);

}  // namespace orv::db
