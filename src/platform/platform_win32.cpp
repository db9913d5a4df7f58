// Win32 implementation of the platform layer: kernel32 calls only.
#include <windows.h>

#include "platform/fault_injection.h"
#include "platform/platform.h"

#undef GetFileAttributes
#undef SetFileAttributes

namespace platform {

const std::uint32_t kInjectedErrorCode = ERROR_GEN_FAILURE;
const std::uint32_t kNotADiskFile = ERROR_BAD_FILE_TYPE;
const std::uint32_t kDiskFull = ERROR_DISK_FULL;
const std::uint32_t kNotOpen = ERROR_INVALID_HANDLE;
const std::uint32_t kIoError = ERROR_IO_DEVICE;
const std::uint32_t kAlreadyExists = ERROR_FILE_EXISTS;
static_assert(kSharingViolation == ERROR_SHARING_VIOLATION);

ErrorKind KindOfError(std::uint32_t code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_NAME:  // a name no file can have: "*", say
    case ERROR_INVALID_DRIVE: return ErrorKind::NoSuchFile;
    case ERROR_PATH_NOT_FOUND: return ErrorKind::NoSuchDirectory;
    case ERROR_ACCESS_DENIED: return ErrorKind::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return ErrorKind::InUse;
    case ERROR_DIRECTORY: return ErrorKind::IsDirectory;
    case ERROR_BAD_FILE_TYPE: return ErrorKind::NotADiskFile;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ErrorKind::DiskFull;
    case ERROR_WRITE_PROTECT: return ErrorKind::ReadOnlyFileSystem;
    case ERROR_GEN_FAILURE:
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT: return ErrorKind::IoError;
    default: return ErrorKind::Other;
  }
}

namespace {

ExitHook g_exitHook = nullptr;
ConsoleHook g_consoleHook = nullptr;

// Standard output as it was when the process started. A handle that was
// invalid then is never used: its value could later belong to a file the
// program opens.
HANDLE g_standardOutput = INVALID_HANDLE_VALUE;
bool g_standardOutputChecked = false;

HANDLE ValidStandardOutput() {
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  ::SetLastError(NO_ERROR);
  if (::GetFileType(out) == FILE_TYPE_UNKNOWN && ::GetLastError() != NO_ERROR)
    return INVALID_HANDLE_VALUE;
  return out;
}

HANDLE StandardOutput() {
  if (!g_standardOutputChecked) {
    g_standardOutput = ValidStandardOutput();
    g_standardOutputChecked = true;
  }
  return g_standardOutput;
}

HANDLE ToHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }

DWORD DesiredAccess(Access access) {
  switch (access) {
    case Access::Read: return GENERIC_READ;
    case Access::Write: return GENERIC_WRITE;
    // Without FILE_WRITE_DATA every write goes to the end of the file as it
    // is then, in one step, wherever the file pointer stands: what the
    // system documents as appending (O_APPEND's counterpart). Such a handle
    // cannot shorten the file either.
    case Access::ReadAppend: return GENERIC_READ | FILE_APPEND_DATA;
    case Access::ReadWrite: break;
  }
  return GENERIC_READ | GENERIC_WRITE;
}

DWORD ShareMode(Sharing sharing) {
  return sharing == Sharing::None ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
}

}  // namespace

void PrepareProcess() {
  // Names from the settings file and the module path are OEM text, as the
  // console and the text files are.
  ::SetFileApisToOEM();
  // An empty removable drive or a lost network drive fails the open
  // instead of raising a message box nobody is there to click.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  StandardOutput();
}

std::uint32_t OpenFile(const char* path, Access access, Sharing sharing, Creation creation,
                       Target target, FileHandle* handle, std::uint32_t) {
  *handle = kInvalidHandle;
  if (faults::Trip(faults::Op::Open)) return kInjectedErrorCode;
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = TRUE;
  const DWORD disposition = creation == Creation::OpenExisting ? OPEN_EXISTING
                            : creation == Creation::CreateAlways ? CREATE_ALWAYS
                                                                 : CREATE_NEW;
  HANDLE h = ::CreateFileA(path, DesiredAccess(access), ShareMode(sharing), &security,
                           disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // Windows refuses a directory as access denied: say what it is, as POSIX does.
    return error == ERROR_ACCESS_DENIED && IsDirectory(path) ? ERROR_DIRECTORY : error;
  }
  // CREATE_ALWAYS tells of a file that was there already; CREATE_NEW opens
  // none that was.
  const bool created = creation == Creation::CreateNew ||
                       (creation == Creation::CreateAlways && ::GetLastError() != ERROR_ALREADY_EXISTS);
  // A console, a serial port or a pipe would wait for input for ever.
  std::uint32_t error = 0;
  if (faults::Trip(faults::Op::OpenCheck)) {
    error = kInjectedErrorCode;
  } else if (target == Target::DiskFile) {
    ::SetLastError(NO_ERROR);
    const DWORD type = ::GetFileType(h);
    if (type == FILE_TYPE_UNKNOWN && ::GetLastError() != NO_ERROR) error = ::GetLastError();
    else if (type != FILE_TYPE_DISK) error = kNotADiskFile;
  }
  if (error != 0) {
    ::CloseHandle(h);
    if (created) ::DeleteFileA(path);  // an open that fails leaves nothing behind
    return error;
  }
  *handle = reinterpret_cast<FileHandle>(h);
  return 0;
}

