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
#include <string>
#include <string_view>
#include <utility>

#include "fuzz_common.h"
#include "settings/program_settings.h"
#include "support/process_trap.h"

namespace {

struct Expected {
  ProgramSettings settings;
  std::int32_t errorCount = 0;
  std::int32_t lineNumber = 0;
  std::string console;
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

Expected ReadReference(std::string_view bytes, const std::string& fileName) {
  Expected e;
  for (const fuzzref::TextLine& raw : fuzzref::TextLines(bytes)) {
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
    if (keyword == "FASTECHOCFG") {
      s.fastEchoCfgPath = value;
    } else if (keyword == "LOGFILE") {
      s.logFilePath = value;
    } else if (keyword == "ECHOLIST") {
      s.echoListPath = value;
    } else if (keyword == "FORCEDESC") {
      Switch(e, s.forceDesc, value, "Wrong value of ForceDesc", fileName);
    } else if (keyword == "UPCASEFIRSTDESCCHAR") {
      Switch(e, s.upcaseFirstDescChar, value, "Wrong value of UpcaseFirstDescChar", fileName);
    } else if (keyword == "ECHOLISTFORMAT") {
      Choose<EchoListFormat>(e, s.echoListFormat, value,
                             {{"FASTECHO", EchoListFormat::FastEcho},
                              {"NA", EchoListFormat::Na},
                              {"FIDOCONFIG", EchoListFormat::FidoConfig},
                              {"AREAFIX", EchoListFormat::Areafix}},
                             "Wrong value of EchoListFormat (FASTECHO, NA, FIDOCONFIG or AREAFIX)", fileName);
    } else if (keyword == "CODEPAGE") {
      Choose<int>(e, s.codePage, value, {{"866", 866}, {"437", 437}, {"850", 850}},
                  "Wrong value of CodePage (866, 437 or 850)", fileName);
    } else if (keyword == "ECHOLISTENCODING") {
      Choose<EchoListEncoding>(e, s.echoListEncoding, value,
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
  fuzzref::Check(exitCode == -1 && reader, "the reader ended the process on a readable file");

  // Invariants that hold whatever the file says.
  fuzzref::Check(reader->ErrorCount() >= 0, "ErrorCount is negative");
  fuzzref::Check(reader->LineNumber() >= 0, "LineNumber is negative after reading");
  fuzzref::Check(settings.fastEchoCfgPath.size() <= 255 && settings.logFilePath.size() <= 255 &&
                     settings.echoListPath.size() <= 255,
                 "a path is longer than 255 characters");
  fuzzref::Check(reader->FileName() == path, "FileName differs from the path given");

  // The reference reading of the same bytes.
  const Expected e = ReadReference(bytes, path);
  fuzzref::Check(reader->ErrorCount() == e.errorCount, "ErrorCount differs from the reference");
  fuzzref::Check(reader->LineNumber() == e.lineNumber, "LineNumber differs from the reference");
  fuzzref::Check(settings.fastEchoCfgPath == e.settings.fastEchoCfgPath.view(),
                 "FASTECHOCFG differs from the reference");
  fuzzref::Check(settings.logFilePath == e.settings.logFilePath.view(),
                 "LOGFILE differs from the reference");
  fuzzref::Check(settings.echoListPath == e.settings.echoListPath.view(),
                 "ECHOLIST differs from the reference");
  fuzzref::Check(settings.forceDesc == e.settings.forceDesc, "FORCEDESC differs from the reference");
  fuzzref::Check(settings.echoListFormat == e.settings.echoListFormat,
                 "ECHOLISTFORMAT differs from the reference");
  fuzzref::Check(settings.upcaseFirstDescChar == e.settings.upcaseFirstDescChar,
                 "UPCASEFIRSTDESCCHAR differs from the reference");
  fuzzref::Check(settings.codePage == e.settings.codePage, "CODEPAGE differs from the reference");
  fuzzref::Check(settings.echoListEncoding == e.settings.echoListEncoding,
                 "ECHOLISTENCODING differs from the reference");
  fuzzref::Check(trap.Console() == e.console, "console warnings differ from the reference");
  return 0;
}
