// End-to-end: the restore puts the reserve copy back as the FastEcho file,
// keeps the file it replaced as $FE_CFG$.QZ+, and refuses a copy that is not
// the file's, or a file in use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "e2e/harness.h"

namespace fs = std::filesystem;

namespace {

const std::string kSettings = "FASTECHOCFG fastecho.cfg\r\nLOGFILE blsm.log\r\nECHOLIST echos.lst\r\n";

class E2eRestore : public testing::Test {
 protected:
  void SetUp() override {
    layout_.areas = {{"ALPHA", ""}, {"BETA", "Kept as it is"}, {"GAMMA", ""}};
    original_ = layout_.Build();
    WriteFileBytes(Cfg(), original_);
    WriteFileText(inst_.WorkPath("echos.lst"), ",ALPHA,alpha area\r\n,GAMMA,gamma area\r\n");
    inst_.WriteSettings(kSettings);
  }

  std::string Cfg() const { return inst_.WorkPath("fastecho.cfg"); }
  std::string Prog(const std::string& name) const { return inst_.ProgPath(name); }
  // The reserve copy's names as the restore's lines show them.
  std::string Seen(const std::string& name) const { return inst_.ProgDirSeen() + name; }
  // The restore's messages about the FastEcho file, named relatively.
  std::string Refused(const std::string& why) const {
    return "Error: Can't restore " + inst_.CasedPath("fastecho.cfg") + why + "\r\n\r\n";
  }
  // The option as a sysop of this build may write it.
  std::string RestoreOption() const { return inst_.UnderWine() ? "/R" : "--restore"; }
  std::map<std::string, Bytes> Files() const {
    std::map<std::string, Bytes> files;
    for (const auto& root : {fs::path(inst_.ProgDirPath()), fs::path(inst_.WorkPath(""))})
      for (const auto& entry : fs::directory_iterator(root))
        if (entry.is_regular_file()) files[entry.path().string()] = ReadFileBytes(entry.path().string());
    return files;
  }

  Installation inst_;
  FastEchoImage layout_;
  Bytes original_;
};

// A run writes; the restore puts the file back as it was and keeps what it
// replaced; a second restore has nothing to do; copying $FE_CFG$.QZ+ back
// undoes the restore.
TEST_F(E2eRestore, PutsTheCopyBackAndKeepsWhatItReplaced) {
  ASSERT_EQ(inst_.Run().exitCode, 0);
  const Bytes written = ReadFileBytes(Cfg());
  ASSERT_NE(written, original_);
  ASSERT_EQ(ReadFileBytes(Prog("$FE_CFG$.QZ$")), original_);

  // The preview says what the restore would do, and changes nothing.
  const auto before = Files();
  RunResult r = inst_.Run({"-n", RestoreOption()});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out, StartLines(inst_) + "   Would restore " + inst_.CasedPath("fastecho.cfg") +
                       " from its reserve copy [" + Seen("$FE_CFG$.QZ$") +
                       "]; the file it replaces would be kept as [" + Seen("$FE_CFG$.QZ+") + "]\r\n");
  EXPECT_EQ(Files(), before);

  r = inst_.Run({RestoreOption()});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  const std::string restored = "  Restored " + inst_.CasedPath("fastecho.cfg") + " from its reserve copy [" +
                               Seen("$FE_CFG$.QZ$") + "]; the file it replaced is kept as [" +
                               Seen("$FE_CFG$.QZ+") + "]";
  EXPECT_EQ(r.out, StartLines(inst_) + "  Opening log (blsm.log..\r\n" + restored +
                       "\r\n  ShutDowning...\r\nBlurbsmith ver 0.2 finished.\r\n");
  EXPECT_EQ(ReadFileBytes(Cfg()), original_);
  EXPECT_EQ(ReadFileBytes(Prog("$FE_CFG$.QZ+")), written);
  EXPECT_EQ(ReadFileBytes(Prog("$FE_CFG$.QZ$")), original_) << "the reserve copy stays";
  EXPECT_FALSE(fs::exists(Prog("$FE_CFG$.QZ~")));
  const std::vector<std::string> log = inst_.LogLines("blsm.log");
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(log.end() - 4, log.end()),
            (std::vector<std::string>{"> <stamp> BLSM Blurbsmith ver 0.2 started", "% <stamp> BLSM " + restored,
                                      "x <stamp> BLSM   ShutDowning...",
                                      "> <stamp> BLSM Blurbsmith ver 0.2 finished."}));

  // Nothing left to do.
  r = inst_.Run({"-q", RestoreOption()});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(inst_.LogLines("blsm.log").end()[-3],
            "% <stamp> BLSM   " + inst_.CasedPath("fastecho.cfg") +
                " already holds its reserve copy; nothing was restored");
  EXPECT_EQ(ReadFileBytes(Prog("$FE_CFG$.QZ+")), written);

  // The restore undone by hand, from what it kept.
  fs::copy_file(Prog("$FE_CFG$.QZ+"), Cfg(), fs::copy_options::overwrite_existing);
  EXPECT_EQ(ReadFileBytes(Cfg()), written);
}

