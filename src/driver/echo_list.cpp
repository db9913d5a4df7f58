#include "driver/echo_list.h"

#include <algorithm>
#include <cstring>

#include "driver/echo_list_encoding.h"

using namespace echo_list;

namespace {

bool IsEntry(EchoListFormat format, std::string_view line) {
  switch (format) {
    case EchoListFormat::FastEcho: return IsFastEchoEntry(line);
    case EchoListFormat::Na: return IsNaEntry(line);
    case EchoListFormat::FidoConfig: return IsFidoConfigEntry(line);
    case EchoListFormat::Areafix: break;
  }
  return IsAreafixEntry(line);
}

// The formats a list of no entries may have been meant for, most telling
// first: an EchoArea line is surely FIDOCONFIG, a reply's marks AREAFIX, a
// leading comma FASTECHO, while almost any line is an NA entry.
constexpr EchoListFormat kFormatsToSuggest[] = {EchoListFormat::FidoConfig, EchoListFormat::Areafix,
                                                EchoListFormat::FastEcho, EchoListFormat::Na};

// Whether a list is a hub's reply: most of its entries, read as a reply's,
// show its marks (flags, a dot leader, an address in parentheses, a quoted
// description), which plain lists never have. The lines a wrapped
// description goes on over are no entries of their own.
class ReplyCount {
 public:
  void Feed(std::string_view line) {
    if (open_) {
      line = TrimView(line);
      open_ = !line.empty() && line.find('"') == std::string_view::npos;
      return;
    }
    AreafixLine fields;
    if (!AreafixFields(line, &fields)) return;
    ++entries_;
    marked_ += fields.marked;
    open_ = fields.open;
  }
  bool IsAReply() const { return 2 * marked_ > entries_; }

 private:
  std::uint32_t entries_ = 0, marked_ = 0;
  bool open_ = false;
};

// How the log names a code page a list is read in.
std::string CodePageName(const CodePage& page) {
  return page.Number() == CodePage::kKoi8R ? page.Name() : "code page " + page.Name();
}

}  // namespace

void EchoListFile::Bind(const ShortString& path, EchoListFormat format, EchoListEncoding encoding,
                        const CodePage& codePage) {
  Close();
  path_ = path;
  format_ = format;
  encoding_ = encoding;
  codePage_ = &codePage;
  raw_ = RawBytes::Of(codePage.UpCaseTable());
  file_.SetDecoding(TextFile::Decoding::Bytes);
  reading_ = Reading::AsIs;
  wholeLines_ = format != EchoListFormat::FastEcho;
  encodingDecided_ = isAReply_ = sawEntry_ = toldNoEntry_ = false;
  notices_ = {};
}

bool EchoListFile::StartAtFirstLine(Lookup* failure) {
  if (file_.IsOpen()) {
    file_.Rewind();
    *failure = Lookup::ReadFailed;
  } else {
    file_.Assign(path_);
    file_.Reset();
    *failure = Lookup::CannotOpen;
  }
  return file_.IoError() == 0;
}

// The failure's code is kept for the message; a file that failed is opened
// afresh by the next lookup.
EchoListFile::Lookup EchoListFile::Failed(Lookup failure) {
  lastError_ = file_.TakeIoError();
  Close();
  return failure;
}

void EchoListFile::ReadAs(Reading reading, std::string name, std::string why) {
  reading_ = reading;
  notices_.readAs = std::move(name);
  notices_.why = std::move(why);
}

// A list in another code page than the node's is translated byte for
// byte; the quick look reads its bytes folded and tested as they become.
void EchoListFile::Translate(const CodePage& from, std::string why) {
  if (&from == codePage_) return;  // the node's own: as it is
  translation_ = from.TranslationTo(*codePage_);
  raw_ = RawBytes::Of(codePage_->UpCaseTable(), &translation_);
  ReadAs(Reading::Translated, CodePageName(from), std::move(why));
}

