// Blurbsmith: fills empty area descriptions in FastEcho's configuration file
// from an echo list. It reads no arguments: blurbsmith.cfg beside the
// executable says everything.
#include <new>

#include "driver/program_driver.h"
#include "platform/platform.h"

namespace {

constexpr int kOutOfMemoryExitCode = 203;

void OutOfMemory() { platform::ExitProcess(kOutOfMemoryExitCode); }

}  // namespace

int main() {
  platform::PrepareProcess();
  std::set_new_handler(OutOfMemory);
  static RunState run;
  RunProgram(run);
}
