// A fresh folder under the system's temporary folder for one test (or one
// test program), removed with everything in it when the object goes.
#pragma once

#include <string>

namespace orv::test {

class TempDir {
 public:
  // Fails with std::runtime_error when no folder can be made.
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // The full name of `name` inside the folder (nothing is created).
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace orv::test
