// The echo list lookup: line syntax, matching, the 52-byte result and the
// files that cannot be read.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "driver/fastecho_layout.h"
#include "echo_list/echo_list.h"
#include "platform/fault_injection.h"
#include "support/embedded_files.h"
#include "support/fastecho_builder.h"
#include "support/scratch_dir.h"
#include "support/text_bytes.h"
#include "util/short_string.h"
#include "util/strings.h"

namespace {

namespace faults = platform::faults;

// The 52-byte result expected for `text`: its characters, then zero bytes.
std::string Field(const std::string& text) {
  std::string field = text.substr(0, 52);
  field.resize(52, '\0');
  return field;
}

const std::string kNothing = Field("");

class EchoListTest : public testing::Test {
 protected:
  void TearDown() override {
    faults::Disarm();
  }

  // Writes the echo list and binds `list_` to it.
  void WriteList(const std::string& content, EchoListFormat format = EchoListFormat::FastEcho,
                 EchoListEncoding encoding = EchoListEncoding::Auto) {
    const std::string path = scratch_.File("echo.lst");
    WriteFileText(path, content);
    list_.Bind(ShortString(path), format, encoding);
  }

  // The 52 bytes a lookup writes; the buffer starts out full of noise so
  // that every byte must be written. `result` gets the lookup's answer.
  std::string Lookup(const std::string& tag, EchoListFile::Lookup* result = nullptr) {
    fastecho::Description description;
    std::memset(description, 0xA5, sizeof description);
    const EchoListFile::Lookup read = list_.LookupDescription(ShortString(tag), description);
    if (result) *result = read;
    return std::string(reinterpret_cast<const char*>(description), sizeof description);
  }

  // One lookup per case, each on its own list.
  struct ListCase {
    std::string name;  // empty: the content names the case
    std::string content;
    std::string tag;
    std::string description;  // empty: nothing found
  };
  void ExpectLookups(const std::vector<ListCase>& cases) {
    for (const ListCase& c : cases) {
      SCOPED_TRACE(c.name.empty() ? testing::PrintToString(c.content) : c.name);
      WriteList(c.content);
      EXPECT_EQ(Lookup(c.tag), Field(c.description));
    }
  }

  ScratchDir scratch_;
  EchoListFile list_;
};

TEST_F(EchoListTest, WorkedExamples) {
  struct Case {
    std::string line;
    std::string tag;
    std::string description;  // empty: nothing found
  };
  const std::vector<Case> cases = {
      {",ALPHA.CHAT,General chat about alpha", "ALPHA.CHAT", "General chat about alpha"},
      {"Hold,beta.talk,Beta discussions", "BETA.TALK", "Beta discussions"},
      {"DOWN,GAMMA,Gamma area, moderated", "GAMMA", "Gamma area"},
      {",DELTA,,Delta news", "DELTA", "Delta news"},
      {",,EPSILON,Eps", "EPSILON", "Eps"},
      {"   ,KAPPA,Kappa desc   ", "KAPPA", "Kappa desc"},
      {",LAMBDA,   spaced  out  words", "LAMBDA", "   spaced  out  words"},
      {",MU", "MU", ""},
      {"ZETA,Zeta", "ZETA", ""},
      {", THETA,Theta", "THETA", ""},
      {", THETA,Theta", " THETA", "Theta"},
      {",ETA ,Eta", "ETA", ""},
      {",ETA ,Eta", "ETA ", "Eta"},
      {";,IOTA,Iota", "IOTA", ""},
      {"HOLDING,NU,Nu", "NU", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line + " / tag '" + c.tag + "'");
    WriteList(c.line + "\r\n");
    EXPECT_EQ(Lookup(c.tag), Field(c.description));
  }
}

TEST_F(EchoListTest, FirstMatchingLineDecides) {
  ExpectLookups({
      {"first of two", ",DUP,First\r\n,DUP,Second\r\n", "DUP", "First"},
      {"case differs", ",dup,First\r\n,DUP,Second\r\n", "DUP", "First"},
      {"after other tags", ",A,Alpha\r\n;,B,Comment\r\n,B,Beta\r\n,B,Again\r\n", "B", "Beta"},
      {"tag without description stops", ",MU\r\n,MU,Later\r\n", "MU", ""},
      {"empty description stops", ",MU,\r\n,MU,Later\r\n", "MU", ""},
      {"commas only after the tag stop", ",MU,,,\r\n,MU,Later\r\n", "MU", ""},
      {"a longer tag does not match", ",MUMU,Long\r\n,MU,Short\r\n", "MU", "Short"},
      {"a shorter tag does not match", ",M,Short\r\n,MU,Right\r\n", "MU", "Right"},
  });
}

TEST_F(EchoListTest, EveryBlankByteIsTrimmedFromTheLineEnds) {
  ExpectLookups({
      {"leading", std::string("\t\xFF\0 ,KAPPA,Kappa desc\r\n", 23), "KAPPA", "Kappa desc"},
      {"trailing", std::string(",KAPPA,Kappa desc\t\xFF \0\r\n", 23), "KAPPA", "Kappa desc"},
      {"before HOLD", "\t HOLD,KAPPA,Held\r\n", "KAPPA", "Held"},
      // The blanks after a lone tag are trimmed: the line lists the tag
      // without a description and so stops the search.
      {"after a lone tag", ",MU \t\xFF\r\n,MU,Later\r\n", "MU", ""},
      // Inside the line a tab is an ordinary character of the field.
      {"tab inside the tag field", ",KAPPA\t,Tabbed\r\n,KAPPA,Plain\r\n", "KAPPA", "Plain"},
  });
}

TEST_F(EchoListTest, CaseInsensitiveForAsciiAndRussianLetters) {
  struct Case {
    std::string fileTag;
    std::string lookupTag;
    bool matches;
  };
  const std::vector<Case> cases = {
      {"Alpha.Chat", "ALPHA.CHAT", true},
      {"ALPHA.CHAT", "alpha.chat", true},
      // cp866 а р я ё in the file, А Р Я Ё looked up, and the other way round.
      {"\xA0\xE0\xEF\xF1.x", "\x80\x90\x9F\xF0.X", true},
      {"\x80\x90\x9F\xF0.X", "\xA0\xE0\xEF\xF1.x", true},
      {"\xAF\xEE", "\x8F\x9E", true},
      // Bytes outside the mapping must match exactly.
      {"\xF3", "\xF2", false},  // є / Є are not paired
      {"[", "{", false},
      {"@", "`", false},
      {"\xB0", "\xE0", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.fileTag) + " vs " + testing::PrintToString(c.lookupTag));
    WriteList("," + c.fileTag + ",MiXed Case desc\r\n");
    EXPECT_EQ(Lookup(c.lookupTag), Field(c.matches ? "MiXed Case desc" : ""));
  }
}

TEST_F(EchoListTest, TagsOfEveryLengthMatchWholeAndOnlyWhole) {
  // Lower-case letters of both alphabets (cp866 а, п, р, я, ё) in the file,
  // looked up in upper case; then each single byte of the tag changed.
  const std::string lower = "\xA0\xAF\xE0\xEF\xF1ru.fido-\xE5\xA8\xA4\xAE.chat_zone.a_long_tag_of_fifty_two_byte";
  for (std::size_t length : {1, 7, 8, 9, 15, 16, 17, 33, 52}) {
    const std::string fileTag = lower.substr(0, length);
    std::string tag;
    for (char c : fileTag) tag += UpCaseChar(c);
    SCOPED_TRACE("length " + std::to_string(length) + ": " + testing::PrintToString(tag));
    WriteList(",x" + fileTag + ",Not this\r\n," + fileTag + "x,Nor this\r\n," + fileTag + ",Found\r\n");
    EXPECT_EQ(Lookup(tag), Field("Found"));
    for (std::size_t i = 0; i < length; ++i) {
      std::string changed = tag;
      changed[i] = static_cast<char>(changed[i] ^ (i % 2 ? 0x01 : 0x10));
      if (UpCaseChar(changed[i]) == tag[i]) changed[i] = '#';
      SCOPED_TRACE("byte " + std::to_string(i) + " changed");
      EXPECT_EQ(Lookup(changed), kNothing);
    }
  }
}

TEST_F(EchoListTest, HoldAndDownWords) {
  ExpectLookups({
      {"", "HOLD,T1,Held\r\n", "T1", "Held"},
      {"", "hold,T1,Held\r\n", "T1", "Held"},
      {"", "hOlD,T1,Held\r\n", "T1", "Held"},
      {"", "DOWN,T1,Down\r\n", "T1", "Down"},
      {"", "dOwN,T1,Down\r\n", "T1", "Down"},
      {"", "  Hold,T1,Trimmed first\r\n", "T1", "Trimmed first"},
      // A line holding only the word is ignored, not taken as a tag.
      {"", "HOLD\r\n,HOLD,Named hold\r\n", "HOLD", "Named hold"},
      {"", "down\r\n,DOWN,Named down\r\n", "DOWN", "Named down"},
      // Only one word is removed.
      {"", "HOLDHOLD,X,Twice\r\n", "X", ""},
      {"", "HOLDDOWN,X,Twice\r\n", "X", ""},
      {"", "HOLD,HOLD,Tag is hold\r\n", "HOLD", "Tag is hold"},
      {"", "HOLD ,X,Blank after\r\n", "X", ""},
      {"", "HOL,X,Short\r\n", "X", ""},
  });
}

