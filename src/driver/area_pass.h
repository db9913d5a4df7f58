// The area description pass: reserve copy of the FastEcho configuration
// file, then every eligible area with an empty description (or every one,
// with FORCEDESC) gets its description from the echo list, in place.
#pragma once

#include <string>
#include <string_view>

#include "driver/fastecho_layout.h"
#include "driver/run_state.h"

// Others (FastEcho among them) may read and write the file meanwhile.
inline constexpr StreamMode kFastEchoOpenMode{platform::Access::ReadWrite,
                                              platform::Sharing::ReadWrite};
inline constexpr StreamMode kFastEchoReadMode{platform::Access::Read, platform::Sharing::ReadWrite};
inline constexpr std::uint32_t kStreamBufferSize = 256;

// Returns with run.stream open and run.addedCount final, or ends the
// process through the log writer's Error. With run.readOnly it is the
// preview: the same decisions, but each description is shown instead of
// written, and nothing is copied or written.
void DescribeAreas(RunState& run);

// The FastEcho file's path as the run uses and shows it.
ShortString FastEchoPath(const RunState& run);
// Ends the run through the log writer's Error (whose stop hook settles a
// reserve copy of this run first).
[[noreturn]] void StopRun(RunState& run, const ShortString& message);
// Stops the run when the FastEcho file is not there ("PATH not found") or
// cannot be looked up.
void StopUnlessPresent(RunState& run, const ShortString& cfgPath);
// Opens the FastEcho file into run.stream (read-only with run.readOnly)
// and locates its area table; false, after a warning, when its record
// size is not supported. Failures end the process through StopRun.
bool OpenAreaTable(RunState& run, const ShortString& cfgPath, fastecho::AreaTable* table);
// After the walk over the area records: a read failure stops the run; a
// file without a single area record is worth a warning.
void EndWalk(RunState& run, const ShortString& cfgPath, const fastecho::WalkEnd& end);
// Text of the FastEcho file or the echo list as the console shows it.
std::string Shown(const RunState& run, std::string_view text);
