// End-to-end: the echo lists sysops have. Both formats, a list that cannot
// be read, and the line ends of each build's text files.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/harness.h"
#include "support/text_bytes.h"

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

// A list that is missing is said once, before the first area it costs;
// the run goes on without it and ends with exit code 0. A list that is
// there but cannot be read (a directory, say) stops the run before any
// change: it must not pass for a list that describes nothing.
TEST_F(E2eEchoList, AListThatCannotBeReadIsToldOnce) {
  fs::create_directory(inst_.WorkPath("a directory"));
  {
    SCOPED_TRACE("missing");
    inst_.WriteSettings(Settings("ECHOLIST missing.lst\r\n"));
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 0);
    const std::string warning = "Warning: Can't read the echo list \"missing.lst\"; its areas get no description" +
                                inst_.BecauseRelative("missing.lst", "no such file");
    const std::size_t at = r.out.find(warning + "\r\n   No description for areaFIDONEWS\r\n");
    EXPECT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(warning, at + 1), std::string::npos) << "told more than once";
    const std::vector<std::string> log = inst_.LogLines("blsm.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), "? <stamp> BLSM " + warning), 1);
    EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);
  }
  {
    SCOPED_TRACE("a directory");
    inst_.WriteSettings(Settings("ECHOLIST a directory\r\n"));
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 255);
    const std::string error = "Error: Can't read the echo list \"a directory\"" +
                              inst_.BecauseRelative("a directory", "is a directory");
    EXPECT_NE(r.out.find("\r\n" + error + "\r\n\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("No description"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);
  }
  // No ECHOLIST at all names no list: nothing to tell.
  inst_.WriteSettings(Settings("ECHOLIST\r\n"));
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.find("Warning"), std::string::npos) << r.out;
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
// in code page characters, never in half a letter; a description made
// mostly of characters the code page lacks is left as it is.
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
  // Of EURO's characters beyond ASCII none has a byte in 866: it would be
  // "Price 5 ? or ?", and is left as it is.
  EXPECT_NE(r.out.find("\r\nWarning: The description of EURO in the echo list \"echos.lst\" is not in UTF-8; left "
                       "as it is\r\n   No description for areaEURO\r\n"),
            std::string::npos) << r.out;
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

}  // namespace

