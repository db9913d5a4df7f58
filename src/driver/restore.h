// The restore (--restore): the reserve copy put back as the FastEcho file,
// once it is known to be a FastEcho file with the file's own areas (the
// same tags in the same order) and the FastEcho file is not in use. The
// file it replaces is kept as $FE_CFG$.QZ+ beside the reserve copy, which
// stays: a restore can itself be undone.
#pragma once

#include "driver/run_state.h"

// Restores, telling the log; with run.readOnly (-n) only says what it would
// do, nothing changed. Failures end the process through the log writer.
void RestoreReserveCopy(RunState& run);
