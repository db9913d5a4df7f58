// The program's exit codes, which batch files and schedulers act on.
#pragma once

inline constexpr int kDoneExitCode = 0;
// A run that stopped (the console says why; once the log is open, the log
// too), and a settings file with errors.
inline constexpr int kFailureExitCode = 255;
// The process ran out of memory; nothing can be told then.
inline constexpr int kOutOfMemoryExitCode = 203;
