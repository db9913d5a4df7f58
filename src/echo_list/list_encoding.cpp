#include "echo_list/list_encoding.h"

#include <algorithm>
#include <iterator>

#include "echo_list/best_fit.h"
#include "echo_list/list_bytes.h"
#include "util/unicode.h"

namespace {

constexpr EncodingSetting kEncodings[] = {
    {EchoListEncoding::Auto, "AUTO", 0},
    {EchoListEncoding::Utf8, "UTF-8", 0},
    {EchoListEncoding::Utf16Le, "UTF-16LE", 0},
    {EchoListEncoding::Utf16Be, "UTF-16BE", 0},
    {EchoListEncoding::CodePage, "CODEPAGE", 0},
    {EchoListEncoding::Cp866, "866", 866},
    {EchoListEncoding::Cp437, "437", 437},
    {EchoListEncoding::Cp850, "850", 850},
    {EchoListEncoding::Cp1251, "1251", 1251},
    {EchoListEncoding::Cp1252, "1252", 1252},
    {EchoListEncoding::Koi8R, "KOI8-R", CodePage::kKoi8R},
};

const EncodingSetting& SettingOf(EchoListEncoding encoding) {
  for (const EncodingSetting& setting : kEncodings)
    if (setting.encoding == encoding) return setting;
  return kEncodings[0];
}

std::string Lines(std::uint32_t n) { return std::to_string(n) + (n == 1 ? " line" : " lines"); }

void ReadAs(ListReading* reading, ListReading::Way way, std::string name, std::string why) {
  reading->way = way;
  reading->name = std::move(name);
  reading->why = std::move(why);
}

// A list in another code page than the node's is translated.
void Translate(ListReading* reading, const CodePage& from, const CodePage& node, std::string why) {
  if (&from == &node) return;  // the node's own: as it is
  reading->from = &from;
  ReadAs(reading, ListReading::Way::Translated, CodePageName(from), std::move(why));
}

// UTF-16 is read from the start again, decoded into UTF-8.
void ReadUtf16(TextFile& file, ListReading* reading, TextFile::Decoding decoding, const char* name,
               std::string why) {
  reading->decoding = decoding;
  file.SetDecoding(decoding);
  file.Rewind();
  ReadAs(reading, ListReading::Way::Utf8, name, std::move(why));
}

// Some lines of the list read as UTF-8, the others in a code page: the log
// names what most of them are.
void ReadMixed(ListReading* reading, const CodePage* placed, const CodePage& node, std::uint32_t utf8Lines,
               std::uint32_t otherLines) {
  reading->from = placed && placed != &node ? placed : nullptr;
  const std::string page = CodePageName(placed ? *placed : node);
  if (utf8Lines >= otherLines) {
    ReadAs(reading, ListReading::Way::Mixed, "UTF-8, " + Lines(otherLines) + " in " + page,
           "it is UTF-8 text with " + Lines(otherLines) + (otherLines == 1 ? " that is not" : " that are not"));
  } else {
    ReadAs(reading, ListReading::Way::Mixed, page + ", " + Lines(utf8Lines) + " as UTF-8",
           "it is " + page + " text with " + Lines(utf8Lines) + " of UTF-8");
  }
}

// AUTO without a UTF-16 byte-order mark: the whole list is read once, line
// by line. UTF-8 when every line with a byte above 0x7F is; a mixture when
// some are; else the code page its letters show, if not the node's own.
bool DecideByLines(TextFile& file, const CodePage& node, ListReading* reading) {
  ListBytes bytes(reading->marked);
  file.SetLineLimit(TextFile::kWholeLineLimit);
  file.ScanLines([&](std::string_view line) {
    bytes.FeedLine(line);
    return false;
  });
  if (file.IoError() != 0) return false;
  const std::uint32_t otherLines = bytes.HighLines() - bytes.Utf8Lines();
  if (bytes.WellFormedLines() == bytes.HighLines() && (reading->marked || bytes.HighLines() > 0)) {
    ReadAs(reading, ListReading::Way::Utf8, "UTF-8",
           reading->marked ? "it begins with a byte-order mark" : "it is UTF-8 text");
  } else if (bytes.Utf8Lines() > 0) {
    ReadMixed(reading, bytes.LettersCodePage(node), node, bytes.Utf8Lines(), otherLines);
  } else if (const CodePage* page = bytes.LettersCodePage(node)) {
    Translate(reading, *page, node, "its letters are those of " + page->Name() + ", not " + node.Name());
  } else {
    reading->looksLikeUtf16 = bytes.LooksLikeUtf16();
  }
  file.Rewind();
  return file.IoError() == 0;
}

}  // namespace

std::string CodePageName(const CodePage& page) {
  return page.Number() == CodePage::kKoi8R ? page.Name() : "code page " + page.Name();
}

const EncodingSetting* FindEncoding(std::string_view word) {
  for (const EncodingSetting& setting : kEncodings)
    if (word == setting.word) return &setting;
  return nullptr;
}

const char* EchoListEncodingName(EchoListEncoding encoding) { return SettingOf(encoding).word; }

int EchoListCodePage(EchoListEncoding encoding) { return SettingOf(encoding).codePage; }

