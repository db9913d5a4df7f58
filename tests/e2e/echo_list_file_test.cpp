// End-to-end: the echo lists sysops have. Both formats, a list that cannot
// be read, and the line ends of each build's text files.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/harness.h"

namespace fs = std::filesystem;

namespace {

class E2eEchoList : public testing::Test {
 protected:
  void SetUp() override {
    layout_.areas = {{"FIDONEWS", ""}, {"NET_DEV", ""}, {"NOT.LISTED", ""}};
    original_ = layout_.Build();
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
  }
  std::string Settings(const std::string& extra, const std::string& lineEnd = "\r\n") const {
    return "FASTECHOCFG fastecho.cfg" + lineEnd + "LOGFILE blsm.log" + lineEnd + extra;
  }
  Bytes Filled() const {
    Bytes expected = original_;
    PutDescription(expected, layout_, 0, "FidoNews, the weekly");
    PutDescription(expected, layout_, 1, "Network development");
    return expected;
  }

  Installation inst_;
  FastEchoImage layout_;
  Bytes original_;
};

// A list that cannot be read is said once, before the first area it costs;
// the run goes on and ends with exit code 0.
TEST_F(E2eEchoList, AListThatCannotBeReadIsToldOnce) {
  fs::create_directory(inst_.WorkPath("a directory"));
  for (const std::string list : {"missing.lst", "a directory"}) {
    SCOPED_TRACE(list);
    fs::remove(inst_.WorkPath("blsm.log"));
    inst_.WriteSettings(Settings("ECHOLIST " + list + "\r\n"));
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 0);
    const std::string warning =
        "Warning: Can't read the echo list \"" + list + "\"; its areas get no description";
    const std::size_t at = r.out.find(warning + "\r\n   No description for areaFIDONEWS\r\n");
    EXPECT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(warning, at + 1), std::string::npos) << "told more than once";
    const std::vector<std::string> log = inst_.LogLines("blsm.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), "? <stamp> BLSM " + warning), 1);
    EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);
  }
  // No ECHOLIST at all names no list: nothing to tell.
  inst_.WriteSettings(Settings("ECHOLIST\r\n"));
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.find("Warning"), std::string::npos) << r.out;
}

TEST_F(E2eEchoList, TheBackbonesNaFilesWithEchoListFormatNa) {
  WriteFileText(inst_.WorkPath("backbone.na"),
                "; FidoNet backbone echoes\r\n"
                "\r\n"
                "fidonews            fidoNews, the weekly\r\n"
                "NET_DEV\tnetwork development   \r\n"
                "FIDONEWS            a later line never counts\r\n");
  inst_.WriteSettings(Settings("ECHOLIST backbone.na\r\nECHOLISTFORMAT NA\r\n"));
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("   No description for areaNOT.LISTED\r\n"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), Filled());
}

// Lists and settings from the web or a Linux editor end their lines in LF
// alone: the same run as their CR LF twins, on both builds.
TEST_F(E2eEchoList, LfLineEndsWorkOnBothBuilds) {
  WriteFileText(inst_.WorkPath("echos.lst"),
                "; list with LF line ends\n,FIDONEWS,fidoNews, the weekly\nHold,NET_DEV,network development\n");
  inst_.WriteSettings(Settings("ECHOLIST echos.lst\n", "\n"));
  const RunResult lf = inst_.Run();
  const Bytes afterLf = ReadFileBytes(inst_.WorkPath("fastecho.cfg"));
  const std::vector<std::string> logLf = inst_.LogLines("blsm.log");

  WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
  fs::remove(inst_.WorkPath("blsm.log"));
  WriteFileText(inst_.WorkPath("echos.lst"),
                "; list with LF line ends\r\n,FIDONEWS,fidoNews, the weekly\r\nHold,NET_DEV,network development\r\n");
  inst_.WriteSettings(Settings("ECHOLIST echos.lst\r\n"));
  const RunResult crlf = inst_.Run();

  EXPECT_EQ(lf.exitCode, 0);
  EXPECT_EQ(lf.out, crlf.out);
  EXPECT_EQ(logLf, inst_.LogLines("blsm.log"));
  Bytes expected = original_;
  PutDescription(expected, layout_, 0, "FidoNews");
  PutDescription(expected, layout_, 1, "Network development");
  EXPECT_EQ(afterLf, expected);
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected);
}

