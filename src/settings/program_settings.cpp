#include "settings/program_settings.h"

#include "util/files.h"
#include "util/strings.h"

namespace {

// One entry per keyword: where its value goes and how it is checked.
struct Keyword {
  enum class Kind { Path, Switch, ListFormat };
  const char* name;
  Kind kind;
  ShortString ProgramSettings::*path = nullptr;
  bool ProgramSettings::*flag = nullptr;
  const char* wrongValueMessage = nullptr;
};

const Keyword kKeywords[] = {
    {"FASTECHOCFG", Keyword::Kind::Path, &ProgramSettings::fastEchoCfgPath},
    {"LOGFILE", Keyword::Kind::Path, &ProgramSettings::logFilePath},
    {"ECHOLIST", Keyword::Kind::Path, &ProgramSettings::echoListPath},
    {"FORCEDESC", Keyword::Kind::Switch, nullptr, &ProgramSettings::forceDesc,
     "Wrong value of ForceDesc"},
    {"UPCASEFIRSTDESCCHAR", Keyword::Kind::Switch, nullptr, &ProgramSettings::upcaseFirstDescChar,
     "Wrong value of UpcaseFirstDescChar"},
    {"ECHOLISTFORMAT", Keyword::Kind::ListFormat, nullptr, nullptr,
     "Wrong value of EchoListFormat (FASTECHO or NA)"},
};

const Keyword* Find(const ShortString& keyword) {
  for (const Keyword& known : kKeywords)
    if (keyword == known.name) return &known;
  return nullptr;
}

}  // namespace

ShortString SettingsPathFor(const ShortString& programDir) {
  return UpCasePath(programDir + kSettingsFileName);
}

SettingsReader::SettingsReader(const ShortString& fileName, ProgramSettings& settings)
    : ConfigReader(fileName, kSemicolonSet, true), settings_(settings) {}

bool SettingsReader::IsKeyword(const ShortString& keyword) { return Find(keyword) != nullptr; }

void SettingsReader::HandleKeyword(const ShortString& keyword, const ShortString& value) {
  const Keyword* known = Find(keyword);
  if (!known) return;
  ShortString upper = UpCaseStr(value);
  switch (known->kind) {
    case Keyword::Kind::Path:
      settings_.*known->path = value;
      return;
    case Keyword::Kind::Switch:
      if (upper == "YES" || upper == "NO") {
        settings_.*known->flag = upper == "YES";
        return;
      }
      break;
    case Keyword::Kind::ListFormat:
      if (upper == "FASTECHO" || upper == "NA") {
        settings_.echoListFormat = upper == "NA" ? EchoListFormat::Na : EchoListFormat::FastEcho;
        return;
      }
      break;
  }
  CountError();
  Warning(known->wrongValueMessage);
}

void SettingsReader::UnknownKeyword(const ShortString& keyword, const ShortString&) {
  Warning(ShortString("Unknown keyword \"") + keyword + "\"");
}
