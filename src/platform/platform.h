// The system's only door to the operating system. Two implementations exist,
// chosen by the build: platform_win32.cpp (kernel32) and platform_posix.cpp.
// Every call reports failure by an operating-system error code (0 = success);
// what a failure means is for the caller to decide.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidHandle = -1;

enum class Access { Read, Write, ReadWrite };
enum class Sharing { None, Read, Write, ReadWrite };
enum class Creation { OpenExisting, CreateAlways };
enum class SeekFrom { Begin, Current, End };

// Path conventions of the build: Windows paths are case-insensitive and are
// upper-cased for display; POSIX paths keep their case.
#ifdef _WIN32
inline constexpr bool kUpcasePaths = true;
inline constexpr char kDirSeparator = '\\';
#else
inline constexpr bool kUpcasePaths = false;
inline constexpr char kDirSeparator = '/';
#endif

// The error code the fault seam reports for an injected failure.
extern const std::uint32_t kInjectedErrorCode;

// Opens `path` with the given access, sharing and creation. The handle is
// inheritable. A directory is never opened as a file.
std::uint32_t OpenFile(const char* path, Access access, Sharing sharing, Creation creation,
                       FileHandle* handle);
std::uint32_t ReadFile(FileHandle handle, void* buffer, std::uint32_t count, std::uint32_t* got);
std::uint32_t WriteFile(FileHandle handle, const void* buffer, std::uint32_t count,
                        std::uint32_t* written);
std::uint32_t SeekFile(FileHandle handle, std::int64_t offset, SeekFrom from,
                       std::int64_t* newPosition);
// Cuts the file at the current file pointer.
std::uint32_t TruncateFile(FileHandle handle);
std::uint32_t CloseFile(FileHandle handle);

// True when both paths name one existing file. POSIX only: on Windows the
// exclusive open of a copy's source already keeps it from being its own
// destination.
bool SameExistingFile(const char* a, const char* b);

// Attribute bits: Windows file attributes, or POSIX permission bits.
bool GetFileAttributes(const char* path, std::uint32_t* attributes);
bool SetFileAttributes(const char* path, std::uint32_t attributes);

// Full path of the running program's own executable file.
std::string ExecutablePath();

// Writes bytes to standard output at once; failures are ignored. Tests may
// install a hook that receives the bytes instead.
void ConsoleWrite(const char* bytes, std::size_t count);
using ConsoleHook = void (*)(const char* bytes, std::size_t count);
void SetConsoleHook(ConsoleHook hook);

struct LocalDateTime {
  int year, month, day, hour, minute, second;
};
// Date and time from one reading of the local clock.
LocalDateTime LocalNow();

// Ends the process. Tests may install a hook that leaves by throwing instead.
[[noreturn]] void ExitProcess(int exitCode);
using ExitHook = void (*)(int exitCode);
void SetExitHook(ExitHook hook);

}  // namespace platform
