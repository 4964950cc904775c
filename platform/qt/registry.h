// The current user's registry as sections of named string values under one key. On Linux
// the key "Software\<Company>\<Product>" is the file <config>/<Company>/<Product>.conf, where
// <config> is $CLARIVO_CONFIG_DIR, else $XDG_CONFIG_HOME, else ~/.config. The file is read
// when the object is made and replaced as a whole by UpdateFile (a new file renamed over the
// old one), so that a process that dies while saving leaves the previous file intact and a
// reader never sees half of a save.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QSettings;

class TRegIniFile {
 public:
  explicit TRegIniFile(const QString& Key);
  ~TRegIniFile();
  TRegIniFile(const TRegIniFile&) = delete;
  TRegIniFile& operator=(const TRegIniFile&) = delete;

  // The file that holds the key.
  static QString FileNameOf(const QString& Key);

  bool ValueExists(const QString& Section, const QString& Ident) const;
  QString ReadString(const QString& Section, const QString& Ident, const QString& Default) const;
  // The default when the value is missing or does not read as a 32-bit decimal integer.
  int32_t ReadInteger(const QString& Section, const QString& Ident, int32_t Default) const;
  // Stored as "0" or "1"; any integer other than 0 reads as true.
  bool ReadBool(const QString& Section, const QString& Ident, bool Default) const;

  void WriteString(const QString& Section, const QString& Ident, const QString& Value);
  void WriteInteger(const QString& Section, const QString& Ident, int32_t Value);
  void WriteBool(const QString& Section, const QString& Ident, bool Value);

  // Writes the values to the file; raises an Exception naming the file when it cannot.
  void UpdateFile();

 private:
  std::unique_ptr<QSettings> FSettings;
};
