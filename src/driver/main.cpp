// Blurbsmith: fills empty area descriptions in FastEcho's configuration file
// from an echo list. blurbsmith.cfg beside the executable says everything;
// without arguments the program does its job, an option asks for help, the
// version, a preview or a listing instead.
#include <new>

#include "driver/program_driver.h"
#include "platform/platform.h"
#include "util/exit_codes.h"

namespace {

void OutOfMemory() { platform::ExitProcess(kOutOfMemoryExitCode); }

}  // namespace

int main(int argc, char** argv) {
  platform::PrepareProcess();
  std::set_new_handler(OutOfMemory);
  static RunState run;
  RunCommand(run, ParseCommandLine(argc, argv));
}
