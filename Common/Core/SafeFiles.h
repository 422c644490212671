// Files the programs write beside or instead of a user's files: temporary
// files no other user can read, replace or redirect, copies that never
// overwrite what a user keeps, and replacements that keep the mode and group
// of the file they replace.
//
// Every file and folder made here is created exclusively (it must not exist,
// a symbolic link in its place is not followed) and is readable only by its
// owner until the caller says otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

namespace orv::files {

// The error number of a file that exists already ("File already exists").
inline constexpr int32_t kFileExists = 58;

// A new folder only its owner can enter, made under the user's runtime
// folder ($XDG_RUNTIME_DIR, when it is a folder of the user's own that no
// one else can enter) or else the temporary folder ($TMPDIR, /tmp), with a
// name no one can foresee. Removed with everything in it when the object
// goes, unless Keep() was called. Fails with OrvError 75 when it cannot be
// made.
class PrivateTempDir {
 public:
  explicit PrivateTempDir(std::string_view prefix);
  ~PrivateTempDir();
  PrivateTempDir(const PrivateTempDir&) = delete;
  PrivateTempDir& operator=(const PrivateTempDir&) = delete;

  const std::string& Path() const { return path_; }
  // `name` inside the folder.
  std::string File(std::string_view name) const;
  void Keep() { keep_ = true; }

 private:
  std::string path_;
  bool keep_ = false;
};

// A new folder beside `target` (in the same folder, so that what is written
// there can be renamed into place), hidden, with an unforeseeable name and
// only its owner allowed in. Fails with OrvError 75.
std::string MakeSideFolder(const std::string& target);

// A folder of files written in full before any of them is put in its
// place: Folder() is a private folder beside `target` (see MakeSideFolder);
// Commit() makes `target` if needed and moves every file written there into
// it, replacing files of the same names (each keeping the mode and group of
// the file it replaces). Without Commit() nothing of it reaches `target`.
class StagedFolder {
 public:
  explicit StagedFolder(const std::string& target);
  ~StagedFolder();
  StagedFolder(const StagedFolder&) = delete;
  StagedFolder& operator=(const StagedFolder&) = delete;

  const std::string& Folder() const { return side_; }
  // Fails with OrvError 75 naming the file that could not be moved.
  void Commit();

 private:
  std::string target_;
  std::string side_;
};

// Creates the new, empty file `path` for writing (never an existing file,
// never through a symbolic link), readable only by its owner; returns the
// open descriptor. Fails with OrvError 58 ("File already exists") when
// something has that name, 75 otherwise.
int CreateExclusive(const std::string& path);

// Renames `from` to `to` unless something already has the name `to`; then
// returns false and leaves both alone. Other failures are in `ec`.
bool RenameNoReplace(const std::string& from, const std::string& to, std::error_code& ec);

// Gives `file` the permission bits and (where the user may) the group of
// `model`, as when `file` is about to replace `model`. Nothing happens when
// `model` does not exist.
void KeepModeAndGroup(const std::string& model, const std::string& file);

// Gives `file` the mode a new file of this user gets (0666 less the umask),
// for a file made private while it was written.
void GiveDefaultMode(const std::string& file);

// `path` when nothing has that name, else the first free one of
// "stem-2.ext", "stem-3.ext", ... beside it.
std::string FirstFreeName(const std::string& path);

}  // namespace orv::files
