// The program's main sequence: banner, start-up, the area pass, shutdown.
#pragma once

#include "driver/command_line.h"
#include "driver/run_state.h"

void ShowBanner();
void StartUp(RunState& run);
void ShutDown(RunState& run);
// The restore's end: as ShutDown, without the count of descriptions.
void ShutDownRestore(RunState& run);

// The exit code of a run that completes: 0, or WARNINGEXITCODE when it
// told a warning.
int CompletedExitCode(const RunState& run);
// Runs the four phases and ends the process (the completed run's exit
// code, or 255 from whichever phase stops the run).
[[noreturn]] void RunProgram(RunState& run);
// Does what the command line asks: the run, the preview, the listing, the
// restore or its preview, the usage text or the version; ends the process.
[[noreturn]] void RunCommand(RunState& run, const CommandLine& commandLine);
