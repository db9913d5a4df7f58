#include "util/file_error.h"

#include <string>

#include "platform/platform.h"
#include "util/path.h"
#include "util/strings.h"

namespace {

// Whether the directory that holds `path` is missing (a missing file, not
// a missing directory, is the common case and says nothing more).
bool DirectoryMissing(const ShortString& path) {
  const std::string full = platform::FullPathName(path.CStr().c_str());
  if (full.empty()) return true;  // its directory cannot be resolved: it is not there
  const std::size_t length = DirectoryLength(full);
  return length != 0 && !platform::IsDirectory(full.substr(0, length).c_str());
}

// Whether the path as written is already the full one.
bool WrittenInFull(const ShortString& path) { return UpCasePath(FullPath(path)) == UpCasePath(path).view(); }

}  // namespace

ShortString FullPath(const ShortString& path) {
  const std::string full = platform::FullPathName(path.CStr().c_str());
  return full.empty() ? path : ShortString(full);
}

ShortString ReasonWords(const FileError& error) {
  if (!error.reason.empty()) return error.reason;
  switch (platform::KindOfError(error.code)) {
    case platform::ErrorKind::NoSuchFile:
      return DirectoryMissing(error.path) ? "no such directory" : "no such file";
    case platform::ErrorKind::NoSuchDirectory: return "no such directory";
    case platform::ErrorKind::AccessDenied: return "access denied";
    case platform::ErrorKind::InUse: return "in use by another program";
    case platform::ErrorKind::IsDirectory: return "is a directory";
    case platform::ErrorKind::NotADiskFile: return "not a disk file";
    case platform::ErrorKind::DiskFull: return "disk full";
    case platform::ErrorKind::ReadOnlyFileSystem: return "read-only file system";
    case platform::ErrorKind::IoError: return "input/output error";
    case platform::ErrorKind::Other: break;
  }
  return ShortString("system error ") + NumToStr(error.code);
}

ShortString Because(const FileError& error) {
  if (WrittenInFull(error.path)) return ShortString(" (") + ReasonWords(error) + ")";
  return Naming(error);
}

ShortString Naming(const FileError& error) {
  return ShortString(" (") + UpCasePath(FullPath(error.path)) + ": " + ReasonWords(error) + ")";
}

ShortString WhereNotFound(const FileError& error) {
  const bool directoryMissing = ReasonWords(error) == std::string_view("no such directory");
  if (WrittenInFull(error.path)) return directoryMissing ? " (no such directory)" : "";
  return directoryMissing ? Naming(error) : ShortString(" (") + UpCasePath(FullPath(error.path)) + ")";
}
