// The echo list: a text file pairing area tags with descriptions, in one of
// two formats:
//   [HOLD|DOWN],TAG,Description[,more fields]   (FastEcho's lists)
//   TAG  Description                            (the backbone's .NA files)
// Every lookup reads it from its first line; the first line whose tag
// matches decides. The file stays open from the first lookup until Close:
// opening a file for every area costs more than reading it on Windows.
#pragma once

#include <cstdint>

#include "driver/fastecho_layout.h"
#include "settings/program_settings.h"
#include "util/short_string.h"
#include "util/text_file.h"

using Description = std::uint8_t[fastecho::kDescriptionWidth];

class EchoListFile {
 public:
  // A large buffer: each lookup may read the whole file.
  static constexpr std::uint32_t kBufferSize = 64 * 1024;

  EchoListFile() : file_(kBufferSize) {}
  // Binds the file, closing one a lookup left open; nothing is opened. An
  // empty path names no file.
  void Bind(const ShortString& path, EchoListFormat format = EchoListFormat::FastEcho) {
    Close();
    path_ = path;
    format_ = format;
  }
  const ShortString& Path() const { return path_; }

  // Fills `description` with the listed description for `tag`, zero-padded
  // to 52 bytes; all zero when the tag is not listed or the file cannot be
  // read. The first lookup opens the file, later ones go back to its start;
  // after a failure the next lookup opens it again. False when a list was
  // named but could not be opened or read (an empty path is no failure).
  bool LookupDescription(const ShortString& tag, Description& description);

  // Closes the file if a lookup left it open.
  void Close();

 private:
  bool StartAtFirstLine();

  ShortString path_;
  EchoListFormat format_ = EchoListFormat::FastEcho;
  TextFile file_;
};
