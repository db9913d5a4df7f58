#include "settings/program_settings.h"

#include "util/files.h"
#include "util/strings.h"

namespace {

constexpr const char* kFastEchoCfg = "FASTECHOCFG";
constexpr const char* kLogFile = "LOGFILE";
constexpr const char* kEchoList = "ECHOLIST";
constexpr const char* kForceDesc = "FORCEDESC";
constexpr const char* kUpcaseFirstDescChar = "UPCASEFIRSTDESCCHAR";

}  // namespace

ShortString SettingsPathFor(const ShortString& programDir) {
  return UpCasePath(programDir + kSettingsFileName);
}

SettingsReader::SettingsReader(const ShortString& fileName, ProgramSettings& settings)
    : ConfigReader(fileName, kSemicolonSet, true), settings_(settings) {}

bool SettingsReader::IsKeyword(const ShortString& keyword) {
  for (const char* known : {kFastEchoCfg, kLogFile, kEchoList, kForceDesc, kUpcaseFirstDescChar})
    if (keyword == known) return true;
  return false;
}

void SettingsReader::HandleKeyword(const ShortString& keyword, const ShortString& value) {
  if (keyword == kFastEchoCfg) settings_.fastEchoCfgPath = value;
  else if (keyword == kLogFile) settings_.logFilePath = value;
  else if (keyword == kEchoList) settings_.echoListPath = value;
  else if (keyword == kForceDesc) HandleSwitch(settings_.forceDesc, value, "Wrong value of ForceDesc");
  else if (keyword == kUpcaseFirstDescChar)
    HandleSwitch(settings_.upcaseFirstDescChar, value, "Wrong value of UpcaseFirstDescChar");
}

void SettingsReader::HandleSwitch(bool& setting, ShortString value, const char* wrongValueMessage) {
  UpCaseInPlace(value);
  if (value == "YES") {
    setting = true;
  } else if (value == "NO") {
    setting = false;
  } else {
    CountError();
    Warning(wrongValueMessage);
  }
}

void SettingsReader::UnknownKeyword(const ShortString& keyword, const ShortString&) {
  Warning(ShortString("Unknown keyword \"") + keyword + "\"");
}
