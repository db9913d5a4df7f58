// Paths as the operating system reads them, and as the messages show them.
#pragma once

#include <cstddef>
#include <string_view>

#include "util/short_string.h"

// The length of the directory part of `path`, up to and including its last
// separator ('\', ':' and '/' on Windows, which takes '/' too; '/' on
// POSIX); 0 for a name alone.
std::size_t DirectoryLength(std::string_view path);
inline std::string_view DirectoryPart(std::string_view path) { return path.substr(0, DirectoryLength(path)); }

// Upper-cases a path where the file system ignores case (Windows); on POSIX
// paths keep their case, or the program could not find its own files.
ShortString UpCasePath(const ShortString& path);