// Once a run, at the first lookup: how the list is written. A byte-order
// mark says so (unless the setting says otherwise); without one, AUTO
// reads the list once and decides by its bytes. False when the list cannot
// be read.
bool EchoListFile::DecideEncoding() {
  file_.Eof();  // the first read shows whether a byte-order mark stands first
  if (file_.IoError() != 0) return false;
  const TextFile::Mark mark = file_.ByteOrderMark();
  const auto utf16 = [&](TextFile::Decoding decoding, const char* name, std::string why) {
    file_.SetDecoding(decoding);
    file_.Rewind();
    ReadAs(Reading::Utf8, name, std::move(why));  // its characters arrive as UTF-8
  };
  const std::string setting = std::string("ECHOLISTENCODING ") + EchoListEncodingName(encoding_);
  switch (encoding_) {
    case EchoListEncoding::Utf8: ReadAs(Reading::Utf8, "UTF-8", setting); break;
    case EchoListEncoding::Utf16Le: utf16(TextFile::Decoding::Utf16Le, "UTF-16LE", setting); break;
    case EchoListEncoding::Utf16Be: utf16(TextFile::Decoding::Utf16Be, "UTF-16BE", setting); break;
    case EchoListEncoding::CodePage: break;
    case EchoListEncoding::Auto:
      if (mark == TextFile::Mark::Utf8) {
        ReadAs(Reading::Utf8, "UTF-8", "it begins with a byte-order mark");
      } else if (mark == TextFile::Mark::Utf16Le) {
        utf16(TextFile::Decoding::Utf16Le, "UTF-16LE", "it begins with a byte-order mark");
      } else if (mark == TextFile::Mark::Utf16Be) {
        utf16(TextFile::Decoding::Utf16Be, "UTF-16BE", "it begins with a byte-order mark");
      } else if (!DecideWithoutMark()) {
        return false;
      }
      break;
    default: Translate(*CodePage::ForList(EchoListCodePage(encoding_)), setting); break;
  }
  if (file_.IoError() != 0) return false;
  // A line of 255 characters may take up to four bytes a character in UTF-8.
  file_.SetLineLimit(wholeLines_ ? TextFile::kWholeLineLimit
                     : reading_ == Reading::Utf8 ? TextFile::kLongestLineLimit
                                                 : ShortString::kCapacity);
  convertedLimit_ = wholeLines_ ? TextFile::kWholeLineLimit : ShortString::kCapacity;
  if (reading_ != Reading::AsIs && convertedCapacity_ < convertedLimit_) {
    converted_.reset(new char[convertedLimit_]);
    convertedCapacity_ = convertedLimit_;
  }
  if (format_ == EchoListFormat::Na && !FindOutWhetherAReply()) return false;
  if (format_ == EchoListFormat::Areafix && !FindOutWhetherItWraps()) return false;
  encodingDecided_ = true;
  return true;
}

// AUTO without a byte-order mark: the whole list is read once. UTF-8 when
// all of it is, with a character beyond ASCII; else the code page its
// letters show, if not the node's own.
bool EchoListFile::DecideWithoutMark() {
  ListBytes bytes;
  file_.ScanText([&](std::string_view text) { bytes.Feed(text); });
  bytes.Finish();
  if (file_.IoError() != 0) return false;
  if (bytes.IsUtf8()) {
    ReadAs(Reading::Utf8, "UTF-8", "it is UTF-8 text");
  } else if (const CodePage* page = bytes.LettersCodePage(*codePage_)) {
    Translate(*page, "its letters are those of " + page->Name() + ", not " + codePage_->Name());
  } else {
    notices_.looksLikeUtf16 = bytes.LooksLikeUtf16();
  }
  file_.Rewind();
  return file_.IoError() == 0;
}

