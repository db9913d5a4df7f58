#include "driver/echo_list.h"

#include <algorithm>
#include <cstring>

#include "driver/echo_list_formats.h"

using namespace echo_list;

namespace {

// The rules of one format: which lines are entries, which gives a tag its
// description, and the quick look that turns other lines away.
template <EchoListFormat kFormat>
struct Rules;

template <>
struct Rules<EchoListFormat::FastEcho> {
  static bool IsEntry(std::string_view line) { return IsFastEchoEntry(line); }
  static bool Match(std::string_view l, std::string_view k, const FoldTable& f, std::string_view* d) {
    return MatchFastEcho(l, k, f, d);
  }
  template <bool kUtf8>
  static bool MayGive(std::string_view line, const KeyProbe& key) { return MayGiveFastEcho<kUtf8>(line, key); }
};

template <>
struct Rules<EchoListFormat::Na> {
  static bool IsEntry(std::string_view line) { return IsNaEntry(line); }
  static bool Match(std::string_view l, std::string_view k, const FoldTable& f, std::string_view* d) {
    return MatchNa(l, k, f, d);
  }
  template <bool kUtf8>
  static bool MayGive(std::string_view line, const KeyProbe& key) { return MayGiveNa<kUtf8>(line, key); }
};

template <>
struct Rules<EchoListFormat::FidoConfig> {
  static bool IsEntry(std::string_view line) { return IsFidoConfigEntry(line); }
  static bool Match(std::string_view l, std::string_view k, const FoldTable& f, std::string_view* d) {
    return MatchFidoConfig(l, k, f, d);
  }
  template <bool kUtf8>
  static bool MayGive(std::string_view line, const KeyProbe& key) { return MayGiveFidoConfig<kUtf8>(line, key); }
};

bool IsEntry(EchoListFormat format, std::string_view line) {
  switch (format) {
    case EchoListFormat::FastEcho: return IsFastEchoEntry(line);
    case EchoListFormat::Na: return IsNaEntry(line);
    case EchoListFormat::FidoConfig: break;
  }
  return IsFidoConfigEntry(line);
}

// The formats a list of no entries may have been meant for, most telling
// first: an EchoArea line is surely FIDOCONFIG, a leading comma FASTECHO,
// while almost any line is an NA entry.
constexpr EchoListFormat kFormatsToSuggest[] = {EchoListFormat::FidoConfig, EchoListFormat::FastEcho,
                                                EchoListFormat::Na};

}  // namespace

