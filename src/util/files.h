// File services: existence test, text and raw opens answering yes or no,
// the whole-file copy, path splitting and the program's own directory.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "util/file_error.h"
#include "util/path.h"
#include "util/short_string.h"
#include "util/text_file.h"

// 0 when `name` exists (a directory too); otherwise why it cannot be found
// (platform::IsNotFound tells a missing name from a failed lookup).
std::uint32_t FileStatus(const ShortString& name);
bool FileExists(const ShortString& name);

// Each open leaves the file with no I/O error: a failed one answers false
// and, when asked, puts the reason in *error.
bool OpenTextRead(TextFile& file, const ShortString& name, std::uint32_t* error = nullptr);
bool OpenTextAppend(TextFile& file, const ShortString& name, std::uint32_t* error = nullptr);
bool OpenTextRewrite(TextFile& file, const ShortString& name, std::uint32_t* error = nullptr);
// A text file that does not exist yet, for appending (the log).
bool OpenTextCreate(TextFile& file, const ShortString& name, std::uint32_t* error = nullptr);

inline constexpr std::uint32_t kCopyBufferSize = 262144;
// Byte-for-byte copy with the source's attribute bits, except those that
// would keep a later copy from replacing it (Windows: read-only, hidden,
// system); false on any failure, and a destination it began to write is
// removed again. Source and destination must be disk files, and never one
// file.
bool CopyFile(const ShortString& source, const ShortString& destination);

// The steps of CopyFile for a caller that keeps the copy open: `source` is
// read exclusively, so that nobody changes it meanwhile; `destination` is
// created (or emptied) with `sharing` only once the source is open, and
// (POSIX) with the source's permission bits from the start. On success the
// copy stays open in *handle, its attributes not yet set by name; on
// failure nothing stays open, a destination it began is removed again, and
// the result names the file that failed and why.
FileError CopyIntoNewFile(const ShortString& source, const ShortString& destination,
                          platform::Sharing sharing, platform::FileHandle* handle);
// Gives `destination` the attribute bits of `source`, as CopyFile does.
FileError CopyAttributes(const ShortString& source, const ShortString& destination);

// Whether the existing file `path` can be opened as asked: it is opened and
// closed again, nothing read or written. 0, or why not. For the questions
// a preview asks.
std::uint32_t ProbeOpen(const ShortString& path, platform::Access access, platform::Sharing sharing,
                        platform::Target target);
// Whether the files `a` and `b` hold the same bytes: *equal, or the file
// that could not be read and why. Both are read shared with other openers.
FileError CompareContents(const ShortString& a, const ShortString& b, bool* equal);
// Whether a file could be put in the place of `path` by the program: 0
// when nothing is there, or a disk file it may write; otherwise why not.
std::uint32_t ProbeReplace(const ShortString& path);

// Whether two names lead to one file: the same existing file however it is
// named (relative or absolute, "." and "..", letter case on Windows, hard
// and symbolic links), or, when neither exists, the same path. A name that
// does not exist is another file than one that does; when the identity of
// an existing name cannot be looked up, `failure` says which and why, and
// nothing is known.
struct Sameness {
  bool same = false;
  FileError failure;
};
Sameness SameFile(const ShortString& a, const ShortString& b);

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