namespace {

// The bytes of `text` (UTF-8) as UTF-16 of one byte order, with its
// byte-order mark first when asked.
std::string Utf16(const std::string& utf8, bool little, bool mark) {
  return Utf16Bytes((mark ? u"\xFEFF" : u"") + Utf16Of(utf8), little);
}

// Russian descriptions in 866, 1251 and KOI8-R: "Novosti seti Fido" and
// "Obsuzhdenie knig i avtorov", and the tag ru.knigi.
const std::string kNews866 = "\x8D\xAE\xA2\xAE\xE1\xE2\xA8 \xE1\xA5\xE2\xA8 \x94\xA8\xA4\xAE";
const std::string kBooks866 = "\x8E\xA1\xE1\xE3\xA6\xA4\xA5\xAD\xA8\xA5 \xAA\xAD\xA8\xA3 \xA8 \xA0\xA2\xE2\xAE\xE0\xAE\xA2";
const std::string kBooksTag866 = "RU.\x8A\x8D\x88\x83\x88";  // upper case, as the FastEcho file holds it
const std::string kRussian1251 =
    ",FIDONEWS,\xCD\xEE\xE2\xEE\xF1\xF2\xE8 \xF1\xE5\xF2\xE8 \xD4\xE8\xE4\xEE\r\n"
    ",ru.\xEA\xED\xE8\xE3\xE8,\xCE\xE1\xF1\xF3\xE6\xE4\xE5\xED\xE8\xE5 \xEA\xED\xE8\xE3 \xE8 \xE0\xE2\xF2\xEE\xF0\xEE\xE2\r\n";
const std::string kRussianKoi8 =
    ",FIDONEWS,\xEE\xCF\xD7\xCF\xD3\xD4\xC9 \xD3\xC5\xD4\xC9 \xE6\xC9\xC4\xCF\r\n"
    ",ru.\xCB\xCE\xC9\xC7\xC9,\xEF\xC2\xD3\xD5\xD6\xC4\xC5\xCE\xC9\xC5 \xCB\xCE\xC9\xC7 \xC9 \xC1\xD7\xD4\xCF\xD2\xCF\xD7\r\n";
const std::string kRussian866 = ",FIDONEWS," + kNews866 + "\r\n,ru.\xAA\xAD\xA8\xA3\xA8," + kBooks866 + "\r\n";
const std::string kRussianUtf8 = ",FIDONEWS,Новости сети Фидо\r\n,ru.книги,Обсуждение книг и авторов\r\n";
// Western: "Español y más", "Café, thé et crêpes", "Übersetzungen für Anfänger".
const std::string kWestern1252 =
    ",FIDONEWS,Espa\xF1ol y m\xE1s\r\n,NET_DEV,Caf\xE9, th\xE9 et cr\xEApes\r\n"
    ",NOT.LISTED,\xDC" "bersetzungen f\xFCr Anf\xE4nger\r\n";
const std::string kWesternUtf8 =
    ",FIDONEWS,Español y más\r\n,NET_DEV,Café, thé et crêpes\r\n,NOT.LISTED,Übersetzungen für Anfänger\r\n";

// A list in UTF-16, 1251, KOI8-R or 1252 gives exactly the bytes of the
// node's code page, under AUTO and under the explicit value; the log says
// how it was read and why. An 866 list stays as it is, said nothing of.
TEST_F(E2eEchoList, ListsInOtherEncodingsGiveTheNodesCodePage) {
  struct Case {
    const char* name;
    std::string list;
    std::string settings;
    std::string told;  // after "as ", in the % line; empty: no % line
    bool western;
  };
  const std::vector<Case> cases = {
      {"UTF-16LE with its mark", Utf16(kRussianUtf8, true, true), "", "UTF-16LE (it begins with a byte-order mark)",
       false},
      {"UTF-16BE with its mark", Utf16(kRussianUtf8, false, true), "", "UTF-16BE (it begins with a byte-order mark)",
       false},
      {"UTF-16LE with its mark, Western", Utf16(kWesternUtf8, true, true), "CODEPAGE 850\r\n",
       "UTF-16LE (it begins with a byte-order mark)", true},
      {"UTF-16LE set", Utf16(kRussianUtf8, true, false), "ECHOLISTENCODING UTF-16LE\r\n",
       "UTF-16LE (ECHOLISTENCODING UTF-16LE)", false},
      {"UTF-16BE set", Utf16(kRussianUtf8, false, false), "ECHOLISTENCODING utf-16be\r\n",
       "UTF-16BE (ECHOLISTENCODING UTF-16BE)", false},
      {"1251 by its letters", kRussian1251, "", "code page 1251 (its letters are those of 1251, not 866)", false},
      {"KOI8-R by its letters", kRussianKoi8, "", "KOI8-R (its letters are those of KOI8-R, not 866)", false},
      {"1252 by its letters", kWestern1252, "CODEPAGE 850\r\n", "code page 1252 (its letters are those of 1252, not 850)",
       true},
      {"1251 set", kRussian1251, "ECHOLISTENCODING 1251\r\n", "code page 1251 (ECHOLISTENCODING 1251)", false},
      {"KOI8-R set", kRussianKoi8, "ECHOLISTENCODING koi8-r\r\n", "KOI8-R (ECHOLISTENCODING KOI8-R)", false},
      {"1252 set", kWestern1252, "CODEPAGE 850\r\nECHOLISTENCODING 1252\r\n", "code page 1252 (ECHOLISTENCODING 1252)",
       true},
      {"866 kept as it is", kRussian866, "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FastEchoImage image;
    Bytes original;
    Bytes expected;
    if (c.western) {
      image.areas = {{"FIDONEWS", ""}, {"NET_DEV", ""}, {"NOT.LISTED", ""}};
      original = expected = image.Build();
      PutDescription(expected, image, 0, "Espa\xA4ol y m\xA0s");
      PutDescription(expected, image, 1, "Caf\x82");
      PutDescription(expected, image, 2, "\x9A" "bersetzungen f\x81r Anf\x84nger");
    } else {
      image.areas = {{"FIDONEWS", ""}, {kBooksTag866, ""}};
      original = expected = image.Build();
      PutDescription(expected, image, 0, kNews866);
      PutDescription(expected, image, 1, kBooks866);
    }
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original);
    fs::remove(inst_.WorkPath("blsm.log"));
    WriteFileText(inst_.WorkPath("echos.lst"), c.list);
    inst_.WriteSettings(Settings("ECHOLIST echos.lst\r\n" + c.settings));
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected) << r.out;
    const std::vector<std::string> log = inst_.LogLines("blsm.log");
    if (c.told.empty()) {
      EXPECT_EQ(r.out.find("Reading the echo list"), std::string::npos) << r.out;
    } else {
      const std::string told = "  Reading the echo list \"echos.lst\" as " + c.told;
      EXPECT_NE(r.out.find(told + "\r\n   Added description for area FIDONEWS\r\n"), std::string::npos) << r.out;
      EXPECT_EQ(std::count(log.begin(), log.end(), "% <stamp> BLSM " + told), 1);
    }
    EXPECT_EQ(r.out.find("Warning"), std::string::npos) << r.out;
  }
}

