// Opening a file, document or web page with the user's default application
// (the shell "open"), behind an interface so tests can stand in for it.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace orv {

class ShellService {
 public:
  virtual ~ShellService() = default;
  // Asks the desktop to open the address. Throws OrvError on failure.
  virtual void Open(const std::string& address) = 0;
};

// Opens through the installed service; by default `xdg-open`, started
// without waiting for it.
void ShellOpen(const std::string& address);

std::shared_ptr<ShellService> SetShellService(std::shared_ptr<ShellService> s);

// Records the addresses instead of opening them.
class RecordingShell : public ShellService {
 public:
  void Open(const std::string& address) override { opened.push_back(address); }
  std::vector<std::string> opened;
};

}  // namespace orv
