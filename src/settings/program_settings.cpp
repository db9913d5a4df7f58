#include "settings/program_settings.h"

#include <string>
#include <utility>

#include "util/code_page.h"
#include "util/files.h"
#include "util/strings.h"

namespace {

// The values of a setting that takes one of a few words.
template <typename Value>
struct Choice {
  const char* word;
  Value value;
};

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
  // A word from a list: false when the value is none of them. `list` is
  // the echo list the line belongs to (null before the first ECHOLIST).
  bool (*choose)(ProgramSettings& settings, EchoListSetting* list, const ShortString& upperValue);
  const char* wrongValueMessage;
  // The values it takes, for the message; made when needed, from the
  // tables that own them.
  std::string (*values)();
};

constexpr Keyword kKeywords[] = {
    {"FASTECHOCFG", &ProgramSettings::fastEchoCfgPath, nullptr, nullptr, nullptr},
    {"LOGFILE", &ProgramSettings::logFilePath, nullptr, nullptr, nullptr},
    {"ECHOLIST", nullptr, nullptr, nullptr, nullptr},
    {"FORCEDESC", nullptr,
     [](ProgramSettings& s, EchoListSetting*, const ShortString& v) { return Choose(kSwitch, v, s.forceDesc); },
     "Wrong value of ForceDesc", nullptr},
    {"UPCASEFIRSTDESCCHAR", nullptr,
     [](ProgramSettings& s, EchoListSetting*, const ShortString& v) { return Choose(kSwitch, v, s.upcaseFirstDescChar); },
     "Wrong value of UpcaseFirstDescChar", nullptr},
    {"ECHOLISTFORMAT", nullptr,
     [](ProgramSettings& s, EchoListSetting* list, const ShortString& v) {
       const ListFormat* format = FindFormat(v);
       if (format && list) list->format = format->format;
       if (format && !list) s.echoListFormat = format->format;
       return format != nullptr;
     },
     "Wrong value of EchoListFormat", FormatWords},
    {"CODEPAGE", nullptr,
     [](ProgramSettings& s, EchoListSetting*, const ShortString& v) {
       const CodePage* page = CodePage::FindByName(v);
       if (page) s.codePage = page->Number();
       return page != nullptr;
     },
     "Wrong value of CodePage", CodePage::NodeCodePageNames},
    {"ECHOLISTENCODING", nullptr,
     [](ProgramSettings& s, EchoListSetting* list, const ShortString& v) {
       const EncodingSetting* encoding = FindEncoding(v);
       if (encoding && list) list->encoding = encoding->encoding;
       if (encoding && !list) s.echoListEncoding = encoding->encoding;
       return encoding != nullptr;
     },
     "Wrong value of EchoListEncoding", EncodingWords},
    {"WARNINGEXITCODE", nullptr,
     [](ProgramSettings& s, EchoListSetting*, const ShortString& v) {
       const bool number = !v.empty() && v.size() <= 3 && v.view().find_first_not_of("0123456789") == std::string_view::npos;
       if (!number) return false;
       int code = 0;
       for (char digit : v.view()) code = code * 10 + (digit - '0');
       if (code > 254) return false;
       s.warningExitCode = code;
       return true;
     },
     "Wrong value of WarningExitCode", [] { return std::string("a number from 0 to 254"); }},
};

bool IsListOwn(const ShortString& keyword) { return keyword == "ECHOLISTFORMAT" || keyword == "ECHOLISTENCODING"; }

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
  if (keyword == "ECHOLIST") {  // each line names one more list (an empty one none)
    settings_.echoLists.push_back({value, {}, {}});
    return;
  }
  if (known->path) {
    settings_.*known->path = value;
    NoteWhereSet(keyword);
    return;
  }
  EchoListSetting* list = IsListOwn(keyword) && !settings_.echoLists.empty() ? &settings_.echoLists.back() : nullptr;
  if (known->choose(settings_, list, UpCaseStr(value))) {
    NoteWhereSet(keyword);
    return;
  }
  CountError();
  Warning(known->values ? std::string(known->wrongValueMessage) + " (" + known->values() + ")"
                        : std::string(known->wrongValueMessage));
}

void SettingsReader::NoteWhereSet(const ShortString& keyword) {
  std::string scope = keyword.str();
  if (IsListOwn(keyword) && !settings_.echoLists.empty()) scope += " " + std::to_string(settings_.echoLists.size());
  const auto [first, isFirst] = firstLineOf_.try_emplace(scope, LineNumber());
  if (isFirst) return;
  Warning(keyword + " is set again (first on line " + NumToStr(first->second) + "); this value is used");
}

void SettingsReader::UnknownKeyword(const ShortString& keyword, const ShortString&) {
  Warning(ShortString("Unknown keyword \"") + keyword + "\"");
}