// A hub's %LIST reply, saved as it came, with ECHOLISTFORMAT AREAFIX: the
// shapes of the issue and of two area managers of our own making.
TEST_F(E2eEchoList, AHubsListReplyWithEchoListFormatAreafix) {
  layout_.areas = {{"RU.EXAMPLE", ""}, {"RU.LONGNAME", ""}, {"EXAMPLE.ECHO", ""}, {"EXAMPLE_TWO", ""},
                   {"EXA_BBS", ""},    {"RU.SYSOP", ""},    {"GAMMA", ""},        {"FIDO.NEWS", ""},
                   {"AVAILABLE", ""}};
  original_ = layout_.Build();
  WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
  WriteFileText(inst_.WorkPath("reply.txt"),
                "Available areas for 2:5020/9999:\r\n"
                "\r\n"
                "*S   RU.EXAMPLE ............................... \"example chat\"\r\n"
                "     RU.LONGNAME .......................... \"A description long enough that\r\n"
                "the reply wraps it onto a second line\"\r\n"
                "+EXAMPLE.ECHO                   (2:5020/9999) \"An example conference\"\r\n"
                "  EXAMPLE_TWO                              Second example, unquoted\r\n"
                "Con  Message area              Description\r\n"
                "---- ------------------------- ---------------------------------------------\r\n"
                "     EXA_BBS                   BBS discussion\r\n"
                "'*' = area is active\r\n"
                "\r\n"
                "Group R - Russian echoes\r\n"
                " * RU.SYSOP ................................ \"Sysops' chat\"\r\n"
                "&GAMMA               (2:5020/1@fidonet)   \"Gamma, linked from elsewhere\"\r\n"
                " R\tFIDO.NEWS\t........\tNews, read-only\r\n"
                "Total: 8 areas\r\n"
                "--- hpt/lnx 1.9.0\r\n");
  inst_.WriteSettings(Settings("ECHOLIST reply.txt\r\nECHOLISTFORMAT AREAFIX\r\n"));
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("   No description for areaAVAILABLE\r\n"), std::string::npos) << r.out;
  Bytes expected = original_;
  const char* const written[] = {"Example chat",
                                 "A description long enough that the reply wraps it onto a second line",
                                 "An example conference",
                                 "Second example, unquoted",
                                 "BBS discussion",
                                 "Sysops' chat",
                                 "Gamma, linked from elsewhere",
                                 "News, read-only"};
  for (std::size_t i = 0; i < std::size(written); ++i)
    PutDescription(expected, layout_, i, std::string(written[i]).substr(0, 52));
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected);
  EXPECT_NE(r.out.find("  Description was added to 8 areas\r\n"), std::string::npos) << r.out;
}