TEST_F(EchoListTest, DescriptionIsCutTo52Bytes) {
  std::string sixty;
  for (int i = 0; i < 60; ++i) sixty += static_cast<char>('A' + i % 26);
  const std::string fiftyTwo = sixty.substr(0, 52);
  WriteList(",SIXTY," + sixty + "\r\n,EXACT," + fiftyTwo + "\r\n,FIFTYONE," +
            fiftyTwo.substr(0, 51) + "\r\n");

  EXPECT_EQ(Lookup("SIXTY"), fiftyTwo);
  const std::string exact = Lookup("EXACT");
  EXPECT_EQ(exact, fiftyTwo);
  EXPECT_EQ(exact.find('\0'), std::string::npos);
  EXPECT_EQ(Lookup("FIFTYONE"), fiftyTwo.substr(0, 51) + std::string(1, '\0'));
}

TEST_F(EchoListTest, OnlyTheFirst255CharactersOfALineAreUsed) {
  // The remainder of a long comment line looks like an entry but is skipped.
  std::string longComment(1, ';');  // (built in steps: g++ 12 warns wrongly about one expression)
  longComment.append(254, 'x').append(",HIDDEN,Hidden\r\n");
  // A long matching line: its description runs past character 255.
  const std::string longEntry = ",LONG," + std::string(300, 'd') + "\r\n";
  WriteList(longComment + longEntry + ",NEXT,Next\r\n");

  EXPECT_EQ(Lookup("HIDDEN"), kNothing);
  EXPECT_EQ(Lookup("LONG"), Field(std::string(52, 'd')));
  EXPECT_EQ(Lookup("NEXT"), Field("Next"));
}

// Lists from the web and from Linux end their lines in LF alone; no line
// end ever reaches a description, on either build.
TEST_F(EchoListTest, EveryKindOfLineEndEndsALine) {
  WriteList(",A,Alpha\n,B,Beta\r,C,Gamma\r\n\n,D,Delta");
  EXPECT_EQ(Lookup("A"), Field("Alpha"));
  EXPECT_EQ(Lookup("B"), Field("Beta"));
  EXPECT_EQ(Lookup("C"), Field("Gamma"));
  EXPECT_EQ(Lookup("D"), Field("Delta"));
}

TEST_F(EchoListTest, NothingAfterCtrlZIsRead) {
  WriteList(",A,Alpha\r\n,B,Be\x1Ata\r\n\x1A,C,Gamma\r\n");
  EXPECT_EQ(Lookup("A"), Field("Alpha"));
  EXPECT_EQ(Lookup("B"), Field("Be"));
  EXPECT_EQ(Lookup("C"), kNothing);
}

TEST_F(EchoListTest, EmptyTagMatchesOnlyALineWithoutTagAndGetsNoDescription) {
  WriteList(",,Desc\r\n,X,Y\r\n,,,\r\n,\r\n,,Later\r\n,DESC,Real\r\n");
  EXPECT_EQ(Lookup(""), kNothing);
  EXPECT_EQ(Lookup("X"), Field("Y"));
  // ",,Desc" has no empty field: it lists the tag Desc without a description.
  EXPECT_EQ(Lookup("DESC"), kNothing);
}

// A list that cannot be opened or read gives nothing and says which, so
// that the pass can tell the sysop or stop; an empty path names no list
// and is no failure.
TEST_F(EchoListTest, UnreadableListGivesNothingAndSaysSo) {
  using enum EchoListFile::Lookup;
  EchoListFile::Lookup result = Answered;
  {
    SCOPED_TRACE("missing file: no description all run long, even once it is there");
    const std::string missing = scratch_.File("missing.lst");
    list_.Bind(ShortString(missing));
    EXPECT_EQ(Lookup("ALPHA", &result), kNothing);
    EXPECT_EQ(result, Unavailable);
    platform::FileHandle handle = platform::kInvalidHandle;
    EXPECT_EQ(list_.LastError(), platform::OpenFile(missing.c_str(), platform::Access::Read,
                                                    platform::Sharing::ReadWrite, platform::Creation::OpenExisting,
                                                    platform::Target::DiskFile, &handle))
        << "the operating system's code, for the message";
    WriteFileText(missing, ",ALPHA,Alpha\r\n,BETA,Beta\r\n");
    faults::ResetCounts();
    EXPECT_EQ(Lookup("BETA", &result), kNothing);
    EXPECT_EQ(result, Unavailable);
    EXPECT_EQ(faults::Calls(faults::Op::Open), 0u);
  }
  {
    SCOPED_TRACE("a directory is there, but no list: the run must stop");
    list_.Bind(ShortString(scratch_.Path().string()));
    EXPECT_EQ(Lookup("ALPHA", &result), kNothing);
    EXPECT_EQ(result, Failed);
  }
  {
    SCOPED_TRACE("empty path");
    list_.Bind(ShortString(""));
    EXPECT_EQ(Lookup("ALPHA", &result), kNothing);
    EXPECT_EQ(result, Answered);
    EXPECT_EQ(Lookup(""), kNothing);
  }
  {
    SCOPED_TRACE("empty file");
    WriteList("");
    EXPECT_EQ(Lookup("ALPHA", &result), kNothing);
    EXPECT_EQ(result, Answered);
  }
  struct Failure {
    const char* name;
    faults::Op op;
    std::uint64_t nth;
  };
  for (const Failure& f : {Failure{"open", faults::Op::Open, 1}, Failure{"what the open asks", faults::Op::OpenCheck, 1},
                           Failure{"first read", faults::Op::Read, 1}, Failure{"rewind", faults::Op::Seek, 1},
                           Failure{"the pass's read", faults::Op::Read, 2}}) {
    SCOPED_TRACE(std::string("a failing ") + f.name + " of a list that is there");
    WriteList(",ALPHA,Alpha\r\n");
    faults::Arm(f.op, f.nth);
    EXPECT_EQ(Lookup("ALPHA", &result), kNothing);
    EXPECT_EQ(result, Failed);
    EXPECT_NE(list_.LastError(), 0u);
    faults::Disarm();
  }
}

