// The area description pass: reserve copy of the FastEcho configuration
// file, then every eligible area with an empty description (or every one,
// with FORCEDESC) gets its description from the echo list, in place.
#pragma once

#include "driver/run_state.h"

inline constexpr const char* kReserveCopyName = "$FE_CFG$.QZ$";
inline constexpr std::uint16_t kFastEchoOpenMode = 0x3D42;  // existing, read/write, shared
inline constexpr std::uint32_t kStreamBufferSize = 256;

inline ShortString ReserveCopyPath(const RunState& run) { return run.programDir + kReserveCopyName; }

// Returns with run.stream open and run.addedCount final, or ends the
// process through the log writer's Error.
void DescribeAreas(RunState& run);