// The replies of more area managers, each as a hub sends it: Crashmail's
// traffic column and a tag too long for its column, Fidogate's ':' and
// zone columns, BBBS's file areas with an address and a size, and a
// Russian hub's headings in code page 866. Each area gets the bytes the
// sysop expects, on both builds.
TEST_F(E2eEchoList, RepliesOfMoreAreaManagers) {
  struct Area {
    std::string tag;
    std::string description;  // as written into the file; empty: none
  };
  struct Case {
    const char* name;
    std::string reply;
    std::vector<Area> areas;
  };
  // "Sysops and all about running a node", "Archivers", in code page 866.
  const std::string sysops = "\x91\xA8\xE1\xAE\xAF\xEB \xA8 \xA2\xE1\xF1 \xAE \xE0\xA0\xA1\xAE\xE2\xA5 \xE3\xA7\xAB\xA0";
  const std::string archivers = "\x80\xE0\xE5\xA8\xA2\xA0\xE2\xAE\xE0\xEB";
  const std::vector<Case> cases = {
      {"Crashmail",
       "Hello Ivan Petrov,\r\n"
       "\r\n"
       "List of areas available to 2:5020/9999.1\r\n"
       "\r\n"
       "   Area                            Description                        Msgs/week\r\n"
       "   ------------------------------- ---------------------------------- ---------\r\n"
       " * AMIGA.GENERAL                   Amiga general discussion                  34\r\n"
       "   AMIGA.OS4                                                                  ?\r\n"
       " * CRASHMAIL.SUPPORT.INTERNATIONAL\r\n"
       "                                   CrashMail support, in English              3\r\n"
       "\r\n"
       "--- CrashMail II/Linux 1.7\r\n",
       {{"AMIGA.GENERAL", "Amiga general discussion"},
        {"AMIGA.OS4", ""},
        {"CRASHMAIL.SUPPORT.INTERNATIONAL", "CrashMail support, in English"},
        {"HELLO", ""}}},
      {"Fidogate",
       "Fidogate AreaFix reply for 2:5020/9999.1\r\n"
       "\r\n"
       "* FIDOGATE ..................... : Fidogate users and developers\r\n"
       "  RU.UNIX.BSD .................. : FreeBSD, NetBSD, OpenBSD and friends\r\n"
       "\r\n"
       "All areas of all zones\r\n"
       "\r\n"
       "  Z2   RU.FIDOGATE               : Fidogate in Russian\r\n"
       "  Z1   NET_DEV                   : Network development\r\n"
       "--- FIDOGATE 4.4.10\r\n",
       {{"FIDOGATE", "Fidogate users and developers"},
        {"RU.UNIX.BSD", "FreeBSD, NetBSD, OpenBSD and friends"},
        {"RU.FIDOGATE", "Fidogate in Russian"},
        {"NET_DEV", "Network development"},
        {"Z2", ""}}},
      {"BBBS",
       "File areas:\r\n"
       "\r\n"
       " BINKD             (1:153/757, 0kB) \"Binkd - New IP Mailer\"\r\n"
       " NODEDIFF          (1:153/757, 312kB) \"Weekly nodelist differences for\r\n"
       "   every zone\"\r\n"
       " FTSC              (1:153/757, 1204kB) \"FidoNet technical standards\"\r\n"
       "\r\n"
       "Total 3 file areas\r\n",
       {{"BINKD", "Binkd - New IP Mailer"},
        {"NODEDIFF", "Weekly nodelist differences for every zone"},
        {"FTSC", "FidoNet technical standards"},
        {"TOTAL", ""}}},
      {"headings",
       "Hello Sergey!\r\n"
       "\r\n"
       " List of all echo areas available for node 2:5020/9999.1\r\n"
       "\r\n"
       " Tagname              Description                                KB/week\r\n"
       " -------------------- ------------------------------------------ -------\r\n"
       " RU.SYSOP             " + sysops + "                      12\r\n"
       "\r\n"
       " Available areas for 2:5020/9999\r\n"
       " Con  Message area              Description\r\n"
       " ---- ------------------------- ------------------------------------\r\n"
       "      RU.COMPRESS               " + archivers + "\r\n",
       {{"RU.SYSOP", sysops}, {"RU.COMPRESS", archivers}, {"LIST", ""}, {"TAGNAME", ""}, {"AVAILABLE", ""},
        {"CON", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    layout_.areas.clear();
    for (const Area& area : c.areas) layout_.areas.push_back({area.tag, ""});
    original_ = layout_.Build();
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
    WriteFileText(inst_.WorkPath("reply.txt"), c.reply);
    inst_.WriteSettings(Settings("ECHOLIST reply.txt\r\nECHOLISTFORMAT AREAFIX\r\n"));
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 0) << r.out;
    Bytes expected = original_;
    std::size_t added = 0;
    for (std::size_t i = 0; i < c.areas.size(); ++i) {
      if (c.areas[i].description.empty()) continue;
      PutDescription(expected, layout_, i, c.areas[i].description);
      ++added;
    }
    EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected);
    EXPECT_NE(r.out.find("  Description was added to " + std::to_string(added) + " areas\r\n"), std::string::npos)
        << r.out;
  }
}

// A reply read as NA gives nothing rather than dots and quotes, and says
// which format reads it; read as FASTECHO, it is sent to AREAFIX too.
TEST_F(E2eEchoList, AReplyReadAsAnotherFormatIsSentToAreafix) {
  layout_.areas = {{"RU.EXAMPLE", ""}, {"RU.OTHER", ""}};
  original_ = layout_.Build();
  const std::string reply =
      "Available areas for 2:5020/9999:\r\n"
      "*    RU.EXAMPLE ....................... \"Example chat\"\r\n"
      "     RU.OTHER ......................... \"Other chat\"\r\n"
      "'*' = area is active\r\n";
  struct Case {
    const char* format;
    std::string warning;
  };
  const std::vector<Case> cases = {
      {"NA", "is a hub's %LIST reply, not of the NA format; its areas get no description (try ECHOLISTFORMAT AREAFIX)"},
      {"FASTECHO",
       "holds no entry of the FASTECHO format; its areas get no description (try ECHOLISTFORMAT AREAFIX)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
    fs::remove(inst_.WorkPath("blsm.log"));
    WriteFileText(inst_.WorkPath("reply.txt"), reply);
    inst_.WriteSettings(Settings("ECHOLIST reply.txt\r\nECHOLISTFORMAT " + std::string(c.format) + "\r\n"));
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 0) << r.out;
    const std::string warning = "Warning: The echo list \"reply.txt\" " + c.warning;
    EXPECT_NE(r.out.find(warning + "\r\n   No description for areaRU.EXAMPLE\r\n   No description for areaRU.OTHER\r\n"),
              std::string::npos)
        << r.out;
    const std::vector<std::string> log = inst_.LogLines("blsm.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), "? <stamp> BLSM " + warning), 1);
    EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);
  }
}

}  // namespace

