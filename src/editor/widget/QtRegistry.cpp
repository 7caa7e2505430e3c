// TQtRegistry: string and binary registry values in an INI-format settings file.
#include "QtRegistry.h"

#include <QByteArray>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QString>

namespace {

// "Software\KORVEX_COMP" and a value name become one settings path. Value
// names may hold any character, so they are stored percent-encoded.
QString PathOf(const std::string &key, const std::string &name) {
  QString group = QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
  group.replace(QLatin1Char('\\'), QLatin1Char('/'));
  const QByteArray encoded =
      QByteArray(name.data(), static_cast<qsizetype>(name.size())).toPercentEncoding();
  return group + QLatin1Char('/') + QString::fromLatin1(encoded);
}

// Strings and binary values are told apart by a type prefix, as the registry does.
const QByteArray kStringTag = "s:";
const QByteArray kBinaryTag = "b:";

} // namespace

TQtRegistry::TQtRegistry() : TQtRegistry(DefaultFileName()) {}

TQtRegistry::TQtRegistry(const std::string &fileName)
    : Settings_(
          std::make_unique<QSettings>(QString::fromStdString(fileName), QSettings::IniFormat)) {}

TQtRegistry::~TQtRegistry() = default;

std::string TQtRegistry::DefaultFileName() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return QDir(dir).filePath(QStringLiteral("KORVEX_COMP.conf")).toStdString();
}

std::string TQtRegistry::FileName() const {
  return Settings_->fileName().toStdString();
}

void TQtRegistry::Write(const std::string &key, const std::string &name, const std::string &bytes,
                        bool binary) {
  QByteArray value = binary ? kBinaryTag : kStringTag;
  value.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
  Settings_->setValue(PathOf(key, name), value);
  Settings_->sync();
  if (Settings_->status() != QSettings::NoError)
    throw ERegistryError("Cannot write registry key " + key + " in " + FileName());
}

std::optional<std::string> TQtRegistry::Read(const std::string &key, const std::string &name,
                                             bool binary) {
  Settings_->sync();
  const QString path = PathOf(key, name);
  if (!Settings_->contains(path))
    return std::nullopt;
  const QByteArray value = Settings_->value(path).toByteArray();
  if (!value.startsWith(binary ? kBinaryTag : kStringTag))
    throw ERegistryError("Invalid data in registry entry");
  return value.sliced(2).toStdString();
}

void TQtRegistry::WriteString(const std::string &key, const std::string &name,
                              const std::string &value) {
  Write(key, name, value, false);
}

void TQtRegistry::WriteBinary(const std::string &key, const std::string &name,
                              const std::string &bytes) {
  Write(key, name, bytes, true);
}

std::optional<std::string> TQtRegistry::ReadString(const std::string &key,
                                                   const std::string &name) {
  return Read(key, name, false);
}

std::optional<std::string> TQtRegistry::ReadBinary(const std::string &key,
                                                   const std::string &name) {
  return Read(key, name, true);
}
