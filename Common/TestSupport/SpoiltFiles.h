// Spoilt database files, for the tests (and the open-check benchmark) of
// everything that must refuse them with a clear error naming the file (or
// the query): the ways a file is damaged or replaced, done to a copy in
// place, and ready-made spoilt copies of a good file, which add a database
// of the other kind and stored queries changed by someone else (to write,
// to attach a file, or so that they no longer compile).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::test {

// The page size of the files the database layer writes.
inline constexpr std::int64_t kPageSize = 4096;

// `n` bytes of noise, the same for the same seed.
std::string RandomBytes(size_t n, unsigned seed);

// Writes `bytes` over the file at `at` (at its start when -1), as damage.
void WriteBytes(const std::string& path, const std::string& bytes, std::int64_t at = -1);

// One way a database file is damaged or replaced, done in place to a copy
// of a good file.
struct Damage {
  const char* name;
  std::function<void(const std::string& path)> spoil;
};

// Every damage an open must refuse, naming the file, when the copy is of a
// good file of a few dozen pages or more:
//   "truncated to half", "the last page cut off", "truncated inside the
//   first page", "page 6 overwritten", "pages 2 to 4 overwritten" (the
//   layer's own tables of a new file), "a middle page overwritten", "every
//   page after the first overwritten", "random bytes", "a text file", "an
//   empty file", "a database of another program" (a good file with another
//   program's application id).
const std::vector<Damage>& Damages();

// One of Damages() by name; std::out_of_range for a name not among them.
const Damage& DamageNamed(std::string_view name);

struct Spoiling {
  std::string good;        // the good database file the copies are made from
  std::string connect;     // its connect text (";pwd=..."), to change its queries
  std::string other_kind;  // a good database of the other kind
  std::string query;       // a stored query the program opens to read
  std::string table;       // the table the tampered query deletes from
};

struct SpoiltFile {
  std::string kind;  // "truncated to half", "random bytes", ... (for test traces)
  std::string path;
  // A copy whose stored query was changed: the error names the query; the
  // ATTACH one names `attached`, which must never come into being.
  bool tampered = false;
  std::string attached;
};

// Writes the spoilt copies into `folder` (a file each, named after its kind).
std::vector<SpoiltFile> SpoilCopies(const Spoiling& s, const std::string& folder);

// Runs `sql` on the file as another program could, past this system's layer
// and with CHECK constraints off: a text longer than its column's declared
// size, say.
void WriteUnchecked(const std::string& path, const std::string& sql);

// A file's whole content, to show that it was left as it was.
std::string FileBytes(const std::string& path);

}  // namespace orv::test
