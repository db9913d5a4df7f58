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

// How one list is read, once decided.
struct ListReading {
  enum class Way { AsIs, Utf8, Translated };
  Way way = Way::AsIs;
  TextFile::Decoding decoding = TextFile::Decoding::Bytes;
  // For the log: what the list is read as ("UTF-8", "UTF-16LE", "code page
  // 1251", "KOI8-R") and what decided it; empty when it is read as it is.
  std::string name;
  std::string why;
  // AUTO found no byte-order mark, but most lines hold a NUL byte.
  bool looksLikeUtf16 = false;
  std::array<unsigned char, 256> translation{};  // Translated: each byte into the node's
};

// Decides how to read `file`, open for reading and not yet read, as
// `setting` says on a node of code page `node`. AUTO without a byte-order
// mark reads the text once. Leaves the file at its first line, in the
// decoding decided; false when a read failed (IoError says why).
bool DecideReading(TextFile& file, EchoListEncoding setting, const CodePage& node, ListReading* reading);

// The lines of a list in the node's code page, as its reading says: each
// line converted (at most `limit` characters of it kept), or handed on as
// it is.
class LineConverter {
 public:
  LineConverter(const ListReading& reading, const CodePage& node, std::size_t limit);
  std::string_view Convert(std::string_view raw);

 private:
  const ListReading& reading_;
  const CodePage& node_;
  std::size_t limit_;
  std::unique_ptr<char[]> out_;
};
