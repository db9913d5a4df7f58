// The reserve copy's settling: what a stopped run left is settled by its
// record, whatever the files' contents say, and a record that is not this
// installation's, or none at all, misleads nobody.
#include "driver/reserve_copy.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "support/fastecho_builder.h"
#include "support/scratch_dir.h"

namespace fs = std::filesystem;
namespace faults = platform::faults;

namespace {

constexpr std::uint64_t kField = 10;  // where the stopped run's first description went
const Bytes kFile(200, 'f');          // the FastEcho file as the next run finds it
const std::string kCopy = "the reserve copy the stopped run put in place";
const std::string kOlder = "the previous reserve copy, set aside";

// What the record says, or how it fails to be this installation's.
enum class Record { None, Pending, OnDisk, OtherPrevious, OtherFastEcho, NotARecord };

struct SettleCase {
  const char* name;
  bool previousThere;  // $FE_CFG$.QZ- left
  bool copyThere;      // $FE_CFG$.QZ$ there
  Record record;
  bool fieldWritten = false;  // the field no longer holds what the record says it held
  bool restoredByHand = false;  // the reserve copy was copied onto the FastEcho file
  Settlement settled;
  std::optional<std::string> copyAfter;  // what $FE_CFG$.QZ$ holds then; nullopt: none
  bool fileEndsInTheField = false;  // the FastEcho file was cut short since
};

std::string FileText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

const SettleCase kSettleCases[] = {
    {"nothing left", false, true, Record::None, false, false, Settlement::None, kCopy},
    {"a stale record without its previous copy", false, true, Record::Pending, false, false, Settlement::None,
     kCopy},
    {"stopped between the two renames", true, false, Record::Pending, false, false, Settlement::PutBack, kOlder},
    {"stopped before its first description", true, true, Record::Pending, false, false, Settlement::PutBack,
     kOlder},
    {"stopped after its first description reached the field", true, true, Record::Pending, true, false,
     Settlement::Removed, kCopy},
    // What is left of the field as it was is no field as it was.
    {"the file now ends inside the field", true, true, Record::Pending, false, false, Settlement::Removed, kCopy,
     true},
    // The run said its first description was on the disk: a restore by hand
    // since makes the copy equal to the file, and changes nothing of that.
    {"on the disk, then restored by hand", true, true, Record::OnDisk, false, true, Settlement::Removed, kCopy},
    // Records that are not this installation's are not followed: the copy
    // equal to the file is all there is to go by, as for a leftover
    // without a record.
    {"a record of another previous copy", true, true, Record::OtherPrevious, true, true, Settlement::PutBack,
     kOlder},
    {"a record of another FastEcho file", true, true, Record::OtherFastEcho, true, true, Settlement::PutBack,
     kOlder},
    {"a file of the record's name that is no record", true, true, Record::NotARecord, false, true,
     Settlement::PutBack, kOlder},
    {"no record, the copy equal to the file", true, true, Record::None, false, true, Settlement::PutBack, kOlder},
    {"no record, the copy unlike the file", true, true, Record::None, false, false, Settlement::Removed, kCopy},
};

class ReserveCopySettle : public testing::TestWithParam<SettleCase> {
 protected:
  std::string Prog(const char* name) const { return dir_.File(name); }
  ShortString Directory() const { return dir_.Path().string() + platform::kDirSeparator; }

