// The echo list: a DOS text file pairing area tags with descriptions,
//   [HOLD|DOWN],TAG,Description[,more fields]
// Every lookup reads it from its first line; the first line whose tag
// matches decides. The file stays open from the first lookup until Close:
// opening a file for every area costs more than reading it on Windows.
#pragma once

#include <cstdint>

#include "driver/fastecho_layout.h"
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
  void Bind(const ShortString& path) {
    Close();
    path_ = path;
  }

  // Fills `description` with the listed description for `tag`, zero-padded
  // to 52 bytes; all zero when the tag is not listed or the file cannot be
  // read. The first lookup opens the file, later ones go back to its start;
  // after a failure the next lookup opens it again.
  void LookupDescription(const ShortString& tag, Description& description);

  // Closes the file if a lookup left it open. Leaves the pending I/O error
  // as it found it.
  void Close();

 private:
  bool StartAtFirstLine();

  ShortString path_;
  TextFile file_;
};
