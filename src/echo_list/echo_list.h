// The echo list lookup: the descriptions the list gives the tags of the
// areas, read in one pass over the list. The walk over the area records
// first says which tags it will look up (Expect); the first lookup reads
// the list once, from its first line to its end, and keeps the answer of
// each of those tags only, so that a run costs the list's lines plus its
// areas, whatever their number. Each tag gets what a reading of the list
// from its top gives: the first line that decides it, by the full rule of
// the list's format, in the list's encoding. A tag that was not expected
// (the FastEcho file changed meanwhile) gets a pass of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>

#include "echo_list/list_encoding.h"
#include "echo_list/list_format.h"
#include "util/code_page.h"
#include "util/short_string.h"
#include "util/text_file.h"

// What the sysop should learn about the list, told once a run, at the
// first lookup.
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
  // The list holds no entry of its format; `fits` names another format
  // that finds entries in it, if one does.
  bool holdsNoEntry = false;
  std::optional<EchoListFormat> fits;
  // The list is an archive (`archive` names it, "a zip archive"), or holds
  // NUL bytes and is no UTF-16: no text list. It gives no description.
  const char* archive = nullptr;
  bool noText = false;
  // Entries read in the node's code page show box drawing next to letters:
  // the list may be in another code page.
  bool garbled = false;
  // Lines that hold bytes above 0x7F, and those of them with bytes that
  // are no character of the encoding they are read in.
  std::uint32_t highLines = 0;
  std::uint32_t undecodableLines = 0;
  // The encoding set for the list (UTF-8, UTF-16) fails on most such lines.
  bool notInSetting = false;
};

class EchoListFile {
 public:
  static constexpr std::uint32_t kBufferSize = 128 * 1024;

  EchoListFile() : file_(kBufferSize) {}
  // Binds the list and forgets what was read; nothing is opened. An empty
  // path names no list: every lookup finds nothing.
  void Bind(const ShortString& path, EchoListFormat format = EchoListFormat::FastEcho,
            EchoListEncoding encoding = EchoListEncoding::Auto, const CodePage& codePage = CodePage::Cp866());
  const ShortString& Path() const { return path_; }
  EchoListFormat Format() const { return format_; }

  // A tag that a lookup will ask for: the pass keeps its answer.
  void Expect(const ShortString& tag);

  enum class Lookup {
    Answered,     // the list was read (or none is named)
    Unavailable,  // the list is missing or refused: no area gets a description from it this run
    Failed,       // the list could not be opened or read otherwise
    // The list's description for the tag is mostly characters its encoding
    // could not give in the node's code page (they would be '?'): it is
    // not given. RefusedEncoding names what it was read as.
    NotInEncoding,
  };
  // Fills `field` with the listed description for `tag`, cut to the field's
  // size or zero-padded to it; all zero when the list does not describe the
  // tag or was not read. The first lookup reads the list.
  Lookup LookupDescription(const ShortString& tag, std::span<std::uint8_t> field);
  // The operating system's code for the failure a lookup answered.
  std::uint32_t LastError() const { return lastError_; }
  // What the description a lookup answered NotInEncoding was read as:
  // "UTF-8", "code page 1251", ...
  const std::string& RefusedEncoding() const { return refusedEncoding_; }
  // The notices gathered since the last call.
  EchoListNotices TakeNotices();

 private:
  struct Answer {
    bool pending = true;  // no pass has read the list for it yet
    bool decided = false;
    std::string description;  // its first 255 bytes, kUnconverted where a character had none
    LineConverter::LineWay way = LineConverter::LineWay::AsIs;  // what its line was read as
  };

  std::string Folded(std::string_view tag) const;
  Lookup Pass();
  bool Open();
  void ReadLines();
  void Take(const ListEntry& entry, LineConverter::LineWay way);
  std::string NameOf(LineConverter::LineWay way) const;
  void EndPass();

  ShortString path_;
  EchoListFormat format_ = EchoListFormat::FastEcho;
  EchoListEncoding encoding_ = EchoListEncoding::Auto;
  const CodePage* codePage_ = &CodePage::Cp866();
  TextFile file_;
  std::unordered_map<std::string, Answer> answers_;  // by the tag folded
  std::string key_;  // an entry's tag folded, reused line after line
  bool passed_ = false;  // the first pass is done: what the list is is known
  bool unavailable_ = false;
  bool givesNothing_ = false;  // a reply read as NA, or no text list
  std::uint32_t lastError_ = 0;
  std::string refusedEncoding_;
  ListReading reading_;
  EchoListNotices notices_;
};
