// Spoilt copies of a good database file, for the tests of everything that
// must refuse them with a clear error naming the file (or the query): cut
// short, overwritten with random bytes, replaced by text, a database of the
// other kind, and stored queries changed by someone else (to write, to
// attach a file, or so that they no longer compile).
#pragma once

#include <string>
#include <vector>

namespace orv::test {

struct Spoiling {
  std::string good;        // the good database file the copies are made from
  std::string connect;     // its connect text (";pwd=..."), to change its queries
  std::string other_kind;  // a good database of the other kind
  std::string query;       // a stored query the program opens to read
  std::string table;       // the table the tampered query deletes from
};

struct SpoiltFile {
  std::string kind;  // "truncated", "random bytes", ... (for test traces)
  std::string path;
  // A copy whose stored query was changed: the error names the query; the
  // ATTACH one names `attached`, which must never come into being.
  bool tampered = false;
  std::string attached;
};

// Writes the spoilt copies into `folder` (a file each, named after its kind).
std::vector<SpoiltFile> SpoilCopies(const Spoiling& s, const std::string& folder);

// A file's whole content, to show that it was left as it was.
std::string FileBytes(const std::string& path);

}  // namespace orv::test
