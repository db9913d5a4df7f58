#include "settings/config_reader.h"

#include "log/console.h"
#include "util/file_error.h"
#include "util/files.h"
#include "util/strings.h"
#include "util/text_file.h"

ConfigReader::ConfigReader(const ShortString& fileName, const CharSet& commentChars,
                           bool slashComments)
    : fileName_(UpCasePath(fileName)), slashComments_(slashComments), commentChars_(commentChars) {}

void ConfigReader::Read() {
  TextFile file;
  std::uint32_t error = 0;
  if (!OpenTextRead(file, fileName_, &error)) Error(ShortString("Can't open ") + fileName_ + Because({fileName_, error}));
  lineNumber_ = 0;
  ShortString line;
  while (!file.Eof()) {
    ++lineNumber_;
    file.ReadLine(line);
    if (file.IoError() != 0) Error(ShortString("Can't read ") + fileName_ + Because({fileName_, file.IoError()}));
    Trim(line);
    if (IsCommentLine(line)) continue;
    // A cut value would be another value: a path to another file, say.
    if (file.LineWasCut()) {
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
