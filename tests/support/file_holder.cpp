// file_holder (Windows build, run under wine): another process that holds a
// file open while the program under test runs.
//   file_holder PATH none|readwrite READY_FLAG RELEASE_FLAG
// Opens PATH for reading and writing with the given sharing, creates
// READY_FLAG, and keeps the file open until RELEASE_FLAG exists (at most a
// minute).
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/platform.h"

// Not 1: under wine, 1 is wine's own failure to start a program.
constexpr int kCannotHold = 3;

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const platform::Sharing sharing =
      std::strcmp(argv[2], "none") == 0 ? platform::Sharing::None : platform::Sharing::ReadWrite;
  platform::FileHandle handle;
  if (platform::OpenFile(argv[1], platform::Access::ReadWrite, sharing,
                         platform::Creation::OpenExisting, platform::Target::DiskFile,
                         &handle) != 0)
    return kCannotHold;
  std::ofstream(argv[3]) << "ready";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!std::filesystem::exists(argv[4]) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  platform::CloseFile(handle);
  return 0;
}
