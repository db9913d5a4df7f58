#include "util/text_file.h"

#include <algorithm>
#include <cstring>

#include "platform/fault_injection.h"
#include "util/unicode.h"

namespace {

constexpr char kEndOfText = 26;
constexpr std::int64_t kAppendSearchBlock = 128;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// While another opener keeps a file that Append must cut, it looks again
// this many times, this long apart.
constexpr int kCutAttempts = 20;
constexpr std::uint32_t kCutWaitMilliseconds = 50;

bool InUse(std::uint32_t error) {
  return error != 0 && platform::KindOfError(error) == platform::ErrorKind::InUse;
}

// Where the first Ctrl-Z of the file's last 128 bytes (all of a shorter
// file) stands, or -1. The file pointer moves. 0, or why it is not known.
std::uint32_t FindEndOfFileMark(platform::FileHandle handle, std::int64_t* mark) {
  *mark = -1;
  std::int64_t size = 0;
  if (const std::uint32_t error = platform::SeekFile(handle, 0, platform::SeekFrom::End, &size)) return error;
  const std::int64_t blockStart = std::max<std::int64_t>(0, size - kAppendSearchBlock);
  if (const std::uint32_t error = platform::SeekFile(handle, blockStart, platform::SeekFrom::Begin, nullptr))
    return error;
  char block[kAppendSearchBlock];
  std::uint32_t got = 0;
  if (const std::uint32_t error =
          platform::ReadFile(handle, block, static_cast<std::uint32_t>(size - blockStart), &got))
    return error;
  if (const void* at = std::memchr(block, kEndOfText, got))
    *mark = blockStart + (static_cast<const char*>(at) - block);
  return 0;
}

// Opens `path` shared with nobody (in use: someone else has it open, or a
// lock on it), reads its end anew, which another writer may have changed,
// and cuts the file at the Ctrl-Z found there, if any (*cut). 0, or why
// not.
std::uint32_t CutAloneAtEndOfFileMark(const char* path, bool* cut) {
  *cut = false;
  platform::FileHandle handle = platform::kInvalidHandle;
  if (const std::uint32_t error = platform::OpenFile(path, platform::Access::ReadWrite, platform::Sharing::None,
                                                     platform::Creation::OpenExisting, platform::Target::AnyFile,
                                                     &handle))
    return error;
  std::int64_t mark = -1;
  std::uint32_t error = FindEndOfFileMark(handle, &mark);
  if (error == 0 && mark >= 0) error = platform::SeekFile(handle, mark, platform::SeekFrom::Begin, nullptr);
  if (error == 0 && mark >= 0) error = platform::TruncateFile(handle);
  *cut = error == 0 && mark >= 0;
  // A close that fails may have lost the cut: as much a failure as the cut.
  const std::uint32_t closed = platform::CloseFile(handle);
  return error != 0 ? error : closed;
}

}  // namespace

const std::uint32_t TextFile::kNotOpen = platform::kNotOpen;
const std::uint32_t TextFile::kDiskFull = platform::kDiskFull;

TextFile::TextFile(std::uint32_t bufferSize)
    : capacity_(bufferSize), buffer_(new char[bufferSize]) {
  SetLineLimit(ShortString::kCapacity);
}

void TextFile::SetLineLimit(std::size_t bytes) {
  lineLimit_ = std::min(bytes, kWholeLineLimit);
  if (lineLimit_ <= lineCapacity_) return;
  line_.reset(new char[lineLimit_]);
  lineCapacity_ = lineLimit_;
}

void TextFile::SetDecoding(Decoding decoding) {
  decoding_ = decoding;
  pending_ = 0;
  if (decoding == Decoding::Bytes || undecoded_) return;
  // A character takes up to four bytes of UTF-8 (a surrogate pair, four of
  // UTF-16): every fill decodes at least one.
  if (capacity_ < 4) {
    capacity_ = 4;
    buffer_.reset(new char[capacity_]);
    pos_ = end_ = 0;
  }
  // Two bytes of UTF-16 make at most three of UTF-8.
  undecodedCapacity_ = std::max<std::uint32_t>(4, capacity_ / 3 * 2);
  undecoded_.reset(new char[undecodedCapacity_]);
}