// A list saved with a byte-order mark: the mark is no part of the first
// line, and says the list is UTF-8.
TEST_F(E2eEchoList, AByteOrderMarkIsNotPartOfTheFirstEntry) {
  WriteFileText(inst_.WorkPath("echos.lst"),
                "\xEF\xBB\xBF,FIDONEWS,FidoNews, the weekly\r\n,NET_DEV,Network development\r\n");
  WriteFileText(inst_.ProgPath("blurbsmith.cfg"), "\xEF\xBB\xBF" + Settings("ECHOLIST echos.lst\r\n"));
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0) << r.out;
  const std::string told = "  Reading the echo list \"echos.lst\" as UTF-8 (it begins with a byte-order mark)";
  EXPECT_NE(r.out.find(told + "\r\n   Added description for area FIDONEWS\r\n"), std::string::npos) << r.out;
  const std::vector<std::string> log = inst_.LogLines("blsm.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), "% <stamp> BLSM " + told), 1);
  Bytes expected = original_;
  PutDescription(expected, layout_, 0, "FidoNews");
  PutDescription(expected, layout_, 1, "Network development");
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected);
}

// A list kept in UTF-8 is converted into the FastEcho file's code page
// (866 here) before anything reads it: tags compare and descriptions are cut
// in code page characters, never in half a letter; a character the code
// page lacks becomes '?'.
TEST_F(E2eEchoList, AUtf8ListGivesCodePageText) {
  layout_.areas = {{"RU.\xAD\xAE\xA2\xAE\xE1\xE2\xA8", ""},  // RU.новости in 866
                   {"LONG", ""}, {"EURO", ""}, {"FIDONEWS", ""}};
  original_ = layout_.Build();
  WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
  const std::string utf8Cyrillic60 = [] {
    std::string s;
    for (int i = 0; i < 60; ++i) s += "\xD0\xB6";  // ж
    return s;
  }();
  WriteFileText(inst_.WorkPath("echos.lst"),
                ",ru.\xD0\x9D\xD0\x9E\xD0\x92\xD0\x9E\xD0\xA1\xD0\xA2\xD0\x98,"
                "\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8 \xD1\x84\xD0\xB8\xD0\xB4\xD0\xBE\n"
                ",LONG," + utf8Cyrillic60 + "\n"
                ",EURO,price 5 \xE2\x82\xAC or \xF0\x9F\x98\x80\n"
                ",FIDONEWS,FidoNews\n");
  inst_.WriteSettings(Settings("ECHOLIST echos.lst\r\n"));
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("  Reading the echo list \"echos.lst\" as UTF-8 (it is UTF-8 text)\r\n"),
            std::string::npos) << r.out;
  Bytes expected = original_;
  PutDescription(expected, layout_, 0, "\x8D\xAE\xA2\xAE\xE1\xE2\xA8 \xE4\xA8\xA4\xAE");  // Новости фидо
  PutDescription(expected, layout_, 1, "\x86" + std::string(51, '\xA6'));  // Жжж..., 52 letters
  PutDescription(expected, layout_, 2, "Price 5 ? or ?");
  PutDescription(expected, layout_, 3, "FidoNews");
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected);

  // Read as code page bytes, as ECHOLISTENCODING CODEPAGE says, the same
  // list matches no Cyrillic tag and writes its bytes as they are.
  WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
  inst_.WriteSettings(Settings("ECHOLIST echos.lst\r\nECHOLISTENCODING codepage\r\n"));
  const RunResult raw = inst_.Run();
  EXPECT_EQ(raw.out.find("as UTF-8"), std::string::npos) << raw.out;
  EXPECT_NE(raw.out.find("   No description for areaRU."), std::string::npos) << raw.out;
}

// The node's code page decides the case of letters: a Western node's list
// in 437 or 850 gets its own capitals, never Russian ones.
TEST_F(E2eEchoList, TheCodePageDecidesUpperCaseAndTagFolding) {
  struct Case {
    const char* name;
    std::string settings;
    std::string list;  // bytes as the file holds them
    std::string tag;   // the area's tag in the FastEcho file
    std::string written;
  };
  const std::vector<Case> cases = {
      {"437: n-tilde has its capital, a-acute has none", "CODEPAGE 437\r\n",
       ",\xA4" "andu,\xA4" "and\xA3\r\n,AREA,\xA0rea general\r\n", "\xA5" "ANDU", "\xA5" "and\xA3"},
      {"437: a-acute stays", "CODEPAGE 437\r\n", ",AREA,\xA0rea general\r\n", "AREA", "\xA0rea general"},
      {"850: a-acute gets its capital", "CODEPAGE 850\r\n", ",AREA,\xA0rea general\r\n", "AREA",
       "\xB5rea general"},
      {"850 from a UTF-8 list", "CODEPAGE 850\r\n", ",\xC3\xA1rea,\xC3\xA1rea general\r\n",
       "\xB5REA", "\xB5rea general"},
      {"866, the default: Russian letters", "", ",AREA,\xA0\xA1\xA2\r\n", "AREA", "\x80\xA1\xA2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FastEchoImage image;
    image.areas = {{c.tag, ""}};
    const Bytes original = image.Build();
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original);
    WriteFileText(inst_.WorkPath("echos.lst"), c.list);
    inst_.WriteSettings(Settings("ECHOLIST echos.lst\r\n" + c.settings));
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 0) << r.out;
    Bytes expected = original;
    PutDescription(expected, image, 0, c.written);
    EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected) << r.out;
  }
}

