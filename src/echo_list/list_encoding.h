// How the echo list's bytes become text in the node's code page: the
// ECHOLISTENCODING values, the decision for a list (its setting, a
// byte-order mark, or AUTO's reading of its bytes), and the conversion of
// each line. UTF-16 reaches the lines as UTF-8 (the text file decodes it).
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "util/code_page.h"
#include "util/text_file.h"

// As its byte-order mark or its bytes say (Auto), as UTF-8 or UTF-16
// always, in the node's code page as it is (CodePage), or in a code page
// named (translated into the node's).
enum class EchoListEncoding { Auto, Utf8, CodePage, Utf16Le, Utf16Be, Cp866, Cp437, Cp850, Cp1251, Cp1252, Koi8R };

struct EncodingSetting {
  EchoListEncoding encoding;
  const char* word;  // as the settings write it
  int codePage;      // the code page it names (CodePage numbers); 0 for the others
};
// The encoding an upper-cased settings word names; null for none.
const EncodingSetting* FindEncoding(std::string_view word);
const char* EchoListEncodingName(EchoListEncoding encoding);
// The code page a value names (866, ..., CodePage::kKoi8R); 0 for AUTO,
// UTF-8, UTF-16 and CODEPAGE.
int EchoListCodePage(EchoListEncoding encoding);
// "AUTO, UTF-8, ... or KOI8-R", for the settings' message.
std::string EncodingWords();

// How the log names a code page a list is read in: "code page 1251",
// "KOI8-R".
std::string CodePageName(const CodePage& page);

// What stands in a converted line for a character the node's code page
// lacks (with no best fit either), and for bytes that are no character:
// Ctrl-Z, which ends a text and so is in no line. The lookup counts them
// in a description and shows each as '?'.
inline constexpr char kUnconverted = '\x1A';

// How one list is read, once decided.
struct ListReading {
  // As it is (the node's code page); every line as UTF-8; every line
  // translated from `from`; each line as UTF-8 when it reads so, else
  // translated from `from` (or as it is, when `from` is null).
  enum class Way { AsIs, Utf8, Translated, Mixed };
  Way way = Way::AsIs;
  const CodePage* from = nullptr;
  TextFile::Decoding decoding = TextFile::Decoding::Bytes;
  // The list begins with a UTF-8 byte-order mark.
  bool marked = false;
  // For the log: what the list is read as ("UTF-8", "UTF-16LE", "code page
  // 1251", "KOI8-R", "UTF-8, 2 lines in code page 866") and what decided
  // it; empty when it is read as it is.
  std::string name;
  std::string why;
  // AUTO found no byte-order mark, but most lines hold a NUL byte.
  bool looksLikeUtf16 = false;
};

// Decides how to read `file`, open for reading and not yet read, as
// `setting` says on a node of code page `node`. AUTO without a UTF-16
// byte-order mark reads the text once. Leaves the file at its first line,
// in the decoding decided; false when a read failed (IoError says why).
bool DecideReading(TextFile& file, EchoListEncoding setting, const CodePage& node, ListReading* reading);

// The lines of a list in the node's code page, as its reading says: each
// line converted (at most `limit` characters of it kept), or handed on as
// it is. A UTF-8 byte-order mark at the start of a line is no part of it.
// A character the node's code page lacks takes its best fit, or else
// kUnconverted.
class LineConverter {
 public:
  LineConverter(const ListReading& reading, const CodePage& node, std::size_t limit);
  std::string_view Convert(std::string_view raw);

  // What the line last converted was read as.
  enum class LineWay { AsIs, Utf8, Translated };
  LineWay Way() const { return way_; }
  bool ReadAsIs() const { return way_ == LineWay::AsIs; }
  // Whether it held a byte above 0x7F, and bytes that are no character of
  // its encoding (a malformed UTF-8 sequence, an unpaired UTF-16
  // surrogate, a byte its code page does not define).
  bool HeldHighBytes() const { return high_; }
  bool HeldUndecodable() const { return undecodable_; }

 private:
  std::string_view Utf8(std::string_view raw);
  std::string_view Translated(std::string_view raw);
  void Put(char32_t code);

  const ListReading& reading_;
  const CodePage& node_;
  std::size_t limit_;
  bool vouched_;  // a byte-order mark stood before: the lines from it on are UTF-8
  LineWay way_ = LineWay::AsIs;
  bool high_ = false;
  bool undecodable_ = false;
  std::string out_;
  std::array<std::string, 128> translation_;  // Translated: each byte above 0x7F in the node's
};
