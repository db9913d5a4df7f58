#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "settings/config_reader.h"
#include "support/fastecho_builder.h"
#include "support/process_trap.h"
#include "support/scratch_dir.h"
#include "support/text_bytes.h"
#include "util/char_set.h"
#include "util/files.h"

namespace {

// A concrete reader that knows KEY, PATH and NAME and records what the
// generic reader hands it: "KEY=value" for a known keyword, "?KEY=value" for
// one it rejects.
class RecordingReader : public ConfigReader {
 public:
  RecordingReader(const ShortString& fileName, const CharSet& commentChars, bool slashComments,
                  std::vector<std::string>* calls, int* isKeywordCalls)
      : ConfigReader(fileName, commentChars, slashComments),
        calls_(calls),
        isKeywordCalls_(isKeywordCalls) {}

 protected:
  bool IsKeyword(const ShortString& keyword) override {
    ++*isKeywordCalls_;
    // Exactly one IsKeyword per significant line, before its handler.
    EXPECT_EQ(static_cast<std::size_t>(*isKeywordCalls_), calls_->size() + 1);
    return keyword == "KEY" || keyword == "PATH" || keyword == "NAME";
  }
  void HandleKeyword(const ShortString& keyword, const ShortString& value) override {
    calls_->push_back(keyword.str() + "=" + value.str());
  }
  void UnknownKeyword(const ShortString& keyword, const ShortString& value) override {
    calls_->push_back(std::string("?").append(keyword.view()).append("=").append(value.view()));
    Warning(ShortString("Unknown \"") + keyword + "\"");
  }

 private:
  std::vector<std::string>* calls_;
  int* isKeywordCalls_;
};

struct ReadResult {
  std::vector<std::string> calls;
  int isKeywordCalls = 0;
  int exitCode = -1;
  std::int32_t errorCount = -1;
  std::int32_t lineNumber = -1;
  std::string fileName;
  std::string console;
};

class ConfigReaderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::faults::Disarm();
  }

  ReadResult ReadText(const std::string& text, const CharSet& commentChars = kSemicolonSet,
                      bool slashComments = true) {
    WriteFileBytes(path, Bytes(text.begin(), text.end()));
    return ReadFile(path, commentChars, slashComments);
  }

  ReadResult ReadFile(const std::string& name, const CharSet& commentChars = kSemicolonSet,
                      bool slashComments = true) {
    ReadResult result;
    ProcessTrap trap;
    result.exitCode = trap.Run([&] {
      auto reader = ConfigReader::Create<RecordingReader>(ShortString(name), commentChars,
                                                          slashComments, &result.calls,
                                                          &result.isKeywordCalls);
      result.errorCount = reader->ErrorCount();
      result.lineNumber = reader->LineNumber();
      result.fileName = reader->FileName().str();
    });
    result.console = trap.Console();
    EXPECT_EQ(static_cast<std::size_t>(result.isKeywordCalls), result.calls.size());
    return result;
  }

  ScratchDir dir;
  std::string path = dir.File("Reader Test.cfg");
  std::string shownPath = UpCasePath(ShortString(path)).str();
};

struct LineCase {
  const char* label;
  std::string text;
  std::vector<std::string> calls;
};

}  // namespace

