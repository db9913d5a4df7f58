// The system's only door to the operating system. Two implementations exist,
// chosen by the build: platform_win32.cpp (kernel32) and platform_posix.cpp.
// Every call reports failure by an operating-system error code (0 = success);
// what a failure means is for the caller to decide.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace platform {

using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidHandle = -1;

// ReadAppend: read anywhere, write only at the end (AppendFile), as a log
// shared with other writers needs. Such a handle can neither overwrite nor
// shorten the file: POSIX opens it with O_APPEND, Windows with
// FILE_APPEND_DATA and without FILE_WRITE_DATA, each the system's own way
// of appending in one step.
enum class Access { Read, Write, ReadWrite, ReadAppend };
// Others may open the file too (ReadWrite), or none may (None).
enum class Sharing { None, ReadWrite };
// CreateNew: only a file that does not exist yet (kAlreadyExists else).
enum class Creation { OpenExisting, CreateAlways, CreateNew };
enum class SeekFrom { Begin, End };

// Conventions of the build: Windows paths are case-insensitive and are
// upper-cased for display, POSIX paths keep their case; console lines end
// as the platform's own text does; options may be written as DOS taught
// users (/?, /N, /l: a slash and either case) only on Windows, since on
// POSIX "/n" could be a file name. Text files read by the program follow
// one rule on both builds (util/text_file.h).
// ReadFileAt and WriteFileAt leave the file pointer past the bytes they
// moved on Windows, and where it was on POSIX.
#ifdef _WIN32
inline constexpr bool kPositionedIoMovesFilePointer = true;
#else
inline constexpr bool kPositionedIoMovesFilePointer = false;
#endif

#ifdef _WIN32
inline constexpr bool kUpcasePaths = true;
inline constexpr char kDirSeparator = '\\';
inline constexpr const char* kConsoleLineEnd = "\r\n";
inline constexpr std::string_view kDirSeparators = ":\\";
inline constexpr bool kDosOptions = true;
#else
inline constexpr bool kUpcasePaths = false;
inline constexpr char kDirSeparator = '/';
inline constexpr const char* kConsoleLineEnd = "\n";
inline constexpr std::string_view kDirSeparators = "/";
inline constexpr bool kDosOptions = false;
#endif

// What ends a path's directory part.
constexpr bool IsDirSeparator(char c) { return kDirSeparators.find(c) != std::string_view::npos; }

// Whether an open accepts something other than a disk file (a device, a
// pipe, a socket). Files the system reads as data must be disk files: a
// console or a FIFO would block the run for ever.
enum class Target { DiskFile, AnyFile };

// The error code the fault seam reports for an injected failure.
extern const std::uint32_t kInjectedErrorCode;
// The code of an open refused because another opener's sharing forbids it
// (32, as Windows reports a sharing violation, on both builds).
inline constexpr std::uint32_t kSharingViolation = 32;
// The code of an open refused because the name is not a disk file.
extern const std::uint32_t kNotADiskFile;
// The code of a write the disk took only in part: it is full.
extern const std::uint32_t kDiskFull;
// The code of an operation on a handle that is not open for it.
extern const std::uint32_t kNotOpen;
// The code of a read or write the device failed.
extern const std::uint32_t kIoError;
// The code of a CreateNew open of a name that exists.
extern const std::uint32_t kAlreadyExists;

// What an error code says, in the words the messages of both builds use.
enum class ErrorKind {
  NoSuchFile,
  NoSuchDirectory,  // a directory of the path is missing
  AccessDenied,
  InUse,  // a sharing violation, or another program's lock
  IsDirectory,
  NotADiskFile,
  DiskFull,
  ReadOnlyFileSystem,
  IoError,
  Other,
};
ErrorKind KindOfError(std::uint32_t code);

// Makes the process safe to run in whatever surroundings started it, before
// any file is opened: standard handles that are closed or invalid never
// become files the program opens, a closed pipe on standard output does
// not end the process, and (Windows) file names are taken in the OEM code
// page and a missing drive fails an open instead of asking the user.
void PrepareProcess();

// Attributes for OpenFile's new files: as the system gives new files.
inline constexpr std::uint32_t kSystemDefaultAttributes = 0xFFFFFFFF;

// Opens `path` with the given access, sharing and creation. The handle is
// inheritable. A directory is never opened as a file, and with
// Target::DiskFile nothing but a disk file is opened, without blocking.
// Sharing is enforced between processes on both builds (POSIX: flock,
// honouring other programs' flock and fcntl locks too); a conflict fails
// with kSharingViolation, and CreateAlways then empties nothing. An open
// that created the file and then fails removes it again.
// `newFileAttributes` (CreateAlways): POSIX gives the file these permission
// bits from the moment it exists (an emptied one before it holds a byte
// again), so that it is never readable by more users than they allow;
// Windows sets attributes only by name (SetFileAttributes) and ignores them.
std::uint32_t OpenFile(const char* path, Access access, Sharing sharing, Creation creation,
                       Target target, FileHandle* handle,
                       std::uint32_t newFileAttributes = kSystemDefaultAttributes);
// At the file pointer, which moves past the bytes.
std::uint32_t ReadFile(FileHandle handle, void* buffer, std::uint32_t count, std::uint32_t* got);
std::uint32_t WriteFile(FileHandle handle, const void* buffer, std::uint32_t count,
                        std::uint32_t* written);
