// TextFile: a DOS text file read line by line or written line by line.
//
// Reading: a line ends at CR, and an LF right after that CR belongs to the
// line end; a lone LF is an ordinary character; byte 26 (Ctrl-Z) ends the
// text; the end of the file ends a last line without CR. Only the first 255
// characters of a line are used, the rest of that physical line is skipped.
//
// Failures never raise: they set the pending I/O error (io_result.h).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/platform.h"
#include "util/byte_scan.h"
#include "util/io_result.h"
#include "util/short_string.h"

class TextFile {
 public:
  static constexpr std::uint32_t kDefaultBufferSize = 1024;

  explicit TextFile(std::uint32_t bufferSize = kDefaultBufferSize);
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  void Assign(const ShortString& name) { name_ = name; }
  const ShortString& Name() const { return name_; }
  bool IsOpen() const { return handle_ != platform::kInvalidHandle; }

  // Open modes; an open file is closed first. Failures set the pending error.
  void Reset();    // existing file, reading from the start
  void Rewrite();  // new empty file, writing
  void Append();   // existing file, writing at its end after the Ctrl-Z cut
  void Close();
  // Reading starts again at the first line: back to the start of the file,
  // and what is buffered is dropped, so the file is read anew.
  void Rewind();

  bool Eof() { return mode_ == Mode::Reading && pos_ != end_ ? false : EofSlow(); }
  // The next line, at most 255 characters. The view stays valid until the
  // next call on this file.
  std::string_view ReadLineView();
  void ReadLine(ShortString& line) { line = ReadLineView(); }
  // Hands the lines that ReadLineView would hand out, one by one, to
  // `visit` (bool(std::string_view)) until it answers true, the text ends or
  // a read fails (the pending error then says so, and the line that read
  // interrupted is not handed out). True when `visit` stopped it. For speed
  // the pending error is tested at the start and at buffer fills only, so
  // `visit` must not use files itself.
  template <typename Visit>
  bool ScanLines(Visit visit);

  void Write(std::string_view text);
  void WriteLine(std::string_view text);
  void Flush();

 private:
  enum class Mode { Closed, Reading, Writing };

  void Open(platform::Access access, platform::Creation creation, Mode mode);
  bool EofSlow();
  bool LineInBuffer(std::string_view* line);
  std::string_view ReadLineSlow();
  bool Fill();
  void CutAtEndOfFileMark();

  ShortString name_;
  platform::FileHandle handle_ = platform::kInvalidHandle;
  Mode mode_ = Mode::Closed;
  std::uint32_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::uint32_t pos_ = 0;
  std::uint32_t end_ = 0;
  bool textEnded_ = false;  // Ctrl-Z or end of file met: no more fills
  char line_[ShortString::kCapacity];
};

// The common case, inline: a line whose CR and the byte after it are both
// in the buffer is handed out where it lies. Everything else (a line running
// past the buffer, a CR as its last byte) takes ReadLineSlow, and so do a
// closed file and a pending error, which the callers test first.
inline bool TextFile::LineInBuffer(std::string_view* line) {
  if (end_ - pos_ <= 1) return false;
  const char* start = buffer_.get() + pos_;
  const char* last = buffer_.get() + end_ - 1;
  const char* cr = FindByte(start, last, '\r');
  if (cr == last) return false;
  const std::size_t length = static_cast<std::size_t>(cr - start);
  pos_ += static_cast<std::uint32_t>(length + 1);
  if (buffer_[pos_] == '\n') ++pos_;
  *line = std::string_view(start, length < ShortString::kCapacity ? length : ShortString::kCapacity);
  return true;
}

inline std::string_view TextFile::ReadLineView() {
  std::string_view line;
  if (mode_ == Mode::Reading && !IoErrorPending() && LineInBuffer(&line)) return line;
  return ReadLineSlow();
}

template <typename Visit>
bool TextFile::ScanLines(Visit visit) {
  if (IoErrorPending()) return false;
  while (!Eof()) {
    // While whole 64-byte blocks lie before the buffer's last byte, every CR
    // in them ends a line whose LF (if any) is in the buffer too: the lines
    // of a block are taken from one mask of its CRs.
    const char* const buffer = buffer_.get();
    const char* const last = buffer + end_ - 1;
    for (const char* block = buffer + pos_; last - block >= 64; block += 64) {
      for (std::uint64_t crs = ByteBits64(block, '\r'); crs != 0; crs &= crs - 1) {
        const char* start = buffer + pos_;
        const char* cr = block + std::countr_zero(crs);
        const std::size_t length = static_cast<std::size_t>(cr - start);
        pos_ = static_cast<std::uint32_t>(cr + 1 - buffer);
        if (buffer[pos_] == '\n') ++pos_;
        if (visit(std::string_view(start, length < ShortString::kCapacity ? length : ShortString::kCapacity)))
          return true;
      }
    }
    std::string_view line;
    if (!LineInBuffer(&line)) {
      line = ReadLineSlow();
      if (IoErrorPending()) return false;
    }
    if (visit(line)) return true;
  }
  return false;
}