void EchoListFile::Bind(const ShortString& path, EchoListFormat format, EchoListEncoding encoding,
                        const CodePage& codePage) {
  Close();
  path_ = path;
  format_ = format;
  encoding_ = encoding;
  codePage_ = &codePage;
  foldMasks_ = FoldMasks(codePage.UpCaseTable());
  encodingDecided_ = utf8_ = sawEntry_ = toldNoEntry_ = false;
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

// Once a run, at the first lookup: whether the list is UTF-8. A
// byte-order mark says so (unless the setting says otherwise); without
// one, AUTO reads the list once: UTF-8 when the whole of it is, with at
// least one character beyond ASCII. False when the list cannot be read.
bool EchoListFile::DecideEncoding() {
  file_.Eof();  // the first read shows whether a byte-order mark stands first
  if (file_.IoError() != 0) return false;
  utf8_ = false;
  if (encoding_ == EchoListEncoding::Utf8) {
    utf8_ = true;
    notices_.why = "ECHOLISTENCODING UTF-8";
  } else if (encoding_ == EchoListEncoding::Auto && file_.ByteOrderMark() == TextFile::Mark::Utf8) {
    utf8_ = true;
    notices_.why = "it begins with a byte-order mark";
  } else if (encoding_ == EchoListEncoding::Auto) {
    Utf8Check check;
    file_.ScanText([&](std::string_view text) { check.Feed(text); });
    check.Finish();
    if (file_.IoError() != 0) return false;
    utf8_ = check.Valid() && check.HasMultiByte();
    notices_.why = "it is UTF-8 text";
    file_.Rewind();
    if (file_.IoError() != 0) return false;
  }
  notices_.readAsUtf8 = utf8_;
  // A line of 255 characters may take up to four bytes a character.
  file_.SetLineLimit(utf8_ ? TextFile::kLongestLineLimit : ShortString::kCapacity);
  encodingDecided_ = true;
  return true;
}

std::string_view EchoListFile::Converted(std::string_view raw) {
  bool cut = false;
  const std::size_t n = Utf8LineToCodePage(raw, *codePage_, converted_, sizeof converted_, &cut);
  return std::string_view(converted_, n);
}

template <bool kUtf8>
bool EchoListFile::Scan(std::string_view key, std::string_view* found) {
  const FoldTable& fold = codePage_->UpCaseTable();
  const KeyProbe probe(key, foldMasks_, fold);
  const auto scan = [&]<EchoListFormat kFormat>() {
    using R = Rules<kFormat>;
    const auto mayGive = [&](std::string_view raw) { return R::template MayGive<kUtf8>(raw, probe); };
    const auto match = [&](std::string_view raw) { return R::Match(kUtf8 ? Converted(raw) : raw, key, fold, found); };
    // Until the list has shown one entry (its first lines, as a rule), each
    // line is also asked whether it is one.
    if (!sawEntry_ && !toldNoEntry_) {
      return file_.ScanLines([&](std::string_view raw) {
        if (!sawEntry_) sawEntry_ = R::IsEntry(kUtf8 ? Converted(raw) : raw);
        return mayGive(raw) && match(raw);
      });
    }
    return file_.ScanLines([&](std::string_view raw) { return mayGive(raw) && match(raw); });
  };
  switch (format_) {
    case EchoListFormat::FastEcho: return scan.template operator()<EchoListFormat::FastEcho>();
    case EchoListFormat::Na: return scan.template operator()<EchoListFormat::Na>();
    case EchoListFormat::FidoConfig: break;
  }
  return scan.template operator()<EchoListFormat::FidoConfig>();
}

// The list holds no entry of its format: one more read tells which other
// format would find some.
std::optional<EchoListFormat> EchoListFile::FormatThatFits() {
  bool entries[std::size(kFormatsToSuggest)] = {};
  file_.Rewind();
  file_.ScanLines([&](std::string_view raw) {
    const std::string_view line = utf8_ ? Converted(raw) : raw;
    for (std::size_t i = 0; i < std::size(kFormatsToSuggest); ++i)
      entries[i] = entries[i] || IsEntry(kFormatsToSuggest[i], line);
    return false;
  });
  for (std::size_t i = 0; i < std::size(kFormatsToSuggest); ++i)
    if (entries[i] && kFormatsToSuggest[i] != format_) return kFormatsToSuggest[i];
  return std::nullopt;
}

EchoListFile::Lookup EchoListFile::LookupDescription(const ShortString& tag, Description& description) {
  std::memset(description, 0, sizeof description);
  if (path_.empty()) return Lookup::Read;
  Lookup failure;
  if (!StartAtFirstLine(&failure)) return Failed(failure);
  if (!encodingDecided_ && !DecideEncoding()) return Failed(Lookup::ReadFailed);
  ShortString key = tag;
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<char>(codePage_->UpCase(key[i]));
  std::string_view found;
  // A read failure ends the lookup like the end of the file.
  const bool listed = utf8_ ? Scan<true>(key.view(), &found) : Scan<false>(key.view(), &found);
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
  notices_.readAsUtf8 = notices_.holdsNoEntry = false;
  return notices;
}

void EchoListFile::Close() {
  if (!file_.IsOpen()) return;
  file_.Close();  // a failed close of a file only read loses nothing: not reported
}
