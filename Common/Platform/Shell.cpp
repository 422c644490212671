#include "Shell.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "OrvError.h"
#include "ServiceSlot.h"

extern char** environ;

namespace orv {

namespace {

class XdgOpenShell : public ShellService {
 public:
  void Open(const std::string& address) override { OpenWatched(address, {}); }

  void OpenWatched(const std::string& address, OpenFailed failed) override {
    // Started without waiting: the desktop's opener hands the address to
    // the user's default application and exits on its own.
    const char* argv[] = {"xdg-open", address.c_str(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "xdg-open", nullptr, nullptr,
                                const_cast<char* const*>(argv), environ);
    if (rc != 0)
      throw OrvError(err::kFileNotFound, "ShellOpen",
                     std::string("Cannot start xdg-open: ") + std::strerror(rc));
    // The opener is collected when it exits, so that a long session of
    // opened reports leaves no finished processes behind. Its exit status is
    // the only word it gives of an address it could not open (no browser or
    // viewer installed, none set up for the kind of file): that is passed on.
    std::thread([pid, failed = std::move(failed)] {
      int status = 0;
      pid_t done = 0;
      while ((done = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
      }
      if (done == pid && failed && WIFEXITED(status) && WEXITSTATUS(status) != 0)
        failed(OpenerFailure(WEXITSTATUS(status)));
    }).detach();
  }
};

detail::ServiceSlot<ShellService> g_service;

std::shared_ptr<ShellService> Service() {
  std::shared_ptr<ShellService> s = g_service.Get();
  return s ? s : std::make_shared<XdgOpenShell>();
}

}  // namespace

void ShellOpen(const std::string& address) { Service()->Open(address); }

void ShellOpen(const std::string& address, OpenFailed failed) {
  Service()->OpenWatched(address, std::move(failed));
}

std::string OpenerFailure(int exit_status) {
  // The opener's own exit statuses.
  switch (exit_status) {
    case 0:
      return {};
    case 2:
      return "the file was not found";
    case 3:
      return "no program to open it is installed or set up";
    default:
      return "the program that opens it failed (status " + std::to_string(exit_status) + ")";
  }
}

std::shared_ptr<ShellService> SetShellService(std::shared_ptr<ShellService> s) {
  return g_service.Swap(std::move(s));
}

}  // namespace orv