// An NA list that is a hub's reply would give dots and quotes for
// descriptions: it gives none, and the sysop is told once.
bool EchoListFile::FindOutWhetherAReply() {
  file_.Rewind();
  ReplyCount reply;
  file_.ScanLines([&](std::string_view raw) {
    reply.Feed(reading_ == Reading::AsIs ? raw : Converted(raw));
    return false;
  });
  if (file_.IoError() != 0) return false;
  isAReply_ = notices_.isAReply = reply.IsAReply();
  file_.Rewind();
  return file_.IoError() == 0;
}

// Most replies write each description on its own line. Learned once a
// run, like the encoding: then no line needs searching for a quote that
// would open a wrap.
bool EchoListFile::FindOutWhetherItWraps() {
  file_.Rewind();
  wraps_ = file_.ScanLines([&](std::string_view raw) {
    AreafixLine fields;
    return AreafixFields(reading_ == Reading::AsIs ? raw : Converted(raw), &fields) && fields.open;
  });
  if (file_.IoError() != 0) return false;
  file_.Rewind();
  return file_.IoError() == 0;
}

std::string_view EchoListFile::Converted(std::string_view raw) {
  char* const out = converted_.get();
  if (reading_ == Reading::Translated) {
    for (std::size_t i = 0; i < raw.size(); ++i) out[i] = static_cast<char>(translation_[static_cast<unsigned char>(raw[i])]);
    return std::string_view(out, raw.size());
  }
  bool cut = false;
  return std::string_view(out, Utf8LineToCodePage(raw, *codePage_, out, convertedLimit_, &cut));
}

// The list holds no entry of its format: one more read tells which other
// format would find some.
std::optional<EchoListFormat> EchoListFile::FormatThatFits() {
  bool entries[std::size(kFormatsToSuggest)] = {};
  ReplyCount reply;
  file_.Rewind();
  file_.ScanLines([&](std::string_view raw) {
    const std::string_view line = reading_ == Reading::AsIs ? raw : Converted(raw);
    for (std::size_t i = 0; i < std::size(kFormatsToSuggest); ++i)
      entries[i] = entries[i] || IsEntry(kFormatsToSuggest[i], line);
    reply.Feed(line);
    return false;
  });
  for (std::size_t i = 0; i < std::size(kFormatsToSuggest); ++i) {
    const EchoListFormat format = kFormatsToSuggest[i];
    if (entries[i] && format != format_ && (format != EchoListFormat::Areafix || reply.IsAReply())) return format;
  }
  return std::nullopt;
}

EchoListFile::Lookup EchoListFile::LookupDescription(const ShortString& tag, Description& description) {
  std::memset(description, 0, sizeof description);
  if (path_.empty()) return Lookup::Read;
  Lookup failure;
  if (!StartAtFirstLine(&failure)) return Failed(failure);
  if (!encodingDecided_ && !DecideEncoding()) return Failed(Lookup::ReadFailed);
  if (isAReply_) return Lookup::Read;
  ShortString key = tag;
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<char>(codePage_->UpCase(key[i]));
  std::string_view found;
  const bool listed = reading_ == Reading::Utf8 ? Scan<true>(key.view(), &found) : Scan<false>(key.view(), &found);
  if (listed) {
    sawEntry_ = true;
    found = found.substr(0, std::min<std::size_t>(found.size(), fastecho::kDescriptionWidth));
    if (!found.empty()) std::memcpy(description, found.data(), found.size());  // an empty view may hold null
  } else if (!sawEntry_ && !toldNoEntry_ && file_.IoError() == 0) {
    toldNoEntry_ = true;
    notices_.holdsNoEntry = true;
    notices_.fits = FormatThatFits();
  }
  return file_.IoError() == 0 ? Lookup::Read : Failed(Lookup::ReadFailed);
}

EchoListNotices EchoListFile::TakeNotices() {
  const EchoListNotices notices = notices_;
  notices_.readAs.clear();
  notices_.looksLikeUtf16 = notices_.isAReply = notices_.holdsNoEntry = false;
  return notices;
}

void EchoListFile::Close() {
  if (!file_.IsOpen()) return;
  file_.Close();  // a failed close of a file only read loses nothing: not reported
}