TextFile::~TextFile() {
  if (IsOpen()) Close();
}

std::uint32_t TextFile::TakeIoError() {
  const std::uint32_t code = error_;
  error_ = 0;
  return code;
}

void TextFile::Open(platform::Access access, platform::Creation creation,
                    platform::Target target, Mode mode) {
  if (IsOpen()) Close();
  error_ = 0;
  pos_ = end_ = pending_ = 0;
  textEnded_ = false;
  atStart_ = mode == Mode::Reading;
  byteOrderMark_ = Mark::None;
  headSize_ = 0;
  appending_ = false;
  lineWasCut_ = false;
  const std::uint32_t error = platform::OpenFile(name_.CStr().c_str(), access,
                                                 platform::Sharing::ReadWrite, creation, target,
                                                 &handle_);
  if (error != 0) {
    Fail(error);
    return;
  }
  mode_ = mode;
}

void TextFile::OpenToRead() {
  Open(platform::Access::Read, platform::Creation::OpenExisting, platform::Target::DiskFile,
       Mode::Reading);
}

void TextFile::OpenEmptied() {
  Open(platform::Access::ReadWrite, platform::Creation::CreateAlways, platform::Target::AnyFile,
       Mode::Writing);
}

void TextFile::Create() {
  Open(platform::Access::ReadAppend, platform::Creation::CreateNew, platform::Target::AnyFile,
       Mode::Writing);
  appending_ = true;
  endMark_ = EndMark::None;
}

// The handle appends only, so it cannot cut: the cut takes an open of its
// own, and only when there is a Ctrl-Z to cut. After it the file is opened
// and looked at anew. The last look appends after a Ctrl-Z it cannot cut.
// A failure of the cut must never make the caller take the file for
// missing and empty it, nor write after a Ctrl-Z that hides the lines.
void TextFile::Append() {
  endMark_ = EndMark::None;
  for (int attempt = 1;; ++attempt) {
    const bool mayWait = attempt < kCutAttempts;
    Open(platform::Access::ReadAppend, platform::Creation::OpenExisting, platform::Target::AnyFile,
         Mode::Writing);
    appending_ = true;
    if (IsOpen()) {
      std::int64_t mark = -1;
      std::uint32_t error = FindEndOfFileMark(handle_, &mark);
      if (error == 0 && mark < 0) return;
      if (error == 0 && !mayWait) {
        endMark_ = EndMark::Kept;
        return;
      }
      CloseUnwritten();
      bool cut = false;
      if (error == 0) {
        platform::faults::Reached(platform::faults::Moment::EndOfFileMarkSeen);
        error = CutAloneAtEndOfFileMark(name_.CStr().c_str(), &cut);
      }
      if (cut) endMark_ = EndMark::Cut;
      // Cut, or gone meanwhile: the next open looks at what is there now.
      if (error == 0 || platform::IsNotFound(error)) continue;
      if (!InUse(error) || !mayWait) {
        Fail(error);
        endMark_ = EndMark::Failed;
        return;
      }
    } else if (!InUse(error_) || !mayWait) {
      return;  // the open failed: IoError tells why
    }
    platform::faults::Reached(platform::faults::Moment::FileInUse);
    platform::Wait(kCutWaitMilliseconds);
  }
}

// Closes a file opened for writing that was not written: nothing is lost.
void TextFile::CloseUnwritten() {
  platform::CloseFile(handle_);
  handle_ = platform::kInvalidHandle;
  mode_ = Mode::Closed;
}

void TextFile::Rewind() {
  if (mode_ != Mode::Reading) {
    Fail(kNotOpen);
    return;
  }
  pos_ = end_ = pending_ = 0;
  const std::uint32_t error = platform::SeekFile(handle_, 0, platform::SeekFrom::Begin, nullptr);
  // Where the file pointer stands after a failed seek is unknown: read nothing.
  textEnded_ = error != 0;
  atStart_ = true;
  byteOrderMark_ = Mark::None;
  if (error != 0) Fail(error);
}