namespace {

// The lists sysops have, end to end: each case's list and settings, the
// line the run tells of the list (in the log too), and the description bytes
// of each area in the FastEcho file afterwards ("": left as it was). The
// rules behind each are the unit tests'; here the program reads them from
// its own settings, on both builds.
TEST_F(E2eEchoList, ListsOfEveryKind) {
  const std::string echo866 = "\x9D\xE5\xAE", echoUtf8 = "\xD0\xAD\xD1\x85\xD0\xBE";  // "Эхо"
  std::string links;
  for (int node = 1; links.size() < 560; ++node) links += " 2:5020/" + std::to_string(1000 + node);
  const std::vector<std::string> standard = {"FIDONEWS", "NET_DEV", "NOT.LISTED"};
  struct Case {
    const char* name;
    std::string list;
    std::string setting;  // besides ECHOLIST
    std::string told;     // a line the run shows; "": none to look for
    std::vector<std::string> descriptions;
    std::vector<std::string> areas = {};  // empty: FIDONEWS, NET_DEV, NOT.LISTED
  };
  const std::vector<Case> cases = {
      {"the backbone's .NA file",
       "; FidoNet backbone echoes\r\n\r\nfidonews            fidoNews, the weekly\r\nNET_DEV\tnetwork development   \r\n"
       "FIDONEWS            a later line never counts\r\n",
       "ECHOLISTFORMAT NA\r\n", "   No description for areaNOT.LISTED", {"FidoNews, the weekly", "Network development", ""}},
      {"bare tags in an .NA list do not decide",
       "FIDONEWS\r\nNET_DEV\r\nNOT.LISTED\r\nFIDONEWS   fidoNews, the weekly\r\nNET_DEV    network development\r\n",
       "ECHOLISTFORMAT NA\r\n", "   No description for areaNOT.LISTED", {"FidoNews, the weekly", "Network development", ""}},
      {"a Husky area file",
       "# areas of the node\ninclude /etc/fido/more.cfg\nNetmailArea netmail /fido/netmail -b squish\n"
       "EchoArea NO.D /fido/nod -b squish\n"
       "  echoarea fidonews /fido/fidonews -b squish -d \"fidoNews, the weekly\" -a 2:5020/1\n"
       "# EchoArea NET_DEV /fido/old -d \"Commented out\"\n"
       "EchoArea\tNET_DEV\t/fido/netdev\t-p 30 -d \"Network development\"\n"
       "EchoArea UNQUOTED /fido/unq -d Single words only\nEchoArea NO.D /fido/nod -d \"Given by a later line\"\n",
       "ECHOLISTFORMAT FIDOCONFIG\r\n", "   No description for areaNOT.LISTED",
       {"FidoNews, the weekly", "Network development", "", "Single", "Given by a later line"},
       {"FIDONEWS", "NET_DEV", "NOT.LISTED", "UNQUOTED", "NO.D"}},
      {"Husky lines as Husky reads them",
       "EchoAreaDefaults passthrough\r\nEchoArea RU.HUB /fido/echo/ru.hub -b Squish -a 2:5020/9999" + links +
           " -d \"Hub echo\"\r\nEchoArea RU.CROSSING /fido/echo/crossing" + std::string(200, ' ') +
           "-d \"A description across column 255\"\r\nEchoArea RU.PASSTHRU -d \"Passed through\" -a 2:5020/1\r\n"
           "EchoArea \"RU.QUOTED\" /fido/echo/quoted -d Quoted\r\nEchoArea RU.OPEN /fido/echo/open -d \"Never closed\r\n",
       "ECHOLISTFORMAT FIDOCONFIG\r\n", "   No description for areaRU.OPEN",
       {"Hub echo", "A description across column 255", "Passed through", "Quoted", ""},
       {"RU.HUB", "RU.CROSSING", "RU.PASSTHRU", "RU.QUOTED", "RU.OPEN"}},
      {"UTF-16 without a byte-order mark", Utf16Bytes(Utf16Of(",FIDONEWS,FidoNews\r\n"), true), "",
       "Warning: The echo list \"echos.lst\" looks like UTF-16 without a byte-order mark (set ECHOLISTENCODING "
       "UTF-16LE or UTF-16BE)",
       {"", "", ""}},
      {"a UTF-8 list with a line pasted from an 866 one",
       ",FIDONEWS," + echoUtf8 + " 1\r\n,NET_DEV," + echo866 + " 2\r\n,OTHER," + echoUtf8 + "\r\n", "",
       "  Reading the echo list \"echos.lst\" as UTF-8, 1 line in code page 866 (it is UTF-8 text with 1 line "
       "that is not)",
       {echo866 + " 1", echo866 + " 2", ""}},
      {"two lists joined, the second with its byte-order mark",
       ",FIDONEWS," + echo866 + "\r\n\xEF\xBB\xBF,NET_DEV," + echoUtf8 + "\r\n", "",
       "  Reading the echo list \"echos.lst\" as UTF-8, 1 line in code page 866 (it is UTF-8 text with 1 line "
       "that is not)",
       {echo866, echo866, ""}},
      {"a short list in 1251", "FIDONEWS  \xD1\xE8\xF1\xEE\xEF\xFB\r\n", "ECHOLISTFORMAT NA\r\n",
       "  Reading the echo list \"echos.lst\" as code page 1251 (its letters are those of 1251, not 866)",
       {"\x91\xA8\xE1\xAE\xAF\xEB", "", ""}},
      {"a short list in 1251 read as 866", "FIDONEWS  \xD1\xE8\xF1\xEE\xEF\xFB\r\n",
       "ECHOLISTFORMAT NA\r\nECHOLISTENCODING CODEPAGE\r\n",
       "Warning: The echo list \"echos.lst\" may not be in code page 866 (set ECHOLISTENCODING)",
       {"\xD1\xE8\xF1\xEE\xEF\xFB", "", ""}},
      {"typographic text from a web page, no-break spaces and all",
       "FIDONEWS\xC2\xA0\xC2\xA0The \xE2\x80\x9C" "FidoNews\xE2\x80\x9D \xE2\x80\x94 weekly\xE2\x80\xA6\r\n",
       "ECHOLISTFORMAT NA\r\n", "  Reading the echo list \"echos.lst\" as UTF-8 (it is UTF-8 text)",
       {"The \"FidoNews\" - weekly...", "", ""}},
      {"a zip archive", std::string("PK\x03\x04\x14\0\0\0", 8) + ",FIDONEWS,Zipped\r\n", "",
       "Warning: The echo list \"echos.lst\" is a zip archive, not a text list; unpack it and name the list inside",
       {"", "", ""}},
      {"a printed report's form feed", "\f,FIDONEWS,Printed\r\n,NET_DEV,Report\f\r\n", "",
       "   Added description for area NET_DEV", {"Printed", "Report", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FastEchoImage layout;
    for (const std::string& tag : c.areas.empty() ? standard : c.areas) layout.areas.push_back({tag, ""});
    const Bytes original = layout.Build();
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original);
    fs::remove(inst_.WorkPath("blsm.log"));
    WriteFileText(inst_.WorkPath("echos.lst"), c.list);
    inst_.WriteSettings(Settings("ECHOLIST echos.lst\r\n" + c.setting));
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("\r\n" + c.told + "\r\n"), std::string::npos) << r.out;
    const std::vector<std::string> log = inst_.LogLines("blsm.log");
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [&](const std::string& line) { return line.ends_with("<stamp> BLSM " + c.told); }),
              1) << "told once, in the log too";
    Bytes expected = original;
    for (std::size_t i = 0; i < c.descriptions.size(); ++i)
      if (!c.descriptions[i].empty()) PutDescription(expected, layout, i, c.descriptions[i]);
    EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected);
  }
}

}  // namespace