std::uint32_t ReadFile(FileHandle handle, void* buffer, std::uint32_t count, std::uint32_t* got) {
  *got = 0;
  if (faults::Trip(faults::Op::Read)) return kInjectedErrorCode;
  DWORD n = 0;
  if (!::ReadFile(ToHandle(handle), buffer, count, &n, nullptr)) return ::GetLastError();
  *got = n;
  return 0;
}

std::uint32_t WriteFile(FileHandle handle, const void* buffer, std::uint32_t count,
                        std::uint32_t* written) {
  *written = 0;
  if (faults::WriteFails(&count)) return kInjectedErrorCode;
  DWORD n = 0;
  if (!::WriteFile(ToHandle(handle), buffer, count, &n, nullptr)) return ::GetLastError();
  *written = n;
  return 0;
}

namespace {

// The file pointer to `offset`, for a read or write that follows at once.
// (A ReadFile or WriteFile that names its offset in an OVERLAPPED would be
// one call, but wine makes each such call a round trip to its server, some
// fifty times the cost of this pair: and wine is where the program is
// tested and measured.)
std::uint32_t PlacePointer(FileHandle handle, std::int64_t offset) {
  LONG high = static_cast<LONG>(offset >> 32);
  ::SetLastError(NO_ERROR);
  if (::SetFilePointer(ToHandle(handle), static_cast<LONG>(offset & 0xFFFFFFFF), &high, FILE_BEGIN) ==
          INVALID_SET_FILE_POINTER &&
      ::GetLastError() != NO_ERROR)
    return ::GetLastError();
  return 0;
}

}  // namespace

std::uint32_t ReadFileAt(FileHandle handle, std::int64_t offset, void* buffer, std::uint32_t count,
                         std::uint32_t* got) {
  *got = 0;
  if (const std::uint32_t error = PlacePointer(handle, offset)) return error;
  return ReadFile(handle, buffer, count, got);
}

std::uint32_t WriteFileAt(FileHandle handle, std::int64_t offset, const void* buffer,
                          std::uint32_t count, std::uint32_t* written) {
  *written = 0;
  if (const std::uint32_t error = PlacePointer(handle, offset)) return error;
  return WriteFile(handle, buffer, count, written);
}

std::uint32_t AppendFile(FileHandle handle, const void* buffer, std::uint32_t count,
                         std::uint32_t* written) {
  // The handle may only append (FILE_APPEND_DATA alone): the write lands at
  // the end of the file whatever the file pointer says.
  return WriteFile(handle, buffer, count, written);
}

std::uint32_t SeekFile(FileHandle handle, std::int64_t offset, SeekFrom from,
                       std::int64_t* newPosition) {
  if (faults::Trip(faults::Op::Seek)) return kInjectedErrorCode;
  const DWORD method = from == SeekFrom::Begin ? FILE_BEGIN : FILE_END;
  LONG high = static_cast<LONG>(offset >> 32);
  ::SetLastError(NO_ERROR);
  const DWORD low = ::SetFilePointer(ToHandle(handle), static_cast<LONG>(offset & 0xFFFFFFFF),
                                     &high, method);
  if (low == INVALID_SET_FILE_POINTER) {
    const DWORD error = ::GetLastError();
    if (error != NO_ERROR) return error;
  }
  if (newPosition) *newPosition = (static_cast<std::int64_t>(high) << 32) | low;
  return 0;
}

std::uint32_t TruncateFile(FileHandle handle) {
  if (faults::Trip(faults::Op::Truncate)) return kInjectedErrorCode;
  return ::SetEndOfFile(ToHandle(handle)) ? 0 : ::GetLastError();
}

std::uint32_t FlushFile(FileHandle handle) {
  if (faults::Trip(faults::Op::Flush)) return kInjectedErrorCode;
  // A console or NUL keeps nothing, and FlushFileBuffers on a pipe would
  // wait for its reader.
  if (::GetFileType(ToHandle(handle)) != FILE_TYPE_DISK) return 0;
  // FILE_APPEND_DATA is write access enough for it, as FILE_WRITE_DATA is.
  return ::FlushFileBuffers(ToHandle(handle)) ? 0 : ::GetLastError();
}

std::uint32_t CloseFile(FileHandle handle) {
  if (faults::Trip(faults::Op::Close)) {
    ::CloseHandle(ToHandle(handle));  // the handle is gone either way
    return kInjectedErrorCode;
  }
  return ::CloseHandle(ToHandle(handle)) ? 0 : ::GetLastError();
}

