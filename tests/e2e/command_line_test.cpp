// End-to-end: the command line. Without arguments the program does its job;
// the options show help or the version, preview the job or list the areas,
// and none of them writes, creates or changes any file.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "e2e/harness.h"

namespace fs = std::filesystem;

namespace {

const std::string kSettings =
    "FASTECHOCFG fastecho.cfg\r\nLOGFILE blsm.log\r\nECHOLIST echos.lst\r\n";
constexpr std::size_t kReserveCopyNameLength = 12;  // $FE_CFG$.QZ$

// Every file of a tree with its bytes: what must not change.
std::map<std::string, Bytes> Snapshot(const fs::path& root) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files[entry.path().string()] = ReadFileBytes(entry.path().string());
  return files;
}

class E2eCommandLine : public testing::Test {
 protected:
  void SetUp() override {
    layout_.areas = {{"ALPHA", ""},          {"BETA", "Kept as it is"}, {"NETMAIL", "", 0x10},
                     {"RU.\xAD\xAE\xA2\xAE", ""}, {"NOT.LISTED", ""}};
    original_ = layout_.Build();
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
    WriteFileText(inst_.WorkPath("echos.lst"),
                  ",ALPHA,alpha area\r\n,ru.\xAD\xAE\xA2\xAE,\xAD\xAE\xA2\xAE\xE1\xE2\xA8\r\n");
    inst_.WriteSettings(kSettings);
    // Text shown as stored, whatever the terminal of the tests.
    inst_.SetEnv("LC_ALL=C");
  }
  fs::path Root() const { return fs::path(inst_.ProgDirPath()).parent_path(); }
  std::string Cfg() const { return inst_.CasedPath("fastecho.cfg"); }
  // The reserve copy beside work/node1/blurbsmith.cfg, by its full path
  // (Windows keeps its letter case).
  std::string NodeReserveSeen() const {
    std::string path = inst_.WorkPath("node1/$FE_CFG$.QZ$");
    if (!inst_.UnderWine()) return path;
    for (char& c : path) if (c == '/') c = '\\';
    return "Z:" + path;
  }
  // What the preview and the listing show before their own lines.
  std::string UpToProcessing() const {
    return StartLines(inst_) + "  Processing \"" + Cfg() + "\"..\r\n";
  }

  Installation inst_;
  FastEchoImage layout_;
  Bytes original_;
};