TEST_F(ConfigReaderTest, SplitsLinesIntoKeywordAndValue) {
  const std::vector<LineCase> cases = {
      {"semicolon line", "; where FastEcho keeps its areas\r\n", {}},
      {"blanks then semicolon", "   ; a note\r\n", {}},
      {"two slashes", "// a note\r\n", {}},
      {"blanks then two slashes", " \t// a note\r\n", {}},
      {"two slashes alone", "//\r\n", {}},
      {"blank lines", "\r\n   \r\n\t\r\n", {}},
      {"empty file", "", {}},
      {"lone slash is a keyword", "/\r\n", {"?/="}},
      {"slash then blank", "/ x\r\n", {"?/=x"}},
      {"hash sign is no comment", "# note\r\n", {"?#=note"}},
      {"semicolon glued to keyword", "KEY;note\r\n", {"?KEY;NOTE="}},
      {"glued semicolon, then a word", "KEY;note more\r\n", {"?KEY;NOTE=more"}},
      {"value, then comment", "KEY value ; note\r\n", {"KEY=value"}},
      {"value glued to comment", "KEY value;note\r\n", {"KEY=value"}},
      {"value glued to slashes", "PATH C:\\dir\\file.txt// note\r\n", {"PATH=C:\\dir\\file.txt"}},
      {"single slashes stay", "PATH a/b/c\r\n", {"PATH=a/b/c"}},
      {"last character a slash", "PATH ends in /\r\n", {"PATH=ends in /"}},
      {"inner blanks stay, outer go", "PATH   C:\\Fido\\Echo  List.txt   \r\n",
       {"PATH=C:\\Fido\\Echo  List.txt"}},
      {"TAB separates", "KEY\tvalue\t\r\n", {"KEY=value"}},
      {"keyword upper-cased, value keeps case", "key Value Text\r\n", {"KEY=Value Text"}},
      {"keyword alone", "KEY\r\n", {"KEY="}},
      {"keyword and comment only", "KEY ; nothing\r\n", {"KEY="}},
      {"keyword and slash comment only", "KEY // nothing\r\n", {"KEY="}},
      {"unknown keyword keeps its value", "OTHER some value\r\n", {"?OTHER=some value"}},
      {"no abbreviations", "KE x\r\nKEYS y\r\n", {"?KE=x", "?KEYS=y"}},
      {"lines in file order", "NAME one\r\nKEY two\r\nNAME three\r\n",
       {"NAME=one", "KEY=two", "NAME=three"}},
      {"CR alone ends a line", "KEY a\rNAME b\r", {"KEY=a", "NAME=b"}},
      {"lone LF", "KEY a\nNAME b\r\n", {"KEY=a", "NAME=b"}},
      {"byte-order mark", "\xEF\xBB\xBFKEY a\nNAME b", {"KEY=a", "NAME=b"}},
      {"last line without CR", "KEY a\r\nNAME b", {"KEY=a", "NAME=b"}},
      {"nothing after Ctrl-Z", "KEY a\r\n\x1ANAME b\r\n", {"KEY=a"}},
      {"Ctrl-Z mid-line", "KEY ab\x1A" "cd\r\nNAME b\r\n", {"KEY=ab"}},
      {"line of exactly 255 characters", "KEY " + std::string(251, 'v') + "\r\n",
       {"KEY=" + std::string(251, 'v')}},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.label);
    const ReadResult r = ReadText(c.text);
    EXPECT_EQ(r.exitCode, -1);
    EXPECT_EQ(r.calls, c.calls);
    std::int32_t rejected = 0;
    for (const std::string& call : r.calls) rejected += call[0] == '?';
    EXPECT_EQ(r.errorCount, rejected);
  }
}

