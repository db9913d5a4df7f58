// Test seam: makes the Nth call of one kind of file operation fail, so that
// tests can prove that no single failure corrupts the files the system edits.
// Unarmed, it only counts calls. Only the builds that test with it define
// BLURBSMITH_FAULT_SEAM; in the shipped program its calls are empty inline
// functions that the compiler drops.
#pragma once

#include <cstdint>

namespace platform::faults {

// Identify: the lookup of a file's identity or attributes (the same-file
// check, existence; on Windows the identity takes an open). OpenCheck: what
// an open asks of the file it opened (POSIX fstat and locks, Windows
// GetFileType). Flush: to the disk. Lock (POSIX): a tripped one is no
// failure but a file system that takes no locks, so the open shares
// without one.
enum class Op {
  Open, Read, Write, Seek, SetAttributes, Close, Truncate, Rename, Remove, Identify, OpenCheck, Flush, Lock,
  kCount
};

enum class Kind {
  Fail,        // the call fails with kInjectedErrorCode
  ShortWrite,  // a write reports fewer bytes than asked (writes only)
};

// Moments of a run at which a test may change the world around it, as
// another program could: the file edited meanwhile, say.
enum class Moment {
  ReserveCopyMade,   // the reserve copy is made; the FastEcho file is not open yet
  DescriptionFound,  // a description was found; it is not written yet
  LogAppending,      // the log is about to be opened for appending
  LogCreating,       // the log was not there; it is about to be created
  EndOfFileMarkSeen, // a file opened for appending ends in a Ctrl-Z; it is
                     // about to be taken alone to cut it there
  FileInUse,         // another opener keeps a file that is to be appended
                     // to; a short wait begins before the next try
  kCount,
};

#ifdef BLURBSMITH_FAULT_SEAM

// Arms the seam and restarts the counts: the `nth` (1-based) call of `op`
// from now on misbehaves.
void Arm(Op op, std::uint64_t nth, Kind kind = Kind::Fail);
void Disarm();  // keeps the counts
// Calls of `op` counted since the last Arm or ResetCounts.
std::uint64_t Calls(Op op);
void ResetCounts();

// Called by the platform implementations at the start of each operation.
Kind* Trip(Op op);

using Action = void (*)();
// Runs `action` at the `nth` (1-based) time `moment` is reached from now on.
void AtMoment(Moment moment, std::uint64_t nth, Action action);
void ClearMoments();
// Called by the system when it reaches `moment`.
void Reached(Moment moment);

#else

inline Kind* Trip(Op) { return nullptr; }
inline void Reached(Moment) {}

#endif

// For the platform's writes: true when this write is to fail; a short write
// lets half of `count` reach the file.
inline bool WriteFails(std::uint32_t* count) {
  if (Kind* fault = Trip(Op::Write)) {
    if (*fault == Kind::Fail || *count == 0) return true;
    *count /= 2;
  }
  return false;
}

}  // namespace platform::faults
