// The reserve copy of the FastEcho file, beside the settings file. It holds
// the FastEcho file as it was before the last run that changed it: a run
// makes its copy under a temporary name, and puts it in the place of the
// previous one only just before its first description is written. A run
// that writes nothing, or stops before, leaves the previous one alone.
//
// The run holds its temporary copy open, shared with nobody, from its
// making until it is put in place or removed: a second run started on the
// same installation meanwhile can neither change nor remove it, and stops
// at its own copy instead.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "util/record_stream.h"
#include "util/short_string.h"

inline constexpr const char* kReserveCopyName = "$FE_CFG$.QZ$";
inline constexpr const char* kTemporaryReserveCopyName = "$FE_CFG$.QZ~";

class ReserveCopy {
 public:
  // `directory` ends in a separator, or is empty for the current directory.
  explicit ReserveCopy(const ShortString& directory)
      : directory_(directory),
        path_(directory + kReserveCopyName),
        temporaryPath_(directory + kTemporaryReserveCopyName) {}
  ReserveCopy(const ReserveCopy&) = delete;
  ReserveCopy& operator=(const ReserveCopy&) = delete;

  const ShortString& Path() const { return path_; }
  const ShortString& TemporaryPath() const { return temporaryPath_; }

  // Copies `source` under the temporary name. False when the copy cannot be
  // made or could not be put in place later (a directory of the reserve
  // copy's name, a copy made read-only by hand); nothing is left behind.
  bool Make(const ShortString& source);
  // Whether Make would succeed, asked without creating or writing
  // anything: for the preview.
  bool CouldMake(const ShortString& source) const;

  enum class Comparison { Same, Changed, Unreadable };
  // Whether `stream` (the open FastEcho file) still holds exactly the bytes
  // of the copy just made: whether anybody changed it since.
  Comparison CompareWith(RecordStream& stream) const;

  // Puts the copy made in the place of the previous reserve copy; false,
  // with the copy removed, when that fails.
  bool PutInPlace();
  // Removes the copy made unless it was put in place: the run writes
  // nothing, or stops before its first write.
  void Discard();

 private:
  ShortString directory_;
  ShortString path_;
  ShortString temporaryPath_;
  ShortString source_;
  platform::FileHandle copy_ = platform::kInvalidHandle;  // this run's temporary copy
};
