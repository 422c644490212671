// Compaction: the closed database is copied into a new file with VACUUM INTO,
// which writes every table (the info table with the password among them) and
// the application_id mark afresh, without free pages. The source is opened
// exclusively, so the copy is refused while anyone else has the file open
// and nobody can write to it during the copy.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "Impl.h"
#include "OrvError.h"
#include "SafeFiles.h"

namespace orv::db {

namespace {

namespace fs = std::filesystem;

CompactStepHook g_step_hook = nullptr;

void Done(CompactStep step) {
  if (g_step_hook) g_step_hook(step);
}

[[noreturn]] void RaiseFileStep(const std::string& what, const std::string& file, int error) {
  throw OrvError(err::kFileAccess, "CompactInPlace",
                 StandardErrorText(err::kFileAccess) + " - " + what + " " + file + ": " +
                     std::strerror(error));
}

// Flushes a file or folder to disk, so that the rename that follows (or has
// just happened) survives a power cut as well as a killed program.
void Flush(const std::string& path, bool folder) {
  const int fd = ::open(path.c_str(), (folder ? O_RDONLY | O_DIRECTORY : O_RDWR) | O_CLOEXEC);
  if (fd < 0) RaiseFileStep("cannot open", path, errno);
  const int rc = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (rc != 0) RaiseFileStep("cannot flush", path, error);
}

}  // namespace

void SetCompactStepHook(CompactStepHook hook) { g_step_hook = hook; }

void CompactDatabase(const std::string& source, const std::string& destination,
                     const std::string& source_connect) {
  constexpr const char* kSource = "DAO.DBEngine";
  std::error_code ec;
  const std::filesystem::path dest = std::filesystem::absolute(destination, ec);
  if (ec || destination.empty()) {
    detail::Raise(dberr::kPathNotValid, kSource, "'" + destination + "' is not a valid path.");
  }
  if (std::filesystem::exists(dest, ec)) {
    detail::Raise(detail::kDatabaseExists, kSource, "Database already exists.");
  }
  OpenOptions options;
  options.read_only = true;
  options.exclusive = true;
  options.connect = source_connect;
  const DatabasePtr db = OpenDatabase(source, options);
  try {
    db->CopyTo(dest.string());
  } catch (OrvError& e) {
    e.SetSource(kSource);
    throw;
  }
  db->Close();
}

void CompactInPlace(const std::string& file, const std::string& temp, const std::string& connect) {
  const std::string path = fs::absolute(file).string();
  CompactDatabase(path, temp, connect);
  Done(CompactStep::kCopied);
  try {
    // A file kept private or shared with a group stays so.
    files::KeepModeAndGroup(path, temp);
    Done(CompactStep::kModeKept);
    Flush(temp, false);
    Done(CompactStep::kFlushed);
    if (::rename(temp.c_str(), path.c_str()) != 0) RaiseFileStep("cannot rename", temp, errno);
  } catch (...) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw;
  }
  Done(CompactStep::kRenamed);
  Flush(fs::path(path).parent_path().string(), true);
  Done(CompactStep::kFolderFlushed);
}

}  // namespace orv::db