TEST_F(E2eCommandLine, HelpAndVersionReadAndWriteNothing) {
  std::vector<std::string> helps = {"--help", "-h", "-?"};
  if (inst_.UnderWine()) helps.insert(helps.end(), {"/?", "/h", "/H", "-H"});
  fs::remove(inst_.ProgPath("blurbsmith.cfg"));  // not even needed
  const auto before = Snapshot(Root());
  for (const std::string& option : helps) {
    SCOPED_TRACE(option);
    const RunResult r = inst_.Run({option});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("Usage: blurbsmith [-q] [-c FILE] [-n | -l]\r\n"
                          "       blurbsmith [-q] [-c FILE] [-n] -r\r\n"
                          "       blurbsmith -h | --version\r\n\r\n", 0), 0u) << r.out;
    for (const char* line : {"  -n, --dry-run     show what the job would write; nothing is written",
                             "  -r, --restore     put the reserve copy back as the FastEcho file, keeping",
                             "  -q, --quiet       show only warnings, errors and what -n or -l shows",
                             "  -c, --config FILE read the settings from FILE (also -cFILE and",
                             "                    --config=FILE); the reserve copy is kept beside it"})
      EXPECT_NE(r.out.find(std::string("\r\n") + line + "\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("/n, /l, /r") != std::string::npos, inst_.UnderWine()) << r.out;
  }
  const RunResult r = inst_.Run({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "Blurbsmith 0.2\r\n");
  EXPECT_EQ(Snapshot(Root()), before);
}

TEST_F(E2eCommandLine, AnythingElseIsAnErrorThatTouchesNothing) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  std::vector<Case> cases = {
      {{"--force"}, "Unknown option \"--force\""},
      {{"-x"}, "Unknown option \"-x\""},
      {{"fastecho.cfg"}, "Unexpected argument \"fastecho.cfg\""},
      {{"-"}, "Unexpected argument \"-\""},
      {{"--list", "extra"}, "Unexpected argument \"extra\""},
      {{"-n", "-l"}, "Only one option at a time, not also \"-l\""},
      {{"--dry-run", "--dry-run"}, "Only one option at a time, not also \"--dry-run\""},
      {{"-q", "--quiet"}, "Only one option at a time, not also \"--quiet\""},
      {{"-c", "a.cfg", "-n", "-c", "b.cfg"}, "Only one option at a time, not also \"-c\""},
      {{"-h", "-q"}, "Only one option at a time, not also \"-q\""},
      {{"-q", "--help"}, "Only one option at a time, not also \"--help\""},
      {{"-c", "a.cfg", "--version"}, "Only one option at a time, not also \"--version\""},
      {{"-n", "-c"}, "A settings file must follow \"-c\""},
      {{"--config="}, "A settings file must follow \"--config=\""},
      {{"-ca.cfg", "-cb.cfg"}, "Only one option at a time, not also \"-cb.cfg\""},
      {{"--config=a.cfg", "-c", "b.cfg"}, "Only one option at a time, not also \"-c\""},
      {{"--config", "a.cfg", "--config=b.cfg"}, "Only one option at a time, not also \"--config=b.cfg\""},
      {{"--restore", "-l"}, "Only one option at a time, not also \"-l\""},
      {{"-n", "--restore", "-n"}, "Only one option at a time, not also \"-n\""},
  };
  if (inst_.UnderWine()) {
    cases.push_back({{"/x"}, "Unknown option \"/x\""});
    cases.push_back({{"/N", "-l"}, "Only one option at a time, not also \"-l\""});
  } else {
    cases.push_back({{"-N"}, "Unknown option \"-N\""});
    cases.push_back({{"/n"}, "Unexpected argument \"/n\""});
  }
  const auto before = Snapshot(Root());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const RunResult r = inst_.Run(c.args);
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_EQ(r.out, "Error: " + c.message + " (blurbsmith --help lists the options)\r\n\r\n");
  }
  EXPECT_EQ(Snapshot(Root()), before);
}

// The preview makes exactly the decisions of the job (the same code), and
// a run that follows writes exactly what it announced.
TEST_F(E2eCommandLine, ThePreviewAnnouncesWhatTheRunThenWrites) {
  const auto before = Snapshot(Root());
  const RunResult preview = inst_.Run({"--dry-run"});
  EXPECT_EQ(preview.exitCode, 0);
  EXPECT_EQ(preview.out, UpToProcessing() +
                             "   Would add description for area ALPHA: \"Alpha area\"\r\n"
                             "   Would add description for area RU.\xAD\xAE\xA2\xAE: \"\x8D\xAE\xA2\xAE\xE1\xE2\xA8\"\r\n"
                             "   No description for areaNOT.LISTED\r\n"
                             "  Description would be added to 2 areas\r\n");
  EXPECT_EQ(Snapshot(Root()), before) << "the preview changed or created a file";

  const RunResult run = inst_.Run();
  EXPECT_EQ(run.exitCode, 0);
  std::vector<std::string> announced, added;
  for (const std::string& line : SplitCrLf(preview.out))
    if (line.rfind("   Would add description for area ", 0) == 0)
      announced.push_back(line.substr(34, line.find(':') - 34));
  for (const std::string& line : SplitCrLf(run.out))
    if (line.rfind("   Added description for area ", 0) == 0) added.push_back(line.substr(30));
  EXPECT_EQ(added, announced);
  EXPECT_NE(run.out.find("  Description was added to 2 areas\r\n"), std::string::npos);
  Bytes expected = original_;
  PutDescription(expected, layout_, 0, "Alpha area");
  PutDescription(expected, layout_, 3, "\x8D\xAE\xA2\xAE\xE1\xE2\xA8");
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected);
}

