// lock_holder (native build): another program that holds a lock on a file
// while the program under test runs, as DOS emulators and file servers do.
//   lock_holder PATH flock-sh|flock-ex|fcntl-rd|fcntl-wr READY_FLAG RELEASE_FLAG
// Takes the lock, creates READY_FLAG, and keeps it until RELEASE_FLAG exists
// (at most a minute).
#include <fcntl.h>
#include <sys/file.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

bool Lock(int fd, const char* kind) {
  if (std::strcmp(kind, "flock-sh") == 0) return ::flock(fd, LOCK_SH) == 0;
  if (std::strcmp(kind, "flock-ex") == 0) return ::flock(fd, LOCK_EX) == 0;
  struct flock lock {};
  lock.l_whence = SEEK_SET;
  if (std::strcmp(kind, "fcntl-rd") == 0) lock.l_type = F_RDLCK;
  else if (std::strcmp(kind, "fcntl-wr") == 0) lock.l_type = F_WRLCK;
  else return false;
  return ::fcntl(fd, F_SETLK, &lock) == 0;  // a classic record lock
}

}  // namespace

// As file_holder's, so that the harness reads both holders' codes alike:
// not 1, which under wine is wine's own failure to start a program.
constexpr int kCannotHold = 3;

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const int fd = ::open(argv[1], O_RDWR);
  if (fd < 0 || !Lock(fd, argv[2])) return kCannotHold;
  std::ofstream(argv[3]) << "ready";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!std::filesystem::exists(argv[4]) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return 0;
}
