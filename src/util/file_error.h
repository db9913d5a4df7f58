// A failed operation on a file, and the words that tell the sysop why. The
// reason reads the same on both builds ("access denied", "in use by another
// program", ...); a relative path is followed by the full path the program
// resolved it to, so that the sysop knows where it looked.
#pragma once

#include <cstdint>

#include "util/short_string.h"

struct FileError {
  FileError() = default;
  FileError(const ShortString& path, std::uint32_t code) : path(path), code(code) {}
  // The program's own reason, where no error code tells it.
  FileError(const ShortString& path, const char* reason) : path(path), reason(reason) {}

  bool Failed() const { return code != 0 || !reason.empty(); }

  ShortString path;        // as the settings or the program name it
  std::uint32_t code = 0;  // the operating system's error code
  ShortString reason;
};

// The reason for `code` on `path`: "no such file" becomes "no such
// directory" when it is a directory of the path that is missing.
ShortString ReasonWords(const FileError& error);
// " (reason)" after a message that names the path as it is written, with
// the full path in front for a relative one: " (/tmp/fe.cfg: access denied)".
ShortString Because(const FileError& error);
// " (full path: reason)", for a message that does not name the file.
ShortString Naming(const FileError& error);
// After "PATH not found": nothing for an absolute path whose directory
// exists, else what the sysop needs: " (/tmp/fe.cfg)", " (no such
// directory)", " (/tmp/fe/fe.cfg: no such directory)".
ShortString WhereNotFound(const FileError& error);
// The full path of `path`, or `path` itself when it cannot be resolved.
ShortString FullPath(const ShortString& path);
