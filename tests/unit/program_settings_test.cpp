#include <gtest/gtest.h>

#include <tuple>

#include <string>
#include <vector>

#include "settings/program_settings.h"
#include "support/fastecho_builder.h"
#include "support/process_trap.h"
#include "support/scratch_dir.h"
#include "util/files.h"

namespace {

struct Outcome {
  ProgramSettings settings;
  int exitCode = -1;
  std::int32_t errorCount = -1;
  std::string console;
};

class ProgramSettingsTest : public ::testing::Test {
 protected:
  Outcome Read(const std::string& text, const ProgramSettings& start = ProgramSettings{}) {
    WriteFileText(path, text);
    return ReadPath(path, start);
  }

  Outcome ReadPath(const std::string& name, const ProgramSettings& start = ProgramSettings{}) {
    Outcome outcome;
    outcome.settings = start;
    ProcessTrap trap;
    outcome.exitCode = trap.Run([&] {
      auto reader = SettingsReader::Init(ShortString(name), outcome.settings);
      outcome.errorCount = reader->ErrorCount();
    });
    outcome.console = trap.Console();
    return outcome;
  }

  std::string Warning(int line, const std::string& msg) const {
    return "Warning: File " + shownPath + " (line " + std::to_string(line) + ") - " + msg + "\r\n";
  }

  ScratchDir dir;
  std::string path = dir.File("blurbsmith.cfg");
  std::string shownPath = UpCasePath(ShortString(path)).str();
};

void ExpectStartValues(const ProgramSettings& s) {
  EXPECT_EQ(s.fastEchoCfgPath.str(), "");
  EXPECT_EQ(s.logFilePath.str(), "");
  EXPECT_TRUE(s.echoLists.empty());
  EXPECT_FALSE(s.forceDesc);
  EXPECT_TRUE(s.upcaseFirstDescChar);
}

}  // namespace

// The example file, its keywords in any case: each fills its own setting.
TEST_F(ProgramSettingsTest, ReadsTheExampleFile) {
  const Outcome o = Read(
      "; where FastEcho keeps its areas\r\n"
      "FastEchoCfg  C:\\FE\\FASTECHO.CFG\r\n"
      "logfile      C:\\FE\\LOG\\EVENTS.LOG\r\n"
      "ECHOLIST     C:\\FE\\ECHOS.LST    // tag and description per line\r\n"
      "FORCEDESC    no\r\n"
      "UPCASEFIRSTDESCCHAR Yes\r\n",
      ProgramSettings{"x", "y", {}, true, false});
  EXPECT_EQ(o.exitCode, -1);
  EXPECT_EQ(o.errorCount, 0);
  EXPECT_EQ(o.console, "");
  EXPECT_EQ(o.settings.fastEchoCfgPath.str(), "C:\\FE\\FASTECHO.CFG");
  EXPECT_EQ(o.settings.logFilePath.str(), "C:\\FE\\LOG\\EVENTS.LOG");
  ASSERT_EQ(o.settings.echoLists.size(), 1u);
  EXPECT_EQ(o.settings.echoLists[0].path.str(), "C:\\FE\\ECHOS.LST");
  EXPECT_FALSE(o.settings.forceDesc);
  EXPECT_TRUE(o.settings.upcaseFirstDescChar);
}

TEST_F(ProgramSettingsTest, FileWithoutSignificantLinesKeepsTheStartValues) {
  for (const char* text : {"", "; only a note\r\n\r\n   // another\r\n\t\r\n"}) {
    SCOPED_TRACE(text);
    const Outcome o = Read(text);
    EXPECT_EQ(o.exitCode, -1);
    EXPECT_EQ(o.errorCount, 0);
    EXPECT_EQ(o.console, "");
    ExpectStartValues(o.settings);
  }
}

