#include "driver/area_pass.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "log/log_stamp.h"
#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "support/fastecho_builder.h"
#include "support/process_trap.h"
#include "support/scratch_dir.h"
#include "util/files.h"

namespace {

namespace faults = platform::faults;

platform::LocalDateTime FixedClock() { return {2024, 2, 29, 23, 59, 58}; }

// Console capture that can also arm a write fault the moment a given line
// reaches the console: the second platform write after that line fails.
struct ConsoleProbe {
  std::string bytes;
  std::string armAtLine;  // empty: never arm
  faults::Kind kind = faults::Kind::Fail;
  bool armed = false;
};
ConsoleProbe g_probe;

void ProbeConsole(const char* bytes, std::size_t count) {
  const std::string text = ConsoleAsCrLf(std::string_view(bytes, count));
  g_probe.bytes.append(text);
  if (!g_probe.armed && !g_probe.armAtLine.empty() && text == g_probe.armAtLine + "\r\n") {
    // The log's own write of that line comes first.
    faults::Arm(faults::Op::Write, 2, g_probe.kind);
    g_probe.armed = true;
  }
}

struct LogLine {
  char mark;
  std::string text;  // "{cfg}" stands for the configuration file's path as shown
};

FastEchoImage ThreeListedAreas(std::uint16_t recordSize = 200) {
  FastEchoImage image;
  image.areaRecordSize = recordSize;
  image.areas = {{"AREA.ONE", "", 0x05}, {"AREA.TWO", "", 0x0F}, {"AREA.THREE", "", 0x00}};
  return image;
}

const char* const kEchoList =
    ",AREA.ONE,first area\r\n"
    ",AREA.TWO,second area\r\n"
    ",AREA.THREE,third area\r\n";

const std::vector<LogLine> kAllThreeAdded = {
    {'+', "   Added description for area AREA.ONE"},
    {'+', "   Added description for area AREA.TWO"},
    {'+', "   Added description for area AREA.THREE"},
};
const std::vector<std::pair<std::size_t, std::string>> kAllThreeWritten = {
    {0, "First area"}, {1, "Second area"}, {2, "Third area"}};

// Two areas whose 52-byte fields are full, and an empty one.
FastEchoImage FullFieldAreas() {
  FastEchoImage image;
  image.areas = {{"AREA.ONE", "Fifty-two characters of text; the last one differs:X", 0x00},
                 {"AREA.TWO", "Fifty-two characters of text; the last one differs:X", 0x00},
                 {"AREA.THREE", "", 0x00}};
  return image;
}

// One area of each outcome without FORCEDESC: written, not listed, wrong
// kind (listed), description present (listed).
FastEchoImage MixedAreas() {
  FastEchoImage image;
  image.areas = {{"AREA.ONE", "", 0x0F},
                 {"NOT.LISTED", "", 0x00},
                 {"AREA.TWO", "", 0x10},
                 {"AREA.THREE", "Kept as it is", 0x00}};
  return image;
}

struct PassCase {
  const char* name;
  FastEchoImage image;
  const char* echoList = kEchoList;
  bool forceDesc = false;
  std::function<void(Bytes&)> patch = nullptr;  // changes the built file, e.g. its header
  std::optional<faults::Kind> secondWriteFault = std::nullopt;
  int exitCode = -1;  // -1: the pass returned
  std::vector<std::pair<std::size_t, std::string>> written = {};
  std::optional<std::size_t> unsettledArea = std::nullopt;  // may hold part of a failed write
  std::vector<LogLine> log = {};                            // after the two "%" lines
  std::uint32_t addedCount = 0;
};

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

std::vector<PassCase> PassCases() {
  const auto failedSecondWrite = [](const char* reason) {
    return std::vector<LogLine>{{'+', "   Added description for area AREA.ONE"},
                                {'!', std::string("Error: Can't write to {cfg} (") + reason + ")"}};
  };
  const LogLine nothingChanged = {'%', "  Nothing was changed; the reserve copy was left as it was"};
  const auto recordSize = [](std::uint16_t size) {
    return [size](Bytes& b) { PutU16(b, fastecho::kHeaderTailOffset, size); };
  };
  const auto noRecord = [&](std::size_t size) {
    return std::vector<LogLine>{
        {'?', "Warning: {cfg} holds no area record (" + std::to_string(size) + " bytes)"}, nothingChanged};
  };
  const std::size_t threeAreasSize = ThreeListedAreas().Build().size();
  const auto refused = [&](const char* size) {
    return std::vector<LogLine>{
        {'?', std::string("Warning: Area record size ") + size + " is not supported; no area was processed"},
        nothingChanged};
  };

  return {
      {.name = "every listed area gets its description",
       .image = ThreeListedAreas(),
       .written = kAllThreeWritten,
       .log = kAllThreeAdded,
       .addedCount = 3},
      {.name = "each outcome once",
       .image = MixedAreas(),
       .written = {{0, "First area"}},
       .log = {{'+', "   Added description for area AREA.ONE"},
               {'-', "   No description for areaNOT.LISTED"}},
       .addedCount = 1},
      {.name = "smallest record that holds the description",
       .image = ThreeListedAreas(190),
       .written = kAllThreeWritten,
       .log = kAllThreeAdded,
       .addedCount = 3},
      {.name = "largest record the buffer holds",
       .image = ThreeListedAreas(256),
       .written = kAllThreeWritten,
       .log = kAllThreeAdded,
       .addedCount = 3},
      {.name = "second description write fails",
       .image = ThreeListedAreas(),
       .secondWriteFault = faults::Kind::Fail,
       .exitCode = 255,
       .written = {{0, "First area"}},
       .log = failedSecondWrite("input/output error"),
       .addedCount = 1},
      {.name = "second description write comes back short",
       .image = ThreeListedAreas(),
       .secondWriteFault = faults::Kind::ShortWrite,
       .exitCode = 255,
       .written = {{0, "First area"}},
       .unsettledArea = 1,
       .log = failedSecondWrite("disk full"),
       .addedCount = 1},
      {.name = "record size 189 is refused",
       .image = ThreeListedAreas(),
       .patch = recordSize(189),
       .log = refused("189")},
      {.name = "record size 257 is refused",
       .image = ThreeListedAreas(),
       .patch = recordSize(257),
       .log = refused("257")},
      {.name = "record size 0 is refused",
       .image = ThreeListedAreas(),
       .patch = recordSize(0),
       .log = refused("0")},
      // In 32 bits, 4644 + 131335 + 65535 * 65535 wraps to 4908, the first
      // record of this file; in 64 bits it lies far beyond the end.
      {.name = "leading records past 4 GiB do not wrap onto the records",
       .image = ThreeListedAreas(),
       .patch =
           [](Bytes& b) {
             PutU16(b, fastecho::kLeadingCountOffset, 65535);
             PutU16(b, fastecho::kLeadingSizeOffset, 65535);
             PutU32(b, fastecho::kExtensionSizeOffset, 131335);
           },
       .log = noRecord(threeAreasSize)},
      // 4644 + 0xFFFFFFFF + 1 * 265 wraps to 4908 as well.
      {.name = "extension past 4 GiB does not wrap onto the records",
       .image = ThreeListedAreas(),
       .patch =
           [](Bytes& b) {
             PutU16(b, fastecho::kLeadingCountOffset, 1);
             PutU16(b, fastecho::kLeadingSizeOffset, 265);
             PutU32(b, fastecho::kExtensionSizeOffset, 0xFFFFFFFFu);
           },
       .log = noRecord(threeAreasSize)},
      // Under FORCEDESC a field is left alone only when all its 52 bytes are
      // the list's; the old text follows the "+" line of a field that had
      // one.
      {.name = "a field differing in its last byte alone is rewritten",
       .image = FullFieldAreas(),
       .echoList = ",AREA.ONE,Fifty-two characters of text; the last one differs:Y\r\n"
                   ",AREA.TWO,Fifty-two characters of text; the last one differs:X\r\n"
                   ",AREA.THREE,third area\r\n",
       .forceDesc = true,
       .written = {{0, "Fifty-two characters of text; the last one differs:Y"}, {2, "Third area"}},
       .log = {{'+', "   Added description for area AREA.ONE"},
               {'%', "    AREA.ONE was \"Fifty-two characters of text; the last one differs:X\""},
               {'+', "   Added description for area AREA.THREE"}},
       .addedCount = 2},
      {.name = "file shorter than the header ends the walk with a warning",
       .image = ThreeListedAreas(),
       .patch = [](Bytes& b) { b.resize(4000); },
       .log = noRecord(4000)},
  };
}

// Each case of the table is a test of its own.
class DescribeAreasCase : public testing::TestWithParam<PassCase> {};

TEST_P(DescribeAreasCase, RunsAsTheTableSays) {
  const PassCase& c = GetParam();
  ScratchDir dir;
  const std::string programDir = dir.Path().string() + platform::kDirSeparator;
  const std::string reservePath = programDir + kReserveCopyName;
  const std::string cfgPath = dir.File("fastecho.cfg");
  const std::string logPath = dir.File("blurbsmith.log");
  const std::string echoPath = dir.File("echo.lst");

  Bytes original = c.image.Build();
  ASSERT_EQ(c.image.FirstAreaOffset(), 4908u);
  if (c.patch) c.patch(original);
  WriteFileBytes(cfgPath, original);
  WriteFileText(echoPath, c.echoList);
  Bytes expected = original;
  for (const auto& [area, text] : c.written) PutDescription(expected, c.image, area, text);

  {
    RunState run;
    run.programDir = programDir;
    run.installationDir = programDir;
    run.settings.fastEchoCfgPath = ShortString(cfgPath);
    run.settings.logFilePath = ShortString(logPath);
    run.settings.forceDesc = c.forceDesc;
    run.settings.upcaseFirstDescChar = true;
    run.AddEchoList(ShortString(echoPath));

    ProcessTrap trap;
    g_probe = ConsoleProbe{};
    platform::SetConsoleHook(ProbeConsole);
    if (c.secondWriteFault) {
      // The first description is reported right after it reached the
      // file; the next write is the second description.
      g_probe.armAtLine = "   Added description for area AREA.ONE";
      g_probe.kind = *c.secondWriteFault;
    }
    const ShortString logName(logPath);
    ASSERT_EQ(trap.Run([&] { run.log = LogWriter::Init(logName, true, FixedClock); }), -1);
    const int code = trap.Run([&] { DescribeAreas(run); });
    faults::Disarm();
    EXPECT_EQ(code, c.exitCode);
    EXPECT_EQ(run.addedCount, c.addedCount);
    EXPECT_EQ(g_probe.armed, c.secondWriteFault.has_value());

    // Release the file and the log as shutdown would.
    run.stream.reset();
    run.log.reset();

    const std::string cfgShown = UpCasePath(ShortString(cfgPath)).str();
    std::vector<LogLine> lines = {
        {'%', "  Making reserve copy of Fastecho.cfg [" + reservePath + "]"},
        {'%', "  Processing \"{cfg}\".."}};
    lines.insert(lines.end(), c.log.begin(), c.log.end());
    const std::string stamp = LogStamp(FixedClock()).str();
    std::string expectedLog = "\r\n";
    std::string expectedConsole;
    for (const LogLine& line : lines) {
      const std::string text = Replace(line.text, "{cfg}", cfgShown);
      expectedLog += std::string(1, line.mark) + " " + stamp + " BLSM " + text + "\r\n";
      expectedConsole += text + "\r\n";
      if (line.mark == '!') expectedConsole += "\r\n";
    }
    EXPECT_EQ(ReadFileText(logPath), expectedLog);
    EXPECT_EQ(g_probe.bytes, expectedConsole);
  }

  Bytes actual = ReadFileBytes(cfgPath);
  ASSERT_EQ(actual.size(), expected.size());
  if (c.unsettledArea) {
    // Only the field whose write failed may differ.
    const std::size_t at = c.image.DescriptionOffset(*c.unsettledArea);
    std::copy(expected.begin() + at, expected.begin() + at + 52, actual.begin() + at);
  }
  EXPECT_EQ(actual, expected);
  if (c.written.empty()) {
    EXPECT_FALSE(std::filesystem::exists(reservePath)) << "a run that writes nothing keeps the old copy";
  } else {
    EXPECT_EQ(ReadFileBytes(reservePath), original)
        << "the reserve copy holds the file as it was before the run";
  }
  EXPECT_FALSE(std::filesystem::exists(programDir + kTemporaryReserveCopyName));
  EXPECT_FALSE(std::filesystem::exists(programDir + kPreviousReserveCopyName));
}

INSTANTIATE_TEST_SUITE_P(Table, DescribeAreasCase, testing::ValuesIn(PassCases()),
                         [](const testing::TestParamInfo<PassCase>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p)
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return name;
                         });