void TextFile::Close() {
  if (!IsOpen()) {
    Fail(kNotOpen);
    return;
  }
  if (mode_ == Mode::Writing) Flush();
  const std::uint32_t error = platform::CloseFile(handle_);
  handle_ = platform::kInvalidHandle;
  mode_ = Mode::Closed;
  if (error != 0) Fail(error);
}

bool TextFile::Fill() {
  pos_ = end_ = 0;
  // A UTF-16 character cut by the last read still waits to be decoded.
  while (error_ == 0 && (!textEnded_ || pending_ != 0)) {
    // A fill that held a byte-order mark and nothing else leaves pos_ past
    // it: the next one starts afresh.
    pos_ = 0;
    std::uint32_t got = 0;
    if (decoding_ == Decoding::Bytes) {
      if (!ReadInto(buffer_.get(), capacity_, &got)) return false;
    } else {
      got = DecodeUtf16();
      if (error_ != 0) return false;
    }
    // Ctrl-Z ends the text: nothing after it is ever handed out.
    const char* mark = FindByte(buffer_.get(), buffer_.get() + got, kEndOfText);
    if (mark != buffer_.get() + got) {
      got = static_cast<std::uint32_t>(mark - buffer_.get());
      textEnded_ = true;
      pending_ = 0;
    }
    end_ = got;
    if (atStart_ && decoding_ == Decoding::Bytes) SkipByteOrderMark();
    if (pos_ != end_) return true;
  }
  return false;
}

// One read; a disk file gives fewer bytes than asked only at its end, so
// no read more is needed to learn it. False when the read failed.
bool TextFile::ReadInto(char* into, std::uint32_t size, std::uint32_t* got) {
  *got = 0;
  const std::uint32_t error = platform::ReadFile(handle_, into, size, got);
  if (error != 0) {
    Fail(error);
    textEnded_ = true;
    return false;
  }
  if (*got < size) textEnded_ = true;
  if (atStart_) {
    headSize_ = std::min<std::size_t>(*got, kHeadSize);
    std::memcpy(head_, into, headSize_);
  }
  return true;
}

// Reads on in a UTF-16 file and writes its characters into the buffer as
// UTF-8; returns how many bytes that made. Surrogate pairs are decoded; an
// unpaired surrogate, and a lone byte at the end of the file, are no
// character: U+FFFD stands for each.
// The bytes of a character the read cut wait in undecoded_ for the next fill.
std::uint32_t TextFile::DecodeUtf16() {
  std::uint32_t got = 0;
  if (!textEnded_ && !ReadInto(undecoded_.get() + pending_, undecodedCapacity_ - pending_, &got)) return 0;
  const std::uint32_t n = pending_ + got;
  const auto* in = reinterpret_cast<const unsigned char*>(undecoded_.get());
  const bool little = decoding_ == Decoding::Utf16Le;
  std::size_t start = 0;
  if (atStart_ && (n >= 2 || textEnded_)) {
    atStart_ = false;
    if (n >= 2 && unicode::Utf16Unit(in, little) == 0xFEFF) {  // the byte-order mark is no character of the text
      start = 2;
      byteOrderMark_ = little ? Mark::Utf16Le : Mark::Utf16Be;
    }
  }
  std::size_t consumed = 0;
  const std::size_t written =
      unicode::DecodeUtf16(in + start, n - start, little, textEnded_, buffer_.get(), capacity_, &consumed);
  pending_ = static_cast<std::uint32_t>(n - start - consumed);
  std::memmove(undecoded_.get(), undecoded_.get() + start + consumed, pending_);
  return static_cast<std::uint32_t>(written);
}