std::string EncodingWords() {
  std::string words;
  for (std::size_t i = 0; i < std::size(kEncodings); ++i) {
    if (i > 0) words += i + 1 == std::size(kEncodings) ? " or " : ", ";
    words += kEncodings[i].word;
  }
  return words;
}

bool DecideReading(TextFile& file, EchoListEncoding setting, const CodePage& node, ListReading* reading) {
  *reading = {};
  file.SetDecoding(TextFile::Decoding::Bytes);
  file.Eof();  // the first read shows whether a byte-order mark stands first
  if (file.IoError() != 0) return false;
  const TextFile::Mark mark = file.ByteOrderMark();
  reading->marked = mark == TextFile::Mark::Utf8;
  const std::string bySetting = std::string("ECHOLISTENCODING ") + EchoListEncodingName(setting);
  const std::string byMark = "it begins with a byte-order mark";
  switch (setting) {
    case EchoListEncoding::Utf8: ReadAs(reading, ListReading::Way::Utf8, "UTF-8", bySetting); break;
    case EchoListEncoding::Utf16Le: ReadUtf16(file, reading, TextFile::Decoding::Utf16Le, "UTF-16LE", bySetting); break;
    case EchoListEncoding::Utf16Be: ReadUtf16(file, reading, TextFile::Decoding::Utf16Be, "UTF-16BE", bySetting); break;
    case EchoListEncoding::CodePage: break;
    case EchoListEncoding::Auto:
      if (mark == TextFile::Mark::Utf16Le) {
        ReadUtf16(file, reading, TextFile::Decoding::Utf16Le, "UTF-16LE", byMark);
      } else if (mark == TextFile::Mark::Utf16Be) {
        ReadUtf16(file, reading, TextFile::Decoding::Utf16Be, "UTF-16BE", byMark);
      } else if (!DecideByLines(file, node, reading)) {
        return false;
      }
      break;
    default: Translate(reading, *CodePage::ForList(EchoListCodePage(setting)), node, bySetting); break;
  }
  return file.IoError() == 0;
}

LineConverter::LineConverter(const ListReading& reading, const CodePage& node, std::size_t limit)
    : reading_(reading), node_(node), limit_(limit), vouched_(reading.marked) {
  if (!reading.from) return;
  for (unsigned b = 0x80; b < 0x100; ++b) {
    out_.clear();
    Put(reading.from->ToUnicode(static_cast<unsigned char>(b)));
    translation_[b - 0x80] = out_;
  }
}

std::string_view LineConverter::Convert(std::string_view raw) {
  if (StartsWithByteOrderMark(raw)) {
    raw.remove_prefix(3);
    vouched_ = true;
  }
  high_ = undecodable_ = false;
  for (const char c : raw) high_ = high_ || static_cast<unsigned char>(c) >= 0x80;
  switch (reading_.way) {
    case ListReading::Way::AsIs: break;
    case ListReading::Way::Utf8: return Utf8(raw);
    case ListReading::Way::Translated: return Translated(raw);
    case ListReading::Way::Mixed:
      if (LineReadsAsUtf8(raw, vouched_)) return Utf8(raw);
      if (reading_.from) return Translated(raw);
      break;
  }
  way_ = LineWay::AsIs;
  return raw.substr(0, std::min(raw.size(), limit_));
}

// The node's byte for `code`, else its best fit, else kUnconverted.
void LineConverter::Put(char32_t code) {
  unsigned char byte = 0;
  if (code != CodePage::kNoCharacter && node_.Holds(code, &byte)) {
    out_ += static_cast<char>(byte);
    return;
  }
  const std::u32string_view fit = code == CodePage::kNoCharacter ? std::u32string_view() : BestFit(code);
  if (fit.empty()) {
    out_ += kUnconverted;
    return;
  }
  for (const char32_t c : fit) out_ += node_.Holds(c, &byte) ? static_cast<char>(byte) : kUnconverted;
}

std::string_view LineConverter::Utf8(std::string_view raw) {
  way_ = LineWay::Utf8;
  out_.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(raw.data());
  const auto* const end = p + raw.size();
  while (p != end && out_.size() < limit_) {
    if (*p < 0x80) {
      out_ += static_cast<char>(*p++);
      continue;
    }
    std::size_t length = 0;
    const char32_t code = unicode::DecodeUtf8(p, end, &length);
    undecodable_ = undecodable_ || code == unicode::kReplacement;
    Put(code);
    p += length;
  }
  if (out_.size() > limit_) out_.resize(limit_);
  return out_;
}

std::string_view LineConverter::Translated(std::string_view raw) {
  way_ = LineWay::Translated;
  out_.clear();
  for (std::size_t i = 0; i < raw.size() && out_.size() < limit_; ++i) {
    const auto byte = static_cast<unsigned char>(raw[i]);
    if (byte < 0x80) {
      out_ += raw[i];
      continue;
    }
    out_ += translation_[byte - 0x80];
    undecodable_ = undecodable_ || reading_.from->ToUnicode(byte) == CodePage::kNoCharacter;
  }
  if (out_.size() > limit_) out_.resize(limit_);
  return out_;
}
