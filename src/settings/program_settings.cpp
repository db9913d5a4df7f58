#include "settings/program_settings.h"

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

constexpr Choice<EchoListFormat> kFormats[] = {
    {"FASTECHO", EchoListFormat::FastEcho},
    {"NA", EchoListFormat::Na},
    {"FIDOCONFIG", EchoListFormat::FidoConfig},
    {"AREAFIX", EchoListFormat::Areafix},
};
constexpr Choice<EchoListEncoding> kEncodings[] = {
    {"AUTO", EchoListEncoding::Auto},       {"UTF-8", EchoListEncoding::Utf8},
    {"UTF-16LE", EchoListEncoding::Utf16Le}, {"UTF-16BE", EchoListEncoding::Utf16Be},
    {"CODEPAGE", EchoListEncoding::CodePage}, {"866", EchoListEncoding::Cp866},
    {"437", EchoListEncoding::Cp437},       {"850", EchoListEncoding::Cp850},
    {"1251", EchoListEncoding::Cp1251},     {"1252", EchoListEncoding::Cp1252},
    {"KOI8-R", EchoListEncoding::Koi8R},
};
constexpr std::pair<EchoListEncoding, int> kEncodingCodePages[] = {
    {EchoListEncoding::Cp866, 866},   {EchoListEncoding::Cp437, 437},   {EchoListEncoding::Cp850, 850},
    {EchoListEncoding::Cp1251, 1251}, {EchoListEncoding::Cp1252, 1252}, {EchoListEncoding::Koi8R, 20866},
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
  const char* wrongValueMessage;
};

const Keyword kKeywords[] = {
    {"FASTECHOCFG", &ProgramSettings::fastEchoCfgPath, nullptr, nullptr},
    {"LOGFILE", &ProgramSettings::logFilePath, nullptr, nullptr},
    {"ECHOLIST", &ProgramSettings::echoListPath, nullptr, nullptr},
    {"FORCEDESC", nullptr,
     [](ProgramSettings& s, const ShortString& v) { return Choose(kSwitch, v, s.forceDesc); },
     "Wrong value of ForceDesc"},
    {"UPCASEFIRSTDESCCHAR", nullptr,
     [](ProgramSettings& s, const ShortString& v) { return Choose(kSwitch, v, s.upcaseFirstDescChar); },
     "Wrong value of UpcaseFirstDescChar"},
    {"ECHOLISTFORMAT", nullptr,
     [](ProgramSettings& s, const ShortString& v) { return Choose(kFormats, v, s.echoListFormat); },
     "Wrong value of EchoListFormat (FASTECHO, NA, FIDOCONFIG or AREAFIX)"},
    {"CODEPAGE", nullptr,
     [](ProgramSettings& s, const ShortString& v) { return Choose(kCodePages, v, s.codePage); },
     "Wrong value of CodePage (866, 437 or 850)"},
    {"ECHOLISTENCODING", nullptr,
     [](ProgramSettings& s, const ShortString& v) { return Choose(kEncodings, v, s.echoListEncoding); },
     "Wrong value of EchoListEncoding (AUTO, UTF-8, UTF-16LE, UTF-16BE, CODEPAGE, 866, 437, 850, 1251, 1252 or "
     "KOI8-R)"},
};

const Keyword* Find(const ShortString& keyword) {
  for (const Keyword& known : kKeywords)
    if (keyword == known.name) return &known;
  return nullptr;
}

// The word of a setting's value.
template <typename Value, std::size_t N>
const char* WordOf(const Choice<Value> (&choices)[N], Value value) {
  for (const Choice<Value>& choice : choices)
    if (choice.value == value) return choice.word;
  return "";
}

}  // namespace

const char* EchoListFormatName(EchoListFormat format) { return WordOf(kFormats, format); }
const char* EchoListEncodingName(EchoListEncoding encoding) { return WordOf(kEncodings, encoding); }

int EchoListCodePage(EchoListEncoding encoding) {
  for (const auto& [value, number] : kEncodingCodePages)
    if (value == encoding) return number;
  return 0;
}

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
