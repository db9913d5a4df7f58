// POSIX implementation of the platform layer. Windows sharing modes are
// emulated with advisory locks: flock belongs to the open file description,
// so it lives exactly as long as the handle, like a Windows share mode.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/platform.h"

namespace platform {

const std::uint32_t kInjectedErrorCode = EIO;
const std::uint32_t kNotADiskFile = ENODEV;
const std::uint32_t kDiskFull = ENOSPC;
const std::uint32_t kNotOpen = EBADF;
const std::uint32_t kIoError = EIO;
const std::uint32_t kAlreadyExists = EEXIST;

ErrorKind KindOfError(std::uint32_t code) {
  if (code == kSharingViolation) return ErrorKind::InUse;  // our own code for a lock conflict
  switch (static_cast<int>(code)) {
    case ENOENT: return ErrorKind::NoSuchFile;
    case ENOTDIR: return ErrorKind::NoSuchDirectory;
    case EACCES:
    case EPERM: return ErrorKind::AccessDenied;
    case ETXTBSY:
    case EWOULDBLOCK: return ErrorKind::InUse;
    case EISDIR: return ErrorKind::IsDirectory;
    case ENODEV:
    case ENXIO: return ErrorKind::NotADiskFile;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ErrorKind::DiskFull;
    case EROFS: return ErrorKind::ReadOnlyFileSystem;
    case EIO: return ErrorKind::IoError;
    default: return ErrorKind::Other;
  }
}

namespace {

ExitHook g_exitHook = nullptr;
ConsoleHook g_consoleHook = nullptr;
bool g_noStandardOutput = false;  // descriptor 1 was closed and could not be replaced

constexpr int kFirstFileDescriptor = 3;  // 0, 1 and 2 belong to the standard streams

int ToFd(FileHandle handle) { return static_cast<int>(handle); }

std::uint32_t LastError() { return static_cast<std::uint32_t>(errno); }

// O_NONBLOCK keeps the open of a FIFO or a terminal from waiting; it is
// taken off again once the file is known to be a disk file.
int OpenFlags(Access access) {
  const int flags = access == Access::Read ? O_RDONLY : access == Access::Write ? O_WRONLY : O_RDWR;
  return flags | O_NONBLOCK;
}

// The status flags an open file keeps: O_APPEND makes every write land at
// the end of the file atomically, set once at the open.
int StatusFlags(Access access) { return access == Access::ReadAppend ? O_APPEND : 0; }

// Opens `path`; with CreateAlways a missing file is created with `mode`
// (narrowed by the umask), and *created says whether this open did it. No
// O_TRUNC: a file is emptied only once its lock is held.
int OpenOrCreate(const char* path, int flags, Creation creation, mode_t mode, bool* created) {
  *created = false;
  for (;;) {
    int fd;
    if (creation != Creation::OpenExisting) {
      fd = ::open(path, flags | O_CREAT | O_EXCL, mode);
      if (fd >= 0) {
        *created = true;
        return fd;
      }
      if (errno == EEXIST && creation == Creation::CreateAlways) {
        fd = ::open(path, flags);
        if (fd < 0 && errno == ENOENT) continue;  // removed meanwhile: create it after all
      }
    } else {
      fd = ::open(path, flags);
    }
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

// Failures of a lock call that only say that the file system takes no
// locks (some network and FUSE file systems): no lock, no conflict.
bool LocksUnsupported(int error) {
  return error == ENOLCK || error == EINVAL || error == EOPNOTSUPP || error == ENOTSUP;
}

// Asks whether another process holds an fcntl record lock that a Windows
// opener with this sharing would be refused for: any lock for an exclusive
// open, a write lock for a sharing one. 0 when none does; otherwise
// kSharingViolation, or the error of the query. (Open file description
// locks tell this process's own locks apart; classic ones are the
// fallback.)
std::uint32_t CheckForeignRecordLock(int fd, bool exclusive) {
  struct flock lock {};
  lock.l_type = exclusive ? F_WRLCK : F_RDLCK;
  lock.l_whence = SEEK_SET;
#ifdef F_OFD_GETLK
  if (::fcntl(fd, F_OFD_GETLK, &lock) == 0) return lock.l_type != F_UNLCK ? kSharingViolation : 0;
  if (errno != EINVAL) return LocksUnsupported(errno) ? 0 : LastError();
  lock = {};  // a kernel without open file description locks
  lock.l_type = exclusive ? F_WRLCK : F_RDLCK;
  lock.l_whence = SEEK_SET;
#endif
  if (::fcntl(fd, F_GETLK, &lock) != 0) return LocksUnsupported(errno) ? 0 : LastError();
  return lock.l_type != F_UNLCK ? kSharingViolation : 0;
}

// Takes the lock that stands for `sharing`, without waiting: exclusive for
// an open that shares nothing, shared otherwise. A file system without
// locks is not a conflict; any other failure fails the open.
std::uint32_t TakeSharingLock(int fd, Sharing sharing) {
  if (faults::Trip(faults::Op::Lock)) return 0;  // as on a file system without locks
  const bool exclusive = sharing == Sharing::None;
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return kSharingViolation;
    if (!LocksUnsupported(errno)) return LastError();
  }
  return CheckForeignRecordLock(fd, exclusive);
}

// Refuses what the open must not hand out: a directory, and with
// Target::DiskFile anything but a regular file.
std::uint32_t CheckTarget(int fd, Target target) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return LastError();
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (target == Target::DiskFile && !S_ISREG(st.st_mode)) return kNotADiskFile;
  return 0;
}

// Keeps an opened file off descriptors 0-2 if one of them was closed and
// could not be replaced: console output must never reach it.
int AboveStandardStreams(int fd) {
  if (fd >= kFirstFileDescriptor) return fd;
  const int moved = ::fcntl(fd, F_DUPFD, kFirstFileDescriptor);
  const int error = errno;
  ::close(fd);
  errno = error;  // the caller tells why the move failed, not the close
  return moved;
}

std::uint32_t OpenChecked(int fd, Access access, Sharing sharing, Creation creation,
                          Target target, std::uint32_t newFileAttributes) {
  if (faults::Trip(faults::Op::OpenCheck)) return kInjectedErrorCode;
  std::uint32_t error = CheckTarget(fd, target);
  if (error == 0) error = TakeSharingLock(fd, sharing);
  if (error == 0 && creation == Creation::CreateAlways && ::ftruncate(fd, 0) != 0)
    error = LastError();
  // Exactly the bits asked for, before the file holds a byte: the umask may
  // have narrowed them at the creation, and an emptied file kept its own.
  if (error == 0 && creation == Creation::CreateAlways && newFileAttributes != kSystemDefaultAttributes &&
      ::fchmod(fd, static_cast<mode_t>(newFileAttributes & 07777)) != 0)
    error = LastError();
  // O_NONBLOCK is the only status flag the open set, so setting exactly the
  // ones the file keeps takes it off without asking for the others first (a
  // failed F_GETFL would otherwise turn on whatever its -1 stands for).
  if (error == 0 && ::fcntl(fd, F_SETFL, StatusFlags(access)) != 0) error = LastError();
  return error;
}

}  // namespace

namespace {

// Asked twice, so that one failed call cannot make an open stream look closed.
bool Closed(int fd) {
  struct stat st {};
  return ::fcntl(fd, F_GETFD) == -1 && errno == EBADF && ::fstat(fd, &st) == -1 && errno == EBADF;
}

}  // namespace

void PrepareProcess() {
  for (int fd = 0; fd < kFirstFileDescriptor; ++fd) {
    if (!Closed(fd)) continue;
    // The lowest free descriptor is this one.
    const int null = ::open("/dev/null", O_RDWR);
    if (null == fd) continue;
    if (null >= 0) ::close(null);
    if (fd == STDOUT_FILENO) g_noStandardOutput = true;
  }
  // A reader that went away fails the write instead of ending the process;
  // should the handler not be set, a blocked signal does the same.
  if (std::signal(SIGPIPE, SIG_IGN) == SIG_ERR) {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    ::sigprocmask(SIG_BLOCK, &pipe, nullptr);
  }
}

std::uint32_t OpenFile(const char* path, Access access, Sharing sharing, Creation creation,
                       Target target, FileHandle* handle, std::uint32_t newFileAttributes) {
  *handle = kInvalidHandle;
  if (faults::Trip(faults::Op::Open)) return kInjectedErrorCode;
  bool created = false;
  const mode_t mode = newFileAttributes == kSystemDefaultAttributes
                          ? 0666
                          : static_cast<mode_t>(newFileAttributes & 0777);
  int fd = OpenOrCreate(path, OpenFlags(access), creation, mode, &created);
  if (fd < 0) return LastError();
  if (const std::uint32_t error = OpenChecked(fd, access, sharing, creation, target, newFileAttributes);
      error != 0) {
    ::close(fd);
    if (created) ::unlink(path);  // an open that fails leaves nothing behind
    return error;
  }
  fd = AboveStandardStreams(fd);
  if (fd < 0) return LastError();
  *handle = fd;
  return 0;
}

namespace {

// One read (`read` or `pread`), again when a signal interrupted it.
template <typename ReadCall>
std::uint32_t ReadOnce(ReadCall read, std::uint32_t* got) {
  *got = 0;
  if (faults::Trip(faults::Op::Read)) return kInjectedErrorCode;
  ssize_t n;
  do {
    n = read();
  } while (n < 0 && errno == EINTR);
  if (n < 0) return LastError();
  *got = static_cast<std::uint32_t>(n);
  return 0;
}

// Writes (`write` or `pwrite` of the bytes from `done` on) until all
// `count` bytes are taken, the disk takes none, or one fails.
template <typename WriteCall>
std::uint32_t WriteAll(std::uint32_t count, std::uint32_t* written, WriteCall write) {
  *written = 0;
  if (faults::WriteFails(&count)) return kInjectedErrorCode;
  std::uint32_t done = 0;
  while (done < count) {
    const ssize_t n = write(done, count - done);
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

}  // namespace

std::uint32_t ReadFile(FileHandle handle, void* buffer, std::uint32_t count, std::uint32_t* got) {
  return ReadOnce([&] { return ::read(ToFd(handle), buffer, count); }, got);
}

std::uint32_t WriteFile(FileHandle handle, const void* buffer, std::uint32_t count,
                        std::uint32_t* written) {
  const char* bytes = static_cast<const char*>(buffer);
  return WriteAll(count, written,
                  [&](std::uint32_t done, std::uint32_t left) { return ::write(ToFd(handle), bytes + done, left); });
}

std::uint32_t ReadFileAt(FileHandle handle, std::int64_t offset, void* buffer, std::uint32_t count,
                         std::uint32_t* got) {
  return ReadOnce([&] { return ::pread(ToFd(handle), buffer, count, static_cast<off_t>(offset)); }, got);
}

std::uint32_t WriteFileAt(FileHandle handle, std::int64_t offset, const void* buffer,
                          std::uint32_t count, std::uint32_t* written) {
  const char* bytes = static_cast<const char*>(buffer);
  return WriteAll(count, written, [&](std::uint32_t done, std::uint32_t left) {
    return ::pwrite(ToFd(handle), bytes + done, left, static_cast<off_t>(offset + done));
  });
}

std::uint32_t AppendFile(FileHandle handle, const void* buffer, std::uint32_t count,
                         std::uint32_t* written) {
  // The open set O_APPEND: every write lands at the end of the file.
  return WriteFile(handle, buffer, count, written);
}

std::uint32_t SeekFile(FileHandle handle, std::int64_t offset, SeekFrom from,
                       std::int64_t* newPosition) {
  if (faults::Trip(faults::Op::Seek)) return kInjectedErrorCode;
  const int whence = from == SeekFrom::Begin ? SEEK_SET : SEEK_END;
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

std::uint32_t FlushFile(FileHandle handle) {
  if (faults::Trip(faults::Op::Flush)) return kInjectedErrorCode;
  if (::fsync(ToFd(handle)) == 0) return 0;
  const std::uint32_t error = LastError();
  // A device, a pipe or a socket takes no fsync (EINVAL): it keeps nothing.
  struct stat st {};
  if (error == EINVAL && ::fstat(ToFd(handle), &st) == 0 && !S_ISREG(st.st_mode)) return 0;
  return error;
}

std::uint32_t CloseFile(FileHandle handle) {
  if (faults::Trip(faults::Op::Close)) {
    ::close(ToFd(handle));  // the handle is gone either way
    return kInjectedErrorCode;
  }
  return ::close(ToFd(handle)) == 0 ? 0 : LastError();
}

std::uint32_t GetFileId(const char* path, FileId* id) {
  if (faults::Trip(faults::Op::Identify)) return kInjectedErrorCode;
  struct stat st {};
  if (*path == '\0') return ENOENT;
  if (::stat(path, &st) != 0) return LastError();
  *id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  return 0;
}

bool IsNotFound(std::uint32_t code) { return code == ENOENT || code == ENOTDIR; }

namespace {

// `path` made absolute from the current directory and its "." and ".."
// taken out by their names alone: for a directory that does not exist.
std::string LexicallyAbsolute(const std::string& path) {
  std::string joined = path;
  if (path.empty() || path[0] != '/') {
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd) return {};
    joined = std::string(cwd) + "/" + path;
    std::free(cwd);
  }
  std::vector<std::string> parts;
  for (std::size_t start = 0; start <= joined.size();) {
    std::size_t end = joined.find('/', start);
    if (end == std::string::npos) end = joined.size();
    const std::string part = joined.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  return result.empty() ? "/" : result;
}

}  // namespace

std::string FullPathName(const char* path) {
  std::string text(path);
  if (text.empty()) return {};
  // A symbolic link whose target does not exist yet names the file that
  // opening it would create.
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(text.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(text.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) break;
    const std::size_t slash = text.rfind('/');
    const std::string linkDir = slash == std::string::npos ? "" : text.substr(0, slash + 1);
    text = target[0] == '/' ? std::string(target, n) : linkDir + std::string(target, n);
  }
  const std::size_t slash = text.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : text.substr(0, slash);
  std::string name = slash == std::string::npos ? text : text.substr(slash + 1);
  char* resolved = ::realpath(dir.c_str(), nullptr);
  if (!resolved) return LexicallyAbsolute(text);
  std::string full(resolved);
  std::free(resolved);
  if (name.empty() || name == ".") return full;
  if (name == "..") {
    const std::size_t up = full.rfind('/');
    return up == 0 ? "/" : full.substr(0, up);
  }
  return (full == "/" ? "" : full) + "/" + name;
}

std::uint32_t RenameFile(const char* from, const char* to) {
  if (faults::Trip(faults::Op::Rename)) return kInjectedErrorCode;
  return ::rename(from, to) == 0 ? 0 : LastError();
}

std::uint32_t RemoveFile(const char* path) {
  if (faults::Trip(faults::Op::Remove)) return kInjectedErrorCode;
  return ::unlink(path) == 0 ? 0 : LastError();
}

std::uint32_t FlushDirectory(const char* directory) {
  if (faults::Trip(faults::Op::Flush)) return kInjectedErrorCode;
  const int fd = ::open(*directory == '\0' ? "." : directory, O_RDONLY | O_DIRECTORY);
  if (fd < 0) return LastError();
  std::uint32_t error = 0;
  // A file system that cannot flush a directory (EINVAL) keeps its entries
  // as it keeps them: nothing more to do there.
  if (::fsync(fd) != 0 && errno != EINVAL) error = LastError();
  ::close(fd);  // opened only to flush: its close loses nothing
  return error;
}

bool IsDirectory(const char* path) {
  struct stat st {};
  return *path != '\0' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

std::uint32_t CheckDirectoryWritable(const char* path) {
  // The effective user's rights, as an open would meet them; a read-only
  // mount answers no too.
  return ::faccessat(AT_FDCWD, *path == '\0' ? "." : path, W_OK | X_OK, AT_EACCESS) == 0 ? 0 : LastError();
}

std::uint32_t GetFileAttributes(const char* path, std::uint32_t* attributes) {
  if (faults::Trip(faults::Op::Identify)) return kInjectedErrorCode;
  struct stat st {};
  if (*path == '\0') return ENOENT;
  if (::stat(path, &st) != 0) return LastError();
  *attributes = static_cast<std::uint32_t>(st.st_mode & 07777);
  return 0;
}

std::uint32_t SetFileAttributes(const char* path, std::uint32_t attributes) {
  if (faults::Trip(faults::Op::SetAttributes)) return kInjectedErrorCode;
  return ::chmod(path, static_cast<mode_t>(attributes & 07777)) == 0 ? 0 : LastError();
}

std::uint32_t ReplaceableAttributes(std::uint32_t attributes) { return attributes; }

bool ExecutablePath(std::string* path) {
  // Without /proc (a chroot, a minimal container) the path is unknown.
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return false;
  path->assign(buffer, static_cast<std::size_t>(n));
  return true;
}

void SetConsoleHook(ConsoleHook hook) { g_consoleHook = hook; }

void ConsoleWrite(const char* bytes, std::size_t count) {
  if (g_consoleHook) return g_consoleHook(bytes, count);
  if (g_noStandardOutput) return;
  while (count > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
}

bool ConsoleUsesUtf8() {
  // Read from the environment, not through setlocale: the statically linked
  // C library would need locale files at run time to answer.
  return LocaleNamesUtf8(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
}

LocalDateTime LocalNow() {
  // Neither fails for the present moment; should the time zone be
  // unreadable, the stamp is in universal time rather than garbage.
  const std::time_t now = std::time(nullptr);
  std::tm tm {};
  if (!::localtime_r(&now, &tm) && !::gmtime_r(&now, &tm)) tm = {};
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void Wait(std::uint32_t milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

void SetExitHook(ExitHook hook) { g_exitHook = hook; }

void ExitProcess(int exitCode) {
  if (g_exitHook) g_exitHook(exitCode);
  ::_exit(exitCode);
}

}  // namespace platform