TEST_F(ConfigReaderTest, CommentMarksFollowTheReadersChoice) {
  struct Case {
    const char* label;
    CharSet commentChars;
    bool slashComments;
    std::string text;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases = {
      {"slashes off: line", kSemicolonSet, false, "// note\r\n", {"?//=note"}},
      {"slashes off: tail", kSemicolonSet, false, "PATH a//b\r\n", {"PATH=a//b"}},
      {"slashes off: semicolon still", kSemicolonSet, false, "; note\r\nKEY a;b\r\n", {"KEY=a"}},
      {"hash chosen: line", CharSet{'#'}, false, "# note\r\n", {}},
      {"hash chosen: tail", CharSet{'#'}, false, "KEY a # b\r\n", {"KEY=a"}},
      {"hash chosen: semicolon is text", CharSet{'#'}, false, "; x\r\nKEY a;b\r\n",
       {"?;=x", "KEY=a;b"}},
      {"two comment characters", CharSet{'#', ';'}, true, "#a\r\n;b\r\nKEY x#y\r\nNAME z;w\r\n",
       {"KEY=x", "NAME=z"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const ReadResult r = ReadText(c.text, c.commentChars, c.slashComments);
    EXPECT_EQ(r.exitCode, -1);
    EXPECT_EQ(r.calls, c.calls);
  }
}

TEST_F(ConfigReaderTest, WarningsNameTheFileAndThePhysicalLine) {
  // Every line end counts, a lone LF as much as CR LF or a lone CR.
  const ReadResult r = ReadText(
      "; comment\r\n"        // 1
      "\r\n"                 // 2
      "BAD one\r\n"          // 3
      "KEY a\nstill 3\r"     // 4 and 5
      "   \r\n"              // 6
      "// note\r\n"          // 7
      "WORSE\r\n"            // 8
      "NAME b");             // 9
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.fileName, shownPath);
  EXPECT_EQ(r.errorCount, 3);
  EXPECT_EQ(r.lineNumber, 9);
  EXPECT_EQ(r.console, "Warning: File " + shownPath + " (line 3) - Unknown \"BAD\"\r\n" +
                           "Warning: File " + shownPath + " (line 5) - Unknown \"STILL\"\r\n" +
                           "Warning: File " + shownPath + " (line 8) - Unknown \"WORSE\"\r\n");
  const std::vector<std::string> calls = {"?BAD=one", "KEY=a", "?STILL=3", "?WORSE=", "NAME=b"};
  EXPECT_EQ(r.calls, calls);
}

// A value cut at 255 characters would be another value (another file's
// path), so a longer keyword line is an error of its own; a comment line
// may be as long as it likes.
TEST_F(ConfigReaderTest, AKeywordLineLongerThan255CharactersIsAnError) {
  const ReadResult r = ReadText("; " + std::string(400, 'c') + "\r\n" +  // 1
                                "KEY " + std::string(252, 'v') + "\r\n" +  // 2: 256 characters
                                "NAME b\r\n" +                              // 3
                                "// " + std::string(300, 'c') + "\r\n");   // 4
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.errorCount, 1);
  EXPECT_EQ(r.console,
            "Warning: File " + shownPath + " (line 2) - Line is longer than 255 characters\r\n");
  EXPECT_EQ(r.calls, (std::vector<std::string>{"NAME=b"}));
  EXPECT_EQ(r.isKeywordCalls, 1);
}

TEST_F(ConfigReaderTest, EmptyFileCallsNothing) {
  const ReadResult r = ReadText("");
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_TRUE(r.calls.empty());
  EXPECT_EQ(r.errorCount, 0);
  EXPECT_EQ(r.lineNumber, 0);
  EXPECT_EQ(r.console, "");
}

TEST_F(ConfigReaderTest, MissingFileEndsTheRunWithoutPrefix) {
  const std::string missing = dir.File("Missing.cfg");
  const ReadResult r = ReadFile(missing);
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.console, "Error: Can't open " + UpCasePath(ShortString(missing)).str() + " (no such file)\r\n\r\n");
  EXPECT_TRUE(r.calls.empty());
}

TEST_F(ConfigReaderTest, ReadFailureEndsTheRunWithPrefix) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "KEY value\r\n";  // more than one buffer fill
  WriteFileText(path, text);
  for (const std::uint64_t nth : {1u, 2u}) {
    SCOPED_TRACE(nth);
    platform::faults::Arm(platform::faults::Op::Read, nth);
    const ReadResult r = ReadFile(path);
    platform::faults::Disarm();
    EXPECT_EQ(r.exitCode, 255);
    const std::string head = "Error: File " + shownPath + " (line ";
    const std::string tail = ") - Can't read " + shownPath + " (input/output error)\r\n\r\n";
    ASSERT_GE(r.console.size(), head.size() + tail.size());
    EXPECT_EQ(r.console.substr(0, head.size()), head);
    EXPECT_EQ(r.console.substr(r.console.size() - tail.size()), tail);
    EXPECT_LT(r.calls.size(), 300u);
  }
}

namespace {

// A settings file saved as Notepad's "Unicode" (UTF-16 with a byte-order
// mark) is read as its characters, in code page 866; one without a mark
// cannot be read for sure and stops the run, touching nothing.
TEST_F(ConfigReaderTest, Utf16FilesAsEditorsSaveThem) {
  const std::string text = "KEY value\r\n; note\r\nPATH C:\\\xD0\xA4\xD0\xB8\xD0\xB4\xD0\xBE\\x.lst\r\n";  // Фидо
  for (const bool little : {true, false}) {
    SCOPED_TRACE(little ? "UTF-16LE" : "UTF-16BE");
    const ReadResult r = ReadText(Utf16Bytes(u"\xFEFF" + Utf16Of(text), little));
    EXPECT_EQ(r.exitCode, -1) << r.console;
    EXPECT_EQ(r.calls, (std::vector<std::string>{"KEY=value", "PATH=C:\\\x94\xA8\xA4\xAE\\x.lst"}));
    EXPECT_EQ(r.lineNumber, 3);
  }
  const ReadResult r = ReadText(Utf16Bytes(Utf16Of(text), true));
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.console, "Error: The settings file " + shownPath +
                           " is UTF-16 without a byte-order mark; save it as ANSI or UTF-8\r\n\r\n");
  EXPECT_TRUE(r.calls.empty());
}

}  // namespace