namespace {

// A node in FidoNet and fsxNet: a list for each network, in two formats
// and encodings. The first list that gives an area a description gives it;
// one that lists the tag without one passes it on. Each list is told of at
// its first lookup; the preview says which list gives what.
TEST_F(E2eEchoList, ANodeInSeveralNetworks) {
  WriteFileText(inst_.WorkPath("fido.lst"), ",FIDONEWS,FidoNews from Fido\r\n,NOT.LISTED,\r\n");
  WriteFileText(inst_.WorkPath("fsx.na"),
                "FIDONEWS      Not this one\r\nNET_DEV       \xD1\xE5\xF2\xFC\r\nNOT.LISTED    From fsxNet\r\n");
  inst_.WriteSettings(Settings("ECHOLIST fido.lst\r\nECHOLIST fsx.na\r\nECHOLISTFORMAT NA\r\nECHOLISTENCODING 1251\r\n"));
  const RunResult preview = inst_.Run({"-n"});
  EXPECT_EQ(preview.exitCode, 0) << preview.out;
  const std::string shownNet = inst_.UnderWine() ? "\x91\xA5\xE2\xEC" : "\xD0\xA1\xD0\xB5\xD1\x82\xD1\x8C";
  EXPECT_NE(preview.out.find("   Would add description for area NET_DEV: \"" + shownNet + "\"  (from fsx.na)\r\n"),
            std::string::npos) << preview.out;
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);

  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("   Added description for area FIDONEWS\r\n"
                       "  Reading the echo list \"fsx.na\" as code page 1251 (ECHOLISTENCODING 1251)\r\n"
                       "   Added description for area NET_DEV\r\n"
                       "   Added description for area NOT.LISTED\r\n"),
            std::string::npos) << r.out;
  Bytes expected = original_;
  PutDescription(expected, layout_, 0, "FidoNews from Fido");
  PutDescription(expected, layout_, 1, "\x91\xA5\xE2\xEC");
  PutDescription(expected, layout_, 2, "From fsxNet");
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected);
}