// Another program may rewrite the FastEcho file while the pass runs. The
// seam changes the file at a chosen moment; the pass must then stop before
// it writes into a file or a record other than the one it examined, and
// must never make the file longer.
std::function<void()> g_change;
void RunChange() { g_change(); }

struct ChangeCase {
  const char* name;
  faults::Moment moment;
  std::uint64_t nth;
  std::function<Bytes(const Bytes& now)> change;  // the file the other program leaves
  std::vector<LogLine> log;                       // after the two "%" lines
};

TEST(DescribeAreasTest, AFileChangedByAnotherProgramIsNeverWrittenAmiss) {
  const FastEchoImage image = ThreeListedAreas();
  const Bytes original = image.Build();
  const auto changedAt = [](const char* area) {
    return LogLine{'!', std::string("Error: {cfg} was changed by another program during the run (area ") +
                            area + ")"};
  };
  const LogLine firstAdded = {'+', "   Added description for area AREA.ONE"};
  const std::vector<ChangeCase> cases = {
      {"rewritten between the reserve copy and the open", faults::Moment::ReserveCopyMade, 1,
       [](const Bytes& now) {
         Bytes changed = now;
         changed[100] ^= 0x55;
         return changed;
       },
       {{'!', "Error: {cfg} was changed by another program after its reserve copy was made; "
              "nothing was written"}}},
      {"shortened between the reserve copy and the open", faults::Moment::ReserveCopyMade, 1,
       [](const Bytes& now) { return Bytes(now.begin(), now.end() - 20); },
       {{'!', "Error: {cfg} was changed by another program after its reserve copy was made; "
              "nothing was written"}}},
      {"its last byte changed between the reserve copy and the open",
       faults::Moment::ReserveCopyMade, 1,
       [](const Bytes& now) {
         Bytes changed = now;
         changed.back() ^= 0x55;
         return changed;
       },
       {{'!', "Error: {cfg} was changed by another program after its reserve copy was made; "
              "nothing was written"}}},
      {"the second area described by another program meanwhile", faults::Moment::DescriptionFound, 2,
       [&](const Bytes& now) {
         Bytes changed = now;
         PutDescription(changed, image, 1, "Described elsewhere");
         return changed;
       },
       {firstAdded, changedAt("AREA.TWO")}},
      {"shrunk while the pass is at the second area", faults::Moment::DescriptionFound, 2,
       [&](const Bytes& now) { return Bytes(now.begin(), now.begin() + image.RecordStart(1) + 100); },
       {firstAdded, changedAt("AREA.TWO")}},
      {"rewritten with a longer extension block", faults::Moment::DescriptionFound, 2,
       [&](const Bytes&) {
         FastEchoImage moved = image;
         moved.extensionSize += 20;
         moved.seed = 7;
         return moved.Build();
       },
       {firstAdded, changedAt("AREA.TWO")}},
  };

  for (const ChangeCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    const std::string programDir = dir.Path().string() + platform::kDirSeparator;
    const std::string cfgPath = dir.File("fastecho.cfg");
    const std::string logPath = dir.File("blurbsmith.log");
    WriteFileBytes(cfgPath, original);
    WriteFileText(dir.File("echo.lst"), kEchoList);
    Bytes left;  // what the other program wrote
    g_change = [&] {
      left = c.change(ReadFileBytes(cfgPath));
      WriteFileBytes(cfgPath, left);
    };
    faults::AtMoment(c.moment, c.nth, RunChange);

    ProcessTrap trap;
    RunState run;
    run.programDir = programDir;
    run.installationDir = programDir;
    run.settings.fastEchoCfgPath = cfgPath;
    run.AddEchoList(ShortString(dir.File("echo.lst")));
    ASSERT_EQ(trap.Run([&] { run.log = LogWriter::Init(ShortString(logPath), true, FixedClock); }), -1);
    EXPECT_EQ(trap.Run([&] { DescribeAreas(run); }), 255);
    faults::ClearMoments();
    run.stream.reset();
    run.log.reset();

    EXPECT_EQ(ReadFileBytes(cfgPath), left) << "nothing written after the change";
    if (c.moment == faults::Moment::ReserveCopyMade) {
      EXPECT_FALSE(std::filesystem::exists(programDir + kReserveCopyName)) << "nothing was written";
    } else {
      EXPECT_EQ(ReadFileBytes(programDir + kReserveCopyName), original);
    }
    EXPECT_FALSE(std::filesystem::exists(programDir + kTemporaryReserveCopyName));
    std::vector<LogLine> lines = {
        {'%', "  Making reserve copy of Fastecho.cfg [" + programDir + kReserveCopyName + "]"},
        {'%', "  Processing \"{cfg}\".."}};
    lines.insert(lines.end(), c.log.begin(), c.log.end());
    std::string expectedLog = "\r\n";
    const std::string stamp = LogStamp(FixedClock()).str();
    for (const LogLine& line : lines)
      expectedLog += std::string(1, line.mark) + " " + stamp + " BLSM " +
                     Replace(line.text, "{cfg}", UpCasePath(ShortString(cfgPath)).str()) + "\r\n";
    EXPECT_EQ(ReadFileText(logPath), expectedLog);
  }
}

