// Where FormSize keeps window positions and baggage: a caller's INI-style
// settings file, or the per-user settings store of the deliverable.
#pragma once

#include <memory>
#include <string>

namespace orv {

class PositionStore {
 public:
  virtual ~PositionStore() = default;
  // The stored text, or `default_text` when there is none.
  virtual std::string Read(const std::string& section, const std::string& key,
                           const std::string& default_text) = 0;
  // Stores the text. Returns false when it could not be stored.
  [[nodiscard]] virtual bool Write(const std::string& section, const std::string& key,
                                   const std::string& value) = 0;
};

// The settings file at `path`, read and written key by key in place.
std::unique_ptr<PositionStore> OpenIniFileStore(const std::string& path);

// The per-user store of the deliverable `application_name`: the INI file
// "<application_name>/<application_name>.ini" in the user's configuration
// folder (QStandardPaths::GenericConfigLocation, normally ~/.config).
std::unique_ptr<PositionStore> OpenUserStore(const std::string& application_name);

// The file the per-user store of `application_name` lives in.
std::string UserStorePath(const std::string& application_name);

}  // namespace orv
