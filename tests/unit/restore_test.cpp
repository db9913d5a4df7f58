// The restore in-process, on both builds: the file cut to its copy's
// length, and another program that opens or changes the file between its
// copy and the restore's own open.
#include "driver/restore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "log/log_stamp.h"
#include "platform/fault_injection.h"
#include "support/fastecho_builder.h"
#include "support/process_trap.h"
#include "support/scratch_dir.h"
#include "util/files.h"

namespace fs = std::filesystem;
namespace faults = platform::faults;

namespace {

platform::LocalDateTime FixedClock() { return {2026, 12, 7, 22, 30, 12}; }

std::function<void()> g_meanwhile;
void Meanwhile() { g_meanwhile(); }

class RestoreTest : public testing::Test {
 protected:
  void SetUp() override {
    layout_.areas = {{"ALPHA", "Alpha"}, {"BETA", ""}};
    copy_ = layout_.Build();
    WriteFileBytes(Prog(kReserveCopyName), copy_);
  }
  void TearDown() override { faults::ClearMoments(); }

  std::string Prog(const std::string& name) const { return dir_.File(name); }
  std::string Cfg() const { return dir_.File("fastecho.cfg"); }
  std::string CfgShown() const { return UpCasePath(ShortString(Cfg())).str(); }

  // The restore from the log's opening on; its exit code (-1: returned).
  int Restore() {
    RunState run;
    run.installationDir = dir_.Path().string() + platform::kDirSeparator;
    run.settings.fastEchoCfgPath = Cfg();
    trap_.Clear();
    const int code = trap_.Run([&] {
      run.log = LogWriter::Init(ShortString(Prog("blsm.log")), true, FixedClock);
      RestoreReserveCopy(run);
    });
    faults::ClearMoments();
    run.stream.reset();
    run.log.reset();
    return code;
  }

  ScratchDir dir_;
  FastEchoImage layout_;
  Bytes copy_;
  ProcessTrap trap_;
};

// A file longer than its copy (a piece of a record after the last whole
// one, which no area reads) is cut to the copy's length.
TEST_F(RestoreTest, TheFileIsCutToTheCopysLength) {
  Bytes longer = copy_;
  PutDescription(longer, layout_, 1, "Beta");
  longer.insert(longer.end(), 30, 'z');
  WriteFileBytes(Cfg(), longer);
  EXPECT_EQ(Restore(), -1) << trap_.Console();
  EXPECT_EQ(ReadFileBytes(Cfg()), copy_);
  EXPECT_EQ(ReadFileBytes(Prog(kReplacedFileName)), longer);
  EXPECT_EQ(ReadFileBytes(Prog(kReserveCopyName)), copy_);
  EXPECT_FALSE(fs::exists(Prog(kTemporaryReserveCopyName)));
}

// Between the copy of the file and the restore's own open, another program
// opens the file, or changes it: the restore stops and changes nothing.
TEST_F(RestoreTest, AnotherProgramMeanwhileStopsIt) {
  Bytes written = copy_;
  PutDescription(written, layout_, 1, "Beta");
  Bytes changed = written;
  PutDescription(changed, layout_, 1, "Changed by FastEcho");
  platform::FileHandle held = platform::kInvalidHandle;
  const struct {
    const char* name;
    std::function<void()> meanwhile;
    Bytes left;
    std::string error;
  } cases[] = {
      {"opened",
       [&] {
         ASSERT_EQ(platform::OpenFile(Cfg().c_str(), platform::Access::ReadWrite, platform::Sharing::ReadWrite,
                                      platform::Creation::OpenExisting, platform::Target::DiskFile, &held),
                   0u);
       },
       written, "Error: Can't restore " + CfgShown() + " (in use by another program)"},
      {"changed", [&] { WriteFileBytes(Cfg(), changed); }, changed,
       "Error: " + CfgShown() + " was changed by another program after it was copied; nothing was restored"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(Cfg(), written);
    g_meanwhile = c.meanwhile;
    faults::AtMoment(faults::Moment::ReserveCopyMade, 1, Meanwhile);
    EXPECT_EQ(Restore(), 255);
    if (held != platform::kInvalidHandle) platform::CloseFile(held);
    held = platform::kInvalidHandle;
    EXPECT_TRUE(trap_.Console().ends_with(c.error + "\r\n\r\n")) << trap_.Console();
    EXPECT_EQ(ReadFileBytes(Cfg()), c.left);
    EXPECT_FALSE(fs::exists(Prog(kReplacedFileName)));
    EXPECT_FALSE(fs::exists(Prog(kTemporaryReserveCopyName)));
    EXPECT_EQ(ReadFileBytes(Prog(kReserveCopyName)), copy_);
  }
}

}  // namespace