// A list in a format other than the one set finds nothing: said once,
// with the setting that would read it.
TEST_F(E2eEchoList, AListInAnotherFormatIsToldWithTheSettingThatFits) {
  struct Case {
    const char* name;
    std::string format;
    std::string list;
    std::string warning;
  };
  const std::vector<Case> cases = {
      {".NA list read as FASTECHO", "", "FIDONEWS   FidoNews\r\nNET_DEV    Development\r\n",
       "holds no entry of the FASTECHO format; its areas get no description (try ECHOLISTFORMAT NA)"},
      {"comma list read as NA", "ECHOLISTFORMAT NA\r\n", ",FIDONEWS,FidoNews\r\n",
       "holds no entry of the NA format; its areas get no description (try ECHOLISTFORMAT FASTECHO)"},
      {"fidoconfig read as FASTECHO", "", "EchoArea FIDONEWS /fido/fidonews -d \"FidoNews\"\r\n",
       "holds no entry of the FASTECHO format; its areas get no description (try ECHOLISTFORMAT FIDOCONFIG)"},
      {"comments only", "", "; nothing here yet\r\n\r\n",
       "holds no entry of the FASTECHO format; its areas get no description"},
      {"empty", "ECHOLISTFORMAT NA\r\n", "", "holds no entry of the NA format; its areas get no description"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(inst_.WorkPath("blsm.log"));
    WriteFileText(inst_.WorkPath("echos.lst"), c.list);
    inst_.WriteSettings(Settings("ECHOLIST echos.lst\r\n" + c.format));
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 0);
    const std::string warning = "Warning: The echo list \"echos.lst\" " + c.warning;
    EXPECT_NE(r.out.find(warning + "\r\n   No description for areaFIDONEWS\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Warning", r.out.find(warning) + 1), std::string::npos) << "told once: " << r.out;
    const std::vector<std::string> log = inst_.LogLines("blsm.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), "? <stamp> BLSM " + warning), 1);
  }
}

// The backbone lists echoes without descriptions as bare tags: such a line
// does not decide, a later one that describes the tag does.
TEST_F(E2eEchoList, BareTagsInANaListDoNotDecide) {
  WriteFileText(inst_.WorkPath("backbone.na"),
                "FIDONEWS\r\nNET_DEV\r\nNOT.LISTED\r\n"
                "FIDONEWS   fidoNews, the weekly\r\nNET_DEV    network development\r\n");
  inst_.WriteSettings(Settings("ECHOLIST backbone.na\r\nECHOLISTFORMAT NA\r\n"));
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("   No description for areaNOT.LISTED\r\n"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), Filled());
}

// Another tosser's area configuration as the list: EchoArea lines give
// their -d description; comments, other keywords and EchoArea lines
// without -d decide nothing.
TEST_F(E2eEchoList, AHuskyAreaFileAsTheList) {
  layout_.areas = {{"FIDONEWS", ""}, {"NET_DEV", ""}, {"NOT.LISTED", ""}, {"UNQUOTED", ""}, {"NO.D", ""}};
  original_ = layout_.Build();
  WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
  WriteFileText(inst_.WorkPath("areas.cfg"),
                "# areas of the node\n"
                "include /etc/fido/more.cfg\n"
                "NetmailArea netmail /fido/netmail -b squish\n"
                "EchoArea NO.D /fido/nod -b squish\n"
                "  echoarea fidonews /fido/fidonews -b squish -d \"fidoNews, the weekly\" -a 2:5020/1\n"
                "# EchoArea NET_DEV /fido/old -d \"Commented out\"\n"
                "EchoArea\tNET_DEV\t/fido/netdev\t-p 30 -d \"Network development\"\n"
                "EchoArea UNQUOTED /fido/unq -d Single words only\n"
                "EchoArea NO.D /fido/nod -d \"Given by a later line\"\n");
  inst_.WriteSettings(Settings("ECHOLIST areas.cfg\r\nECHOLISTFORMAT FIDOCONFIG\r\n"));
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("   No description for areaNOT.LISTED\r\n"), std::string::npos) << r.out;
  Bytes expected = original_;
  PutDescription(expected, layout_, 0, "FidoNews, the weekly");
  PutDescription(expected, layout_, 1, "Network development");
  PutDescription(expected, layout_, 3, "Single");
  PutDescription(expected, layout_, 4, "Given by a later line");
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected);
}

}  // namespace
