// POSIX implementation of the platform layer. Sharing modes have no POSIX
// counterpart: files are opened without locks.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>

#include "platform/fault_injection.h"
#include "platform/platform.h"

namespace platform {

const std::uint32_t kInjectedErrorCode = EIO;

namespace {

ExitHook g_exitHook = nullptr;
ConsoleHook g_consoleHook = nullptr;

int ToFd(FileHandle handle) { return static_cast<int>(handle); }

std::uint32_t LastError() { return static_cast<std::uint32_t>(errno); }

int OpenFlags(Access access, Creation creation) {
  int flags = access == Access::Read ? O_RDONLY : access == Access::Write ? O_WRONLY : O_RDWR;
  if (creation == Creation::CreateAlways) flags |= O_CREAT | O_TRUNC;
  return flags;
}

}  // namespace

std::uint32_t OpenFile(const char* path, Access access, Sharing, Creation creation,
                       FileHandle* handle) {
  *handle = kInvalidHandle;
  if (faults::Trip(faults::Op::Open)) return kInjectedErrorCode;
  int fd;
  do {
    fd = ::open(path, OpenFlags(access, creation), 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return LastError();
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return EISDIR;
  }
  *handle = fd;
  return 0;
}

std::uint32_t ReadFile(FileHandle handle, void* buffer, std::uint32_t count, std::uint32_t* got) {
  *got = 0;
  if (faults::Trip(faults::Op::Read)) return kInjectedErrorCode;
  ssize_t n;
  do {
    n = ::read(ToFd(handle), buffer, count);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return LastError();
  *got = static_cast<std::uint32_t>(n);
  return 0;
}

std::uint32_t WriteFile(FileHandle handle, const void* buffer, std::uint32_t count,
                        std::uint32_t* written) {
  *written = 0;
  if (faults::Kind* fault = faults::Trip(faults::Op::Write)) {
    if (*fault == faults::Kind::Fail || count == 0) return kInjectedErrorCode;
    count /= 2;  // a short write: half of it reaches the file
  }
  const char* bytes = static_cast<const char*>(buffer);
  std::uint32_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(ToFd(handle), bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *written = done;
      return LastError();
    }
    if (n == 0) break;
    done += static_cast<std::uint32_t>(n);
  }
  *written = done;
  return 0;
}

std::uint32_t SeekFile(FileHandle handle, std::int64_t offset, SeekFrom from,
                       std::int64_t* newPosition) {
  if (faults::Trip(faults::Op::Seek)) return kInjectedErrorCode;
  const int whence = from == SeekFrom::Begin ? SEEK_SET : from == SeekFrom::Current ? SEEK_CUR
                                                                                   : SEEK_END;
  const off_t pos = ::lseek(ToFd(handle), static_cast<off_t>(offset), whence);
  if (pos < 0) return LastError();
  if (newPosition) *newPosition = pos;
  return 0;
}

std::uint32_t TruncateFile(FileHandle handle) {
  if (faults::Trip(faults::Op::Truncate)) return kInjectedErrorCode;
  const off_t pos = ::lseek(ToFd(handle), 0, SEEK_CUR);
  if (pos < 0 || ::ftruncate(ToFd(handle), pos) != 0) return LastError();
  return 0;
}

std::uint32_t CloseFile(FileHandle handle) {
  if (faults::Trip(faults::Op::Close)) {
    ::close(ToFd(handle));  // the handle is gone either way
    return kInjectedErrorCode;
  }
  return ::close(ToFd(handle)) == 0 ? 0 : LastError();
}

bool SameExistingFile(const char* a, const char* b) {
  struct stat sa {}, sb {};
  return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool GetFileAttributes(const char* path, std::uint32_t* attributes) {
  struct stat st {};
  if (*path == '\0' || ::stat(path, &st) != 0) return false;
  *attributes = static_cast<std::uint32_t>(st.st_mode & 07777);
  return true;
}

bool SetFileAttributes(const char* path, std::uint32_t attributes) {
  if (faults::Trip(faults::Op::SetAttributes)) return false;
  return ::chmod(path, static_cast<mode_t>(attributes & 07777)) == 0;
}

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

void SetConsoleHook(ConsoleHook hook) { g_consoleHook = hook; }

void ConsoleWrite(const char* bytes, std::size_t count) {
  if (g_consoleHook) return g_consoleHook(bytes, count);
  while (count > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
}

LocalDateTime LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm {};
  ::localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void SetExitHook(ExitHook hook) { g_exitHook = hook; }

void ExitProcess(int exitCode) {
  if (g_exitHook) g_exitHook(exitCode);
  ::_exit(exitCode);
}

}  // namespace platform
