#include "TempDir.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace orv::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string templ = (fs::temp_directory_path() / "tarnby_test_XXXXXX").string();
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("no temporary folder: " + templ);
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

}  // namespace orv::test
