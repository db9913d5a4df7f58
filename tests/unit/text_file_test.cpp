// Reading DOS text files: line ends, Ctrl-Z, long lines, buffer boundaries
// and read failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "support/fastecho_builder.h"
#include "support/scratch_dir.h"
#include "support/text_bytes.h"
#include "util/files.h"
#include "util/short_string.h"
#include "util/text_file.h"

namespace {

using Lines = std::vector<std::string>;
namespace faults = platform::faults;

// Buffer sizes that put line ends and long lines across buffer refills at
// many different offsets (3: the first fill is a byte-order mark and
// nothing else), one that holds a few 64-byte blocks and a CR at its end,
// plus the default size.
const std::vector<std::uint32_t> kBufferSizes = {1, 2, 3, 7, 16, 200, TextFile::kDefaultBufferSize};

// `cuts`, when given, receives LineWasCut for each line.
Lines ReadAll(TextFile& file, std::vector<bool>* cuts = nullptr) {
  Lines lines;
  while (!file.Eof()) {
    lines.emplace_back(file.ReadLineView());
    if (cuts) cuts->push_back(file.LineWasCut());
    if (lines.size() > 10000) break;  // a reader that never ends
  }
  return lines;
}

Lines ScanAll(TextFile& file, std::vector<bool>* cuts = nullptr) {
  Lines lines;
  EXPECT_FALSE(file.ScanLines([&](std::string_view line) {
    lines.emplace_back(line);
    if (cuts) cuts->push_back(file.LineWasCut());
    return lines.size() > 10000;  // a reader that never ends
  }));
  return lines;
}

// The lines of the file, read line by line; ScanLines must hand out the
// same, and tell the same about lines cut at 255 characters.
Lines ReadFileLines(const std::string& path, std::uint32_t bufferSize) {
  TextFile file(bufferSize);
  EXPECT_TRUE(OpenTextRead(file, ShortString(path)));
  std::vector<bool> cuts, scannedCuts;
  Lines lines = ReadAll(file, &cuts);
  EXPECT_EQ(file.TakeIoError(), 0u);
  file.Rewind();
  EXPECT_EQ(ScanAll(file, &scannedCuts), lines) << "ScanLines";
  EXPECT_EQ(scannedCuts, cuts) << "LineWasCut after ScanLines";
  EXPECT_EQ(file.TakeIoError(), 0u);
  file.Close();
  EXPECT_EQ(file.TakeIoError(), 0u);
  return lines;
}

class TextFileTest : public testing::Test {
 protected:
  void TearDown() override {
    faults::Disarm();
  }
  std::string Write(const std::string& content, const std::string& name = "text.txt") {
    const std::string path = scratch_.File(name);
    WriteFileText(path, content);
    return path;
  }

