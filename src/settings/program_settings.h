// The program's settings, read once from blurbsmith.cfg beside the
// executable, and the reader that knows their keywords.
#pragma once

#include "echo_list/list_encoding.h"
#include "echo_list/list_format.h"
#include "settings/config_reader.h"
#include "util/short_string.h"

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