TEST_F(E2eCommandLine, TheListingShowsEveryAreaInAlignedColumns) {
  const auto before = Snapshot(Root());
  const RunResult r = inst_.Run({"--list"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, UpToProcessing() +
                       "  #  Kind  Tag         Description\r\n"
                       "  1     0  ALPHA\r\n"
                       "  2     0  BETA        Kept as it is\r\n"
                       "  3     1  NETMAIL\r\n"
                       "  4     0  RU.\xAD\xAE\xA2\xAE\r\n"
                       "  5     0  NOT.LISTED\r\n"
                       "  5 areas\r\n");
  EXPECT_EQ(Snapshot(Root()), before);
}

// On a UTF-8 terminal (POSIX) the preview and the listing show code page
// 866 text as UTF-8; the job itself keeps its bytes.
TEST_F(E2eCommandLine, AUtf8TerminalSeesCyrillicTextAsUtf8) {
  if (inst_.UnderWine()) GTEST_SKIP() << "the Windows console shows the OEM code page";
  inst_.SetEnv("LC_ALL=C.UTF-8");
  const RunResult preview = inst_.Run({"-n"});
  EXPECT_NE(preview.out.find("   Would add description for area RU.\xd0\xbd\xd0\xbe\xd0\xb2\xd0\xbe: \""
                             "\xd0\x9d\xd0\xbe\xd0\xb2\xd0\xbe\xd1\x81\xd1\x82\xd0\xb8\"\r\n"),
            std::string::npos) << preview.out;
  const RunResult list = inst_.Run({"-l"});
  EXPECT_NE(list.out.find("  4     0  RU.\xd0\xbd\xd0\xbe\xd0\xb2\xd0\xbe\r\n"), std::string::npos)
      << list.out;
  const RunResult run = inst_.Run();
  EXPECT_NE(run.out.find("   Added description for area RU.\xAD\xAE\xA2\xAE\r\n"), std::string::npos);
}

// The listing writes no log, so it needs none: no LOGFILE, a log in a
// missing directory or one that names another file stop the run and the
// preview, not the listing.
TEST_F(E2eCommandLine, TheListingNeedsNoLog) {
  const std::string listing = inst_.Run({"-l"}).out.substr(UpToProcessing().size());
  ASSERT_NE(listing.find("  5 areas\r\n"), std::string::npos) << listing;
  for (const std::string log : {"", "LOGFILE nodir/blsm.log\r\n", "LOGFILE fastecho.cfg\r\n"}) {
    SCOPED_TRACE(log);
    inst_.WriteSettings("FASTECHOCFG fastecho.cfg\r\n" + log);
    const RunResult r = inst_.Run({"-l"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, UpToProcessing() + listing);
    EXPECT_EQ(inst_.Run({"-n"}).exitCode, 255);
  }
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);
  EXPECT_FALSE(fs::exists(inst_.WorkPath("nodir")));
}

// FASTECHOCFG that names one of the reserve copy's own files: the preview
// refuses it with the run's own words.
TEST_F(E2eCommandLine, ThePreviewRefusesTheReserveCopysOwnFiles) {
  const struct {
    const char* name;
    const char* what;
  } places[] = {{"$FE_CFG$.QZ$", "the reserve copy itself"},
                {"$FE_CFG$.QZ~", "the reserve copy's temporary copy"},
                {"$FE_CFG$.QZ-", "the previous reserve copy"}};
  for (const auto& place : places) {
    SCOPED_TRACE(place.name);
    fs::copy_file(inst_.WorkPath("fastecho.cfg"), inst_.ProgPath(place.name), fs::copy_options::overwrite_existing);
    const std::string named = inst_.ProgDirSeen() + place.name;
    inst_.WriteSettings("FASTECHOCFG " + named + "\r\nLOGFILE blsm.log\r\nECHOLIST echos.lst\r\n");
    const std::string error = "Error: Can't make reserve copy (" + inst_.CasedPath(named) +
                              ": FASTECHOCFG names " + place.what + ")\r\n\r\n";
    const RunResult preview = inst_.Run({"-n"});
    EXPECT_EQ(preview.exitCode, 255);
    EXPECT_TRUE(preview.out.ends_with(error)) << preview.out;
    const RunResult run = inst_.Run();
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_TRUE(run.out.ends_with(error)) << run.out;
    EXPECT_EQ(ReadFileBytes(inst_.ProgPath(place.name)), original_);
    fs::remove(inst_.ProgPath(place.name));
  }
}

// A settings file's directory may be as long as leaves room for the reserve
// copy's name within 255 characters, and not one character longer.
TEST_F(E2eCommandLine, ASettingsDirectoryAsLongAsTheReserveCopyAllows) {
  // Windows's own limit (MAX_PATH, 260 with the drive) comes first there.
  if (inst_.UnderWine()) GTEST_SKIP() << "paths that long pass MAX_PATH on Windows";
  for (const std::size_t length : {255 - kReserveCopyNameLength, 256 - kReserveCopyNameLength}) {
    SCOPED_TRACE(length);
    // A relative directory of exactly `length` characters, separator included.
    std::string dir;
    while (dir.size() + 51 < length) dir += std::string(50, 'd') + "/";
    dir += std::string(length - dir.size() - 1, 'e') + "/";
    ASSERT_EQ(dir.size(), length);
    fs::create_directories(inst_.WorkPath(dir));
    WriteFileText(inst_.WorkPath(dir + "b.cfg"), kSettings);
    const RunResult r = inst_.Run({"-c", dir + "b.cfg", "-l"});
    if (length + kReserveCopyNameLength <= 255) {
      EXPECT_EQ(r.exitCode, 0) << r.out;
    } else {
      EXPECT_EQ(r.exitCode, 255);
      EXPECT_NE(r.out.find("Error: The settings file's directory is too long"), std::string::npos) << r.out;
    }
  }
}

// A list from outside may hold control bytes (ESC recolours a terminal):
// the console shows '?' for each, on both builds and on a UTF-8 terminal
// too; the FastEcho file and the log get the bytes as they are.
TEST_F(E2eCommandLine, ControlBytesReachTheConsoleAsQuestionMarks) {
  layout_.areas = {{"ESC.AREA", ""}, {"STORED", "Bell\a and \x1B[2J"}};
  original_ = layout_.Build();
  WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
  WriteFileText(inst_.WorkPath("echos.lst"), ",ESC.AREA,Red \x1B[31mtext\x7F\r\n");
  for (const char* locale : {"LC_ALL=C", "LC_ALL=C.UTF-8"}) {
    SCOPED_TRACE(locale);
    inst_.SetEnv(locale);
    const RunResult preview = inst_.Run({"-n"});
    EXPECT_NE(preview.out.find("   Would add description for area ESC.AREA: \"Red ?[31mtext?\"\r\n"),
              std::string::npos) << preview.out;
    const RunResult list = inst_.Run({"-l"});
    EXPECT_NE(list.out.find("  2     0  STORED    Bell? and ?[2J\r\n"), std::string::npos) << list.out;
  }
  const RunResult run = inst_.Run();
  EXPECT_EQ(run.exitCode, 0) << run.out;
  Bytes expected = original_;
  PutDescription(expected, layout_, 0, "Red \x1B[31mtext\x7F");
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected);
  const std::vector<std::string> log = inst_.LogLines("blsm.log");
  EXPECT_NE(std::find(log.begin(), log.end(), "+ <stamp> BLSM    Added description for area ESC.AREA"), log.end());
}

