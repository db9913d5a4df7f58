// File services: existence test, text and raw opens answering yes or no,
// the whole-file copy, path splitting and the program's own directory.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "util/short_string.h"
#include "util/text_file.h"

bool FileExists(const ShortString& name);

// Each open clears the pending I/O error first and leaves none behind.
bool OpenTextRead(TextFile& file, const ShortString& name);
bool OpenTextAppend(TextFile& file, const ShortString& name);
bool OpenTextRewrite(TextFile& file, const ShortString& name);

// A file of bytes with no line handling.
struct RawFile {
  ShortString name;
  platform::FileHandle handle = platform::kInvalidHandle;
};
bool OpenRawRead(RawFile& file, const ShortString& name);  // exclusive
bool OpenRawRewrite(RawFile& file, const ShortString& name);
void CloseRaw(RawFile& file);

inline constexpr std::uint32_t kCopyBufferSize = 262144;
// Byte-for-byte copy with the source's attribute bits; false on any failure
// (a partly written destination stays).
bool CopyFile(const ShortString& source, const ShortString& destination);

struct PathParts {
  ShortString directory;  // up to and including the last separator
  ShortString name;
  ShortString extension;  // from the last dot after the directory, dot included
};
// Separators are ':' and '\' on Windows, '/' on POSIX.
PathParts SplitPath(const ShortString& path);
ShortString ExtractDir(const ShortString& path);
// Directory of the running program's own file, ending in a separator.
ShortString ProgramDir();

// Upper-cases a path where the file system ignores case (Windows); on POSIX
// paths keep their case, or the program could not find its own files.
ShortString UpCasePath(const ShortString& path);
