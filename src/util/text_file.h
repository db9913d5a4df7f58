// TextFile: a text file read line by line or written line by line.
//
// Reading, the same on every build: a line ends at CR LF, at a lone CR or
// at a lone LF (DOS, old Mac and Unix text alike); byte 26 (Ctrl-Z) ends
// the text; the end of the file ends a last line without a line end; a
// UTF-8 byte-order mark (EF BB BF) at the very start of the file is not
// part of the first line. Only the first 255 characters of a line are used
// (or as many bytes as SetLineLimit says), the rest of that physical line
// is skipped. A file of UTF-16 text (SetDecoding) is read as the UTF-8 of
// its characters, and these rules hold for its characters: U+000D, U+000A
// and U+001A, and a byte-order mark U+FEFF first.
//
// Failures never raise: each file keeps its own I/O error (IoError).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/platform.h"
#include "util/byte_scan.h"
#include "util/short_string.h"

class TextFile {
 public:
  static constexpr std::uint32_t kDefaultBufferSize = 1024;
  // The codes of an operation on a file that is not open in the mode it
  // needs, and of a write that the operating system took only in part.
  static const std::uint32_t kNotOpen;
  static const std::uint32_t kDiskFull;

  explicit TextFile(std::uint32_t bufferSize = kDefaultBufferSize);
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  void Assign(const ShortString& name) { name_ = name; }
  const ShortString& Name() const { return name_; }
  bool IsOpen() const { return handle_ != platform::kInvalidHandle; }

  // The code of the first failure since the file was opened or since the
  // error was last taken; 0 when none. While it is set, reads and writes do
  // nothing, so a text never goes on past a gap.
  std::uint32_t IoError() const { return error_; }
  std::uint32_t TakeIoError();  // returns the code and clears it

  // Open modes; an open file is closed first, and the open starts with no
  // I/O error.
  void OpenToRead();   // existing disk file, reading from the start
  void OpenEmptied();  // new empty file (or a device), writing
  // A file that does not exist yet, writing at its end as Append does.
  void Create();
  // Existing file (or a device), writing at its end. Every write lands at
  // the end of the file as it is then, so that lines other programs append
  // meanwhile are kept. A Ctrl-Z in the file's last 128 bytes is cut off
  // first, with all after it, but only while the file is had alone (no
  // other opener, no other program's lock), and after the end was read
  // anew: a cut never takes what another writer appended. While another
  // opener keeps it, Append waits a little (about a second in all), then
  // writes after the Ctrl-Z (EndOfFileMark says so).
  void Append();
  // What Append found at the end of the file.
  enum class EndMark {
    None,    // no Ctrl-Z in the last 128 bytes
    Cut,     // the file was cut at its Ctrl-Z
    Kept,    // the file could not be had alone: the text goes after its Ctrl-Z
    Failed,  // a seek, read, truncate or open of the cut failed: the file is
             // closed, and IoError tells why
  };
  EndMark EndOfFileMark() const { return endMark_; }
  void Close();
  // Reading starts again at the first line: back to the start of the file,
  // and what is buffered is dropped, so the file is read anew.
  void Rewind();

  bool Eof() { return mode_ == Mode::Reading && pos_ != end_ ? false : EofSlow(); }
  // The next line, at most 255 characters (see SetLineLimit). The view stays
  // valid until the next call on this file.
  std::string_view ReadLineView();
  void ReadLine(ShortString& line) { line = ReadLineView(); }
  // True when the line last read was longer than the limit.
  bool LineWasCut() const { return lineWasCut_; }
  // How many bytes of a line are handed out (255 unless set); a line read
  // whole may take up to 256 KB.
  static constexpr std::size_t kWholeLineLimit = 256 * 1024;
  void SetLineLimit(std::size_t bytes);

  // How the file's bytes become its text: as they are, or UTF-16 of either
  // byte order handed out as UTF-8. It holds for the reads that follow a
  // Rewind or an open, until it is set again.
  enum class Decoding { Bytes, Utf16Le, Utf16Be };
  void SetDecoding(Decoding decoding);
  // The byte-order mark the file begins with, known once the first bytes
  // were read. A UTF-8 one is never part of the text; a UTF-16 one only
  // when the file is read as bytes.
  enum class Mark { None, Utf8, Utf16Le, Utf16Be };
  Mark ByteOrderMark() const { return byteOrderMark_; }
  // The file's first bytes as they are (up to kHeadSize), known once the
  // first bytes were read: what a file that is no text begins with.
  static constexpr std::size_t kHeadSize = 8;
  std::string_view Head() const { return std::string_view(head_, headSize_); }
  // Hands the text (after a byte-order mark, up to a Ctrl-Z) to `visit`
  // (void(std::string_view)) in pieces as the reads bring it, without
  // splitting it into lines; IoError tells of a failed read.
  template <typename Visit>
  void ScanText(Visit visit);
  // Hands the lines that ReadLineView would hand out, one by one, to
  // `visit` (bool(std::string_view)) until it answers true, the text ends or
  // a read fails (IoError then says so, and the line that read interrupted
  // is not handed out). True when `visit` stopped it. For speed the I/O
  // error is tested at the start and at buffer fills only, so `visit` must
  // not read this file itself (LineWasCut tells of the line it holds).
  template <typename Visit>
  bool ScanLines(Visit visit);

