#include "SafeFiles.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "OrvError.h"

namespace orv::files {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(int32_t number, const std::string& what, int error) {
  throw OrvError(number, "SafeFiles", what + ": " + std::strerror(error));
}

// A folder that is the user's own and that no one else may enter.
bool IsPrivateFolder(const char* path) {
  if (path == nullptr || *path != '/') return false;
  struct stat st {};
  if (::lstat(path, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

std::string TempRoot() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); IsPrivateFolder(runtime))
    return runtime;
  std::error_code ec;
  const fs::path temp = fs::temp_directory_path(ec);
  return ec ? std::string("/tmp") : temp.string();
}

// mkdtemp on `pattern` (ending in XXXXXX); the folder is made 0700.
std::string MakeFolder(std::string pattern, const std::string& what) {
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr) Fail(err::kFileAccess, "Cannot make " + what, errno);
  return name.data();
}

}  // namespace

PrivateTempDir::PrivateTempDir(std::string_view prefix)
    : path_(MakeFolder(TempRoot() + "/" + std::string(prefix) + "-XXXXXX",
                       "a private temporary folder in " + TempRoot())) {}

PrivateTempDir::~PrivateTempDir() {
  if (keep_) return;
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string PrivateTempDir::File(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

std::string MakeSideFolder(const std::string& target) {
  std::error_code ec;
  fs::path full = fs::absolute(target, ec);
  if (ec) full = target;
  std::string name = full.filename().string();
  if (name.empty()) name = full.parent_path().filename().string();
  const fs::path folder = full.filename().empty() ? full.parent_path().parent_path()
                                                  : full.parent_path();
  return MakeFolder((folder / ("." + name + ".")).string() + "XXXXXX",
                    "a temporary folder in " + folder.string());
}

StagedFolder::StagedFolder(const std::string& target) : target_(target) {
  std::error_code ec;
  fs::create_directories(target_, ec);
  if (ec || !fs::is_directory(target_, ec)) {
    throw OrvError(err::kPathNotFound, "SafeFiles",
                   "Cannot make the folder " + target_ + (ec ? ": " + ec.message() : ""));
  }
  side_ = MakeSideFolder((fs::absolute(target_, ec).lexically_normal() / "").string());
}

StagedFolder::~StagedFolder() {
  std::error_code ignored;
  fs::remove_all(side_, ignored);
}

void StagedFolder::Commit() {
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(side_, ec)) {
    const fs::path to = fs::path(target_) / e.path().filename();
    KeepModeAndGroup(to.string(), e.path().string());
    fs::rename(e.path(), to, ec);
    if (ec) {
      throw OrvError(err::kFileAccess, "SafeFiles",
                     "Cannot write " + to.string() + ": " + ec.message());
    }
  }
  if (ec) throw OrvError(err::kFileAccess, "SafeFiles", "Cannot read " + side_ + ": " + ec.message());
}

int CreateExclusive(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  if (errno == EEXIST) {
    throw OrvError(kFileExists, "SafeFiles",
                   "The file " + path + " exists already and is not replaced.");
  }
  Fail(err::kFileAccess, "Cannot create " + path, errno);
}

bool RenameNoReplace(const std::string& from, const std::string& to, std::error_code& ec) {
  ec.clear();
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno == EEXIST) return false;
  if (errno != EINVAL && errno != ENOSYS) {
    ec.assign(errno, std::generic_category());
    return false;
  }
  // A file system without the flag: a hard link fails on an existing name.
  if (::link(from.c_str(), to.c_str()) != 0) {
    if (errno == EEXIST) return false;
    ec.assign(errno, std::generic_category());
    return false;
  }
  ::unlink(from.c_str());
  return true;
}

void KeepModeAndGroup(const std::string& model, const std::string& file) {
  struct stat st {};
  if (::stat(model.c_str(), &st) != 0) return;
  // The group first: changing it may clear the set-group bit the mode restores.
  if (::chown(file.c_str(), static_cast<uid_t>(-1), st.st_gid) != 0) {
    // Not a group of this user's: the file keeps the user's own group.
  }
  ::chmod(file.c_str(), st.st_mode & 07777);
}

void GiveDefaultMode(const std::string& file) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(file.c_str(), 0666 & ~mask);
}

std::string FirstFreeName(const std::string& path) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(path, ec))) return path;
  const fs::path p(path);
  const std::string stem = p.stem().string();
  const std::string ext = p.extension().string();
  for (int n = 2;; ++n) {
    const fs::path candidate = p.parent_path() / (stem + "-" + std::to_string(n) + ext);
    if (!fs::exists(fs::symlink_status(candidate, ec))) return candidate.string();
  }
}

}  // namespace orv::files