TEST_F(ProgramSettingsTest, SwitchesTakeYesOrNoInAnyCaseOnly) {
  struct Case {
    std::string value;
    bool good;
    bool result;  // when good
  };
  const std::vector<Case> cases = {
      {"Yes", true, true},        {"yes", true, true},     {"YES", true, true},
      {"No", true, false},        {"no", true, false},     {"NO", true, false},
      {"YES ; old setting", true, true},  {"no // note", true, false},
      {"Y", false, false},        {"1", false, false},     {"TRUE", false, false},
      {"", false, false},         {"YES more", false, false}, {"N", false, false},
      {"YESNO", false, false},    {"; YES", false, false},
  };
  struct Switch {
    const char* keyword;
    const char* wrongValue;
    bool ProgramSettings::*field;
  };
  const std::vector<Switch> switches = {
      {"FORCEDESC", "Wrong value of ForceDesc", &ProgramSettings::forceDesc},
      {"UPCASEFIRSTDESCCHAR", "Wrong value of UpcaseFirstDescChar",
       &ProgramSettings::upcaseFirstDescChar},
  };
  for (const Switch& sw : switches) {
    for (const Case& c : cases) {
      for (const bool before : {false, true}) {
        SCOPED_TRACE(std::string(sw.keyword) + " [" + c.value + "] over " +
                     (before ? "true" : "false"));
        ProgramSettings start;
        start.*sw.field = before;
        const Outcome o = Read("\r\n" + std::string(sw.keyword) + " " + c.value + "\r\n", start);
        EXPECT_EQ(o.exitCode, -1);
        EXPECT_EQ(o.settings.*sw.field, c.good ? c.result : before);
        EXPECT_EQ(o.errorCount, c.good ? 0 : 1);
        EXPECT_EQ(o.console, c.good ? "" : Warning(2, sw.wrongValue));
      }
    }
  }
}

