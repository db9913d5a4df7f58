// The listing of every area record of the FastEcho file, in file order:
// number, kind, tag and description in aligned columns. Nothing is written.
#pragma once

#include "driver/run_state.h"

// Opens the FastEcho file for reading only and lists its areas on the
// console; failures end the process as they end the job.
void ListAreas(RunState& run);