// A 1251 list read as UTF-8, as a wrong ECHOLISTENCODING says: no
// description made of '?' is written, and the run says why.
TEST_F(E2eEchoList, AListReadInTheWrongEncodingWritesNoQuestionMarks) {
  WriteFileText(inst_.WorkPath("echos.lst"), ",FIDONEWS,\xCD\xEE\xE2\xEE\xF1\xF2\xE8\r\n,NET_DEV,\xD1\xE5\xF2\xFC\r\n");
  inst_.WriteSettings(Settings("ECHOLIST echos.lst\r\nECHOLISTENCODING UTF-8\r\n"));
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("  Reading the echo list \"echos.lst\" as UTF-8 (ECHOLISTENCODING UTF-8; 2 lines do not "
                       "decode)\r\n"
                       "Warning: The echo list \"echos.lst\" does not read as UTF-8 (2 of 2 lines); check "
                       "ECHOLISTENCODING\r\n"
                       "Warning: The description of FIDONEWS in the echo list \"echos.lst\" is not in UTF-8; left as "
                       "it is\r\n"
                       "   No description for areaFIDONEWS\r\n"
                       "Warning: The description of NET_DEV in the echo list \"echos.lst\" is not in UTF-8; left as "
                       "it is\r\n"
                       "   No description for areaNET_DEV\r\n"),
            std::string::npos) << r.out;
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);

  // Ten such descriptions are told one by one, the rest in one line.
  FastEchoImage many;
  std::string list;
  for (int i = 0; i < 13; ++i) {
    many.areas.push_back({"AREA." + std::to_string(i), ""});
    list += ",AREA." + std::to_string(i) + ",\xD1\xE5\xF2\xFC\r\n";
  }
  WriteFileBytes(inst_.WorkPath("fastecho.cfg"), many.Build());
  WriteFileText(inst_.WorkPath("echos.lst"), list);
  const RunResult more = inst_.Run();
  EXPECT_EQ(more.exitCode, 0) << more.out;
  std::size_t told = 0;
  for (std::size_t at = 0; (at = more.out.find("Warning: The description of AREA.", at)) != std::string::npos; ++at)
    ++told;
  EXPECT_EQ(told, 10u) << more.out;
  EXPECT_NE(more.out.find("   No description for areaAREA.12\r\nWarning: 3 more descriptions in the echo list "
                          "\"echos.lst\" are not in its encoding; left as they are\r\n"),
            std::string::npos) << more.out;
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), many.Build());
}

}  // namespace