// The backbone's .NA files: the tag, blanks or tabs, the description to the
// end of the line. The rules the two formats share carry over.
TEST_F(EchoListTest, NaFilesListATagAndItsDescriptionPerLine) {
  struct Case {
    const char* name;
    std::string content;
    std::string tag;
    std::string description;  // empty: nothing found
  };
  const std::string long60(60, 'd');
  const std::vector<Case> cases = {
      {"blanks between", "FIDONEWS        FidoNews weekly\r\n", "FIDONEWS", "FidoNews weekly"},
      {"a tab between", "NET_DEV\tNetwork development\r\n", "NET_DEV", "Network development"},
      {"commas belong to the description", "GAMMA Gamma area, moderated\r\n", "GAMMA",
       "Gamma area, moderated"},
      {"blanks at the end go", "DELTA   Delta news   \r\n", "DELTA", "Delta news"},
      {"inner blanks stay", "EPS  two  words\r\n", "EPS", "two  words"},
      {"indented line", "   KAPPA Kappa desc\r\n", "KAPPA", "Kappa desc"},
      {"case of the tag ignored", "ru.\xAD\xAE\xA2\xAE News\r\n", "RU.\x8D\x8E\x82\x8E", "News"},
      {"a tag alone does not decide", "MU\r\nMU Later\r\n", "MU", "Later"},
      {"a tag alone with blanks does not decide", "MU   \t\r\nMU Later\r\n", "MU", "Later"},
      {"a tag listed alone only", "MU\r\n", "MU", ""},
      {"two lines, the first wins", "NU First\r\nNU Second\r\n", "NU", "First"},
      {"comment line", "; ZETA Zeta\r\nZETA Real\r\n", "ZETA", "Real"},
      {"a semicolon later is text", "ETA Eta; not a comment\r\n", "ETA", "Eta; not a comment"},
      {"blank lines", "\r\n   \r\nIOTA Iota\r\n", "IOTA", "Iota"},
      {"cut to 52", "LONG " + long60 + "\r\n", "LONG", long60.substr(0, 52)},
      {"longer tag is another tag", "THETA2 Theta\r\n", "THETA", ""},
      {"nothing after Ctrl-Z", "A Alpha\r\n\x1A" "B Beta\r\n", "B", ""},
      {"FastEcho lines are no NA lines", ",OMEGA,Omega\r\n", "OMEGA", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteList(c.content, EchoListFormat::Na);
    EXPECT_EQ(Lookup(c.tag), Field(c.description));
  }
}

TEST_F(EchoListTest, EachTagGetsWhatAReadingFromTheTopGives) {
  WriteList(",A,Alpha\r\n,B,Beta\r\n,C,Gamma\r\n,A,Again\r\n");
  for (const char* tag : {"C", "A", "B"}) list_.Expect(tag);
  struct Step {
    std::string tag, description;
  };
  const std::vector<Step> steps = {
      {"C", "Gamma"}, {"A", "Alpha"}, {"C", "Gamma"}, {"Z", ""}, {"B", "Beta"}, {"a", "Alpha"}, {"Z", ""},
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE("lookup " + std::to_string(i + 1) + ": " + steps[i].tag);
    EXPECT_EQ(Lookup(steps[i].tag), Field(steps[i].description));
  }
}

// The list is read once, from its first line to its end, for every tag
// expected; what it gave stands for the rest of the run. A tag that was not
// expected gets a reading of its own.
TEST_F(EchoListTest, TheListIsReadOncePerRun) {
  WriteList(",A,Alpha\r\n,B,Beta\r\n");
  list_.Expect("A");
  list_.Expect("B");
  list_.Expect("Z");
  faults::ResetCounts();
  for (const char* tag : {"B", "Z", "A", "B"}) Lookup(tag);
  EXPECT_EQ(faults::Calls(faults::Op::Open), 1u);
  EXPECT_EQ(faults::Calls(faults::Op::Close), 1u) << "closed right after its reading";
  WriteFileText(scratch_.File("echo.lst"), ",A,New alpha\r\n,C,Gamma\r\n");
  EXPECT_EQ(Lookup("A"), Field("Alpha"));
  EXPECT_EQ(faults::Calls(faults::Op::Open), 1u);
  EXPECT_EQ(Lookup("C"), Field("Gamma")) << "not expected: read for it alone";
  EXPECT_EQ(faults::Calls(faults::Op::Open), 2u);
}

TEST_F(EchoListTest, AFailingCloseOfTheListLosesNothing) {
  WriteList(",A,Alpha\r\n");
  faults::Arm(faults::Op::Close, 1);
  EchoListFile::Lookup result = EchoListFile::Lookup::Failed;
  EXPECT_EQ(Lookup("A", &result), Field("Alpha"));
  faults::Disarm();
  EXPECT_EQ(result, EchoListFile::Lookup::Answered);
}

TEST_F(EchoListTest, LinesAcrossTheReadBufferBoundary) {
  // Comment lines fill the list up to `start`, where the line for TAG
  // begins; the cases put each part of that line, its CR and its LF at the
  // end of the first buffer fill and at the start of the second.
  const std::string line = ",TAG.AREA,Found at the edge\r\n";  // CR at 27, LF at 28
  auto padding = [](std::size_t length) {
    std::string pad;
    while (length - pad.size() >= 100 + 3) pad.append(";").append(97, '-').append("\r\n");
    const std::size_t rest = length - pad.size() - 3;
    pad.append(";").append(rest, '=').append("\r\n");
    return pad;
  };
  const std::size_t edge = EchoListFile::kBufferSize;
  for (std::size_t before : {0, 1, 2, 5, 9, 10, 26, 27, 28, 29, 30, 100}) {
    SCOPED_TRACE(std::to_string(before) + " bytes of the line before the edge");
    const std::string head = padding(edge - before);
    ASSERT_EQ(head.size(), edge - before);
    WriteList(head + line + ",NEXT,Next line\r\n");
    EXPECT_EQ(Lookup("tag.area"), Field("Found at the edge"));
    EXPECT_EQ(Lookup("NEXT"), Field("Next line"));
    EXPECT_EQ(Lookup("TAG"), kNothing);
    // A tag that differs only in the bytes beyond the edge.
    EXPECT_EQ(Lookup("TAG.AREX"), kNothing);
  }
}

// A Husky-style tosser's area configuration: the -d option of EchoArea
// lines gives the description.
TEST_F(EchoListTest, FidoConfigLines) {
  struct Case {
    const char* name;
    std::string content;
    std::string tag;
    std::string description;  // empty: nothing found
  };
  const std::vector<Case> cases = {
      {"quoted", "EchoArea FIDONEWS /fido/fn -d \"Fido news, weekly\"\n", "fidonews", "Fido news, weekly"},
      {"unquoted: one word", "ECHOAREA A /p -d Word and more\n", "A", "Word"},
      {"-d after other options", "echoarea A /p -b Squish -g \"Group -d x\" -d \"Real\"\n", "A", "Real"},
      {"tabs", "\tEchoArea\tA\t/p\t-d\t\"Tabbed\"\n", "A", "Tabbed"},
      // A quote left open may have been cut: such a line decides nothing.
      {"no closing quote", "EchoArea A /p -d \"runs to the end\nEchoArea A /q -d Later\n", "A", "Later"},
      {"no closing quote after -d", "EchoArea A /p -d Desc -g \"Group\nEchoArea A /q -d Later\n", "A", "Later"},
      {"no closing quote in the tag", "EchoArea \"A /p -d Desc\n", "A", ""},
      {"no -d: a later line decides", "EchoArea A /p\nEchoArea A /q -d Later\n", "A", "Later"},
      {"empty -d: a later line decides", "EchoArea A /p -d \"\"\nEchoArea A /q -d Later\n", "A", "Later"},
      {"comment", "# EchoArea A /p -d Hidden\nEchoArea A /p -d Shown\n", "A", "Shown"},
      {"other keywords", "LocalArea A /p -d Local\nEchoAreaDefault -d X\n", "A", ""},
      // Under EchoAreaDefaults an area may have no path: -d follows the tag.
      {"-d right after the tag", "EchoArea A -d Desc /p\n", "A", "Desc"},
      {"-d after options without a path", "EchoArea A -b Squish -D \"Passing through\"\n", "A", "Passing through"},
      {"the word after -d is its argument", "EchoArea A -d -d Desc\n", "A", "-d"},
      {"another tag", "EchoArea AB /p -d Other\n", "A", ""},
      {"cut to 52", "EchoArea A /p -d \"" + std::string(60, 'x') + "\"\n", "A", std::string(52, 'x')},
      {"a quoted tag ends at its quote", "EchoArea \"A\"x p -d desc\r\n", "A", "desc"},
      {"a quoted tag matches without its quotes", "EchoArea \"RU.TAG\" /p -d Desc\r\n", "ru.tag", "Desc"},
      {"the quotes are no part of the tag", "EchoArea \"RU.TAG\" /p -d Desc\r\n", "\"RU.TAG\"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteList(c.content, EchoListFormat::FidoConfig);
    EXPECT_EQ(Lookup(c.tag), Field(c.description));
    EXPECT_EQ(Lookup(c.tag), Field(c.description)) << "the second lookup, once the list showed an entry";
  }
}

// A UTF-8 list is read in characters of the code page: a tag whose bytes
// differ from the key only after its ASCII start, a line longer than 255
// bytes but not than 255 characters, and the blanks a UTF-8 no-break space
// becomes all count as they do once converted.
TEST_F(EchoListTest, Utf8ListsAreReadInCodePageCharacters) {
  const std::string nbsp = "\xC2\xA0";  // 0xFF in code page 866: a blank
  const auto times = [](const std::string& text, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += text;
    return out;
  };
  {
    // RU.FIDO.CHAT.PLUS, then the Cyrillic letters Che, A, Te: a tag of 1 to
    // 17 ASCII bytes before its first letter.
    const std::string ascii = "RU.FIDO.CHAT.PLUS";
    for (std::size_t k = 1; k <= ascii.size(); ++k) {
      SCOPED_TRACE(std::to_string(k) + " ASCII bytes before the first letter");
      WriteList(",x,y\r\n," + ascii.substr(0, k) + "\xD0\xA7\xD0\x90\xD0\xA2,Found\r\n");
      EXPECT_EQ(Lookup(ascii.substr(0, k) + "\x97\x80\x92"), Field("Found"));
    }
  }
  {
    SCOPED_TRACE("the entry begins past byte 255, within 255 characters");
    WriteList(times(nbsp, 130) + ",TAG,Found\r\n");
    EXPECT_EQ(Lookup("TAG"), Field("Found"));
  }
  {
    SCOPED_TRACE("the description's last letter is the line's 255th character");
    const std::string description = times("\xD0\xB6", 52);  // zhe
    WriteList(times(nbsp, 198) + ",TAG," + description + "x\r\n");
    EXPECT_EQ(Lookup("TAG"), std::string(52, '\xA6'));
  }
  {
    SCOPED_TRACE("a no-break space after a tag");
    WriteList(",MU" + nbsp + "\r\n,MU,Later\r\n");
    EXPECT_EQ(Lookup("MU"), kNothing) << "the first line lists MU without a description";
  }
  {
    // The line is cut after its 255th character, which ends the tag: the
    // tag stands alone and decides.
    SCOPED_TRACE("a tag that ends at the line's 255th character");
    WriteList(std::string(252, ',') + "TAG\xD0\xB6\xD0\xB6\r\n,TAG,Later\r\n");
    EXPECT_EQ(Lookup("TAG"), kNothing);
  }
}

// A read that fails says nothing about what the list holds.
TEST_F(EchoListTest, AFailedReadIsNoListWithoutEntries) {
  WriteList("A  Alpha\r\n");  // an NA list: as FASTECHO it would hold no entry
  faults::Arm(faults::Op::Read, 2);  // the pass, after the encoding was decided
  EchoListFile::Lookup result = EchoListFile::Lookup::Answered;
  EXPECT_EQ(Lookup("Z", &result), kNothing);
  faults::Disarm();
  EXPECT_EQ(result, EchoListFile::Lookup::Failed);
  EXPECT_FALSE(list_.TakeNotices().holdsNoEntry);
}

// A list bound after another reads by its own format's rules: a FASTECHO
// line in UTF-8 is cut at its 255th character even after a list whose
// lines were read whole.
TEST_F(EchoListTest, EachBindingReadsByItsOwnFormat) {
  WriteList("EchoArea A /p -d Whole\r\n", EchoListFormat::FidoConfig, EchoListEncoding::Utf8);
  EXPECT_EQ(Lookup("A"), Field("Whole"));
  WriteList(",A" + std::string(253, ' ') + "B,Past the cut\r\n,A,Later\r\n", EchoListFormat::FastEcho,
            EchoListEncoding::Utf8);
  EXPECT_EQ(Lookup("A"), kNothing) << "the first line, cut, lists A without a description";
}

// A Husky area file may write its option in capitals.
TEST_F(EchoListTest, FidoConfigTakesTheOptionInCapitals) {
  WriteList("EchoArea A /p -D \"Upper case\"\n", EchoListFormat::FidoConfig);
  EXPECT_EQ(Lookup("A"), Field("Upper case"));
}

// Text pasted from a web page holds no-break spaces (0xFF once in the
// node's code page) where blanks stand: in NA, FIDOCONFIG and AREAFIX lines
// they separate words and are trimmed like blanks; FASTECHO separates its
// fields by commas and keeps them inside a field. Printed reports begin
// their pages with a form feed: it is trimmed at either end of a line, in
// every format, and so is a vertical tab. A Husky area line with -d twice
// gives the last, as the tosser shows it.
TEST_F(EchoListTest, BlanksOfPastedPrintedAndHuskyText) {
  using enum EchoListFormat;
  struct Case {
    const char* name;
    std::string content;
    EchoListFormat format;
    std::string tag;
    std::string description;  // empty: nothing found
  };
  const std::vector<Case> cases = {
      {"NA: no-break spaces between tag and text", "FSX_GEN\xFF\xFFGeneral Chat\r\n", Na, "FSX_GEN", "General Chat"},
      {"NA: blanks and no-break spaces mixed", "FSX_GEN \xFF \xFFGeneral Chat \xFF\r\n", Na, "FSX_GEN", "General Chat"},
      {"NA: inside the text they stay", "FSX_GEN  General\xFF" "Chat\r\n", Na, "FSX_GEN", "General\xFF" "Chat"},
      {"NA: a tag and no-break spaces alone do not decide", "MU\xFF\xFF\r\nMU Later\r\n", Na, "MU", "Later"},
      {"FIDOCONFIG: no-break spaces between words",
       "EchoArea\xFF" "FSX_GEN\xFF/fido/gen\xFF-d\xFF\"General Chat\"\r\n", FidoConfig, "FSX_GEN", "General Chat"},
      {"AREAFIX: no-break spaces after the flags and the tag", "*\xFF" "FSX_GEN\xFF\xFF\"General Chat\"\r\n", Areafix,
       "FSX_GEN", "General Chat"},
      {"FASTECHO keeps them in a field", ",FSX_GEN,\xFFGeneral Chat\r\n", FastEcho, "FSX_GEN", "\xFFGeneral Chat"},
      {"FASTECHO: a form feed first", "\f,FSX_GEN,General Chat\r\n", FastEcho, "FSX_GEN", "General Chat"},
      {"NA: a form feed first", "\fFSX_GEN General Chat\r\n", Na, "FSX_GEN", "General Chat"},
      {"NA: a form feed last", "FSX_GEN General Chat\f\r\n", Na, "FSX_GEN", "General Chat"},
      {"FIDOCONFIG: a vertical tab first", "\vEchoArea FSX_GEN /p -d \"General Chat\"\r\n", FidoConfig, "FSX_GEN",
       "General Chat"},
      {"AREAFIX: a form feed first", "\f* FSX_GEN .... \"General Chat\"\r\n", Areafix, "FSX_GEN", "General Chat"},
      {"FIDOCONFIG: -d twice gives the last",
       "EchoArea FIDONEWS /fido/fidonews -d \"Old text\" -b Squish -d \"FidoNews weekly\"\r\n", FidoConfig,
       "FIDONEWS", "FidoNews weekly"},
      {"FIDOCONFIG: an empty last -d decides nothing", "EchoArea A /p -d \"Old\" -d \"\"\r\nEchoArea A /p -d New\r\n",
       FidoConfig, "A", "New"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteList(c.content, c.format);
    EXPECT_EQ(Lookup(c.tag), Field(c.description));
  }
}

// Lists as sysops put them together: a line of one encoding pasted into a
// list of another keeps its text, two lists joined (the second with its
// byte-order mark) lose no area at the join, typographic punctuation and
// letters the node's code page lacks take their plain forms, and a file
// with NUL bytes inside, or an archive, gives nothing at all.
TEST_F(EchoListTest, PastedJoinedAndTypographicText) {
  struct Case {
    const char* name;
    std::string content;
    std::vector<std::pair<std::string, std::string>> lookups;  // tag, description ("": nothing)
  };
  const std::string echo866 = "\x9D\xE5\xAE", echoUtf8 = "\xD0\xAD\xD1\x85\xD0\xBE";
  const std::vector<Case> cases = {
      {"UTF-8 with an 866 line", ",A," + echoUtf8 + "\r\n,B," + echoUtf8 + "\r\n,C," + echo866 + "\r\n",
       {{"A", echo866}, {"C", echo866}}},
      {"866 with a UTF-8 line", ",A," + echo866 + "\r\n,B," + echo866 + " 2\r\n,C," + echoUtf8 + "\r\n",
       {{"A", echo866}, {"B", echo866 + " 2"}, {"C", echo866}}},
      {"joined: a byte-order mark at the start of a later line", ",A,a\r\n\xEF\xBB\xBF,B," + echoUtf8 + "\r\n",
       {{"A", "a"}, {"B", echo866}}},
      {"typographic punctuation", ",A,\xE2\x80\x9CQuoted\xE2\x80\x9D \xE2\x80\x94 it\xE2\x80\x99s\xE2\x80\xA6\r\n",
       {{"A", "\"Quoted\" - it's..."}}},
      {"NUL bytes inside", std::string(",A,a\r\n\0,B,b\r\n", 13), {{"A", ""}, {"B", ""}}},
      {"a zip archive", std::string("PK\x03\x04\n,A,a\r\n", 12), {{"A", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteList(c.content);
    for (const auto& [tag, description] : c.lookups) EXPECT_EQ(Lookup(tag), Field(description)) << tag;
  }
}

// A list in another encoding is read in the node's code page: UTF-16 of
// either byte order, 1251, KOI8-R and 1252, and a code page of the node's
// kind other than its own. Tags fold and descriptions are cut once
// converted; a no-break space is a blank then, 1251's 0xFF (ya) is not.
TEST_F(EchoListTest, ListsInOtherEncodingsGiveTheNodesCodePage) {
  using enum EchoListEncoding;
  const std::string hello866 = "\x8F\xE0\xA8\xA2\xA5\xE2 \xAC\xA8\xE0";  // "Privet mir"
  struct Case {
    const char* name;
    std::string content;
    EchoListEncoding encoding;
    int codePage;
    std::string tag;
    std::string description;
    EchoListFormat format = EchoListFormat::FastEcho;
  };
  const std::vector<Case> cases = {
      {"UTF-16LE with its mark", Utf16Bytes(u"\xFEFF;x\r\n,ru.привет,Привет мир\r\n", true), Auto, 866,
       "RU.\x8F\x90\x88\x82\x85\x92", hello866},
      {"UTF-16BE with its mark", Utf16Bytes(u"\xFEFF,A,Привет мир\r\n", false), Auto, 866, "A", hello866},
      {"UTF-16LE set", Utf16Bytes(u",A,Привет мир", true), Utf16Le, 866, "A", hello866},
      {"UTF-16 text as NA", Utf16Bytes(u"\xFEFFRU.A   Привет мир\r\n", true), Auto, 866, "ru.a", hello866,
       EchoListFormat::Na},
      {"1251 set", ",ru.\xEF\xF0\xE8\xE2\xE5\xF2,\xCF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0\r\n", Cp1251, 866,
       "RU.\x8F\x90\x88\x82\x85\x92", hello866},
      {"KOI8-R set", ",A,\xF0\xD2\xC9\xD7\xC5\xD4 \xCD\xC9\xD2\r\n", Koi8R, 866, "A", hello866},
      {"1252 set on an 850 node", ",A,Espa\xF1ol\r\n", Cp1252, 850, "A", "Espa\xA4ol"},
      // Descriptions mostly of characters the node's code page lacks are not
      // given: they would be '?'.
      {"866 set on a 437 node", ",A,\x8F\xE0\xA8\r\n", Cp866, 437, "A", ""},
      {"the node's lacking letters", ",A,\x80 \x98 \xB9\r\n", Cp1251, 866, "A", ""},  // euro, none, numero
      {"a lacking letter among others", ",A,\x80 \xF1\xEB\r\n", Cp1251, 866, "A", "? \xE1\xAB"},
      {"1251's no-break space is a blank", ",MU\xA0\r\n,MU,Later\r\n", Cp1251, 866, "MU", ""},
      {"1251's ya is a letter", ",MU\xFF,x\r\n,MU,Later\r\n", Cp1251, 866, "MU", "Later"},
      {"a tag that ends in ya", ",MU\xFF,x\r\n", Cp1251, 866, "MU\x9F", "x"},
      {"KOI8-R's no-break space", "MU\x9A" "\r\nMU Later\r\n", Koi8R, 866, "MU", "Later", EchoListFormat::Na},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileText(scratch_.File("echo.lst"), c.content);
    list_.Bind(ShortString(scratch_.File("echo.lst")), c.format, c.encoding, *CodePage::Find(c.codePage));
    EXPECT_EQ(Lookup(c.tag), Field(c.description));
  }
}

// A hub's answer to %LIST, saved as it came, in the shapes area managers
// write: each reply with the descriptions it gives.
struct ReplyShape {
  const char* name;
  std::string text;
  std::vector<std::pair<std::string, std::string>> lookups;  // tag, description ("": nothing)
};

// Text in code page 866, written here in UTF-8.
std::string In866(std::string_view utf8) {
  std::string text;
  for (const char16_t unit : Utf16Of(utf8)) text += static_cast<char>(CodePage::Cp866().FromUnicode(unit));
  return text;
}

const std::vector<ReplyShape>& ReplyShapes() {
  static const std::vector<ReplyShape> shapes = {
      {"the example of the issue: flags, leaders, an address, a wrapped quote, a table",
       "Available areas for 2:5020/9999\r\n"
       "\r\n"
       "*S   RU.EXAMPLE ............................... \"Example chat\"\r\n"
       "     RU.LONGNAME .......................... \"A description long enough that\r\n"
       "the reply wraps it onto a second line\"\r\n"
       "+EXAMPLE.ECHO                   (2:5020/9999) \"An example conference\"\r\n"
       "  EXAMPLE_TWO                              Second example, unquoted\r\n"
       "Con  Message area              Description\r\n"
       "---- ------------------------- ---------------------------------------------\r\n"
       "     EXA_BBS                   BBS discussion\r\n"
       "'*' = area is active\r\n",
       {{"RU.EXAMPLE", "Example chat"},
        {"ru.longname", "A description long enough that the reply wraps it onto a second line"},
        {"EXAMPLE.ECHO", "An example conference"},
        {"EXAMPLE_TWO", "Second example, unquoted"},
        {"EXA_BBS", "BBS discussion"},
        {"THE", ""},
        {"AVAILABLE", ""}}},
      {"a tosser's: group headings, an active mark, dot leaders, quotes",
       "Available areas for 2:5020/9999.1:\r\n"
       "\r\n"
       "Group R - Russian echoes\r\n"
       " * RU.FIDONET.TODAY ........................ \"Fidonet today\"\r\n"
       "   RU.SYSOP ................................ \"Sysops' chat, \\\"quoted\\\"\"\r\n"
       "   RU.EMPTY ................................ \"\"\r\n"
       " * RU.GOLDED ............................... \"GoldED+ users\"\r\n"
       "\r\n"
       "'*' = area is active for you\r\n"
       "--- hpt/lnx 1.9.0\r\n",
       {{"RU.FIDONET.TODAY", "Fidonet today"},
        {"RU.SYSOP", "Sysops' chat, \\"},
        {"RU.EMPTY", ""},
        {"RU.GOLDED", "GoldED+ users"},
        {"GROUP", ""},
        {"HPT/LNX", ""}}},
      {"an old area manager's: marks against the tags, addresses, totals",
       "Areas available to 2:5020/9999.1\r\n"
       "\r\n"
       "+ALPHA.ECHO          (2:5020/9999) \"Alpha conference\"\r\n"
       " BETA.ECHO           (2:5020/9999) \"Beta conference\"\r\n"
       "&GAMMA               (2:5020/1@fidonet)   \"Gamma, linked from elsewhere\"\r\n"
       "-DELTA               (moderated) Delta news\r\n"
       "+*EPSILON            (2:5020/9999) \"Two marks against the tag\"\r\n"
       " ZETA                (2020) Year of the echo\r\n"
       " ETA.. Two dots are a leader\r\n"
       " THETA . One dot is none\r\n"
       " IOTA ....... \"   Blanks around a wrap   \r\n   go\"\r\n"
       "\r\n"
       "Total: 4 areas\r\n",
       {{"ALPHA.ECHO", "Alpha conference"},
        {"beta.echo", "Beta conference"},
        {"GAMMA", "Gamma, linked from elsewhere"},
        {"DELTA", "(moderated) Delta news"},
        {"EPSILON", "Two marks against the tag"},
        {"ZETA", "(2020) Year of the echo"},
        {"ETA", "Two dots are a leader"},
        {"THETA", ". One dot is none"},
        {"IOTA", "Blanks around a wrap go"},
        {"TOTAL", ""},
        {"TOTAL:", ""}}},
      {"a table with a column of flags and rules",
       "Con  Message area              Description\r\n"
       "---- ------------------------- ------------------------------\r\n"
       " *   FIDO.CHAT                 General chat\r\n"
       "     FIDO.HELP                 Help for new nodes\r\n"
       " R   FIDO.NEWS                 News, read-only\r\n"
       " * W FIDO.POST                 Posting only\r\n"
       "---- ------------------------- ------------------------------\r\n",
       {{"FIDO.CHAT", "General chat"},
        {"FIDO.HELP", "Help for new nodes"},
        {"FIDO.NEWS", "News, read-only"},
        {"FIDO.POST", "Posting only"},
        {"R", ""},
        {"*", ""}}},
      {"several flags, tabs, leaders against the tags, a wrap over three lines",
       " S R\tSU.GENERAL...... \"The general area of the SU zone,   \r\n"
       "                         long enough to wrap\r\n"
       "                         over three lines\" more\r\n"
       " S\tSU.HUMOR\t........\tHumour without quotes\r\n"
       " M\tSU.LOST\t........\t\"never closed\r\n"
       "\r\n"
       " M\tSU.AFTER\t........\t\"After the gap\"\r\n",
       {{"SU.GENERAL", "The general area of the SU zone, long enough to wrap over three lines"},
        {"SU.HUMOR", "Humour without quotes"},
        {"SU.LOST", ""},
        {"SU.AFTER", "After the gap"},
        {"LONG", ""}}},
      // The replies of tests/data, each saved as it came, headings and all.
      {"Crashmail's: a traffic column, a tag too long for its column",
       EmbeddedFileBytes("reply.crashmail.txt"),
       {{"AMIGA.GENERAL", "Amiga general discussion"},
        {"AMIGA.PROG", "Amiga programming in C and assembler"},
        {"AMIGA.A1200", "Owners of the Amiga 1200"},
        {"AMIGA.OS4", ""},
        {"CRASHMAIL.SUPPORT.INTERNATIONAL", "CrashMail support, in English"},
        {"AMIGA.EMULATION", "Emulators: UAE, WinUAE and friends"},
        {"FIDONEWS", "FidoNews weekly"},
        {"HELLO", ""},
        {"LIST", ""},
        {"AREA", ""},
        {"AREAS", ""}}},
      {"Fidogate's: a ':' column, and the zone column of %LISTALL",
       EmbeddedFileBytes("reply.fidogate.txt"),
       {{"FIDOGATE", "Fidogate users and developers"},
        {"FIDONEWS", "FidoNews weekly"},
        {"RU.UNIX.BSD", "FreeBSD, NetBSD, OpenBSD and friends"},
        {"COMP.OS.LINUX.MISC", "Linux: everything else"},
        {"ZZ.TEST.AREA", ""},
        {"RU.FIDOGATE", "Fidogate in Russian"},
        {"Z2.CHAT", "Zone 2 chat"},
        {"NET_DEV", "Network development"},
        {"FSX_GEN", "fsxNet general chat"},
        {"LOCAL.TEST", ""},
        {"Z2", ""},
        {"Z1", ""},
        {"Z21", ""},
        {"ALL", ""}}},
      {"BBBS's: file areas with an address and a size, wrapped quotes",
       EmbeddedFileBytes("reply.bbbs.txt"),
       {{"FIDONEWS", "FidoNews weekly"},
        {"NET_DEV", "Network development"},
        {"BBBS.ENGLISH", "BBBS support, in English"},
        {"LOCAL.NOTES", ""},
        {"BINKD", "Binkd - New IP Mailer"},
        {"NODEDIFF", "Weekly nodelist differences for every zone of FidoNet"},
        {"FTSC", "FidoNet technical standards"},
        {"AMIGA.UTILS", "Amiga utilities from the Aminet mirrors, updated weekly"},
        {"HELLO", ""},
        {"THIS", ""},
        {"TOTAL", ""}}},
      {"a Russian hub's, in code page 866: headings of every kind, a KB/week column",
       EmbeddedFileBytes("reply.headings.866.txt"),
       {{"RU.SYSOP", In866("Сисопы и всё о работе узла")},
        {"RU.FIDONET.TODAY", In866("Фидонет сегодня: новости сети")},
        {"RU.ANEKDOT", In866("Анекдоты, байки и смешные истории")},
        {"RU.GOLDED", In866("GoldED+ и всё, что с ним связано")},
        {"SU.GENERAL", "General chat of the former USSR zone"},
        {"RU.LINUX", In866("Linux по-русски")},
        {"RU.UNIX.BSD", In866("FreeBSD, NetBSD и OpenBSD")},
        {"RU.COMPRESS", In866("Архиваторы и методы сжатия данных")},
        {"RU.FTN.DEVELOP", In866("Разработка программ для FTN")},
        {"HELLO", ""},
        {"LIST", ""},
        {"TAGNAME", ""},
        {"AVAILABLE", ""},
        {"CON", ""},
        {"TOTAL", ""}}},
  };
  return shapes;
}

TEST_F(EchoListTest, AreafixRepliesOfEveryShape) {
  for (const ReplyShape& shape : ReplyShapes()) {
    SCOPED_TRACE(shape.name);
    WriteList(shape.text, EchoListFormat::Areafix);
    for (const auto& [tag, description] : shape.lookups) {
      SCOPED_TRACE(tag);
      EXPECT_EQ(Lookup(tag), Field(description));
    }
    // The same lookups again, the other way round: nothing is left over.
    for (auto it = shape.lookups.rbegin(); it != shape.lookups.rend(); ++it) {
      SCOPED_TRACE(it->first + ", again");
      EXPECT_EQ(Lookup(it->first), Field(it->second));
    }
    EXPECT_FALSE(list_.TakeNotices().holdsNoEntry);
  }
}

// The rules of the newer reply shapes at their edges: what makes a traffic
// column, a zone column, a ':' column, an address with a size and a
// heading, and when the line below a tag holds its description.
TEST_F(EchoListTest, ReplyShapesAtTheirEdges) {
  // FIDONEWS's description begins at column 16, where the line below a
  // tag too long for its column must begin.
  const std::string above = "  FIDONEWS      FidoNews weekly\r\n  A.TAG.TOO.LONG.FOR.IT\r\n";
  const std::string below = std::string(16, ' ');
  const std::vector<ListCase> cases = {
      {"a figure after one blank is text", "  FIDONEWS    The weekly 5\r\n", "FIDONEWS", "The weekly 5"},
      {"after a tab it is a column", "  FIDONEWS    The weekly\t5\r\n", "FIDONEWS", "The weekly"},
      {"after two no-break spaces", "FIDONEWS  The weekly\xFF\xFF" "5\r\n", "FIDONEWS", "The weekly"},
      {"two columns", "  FIDONEWS    The weekly    12    340\r\n", "FIDONEWS", "The weekly"},
      {"a figure is digits or '?'", "  FIDONEWS    The weekly    12k\r\n", "FIDONEWS", "The weekly    12k"},
      {"a column alone decides nothing", "  FIDONEWS              ?\r\n  FIDONEWS   Later\r\n", "FIDONEWS", "Later"},
      {"a quoted description keeps its figures", "* FIDONEWS .... \"Issue  12\"   34\r\n", "FIDONEWS", "Issue  12"},
      {"a zone column before a ':' column", "  Z2   FIDONEWS ...... : The weekly\r\n", "FIDONEWS", "The weekly"},
      {"the zone is no tag", "  Z2   FIDONEWS ...... : The weekly\r\n", "Z2", ""},
      // Before a tag that ends its line Z2 is a zone; before more words, a tag.
      {"a zone column, or a tag", "* Z2 FIDONEWS\r\nZ2 Zone two\r\n", "Z2", "Zone two"},
      {"a colon without a blank is text", "  FIDONEWS   :The weekly\r\n", "FIDONEWS", ":The weekly"},
      {"an address and a size", "  BINKD  (1:153/757,0kB)  \"Binkd\"\r\n", "BINKD", "Binkd"},
      {"a size begins with a digit", "  BINKD  (1:153/757, kB) Binkd\r\n", "BINKD", "(1:153/757, kB) Binkd"},
      {"no address before the comma", "  BINKD  (Vancouver, 1999) Binkd\r\n", "BINKD", "(Vancouver, 1999) Binkd"},
      {"a heading", "Available areas for 2:5020/9999\r\n", "AVAILABLE", ""},
      {"an ordinary word before a leader is a tag", "Linux ........ \"Linux chat\"\r\n", "LINUX", "Linux chat"},
      {"an ordinary word after a flag is a tag", "*  Linux   Linux chat\r\n", "LINUX", "Linux chat"},
      {"a tag in capitals", "LINUX   Linux chat\r\n", "LINUX", "Linux chat"},
      {"a small letter in the first word makes a heading", "FidoNews   FidoNews weekly\r\n", "FIDONEWS", ""},
      {"the description on the line below", above + below + "Its description   3\r\n", "A.TAG.TOO.LONG.FOR.IT",
       "Its description"},
      {"a quoted one below, wrapped", above + below + "\"Its description,\r\n   wrapped\"\r\n",
       "A.TAG.TOO.LONG.FOR.IT", "Its description, wrapped"},
      {"a column to the left", above + std::string(15, ' ') + "Its description\r\n", "A.TAG.TOO.LONG.FOR.IT", ""},
      {"a column to the right", above + std::string(17, ' ') + "Its description\r\n", "A.TAG.TOO.LONG.FOR.IT", ""},
      {"an empty line between", above + "\r\n" + below + "Its description\r\n", "A.TAG.TOO.LONG.FOR.IT", ""},
      {"no description above yet", "  A.TAG.TOO.LONG.FOR.IT\r\n" + below + "Its description\r\n",
       "A.TAG.TOO.LONG.FOR.IT", ""},
      {"a figure alone below", above + below + "?\r\n  A.TAG.TOO.LONG.FOR.IT  Later\r\n", "A.TAG.TOO.LONG.FOR.IT",
       "Later"},
      // A line below too long to be read whole decides nothing, and the
      // line after it is no longer the one below.
      {"a line too long below", above + below + std::string(TextFile::kWholeLineLimit, 'x') + "\r\n" + below +
                                    "Its description\r\n",
       "A.TAG.TOO.LONG.FOR.IT", ""},
      {"the line below is no entry of its own", above + below + "NET_DEV  Network development\r\nNET_DEV  Later\r\n",
       "NET_DEV", "Later"},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteList(c.content, EchoListFormat::Areafix);
    EXPECT_EQ(Lookup(c.tag), Field(c.description));
  }
}

// Read as NA, a reply gives no description at all, never one of dots or
// quotes: most of its entries show its marks. A reply whose lines are
// mostly plain reads as NA does.
TEST_F(EchoListTest, AReplyReadAsNaGivesNothing) {
  for (const ReplyShape& shape : ReplyShapes()) {
    SCOPED_TRACE(shape.name);
    WriteList(shape.text, EchoListFormat::Na);
    const bool reply = std::string(shape.name).find("table") == std::string::npos;
    for (const auto& [tag, description] : shape.lookups) {
      SCOPED_TRACE(tag);
      if (reply) {
        EXPECT_EQ(Lookup(tag), kNothing);
      }
    }
    EXPECT_EQ(list_.TakeNotices().isAReply, reply);
  }
  WriteList("FIDO.HELP   Help for \"new\" nodes\r\nFIDO.CHAT   ...  chat\r\n", EchoListFormat::Na);
  EXPECT_EQ(Lookup("FIDO.HELP"), Field("Help for \"new\" nodes"));
  EXPECT_FALSE(list_.TakeNotices().isAReply);
}

// Lines are read whole in the NA, FIDOCONFIG and AREAFIX formats (a hub's
// EchoArea line lists hundreds of links): a description is found wherever
// it stands, and never taken from a line cut short.
// Lines read whole are converted whole: a UTF-8 Husky line whose -d stands
// past its 255th character gives its description, and a line of 96 KB in
// 1251 is translated whole (under the sanitizers too).
TEST_F(EchoListTest, LinesReadWholeAreConvertedWhole) {
  const std::string links = [] {
    std::string text;
    for (int i = 0; text.size() < 300; ++i) text += " 2:5020/" + std::to_string(1000 + i);
    return text;
  }();
  WriteList("EchoArea RU.HUB /fido/hub -b Squish" + links + " -d \"\xD0\xAD\xD1\x85\xD0\xBE\"\r\n",
            EchoListFormat::FidoConfig, EchoListEncoding::Utf8);
  EXPECT_EQ(Lookup("RU.HUB"), Field("\x9D\xE5\xAE"));
  std::string huge;
  while (huge.size() < 96 * 1024) huge += " 2:5020/9999";
  WriteList("EchoArea RU.HUB /fido/hub" + huge + " -d \"\xDD\xF5\xEE\"\r\n", EchoListFormat::FidoConfig,
            EchoListEncoding::Cp1251);
  EXPECT_EQ(Lookup("RU.HUB"), Field("\x9D\xE5\xAE"));
}

// A reply cut off inside a quote (a message split in two) ends there: the
// text of one list never runs on into another list, nor into a later
// reading of the same list.
TEST_F(EchoListTest, AReplyCutInsideAQuoteEndsWithItsList) {
  const std::string first = scratch_.File("first.lst"), second = scratch_.File("second.lst");
  WriteFileText(first, "* RU.ONE ..... \"One\"\r\n* RU.TWO ..... \"Cut off in the middle of");
  WriteFileText(second, "RU.THREE\" Three\r\n* RU.FOUR ..... \"Four\"\r\n");
  EchoListFile one, two;
  one.Bind(ShortString(first), EchoListFormat::Areafix);
  two.Bind(ShortString(second), EchoListFormat::Areafix);
  fastecho::Description field;
  for (EchoListFile* list : {&one, &two}) {
    list->Expect("RU.TWO");
    list->Expect("RU.THREE");
    list->Expect("RU.FOUR");
  }
  const auto lookup = [&](EchoListFile& list, const char* tag) {
    list.LookupDescription(ShortString(tag), field);
    return std::string(reinterpret_cast<const char*>(field), sizeof field);
  };
  EXPECT_EQ(lookup(one, "RU.TWO"), kNothing);
  EXPECT_EQ(lookup(two, "RU.THREE"), kNothing) << "a line of its own, no wrap's end";
  EXPECT_EQ(lookup(two, "RU.FOUR"), Field("Four"));
  EXPECT_EQ(lookup(one, "RU.ONE"), Field("One")) << "not expected: a reading of its own";
  EXPECT_EQ(lookup(one, "RU.TWO"), kNothing);
}

TEST_F(EchoListTest, HuskyNaAndReplyLinesAreReadWhole) {
  std::string links;
  for (int i = 0; links.size() < 600; ++i) links += " 2:5020/" + std::to_string(1000 + i);
  const std::string huge(TextFile::kWholeLineLimit, 'x');
  struct Case {
    const char* name;
    std::string content;
    EchoListFormat format;
    std::string tag;
    std::string description;
  };
  const std::vector<Case> cases = {
      {"-d beyond column 255", "EchoArea RU.HUB /fido/hub -b Squish" + links + " -d \"Hub echo\"\r\n",
       EchoListFormat::FidoConfig, "RU.HUB", "Hub echo"},
      {"-d across column 255", "EchoArea A /p" + std::string(230, ' ') + "-d \"A description read whole\"\r\n",
       EchoListFormat::FidoConfig, "A", "A description read whole"},
      {"an NA description past column 255", "A" + std::string(250, ' ') + "A description read whole\r\n",
       EchoListFormat::Na, "A", "A description read whole"},
      {"a reply's description past column 255", "*  A" + std::string(250, '.') + " \"A description read whole\"\r\n",
       EchoListFormat::Areafix, "A", "A description read whole"},
      {"a line longer than what is read decides nothing",
       "EchoArea A /p -d First " + huge + "\r\nEchoArea A /p -d Second\r\n", EchoListFormat::FidoConfig, "A", "Second"},
      {"an NA line longer than what is read", "A First " + huge + "\r\nA Second\r\n", EchoListFormat::Na, "A",
       "Second"},
      {"a reply's line longer than what is read", "* A \"First\" " + huge + "\r\n* A \"Second\"\r\n",
       EchoListFormat::Areafix, "A", "Second"},
      // The comma format keeps its 255 characters.
      {"FASTECHO keeps 255 characters", ",A," + std::string(250, 'x') + "\r\n", EchoListFormat::FastEcho, "A",
       std::string(52, 'x')},
      {"FASTECHO cuts the line", ",A" + std::string(260, ' ') + ",Past the cut\r\n", EchoListFormat::FastEcho, "A",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteList(c.content, c.format);
    EXPECT_EQ(Lookup(c.tag), Field(c.description));
    EXPECT_EQ(Lookup(c.tag), Field(c.description)) << "the second lookup";
  }
}

// What the sysop learns of a list, once: how it is read and why, that it
// looks like UTF-16 without a mark, that it is a hub's reply read as NA,
// and that it holds no entry of its format, with the format that fits.
TEST_F(EchoListTest, NoticesAreGivenOnceAtTheFirstLookup) {
  using enum EchoListFormat;
  using enum EchoListEncoding;
  // A few Russian words, o, e, a, i, n, t and more: "Obsuzhdenie novostej
  // seti" in 1251 and in KOI8-R, 22 letters.
  const std::string words1251 = "\xCE\xE1\xF1\xF3\xE6\xE4\xE5\xED\xE8\xE5 \xED\xEE\xE2\xEE\xF1\xF2\xE5\xE9 \xF1\xE5\xF2\xE8";
  const std::string wordsKoi8 = "\xEF\xC2\xD3\xD5\xD6\xC4\xC5\xCE\xC9\xC5 \xCE\xCF\xD7\xCF\xD3\xD4\xC5\xCA \xD3\xC5\xD4\xC9";
  const std::string reply =
      "Available areas:\r\n*S  RU.ONE ....... \"One\"\r\n    RU.TWO ....... \"Two\"\r\n'*' = active\r\n";
  struct Case {
    const char* name;
    std::string content;
    EchoListFormat format = FastEcho;
    EchoListEncoding encoding = Auto;
    int codePage = 866;
    std::string readAs = "";  // empty: read as it is
    std::string why = "";
    bool looksLikeUtf16 = false, isAReply = false, noEntry = false;
    std::optional<EchoListFormat> fits = std::nullopt;
    std::string archive = "";
    bool noText = false, garbled = false;
  };
  const std::vector<Case> cases = {
      {.name = "code page 866 list", .content = ",A,\xA0\xA1\r\n"},
      {.name = "UTF-8 list", .content = ",A,\xD0\x96\r\n", .readAs = "UTF-8", .why = "it is UTF-8 text"},
      {.name = "byte-order mark", .content = "\xEF\xBB\xBF,A,a\r\n", .readAs = "UTF-8",
       .why = "it begins with a byte-order mark"},
      {.name = "byte-order mark, but CODEPAGE set", .content = "\xEF\xBB\xBF,A,a\r\n", .encoding = CodePage},
      {.name = "UTF-8 set", .content = ",A,a\r\n", .encoding = Utf8, .readAs = "UTF-8", .why = "ECHOLISTENCODING UTF-8"},
      {.name = "UTF-16LE mark", .content = std::string("\xFF\xFE,\0A\0", 6), .readAs = "UTF-16LE",
       .why = "it begins with a byte-order mark"},
      {.name = "UTF-16BE mark", .content = std::string("\xFE\xFF\0,\0A", 6), .readAs = "UTF-16BE",
       .why = "it begins with a byte-order mark"},
      {.name = "UTF-16LE set", .content = std::string(",\0A\0", 4), .encoding = Utf16Le, .readAs = "UTF-16LE",
       .why = "ECHOLISTENCODING UTF-16LE"},
      {.name = "UTF-16BE set", .content = std::string("\0,\0A", 4), .encoding = Utf16Be, .readAs = "UTF-16BE",
       .why = "ECHOLISTENCODING UTF-16BE"},
      {.name = "UTF-16 without a mark", .content = std::string(",\0A\0,\0a\0\r\0\n\0,\0B\0\r\0\n\0", 18),
       .looksLikeUtf16 = true},
      {.name = "a NUL or two at the end are no UTF-16", .content = std::string(",A,a\r\n,B,b\r\n\0\0", 14)},
      {.name = "1251 set", .content = ",A,a\r\n", .encoding = Cp1251, .readAs = "code page 1251",
       .why = "ECHOLISTENCODING 1251"},
      {.name = "KOI8-R set", .content = ",A,a\r\n", .encoding = Koi8R, .readAs = "KOI8-R", .why = "ECHOLISTENCODING KOI8-R"},
      {.name = "the node's own code page set", .content = ",A,a\r\n", .encoding = Cp866},
      {.name = "866 set on a Western node", .content = ",A,a\r\n", .encoding = Cp866, .codePage = 437,
       .readAs = "code page 866", .why = "ECHOLISTENCODING 866"},
      {.name = "a 1251 list", .content = ",A," + words1251 + "\r\n", .readAs = "code page 1251",
       .why = "its letters are those of 1251, not 866"},
      {.name = "a KOI8-R list", .content = ",A," + wordsKoi8 + "\r\n", .readAs = "KOI8-R",
       .why = "its letters are those of KOI8-R, not 866"},
      {.name = "a 1251 list, CODEPAGE set", .content = ",A," + words1251 + "\r\n", .encoding = CodePage, .garbled = true},
      {.name = "a 1252 list",
       .content = ",A,Espa\xF1ol, fran\xE7" "ais, \xE9t\xE9, na\xEFve, \xFC" "ber, c\xE1lido, gar\xE7on\r\n",
       .codePage = 850, .readAs = "code page 1252", .why = "its letters are those of 1252, not 850"},
      {.name = "NA list as FASTECHO", .content = "A  Alpha\r\n", .noEntry = true, .fits = Na},
      {.name = "comma list as FIDOCONFIG", .content = ",A,a\r\n", .format = FidoConfig, .noEntry = true, .fits = FastEcho},
      {.name = "comments only", .content = "; A a\r\n", .format = Na, .noEntry = true},
      {.name = "an entry, then a comment last", .content = ",A,a\r\n; the end\r\n"},
      // EchoAreaDefaults is another keyword: such a list is no Husky area file.
      {.name = "NA list with EchoAreaDefaults as FASTECHO", .content = "EchoAreaDefaults -b Squish\r\nA  Alpha\r\n",
       .noEntry = true, .fits = Na},
      {.name = "a reply as FASTECHO", .content = reply, .noEntry = true, .fits = Areafix},
      {.name = "a reply as FIDOCONFIG", .content = reply, .format = FidoConfig, .noEntry = true, .fits = Areafix},
      {.name = "a reply as NA", .content = reply, .format = Na, .isAReply = true},
      // The lines a wrapped description goes on over are no entries.
      {.name = "a reply with wrapped descriptions as NA",
       .content = "*  RU.ONE ..... \"One\r\n  two\r\n  three\r\n  four\r\n  five\r\n  six\"\r\n"
                  "*  RU.TWO ..... \"Two\r\n  lines\"\r\n",
       .format = Na,
       .isAReply = true},
      // Traffic, ':' and zone columns are a reply's marks; a description
      // below its tag is no entry of its own, and its marks are the tag's.
      {.name = "traffic columns", .content = "  FIDO.HELP     Help for new nodes     3\r\n  FIDONEWS   FidoNews    5\r\n",
       .format = Na, .isAReply = true},
      {.name = "':' columns", .content = "FIDONEWS     : FidoNews weekly\r\nNET_DEV      : Network development\r\n",
       .format = Na, .isAReply = true},
      {.name = "zone columns", .content = "  Z2   FIDONEWS\r\n  Z1   FIDO.HELP\r\nNET_DEV  Network development\r\n",
       .format = Na, .isAReply = true},
      {.name = "a description below its tag",
       .content = "  FIDONEWS       FidoNews weekly\r\n  VERY.LONG.TAG.NAME\r\n                 GoldED+ users   3\r\n"
                  "  NET_DEV        Network development  7\r\n",
       .format = Na,
       .isAReply = true},
      {.name = "a reply as AREAFIX", .content = reply, .format = Areafix},
      {.name = "a plain NA list as AREAFIX", .content = "A  Alpha\r\n", .format = Areafix},
      {.name = "a reply's footer as AREAFIX", .content = "Total: 0 areas\r\n---\r\n", .format = Areafix,
       .noEntry = true, .fits = Na},
      {.name = "a reply's headings as AREAFIX", .content = "Available areas for 2:5020/9999\r\nCon  Message area\r\n",
       .format = Areafix, .noEntry = true, .fits = Na},
      // Lines of one encoding pasted into a list of another.
      {.name = "UTF-8 with a line in 866",
       .content = ",A,\xD0\xAD\xD1\x85\xD0\xBE\r\n,B,\xD0\x96\r\n,C,\x9D\xE5\xAE\r\n",
       .readAs = "UTF-8, 1 line in code page 866", .why = "it is UTF-8 text with 1 line that is not"},
      {.name = "866 with two lines of UTF-8",
       .content = ",A,\xD0\xAD\xD1\x85\xD0\xBE\r\n,B,\xD0\x96\r\n,C,\x9D\xE5\xAE\r\n,D,\x9D\r\n,E,\x96\r\n",
       .readAs = "code page 866, 2 lines as UTF-8", .why = "it is code page 866 text with 2 lines of UTF-8"},
      {.name = "an 866 list joined with a UTF-8 one", .content = ",C,\x9D\xE5\xAE\r\n\xEF\xBB\xBF,A,\xD0\xAD\r\n",
       .readAs = "UTF-8, 1 line in code page 866", .why = "it is UTF-8 text with 1 line that is not"},
      // Files that are no text list give nothing, and say what they are.
      {.name = "a zip archive", .content = std::string("PK\x03\x04\x14\0\0\0", 8) + ",A,a\r\n", .archive = "a zip archive"},
      {.name = "a gzip archive", .content = "\x1F\x8B\x08,A,a\r\n", .archive = "a gzip archive"},
      {.name = "a RAR archive", .content = "Rar!\x1A\x07\x01", .archive = "a RAR archive"},
      {.name = "an LHA archive", .content = "\x22\x0F-lh5-,A,a\r\n", .archive = "an LHA archive"},
      {.name = "NUL bytes inside", .content = std::string(",A,a\r\n\0\0\0,B,b\r\n", 15), .noText = true},
      {.name = "NUL bytes at the end are padding", .content = std::string(",A,a\r\n\0\0", 8)},
      // A 1251 list read as the node's code page shows box drawing.
      {.name = "1251 read as 866", .content = "RU.SYSOP  \xD1\xE8\xF1\xEE\xEF\xFB\r\n", .format = Na,
       .encoding = CodePage, .garbled = true},
      {.name = "1251 placed by its words", .content = "RU.SYSOP  \xD1\xE8\xF1\xEE\xEF\xFB\r\n", .format = Na,
       .readAs = "code page 1251", .why = "its letters are those of 1251, not 866"},
      {.name = "a frame read as 866 is no garbage", .content = ";\xC9\xCD\xCD\xCD\xBB\r\n,A,\xBA \x8A\xAD\xA8\xA3\xA8 \xBA\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = scratch_.File("echo.lst");
    WriteFileText(path, c.content);
    list_.Bind(ShortString(path), c.format, c.encoding, *CodePage::Find(c.codePage));
    Lookup("Z");
    const EchoListNotices first = list_.TakeNotices();
    EXPECT_EQ(first.readAs, c.readAs);
    if (!c.readAs.empty()) {
      EXPECT_EQ(first.why, c.why);
    }
    EXPECT_EQ(first.looksLikeUtf16, c.looksLikeUtf16);
    EXPECT_EQ(first.isAReply, c.isAReply);
    EXPECT_EQ(first.holdsNoEntry, c.noEntry);
    EXPECT_EQ(first.fits, c.fits);
    EXPECT_EQ(std::string(first.archive ? first.archive : ""), c.archive);
    EXPECT_EQ(first.noText, c.noText);
    EXPECT_EQ(first.garbled, c.garbled);
    Lookup("Z");
    const EchoListNotices second = list_.TakeNotices();
    EXPECT_FALSE(!second.readAs.empty() || second.looksLikeUtf16 || second.isAReply || second.holdsNoEntry)
        << "told once";
  }
}

}  // namespace