// Only the end of the file ends the walk normally: a record read or seek
// that fails otherwise stops the run, and what was written before stays.
// The stream reads at offsets: no seek stands between the records. Before
// the first write, a copy that cannot be read back for the check stops the
// run too: it is never taken for the file.
TEST(DescribeAreasTest, AFailedReadStopsTheRun) {
  FastEchoImage image = ThreeListedAreas();
  image.areas.push_back({"AREA.FOUR", "", 0x00});
  const Bytes original = image.Build();
  struct Case {
    const char* name;
    std::uint64_t found;  // the description found when the read is armed
    std::uint64_t nth;    // the read that fails, counted from that moment
    std::size_t written;
    const char* error;  // "{cfg}" and "{copy}" stand for their paths as shown
  };
  const std::vector<Case> cases = {
      {"the copy read back for the check", 1, 1, 0,
       "Error: Can't check {cfg} against its reserve copy ({copy}: input/output error)"},
      {"the record read again before its write", 2, 1, 1, "Error: Can't read {cfg} (input/output error)"},
      {"the walk's read of the next record", 2, 2, 2, "Error: Can't read {cfg} (input/output error)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    const std::string programDir = dir.Path().string() + platform::kDirSeparator;
    const std::string cfgPath = dir.File("fastecho.cfg");
    WriteFileBytes(cfgPath, original);
    WriteFileText(programDir + kReserveCopyName, "the reserve copy of an earlier run");
    WriteFileText(dir.File("echo.lst"), kEchoList);
    g_change = [&c] { faults::Arm(faults::Op::Read, c.nth); };
    faults::AtMoment(faults::Moment::DescriptionFound, c.found, RunChange);

    ProcessTrap trap;
    RunState run;
    run.programDir = run.installationDir = programDir;
    run.settings.fastEchoCfgPath = cfgPath;
    run.AddEchoList(ShortString(dir.File("echo.lst")));
    ASSERT_EQ(trap.Run([&] { run.log = LogWriter::Init(ShortString(dir.File("blsm.log")), true, FixedClock); }), -1);
    EXPECT_EQ(trap.Run([&] { DescribeAreas(run); }), 255);
    faults::Disarm();
    faults::ClearMoments();
    run.stream.reset();
    run.log.reset();

    const std::string error = Replace(Replace(c.error, "{cfg}", UpCasePath(ShortString(cfgPath)).str()), "{copy}",
                                      UpCasePath(ShortString(programDir + kTemporaryReserveCopyName)).str());
    const std::string lastLine =
        c.written == 0 ? "  Processing \"" + UpCasePath(ShortString(cfgPath)).str() + "\"..\r\n"
                       : std::string("   Added description for area ") + (c.written == 1 ? "AREA.ONE" : "AREA.TWO") +
                             "\r\n";
    EXPECT_NE(trap.Console().find(lastLine + error + "\r\n\r\n"), std::string::npos) << trap.Console();
    Bytes expected = original;
    for (std::size_t area = 0; area < c.written; ++area)
      PutDescription(expected, image, area, std::string(area == 0 ? "First" : "Second") + " area");
    EXPECT_EQ(ReadFileBytes(cfgPath), expected);
    if (c.written == 0) {
      EXPECT_EQ(ReadFileText(programDir + kReserveCopyName), "the reserve copy of an earlier run");
    } else {
      EXPECT_EQ(ReadFileBytes(programDir + kReserveCopyName), original);
    }
    EXPECT_FALSE(std::filesystem::exists(programDir + kTemporaryReserveCopyName));
  }
}

// The write path of one description, counted through the seam on both
// builds: the record read again and its 52 bytes written, each at its
// offset with no seek, and the log's append. Each area also costs the
// walk's read; the list is read once, whatever the number of areas, and
// so is the first look at the area table (a short one, in one read).
TEST(DescribeAreasTest, EachWrittenDescriptionCostsOneReadAndTwoWrites) {
  const auto countRun = [](std::size_t areas) {
    ScratchDir dir;
    FastEchoImage image;
    std::string list;
    for (std::size_t i = 0; i < areas; ++i) {
      image.areas.push_back({"AREA." + std::to_string(i), "", 0x00});
      list += ",AREA." + std::to_string(i) + ",text\r\n";
    }
    WriteFileBytes(dir.File("fastecho.cfg"), image.Build());
    WriteFileText(dir.File("echo.lst"), list);
    ProcessTrap trap;
    RunState run;
    run.programDir = run.installationDir = dir.Path().string() + platform::kDirSeparator;
    run.settings.fastEchoCfgPath = dir.File("fastecho.cfg");
    run.AddEchoList(ShortString(dir.File("echo.lst")));
    EXPECT_EQ(trap.Run([&] { run.log = LogWriter::Init(ShortString(dir.File("blsm.log")), true, FixedClock); }), -1);
    faults::Disarm();
    faults::ResetCounts();
    EXPECT_EQ(trap.Run([&] { DescribeAreas(run); }), -1);
    EXPECT_EQ(run.addedCount, areas);
    std::array<std::uint64_t, 3> counts = {faults::Calls(faults::Op::Read), faults::Calls(faults::Op::Write),
                                           faults::Calls(faults::Op::Seek)};
    run.stream.reset();
    run.log.reset();
    return counts;
  };
  const auto few = countRun(4), more = countRun(12);
  EXPECT_EQ((more[0] - few[0]) / 8, 2u) << "reads: the walk's, the record's again";
  EXPECT_EQ((more[1] - few[1]) / 8, 2u) << "writes: the description and its log line";
  EXPECT_EQ((more[2] - few[2]) / 8, 0u) << "seeks: none";
  EXPECT_EQ((more[0] - few[0]) % 8, 0u);
  EXPECT_EQ((more[1] - few[1]) % 8, 0u);
  EXPECT_EQ((more[2] - few[2]) % 8, 0u);
}

}  // namespace

namespace {

// A UTF-8 console sees the texts in the node's own code page: 0xB5 is an
// A with an acute in 850 and a box-drawing piece in 437.
TEST(ShownTest, AUtf8ConsoleSeesTheTextsOfTheNodesCodePage) {
  struct Case {
    int codePage;
    bool utf8Console;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {850, true, "\xC3\x81rea"},
      {437, true, "\xE2\x95\xA1rea"},
      {866, true, "\xE2\x95\xA1rea"},
      {850, false, "\xB5rea"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + (c.utf8Console ? ", UTF-8 console" : ""));
    RunState run;
    run.codePage = CodePage::Find(c.codePage);
    run.utf8Console = c.utf8Console;
    EXPECT_EQ(Shown(run, "\xB5rea"), c.shown);
  }
}

}  // namespace
