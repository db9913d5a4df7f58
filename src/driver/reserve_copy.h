// The reserve copy of the FastEcho file, beside the settings file. It holds
// the FastEcho file as it was before the last run that changed it: a run
// makes its copy under a temporary name, and puts it in the place of the
// previous one only just before its first description is written. A run
// that writes nothing, or stops before, leaves the previous one alone.
//
// The previous copy is not given up until the first description is on the
// disk: it waits under a third name, and a run whose first write fails
// puts it back. Before it is set aside, a record of it is made on the disk
// (driver/reserve_record.h): which copy waits, for which FastEcho file,
// and what the field of the first description holds; once that description
// is on the disk the record says so. A run stopped in between (killed, or
// its removal failed) leaves both for the next run, which settles them by
// the record once it has made its own copy: a stopped run whose first
// description never reached the file gets the previous copy back; one
// whose description did, or whose record says it is on the disk, keeps its
// reserve copy and the previous one goes. A restore by hand in between
// changes nothing of that.
//
// The run holds its temporary copy open, shared with nobody, from its
// making until it is put in place or removed: a second run started on the
// same installation meanwhile can neither change nor remove it, and stops
// at its own copy instead.
#pragma once

#include <cstdint>

#include "driver/reserve_record.h"
#include "platform/platform.h"
#include "util/file_error.h"
#include "util/record_stream.h"
#include "util/short_string.h"

inline constexpr const char* kReserveCopyName = "$FE_CFG$.QZ$";
inline constexpr const char* kTemporaryReserveCopyName = "$FE_CFG$.QZ~";
inline constexpr const char* kPreviousReserveCopyName = "$FE_CFG$.QZ-";
inline constexpr const char* kReserveRecordName = "$FE_CFG$.QZ#";
// What a restore replaced: the FastEcho file as it was before it.
inline constexpr const char* kReplacedFileName = "$FE_CFG$.QZ+";

// What settling a stopped run's leftovers did.
enum class Settlement {
  None,      // nothing was left, or only a stale record
  PutBack,   // the stopped run changed nothing: the previous copy is back
  Removed,   // the stopped run changed the file: the previous copy went
};
// The log's words for it; null for None.
const char* SettlementText(Settlement settlement);

// The first description the run writes: where, and what the field holds
// before it.
struct FirstWrite {
  std::uint64_t fieldOffset = 0;
  const std::uint8_t* before = nullptr;  // the field's 52 bytes
};

class ReserveCopy {
 public:
  // `directory` ends in a separator, or is empty for the current directory.
  explicit ReserveCopy(const ShortString& directory)
      : directory_(directory),
        path_(directory + kReserveCopyName),
        temporaryPath_(directory + kTemporaryReserveCopyName),
        previousPath_(directory + kPreviousReserveCopyName),
        recordPath_(directory + kReserveRecordName),
        replacedPath_(directory + kReplacedFileName) {}
  ~ReserveCopy() { Abandon(); }  // as a stopped run leaves it
  ReserveCopy(const ReserveCopy&) = delete;
  ReserveCopy& operator=(const ReserveCopy&) = delete;

  const ShortString& Path() const { return path_; }
  const ShortString& TemporaryPath() const { return temporaryPath_; }
  const ShortString& PreviousPath() const { return previousPath_; }
  const ShortString& RecordPath() const { return recordPath_; }
  const ShortString& ReplacedPath() const { return replacedPath_; }

  // Copies `source` under the temporary name with its permission bits, then
  // settles what a stopped run left (Settled tells what that did). A
  // failure names the file and why; nothing of this run is left behind
  // then. `forRestore`: the copy is of a file a restore is about to
  // replace, and the restore's own file must be replaceable too.
  FileError Make(const ShortString& source, bool forRestore = false);
  Settlement Settled() const { return settled_; }
  // Whether Make would succeed, asked without creating or writing
  // anything: for the preview.
  FileError CouldMake(const ShortString& source, bool forRestore = false) const;
  // What settling would do now, nothing changed: for the preview.
  FileError ForeseeSettlement(const ShortString& source, Settlement* settlement) const;

  enum class Comparison { Same, Changed, Unreadable };
  // Whether `stream` (the open FastEcho file) still holds exactly the bytes
  // of the copy just made: whether anybody changed it since. Unreadable
  // puts the file that could not be read, and why, in *failure.
  Comparison CompareWith(RecordStream& stream, FileError* failure) const;

  // Brings the copy made to the disk and puts it in the place of the
  // previous reserve copy, which waits under PreviousPath with its record.
  // On a failure the previous one is back and this run's copy removed.
  FileError PutInPlace(const FirstWrite& first);
  // The first description is on the disk: the record says so, and the
  // previous reserve copy and its record go.
  void Commit();
  // The run ends without Commit: a copy not put in place is removed, and
  // one put in place is settled by what the first description's field
  // holds.
  void Abandon();
  // For the restore: the copy made is brought to the disk and kept under
  // ReplacedPath, replacing an older one.
  FileError KeepAsReplaced();

 private:
  enum class State { None, Made, InPlace, Committed };
  enum class Step { None, DropRecord, PutBack, RemovePrevious };

  FileError CheckPlaces(const ShortString& source, bool forRestore) const;
  FileError Decide(const ShortString& source, Step* step) const;
  FileError Settle(const ShortString& source);
  FileError RestorePrevious();
  void PutBackOrLeave();
  FileError FinishCopy();
  FileError MakeRecord(const FirstWrite& first);
  void DropRecord();

  ShortString directory_;
  ShortString path_;
  ShortString temporaryPath_;
  ShortString previousPath_;
  ShortString recordPath_;
  ShortString replacedPath_;
  ShortString source_;
  State state_ = State::None;
  Settlement settled_ = Settlement::None;
  bool hadPrevious_ = false;  // PutInPlace moved a reserve copy to previousPath_
  FirstWrite first_;
  std::uint8_t before_[fastecho::kDescriptionWidth] = {};  // first_.before points here
  platform::FileHandle copy_ = platform::kInvalidHandle;    // this run's temporary copy
  platform::FileHandle record_ = platform::kInvalidHandle;  // the record, while the previous copy waits
};
