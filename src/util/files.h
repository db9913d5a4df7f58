// File services: existence test, text and raw opens answering yes or no,
// the whole-file copy, path splitting and the program's own directory.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "util/short_string.h"
#include "util/text_file.h"

bool FileExists(const ShortString& name);

// Each open leaves the file with no I/O error: a failed one answers false.
bool OpenTextRead(TextFile& file, const ShortString& name);
bool OpenTextAppend(TextFile& file, const ShortString& name);
bool OpenTextRewrite(TextFile& file, const ShortString& name);

inline constexpr std::uint32_t kCopyBufferSize = 262144;
// Byte-for-byte copy with the source's attribute bits, except those that
// would keep a later copy from replacing it (read-only, hidden, system);
// false on any failure, and a destination it began to write is removed
// again. Source and destination must be disk files, and never one file.
bool CopyFile(const ShortString& source, const ShortString& destination);

// The steps of CopyFile for a caller that keeps the copy open: `source` is
// read exclusively, so that nobody changes it meanwhile; `destination` is
// created (or emptied) with `sharing` only once the source is open. On
// success the copy stays open in *handle, its attributes not yet set; on
// failure nothing stays open and a destination it began is removed again.
bool CopyIntoNewFile(const ShortString& source, const ShortString& destination,
                     platform::Sharing sharing, platform::FileHandle* handle);
// Gives `destination` the attribute bits of `source`, as CopyFile does;
// failures are ignored.
void CopyAttributes(const ShortString& source, const ShortString& destination);

// Whether the existing file `path` can be opened as asked: it is opened and
// closed again, nothing read or written. For the questions a preview asks.
bool CanOpen(const ShortString& path, platform::Access access, platform::Sharing sharing,
             platform::Target target);
// Whether a file could be put in the place of `path` by the program: true
// when nothing is there, or a disk file it may write.
bool CanReplace(const ShortString& path);

// True when both names lead to one file: the same existing file however
// it is named (relative or absolute, "." and "..", letter case on Windows,
// hard and symbolic links), or, when one does not exist, the same path.
bool SameFile(const ShortString& a, const ShortString& b);

struct PathParts {
  ShortString directory;  // up to and including the last separator
  ShortString name;
  ShortString extension;  // from the last dot after the directory, dot included
};
// Separators are ':' and '\' on Windows, '/' on POSIX.
PathParts SplitPath(const ShortString& path);
ShortString ExtractDir(const ShortString& path);
// Directory of the running program's own file, ending in a separator. It
// must be exact: a cut path would lead to another installation's files.
enum class ProgramDirResult {
  Found,
  Unknown,  // the operating system cannot name the program's file
  TooLong,  // with `room` more characters it would not fit a text value
};
ProgramDirResult ProgramDir(ShortString* dir, std::size_t room = 0);

// Upper-cases a path where the file system ignores case (Windows); on POSIX
// paths keep their case, or the program could not find its own files.
ShortString UpCasePath(const ShortString& path);
