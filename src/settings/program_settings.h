// The program's settings, read once from blurbsmith.cfg beside the
// executable, and the reader that knows their keywords.
#pragma once

#include "settings/config_reader.h"
#include "util/short_string.h"

// The echo list's line format: FidoNet's "[HOLD|DOWN],TAG,Description"
// lists, the backbone's .NA files, "TAG  Description", or a Husky-style
// tosser's area configuration, "EchoArea TAG path ... -d "Description"".
enum class EchoListFormat { FastEcho, Na, FidoConfig };
// How the echo list's bytes are read: as UTF-8 when it says so or is so
// (Auto), as UTF-8 always, or in the FastEcho file's code page as they are.
enum class EchoListEncoding { Auto, Utf8, CodePage };

struct ProgramSettings {
  ShortString fastEchoCfgPath;      // FASTECHOCFG
  ShortString logFilePath;          // LOGFILE
  ShortString echoListPath;         // ECHOLIST
  bool forceDesc = false;           // FORCEDESC
  bool upcaseFirstDescChar = true;  // UPCASEFIRSTDESCCHAR
  EchoListFormat echoListFormat = EchoListFormat::FastEcho;      // ECHOLISTFORMAT
  int codePage = 866;  // CODEPAGE: of the texts in the FastEcho file
  EchoListEncoding echoListEncoding = EchoListEncoding::Auto;  // ECHOLISTENCODING
};

// The setting's value as the settings file writes it (FASTECHO, NA, ...).
const char* EchoListFormatName(EchoListFormat format);

inline constexpr const char* kSettingsFileName = "blurbsmith.cfg";

// Full path of the settings file: the program's directory and the file
// name (upper-cased on Windows).
ShortString SettingsPathFor(const ShortString& programDir);

class SettingsReader : public ConfigReader {
 public:
  // Reads `fileName` into `settings` (";" and "//" start comments).
  static std::unique_ptr<SettingsReader> Init(const ShortString& fileName,
                                              ProgramSettings& settings) {
    return Create<SettingsReader>(fileName, settings);
  }

 protected:
  bool IsKeyword(const ShortString& keyword) override;
  void HandleKeyword(const ShortString& keyword, const ShortString& value) override;
  void UnknownKeyword(const ShortString& keyword, const ShortString& value) override;

 private:
  friend class ConfigReader;
  SettingsReader(const ShortString& fileName, ProgramSettings& settings);

  ProgramSettings& settings_;
};
