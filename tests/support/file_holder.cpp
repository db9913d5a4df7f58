// file_holder (Windows build, run under wine): another process that holds a
// file open while the program under test runs.
//   file_holder PATH none|readwrite|append READY_FLAG RELEASE_FLAG
// Opens PATH for reading and writing with the given sharing, creates
// READY_FLAG, and keeps the file open until RELEASE_FLAG exists (at most a
// minute). With "append" it opens PATH for appending, shared, as another
// program writing to a shared log does, and appends a numbered line every
// 20 ms (the first before READY_FLAG), then one that gives their count.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/platform.h"

// Not 1: under wine, 1 is wine's own failure to start a program.
constexpr int kCannotHold = 3;

namespace {

bool AppendLine(platform::FileHandle handle, const std::string& line) {
  std::uint32_t written = 0;
  return platform::AppendFile(handle, line.data(), static_cast<std::uint32_t>(line.size()), &written) == 0 &&
         written == line.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const bool append = std::strcmp(argv[2], "append") == 0;
  const platform::Sharing sharing =
      std::strcmp(argv[2], "none") == 0 ? platform::Sharing::None : platform::Sharing::ReadWrite;
  platform::FileHandle handle;
  if (platform::OpenFile(argv[1], append ? platform::Access::ReadAppend : platform::Access::ReadWrite, sharing,
                         platform::Creation::OpenExisting, platform::Target::DiskFile,
                         &handle) != 0)
    return kCannotHold;
  int lines = 0;
  if (append && !AppendLine(handle, "line " + std::to_string(++lines) + " of another program\r\n"))
    return kCannotHold;
  std::ofstream(argv[3]) << "ready";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!std::filesystem::exists(argv[4]) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (append && !AppendLine(handle, "line " + std::to_string(++lines) + " of another program\r\n"))
      return kCannotHold;
  }
  if (append && !AppendLine(handle, "another program appended " + std::to_string(lines) + " lines\r\n"))
    return kCannotHold;
  platform::CloseFile(handle);
  return 0;
}