// A byte-order mark says how the text is written. A UTF-8 one is no part
// of it; one of UTF-16 is told, and read as bytes like the rest.
void TextFile::SkipByteOrderMark() {
  atStart_ = false;
  const std::string_view first(buffer_.get(), end_);
  if (first.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    pos_ = static_cast<std::uint32_t>(kByteOrderMark.size());
    byteOrderMark_ = Mark::Utf8;
  } else if (first.substr(0, 2) == "\xFF\xFE") {
    byteOrderMark_ = Mark::Utf16Le;
  } else if (first.substr(0, 2) == "\xFE\xFF") {
    byteOrderMark_ = Mark::Utf16Be;
  }
}

bool TextFile::EofSlow() {
  if (mode_ != Mode::Reading) {
    Fail(kNotOpen);
    return true;
  }
  return pos_ == end_ && !Fill();
}

std::string_view TextFile::ReadLineSlow() {
  if (mode_ != Mode::Reading) {
    Fail(kNotOpen);
    return {};
  }
  if (error_ != 0) return {};
  std::size_t length = 0;
  std::size_t fullLength = 0;  // the physical line's length, also past 255
  bool copying = false;  // the line spans buffer fills, so it is gathered in line_
  std::string_view direct;
  for (;;) {
    if (pos_ == end_ && !Fill()) break;
    const char* start = buffer_.get() + pos_;
    const std::size_t available = end_ - pos_;
    const char* cr = FindLineEnd(start, start + available);
    if (cr == start + available) cr = nullptr;
    const std::size_t chunk = cr ? static_cast<std::size_t>(cr - start) : available;
    fullLength += chunk;
    if (!copying && cr) {
      direct = std::string_view(start, std::min(chunk, lineLimit_));
    } else {
      copying = true;
      const std::size_t take = std::min(chunk, lineLimit_ - length);
      std::memcpy(line_.get() + length, start, take);
      length += take;
    }
    if (!cr) {
      pos_ = end_;
      copying = true;
      continue;
    }
    pos_ += static_cast<std::uint32_t>(chunk + 1);
    if (*cr == '\n') break;  // a lone LF needs no look at the next byte
    if (pos_ == end_) {
      // The LF that belongs to this CR may start the next buffer; the line
      // view must survive the refill, so keep it in line_.
      if (!copying) {
        std::memcpy(line_.get(), direct.data(), direct.size());
        length = direct.size();
        copying = true;
      }
      if (!Fill()) break;
    }
    if (buffer_[pos_] == '\n') ++pos_;
    break;
  }
  lineWasCut_ = fullLength > lineLimit_;
  return copying ? std::string_view(line_.get(), length) : direct;
}

void TextFile::Write(std::string_view text) {
  if (mode_ != Mode::Writing) {
    Fail(kNotOpen);
    return;
  }
  while (!text.empty()) {
    if (end_ == capacity_) Flush();
    if (error_ != 0) return;  // the rest of the text is lost with what went before
    const std::size_t n = std::min<std::size_t>(text.size(), capacity_ - end_);
    std::memcpy(buffer_.get() + end_, text.data(), n);
    end_ += static_cast<std::uint32_t>(n);
    text.remove_prefix(n);
  }
}

void TextFile::WriteLine(std::string_view text) {
  if (mode_ == Mode::Writing && text.size() + 2 > capacity_ - end_ && text.size() + 2 <= capacity_)
    Flush();
  Write(text);
  Write("\r\n");
}

void TextFile::FlushToDisk() {
  if (mode_ != Mode::Writing) {
    Fail(kNotOpen);
    return;
  }
  Flush();
  if (error_ != 0) return;
  if (const std::uint32_t error = platform::FlushFile(handle_)) Fail(error);
}

void TextFile::Flush() {
  if (mode_ != Mode::Writing || end_ == 0) return;
  std::uint32_t written = 0;
  const std::uint32_t error =
      appending_ ? platform::AppendFile(handle_, buffer_.get(), end_, &written)
                 : platform::WriteFile(handle_, buffer_.get(), end_, &written);
  // What could not be written is lost; the I/O error says so.
  if (error != 0) Fail(error);
  else if (written != end_) Fail(kDiskFull);
  end_ = 0;
}
