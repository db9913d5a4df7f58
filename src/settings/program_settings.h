// The program's settings, read once from blurbsmith.cfg beside the
// executable, and the reader that knows their keywords.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "echo_list/list_encoding.h"
#include "echo_list/list_format.h"
#include "settings/config_reader.h"
#include "util/short_string.h"

// One ECHOLIST line, and the ECHOLISTFORMAT and ECHOLISTENCODING lines
// written after it (before the next ECHOLIST), which override those
// written before the first ECHOLIST for this list alone.
struct EchoListSetting {
  ShortString path;
  std::optional<EchoListFormat> format;
  std::optional<EchoListEncoding> encoding;
};

struct ProgramSettings {
  ShortString fastEchoCfgPath;      // FASTECHOCFG
  ShortString logFilePath;          // LOGFILE
  std::vector<EchoListSetting> echoLists;  // ECHOLIST, in the order written (an empty path names no list)
  bool forceDesc = false;           // FORCEDESC
  bool upcaseFirstDescChar = true;  // UPCASEFIRSTDESCCHAR
  // ECHOLISTFORMAT and ECHOLISTENCODING for every list (written before the
  // first ECHOLIST, or after the one list there is).
  EchoListFormat echoListFormat = EchoListFormat::FastEcho;
  int codePage = 866;  // CODEPAGE: of the texts in the FastEcho file
  EchoListEncoding echoListEncoding = EchoListEncoding::Auto;
  // WARNINGEXITCODE: the exit code of a run that completes but told a
  // warning; 0 keeps 0.
  int warningExitCode = 0;

  EchoListFormat FormatOf(const EchoListSetting& list) const { return list.format.value_or(echoListFormat); }
  EchoListEncoding EncodingOf(const EchoListSetting& list) const { return list.encoding.value_or(echoListEncoding); }
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

  // Where a setting was first given, by keyword and (for the echo list's
  // format and encoding) the list it belongs to: a later line that sets it
  // again is told.
  void NoteWhereSet(const ShortString& keyword);

  ProgramSettings& settings_;
  std::map<std::string, std::int32_t> firstLineOf_;
};