  // The leftovers of the case, and the FastEcho file.
  void Leave(const SettleCase& c) {
    WriteFileBytes(fastEcho_, kFile);
    if (c.copyThere) WriteFileText(Prog(kReserveCopyName), kCopy);
    if (c.previousThere) WriteFileText(Prog(kPreviousReserveCopyName), kOlder);
    if (c.restoredByHand) WriteFileText(fastEcho_, kCopy);
    if (c.record == Record::None) return;
    if (c.record == Record::NotARecord) {
      WriteFileText(Prog(kReserveRecordName), "notes of the sysop's own");
      return;
    }
    ReserveRecord record;
    record.phase = c.record == Record::OnDisk ? ReserveRecord::Phase::OnDisk : ReserveRecord::Phase::Pending;
    record.fieldOffset = kField;
    const Bytes now = ReadFileBytes(fastEcho_);
    std::memcpy(record.before, now.data() + kField, sizeof record.before);
    if (c.fieldWritten) record.before[5] ^= 0x20;
    if (c.fileEndsInTheField) {
      // The field's first 20 bytes as they were, the rest past the end.
      record.fieldOffset = now.size() - 20;
      std::memset(record.before, 0, sizeof record.before);
      std::memcpy(record.before, now.data() + record.fieldOffset, 20);
    }
    ASSERT_EQ(platform::GetFileId(fastEcho_.c_str(), &record.fastEcho), 0u);
    if (c.previousThere) {
      ASSERT_EQ(platform::GetFileId(Prog(kPreviousReserveCopyName).c_str(), &record.previous), 0u);
    }
    if (c.record == Record::OtherPrevious) ++record.previous.index;
    if (c.record == Record::OtherFastEcho) ++record.fastEcho.index;
    WriteFileText(Prog(kReserveRecordName), EncodeReserveRecord(record));
  }

  ScratchDir dir_;
  const std::string fastEcho_ = dir_.File("fastecho.cfg");
};

TEST_P(ReserveCopySettle, TheRecordDecides) {
  const SettleCase& c = GetParam();
  Leave(c);
  if (HasFatalFailure()) return;
  const Bytes file = ReadFileBytes(fastEcho_);
  {
    ReserveCopy copy(Directory());
    Settlement foreseen = Settlement::None;
    ASSERT_FALSE(copy.ForeseeSettlement(fastEcho_, &foreseen).Failed());
    EXPECT_EQ(foreseen, c.settled) << "the preview foresees what the run does";
    const FileError failure = copy.Make(fastEcho_);
    ASSERT_FALSE(failure.Failed()) << failure.path.str() << " " << failure.code;
    EXPECT_EQ(copy.Settled(), c.settled);
    EXPECT_EQ(SettlementText(c.settled) == nullptr, c.settled == Settlement::None);
  }
  if (c.copyAfter) {
    EXPECT_EQ(ReadFileText(Prog(kReserveCopyName)), *c.copyAfter);
  } else {
    EXPECT_FALSE(fs::exists(Prog(kReserveCopyName)));
  }
  EXPECT_FALSE(fs::exists(Prog(kPreviousReserveCopyName)));
  EXPECT_FALSE(fs::exists(Prog(kReserveRecordName)));
  EXPECT_FALSE(fs::exists(Prog(kTemporaryReserveCopyName)));
  EXPECT_EQ(ReadFileBytes(fastEcho_), file) << "settling never touches the FastEcho file";
}

INSTANTIATE_TEST_SUITE_P(, ReserveCopySettle, testing::ValuesIn(kSettleCases),
                         [](const testing::TestParamInfo<SettleCase>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p)
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return name;
                         });

TEST(ReserveCopySettleText, TheLogsWords) {
  EXPECT_STREQ(SettlementText(Settlement::PutBack),
               "  The previous reserve copy was put back (a run was stopped before its first change)");
  EXPECT_STREQ(SettlementText(Settlement::Removed), "  A previous run's reserve copy was removed");
  EXPECT_EQ(SettlementText(Settlement::None), nullptr);
}

TEST(ReserveRecordTest, OnlyItsOwnLayoutIsARecord) {
  ReserveRecord record;
  record.phase = ReserveRecord::Phase::OnDisk;
  record.fastEcho = {0x0102030405060708u, 9};
  record.previous = {10, 0xF0E0D0C0B0A09080u};
  record.fieldOffset = 0x123456789u;
  for (std::size_t i = 0; i < sizeof record.before; ++i) record.before[i] = static_cast<std::uint8_t>(200 + i);
  const std::string bytes = EncodeReserveRecord(record);
  ASSERT_EQ(bytes.size(), kReserveRecordSize);
  ReserveRecord back;
  ASSERT_TRUE(DecodeReserveRecord(bytes, &back));
  EXPECT_EQ(EncodeReserveRecord(back), bytes);
  EXPECT_EQ(back.fieldOffset, record.fieldOffset);
  EXPECT_TRUE(back.fastEcho == record.fastEcho && back.previous == record.previous);

  std::string phase = bytes, mark = bytes;
  phase[kReserveRecordPhaseOffset] = 'X';
  mark[0] = 'b';
  for (const std::string& other : {bytes.substr(1), bytes + "!", phase, mark, std::string()})
    EXPECT_FALSE(DecodeReserveRecord(other, &back));
}

