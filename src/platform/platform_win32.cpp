// Win32 implementation of the platform layer: kernel32 calls only.
#include <windows.h>

#include "platform/fault_injection.h"
#include "platform/platform.h"

#undef GetFileAttributes
#undef SetFileAttributes

namespace platform {

const std::uint32_t kInjectedErrorCode = ERROR_GEN_FAILURE;
const std::uint32_t kNotADiskFile = ERROR_BAD_FILE_TYPE;
static_assert(kSharingViolation == ERROR_SHARING_VIOLATION);

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
    case Access::ReadWrite:
    case Access::ReadAppend: break;  // each append names the end as its offset
  }
  return GENERIC_READ | GENERIC_WRITE;
}

// An offset as ReadFile and WriteFile take it on a synchronous handle.
OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
  where.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return where;
}

DWORD ShareMode(Sharing sharing) {
  switch (sharing) {
    case Sharing::None: return 0;
    case Sharing::Read: return FILE_SHARE_READ;
    case Sharing::Write: return FILE_SHARE_WRITE;
    case Sharing::ReadWrite: break;
  }
  return FILE_SHARE_READ | FILE_SHARE_WRITE;
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
                       Target target, FileHandle* handle) {
  *handle = kInvalidHandle;
  if (faults::Trip(faults::Op::Open)) return kInjectedErrorCode;
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = TRUE;
  const DWORD disposition = creation == Creation::OpenExisting ? OPEN_EXISTING : CREATE_ALWAYS;
  HANDLE h = ::CreateFileA(path, DesiredAccess(access), ShareMode(sharing), &security,
                           disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return ::GetLastError();
  // A console, a serial port or a pipe would wait for input for ever.
  if (target == Target::DiskFile && ::GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    return kNotADiskFile;
  }
  *handle = reinterpret_cast<FileHandle>(h);
  return 0;
}

namespace {

// `where` null: at the file pointer.
std::uint32_t ReadAt(FileHandle handle, void* buffer, std::uint32_t count, std::uint32_t* got,
                     OVERLAPPED* where) {
  *got = 0;
  if (faults::Trip(faults::Op::Read)) return kInjectedErrorCode;
  DWORD n = 0;
  if (!::ReadFile(ToHandle(handle), buffer, count, &n, where)) {
    const DWORD error = ::GetLastError();
    // A read at an offset past the end says so by this error, not by 0 bytes.
    return error == ERROR_HANDLE_EOF ? 0 : error;
  }
  *got = n;
  return 0;
}

// `where` null: at the file pointer.
std::uint32_t WriteAt(FileHandle handle, const void* buffer, std::uint32_t count,
                      std::uint32_t* written, OVERLAPPED* where) {
  *written = 0;
  if (faults::WriteFails(&count)) return kInjectedErrorCode;
  DWORD n = 0;
  if (!::WriteFile(ToHandle(handle), buffer, count, &n, where)) return ::GetLastError();
  *written = n;
  return 0;
}

}  // namespace

std::uint32_t ReadFile(FileHandle handle, void* buffer, std::uint32_t count, std::uint32_t* got) {
  return ReadAt(handle, buffer, count, got, nullptr);
}

std::uint32_t WriteFile(FileHandle handle, const void* buffer, std::uint32_t count,
                        std::uint32_t* written) {
  return WriteAt(handle, buffer, count, written, nullptr);
}

std::uint32_t ReadFileAt(FileHandle handle, std::int64_t offset, void* buffer, std::uint32_t count,
                         std::uint32_t* got) {
  OVERLAPPED where = At(static_cast<std::uint64_t>(offset));
  return ReadAt(handle, buffer, count, got, &where);
}

std::uint32_t WriteFileAt(FileHandle handle, std::int64_t offset, const void* buffer,
                          std::uint32_t count, std::uint32_t* written) {
  OVERLAPPED where = At(static_cast<std::uint64_t>(offset));
  return WriteAt(handle, buffer, count, written, &where);
}

std::uint32_t AppendFile(FileHandle handle, const void* buffer, std::uint32_t count,
                         std::uint32_t* written) {
  // An offset of all ones asks for the end of the file as it is when the
  // write happens, in the same call.
  OVERLAPPED atEnd = At(~std::uint64_t{0});
  return WriteAt(handle, buffer, count, written, &atEnd);
}

std::uint32_t SeekFile(FileHandle handle, std::int64_t offset, SeekFrom from,
                       std::int64_t* newPosition) {
  if (faults::Trip(faults::Op::Seek)) return kInjectedErrorCode;
  const DWORD method = from == SeekFrom::Begin ? FILE_BEGIN : from == SeekFrom::Current
                                                                  ? FILE_CURRENT
                                                                  : FILE_END;
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

std::uint32_t CloseFile(FileHandle handle) {
  if (faults::Trip(faults::Op::Close)) {
    ::CloseHandle(ToHandle(handle));  // the handle is gone either way
    return kInjectedErrorCode;
  }
  return ::CloseHandle(ToHandle(handle)) ? 0 : ::GetLastError();
}

bool GetFileId(const char* path, FileId* id) {
  // Asks for no access, so that no other opener's sharing stands in the way.
  HANDLE h = ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool known = ::GetFileInformationByHandle(h, &info) != 0;
  ::CloseHandle(h);
  if (!known) return false;
  *id = {info.dwVolumeSerialNumber,
         static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
  return true;
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

bool DirectoryWritable(const char* path) {
  // Rights on a directory are an access control list that kernel32 cannot
  // ask about without trying; a directory that exists is the best answer.
  const DWORD value = ::GetFileAttributesA(*path == '\0' ? "." : path);
  return value != INVALID_FILE_ATTRIBUTES && (value & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool GetFileAttributes(const char* path, std::uint32_t* attributes) {
  const DWORD value = ::GetFileAttributesA(path);
  if (value == INVALID_FILE_ATTRIBUTES) return false;
  *attributes = value;
  return true;
}

bool SetFileAttributes(const char* path, std::uint32_t attributes) {
  if (faults::Trip(faults::Op::SetAttributes)) return false;
  return ::SetFileAttributesA(path, attributes) != 0;
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

void SetExitHook(ExitHook hook) { g_exitHook = hook; }

void ExitProcess(int exitCode) {
  if (g_exitHook) g_exitHook(exitCode);
  ::ExitProcess(static_cast<UINT>(exitCode));
}

}  // namespace platform
