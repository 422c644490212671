// The process-wide slot of one user-interface service (message boxes, file
// dialogs, the shell's "open"): installed by the host, read by every caller,
// safe to use from any thread.
#pragma once

#include <memory>
#include <mutex>
#include <utility>

namespace orv::detail {

template <class Service>
class ServiceSlot {
 public:
  // The installed service (null when none is).
  std::shared_ptr<Service> Get() const {
    std::lock_guard lock(mutex_);
    return service_;
  }
  // Installs `s` (null for none) and returns the one it replaces.
  std::shared_ptr<Service> Swap(std::shared_ptr<Service> s) {
    std::lock_guard lock(mutex_);
    std::swap(service_, s);
    return s;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<Service> service_;
};

}  // namespace orv::detail