TEST_F(ProgramSettingsTest, PathsKeepCaseAndInnerBlanks) {
  struct Case {
    const char* line;
    const char* stored;
  };
  const std::vector<Case> cases = {
      {"ECHOLIST C:\\Fido\\Echo List.txt", "C:\\Fido\\Echo List.txt"},
      {"echolist\t/home/Fido/echo  list.txt\t; note", "/home/Fido/echo  list.txt"},
      {"  EchoList   relative/Path.lst  ", "relative/Path.lst"},
      {"ECHOLIST", ""},
      {"ECHOLIST ; nothing", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const Outcome o = Read(std::string(c.line) + "\r\n");
    EXPECT_EQ(o.errorCount, 0);
    ASSERT_EQ(o.settings.echoLists.size(), 1u);
    EXPECT_EQ(o.settings.echoLists[0].path.str(), c.stored);
  }
  // A path on an over-long line is never cut into another path: the line
  // is an error, and names no list.
  const Outcome o = Read("ECHOLIST " + std::string(300, 'p') + "\r\nLOGFILE x.log\r\n");
  EXPECT_EQ(o.errorCount, 1);
  EXPECT_TRUE(o.settings.echoLists.empty());
  EXPECT_EQ(o.settings.logFilePath.str(), "x.log");
}

TEST_F(ProgramSettingsTest, LaterLinesOfAKeywordDecide) {
  struct Case {
    const char* label;
    const char* text;
    bool forceDesc;
    const char* logFile;
    std::int32_t errors;
  };
  const std::vector<Case> cases = {
      {"second switch value wins", "FORCEDESC yes\r\nFORCEDESC no\r\n", false, "", 0},
      {"bad second value leaves the first", "FORCEDESC yes\r\nFORCEDESC maybe\r\n", true, "", 1},
      {"second path wins", "LOGFILE a.log\r\nLOGFILE b.log\r\n", false, "b.log", 0},
      {"empty second path empties", "LOGFILE a.log\r\nLOGFILE\r\n", false, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Outcome o = Read(c.text);
    EXPECT_EQ(o.errorCount, c.errors);
    EXPECT_EQ(o.settings.forceDesc, c.forceDesc);
    EXPECT_EQ(o.settings.logFilePath.str(), c.logFile);
  }
  // A keyword set again is told, with both lines, and is no error.
  const Outcome o = Read("LOGFILE a.log\r\nFORCEDESC yes\r\n\r\nLOGFILE b.log\r\nFORCEDESC maybe\r\n");
  EXPECT_EQ(o.errorCount, 1);
  EXPECT_EQ(o.console, Warning(4, "LOGFILE is set again (first on line 1); this value is used") +
                           Warning(5, "Wrong value of ForceDesc"));
}

// A node in several networks names a list for each, in the order they are
// consulted. ECHOLISTFORMAT and ECHOLISTENCODING written before the first
// ECHOLIST hold for every list; written after one, for that list alone.
TEST_F(ProgramSettingsTest, SeveralEchoListsEachWithItsFormatAndEncoding) {
  using enum EchoListFormat;
  using enum EchoListEncoding;
  struct Expected {
    const char* path;
    EchoListFormat format;
    EchoListEncoding encoding;
  };
  struct Case {
    const char* label;
    const char* text;
    std::vector<Expected> lists;
    std::string console;
  };
  const std::vector<Case> cases = {
      {"one list, the settings before it", "ECHOLISTFORMAT NA\r\nECHOLISTENCODING 1251\r\nECHOLIST a.na\r\n",
       {{"a.na", Na, Cp1251}}, ""},
      {"one list, the settings after it", "ECHOLIST a.na\r\nECHOLISTFORMAT NA\r\nECHOLISTENCODING 1251\r\n",
       {{"a.na", Na, Cp1251}}, ""},
      {"one list, after overrides before", "ECHOLISTFORMAT NA\r\nECHOLIST a\r\nECHOLISTFORMAT AREAFIX\r\n",
       {{"a", Areafix, Auto}}, ""},
      {"two networks", "ECHOLISTENCODING 866\r\nECHOLIST fido.lst\r\nECHOLIST fsx.na\r\nECHOLISTFORMAT NA\r\n"
                       "ECHOLISTENCODING UTF-8\r\nECHOLIST third.lst\r\n",
       {{"fido.lst", FastEcho, Cp866}, {"fsx.na", Na, Utf8}, {"third.lst", FastEcho, Cp866}}, ""},
      {"an empty ECHOLIST names no list", "ECHOLIST\r\nECHOLIST a\r\n", {{"", FastEcho, Auto}, {"a", FastEcho, Auto}},
       ""},
      {"a list's format set twice", "ECHOLIST a\r\nECHOLISTFORMAT NA\r\nECHOLISTFORMAT AREAFIX\r\n",
       {{"a", Areafix, Auto}}, "3:ECHOLISTFORMAT is set again (first on line 2); this value is used"},
      {"before and after is no repetition", "ECHOLISTFORMAT NA\r\nECHOLIST a\r\nECHOLISTFORMAT NA\r\nECHOLIST b\r\n"
                                            "ECHOLISTFORMAT NA\r\n",
       {{"a", Na, Auto}, {"b", Na, Auto}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Outcome o = Read(c.text);
    EXPECT_EQ(o.errorCount, 0);
    ASSERT_EQ(o.settings.echoLists.size(), c.lists.size());
    for (std::size_t i = 0; i < c.lists.size(); ++i) {
      const EchoListSetting& list = o.settings.echoLists[i];
      EXPECT_EQ(list.path.str(), c.lists[i].path);
      EXPECT_EQ(o.settings.FormatOf(list), c.lists[i].format);
      EXPECT_EQ(o.settings.EncodingOf(list), c.lists[i].encoding);
    }
    const std::string console = c.console.empty() ? "" : Warning(c.console[0] - '0', c.console.substr(2));
    EXPECT_EQ(o.console, console);
  }
}

TEST_F(ProgramSettingsTest, EveryProblemIsReportedOnItsLineAndReadingGoesOn) {
  const Outcome o = Read(
      "; settings\r\n"                 // 1
      "# FASTECHOCFG old.cfg\r\n"      // 2: a hash sign is no comment
      "\r\n"                           // 3
      "LOGFILE;note x.log\r\n"         // 4: glued semicolon joins the keyword
      "FORCE yes\r\n"                  // 5: no abbreviations
      "/\r\n"                          // 6
      "UPCASEFIRSTDESCCHAR maybe\r\n"  // 7
      "// FORCEDESC yes\r\n"           // 8
      "LOGFILE run.log\r\n");          // 9
  EXPECT_EQ(o.exitCode, -1);
  EXPECT_EQ(o.errorCount, 5);
  EXPECT_EQ(o.console, Warning(2, "Unknown keyword \"#\"") +
                           Warning(4, "Unknown keyword \"LOGFILE;NOTE\"") +
                           Warning(5, "Unknown keyword \"FORCE\"") +
                           Warning(6, "Unknown keyword \"/\"") +
                           Warning(7, "Wrong value of UpcaseFirstDescChar"));
  EXPECT_EQ(o.settings.fastEchoCfgPath.str(), "");
  EXPECT_EQ(o.settings.logFilePath.str(), "run.log");
  EXPECT_FALSE(o.settings.forceDesc);
  EXPECT_TRUE(o.settings.upcaseFirstDescChar);
}

TEST_F(ProgramSettingsTest, MissingSettingsFileEndsTheRun) {
  const std::string missing = dir.File("blurbsmith.cfg");
  const Outcome o = ReadPath(missing);
  EXPECT_EQ(o.exitCode, 255);
  EXPECT_EQ(o.console, "Error: Can't open " + UpCasePath(ShortString(missing)).str() + " (no such file)\r\n\r\n");
  ExpectStartValues(o.settings);
}

TEST(SettingsPathTest, IsTheSettingsFileInTheProgramDirectory) {
#ifdef _WIN32
  EXPECT_EQ(SettingsPathFor("C:\\Fido\\Bin\\").str(), "C:\\FIDO\\BIN\\BLURBSMITH.CFG");
#else
  EXPECT_EQ(SettingsPathFor("/opt/Fido/bin/").str(), "/opt/Fido/bin/blurbsmith.cfg");
#endif
  ShortString dir;
  ASSERT_EQ(ProgramDir(&dir), ProgramDirResult::Found);
  EXPECT_EQ(SettingsPathFor(dir).str(), UpCasePath(dir + "blurbsmith.cfg").str());
}

namespace {

TEST_F(ProgramSettingsTest, EchoListFormatIsOneOfFour) {
  struct Case {
    const char* line;
    EchoListFormat format;
    std::int32_t errors;
  };
  const std::vector<Case> cases = {
      {"", EchoListFormat::FastEcho, 0},
      {"ECHOLISTFORMAT NA", EchoListFormat::Na, 0},
      {"echolistformat na ; backbone list", EchoListFormat::Na, 0},
      {"ECHOLISTFORMAT FastEcho", EchoListFormat::FastEcho, 0},
      {"ECHOLISTFORMAT fidoconfig", EchoListFormat::FidoConfig, 0},
      {"ECHOLISTFORMAT AreaFix", EchoListFormat::Areafix, 0},
      {"ECHOLISTFORMAT NA\r\nECHOLISTFORMAT BACKBONE", EchoListFormat::Na, 1},
      {"ECHOLISTFORMAT", EchoListFormat::FastEcho, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const Outcome o = Read(std::string(c.line) + "\r\n");
    EXPECT_EQ(o.settings.echoListFormat, c.format);
    EXPECT_EQ(o.errorCount, c.errors);
    if (c.errors != 0) {
      EXPECT_NE(o.console.find(") - Wrong value of EchoListFormat (FASTECHO, NA, FIDOCONFIG or AREAFIX)\r\n"),
                std::string::npos) << o.console;
    }
  }
}

// The node's code page and the echo list's encoding: a word from a short
// list each, anything else a counted error that keeps the value before.
TEST_F(ProgramSettingsTest, CodePageAndEchoListEncoding) {
  const char* const kWrongEncoding =
      "Wrong value of EchoListEncoding (AUTO, UTF-8, UTF-16LE, UTF-16BE, CODEPAGE, 866, 437, 850, 1251, 1252 or "
      "KOI8-R)";
  struct Case {
    const char* lines;
    int codePage;
    EchoListEncoding encoding;
    std::int32_t errors;
    const char* message;  // of the one error, if any
  };
  const std::vector<Case> cases = {
      {"", 866, EchoListEncoding::Auto, 0, nullptr},
      {"CODEPAGE 437\r\nECHOLISTENCODING utf-8", 437, EchoListEncoding::Utf8, 0, nullptr},
      {"codepage 850 ; Western Europe\r\nEchoListEncoding CodePage", 850, EchoListEncoding::CodePage, 0, nullptr},
      {"CODEPAGE 850\r\nCODEPAGE 1252", 850, EchoListEncoding::Auto, 1, "Wrong value of CodePage (866, 437 or 850)"},
      {"ECHOLISTENCODING UTF8", 866, EchoListEncoding::Auto, 1, kWrongEncoding},
      {"ECHOLISTENCODING utf-16le", 866, EchoListEncoding::Utf16Le, 0, nullptr},
      {"ECHOLISTENCODING UTF-16BE", 866, EchoListEncoding::Utf16Be, 0, nullptr},
      {"ECHOLISTENCODING UTF-16", 866, EchoListEncoding::Auto, 1, kWrongEncoding},
      {"ECHOLISTENCODING 1251", 866, EchoListEncoding::Cp1251, 0, nullptr},
      {"CODEPAGE 850\r\nECHOLISTENCODING 1252", 850, EchoListEncoding::Cp1252, 0, nullptr},
      {"ECHOLISTENCODING koi8-r", 866, EchoListEncoding::Koi8R, 0, nullptr},
      {"ECHOLISTENCODING KOI8", 866, EchoListEncoding::Auto, 1, kWrongEncoding},
      {"CODEPAGE 437\r\nECHOLISTENCODING 866", 437, EchoListEncoding::Cp866, 0, nullptr},
      {"ECHOLISTENCODING 437", 866, EchoListEncoding::Cp437, 0, nullptr},
      {"ECHOLISTENCODING 850", 866, EchoListEncoding::Cp850, 0, nullptr},
      {"ECHOLISTENCODING 1250", 866, EchoListEncoding::Auto, 1, kWrongEncoding},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    const Outcome o = Read(std::string(c.lines) + "\r\n");
    EXPECT_EQ(o.settings.codePage, c.codePage);
    EXPECT_EQ(o.settings.echoListEncoding, c.encoding);
    EXPECT_EQ(o.errorCount, c.errors);
    if (c.message) {
      EXPECT_NE(o.console.find(std::string(") - ") + c.message + "\r\n"), std::string::npos) << o.console;
    }
  }
}

}  // namespace

namespace {

// The words a setting's value is written with, and the code page each
// explicit one names.
TEST(EchoListSettingNames, EveryValueHasItsWordAndCodePage) {
  const std::vector<std::tuple<EchoListEncoding, const char*, int>> encodings = {
      {EchoListEncoding::Auto, "AUTO", 0},         {EchoListEncoding::Utf8, "UTF-8", 0},
      {EchoListEncoding::CodePage, "CODEPAGE", 0}, {EchoListEncoding::Utf16Le, "UTF-16LE", 0},
      {EchoListEncoding::Utf16Be, "UTF-16BE", 0},  {EchoListEncoding::Cp866, "866", 866},
      {EchoListEncoding::Cp437, "437", 437},       {EchoListEncoding::Cp850, "850", 850},
      {EchoListEncoding::Cp1251, "1251", 1251},    {EchoListEncoding::Cp1252, "1252", 1252},
      {EchoListEncoding::Koi8R, "KOI8-R", 20866},
  };
  for (const auto& [encoding, word, codePage] : encodings) {
    EXPECT_STREQ(EchoListEncodingName(encoding), word);
    EXPECT_EQ(EchoListCodePage(encoding), codePage) << word;
  }
  EXPECT_STREQ(EchoListFormatName(EchoListFormat::Areafix), "AREAFIX");
}

}  // namespace

namespace {

// WARNINGEXITCODE: a number from 0 to 254 (255 is the exit code of a run
// that stopped); anything else is a wrong value.
TEST_F(ProgramSettingsTest, WarningExitCodeIsANumberUpTo254) {
  struct Case {
    const char* value;
    int stored;  // -1: a wrong value
  };
  const std::vector<Case> cases = {{"0", 0},   {"1", 1},    {"254", 254}, {"007", 7}, {"255", -1}, {"1000", -1},
                                   {"-1", -1}, {"one", -1}, {"", -1},     {"2 3", -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const Outcome o = Read(std::string("WARNINGEXITCODE ") + c.value + "\r\n");
    EXPECT_EQ(o.errorCount, c.stored < 0 ? 1 : 0);
    EXPECT_EQ(o.settings.warningExitCode, c.stored < 0 ? 0 : c.stored);
    if (c.stored < 0) {
      EXPECT_EQ(o.console, Warning(1, "Wrong value of WarningExitCode (a number from 0 to 254)"));
    }
  }
}

}  // namespace