TEST_F(E2eCommandLine, ThePreviewAndTheListingFailAsTheJobDoes) {
  for (const std::string option : {"-n", "-l"}) {
    SCOPED_TRACE(option);
    inst_.WriteSettings("FASTECHOCFG missing.cfg\r\nLOGFILE blsm.log\r\n");
    RunResult r = inst_.Run({option});
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_EQ(r.out, StartLines(inst_) + "Error: " + inst_.CasedPath("missing.cfg") + " not found (" +
                         inst_.WorkPathSeen("missing.cfg") + ")\r\n\r\n");
    inst_.WriteSettings(kSettings + "FORCEDESC perhaps\r\n");
    r = inst_.Run({option});
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_NE(r.out.find("1 errors were found in "), std::string::npos);
    EXPECT_FALSE(fs::exists(inst_.WorkPath("blsm.log")));
  }
}

// The preview stops where the run would, wherever that can be told without
// creating or writing anything: as an unprivileged user, for whom
// permissions count. (A read-only directory cannot be told on Windows,
// where rights are an access list that only an attempt can ask.)
TEST_F(E2eCommandLine, ThePreviewStopsWhereTheRunWould) {
  if (!RunningAsRoot()) GTEST_SKIP() << "needs root to run the program as an unprivileged user";
  WriteFileText(inst_.WorkPath("blsm.log"), "an earlier run\r\n");
  inst_.RunUnprivileged();  // the installation, the log included, is the user's
  const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  const fs::perms readOnlyDir = readOnly | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
  struct Case {
    const char* name;
    std::string settings;
    std::string path;  // made read-only for the case, when not empty
    fs::perms perms;
    std::string error;
    bool foreseenOnWindows;
  };
  const std::vector<Case> cases = {
      {"read-only FastEcho file", kSettings, inst_.WorkPath("fastecho.cfg"), readOnly,
       "Error: Can't open " + Cfg() + inst_.BecauseRelative("fastecho.cfg", "access denied"), true},
      {"log in a missing directory", "FASTECHOCFG fastecho.cfg\r\nLOGFILE nodir/blsm.log\r\n", "",
       readOnly,
       "Error: Can't create file \"nodir/blsm.log\"" + inst_.BecauseRelative("nodir/blsm.log", "no such directory"),
       true},
      {"read-only log", kSettings, inst_.WorkPath("blsm.log"), readOnly,
       "Error: Can't create file \"blsm.log\"" + inst_.BecauseRelative("blsm.log", "access denied"), true},
      {"read-only program directory", kSettings, inst_.ProgDirPath(), readOnlyDir,
       "Error: Can't make reserve copy (" + inst_.ProgPathSeen("$FE_CFG$.QZ~") + ": access denied)", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (inst_.UnderWine() && !c.foreseenOnWindows) continue;
    inst_.WriteSettings(c.settings);
    std::optional<fs::perms> before;
    if (!c.path.empty()) {
      before = fs::status(c.path).permissions();
      fs::permissions(c.path, c.perms);
    }
    const auto files = Snapshot(Root());
    const RunResult preview = inst_.Run({"-n"});
    EXPECT_EQ(preview.exitCode, 255);
    EXPECT_EQ(preview.out.substr(std::min(preview.out.size(), StartLines(inst_).size())),
              c.error + "\r\n\r\n") << preview.out;
    EXPECT_EQ(Snapshot(Root()), files) << "the preview changed or created a file";
    const RunResult run = inst_.Run();
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_NE(run.out.find(c.error + "\r\n\r\n"), std::string::npos) << "the run stops there too: " << run.out;
    EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);
    if (before) fs::permissions(c.path, *before);
  }
}

