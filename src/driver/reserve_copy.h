// The reserve copy of the FastEcho file, beside the settings file. It holds
// the FastEcho file as it was before the last run that changed it: a run
// makes its copy under a temporary name, and puts it in the place of the
// previous one only just before its first description is written. A run
// that writes nothing, or stops before, leaves the previous one alone.
//
// The previous copy is not given up until the first description is on the
// disk: it waits under a third name, and a run whose first write fails
// puts it back. A run killed in between leaves it there for the next run,
// which settles it once it has made its own copy: when the reserve copy
// still holds the FastEcho file as it is, the killed run changed nothing
// and the previous copy comes back; otherwise the reserve copy is the one
// to keep.
//
// The run holds its temporary copy open, shared with nobody, from its
// making until it is put in place or removed: a second run started on the
// same installation meanwhile can neither change nor remove it, and stops
// at its own copy instead.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "util/file_error.h"
#include "util/record_stream.h"
#include "util/short_string.h"

inline constexpr const char* kReserveCopyName = "$FE_CFG$.QZ$";
inline constexpr const char* kTemporaryReserveCopyName = "$FE_CFG$.QZ~";
inline constexpr const char* kPreviousReserveCopyName = "$FE_CFG$.QZ-";

class ReserveCopy {
 public:
  // `directory` ends in a separator, or is empty for the current directory.
  explicit ReserveCopy(const ShortString& directory)
      : directory_(directory),
        path_(directory + kReserveCopyName),
        temporaryPath_(directory + kTemporaryReserveCopyName),
        previousPath_(directory + kPreviousReserveCopyName) {}
  ~ReserveCopy() { Abandon(); }  // as a stopped run leaves it
  ReserveCopy(const ReserveCopy&) = delete;
  ReserveCopy& operator=(const ReserveCopy&) = delete;

  const ShortString& Path() const { return path_; }
  const ShortString& TemporaryPath() const { return temporaryPath_; }
  const ShortString& PreviousPath() const { return previousPath_; }

  // Copies `source` under the temporary name with its permission bits, then
  // settles what a killed run left. A failure names the file and why;
  // nothing of this run is left behind then.
  FileError Make(const ShortString& source);
  // Whether Make would succeed, asked without creating or writing
  // anything: for the preview.
  FileError CouldMake(const ShortString& source) const;

  enum class Comparison { Same, Changed, Unreadable };
  // Whether `stream` (the open FastEcho file) still holds exactly the bytes
  // of the copy just made: whether anybody changed it since. Unreadable
  // puts the file that could not be read, and why, in *failure.
  Comparison CompareWith(RecordStream& stream, FileError* failure) const;

  // Brings the copy made to the disk and puts it in the place of the
  // previous reserve copy, which waits under PreviousPath. On a failure the
  // previous one is back and this run's copy removed.
  FileError PutInPlace();
  // The first description is on the disk: the previous reserve copy goes.
  void Commit();
  // The run ends without Commit: a copy not put in place is removed, and
  // one put in place is settled as a killed run's is.
  void Abandon();

 private:
  enum class State { None, Made, InPlace, Committed };

  FileError CheckPlaces(const ShortString& source) const;
  FileError Settle(const ShortString& source);
  FileError RestorePrevious();

  ShortString directory_;
  ShortString path_;
  ShortString temporaryPath_;
  ShortString previousPath_;
  ShortString source_;
  State state_ = State::None;
  bool hadPrevious_ = false;  // PutInPlace moved a reserve copy to previousPath_
  platform::FileHandle copy_ = platform::kInvalidHandle;  // this run's temporary copy
};