  void Write(std::string_view text);
  // A line and its CR LF reach the file in one write whenever they fit the
  // buffer, so that a line shared with other writers is never split.
  void WriteLine(std::string_view text);
  void Flush();
  // Flush, then the file's bytes brought to the disk itself (fsync,
  // FlushFileBuffers); IoError tells of a failure.
  void FlushToDisk();

 private:
  enum class Mode { Closed, Reading, Writing };

  void Open(platform::Access access, platform::Creation creation, platform::Target target,
            Mode mode);
  bool EofSlow();
  bool LineInBuffer(std::string_view* line);
  std::string_view ReadLineSlow();
  bool Fill();
  bool ReadInto(char* into, std::uint32_t size, std::uint32_t* got);
  std::uint32_t DecodeUtf16();
  void SkipByteOrderMark();
  void CloseUnwritten();
  void Fail(std::uint32_t code) {
    if (error_ == 0) error_ = code;  // the first failure is the one to tell
  }

  ShortString name_;
  platform::FileHandle handle_ = platform::kInvalidHandle;
  Mode mode_ = Mode::Closed;
  std::uint32_t error_ = 0;
  std::uint32_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::uint32_t pos_ = 0;
  std::uint32_t end_ = 0;
  bool textEnded_ = false;  // Ctrl-Z or end of file met: no more fills
  bool atStart_ = false;    // the next fill reads the first bytes of the file
  Mark byteOrderMark_ = Mark::None;
  char head_[kHeadSize] = {};
  std::size_t headSize_ = 0;
  bool appending_ = false;  // writes go to the end of the file as it is then
  EndMark endMark_ = EndMark::None;
  bool lineWasCut_ = false;
  std::size_t lineLimit_ = ShortString::kCapacity;
  std::unique_ptr<char[]> line_;  // a line that spans fills, gathered
  std::size_t lineCapacity_ = 0;
  // UTF-16: the bytes read, whose characters become the buffer's UTF-8;
  // the first `pending_` of them wait for the rest of their character.
  Decoding decoding_ = Decoding::Bytes;
  std::unique_ptr<char[]> undecoded_;
  std::uint32_t undecodedCapacity_ = 0;
  std::uint32_t pending_ = 0;
};

// Where a line may end in [first, last): its CR or LF.
inline const char* FindLineEnd(const char* first, const char* last) {
  return FindEitherByte(first, last, '\r', '\n');
}

__attribute__((always_inline)) inline std::uint64_t LineEndBits64(const char* block) {
  return EitherByteBits64(block, '\r', '\n');
}

// The common case, inline: a line whose line end and the byte after it are
// both in the buffer is handed out where it lies. Everything else (a line
// running past the buffer, a line end as its last byte) takes ReadLineSlow,
// and so do a closed file and a file with an I/O error, which the callers
// test first.
inline bool TextFile::LineInBuffer(std::string_view* line) {
  if (end_ - pos_ <= 1) return false;
  const char* start = buffer_.get() + pos_;
  const char* last = buffer_.get() + end_ - 1;
  const char* lineEnd = FindLineEnd(start, last);
  if (lineEnd == last) return false;
  const std::size_t length = static_cast<std::size_t>(lineEnd - start);
  pos_ += static_cast<std::uint32_t>(length + 1);
  if (*lineEnd == '\r' && buffer_[pos_] == '\n') ++pos_;
  lineWasCut_ = length > lineLimit_;
  *line = std::string_view(start, lineWasCut_ ? lineLimit_ : length);
  return true;
}

inline std::string_view TextFile::ReadLineView() {
  std::string_view line;
  if (mode_ == Mode::Reading && error_ == 0 && LineInBuffer(&line)) return line;
  return ReadLineSlow();
}

template <typename Visit>
bool TextFile::ScanLines(Visit visit) {
  if (error_ != 0) return false;
  while (!Eof()) {
    // While whole 64-byte blocks lie before the buffer's last byte, every
    // line end in them ends a line whose LF (if any) is in the buffer too:
    // the lines of a block are taken from one mask of its line ends.
    const char* const buffer = buffer_.get();
    const char* const last = buffer + end_ - 1;
    for (const char* block = buffer + pos_; last - block >= 64; block += 64) {
      for (std::uint64_t ends = LineEndBits64(block); ends != 0; ends &= ends - 1) {
        const char* start = buffer + pos_;
        const int bit = std::countr_zero(ends);
        const char* lineEnd = block + bit;
        if (lineEnd < start) continue;  // the LF of a CR LF that ended the block before
        const std::size_t length = static_cast<std::size_t>(lineEnd - start);
        pos_ = static_cast<std::uint32_t>(lineEnd + 1 - buffer);
        if (*lineEnd == '\r' && buffer[pos_] == '\n') {
          ++pos_;
          // Its LF is no line end of its own: skip its bit.
          if (bit < 63) ends &= ~(std::uint64_t{2} << bit);
        }
        lineWasCut_ = length > lineLimit_;
        if (visit(std::string_view(start, lineWasCut_ ? lineLimit_ : length))) return true;
      }
    }
    std::string_view line;
    if (!LineInBuffer(&line)) {
      line = ReadLineSlow();
      if (error_ != 0) return false;
    }
    if (visit(line)) return true;
  }
  return false;
}

template <typename Visit>
void TextFile::ScanText(Visit visit) {
  if (mode_ != Mode::Reading) {
    Fail(kNotOpen);
    return;
  }
  while (error_ == 0 && (pos_ != end_ || Fill())) {
    visit(std::string_view(buffer_.get() + pos_, end_ - pos_));
    pos_ = end_;
  }
}
