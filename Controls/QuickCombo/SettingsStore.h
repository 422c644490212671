// Where a combo control keeps its saved settings: named text values stored with the state of
// the form that holds it. The desktop program gives each control its own group of its QSettings
// file; tests may use any implementation.
#pragma once

#include <QSettings>
#include <QString>
#include <optional>

namespace orv {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The value stored under key, or nothing when there is none.
  virtual std::optional<QString> Read(const QString& key) const = 0;
  virtual void Write(const QString& key, const QString& value) = 0;
  // Removes key; a key not stored is ignored.
  virtual void Remove(const QString& key) = 0;
};

// A store over a group of a QSettings file, for example "frmMAIN/qcboColliery". The settings
// object must outlive the store; writes reach the file when QSettings syncs.
class QSettingsStore : public SettingsStore {
 public:
  QSettingsStore(QSettings& settings, QString group);

  std::optional<QString> Read(const QString& key) const override;
  void Write(const QString& key, const QString& value) override;
  void Remove(const QString& key) override;

 private:
  QString Path(const QString& key) const;

  QSettings& settings_;
  QString group_;
};

}  // namespace orv
