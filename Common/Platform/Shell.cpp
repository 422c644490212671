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
  void Open(const std::string& address) override {
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
    // opened reports leaves no finished processes behind.
    std::thread([pid] {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  }
};

detail::ServiceSlot<ShellService> g_service;

}  // namespace

void ShellOpen(const std::string& address) {
  std::shared_ptr<ShellService> s = g_service.Get();
  if (!s) s = std::make_shared<XdgOpenShell>();
  s->Open(address);
}

std::shared_ptr<ShellService> SetShellService(std::shared_ptr<ShellService> s) {
  return g_service.Swap(std::move(s));
}

}  // namespace orv