  ScratchDir scratch_;
};

TEST_F(TextFileTest, LineEndsCtrlZAndLongLines) {
  const std::string x255(255, 'x');
  std::string mixed300;
  for (int i = 0; i < 300; ++i) mixed300 += static_cast<char>('a' + i % 26);
  std::string lots;  // data after the Ctrl-Z, more than several buffers of it
  for (int i = 0; i < 40; ++i) lots += ",LATER,line\r\n";
  // Lines of every length up to 300 ending in CR LF, CR alone or CR before a
  // lone LF, so that line ends fall on every offset of the 64-byte blocks
  // the scan takes them from, several in one block and none in others.
  std::string everyLength;
  Lines everyLengthLines;
  for (int length = 0; length <= 300; ++length) {
    std::string line;
    for (int i = 0; i < length; ++i) line += static_cast<char>('a' + (length + i) % 26);
    const char* const ends[] = {"\r\n", "\r", "\r\n"};
    everyLength += line + ends[length % 3];
    everyLengthLines.push_back(line.substr(0, 255));
    if (length % 3 == 2) {
      everyLength += "\n\r";  // a lone LF after CR LF, then a CR
      everyLengthLines.insert(everyLengthLines.end(), 2, "");  // the LF, then the CR
    }
  }

  struct Case {
    std::string name;
    std::string content;
    Lines lines;
    // A byte-order mark is recognized in the first read, so the buffer must
    // hold it (the program's buffers are 1 KB and 64 KB).
    std::uint32_t smallestBuffer = 1;
  };
  const std::vector<Case> cases = {
      {"empty file", "", {}},
      {"CR", "one\rtwo\rthree\r", {"one", "two", "three"}},
      {"CR LF", "one\r\ntwo\r\n", {"one", "two"}},
      {"last line without CR", "one\r\nlast", {"one", "last"}},
      {"single line without CR", "only", {"only"}},
      {"empty lines", "\r\n\r\na\r\r\n", {"", "", "a", ""}},
      {"lone LF", "a\nb\r\nc\n", {"a", "b", "c"}},
      {"LF only", "a\nb\nc\n", {"a", "b", "c"}},
      {"LF before CR", "a\n\rb", {"a", "", "b"}},
      {"CR CR LF", "a\r\r\nb", {"a", "", "b"}},
      {"CR LF LF", "a\r\n\nb", {"a", "", "b"}},
      {"byte-order mark before the first line", "\xEF\xBB\xBFone\ntwo", {"one", "two"}, 3},
      {"byte-order mark alone", "\xEF\xBB\xBF", {}, 3},
      {"byte-order mark only at the start", "\xEF\xBB\xBF\xEF\xBB\xBF" "a\n\xEF\xBB\xBF",
       {"\xEF\xBB\xBF" "a", "\xEF\xBB\xBF"}, 3},
      {"half a byte-order mark is text", "\xEF\xBBx\r\n", {"\xEF\xBBx"}},
      {"Ctrl-Z ends the text", "a\r\nb\r\n\x1A" "c\r\n", {"a", "b"}},
      {"Ctrl-Z mid-line", "a\r\nbc\x1A" "de\r\nf\r\n", {"a", "bc"}},
      {"Ctrl-Z first", "\x1A" "a\r\n", {}},
      {"Ctrl-Z after CR", "a\r\x1A\nb", {"a"}},
      {"Ctrl-Z then much more", "ab\x1A" + lots, {"ab"}},
      {"other control bytes are characters", std::string("a\0\tb\x1B\r\n", 7),
       {std::string("a\0\tb\x1B", 5)}},
      {"255 characters", x255 + "\r\nnext", {x255, "next"}},
      {"256 characters", x255 + "y\r\nnext", {x255, "next"}},
      {"300 characters", mixed300 + "\r\nnext\r\n", {mixed300.substr(0, 255), "next"}},
      {"long line remainder with commas is skipped", x255 + "z,TAG,Hidden\r\nnext", {x255, "next"}},
      {"long line ended by a lone LF", x255 + "zz\n,TAG,Hidden\r\nnext", {x255, ",TAG,Hidden", "next"}},
      {"long last line", std::string(2000, 'z'), {std::string(255, 'z')}},
      {"long line with Ctrl-Z in its remainder", x255 + "tail\x1A" "\r\nnext\r\n", {x255}},
      {"lines of every length", everyLength, everyLengthLines},
      {"very long line then short ones", std::string(3000, 'w') + "\r\na\r\nb",
       {std::string(255, 'w'), "a", "b"}},
  };
  for (std::uint32_t bufferSize : kBufferSizes) {
    for (const Case& c : cases) {
      if (bufferSize < c.smallestBuffer) continue;
      SCOPED_TRACE(c.name + ", buffer " + std::to_string(bufferSize));
      const std::string path = Write(c.content);
      EXPECT_EQ(ReadFileLines(path, bufferSize), c.lines);
    }
  }
}

TEST_F(TextFileTest, CrAtTheEndOfABufferWithItsLfInTheNext) {
  // 190: the CR ends the buffer a few bytes after its third 64-byte block.
  for (std::uint32_t bufferSize : {7u, 16u, 190u}) {
    SCOPED_TRACE("buffer " + std::to_string(bufferSize));
    const std::string head(bufferSize - 1, 'h');  // the CR is the buffer's last byte
    struct Case {
      std::string name;
      std::string content;
      Lines lines;
    };
    const std::vector<Case> cases = {
        {"LF starts the next buffer", head + "\r\nnext\r\n", {head, "next"}},
        {"no LF after the CR", head + "\rnext\r\n", {head, "next"}},
        {"empty line after the CR", head + "\r\r\nnext", {head, "", "next"}},
        {"file ends at the CR", head + "\r", {head}},
        {"Ctrl-Z starts the next buffer", head + "\r\x1A" "more\r\n", {head}},
        {"second buffer ends the same way",
         head + "\r\n" + std::string(bufferSize - 2, 'i') + "\r\nlast",
         {head, std::string(bufferSize - 2, 'i'), "last"}},
        {"line spanning buffers ends at a buffer end",
         std::string(3 * bufferSize - 1, 's') + "\r\nlast",
         {std::string(std::min(3 * bufferSize - 1, 255u), 's'), "last"}},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      EXPECT_EQ(ReadFileLines(Write(c.content), bufferSize), c.lines);
    }
  }
}

TEST_F(TextFileTest, ReadLineIntoShortString) {
  TextFile file(7);
  ASSERT_TRUE(OpenTextRead(file, ShortString(Write("first line\r\n" + std::string(300, 'L') + "\r\n"))));
  ShortString line;
  file.ReadLine(line);
  EXPECT_EQ(line.str(), "first line");
  file.ReadLine(line);
  EXPECT_EQ(line.str(), std::string(255, 'L'));
  EXPECT_TRUE(file.Eof());
  file.Close();
  EXPECT_EQ(file.TakeIoError(), 0u);
}

TEST_F(TextFileTest, ReopeningStartsAtTheFirstLineAgain) {
  const std::string path = Write("a\r\nb\r\nc\r\n");
  TextFile file(2);
  ASSERT_TRUE(OpenTextRead(file, ShortString(path)));
  EXPECT_EQ(std::string(file.ReadLineView()), "a");
  EXPECT_EQ(std::string(file.ReadLineView()), "b");
  ASSERT_TRUE(OpenTextRead(file, ShortString(path)));  // still open: closed and reopened
  EXPECT_EQ(ReadAll(file), (Lines{"a", "b", "c"}));
  file.Close();
  EXPECT_EQ(file.TakeIoError(), 0u);
}

TEST_F(TextFileTest, RewindStartsAtTheFirstLineAndReadsTheFileAnew) {
  const std::string path = Write("a\r\nb\r\nc\r\n");
  TextFile file(4);
  ASSERT_TRUE(OpenTextRead(file, ShortString(path)));
  EXPECT_EQ(std::string(file.ReadLineView()), "a");
  file.Rewind();  // from the middle of the buffer
  EXPECT_EQ(ReadAll(file), (Lines{"a", "b", "c"}));
  file.Rewind();  // from the end of the text
  EXPECT_EQ(ReadAll(file), (Lines{"a", "b", "c"}));

  // Nothing buffered survives: what the file holds now is read.
  WriteFileText(path, "new\r\n\x1A" "after\r\n");
  file.Rewind();
  EXPECT_EQ(ReadAll(file), (Lines{"new"}));
  WriteFileText(path, "x\r\ny\r\n");
  file.Rewind();  // after a Ctrl-Z ended the text
  EXPECT_EQ(ReadAll(file), (Lines{"x", "y"}));
  EXPECT_EQ(file.TakeIoError(), 0u);
  file.Close();
  EXPECT_EQ(file.TakeIoError(), 0u);
}

TEST_F(TextFileTest, ScanLinesStopsWhereItsVisitorSaysSo) {
  TextFile file(5);
  ASSERT_TRUE(OpenTextRead(file, ShortString(Write("one\r\ntwo\r\nthree\r\nfour"))));
  Lines seen;
  EXPECT_TRUE(file.ScanLines([&seen](std::string_view line) {
    seen.emplace_back(line);
    return line == "two";
  }));
  EXPECT_EQ(seen, (Lines{"one", "two"}));
  EXPECT_EQ(ReadAll(file), (Lines{"three", "four"}));  // reading goes on after it
  EXPECT_FALSE(file.ScanLines([](std::string_view) { return true; }));  // at the end: no line
  file.Close();
  EXPECT_EQ(file.TakeIoError(), 0u);
}

TEST_F(TextFileTest, RewindAndScanLinesFailures) {
  const std::string path = Write("line0\r\nline1\r\nline2\r\n");
  auto scanNone = [](TextFile& f) {
    return f.ScanLines([](std::string_view) {
      ADD_FAILURE() << "a line was handed out";
      return true;
    });
  };
  {
    SCOPED_TRACE("rewind of a file that is not open");
    TextFile file;
    file.Rewind();
    EXPECT_EQ(file.TakeIoError(), TextFile::kNotOpen);
  }
  {
    SCOPED_TRACE("failing seek: nothing more is read");
    TextFile file(16);
    ASSERT_TRUE(OpenTextRead(file, ShortString(path)));
    EXPECT_EQ(std::string(file.ReadLineView()), "line0");
    faults::Arm(faults::Op::Seek, 1);
    file.Rewind();
    faults::Disarm();
    EXPECT_NE(file.TakeIoError(), 0u);
    EXPECT_TRUE(file.ReadLineView().empty());
    EXPECT_TRUE(file.Eof());
    file.Rewind();  // a later rewind that works reads from the start again
    EXPECT_EQ(ReadAll(file), (Lines{"line0", "line1", "line2"}));
    EXPECT_EQ(file.TakeIoError(), 0u);
  }
  {
    SCOPED_TRACE("an earlier failure stops the scan before it reads");
    TextFile file(16);
    ASSERT_TRUE(OpenTextRead(file, ShortString(path)));
    faults::Arm(faults::Op::Read, 1);  // counts reads from here on
    file.Write("x");  // a file open for reading is not open for writing
    EXPECT_FALSE(scanNone(file));
    EXPECT_EQ(faults::Calls(faults::Op::Read), 0u);
    EXPECT_EQ(file.TakeIoError(), TextFile::kNotOpen);
  }
  {
    SCOPED_TRACE("failing read: the interrupted line is not handed out");
    TextFile file(16);  // the first fill ends inside "line2"
    ASSERT_TRUE(OpenTextRead(file, ShortString(path)));
    faults::Arm(faults::Op::Read, 2);
    Lines seen;
    EXPECT_FALSE(file.ScanLines([&seen](std::string_view line) {
      seen.emplace_back(line);
      return false;
    }));
    EXPECT_EQ(seen, (Lines{"line0", "line1"}));
    EXPECT_NE(file.TakeIoError(), 0u);
  }
  {
    SCOPED_TRACE("scan of a file that is not open");
    TextFile file;
    EXPECT_FALSE(scanNone(file));
    EXPECT_EQ(file.TakeIoError(), TextFile::kNotOpen);
  }
}

TEST_F(TextFileTest, OpenAnswersAndLeavesNoError) {
  TextFile file;
  EXPECT_FALSE(OpenTextRead(file, ShortString(scratch_.File("missing.txt"))));
  EXPECT_EQ(file.IoError(), 0u);
  EXPECT_FALSE(file.IsOpen());

  // A failure of the file's earlier life does not survive an open.
  file.Close();
  EXPECT_EQ(file.IoError(), TextFile::kNotOpen);
  EXPECT_TRUE(OpenTextRead(file, ShortString(Write("x\r\n"))));
  EXPECT_EQ(file.IoError(), 0u);
  EXPECT_EQ(ReadAll(file), (Lines{"x"}));
  file.Close();
  EXPECT_EQ(file.IoError(), 0u);
}

// Each file keeps its own error: one file's failure never stops another.
TEST_F(TextFileTest, AFailureBelongsToTheFileThatMetIt) {
  TextFile failed(16), other(16);
  ASSERT_TRUE(OpenTextRead(failed, ShortString(Write("a\r\n", "failed.txt"))));
  ASSERT_TRUE(OpenTextRead(other, ShortString(Write("b\r\nc\r\n", "other.txt"))));
  faults::Arm(faults::Op::Read, 1);
  EXPECT_TRUE(failed.ReadLineView().empty());
  faults::Disarm();
  EXPECT_NE(failed.IoError(), 0u);
  EXPECT_EQ(ReadAll(other), (Lines{"b", "c"}));
  EXPECT_EQ(other.IoError(), 0u);
  EXPECT_NE(failed.IoError(), 0u);  // still there until taken
}

TEST_F(TextFileTest, ReadingAFileThatIsNotOpenSetsAnError) {
  TextFile file;
  EXPECT_TRUE(file.ReadLineView().empty());
  EXPECT_EQ(file.TakeIoError(), TextFile::kNotOpen);
}

TEST_F(TextFileTest, ReadFailureSetsTheFilesError) {
  std::string content;
  for (int i = 0; i < 10; ++i) content += "line" + std::to_string(i) + "\r\n";
  const std::string path = Write(content);

  struct Case {
    std::uint64_t failingRead;
    Lines linesBefore;  // whole lines handed out before the failure
  };
  // 16-byte buffer: the first fill holds "line0\r\nline1\r\nli".
  const std::vector<Case> cases = {{1, {}}, {2, {"line0", "line1"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE("read " + std::to_string(c.failingRead) + " fails");
    TextFile file(16);
    ASSERT_TRUE(OpenTextRead(file, ShortString(path)));
    faults::Arm(faults::Op::Read, c.failingRead);

    Lines lines;
    while (lines.size() < c.linesBefore.size()) lines.emplace_back(file.ReadLineView());
    EXPECT_EQ(lines, c.linesBefore);
    EXPECT_EQ(file.IoError(), 0u);

    file.ReadLineView();  // meets the failing read
    EXPECT_NE(file.IoError(), 0u);
    const std::uint64_t readsAtFailure = faults::Calls(faults::Op::Read);
    EXPECT_EQ(readsAtFailure, c.failingRead);

    // While the error is set, reading does nothing.
    EXPECT_TRUE(file.ReadLineView().empty());
    EXPECT_TRUE(file.Eof());
    EXPECT_EQ(faults::Calls(faults::Op::Read), readsAtFailure);

    EXPECT_NE(file.TakeIoError(), 0u);
    EXPECT_EQ(file.TakeIoError(), 0u);  // taking it clears it
    faults::Disarm();
    file.Close();
  }
}

}  // namespace

namespace {

Lines ReadDecoded(const std::string& path, std::uint32_t bufferSize, TextFile::Decoding decoding,
                  TextFile::Mark* mark = nullptr) {
  TextFile file(bufferSize);
  file.SetDecoding(decoding);
  EXPECT_TRUE(OpenTextRead(file, ShortString(path)));
  Lines lines = ReadAll(file);
  if (mark) *mark = file.ByteOrderMark();
  file.Rewind();
  EXPECT_EQ(ScanAll(file), lines) << "ScanLines";
  EXPECT_EQ(file.TakeIoError(), 0u);
  file.Close();
  return lines;
}

// A UTF-16 file is read as the UTF-8 of its characters, and the text
// rules hold for the characters: the bytes 0x0A, 0x0D and 0x1A inside
// another character end nothing.
TEST_F(TextFileTest, Utf16TextIsReadInCharacters) {
  const std::u16string x300(300, u'x');
  struct Case {
    std::string name;
    std::u16string text;
    Lines lines;
  };
  const std::vector<Case> cases = {
      {"empty", u"", {}},
      {"line ends", u"one\r\ntwo\rthree\nfour", {"one", "two", "three", "four"}},
      {"Cyrillic", u"Привет, мир\r\n", {"Привет, мир"}},
      {"Ctrl-Z ends the text", u"a\r\nb\x1A" u"c\r\nd", {"a", "b"}},
      // U+0D0A, U+010D, U+1A1A: line-end and Ctrl-Z bytes inside characters.
      {"their bytes inside other characters", u"\x0D0A\x010D\x1A1A|\r\n", {"\xE0\xB4\x8A\xC4\x8D\xE1\xA8\x9A|"}},
      {"a surrogate pair", u"a\U0001F600b", {"a\xF0\x9F\x98\x80" "b"}},
      // A surrogate without its pair is no character: U+FFFD stands for it.
      {"an unpaired high surrogate", u"a\xD800" u"b\r\n", {"a\xEF\xBF\xBD" "b"}},
      {"two high surrogates", u"\xD800\xD801\xDC00", {"\xEF\xBF\xBD\xF0\x90\x90\x80"}},
      {"a lone low surrogate", u"a\xDC00" u"b", {"a\xEF\xBF\xBD" "b"}},
      {"a high surrogate last", u"ab\xD83D", {"ab\xEF\xBF\xBD"}},
      {"a byte-order mark is no character", u"\xFEFF" u"a\r\n\xFEFF" u"b", {"a", "\xEF\xBB\xBF" "b"}},
      {"a long line is cut at 255 bytes of UTF-8", x300 + u"\r\nnext", {std::string(255, 'x'), "next"}},
      {"NUL is a character", std::u16string(u"a\0b", 3), {std::string("a\0b", 3)}},
  };
  for (const bool little : {true, false}) {
    const TextFile::Decoding decoding = little ? TextFile::Decoding::Utf16Le : TextFile::Decoding::Utf16Be;
    for (std::uint32_t bufferSize : {4u, 5u, 7u, 16u, 200u, TextFile::kDefaultBufferSize}) {
      for (const Case& c : cases) {
        SCOPED_TRACE(c.name + (little ? ", little-endian" : ", big-endian") + ", buffer " +
                     std::to_string(bufferSize));
        EXPECT_EQ(ReadDecoded(Write(Utf16Bytes(c.text, little)), bufferSize, decoding), c.lines);
      }
    }
  }
}

TEST_F(TextFileTest, Utf16OddEndsAndByteOrderMarks) {
  using Mark = TextFile::Mark;
  using Decoding = TextFile::Decoding;
  struct Case {
    std::string name;
    std::string bytes;
    Decoding decoding;
    Lines lines;
    Mark mark;
  };
  const std::vector<Case> cases = {
      {"a lone byte last", std::string("a\0b", 3), Decoding::Utf16Le, {"a\xEF\xBF\xBD"}, Mark::None},
      {"little-endian mark", std::string("\xFF\xFE" "a\0", 4), Decoding::Utf16Le, {"a"}, Mark::Utf16Le},
      {"big-endian mark", std::string("\xFE\xFF\0a", 4), Decoding::Utf16Be, {"a"}, Mark::Utf16Be},
      // The mark of the other byte order reads as U+FFFE, a character.
      {"the other order's mark", std::string("\xFE\xFF" "a\0", 4), Decoding::Utf16Le, {"\xEF\xBF\xBE" "a"},
       Mark::None},
      // Read as bytes, a UTF-16 mark is told but stays text.
      {"little-endian mark as bytes", "\xFF\xFE" "a", Decoding::Bytes, {"\xFF\xFE" "a"}, Mark::Utf16Le},
      {"big-endian mark as bytes", "\xFE\xFF" "a", Decoding::Bytes, {"\xFE\xFF" "a"}, Mark::Utf16Be},
      {"UTF-8 mark as bytes", "\xEF\xBB\xBF" "a", Decoding::Bytes, {"a"}, Mark::Utf8},
      {"no mark", "ab", Decoding::Bytes, {"ab"}, Mark::None},
  };
  for (const Case& c : cases) {
    for (std::uint32_t bufferSize : {4u, 16u}) {
      SCOPED_TRACE(c.name + ", buffer " + std::to_string(bufferSize));
      Mark mark = Mark::None;
      EXPECT_EQ(ReadDecoded(Write(c.bytes), bufferSize, c.decoding, &mark), c.lines);
      EXPECT_EQ(mark, c.mark);
    }
  }
}

// Lines are read whole up to 256 KB when asked, across many fills; a longer
// one is cut there and says so.
TEST_F(TextFileTest, LongLinesAreReadWholeUpToTheLimitSet) {
  const std::string whole(TextFile::kWholeLineLimit, 'w');
  const std::string path = Write("short\r\n" + whole + "\r\n" + whole + "xy\r\nlast");
  TextFile file(1000);
  file.SetLineLimit(TextFile::kWholeLineLimit);
  ASSERT_TRUE(OpenTextRead(file, ShortString(path)));
  std::vector<bool> cuts;
  EXPECT_EQ(ReadAll(file, &cuts), (Lines{"short", whole, whole, "last"}));
  EXPECT_EQ(cuts, (std::vector<bool>{false, false, true, false}));
  file.Rewind();
  cuts.clear();
  EXPECT_EQ(ScanAll(file, &cuts), (Lines{"short", whole, whole, "last"}));
  EXPECT_EQ(cuts, (std::vector<bool>{false, false, true, false}));
  file.Close();
  EXPECT_EQ(file.TakeIoError(), 0u);
}

}  // namespace

namespace {

TEST_F(TextFileTest, AFailedReadOfUtf16TextSetsTheFilesError) {
  const std::string path = Write(Utf16Bytes(u"line0\r\nline1\r\nline2\r\nline3\r\n", true));
  TextFile file(16);  // each read takes 10 bytes: five characters
  file.SetDecoding(TextFile::Decoding::Utf16Le);
  ASSERT_TRUE(OpenTextRead(file, ShortString(path)));
  faults::Arm(faults::Op::Read, 3);  // after "line0", "\r\nlin"
  Lines seen;
  EXPECT_FALSE(file.ScanLines([&seen](std::string_view line) {
    seen.emplace_back(line);
    return false;
  }));
  faults::Disarm();
  EXPECT_EQ(seen, (Lines{"line0"}));
  EXPECT_NE(file.TakeIoError(), 0u);
  file.Close();
}

}  // namespace
