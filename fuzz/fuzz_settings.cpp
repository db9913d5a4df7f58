// Fuzz target: the settings reader on arbitrary file bytes.
//
// The input is the whole settings file. The reader must read every such file
// to its end without ending the process (the file always opens and reads),
// and what it stores, counts and reports must equal what a plain reading of
// the keyword file rules gives: every setting, ErrorCount, the last line
// number and every warning line on the console. The reference reads the
// text as every text file is read (fuzz_common.h: a byte-order mark first
// is no part of the first line, CR LF, a lone CR and a lone LF each end a
// line, Ctrl-Z ends the text, 255-character lines) and shows the warnings
// as the console does, a control byte as '?'.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_common.h"
#include "settings/program_settings.h"
#include "support/process_trap.h"

namespace {

struct Expected {
  ProgramSettings settings;
  std::int32_t errorCount = 0;
  std::int32_t lineNumber = 0;
  std::string console;
  bool refused = false;  // UTF-16 without a byte-order mark: the run stops
};

std::string Cut(std::string s) {
  if (s.size() > 255) s.resize(255);
  return s;
}

// The console shows a control byte (below 0x20, and 0x7F) as '?'.
std::string Shown(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
}

void Warn(Expected& e, const std::string& fileName, std::int32_t line, const std::string& msg) {
  const std::string text =
      Cut("File " + fileName + " (line " + std::to_string(line) + ") - " + Cut(msg));
  e.console += Shown(Cut("Warning: " + text)) + "\r\n";
}

// A setting that takes one of a few words, in any case: a value that is
// none of them is a counted error and leaves the setting as it was.
template <typename Value>
void Choose(Expected& e, Value& setting, std::string_view value,
            std::initializer_list<std::pair<const char*, Value>> choices, const char* message,
            const std::string& fileName) {
  const std::string upper = fuzzref::Upper(value);
  for (const auto& [word, meaning] : choices) {
    if (upper == word) {
      setting = meaning;
      return;
    }
  }
  ++e.errorCount;
  Warn(e, fileName, e.lineNumber, message);
}

void Switch(Expected& e, bool& setting, std::string_view value, const char* message,
            const std::string& fileName) {
  Choose<bool>(e, setting, value, {{"YES", true}, {"NO", false}}, message, fileName);
}

// The lines of a settings file: a UTF-16 one (a byte-order mark first)
// as its characters in code page 866, lines of more than 255 characters
// cut; any other as text file bytes.
std::vector<fuzzref::TextLine> SettingsLines(std::string_view bytes) {
  const bool little = bytes.substr(0, 2) == "\xFF\xFE", big = bytes.substr(0, 2) == "\xFE\xFF";
  if (!little && !big) return fuzzref::TextLines(bytes);
  std::u32string text = fuzzref::Utf16Characters(bytes, little);
  text = text.substr(0, text.find(U'\x1A'));
  std::vector<fuzzref::TextLine> lines;
  std::u32string line;
  const auto end = [&] {
    std::string cp866;
    for (const char32_t c : line) cp866 += static_cast<char>(CodePage::Cp866().FromUnicode(c));
    lines.push_back({cp866.substr(0, 255), line.size() > 255});
    line.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == U'\r' || text[i] == U'\n') {
      end();
      if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) end();
  return lines;
}

Expected ReadReference(std::string_view bytes, const std::string& fileName) {
  Expected e;
  const std::vector<fuzzref::TextLine> lines = SettingsLines(bytes);
  const bool utf16 = bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF";
  // Without a byte-order mark, NUL bytes in the first line that is not
  // empty tell UTF-16 that cannot be read for sure.
  for (const fuzzref::TextLine& raw : lines) {
    if (utf16 || raw.text.empty()) continue;
    if (raw.text.find('\0') != std::string::npos) {
      e.refused = true;
      e.console = Shown("Error: The settings file " + fileName +
                        " is UTF-16 without a byte-order mark; save it as ANSI or UTF-8") + "\r\n\r\n";
      return e;
    }
    break;
  }
  std::map<std::string, std::int32_t> firstLine;  // where each setting was first given
  for (const fuzzref::TextLine& raw : lines) {
    ++e.lineNumber;
    const std::string_view line = fuzzref::Trim(raw.text);
    if (line.empty() || line.front() == ';') continue;
    if (line.size() >= 2 && line[0] == '/' && line[1] == '/') continue;
    if (raw.cut) {
      ++e.errorCount;
      Warn(e, fileName, e.lineNumber, "Line is longer than 255 characters");
      continue;
    }
    // Keyword: the first run of non-blanks; value: everything after the
    // blanks that follow it.
    std::size_t end = 0;
    while (end < line.size() && !fuzzref::IsBlank(line[end])) ++end;
    const std::string keyword = fuzzref::Upper(line.substr(0, end));
    std::size_t start = end;
    while (start < line.size() && fuzzref::IsBlank(line[start])) ++start;
    std::string_view value = line.substr(start);
    for (std::size_t p = 0; p < value.size(); ++p) {
      if (value[p] == ';' || (value[p] == '/' && p + 1 < value.size() && value[p + 1] == '/')) {
        value = value.substr(0, p);
        break;
      }
    }
    value = fuzzref::Trim(value);
    ProgramSettings& s = e.settings;
    // A setting given again is told, with the line it was first given on;
    // an echo list's format and encoding belong to the ECHOLIST above.
    const bool listOwn = keyword == "ECHOLISTFORMAT" || keyword == "ECHOLISTENCODING";
    EchoListSetting* list = listOwn && !s.echoLists.empty() ? &s.echoLists.back() : nullptr;
    const std::int32_t errorsBefore = e.errorCount;
    const auto noteSet = [&] {
      if (e.errorCount != errorsBefore) return;
      const std::string scope = keyword + (list ? " " + std::to_string(s.echoLists.size()) : "");
      const auto [first, isFirst] = firstLine.try_emplace(scope, e.lineNumber);
      if (!isFirst)
        Warn(e, fileName, e.lineNumber,
             keyword + " is set again (first on line " + std::to_string(first->second) + "); this value is used");
    };
    if (keyword == "FASTECHOCFG") {
      s.fastEchoCfgPath = value;
      noteSet();
    } else if (keyword == "LOGFILE") {
      s.logFilePath = value;
      noteSet();
    } else if (keyword == "ECHOLIST") {
      s.echoLists.push_back({value, {}, {}});
    } else if (keyword == "FORCEDESC") {
      Switch(e, s.forceDesc, value, "Wrong value of ForceDesc", fileName);
      noteSet();
    } else if (keyword == "UPCASEFIRSTDESCCHAR") {
      Switch(e, s.upcaseFirstDescChar, value, "Wrong value of UpcaseFirstDescChar", fileName);
      noteSet();
    } else if (keyword == "ECHOLISTFORMAT") {
      EchoListFormat format = list ? s.FormatOf(*list) : s.echoListFormat;
      Choose<EchoListFormat>(e, format, value,
                             {{"FASTECHO", EchoListFormat::FastEcho},
                              {"NA", EchoListFormat::Na},
                              {"FIDOCONFIG", EchoListFormat::FidoConfig},
                              {"AREAFIX", EchoListFormat::Areafix}},
                             "Wrong value of EchoListFormat (FASTECHO, NA, FIDOCONFIG or AREAFIX)", fileName);
      if (e.errorCount == errorsBefore && list) list->format = format;
      if (e.errorCount == errorsBefore && !list) s.echoListFormat = format;
      noteSet();
    } else if (keyword == "CODEPAGE") {
      Choose<int>(e, s.codePage, value, {{"866", 866}, {"437", 437}, {"850", 850}},
                  "Wrong value of CodePage (866, 437 or 850)", fileName);
      noteSet();
    } else if (keyword == "ECHOLISTENCODING") {
      EchoListEncoding encoding = list ? s.EncodingOf(*list) : s.echoListEncoding;
      Choose<EchoListEncoding>(e, encoding, value,
                               {{"AUTO", EchoListEncoding::Auto},
                                {"UTF-8", EchoListEncoding::Utf8},
                                {"CODEPAGE", EchoListEncoding::CodePage},
                                {"UTF-16LE", EchoListEncoding::Utf16Le},
                                {"UTF-16BE", EchoListEncoding::Utf16Be},
                                {"866", EchoListEncoding::Cp866},
                                {"437", EchoListEncoding::Cp437},
                                {"850", EchoListEncoding::Cp850},
                                {"1251", EchoListEncoding::Cp1251},
                                {"1252", EchoListEncoding::Cp1252},
                                {"KOI8-R", EchoListEncoding::Koi8R}},
                               "Wrong value of EchoListEncoding (AUTO, UTF-8, UTF-16LE, UTF-16BE, CODEPAGE, 866, 437, "
                               "850, 1251, 1252 or KOI8-R)",
                               fileName);
      if (e.errorCount == errorsBefore && list) list->encoding = encoding;
      if (e.errorCount == errorsBefore && !list) s.echoListEncoding = encoding;
      noteSet();
    } else if (keyword == "WARNINGEXITCODE") {
      const bool digits = !value.empty() && value.size() <= 3 &&
                          value.find_first_not_of("0123456789") == std::string_view::npos;
      if (digits && std::stoi(std::string(value)) <= 254) {
        s.warningExitCode = std::stoi(std::string(value));
      } else {
        ++e.errorCount;
        Warn(e, fileName, e.lineNumber, "Wrong value of WarningExitCode (a number from 0 to 254)");
      }
      noteSet();
    } else {
      ++e.errorCount;
      Warn(e, fileName, e.lineNumber, "Unknown keyword \"" + keyword + "\"");
    }
  }
  return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ProcessTrap trap;
  static const std::string path = (fuzzref::ScratchDir("settings") / kSettingsFileName).string();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fuzzref::WriteBytes(path, bytes);

  trap.Clear();
  ProgramSettings settings;
  std::unique_ptr<SettingsReader> reader;
  const int exitCode = trap.Run([&] { reader = SettingsReader::Init(ShortString(path), settings); });

  // The reference reading of the same bytes.
  const Expected e = ReadReference(bytes, path);
  if (e.refused) {
    fuzzref::Check(exitCode == 255, "a settings file of UTF-16 without a mark was read");
    fuzzref::Check(trap.Console() == e.console, "the refusal differs from the reference");
    return 0;
  }
  fuzzref::Check(exitCode == -1 && reader, "the reader ended the process on a readable file");

  // Invariants that hold whatever the file says.
  fuzzref::Check(reader->ErrorCount() >= 0, "ErrorCount is negative");
  fuzzref::Check(reader->LineNumber() >= 0, "LineNumber is negative after reading");
  fuzzref::Check(reader->FileName() == path, "FileName differs from the path given");

  fuzzref::Check(reader->ErrorCount() == e.errorCount, "ErrorCount differs from the reference");
  fuzzref::Check(reader->LineNumber() == e.lineNumber, "LineNumber differs from the reference");
  fuzzref::Check(settings.fastEchoCfgPath == e.settings.fastEchoCfgPath.view(),
                 "FASTECHOCFG differs from the reference");
  fuzzref::Check(settings.logFilePath == e.settings.logFilePath.view(),
                 "LOGFILE differs from the reference");
  fuzzref::Check(settings.echoLists.size() == e.settings.echoLists.size(), "the ECHOLISTs differ from the reference");
  for (std::size_t i = 0; i < settings.echoLists.size(); ++i) {
    const EchoListSetting& got = settings.echoLists[i];
    const EchoListSetting& want = e.settings.echoLists[i];
    fuzzref::Check(got.path == want.path.view() && settings.FormatOf(got) == e.settings.FormatOf(want) &&
                       settings.EncodingOf(got) == e.settings.EncodingOf(want),
                   "an ECHOLIST differs from the reference");
  }
  fuzzref::Check(settings.forceDesc == e.settings.forceDesc, "FORCEDESC differs from the reference");
  fuzzref::Check(settings.echoListFormat == e.settings.echoListFormat,
                 "ECHOLISTFORMAT differs from the reference");
  fuzzref::Check(settings.upcaseFirstDescChar == e.settings.upcaseFirstDescChar,
                 "UPCASEFIRSTDESCCHAR differs from the reference");
  fuzzref::Check(settings.codePage == e.settings.codePage, "CODEPAGE differs from the reference");
  fuzzref::Check(settings.echoListEncoding == e.settings.echoListEncoding,
                 "ECHOLISTENCODING differs from the reference");
  fuzzref::Check(settings.warningExitCode == e.settings.warningExitCode,
                 "WARNINGEXITCODE differs from the reference");
  fuzzref::Check(trap.Console() == e.console, "console warnings differ from the reference");
  return 0;
}
