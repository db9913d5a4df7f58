// The echo list lookup: line syntax, matching, the 52-byte result and the
// files that cannot be read.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "driver/echo_list.h"
#include "platform/fault_injection.h"
#include "support/fastecho_builder.h"
#include "support/scratch_dir.h"
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
    Description description;
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
  EchoListFile::Lookup result = Read;
  {
    SCOPED_TRACE("missing file");
    const std::string missing = scratch_.File("missing.lst");
    list_.Bind(ShortString(missing));
    EXPECT_EQ(Lookup("ALPHA", &result), kNothing);
    EXPECT_EQ(result, CannotOpen);
    platform::FileHandle handle = platform::kInvalidHandle;
    EXPECT_EQ(list_.LastError(), platform::OpenFile(missing.c_str(), platform::Access::Read,
                                                    platform::Sharing::ReadWrite, platform::Creation::OpenExisting,
                                                    platform::Target::DiskFile, &handle))
        << "the operating system's code, for the message";
  }
  {
    SCOPED_TRACE("a directory");
    list_.Bind(ShortString(scratch_.Path().string()));
    EXPECT_EQ(Lookup("ALPHA", &result), kNothing);
    EXPECT_EQ(result, CannotOpen);
  }
  {
    SCOPED_TRACE("empty path");
    list_.Bind(ShortString(""));
    EXPECT_EQ(Lookup("ALPHA", &result), kNothing);
    EXPECT_EQ(result, Read);
    EXPECT_EQ(Lookup(""), kNothing);
  }
  {
    SCOPED_TRACE("empty file");
    WriteList("");
    EXPECT_EQ(Lookup("ALPHA", &result), kNothing);
    EXPECT_EQ(result, Read);
  }
  {
    SCOPED_TRACE("read failure");
    WriteList(",ALPHA,Alpha\r\n");
    faults::Arm(faults::Op::Read, 1);
    EXPECT_EQ(Lookup("ALPHA", &result), kNothing);
    EXPECT_EQ(result, ReadFailed);
    EXPECT_NE(list_.LastError(), 0u);
    faults::Disarm();
    EXPECT_EQ(Lookup("ALPHA", &result), Field("Alpha"));  // the next lookup reads again
    EXPECT_EQ(result, Read);
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

TEST_F(EchoListTest, EveryLookupStartsAtTheFirstLine) {
  WriteList(",A,Alpha\r\n,B,Beta\r\n,C,Gamma\r\n");
  struct Step {
    std::string tag, description;
  };
  const std::vector<Step> steps = {
      {"C", "Gamma"}, {"A", "Alpha"}, {"C", "Gamma"}, {"Z", ""},
      {"B", "Beta"},  {"A", "Alpha"}, {"Z", ""},      {"A", "Alpha"},
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE("lookup " + std::to_string(i + 1) + ": " + steps[i].tag);
    EXPECT_EQ(Lookup(steps[i].tag), Field(steps[i].description));
  }

  // The open file is read anew each time, so a changed list is seen at once.
  WriteFileText(scratch_.File("echo.lst"), ",A,New alpha\r\n");
  EXPECT_EQ(Lookup("A"), Field("New alpha"));
  EXPECT_EQ(Lookup("C"), kNothing);
}

TEST_F(EchoListTest, TheListStaysOpenFromTheFirstLookupUntilClose) {
  WriteList(",A,Alpha\r\n,B,Beta\r\n");
  faults::ResetCounts();
  for (const char* tag : {"B", "Z", "A", "B"}) Lookup(tag);
  EXPECT_EQ(faults::Calls(faults::Op::Open), 1u);
  EXPECT_EQ(faults::Calls(faults::Op::Close), 0u);
  // Back to the start once after the first read that told the list is not
  // UTF-8, and for every later lookup.
  EXPECT_EQ(faults::Calls(faults::Op::Seek), 4u);
  list_.Close();
  EXPECT_EQ(faults::Calls(faults::Op::Close), 1u);
  list_.Close();  // closed already: nothing happens
  EXPECT_EQ(faults::Calls(faults::Op::Close), 1u);
  EXPECT_EQ(Lookup("B"), Field("Beta"));  // a lookup after Close opens it again
  EXPECT_EQ(faults::Calls(faults::Op::Open), 2u);
}

TEST_F(EchoListTest, AfterAFailureTheNextLookupOpensTheListAgain) {
  {
    SCOPED_TRACE("missing at the first lookup, there at the second");
    const std::string path = scratch_.File("late.lst");
    list_.Bind(ShortString(path));
    EXPECT_EQ(Lookup("A"), kNothing);
    WriteFileText(path, ",A,Alpha\r\n");
    EXPECT_EQ(Lookup("A"), Field("Alpha"));
  }
  struct Case {
    faults::Op op;
    const char* name;
  };
  for (const Case& c : {Case{faults::Op::Seek, "seek"}, Case{faults::Op::Read, "read"}}) {
    SCOPED_TRACE("failing " + std::string(c.name) + " in the second lookup");
    WriteList(",A,Alpha\r\n");
    EXPECT_EQ(Lookup("A"), Field("Alpha"));
    faults::Arm(c.op, 1);
    EXPECT_EQ(Lookup("A"), kNothing);
    faults::Disarm();
    faults::ResetCounts();
    EXPECT_EQ(Lookup("A"), Field("Alpha"));
    EXPECT_EQ(faults::Calls(faults::Op::Open), 1u);
  }
}

TEST_F(EchoListTest, AFailingCloseOfTheListLosesNothing) {
  WriteList(",A,Alpha\r\n");
  Lookup("A");
  faults::Arm(faults::Op::Close, 1);
  list_.Close();
  faults::Disarm();
  EchoListFile::Lookup result = EchoListFile::Lookup::ReadFailed;
  EXPECT_EQ(Lookup("A", &result), Field("Alpha"));
  EXPECT_EQ(result, EchoListFile::Lookup::Read);
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
      {"no closing quote", "EchoArea A /p -d \"runs to the end\n", "A", "runs to the end"},
      {"no -d: a later line decides", "EchoArea A /p\nEchoArea A /q -d Later\n", "A", "Later"},
      {"empty -d: a later line decides", "EchoArea A /p -d \"\"\nEchoArea A /q -d Later\n", "A", "Later"},
      {"comment", "# EchoArea A /p -d Hidden\nEchoArea A /p -d Shown\n", "A", "Shown"},
      {"other keywords", "LocalArea A /p -d Local\nEchoAreaDefault -d X\n", "A", ""},
      {"the path is no option", "EchoArea A -d -d Desc\n", "A", "Desc"},
      {"another tag", "EchoArea AB /p -d Other\n", "A", ""},
      {"cut to 52", "EchoArea A /p -d \"" + std::string(60, 'x') + "\"\n", "A", std::string(52, 'x')},
      {"a quoted tag ends at its quote", "EchoArea \"A\"x p -d desc\r\n", "\"A\"", "desc"},
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
  faults::Arm(faults::Op::Read, 2);  // the scan after the encoding was decided
  EchoListFile::Lookup result = EchoListFile::Lookup::Read;
  EXPECT_EQ(Lookup("Z", &result), kNothing);
  faults::Disarm();
  EXPECT_EQ(result, EchoListFile::Lookup::ReadFailed);
  EXPECT_FALSE(list_.TakeNotices().holdsNoEntry);
}

// A Husky area file may write its option in capitals.
TEST_F(EchoListTest, FidoConfigTakesTheOptionInCapitals) {
  WriteList("EchoArea A /p -D \"Upper case\"\n", EchoListFormat::FidoConfig);
  EXPECT_EQ(Lookup("A"), Field("Upper case"));
}

// What the sysop learns of a list, once: that it is read as UTF-8 and why,
// and that it holds no entry of its format, with the format that fits.
TEST_F(EchoListTest, NoticesAreGivenOnceByTheLookupThatFindsThemOut) {
  struct Case {
    const char* name;
    std::string content;
    EchoListFormat format;
    EchoListEncoding encoding;
    const char* utf8Because;  // null: read in the code page
    bool noEntry;
    std::optional<EchoListFormat> fits;
  };
  const std::vector<Case> cases = {
      {"code page 866 list", ",A,\xA0\xA1\r\n", EchoListFormat::FastEcho, EchoListEncoding::Auto, nullptr, false, {}},
      {"UTF-8 list", ",A,\xD0\x96\r\n", EchoListFormat::FastEcho, EchoListEncoding::Auto, "it is UTF-8 text", false, {}},
      {"byte-order mark", "\xEF\xBB\xBF,A,a\r\n", EchoListFormat::FastEcho, EchoListEncoding::Auto,
       "it begins with a byte-order mark", false, {}},
      {"byte-order mark, but CODEPAGE set", "\xEF\xBB\xBF,A,a\r\n", EchoListFormat::FastEcho,
       EchoListEncoding::CodePage, nullptr, false, {}},
      {"UTF-8 set", ",A,a\r\n", EchoListFormat::FastEcho, EchoListEncoding::Utf8, "ECHOLISTENCODING UTF-8", false, {}},
      {"NA list as FASTECHO", "A  Alpha\r\n", EchoListFormat::FastEcho, EchoListEncoding::Auto, nullptr, true,
       EchoListFormat::Na},
      {"comma list as FIDOCONFIG", ",A,a\r\n", EchoListFormat::FidoConfig, EchoListEncoding::Auto, nullptr, true,
       EchoListFormat::FastEcho},
      {"comments only", "; A a\r\n", EchoListFormat::Na, EchoListEncoding::Auto, nullptr, true, {}},
      {"an entry, then a comment last", ",A,a\r\n; the end\r\n", EchoListFormat::FastEcho, EchoListEncoding::Auto,
       nullptr, false, {}},
      // EchoAreaDefaults is another keyword: such a list is no Husky area file.
      {"NA list with EchoAreaDefaults as FASTECHO", "EchoAreaDefaults -b Squish\r\nA  Alpha\r\n",
       EchoListFormat::FastEcho, EchoListEncoding::Auto, nullptr, true, EchoListFormat::Na},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = scratch_.File("echo.lst");
    WriteFileText(path, c.content);
    list_.Bind(ShortString(path), c.format, c.encoding);
    Lookup("Z");
    const EchoListNotices first = list_.TakeNotices();
    EXPECT_EQ(first.readAsUtf8, c.utf8Because != nullptr);
    if (c.utf8Because) {
      EXPECT_STREQ(first.why, c.utf8Because);
    }
    EXPECT_EQ(first.holdsNoEntry, c.noEntry);
    EXPECT_EQ(first.fits, c.fits);
    Lookup("Z");
    const EchoListNotices second = list_.TakeNotices();
    EXPECT_FALSE(second.readAsUtf8 || second.holdsNoEntry) << "told once";
  }
}

}  // namespace