// At `offset` from the start of the file: one call on POSIX (pread,
// pwrite), two on Windows (SetFilePointer, then ReadFile or WriteFile).
// Reading at or past the end gets 0 bytes. Where the file pointer stands
// afterwards differs by build: see kPositionedIoMovesFilePointer.
std::uint32_t ReadFileAt(FileHandle handle, std::int64_t offset, void* buffer, std::uint32_t count,
                         std::uint32_t* got);
std::uint32_t WriteFileAt(FileHandle handle, std::int64_t offset, const void* buffer,
                          std::uint32_t count, std::uint32_t* written);
// Writes at the end of the file as it is at this moment, wherever the file
// pointer stands, so that text other programs append meanwhile is never
// overwritten. For a handle opened with Access::ReadAppend.
std::uint32_t AppendFile(FileHandle handle, const void* buffer, std::uint32_t count,
                         std::uint32_t* written);
std::uint32_t SeekFile(FileHandle handle, std::int64_t offset, SeekFrom from,
                       std::int64_t* newPosition);
// Cuts the file at the current file pointer.
std::uint32_t TruncateFile(FileHandle handle);
// Brings what was written through the handle to the disk itself
// (fsync, FlushFileBuffers): after a failure it may never get there. Any
// handle that may write does (an append-only one too); a handle that is no
// disk file (a device, a pipe) has nothing to bring there: 0.
std::uint32_t FlushFile(FileHandle handle);
std::uint32_t CloseFile(FileHandle handle);

// The identity of an existing file, the same however it is named (another
// spelling of its path, a hard link, a symbolic link).
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
};
// 0, or why the identity is not known: IsNotFound tells a name that does
// not exist from a lookup that failed, kNotADiskFile a device (Windows:
// NUL, CON), which has none.
std::uint32_t GetFileId(const char* path, FileId* id);
// Whether `code` says that a path names nothing (no such file or directory).
bool IsNotFound(std::uint32_t code);
// The absolute form of `path`, with "." and ".." resolved (POSIX: and the
// symbolic links of its directory, where it exists); the file itself need
// not exist. Empty when it cannot be worked out.
std::string FullPathName(const char* path);

// Puts the file `from` in the place of `to` in one step, replacing a file
// of that name: nobody ever finds `to` missing or half there. Both lie in
// one directory.
std::uint32_t RenameFile(const char* from, const char* to);
std::uint32_t RemoveFile(const char* path);
// Brings the directory entries of `directory` (empty: the current one) to
// the disk, after a file was renamed or created there (POSIX fsync of the
// directory; Windows does this with the file system's own journal: 0).
std::uint32_t FlushDirectory(const char* directory);
bool IsDirectory(const char* path);
// Whether the program could create files in the directory `path` (empty:
// the current directory), asked without creating anything: 0, or why not.
// POSIX asks the permissions; Windows can only tell that the directory
// exists.
std::uint32_t CheckDirectoryWritable(const char* path);

// Attribute bits: Windows file attributes, or POSIX permission bits. Each
// returns 0 or the error code.
std::uint32_t GetFileAttributes(const char* path, std::uint32_t* attributes);
std::uint32_t SetFileAttributes(const char* path, std::uint32_t attributes);
// `attributes` without what would keep the program itself from replacing
// the file later: Windows drops read-only, hidden and system (a rename
// cannot replace such a file); POSIX keeps the permission bits as they
// are, since a rename replaces a file whatever they say.
std::uint32_t ReplaceableAttributes(std::uint32_t attributes);

// Full path of the running program's own executable file; false when the
// operating system cannot tell it exactly.
bool ExecutablePath(std::string* path);

// Writes bytes to standard output at once; failures (a closed pipe, no
// standard output at all) are ignored. Tests may install a hook that
// receives the bytes instead.
void ConsoleWrite(const char* bytes, std::size_t count);
using ConsoleHook = void (*)(const char* bytes, std::size_t count);
void SetConsoleHook(ConsoleHook hook);
// True when the user's terminal expects UTF-8 (POSIX: the locale the
// environment names, by LocaleNamesUtf8); false on Windows, whose console
// shows the OEM code page.
bool ConsoleUsesUtf8();

// Whether the locale that LC_ALL, LC_CTYPE and LANG name (each null when
// unset) has the character set UTF-8: the first of them that is set and not
// empty counts, and its code set, after the '.' and before any '@', must be
// "UTF-8" or "utf8" in any case ("C.UTF-8", "ru_RU.utf8@euro"). Decided from
// the names alone: a statically linked program has no locale files to ask.
constexpr bool LocaleNamesUtf8(const char* lcAll, const char* lcCtype, const char* lang) {
  std::string_view name;
  for (const char* value : {lcAll, lcCtype, lang}) {
    if (value && *value) {
      name = value;
      break;
    }
  }
  name = name.substr(0, name.find('@'));  // language[_territory][.codeset][@modifier]
  const std::size_t dot = name.find('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view codeSet = name.substr(dot + 1);
  auto equalsFolded = [](std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
      if (c != lower[i]) return false;
    }
    return true;
  };
  return equalsFolded(codeSet, "utf-8") || equalsFolded(codeSet, "utf8");
}

// Lets `milliseconds` pass doing nothing (a short wait for a file that
// another program holds).
void Wait(std::uint32_t milliseconds);

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
