#include "SettingsStore.h"

namespace orv {

QSettingsStore::QSettingsStore(QSettings& settings, QString group)
    : settings_(settings), group_(std::move(group)) {}

QString QSettingsStore::Path(const QString& key) const {
  return group_.isEmpty() ? key : group_ + QLatin1Char('/') + key;
}

std::optional<QString> QSettingsStore::Read(const QString& key) const {
  const QVariant v = settings_.value(Path(key));
  if (!v.isValid()) return std::nullopt;
  return v.toString();
}

void QSettingsStore::Write(const QString& key, const QString& value) {
  settings_.setValue(Path(key), value);
}

void QSettingsStore::Remove(const QString& key) { settings_.remove(Path(key)); }

}  // namespace orv
