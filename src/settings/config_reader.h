// ConfigReader: reads a line-oriented keyword file. Every significant line
// holds a keyword, optionally a value, optionally a comment; the concrete
// reader says which keywords exist and what they do.
//
// Reading happens in Read(), after construction, so that the concrete
// reader's operations are in force from the first line on; Create() does
// both in one step.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "util/char_set.h"
#include "util/short_string.h"
#include "util/text_file.h"

class ConfigReader {
 public:
  virtual ~ConfigReader() = default;

  // Builds a concrete reader and reads the whole file with it. A file that
  // cannot be opened or read ends the process through Error.
  template <typename Reader, typename... Args>
  static std::unique_ptr<Reader> Create(Args&&... args) {
    std::unique_ptr<Reader> reader(new Reader(std::forward<Args>(args)...));
    reader->Read();
    return reader;
  }

  const ShortString& FileName() const { return fileName_; }
  std::int32_t LineNumber() const { return lineNumber_; }
  std::int32_t ErrorCount() const { return errorCount_; }

  // Console reports, with "File X (line N) - " once the file is open.
  virtual void Warning(const ShortString& msg);
  [[noreturn]] virtual void Error(const ShortString& msg);

 protected:
  ConfigReader(const ShortString& fileName, const CharSet& commentChars, bool slashComments);

  virtual bool IsKeyword(const ShortString& keyword) = 0;
  virtual void HandleKeyword(const ShortString& keyword, const ShortString& value) = 0;
  virtual void UnknownKeyword(const ShortString& keyword, const ShortString& value) = 0;

  void CountError() { ++errorCount_; }

 private:
  void Read();
  void DecideDecoding(TextFile& file);
  bool IsCommentLine(const ShortString& line) const;
  void ParseLine(const ShortString& line);
  ShortString WithPrefix(const ShortString& msg) const;

  ShortString fileName_;
  std::int32_t lineNumber_ = -1;
  std::int32_t errorCount_ = 0;
  bool slashComments_;
  bool utf16_ = false;  // the file is UTF-16, read as code page 866
  CharSet commentChars_;
};
