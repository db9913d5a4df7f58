#include "echo_list/echo_list.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "echo_list/areafix_reader.h"
#include "echo_list/list_bytes.h"
#include "echo_list/list_words.h"
#include "platform/platform.h"

namespace {

// A list that is not there, or not ours to read, gives no description; a
// list that is there and fails otherwise must not pass for one that gives
// none.
bool IsUnavailable(std::uint32_t code) {
  switch (platform::KindOfError(code)) {
    case platform::ErrorKind::NoSuchFile:
    case platform::ErrorKind::NoSuchDirectory:
    case platform::ErrorKind::AccessDenied: return true;
    default: return false;
  }
}

// What the first pass learns of a list besides the answers: whether it
// holds an entry of its format, whether (read as NA) it is a hub's reply,
// and which other format would find entries in a list of none.
class ListShape {
 public:
  explicit ListShape(EchoListFormat format) : format_(format) {}

  void Feed(std::string_view line) {
    if (format_ == EchoListFormat::Na) reply_.Feed(line);
    if (sawEntry_) return;
    sawEntry_ = FormatOf(format_).isEntry(line);
    if (sawEntry_) return;
    // Until one shows, the line is asked what else it may be.
    for (std::size_t i = 0; i < std::size(kFormatsToSuggest); ++i)
      others_[i] = others_[i] || FormatOf(kFormatsToSuggest[i]).isEntry(line);
    if (format_ != EchoListFormat::Na) reply_.Feed(line);
  }

  bool HoldsEntry() const { return sawEntry_; }
  bool IsAReply() const { return format_ == EchoListFormat::Na && reply_.IsAReply(); }
  std::optional<EchoListFormat> FormatThatFits() const {
    for (std::size_t i = 0; i < std::size(kFormatsToSuggest); ++i) {
      const EchoListFormat format = kFormatsToSuggest[i];
      if (others_[i] && format != format_ && (format != EchoListFormat::Areafix || reply_.IsAReply()))
        return format;
    }
    return std::nullopt;
  }

 private:
  EchoListFormat format_;
  bool sawEntry_ = false;
  bool others_[std::size(kFormatsToSuggest)] = {};
  ReplyCount reply_;
};

}  // namespace

void EchoListFile::Bind(const ShortString& path, EchoListFormat format, EchoListEncoding encoding,
                        const CodePage& codePage) {
  if (file_.IsOpen()) file_.Close();
  path_ = path;
  format_ = format;
  encoding_ = encoding;
  codePage_ = &codePage;
  answers_.clear();
  passed_ = unavailable_ = givesNothing_ = false;
  lastError_ = 0;
  reading_ = {};
  notices_ = {};
}

std::string EchoListFile::Folded(std::string_view tag) const {
  std::string key(tag);
  for (char& c : key) c = codePage_->UpCase(c);
  return key;
}

void EchoListFile::Expect(const ShortString& tag) {
  if (path_.empty()) return;
  answers_.try_emplace(Folded(tag));
}

EchoListFile::Lookup EchoListFile::LookupDescription(const ShortString& tag, std::span<std::uint8_t> field) {
  std::fill(field.begin(), field.end(), std::uint8_t{0});
  if (path_.empty()) return Lookup::Answered;
  if (unavailable_) return Lookup::Unavailable;
  const Answer& answer = answers_.try_emplace(Folded(tag)).first->second;
  if (answer.pending) {
    if (const Lookup result = Pass(); result != Lookup::Answered) return result;
  }
  if (!answer.decided) return Lookup::Answered;
  // Of the characters beyond ASCII, those converted and those the node's
  // code page had no byte for.
  const std::size_t n = std::min(answer.description.size(), field.size());
  std::size_t converted = 0, unconverted = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = answer.description[i];
    converted += static_cast<unsigned char>(c) >= 0x80;
    unconverted += c == kUnconverted;
    field[i] = static_cast<std::uint8_t>(c == kUnconverted ? '?' : c);
  }
  if (unconverted <= converted) return Lookup::Answered;
  std::fill(field.begin(), field.end(), std::uint8_t{0});
  refusedEncoding_ = NameOf(answer.way);
  return Lookup::NotInEncoding;
}

std::string EchoListFile::NameOf(LineConverter::LineWay way) const {
  switch (way) {
    case LineConverter::LineWay::Utf8: return reading_.decoding == TextFile::Decoding::Bytes ? "UTF-8" : reading_.name;
    case LineConverter::LineWay::Translated: return CodePageName(*reading_.from);
    case LineConverter::LineWay::AsIs: break;
  }
  return CodePageName(*codePage_);
}

// One reading of the whole list for every tag that waits for an answer.
EchoListFile::Lookup EchoListFile::Pass() {
  if (!Open()) {
    lastError_ = file_.TakeIoError();
    if (file_.IsOpen()) file_.Close();  // only read: a failed close loses nothing
    if (!IsUnavailable(lastError_) || passed_) return Lookup::Failed;
    unavailable_ = true;
    return Lookup::Unavailable;
  }
  ReadLines();
  lastError_ = file_.TakeIoError();
  file_.Close();  // only read: a failed close loses nothing
  if (lastError_ != 0) return Lookup::Failed;
  EndPass();
  return Lookup::Answered;
}