// Under FORCEDESC the preview tells a replaced description from an added one.
TEST_F(E2eCommandLine, ThePreviewSaysWhatItWouldReplace) {
  inst_.WriteSettings(kSettings + "FORCEDESC YES\r\n");
  WriteFileText(inst_.WorkPath("echos.lst"), ",ALPHA,alpha area\r\n,BETA,new beta\r\n");
  const RunResult r = inst_.Run({"-n"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, UpToProcessing() +
                       "   Would add description for area ALPHA: \"Alpha area\"\r\n"
                       "   Would replace description for area BETA: \"Kept as it is\" with \"New beta\"\r\n"
                       "   No description for areaRU.\xAD\xAE\xA2\xAE\r\n"
                       "   No description for areaNOT.LISTED\r\n"
                       "  Description would be added to 2 areas\r\n");
}

// A quiet run prints nothing unless there is a warning or an error to
// tell; its log is the log of any run. A quiet preview or listing still
// shows what it was asked for, without the banner and the progress.
TEST_F(E2eCommandLine, QuietRunsShowOnlyWarningsAndErrors) {
  const std::string loudPreview = inst_.Run({"-n"}).out;
  const std::string loudListing = inst_.Run({"-l"}).out;
  const RunResult loud = inst_.Run();
  ASSERT_EQ(loud.exitCode, 0);
  const std::vector<std::string> loudLog = inst_.LogLines("blsm.log");
  const std::string quietPreview =
      "   Would add description for area ALPHA: \"Alpha area\"\r\n"
      "   Would add description for area RU.\xAD\xAE\xA2\xAE: \"\x8D\xAE\xA2\xAE\xE1\xE2\xA8\"\r\n"
      "  Description would be added to 2 areas\r\n";
  ASSERT_NE(loudPreview.find("   No description for areaNOT.LISTED\r\n"), std::string::npos) << loudPreview;
  const std::string quietListing = loudListing.substr(loudListing.find("  #  Kind"));
  WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
  fs::remove(inst_.WorkPath("blsm.log"));

  std::vector<std::string> quiets = {"-q", "--quiet"};
  if (inst_.UnderWine()) quiets.insert(quiets.end(), {"/q", "/Q"});
  for (const std::string& quiet : quiets) {
    SCOPED_TRACE(quiet);
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
    fs::remove(inst_.WorkPath("blsm.log"));
    const RunResult r = inst_.Run({quiet});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(inst_.LogLines("blsm.log"), loudLog);
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
    EXPECT_EQ(inst_.Run({quiet, "-n"}).out, quietPreview);
    EXPECT_EQ(inst_.Run({"-l", quiet}).out, quietListing);
  }

  inst_.WriteSettings(kSettings + "ECHOLIST missing.lst\r\n");
  RunResult r = inst_.Run({"-q"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "Warning: Can't read the echo list \"missing.lst\"; its areas get no description" +
                       inst_.BecauseRelative("missing.lst", "no such file") + "\r\n");
  inst_.WriteSettings(kSettings + "FORCEDESC sometimes\r\n");
  r = inst_.Run({"-q"});
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out, "Warning: File " + inst_.SettingsPathSeen() + " (line 4) - Wrong value of ForceDesc\r\n"
                   "1 errors were found in " + inst_.SettingsPathSeen() + "\r\n");
  inst_.WriteSettings("FASTECHOCFG missing.cfg\r\nLOGFILE blsm.log\r\n");
  r = inst_.Run({"-q"});
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out, "Error: " + inst_.CasedPath("missing.cfg") + " not found (" + inst_.WorkPathSeen("missing.cfg") +
                       ")\r\n\r\n");
}