// A run whose first description reached the disk but whose removal of the
// previous copy failed: its record says so, and the next run removes that
// copy even after the sysop restored the FastEcho file by hand.
TEST(ReserveCopyLife, APreviousCopyLeftByAFailedRemovalGoesAlsoAfterARestoreByHand) {
  ScratchDir dir;
  const ShortString directory = dir.Path().string() + platform::kDirSeparator;
  const std::string fastEcho = dir.File("fastecho.cfg");
  Bytes before(300, 'a');
  WriteFileBytes(fastEcho, before);
  WriteFileText(dir.File(kReserveCopyName), kOlder);
  {
    ReserveCopy copy(directory);
    ASSERT_FALSE(copy.Make(fastEcho).Failed());
    ASSERT_FALSE(copy.PutInPlace({kField, before.data() + kField}).Failed());
    Bytes written = before;
    written[kField] = 'Z';
    WriteFileBytes(fastEcho, written);  // the first description
    faults::Arm(faults::Op::Remove, 1);  // the previous copy's removal fails
    copy.Commit();
    faults::Disarm();
  }
  ASSERT_TRUE(fs::exists(dir.File(kPreviousReserveCopyName)));
  EXPECT_EQ(ReadFileBytes(dir.File(kReserveCopyName)), before);
  WriteFileBytes(fastEcho, ReadFileBytes(dir.File(kReserveCopyName)));  // the manual's restore

  ReserveCopy next(directory);
  ASSERT_FALSE(next.Make(fastEcho).Failed());
  EXPECT_EQ(next.Settled(), Settlement::Removed);
  EXPECT_EQ(ReadFileBytes(dir.File(kReserveCopyName)), before);
  EXPECT_FALSE(fs::exists(dir.File(kPreviousReserveCopyName)));
  EXPECT_FALSE(fs::exists(dir.File(kReserveRecordName)));
}

// A run that stops after putting its copy in place settles by the field of
// its first description: untouched, the previous copy comes back; written,
// the run's own copy stays.
TEST(ReserveCopyLife, AStoppedRunSettlesByItsFirstField) {
  for (const bool written : {false, true}) {
    SCOPED_TRACE(written ? "the first description written" : "stopped before it");
    ScratchDir dir;
    const ShortString directory = dir.Path().string() + platform::kDirSeparator;
    const std::string fastEcho = dir.File("fastecho.cfg");
    const Bytes before(300, 'a');
    WriteFileBytes(fastEcho, before);
    WriteFileText(dir.File(kReserveCopyName), kOlder);
    {
      ReserveCopy copy(directory);
      ASSERT_FALSE(copy.Make(fastEcho).Failed());
      ASSERT_FALSE(copy.PutInPlace({kField, before.data() + kField}).Failed());
      ASSERT_TRUE(fs::exists(dir.File(kReserveRecordName))) << "the record is made before the copy is set aside";
      if (written) {
        Bytes now = before;
        now[kField + 51] = 'Z';  // the field's last byte alone
        WriteFileBytes(fastEcho, now);
      }
    }  // stopped: Abandon
    EXPECT_EQ(ReadFileText(dir.File(kReserveCopyName)), written ? FileText(before) : kOlder);
    EXPECT_FALSE(fs::exists(dir.File(kPreviousReserveCopyName)));
    EXPECT_FALSE(fs::exists(dir.File(kReserveRecordName)));
  }
}

}  // namespace