// Opens the list; the first time also decides how it is read.
bool EchoListFile::Open() {
  file_.Assign(path_);
  file_.OpenToRead();
  if (file_.IoError() != 0) return false;
  if (!passed_) return DecideReading(file_, encoding_, *codePage_, &reading_);
  return true;  // the text file keeps the decoding decided
}

// NUL bytes with text after them: a file that is no text list (a NUL or
// two left at the end of a list are padding).
class NulBytes {
 public:
  void Feed(std::string_view line) {
    for (const char c : line) {
      if (c == '\0') {
        pending_ = true;
      } else if (pending_) {
        inside_ = true;
      }
    }
  }
  bool Inside() const { return inside_; }

 private:
  bool pending_ = false, inside_ = false;
};

void EchoListFile::ReadLines() {
  // NA, FIDOCONFIG and AREAFIX lines are read whole (a hub's EchoArea line
  // lists hundreds of links), and a line longer than that decides nothing:
  // what gives its description may stand in the part that was not read.
  // FASTECHO lines are used to their 255th character; one that may be
  // UTF-8 is read whole too, so that it is told UTF-8 or not as AUTO told
  // it, and cut once converted.
  const bool wholeLines = format_ != EchoListFormat::FastEcho;
  const bool asBytes = reading_.way == ListReading::Way::AsIs || reading_.way == ListReading::Way::Translated;
  file_.SetLineLimit(wholeLines || !asBytes ? TextFile::kWholeLineLimit : ShortString::kCapacity);
  LineConverter converter(reading_, *codePage_, wholeLines ? TextFile::kWholeLineLimit : ShortString::kCapacity);
  ListShape shape(format_);
  AreafixReader reply;
  NulBytes nuls;
  std::uint32_t garbled = 0, highLines = 0, undecodable = 0;
  file_.ScanLines([&](std::string_view raw) {
    const std::string_view line = converter.Convert(raw);
    const bool cut = wholeLines && file_.LineWasCut();
    if (!passed_) {
      shape.Feed(line);
      nuls.Feed(raw);
      highLines += converter.HeldHighBytes();
      undecodable += converter.HeldUndecodable();
      if (converter.ReadAsIs() && FormatOf(format_).isEntry(line)) garbled += GarbledWords(line, *codePage_);
    }
    ListEntry entry;
    bool read = false;
    switch (format_) {
      case EchoListFormat::FastEcho: read = ReadFastEchoEntry(line, &entry); break;
      case EchoListFormat::Na: read = !cut && ReadNaEntry(line, &entry); break;
      case EchoListFormat::FidoConfig: read = !cut && ReadFidoConfigEntry(line, &entry); break;
      case EchoListFormat::Areafix: read = reply.Read(line, cut, &entry); break;
    }
    if (read && entry.decides) Take(entry, converter.Way());
    return false;
  });
  if (passed_ || file_.IoError() != 0) return;
  notices_.readAs = reading_.name;
  notices_.why = reading_.why;
  notices_.archive = ArchiveNamed(file_.Head());
  notices_.noText = !notices_.archive && reading_.decoding == TextFile::Decoding::Bytes &&
                    !reading_.looksLikeUtf16 && nuls.Inside();
  notices_.isAReply = !notices_.archive && !notices_.noText && shape.IsAReply();
  givesNothing_ = notices_.archive || notices_.noText || notices_.isAReply;
  notices_.looksLikeUtf16 = reading_.looksLikeUtf16 && !notices_.archive;
  notices_.highLines = highLines;
  notices_.undecodableLines = undecodable;
  const bool setToUnicode = encoding_ == EchoListEncoding::Utf8 || encoding_ == EchoListEncoding::Utf16Le ||
                            encoding_ == EchoListEncoding::Utf16Be;
  notices_.notInSetting = !notices_.archive && !notices_.noText && setToUnicode && 2 * undecodable > highLines;
  notices_.holdsNoEntry = !givesNothing_ && !shape.HoldsEntry();
  if (notices_.holdsNoEntry && !notices_.notInSetting) notices_.fits = shape.FormatThatFits();
  notices_.garbled = !givesNothing_ && garbled > 0;
}

// The first entry that decides a tag waiting for its answer gives it.
void EchoListFile::Take(const ListEntry& entry, LineConverter::LineWay way) {
  key_.assign(entry.tag);
  for (char& c : key_) c = c == kUnconverted ? '?' : codePage_->UpCase(c);
  const auto found = answers_.find(key_);
  if (found == answers_.end()) return;
  Answer& answer = found->second;
  if (!answer.pending || answer.decided) return;
  answer.decided = true;
  answer.way = way;
  answer.description.assign(entry.description.substr(0, std::min(entry.description.size(), ShortString::kCapacity)));
}

// A reply read as NA gives nothing (its descriptions would be dots and
// quotes), nor does a file that is no text list.
void EchoListFile::EndPass() {
  passed_ = true;
  for (auto& [key, answer] : answers_) {
    if (!answer.pending) continue;
    answer.pending = false;
    if (givesNothing_) answer.decided = false;
  }
}

EchoListNotices EchoListFile::TakeNotices() {
  const EchoListNotices notices = notices_;
  notices_ = {};
  return notices;
}