// While another program holds the FastEcho file open, or locks it, the
// restore and its preview refuse, and nothing changes.
TEST_F(E2eRestore, RefusedWhileTheFileIsInUse) {
  ASSERT_EQ(inst_.Run().exitCode, 0);
  std::string holder;
  std::vector<std::string> kinds;
  if (inst_.UnderWine()) {
    holder = std::getenv("BLURBSMITH_FILE_HOLDER") ? std::getenv("BLURBSMITH_FILE_HOLDER") : "";
    kinds = {"none", "readwrite"};
  } else {
    holder = std::getenv("BLURBSMITH_LOCK_HOLDER") ? std::getenv("BLURBSMITH_LOCK_HOLDER") : "";
    kinds = {"flock-sh", "flock-ex", "fcntl-rd", "fcntl-wr"};
  }
  if (holder.empty()) GTEST_SKIP() << "no holder program for this build";
  const std::string inUse = Refused(inst_.BecauseRelative("fastecho.cfg", "in use by another program"));
  for (const std::string& kind : kinds) {
    SCOPED_TRACE(kind);
    const auto before = Files();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{RestoreOption()}, std::vector<std::string>{RestoreOption(), "-n"}}) {
      const RunResult r = inst_.RunWhileHeld(holder, "fastecho.cfg", kind, args);
      EXPECT_EQ(r.exitCode, 255);
      EXPECT_TRUE(r.out.ends_with(inUse)) << r.out;
    }
    auto after = Files();
    after.erase(inst_.WorkPath("blsm.log"));  // told there too
    after.erase(inst_.WorkPath("ready.flag"));
    after.erase(inst_.WorkPath("release.flag"));
    auto expected = before;
    expected.erase(inst_.WorkPath("blsm.log"));
    expected.erase(inst_.WorkPath("ready.flag"));
    expected.erase(inst_.WorkPath("release.flag"));
    EXPECT_EQ(after, expected);
  }
}

// A reserve copy that is not the file's own is refused, naming the first
// difference: a copy made before an area was added, one with the areas in
// another order, and one that is no FastEcho file at all.
TEST_F(E2eRestore, RefusesACopyOfOtherAreas) {
  FastEchoImage fewer = layout_, reordered = layout_, none = layout_;
  fewer.areas.pop_back();
  none.areas.clear();
  std::swap(reordered.areas[0], reordered.areas[1]);
  const struct {
    const char* label;
    Bytes copy;
    std::string why;
  } cases[] = {
      {"made before an area was added", fewer.Build(),
       ": its reserve copy holds other areas (area 3: none in the copy, GAMMA in the file)"},
      {"its areas in another order", reordered.Build(),
       ": its reserve copy holds other areas (area 1: BETA in the copy, ALPHA in the file)"},
      {"a header without areas", none.Build(),
       ": its reserve copy " + Seen("$FE_CFG$.QZ$") + " is not a FastEcho file (it holds no area record)"},
      {"no FastEcho file", Bytes(100, 'x'),
       ": its reserve copy " + Seen("$FE_CFG$.QZ$") +
           " is not a FastEcho file (it is shorter than a FastEcho file's header)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    WriteFileBytes(Prog("$FE_CFG$.QZ$"), c.copy);
    const auto before = Files();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-n", RestoreOption()}, std::vector<std::string>{RestoreOption()}}) {
      const RunResult r = inst_.Run(args);
      EXPECT_EQ(r.exitCode, 255);
      EXPECT_TRUE(r.out.ends_with(Refused(c.why))) << r.out;
    }
    auto after = Files();
    EXPECT_EQ(after.erase(inst_.WorkPath("blsm.log")), 1u);
    auto expected = before;
    expected.erase(inst_.WorkPath("blsm.log"));
    EXPECT_EQ(after, expected);
    EXPECT_EQ(inst_.LogLines("blsm.log").back(), "! <stamp> BLSM " + Refused(c.why).substr(0, Refused(c.why).size() - 4));
  }
}

}  // namespace
