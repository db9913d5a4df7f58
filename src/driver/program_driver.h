// The program's main sequence: banner, start-up, the area pass, shutdown.
#pragma once

#include "driver/run_state.h"

void ShowBanner();
void StartUp(RunState& run);
void ShutDown(RunState& run);

// Runs the four phases and ends the process (exit code 0, or 255 from
// whichever phase stops the run).
[[noreturn]] void RunProgram(RunState& run);