std::uint32_t GetFileId(const char* path, FileId* id) {
  if (faults::Trip(faults::Op::Identify)) return kInjectedErrorCode;
  // Asks for no access, so that no other opener's sharing stands in the
  // way; a directory opens only with backup semantics.
  const auto open = [path](DWORD flags) {
    return ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, flags, nullptr);
  };
  HANDLE h = open(FILE_ATTRIBUTE_NORMAL);
  if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED && IsDirectory(path))
    h = open(FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS);
  if (h == INVALID_HANDLE_VALUE) return ::GetLastError();
  // A device (NUL, CON) has no identity on a volume.
  std::uint32_t error = ::GetFileType(h) == FILE_TYPE_DISK ? 0 : kNotADiskFile;
  BY_HANDLE_FILE_INFORMATION info;
  if (error == 0 && !::GetFileInformationByHandle(h, &info)) error = ::GetLastError();
  ::CloseHandle(h);  // opened only to ask: its close loses nothing
  if (error != 0) return error;
  *id = {info.dwVolumeSerialNumber,
         static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
  return 0;
}

bool IsNotFound(std::uint32_t code) {
  const ErrorKind kind = KindOfError(code);
  return kind == ErrorKind::NoSuchFile || kind == ErrorKind::NoSuchDirectory;
}

std::string FullPathName(const char* path) {
  char buffer[MAX_PATH];
  const DWORD n = ::GetFullPathNameA(path, sizeof buffer, buffer, nullptr);
  if (n == 0 || n >= sizeof buffer) return {};
  return std::string(buffer, n);
}

std::uint32_t RenameFile(const char* from, const char* to) {
  if (faults::Trip(faults::Op::Rename)) return kInjectedErrorCode;
  return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) ? 0 : ::GetLastError();
}

std::uint32_t RemoveFile(const char* path) {
  if (faults::Trip(faults::Op::Remove)) return kInjectedErrorCode;
  return ::DeleteFileA(path) ? 0 : ::GetLastError();
}

std::uint32_t FlushDirectory(const char*) {
  if (faults::Trip(faults::Op::Flush)) return kInjectedErrorCode;
  return 0;
}

bool IsDirectory(const char* path) {
  const DWORD value = ::GetFileAttributesA(path);
  return value != INVALID_FILE_ATTRIBUTES && (value & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::uint32_t CheckDirectoryWritable(const char* path) {
  // Rights on a directory are an access control list that kernel32 cannot
  // ask about without trying; a directory that exists is the best answer.
  const DWORD value = ::GetFileAttributesA(*path == '\0' ? "." : path);
  if (value == INVALID_FILE_ATTRIBUTES) return ::GetLastError();
  return (value & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ERROR_PATH_NOT_FOUND;
}

std::uint32_t GetFileAttributes(const char* path, std::uint32_t* attributes) {
  if (faults::Trip(faults::Op::Identify)) return kInjectedErrorCode;
  const DWORD value = ::GetFileAttributesA(path);
  if (value == INVALID_FILE_ATTRIBUTES) return ::GetLastError();
  *attributes = value;
  return 0;
}

std::uint32_t SetFileAttributes(const char* path, std::uint32_t attributes) {
  if (faults::Trip(faults::Op::SetAttributes)) return kInjectedErrorCode;
  return ::SetFileAttributesA(path, attributes) ? 0 : ::GetLastError();
}

std::uint32_t ReplaceableAttributes(std::uint32_t attributes) {
  attributes &= ~static_cast<std::uint32_t>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                            FILE_ATTRIBUTE_SYSTEM);
  return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

bool ExecutablePath(std::string* path) {
  char buffer[MAX_PATH];
  const DWORD n = ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  // A path that fills the buffer was cut.
  if (n == 0 || n >= sizeof buffer) return false;
  path->assign(buffer, n);
  return true;
}

void SetConsoleHook(ConsoleHook hook) { g_consoleHook = hook; }

void ConsoleWrite(const char* bytes, std::size_t count) {
  if (g_consoleHook) return g_consoleHook(bytes, count);
  HANDLE out = StandardOutput();
  if (out == INVALID_HANDLE_VALUE) return;
  while (count > 0) {
    DWORD n = 0;
    if (!::WriteFile(out, bytes, static_cast<DWORD>(count), &n, nullptr) || n == 0) return;
    bytes += n;
    count -= n;
  }
}

bool ConsoleUsesUtf8() { return false; }

LocalDateTime LocalNow() {
  SYSTEMTIME t;
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

void Wait(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

void SetExitHook(ExitHook hook) { g_exitHook = hook; }

void ExitProcess(int exitCode) {
  if (g_exitHook) g_exitHook(exitCode);
  ::ExitProcess(static_cast<UINT>(exitCode));
}

}  // namespace platform
