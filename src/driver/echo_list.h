// The echo list: a text file pairing area tags with descriptions, in one of
// four formats:
//   [HOLD|DOWN],TAG,Description[,more fields]   (FastEcho's lists)
//   TAG  Description                            (the backbone's .NA files)
//   EchoArea TAG path [options] -d "Description" (a Husky-style tosser's areas)
//   [flags] TAG ...... "Description"            (a hub's answer to %LIST)
// kept in the FastEcho file's code page, in UTF-8, in UTF-16 or in another
// code page, which is converted into the FastEcho file's before anything
// else reads it. Every lookup reads it from its first line; the first line
// that gives the tag decides. The file stays open from the first lookup
// until Close: opening a file for every area costs more than reading it on
// Windows.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "driver/echo_list_formats.h"
#include "driver/fastecho_layout.h"
#include "settings/program_settings.h"
#include "util/code_page.h"
#include "util/short_string.h"
#include "util/text_file.h"

using Description = std::uint8_t[fastecho::kDescriptionWidth];

// What the sysop should learn about the list, each at most once a run, from
// the lookup that found it out.
struct EchoListNotices {
  // The list is read in another encoding than the node's code page:
  // `readAs` names it ("UTF-8", "UTF-16LE", "code page 1251", "KOI8-R"),
  // `why` says what decided it. Empty when it is read as it is.
  std::string readAs;
  std::string why;
  // AUTO found no byte-order mark, but most lines hold a NUL byte.
  bool looksLikeUtf16 = false;
  // Read as NA, the list is a hub's %LIST reply: it gives no description.
  bool isAReply = false;
  // A lookup read the whole list and it holds no entry of its format;
  // `fits` names another format that finds entries in it, if one does.
  bool holdsNoEntry = false;
  std::optional<EchoListFormat> fits;
};

class EchoListFile {
 public:
  // A large buffer: each lookup may read the whole file.
  static constexpr std::uint32_t kBufferSize = 128 * 1024;

  EchoListFile() : file_(kBufferSize) {}
  // Binds the file, closing one a lookup left open; nothing is opened. An
  // empty path names no file.
  void Bind(const ShortString& path, EchoListFormat format = EchoListFormat::FastEcho,
            EchoListEncoding encoding = EchoListEncoding::Auto,
            const CodePage& codePage = CodePage::Cp866());
  const ShortString& Path() const { return path_; }
  EchoListFormat Format() const { return format_; }

  enum class Lookup {
    Read,        // the list was read (or none is named)
    CannotOpen,  // the named list could not be opened
    ReadFailed,  // a read or seek of the open list failed
  };
  // Fills `description` with the listed description for `tag`, zero-padded
  // to 52 bytes; all zero when the tag is not listed or the file could not
  // be read. The first lookup opens the file (and decides how it is
  // encoded), later ones go back to its start; after a failure the next
  // lookup opens it again.
  Lookup LookupDescription(const ShortString& tag, Description& description);
  // The operating system's code for the last failure to open or read.
  std::uint32_t LastError() const { return lastError_; }
  // The notices gathered since the last call.
  EchoListNotices TakeNotices();

  // Closes the file if a lookup left it open.
  void Close();

 private:
  // How the text of the list reaches the rules: as it is, converted from
  // UTF-8 (UTF-16 is read as UTF-8), or translated byte for byte from
  // another code page.
  enum class Reading { AsIs, Utf8, Translated };

  bool StartAtFirstLine(Lookup* failure);
  Lookup Failed(Lookup failure);
  bool DecideEncoding();
  bool DecideWithoutMark();
  void ReadAs(Reading reading, std::string name, std::string why);
  void Translate(const CodePage& from, std::string why);
  bool FindOutWhetherAReply();
  bool FindOutWhetherItWraps();
  template <bool kUtf8>
  bool Scan(std::string_view key, std::string_view* found);
  std::optional<EchoListFormat> FormatThatFits();
  std::string_view Converted(std::string_view raw);

  ShortString path_;
  EchoListFormat format_ = EchoListFormat::FastEcho;
  EchoListEncoding encoding_ = EchoListEncoding::Auto;
  const CodePage* codePage_ = &CodePage::Cp866();
  TextFile file_;
  bool encodingDecided_ = false;
  Reading reading_ = Reading::AsIs;
  // NA, FIDOCONFIG and AREAFIX lines are read whole (a hub's EchoArea line
  // lists hundreds of links); FASTECHO ones to their 255th character.
  bool wholeLines_ = false;
  bool isAReply_ = false;
  // An AREAFIX list has a quoted description that goes on over lines.
  bool wraps_ = true;
  bool sawEntry_ = false;  // some line of the list is an entry of its format
  bool toldNoEntry_ = false;
  std::uint32_t lastError_ = 0;
  EchoListNotices notices_;
  // The quick look reads the list's own bytes as they become.
  echo_list::RawBytes raw_{};
  std::array<unsigned char, 256> translation_{};  // the list's code page into the node's
  echo_list::AreafixWrap wrap_;
  std::unique_ptr<char[]> converted_;  // a line in the node's code page
  std::size_t convertedCapacity_ = 0;
  std::size_t convertedLimit_ = ShortString::kCapacity;  // characters of a line read
};