// One program, several nodes: -c names the settings file, whose directory
// holds that node's reserve copy; nothing is read or made beside the
// program.
TEST_F(E2eCommandLine, ASettingsFileOfOnesChoosing) {
  fs::remove(inst_.ProgPath("blurbsmith.cfg"));
  fs::create_directories(inst_.WorkPath("node1"));
  WriteFileText(inst_.WorkPath("node1/blurbsmith.cfg"), kSettings);
  const auto before = Snapshot(fs::path(inst_.ProgDirPath()));

  struct Form {
    std::vector<std::string> args;
    std::string file;  // as the arguments name it
  };
  std::vector<Form> forms = {
      {{"-c", "node1/blurbsmith.cfg"}, "node1/blurbsmith.cfg"},
      {{"--config", inst_.WorkPath("node1/blurbsmith.cfg")}, inst_.WorkPath("node1/blurbsmith.cfg")},
      {{"--config=node1/blurbsmith.cfg"}, "node1/blurbsmith.cfg"},
      {{"-cnode1/blurbsmith.cfg"}, "node1/blurbsmith.cfg"},
      {{"-q", "-c", "node1/blurbsmith.cfg", "-n"}, "node1/blurbsmith.cfg"}};
  if (inst_.UnderWine()) forms.push_back({{"/C", "node1\\blurbsmith.cfg"}, "node1\\blurbsmith.cfg"});
  for (const auto& [args, file] : forms) {
    SCOPED_TRACE(args[0]);
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
    fs::remove(inst_.WorkPath("node1/$FE_CFG$.QZ$"));
    const RunResult r = inst_.Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    const bool preview = args.back() == "-n";
    if (preview) {
      EXPECT_EQ(r.out.rfind("   Would add description for area ALPHA", 0), 0u) << r.out;
      EXPECT_FALSE(fs::exists(inst_.WorkPath("node1/$FE_CFG$.QZ$")));
      continue;
    }
    const std::string shown = inst_.CasedPath(file);
    EXPECT_NE(r.out.find("  Reading \"" + shown + "\"...\r\n"), std::string::npos) << r.out;
    // The reserve copy is named where it really is, however -c names it.
    EXPECT_NE(r.out.find("  Making reserve copy of Fastecho.cfg [" + NodeReserveSeen() + "]\r\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(ReadFileBytes(inst_.WorkPath("node1/$FE_CFG$.QZ$")), original_);
    EXPECT_NE(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);
  }
  EXPECT_EQ(Snapshot(fs::path(inst_.ProgDirPath())), before) << "nothing beside the program";

  // A settings file named without a directory: the reserve copy goes to the
  // current directory.
  WriteFileText(inst_.WorkPath("here.cfg"), kSettings);
  WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
  EXPECT_EQ(inst_.Run({"-c", "here.cfg"}).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("$FE_CFG$.QZ$")), original_);

  const RunResult missing = inst_.Run({"-c", "nowhere.cfg"});
  EXPECT_EQ(missing.exitCode, 255);
  EXPECT_NE(missing.out.find("Error: Can't open " + inst_.CasedPath("nowhere.cfg") +
                             inst_.BecauseRelative("nowhere.cfg", "no such file") + "\r\n"),
            std::string::npos)
      << missing.out;
  const RunResult tooLong = inst_.Run({"-c", std::string(300, 'x')});
  EXPECT_EQ(tooLong.exitCode, 255);
  EXPECT_NE(tooLong.out.find("Error: The settings file's path passes 255 characters\r\n"), std::string::npos)
      << tooLong.out;
}

// On Windows the options may be written as DOS taught sysops to.
TEST_F(E2eCommandLine, DosFormsOfTheOptionsOnWindows) {
  if (!inst_.UnderWine()) GTEST_SKIP() << "on POSIX /n could be a file name";
  const RunResult preview = inst_.Run({"/N"});
  EXPECT_EQ(preview.exitCode, 0);
  EXPECT_NE(preview.out.find("  Description would be added to 2 areas\r\n"), std::string::npos) << preview.out;
  EXPECT_EQ(inst_.Run({"-N"}).out, preview.out);
  const RunResult list = inst_.Run({"/l"});
  EXPECT_NE(list.out.find("  5 areas\r\n"), std::string::npos) << list.out;
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);
}

}  // namespace
