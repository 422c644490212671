#include "PositionStore.h"

#include <QSettings>
#include <QStandardPaths>

#include "ProfileIni.h"

namespace orv {

namespace {

class IniFileStore : public PositionStore {
 public:
  explicit IniFileStore(std::string path) : path_(std::move(path)) {}
  std::string Read(const std::string& section, const std::string& key,
                   const std::string& default_text) override {
    return ReadProfileString(path_, section, key, default_text);
  }
  bool Write(const std::string& section, const std::string& key,
             const std::string& value) override {
    return WriteProfileString(path_, section, key, value);
  }

 private:
  std::string path_;
};

// The per-user store belongs to the deliverable alone, so Qt's own INI
// writer may rewrite it as a whole. A caller's settings file is shared with
// other readers and is therefore never handed to QSettings.
class UserStore : public PositionStore {
 public:
  explicit UserStore(const std::string& application_name)
      : settings_(QString::fromStdString(UserStorePath(application_name)), QSettings::IniFormat) {}
  std::string Read(const std::string& section, const std::string& key,
                   const std::string& default_text) override {
    const QVariant v = settings_.value(Key(section, key));
    return v.isValid() ? v.toString().toStdString() : default_text;
  }
  bool Write(const std::string& section, const std::string& key,
             const std::string& value) override {
    settings_.setValue(Key(section, key), QString::fromStdString(value));
    settings_.sync();
    return settings_.status() == QSettings::NoError;
  }

 private:
  static QString Key(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + "/" + QString::fromStdString(key);
  }
  QSettings settings_;
};

}  // namespace

std::unique_ptr<PositionStore> OpenIniFileStore(const std::string& path) {
  return std::make_unique<IniFileStore>(path);
}

std::unique_ptr<PositionStore> OpenUserStore(const std::string& application_name) {
  return std::make_unique<UserStore>(application_name);
}

std::string UserStorePath(const std::string& application_name) {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  const QString app = QString::fromStdString(application_name);
  return (folder + "/" + app + "/" + app + ".ini").toStdString();
}

}  // namespace orv
