#include "echo_list/echo_list.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "echo_list/areafix_reader.h"
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
  passed_ = unavailable_ = isAReply_ = false;
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
  if (answer.decided) {
    const std::size_t n = std::min(answer.description.size(), field.size());
    if (n != 0) std::memcpy(field.data(), answer.description.data(), n);
  }
  return Lookup::Answered;
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
  file_.Reset();
  if (file_.IoError() != 0) return false;
  if (!passed_) return DecideReading(file_, encoding_, *codePage_, &reading_);
  return true;  // the text file keeps the decoding decided
}

void EchoListFile::ReadLines() {
  // NA, FIDOCONFIG and AREAFIX lines are read whole (a hub's EchoArea line
  // lists hundreds of links), and a line longer than that decides nothing:
  // what gives its description may stand in the part that was not read.
  // FASTECHO lines are used to their 255th character; in UTF-8 such a line
  // may take up to four bytes a character.
  const bool wholeLines = format_ != EchoListFormat::FastEcho;
  file_.SetLineLimit(wholeLines                                   ? TextFile::kWholeLineLimit
                     : reading_.way == ListReading::Way::Utf8 ? TextFile::kLongestLineLimit
                                                              : ShortString::kCapacity);
  LineConverter converter(reading_, *codePage_, wholeLines ? TextFile::kWholeLineLimit : ShortString::kCapacity);
  ListShape shape(format_);
  AreafixReader reply;
  file_.ScanLines([&](std::string_view raw) {
    const std::string_view line = converter.Convert(raw);
    const bool cut = wholeLines && file_.LineWasCut();
    if (!passed_) shape.Feed(line);
    ListEntry entry;
    bool read = false;
    switch (format_) {
      case EchoListFormat::FastEcho: read = ReadFastEchoEntry(line, &entry); break;
      case EchoListFormat::Na: read = !cut && ReadNaEntry(line, &entry); break;
      case EchoListFormat::FidoConfig: read = !cut && ReadFidoConfigEntry(line, &entry); break;
      case EchoListFormat::Areafix: read = reply.Read(line, cut, &entry); break;
    }
    if (read && entry.decides) Take(entry);
    return false;
  });
  if (passed_ || file_.IoError() != 0) return;
  isAReply_ = shape.IsAReply();
  notices_.readAs = reading_.name;
  notices_.why = reading_.why;
  notices_.looksLikeUtf16 = reading_.looksLikeUtf16;
  notices_.isAReply = isAReply_;
  notices_.holdsNoEntry = !isAReply_ && !shape.HoldsEntry();
  if (notices_.holdsNoEntry) notices_.fits = shape.FormatThatFits();
}

// The first entry that decides a tag waiting for its answer gives it.
void EchoListFile::Take(const ListEntry& entry) {
  key_.assign(entry.tag);
  for (char& c : key_) c = codePage_->UpCase(c);
  const auto found = answers_.find(key_);
  if (found == answers_.end()) return;
  Answer& answer = found->second;
  if (!answer.pending || answer.decided) return;
  answer.decided = true;
  answer.description.assign(entry.description.substr(0, std::min(entry.description.size(), ShortString::kCapacity)));
}

// A reply read as NA gives nothing: its descriptions would be dots and
// quotes.
void EchoListFile::EndPass() {
  passed_ = true;
  for (auto& [key, answer] : answers_) {
    if (!answer.pending) continue;
    answer.pending = false;
    if (isAReply_) answer.decided = false;
  }
}

EchoListNotices EchoListFile::TakeNotices() {
  const EchoListNotices notices = notices_;
  notices_ = {};
  return notices;
}
