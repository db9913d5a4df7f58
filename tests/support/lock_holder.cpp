// lock_holder (native build): another program that holds a lock on a file
// while the program under test runs, as DOS emulators and file servers do.
//   lock_holder PATH flock-sh|flock-ex|fcntl-rd|fcntl-wr|append READY_FLAG RELEASE_FLAG
// Takes the lock, creates READY_FLAG, and keeps it until RELEASE_FLAG exists
// (at most a minute). With "append" it takes no lock: it opens PATH with
// O_APPEND, as another program writing to a shared log does, and appends a
// numbered line every 20 ms (the first before READY_FLAG), then one that
// gives their count.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

bool Lock(int fd, const char* kind) {
  if (std::strcmp(kind, "append") == 0) return true;
  if (std::strcmp(kind, "flock-sh") == 0) return ::flock(fd, LOCK_SH) == 0;
  if (std::strcmp(kind, "flock-ex") == 0) return ::flock(fd, LOCK_EX) == 0;
  struct flock lock {};
  lock.l_whence = SEEK_SET;
  if (std::strcmp(kind, "fcntl-rd") == 0) lock.l_type = F_RDLCK;
  else if (std::strcmp(kind, "fcntl-wr") == 0) lock.l_type = F_WRLCK;
  else return false;
  return ::fcntl(fd, F_SETLK, &lock) == 0;  // a classic record lock
}

bool AppendLine(int fd, const std::string& line) {
  return ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

}  // namespace

// As file_holder's, so that the harness reads both holders' codes alike:
// not 1, which under wine is wine's own failure to start a program.
constexpr int kCannotHold = 3;

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const bool append = std::strcmp(argv[2], "append") == 0;
  const int fd = ::open(argv[1], append ? O_WRONLY | O_APPEND : O_RDWR);
  if (fd < 0 || !Lock(fd, argv[2])) return kCannotHold;
  int lines = 0;
  if (append && !AppendLine(fd, "line " + std::to_string(++lines) + " of another program\r\n")) return kCannotHold;
  std::ofstream(argv[3]) << "ready";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!std::filesystem::exists(argv[4]) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (append && !AppendLine(fd, "line " + std::to_string(++lines) + " of another program\r\n"))
      return kCannotHold;
  }
  if (append && !AppendLine(fd, "another program appended " + std::to_string(lines) + " lines\r\n"))
    return kCannotHold;
  return 0;
}
