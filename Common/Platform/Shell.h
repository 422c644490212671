// Opening a file, document or web page with the user's default application
// (the shell "open"), behind an interface so tests can stand in for it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orv {

// Told, on a thread of its own, why an opener that was started did not open
// the address (for example that no program is set up for its kind of file).
using OpenFailed = std::function<void(const std::string& why)>;

class ShellService {
 public:
  virtual ~ShellService() = default;
  // Asks the desktop to open the address. Throws OrvError when the opener
  // cannot be started.
  virtual void Open(const std::string& address) = 0;
  // The same, and `failed` is called when the opener ends without having
  // opened the address. A service that cannot tell never calls it.
  virtual void OpenWatched(const std::string& address, OpenFailed failed) {
    (void)failed;
    Open(address);
  }
};

// Opens through the installed service; by default `xdg-open`, started
// without waiting for it. With `failed`, the opener's end is watched: it is
// called when the opener reports that it could not open the address.
void ShellOpen(const std::string& address);
void ShellOpen(const std::string& address, OpenFailed failed);

// Why an opener that ended with this exit status did not open the address;
// empty for the status of an opener that did.
std::string OpenerFailure(int exit_status);

std::shared_ptr<ShellService> SetShellService(std::shared_ptr<ShellService> s);

// Records the addresses instead of opening them.
class RecordingShell : public ShellService {
 public:
  void Open(const std::string& address) override { opened.push_back(address); }
  std::vector<std::string> opened;
};

}  // namespace orv
