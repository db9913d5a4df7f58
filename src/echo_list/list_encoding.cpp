#include "echo_list/list_encoding.h"

#include <algorithm>
#include <iterator>

#include "echo_list/list_bytes.h"

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

// How the log names a code page a list is read in.
std::string CodePageName(const CodePage& page) {
  return page.Number() == CodePage::kKoi8R ? page.Name() : "code page " + page.Name();
}

void ReadAs(ListReading* reading, ListReading::Way way, std::string name, std::string why) {
  reading->way = way;
  reading->name = std::move(name);
  reading->why = std::move(why);
}

// A list in another code page than the node's is translated byte for byte.
void Translate(ListReading* reading, const CodePage& from, const CodePage& node, std::string why) {
  if (&from == &node) return;  // the node's own: as it is
  reading->translation = from.TranslationTo(node);
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

// AUTO without a byte-order mark: the whole list is read once. UTF-8 when
// all of it is, with a character beyond ASCII; else the code page its
// letters show, if not the node's own.
bool DecideWithoutMark(TextFile& file, const CodePage& node, ListReading* reading) {
  ListBytes bytes;
  file.ScanText([&](std::string_view text) { bytes.Feed(text); });
  bytes.Finish();
  if (file.IoError() != 0) return false;
  if (bytes.IsUtf8()) {
    ReadAs(reading, ListReading::Way::Utf8, "UTF-8", "it is UTF-8 text");
  } else if (const CodePage* page = bytes.LettersCodePage(node)) {
    Translate(reading, *page, node, "its letters are those of " + page->Name() + ", not " + node.Name());
  } else {
    reading->looksLikeUtf16 = bytes.LooksLikeUtf16();
  }
  file.Rewind();
  return file.IoError() == 0;
}

}  // namespace

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
  const std::string bySetting = std::string("ECHOLISTENCODING ") + EchoListEncodingName(setting);
  const std::string byMark = "it begins with a byte-order mark";
  switch (setting) {
    case EchoListEncoding::Utf8: ReadAs(reading, ListReading::Way::Utf8, "UTF-8", bySetting); break;
    case EchoListEncoding::Utf16Le: ReadUtf16(file, reading, TextFile::Decoding::Utf16Le, "UTF-16LE", bySetting); break;
    case EchoListEncoding::Utf16Be: ReadUtf16(file, reading, TextFile::Decoding::Utf16Be, "UTF-16BE", bySetting); break;
    case EchoListEncoding::CodePage: break;
    case EchoListEncoding::Auto:
      if (mark == TextFile::Mark::Utf8) {
        ReadAs(reading, ListReading::Way::Utf8, "UTF-8", byMark);
      } else if (mark == TextFile::Mark::Utf16Le) {
        ReadUtf16(file, reading, TextFile::Decoding::Utf16Le, "UTF-16LE", byMark);
      } else if (mark == TextFile::Mark::Utf16Be) {
        ReadUtf16(file, reading, TextFile::Decoding::Utf16Be, "UTF-16BE", byMark);
      } else if (!DecideWithoutMark(file, node, reading)) {
        return false;
      }
      break;
    default: Translate(reading, *CodePage::ForList(EchoListCodePage(setting)), node, bySetting); break;
  }
  return file.IoError() == 0;
}

LineConverter::LineConverter(const ListReading& reading, const CodePage& node, std::size_t limit)
    : reading_(reading), node_(node), limit_(limit) {
  if (reading.way != ListReading::Way::AsIs) out_.reset(new char[limit]);
}

std::string_view LineConverter::Convert(std::string_view raw) {
  char* const out = out_.get();
  switch (reading_.way) {
    case ListReading::Way::AsIs: return raw;
    case ListReading::Way::Translated: {
      const std::size_t n = std::min(raw.size(), limit_);
      for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<char>(reading_.translation[static_cast<unsigned char>(raw[i])]);
      return std::string_view(out, n);
    }
    case ListReading::Way::Utf8: break;
  }
  bool cut = false;
  return std::string_view(out, Utf8LineToCodePage(raw, node_, out, limit_, &cut));
}
