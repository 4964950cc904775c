#include "registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include "exception.h"

namespace {

QString ConfigDirectory() {
  QString dir = qEnvironmentVariable("CLARIVO_CONFIG_DIR");
  if (dir.isEmpty()) dir = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (dir.isEmpty()) dir = QDir::homePath() + "/.config";
  return dir;
}

QString KeyOf(const QString& Section, const QString& Ident) {
  return Section + "/" + Ident;
}

}  // namespace

QString TRegIniFile::FileNameOf(const QString& Key) {
  QStringList parts = Key.split('\\', Qt::SkipEmptyParts);
  if (!parts.isEmpty() && parts.front().compare("Software", Qt::CaseInsensitive) == 0) {
    parts.removeFirst();
  }
  if (parts.isEmpty()) throw Exception("Invalid registry key: " + Key.toStdString());
  return ConfigDirectory() + "/" + parts.join('/') + ".conf";
}

TRegIniFile::TRegIniFile(const QString& Key)
    : FSettings(std::make_unique<QSettings>(FileNameOf(Key), QSettings::IniFormat)) {
  FSettings->setAtomicSyncRequired(true);
}

// Pending values are written by UpdateFile only: a destructor cannot report a failed write.
TRegIniFile::~TRegIniFile() = default;

bool TRegIniFile::ValueExists(const QString& Section, const QString& Ident) const {
  return FSettings->contains(KeyOf(Section, Ident));
}

QString TRegIniFile::ReadString(const QString& Section, const QString& Ident,
                                const QString& Default) const {
  QVariant value = FSettings->value(KeyOf(Section, Ident));
  if (!value.isValid()) return Default;
  // An unquoted comma in a hand-edited file ("Margin=0,5") makes a list of the parts.
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(',');
  return value.toString();
}

int32_t TRegIniFile::ReadInteger(const QString& Section, const QString& Ident,
                                 int32_t Default) const {
  bool ok = false;
  int32_t value = ReadString(Section, Ident, QString()).toInt(&ok, 10);
  return ok ? value : Default;
}

bool TRegIniFile::ReadBool(const QString& Section, const QString& Ident, bool Default) const {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TRegIniFile::WriteString(const QString& Section, const QString& Ident, const QString& Value) {
  FSettings->setValue(KeyOf(Section, Ident), Value);
}

void TRegIniFile::WriteInteger(const QString& Section, const QString& Ident, int32_t Value) {
  WriteString(Section, Ident, QString::number(Value));
}

void TRegIniFile::WriteBool(const QString& Section, const QString& Ident, bool Value) {
  WriteString(Section, Ident, Value ? "1" : "0");
}

void TRegIniFile::UpdateFile() {
  QDir().mkpath(QFileInfo(FSettings->fileName()).absolutePath());
  FSettings->sync();
  if (FSettings->status() != QSettings::NoError) {
    throw Exception("Unable to write the settings file " + FSettings->fileName().toStdString());
  }
}
