#include "settings/program_settings.h"

#include <string>
#include <utility>

#include "util/files.h"
#include "util/strings.h"

namespace {

// The values of a setting that takes one of a few words.
template <typename Value>
struct Choice {
  const char* word;
  Value value;
};

constexpr Choice<int> kCodePages[] = {{"866", 866}, {"437", 437}, {"850", 850}};
constexpr Choice<bool> kSwitch[] = {{"YES", true}, {"NO", false}};

// Sets `setting` to the value of `word` (upper-cased); false when it names none.
template <typename Value, std::size_t N>
bool Choose(const Choice<Value> (&choices)[N], const ShortString& word, Value& setting) {
  for (const Choice<Value>& choice : choices) {
    if (word == choice.word) {
      setting = choice.value;
      return true;
    }
  }
  return false;
}

// One entry per keyword: where its value goes and how it is checked.
struct Keyword {
  const char* name;
  ShortString ProgramSettings::*path;  // a path, taken as it is written
  // A word from a list: false when the value is none of them.
  bool (*choose)(ProgramSettings& settings, const ShortString& upperValue);
  std::string wrongValueMessage;
};

const Keyword kKeywords[] = {
    {"FASTECHOCFG", &ProgramSettings::fastEchoCfgPath, nullptr, ""},
    {"LOGFILE", &ProgramSettings::logFilePath, nullptr, ""},
    {"ECHOLIST", &ProgramSettings::echoListPath, nullptr, ""},
    {"FORCEDESC", nullptr,
     [](ProgramSettings& s, const ShortString& v) { return Choose(kSwitch, v, s.forceDesc); },
     "Wrong value of ForceDesc"},
    {"UPCASEFIRSTDESCCHAR", nullptr,
     [](ProgramSettings& s, const ShortString& v) { return Choose(kSwitch, v, s.upcaseFirstDescChar); },
     "Wrong value of UpcaseFirstDescChar"},
    {"ECHOLISTFORMAT", nullptr,
     [](ProgramSettings& s, const ShortString& v) {
       const ListFormat* format = FindFormat(v);
       if (format) s.echoListFormat = format->format;
       return format != nullptr;
     },
     "Wrong value of EchoListFormat (" + FormatWords() + ")"},
    {"CODEPAGE", nullptr,
     [](ProgramSettings& s, const ShortString& v) { return Choose(kCodePages, v, s.codePage); },
     "Wrong value of CodePage (866, 437 or 850)"},
    {"ECHOLISTENCODING", nullptr,
     [](ProgramSettings& s, const ShortString& v) {
       const EncodingSetting* encoding = FindEncoding(v);
       if (encoding) s.echoListEncoding = encoding->encoding;
       return encoding != nullptr;
     },
     "Wrong value of EchoListEncoding (" + EncodingWords() + ")"},
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
  if (known->path) {
    settings_.*known->path = value;
    return;
  }
  if (known->choose(settings_, UpCaseStr(value))) return;
  CountError();
  Warning(known->wrongValueMessage);
}

void SettingsReader::UnknownKeyword(const ShortString& keyword, const ShortString&) {
  Warning(ShortString("Unknown keyword \"") + keyword + "\"");
}
