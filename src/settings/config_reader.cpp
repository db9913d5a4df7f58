#include "settings/config_reader.h"

#include "log/console.h"
#include "util/code_page.h"
#include "util/file_error.h"
#include "util/files.h"
#include "util/strings.h"
#include "util/text_file.h"
#include "util/unicode.h"

namespace {

// A line of UTF-8 in code page 866, '?' for what it lacks.
std::string InCodePage866(std::string_view utf8) {
  std::string text;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* const end = p + utf8.size();
  while (p != end) {
    std::size_t length = 0;
    text += static_cast<char>(CodePage::Cp866().FromUnicode(unicode::DecodeUtf8(p, end, &length)));
    p += length;
  }
  return text;
}

}  // namespace

ConfigReader::ConfigReader(const ShortString& fileName, const CharSet& commentChars,
                           bool slashComments)
    : fileName_(UpCasePath(fileName)), slashComments_(slashComments), commentChars_(commentChars) {}

// Notepad's "Unicode" is UTF-16 with a byte-order mark: its lines are read
// as UTF-8, and made code page 866 text, as the node's own default is. One
// saved without a mark shows NUL bytes in its first line: it cannot be
// read for sure, and is refused.
void ConfigReader::DecideDecoding(TextFile& file) {
  file.Eof();  // the first read shows a byte-order mark
  const TextFile::Mark mark = file.ByteOrderMark();
  if (mark == TextFile::Mark::Utf16Le || mark == TextFile::Mark::Utf16Be) {
    file.SetDecoding(mark == TextFile::Mark::Utf16Le ? TextFile::Decoding::Utf16Le : TextFile::Decoding::Utf16Be);
    file.SetLineLimit(4 * ShortString::kCapacity);  // a character takes up to four bytes of UTF-8
    file.Rewind();
    utf16_ = true;
    return;
  }
  while (!file.Eof()) {
    const std::string_view line = file.ReadLineView();
    if (line.empty()) continue;
    if (line.find('\0') != std::string_view::npos)
      ConsoleError(ShortString("The settings file ") + fileName_ +
                   " is UTF-16 without a byte-order mark; save it as ANSI or UTF-8");
    break;
  }
  file.Rewind();
}

void ConfigReader::Read() {
  TextFile file;
  std::uint32_t error = 0;
  if (!OpenTextRead(file, fileName_, &error)) Error(ShortString("Can't open ") + fileName_ + Because({fileName_, error}));
  lineNumber_ = 0;
  DecideDecoding(file);
  if (file.IoError() != 0) Error(ShortString("Can't read ") + fileName_ + Because({fileName_, file.IoError()}));
  ShortString line;
  while (!file.Eof()) {
    ++lineNumber_;
    const std::string_view read = file.ReadLineView();
    const std::string converted = utf16_ ? InCodePage866(read) : std::string();
    line = utf16_ ? std::string_view(converted) : read;
    if (file.IoError() != 0) Error(ShortString("Can't read ") + fileName_ + Because({fileName_, file.IoError()}));
    const bool cut = file.LineWasCut() || converted.size() > ShortString::kCapacity;
    Trim(line);
    if (IsCommentLine(line)) continue;
    // A cut value would be another value: a path to another file, say.
    if (cut) {
      CountError();
      Warning(ShortString("Line is longer than ") + NumToStr(ShortString::kCapacity) + " characters");
      continue;
    }
    ParseLine(line);
  }
  // Eof itself may have met a read failure.
  if (file.IoError() != 0) Error(ShortString("Can't read ") + fileName_ + Because({fileName_, file.IoError()}));
  file.Close();  // a failed close of a file only read is not reported
}

bool ConfigReader::IsCommentLine(const ShortString& line) const {
  if (line.empty() || commentChars_.Contains(line[0])) return true;
  return slashComments_ && line.size() >= 2 && line[0] == '/' && line[1] == '/';
}

void ConfigReader::ParseLine(const ShortString& line) {
  const ShortString keyword = UpCaseStr(WordView(line, kBlankSet, 1));
  ShortString value = RestAfterWord(line, 1);
  for (std::size_t p = 0; p < value.size(); ++p) {
    const bool slashes = slashComments_ && p + 1 < value.size() && value[p] == '/' &&
                         value[p + 1] == '/';
    if (commentChars_.Contains(value[p]) || slashes) {
      value.Shorten(p);
      break;
    }
  }
  Trim(value);
  if (IsKeyword(keyword)) {
    HandleKeyword(keyword, value);
  } else {
    CountError();
    UnknownKeyword(keyword, value);
  }
}

ShortString ConfigReader::WithPrefix(const ShortString& msg) const {
  if (lineNumber_ == -1) return msg;
  return ShortString("File ") + fileName_ + " (line " + NumToStr(lineNumber_) + ") - " + msg;
}

void ConfigReader::Warning(const ShortString& msg) { ConsoleWarning(WithPrefix(msg)); }

void ConfigReader::Error(const ShortString& msg) { ConsoleError(WithPrefix(msg)); }
