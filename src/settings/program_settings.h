// The program's settings, read once from blurbsmith.cfg beside the
// executable, and the reader that knows their keywords.
#pragma once

#include "settings/config_reader.h"
#include "util/short_string.h"

// The echo list's line format: FidoNet's "[HOLD|DOWN],TAG,Description"
// lists, the backbone's .NA files, "TAG  Description", a Husky-style
// tosser's area configuration, "EchoArea TAG path ... -d "Description"", or
// a hub's answer to %LIST, "* TAG ...... "Description"".
enum class EchoListFormat { FastEcho, Na, FidoConfig, Areafix };
// How the echo list's bytes are read: as its byte-order mark or its bytes
// say (Auto), as UTF-8 or UTF-16 always, in the FastEcho file's code page
// as they are (CodePage), or in a code page named (translated into the
// FastEcho file's).
enum class EchoListEncoding { Auto, Utf8, CodePage, Utf16Le, Utf16Be, Cp866, Cp437, Cp850, Cp1251, Cp1252, Koi8R };

// The code page an ECHOLISTENCODING value names (866, ..., 20866 for
// KOI8-R); 0 for AUTO, UTF-8, UTF-16 and CODEPAGE.
int EchoListCodePage(EchoListEncoding encoding);

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
const char* EchoListEncodingName(EchoListEncoding encoding);

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
