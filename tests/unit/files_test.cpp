#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "support/fastecho_builder.h"
#include "support/scratch_dir.h"
#include "util/files.h"
#include "util/text_file.h"

namespace fs = std::filesystem;
namespace faults = platform::faults;

namespace {

// Bytes that differ from position to position, so that a dropped, doubled
// or reordered chunk shows.
Bytes PatternBytes(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return bytes;
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override { faults::Disarm(); }
  void TearDown() override { faults::Disarm(); }
  ScratchDir dir;
};

struct SplitCase {
  const char* path;
  const char* directory;
  const char* name;
  const char* extension;
};

}  // namespace

TEST(SplitPathTest, SplitsIntoDirectoryNameAndExtension) {
  const std::vector<SplitCase> cases = {
#ifdef _WIN32
      {"C:\\DIR\\FILE.TXT", "C:\\DIR\\", "FILE", ".TXT"},
      {"FILE", "", "FILE", ""},
      {"C:FILE.A.B", "C:", "FILE.A", ".B"},
      {"DIR.X\\FILE", "DIR.X\\", "FILE", ""},
      {"DIR\\", "DIR\\", "", ""},
      {"FILE.", "", "FILE", "."},
      {"A/B.TXT", "", "A/B", ".TXT"},  // '/' is no separator here
      {"C:\\A.B\\C:D.E", "C:\\A.B\\C:", "D", ".E"},
      {".CFG", "", "", ".CFG"},
      {"", "", "", ""},
#else
      {"/dir/file.txt", "/dir/", "file", ".txt"},
      {"file", "", "file", ""},
      {"dir/file.a.b", "dir/", "file.a", ".b"},
      {"dir.x/file", "dir.x/", "file", ""},
      {"dir/", "dir/", "", ""},
      {"file.", "", "file", "."},
      {"A\\B.TXT", "", "A\\B", ".TXT"},  // '\' is no separator here
      {"C:FILE.A.B", "", "C:FILE.A", ".B"},  // nor is ':'
      {"/a.b/c/d.e", "/a.b/c/", "d", ".e"},
      {".cfg", "", "", ".cfg"},
      {"", "", "", ""},
#endif
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.path);
    const PathParts parts = SplitPath(c.path);
    EXPECT_EQ(parts.directory.str(), c.directory);
    EXPECT_EQ(parts.name.str(), c.name);
    EXPECT_EQ(parts.extension.str(), c.extension);
    EXPECT_EQ(ExtractDir(c.path).str(), c.directory);
  }
}

TEST(ProgramDirTest, IsTheDirectoryOfTheRunningProgram) {
  ShortString dir;
  ASSERT_EQ(ProgramDir(&dir), ProgramDirResult::Found);
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir[dir.size() - 1], platform::kDirSeparator);
  EXPECT_TRUE(FileExists(dir));
  std::string exe;
  ASSERT_TRUE(platform::ExecutablePath(&exe));
  EXPECT_EQ(dir.str(), ExtractDir(ShortString(exe)).str());
  // Never cut: without room for a file name after it, it is refused; a
  // name that makes exactly 255 characters still fits.
  ShortString untouched = "x";
  EXPECT_EQ(ProgramDir(&untouched, ShortString::kCapacity - dir.size() + 1), ProgramDirResult::TooLong);
  EXPECT_EQ(untouched.str(), "x");
  EXPECT_EQ(ProgramDir(&untouched, ShortString::kCapacity - dir.size()), ProgramDirResult::Found);
}

TEST_F(FilesTest, FileExistsAnswersForFilesAndDirectoriesOnly) {
  WriteFileText(dir.File("present.txt"), "x");
  fs::create_directory(dir.Path() / "sub");
  struct Case {
    std::string name;
    bool exists;
  };
  const std::vector<Case> cases = {
      {dir.File("present.txt"), true},
      {dir.File("sub"), true},
      {dir.Path().string(), true},
      {dir.File("missing.txt"), false},
      {(dir.Path() / "missing" / "present.txt").string(), false},
      {dir.File("*.txt"), false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FileExists(ShortString(c.name)), c.exists);
  }
  EXPECT_FALSE(fs::exists(dir.Path() / "missing.txt"));
}

TEST_F(FilesTest, CopyFileCopiesEveryByteWhateverTheSize) {
  struct Case {
    const char* label;
    std::size_t size;
  };
  const std::vector<Case> cases = {
      {"empty", 0},
      {"one byte", 1},
      {"exactly one buffer", kCopyBufferSize},
      {"one byte over a buffer", kCopyBufferSize + 1},
      {"several buffers", 3 * kCopyBufferSize + 12345},
  };
  std::uint32_t seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string source = dir.File("source.bin");
    const std::string destination = dir.File("copy.bin");
    const Bytes bytes = PatternBytes(c.size, seed++);
    WriteFileBytes(source, bytes);
    faults::ResetCounts();
    EXPECT_TRUE(CopyFile(ShortString(source), ShortString(destination)));
    EXPECT_TRUE(ReadFileBytes(destination) == bytes);
    EXPECT_TRUE(ReadFileBytes(source) == bytes);
    // The loop ends on a read that yields nothing.
    EXPECT_EQ(faults::Calls(faults::Op::Read), (c.size + kCopyBufferSize - 1) / kCopyBufferSize + 1);
    fs::remove(destination);
  }
}

TEST_F(FilesTest, CopyFileReplacesALongerDestinationEntirely) {
  const std::string source = dir.File("short.cfg");
  const std::string destination = dir.File("long.cfg");
  const Bytes bytes = PatternBytes(100, 7);
  WriteFileBytes(source, bytes);
  WriteFileBytes(destination, PatternBytes(kCopyBufferSize + 500, 8));
  EXPECT_TRUE(CopyFile(ShortString(source), ShortString(destination)));
  EXPECT_TRUE(ReadFileBytes(destination) == bytes);
}

TEST_F(FilesTest, CopyFileOfAMissingSourceFailsBeforeTouchingTheDestination) {
  const std::string missing = dir.File("missing.cfg");
  const std::string existing = dir.File("existing.cfg");
  const std::string absent = dir.File("absent.cfg");
  WriteFileText(existing, "old contents");

  EXPECT_FALSE(CopyFile(ShortString(missing), ShortString(existing)));
  EXPECT_EQ(ReadFileText(existing), "old contents");

  EXPECT_FALSE(CopyFile(ShortString(missing), ShortString(absent)));
  EXPECT_FALSE(fs::exists(absent));
}

TEST_F(FilesTest, CopyFileFailsWhenTheDestinationCannotBeCreated) {
  const std::string source = dir.File("source.cfg");
  WriteFileText(source, "data");
  EXPECT_FALSE(CopyFile(ShortString(source), ShortString((dir.Path() / "no-such-dir" / "copy.cfg").string())));
  EXPECT_EQ(ReadFileText(source), "data");
}

TEST_F(FilesTest, CopyFileFailsOnAReadOrWriteFailureMidway) {
  struct Case {
    const char* label;
    faults::Op op;
    std::uint64_t nth;
    faults::Kind kind;
  };
  const std::vector<Case> cases = {
      // The first chunk is copied, the second read fails: a truncated copy
      // must not pass for a good one.
      {"second read fails", faults::Op::Read, 2, faults::Kind::Fail},
      {"first read fails", faults::Op::Read, 1, faults::Kind::Fail},
      {"second write fails", faults::Op::Write, 2, faults::Kind::Fail},
      {"first write comes back short", faults::Op::Write, 1, faults::Kind::ShortWrite},
      {"second write comes back short", faults::Op::Write, 2, faults::Kind::ShortWrite},
      // A copy that may not have reached the disk is no copy either.
      {"closing the copy fails", faults::Op::Close, 2, faults::Kind::Fail},  // after the source
  };
  const std::string source = dir.File("source.bin");
  const Bytes bytes = PatternBytes(2 * kCopyBufferSize + 99, 3);
  WriteFileBytes(source, bytes);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string destination = dir.File("copy.bin");
    faults::Arm(c.op, c.nth, c.kind);
    EXPECT_FALSE(CopyFile(ShortString(source), ShortString(destination)));
    faults::Disarm();
    EXPECT_FALSE(fs::exists(destination)) << "a failed copy leaves nothing behind";
    EXPECT_TRUE(ReadFileBytes(source) == bytes);
  }
}

TEST_F(FilesTest, ProbeReplaceAcceptsWhatIsMissingOrAWritableDiskFile) {
  const std::string file = dir.File("old.copy");
  EXPECT_EQ(ProbeReplace(ShortString(file)), 0u) << "nothing there";
  WriteFileText(file, "old");
  EXPECT_EQ(ProbeReplace(ShortString(file)), 0u);
  EXPECT_EQ(ReadFileText(file), "old") << "asked without a write";
  fs::create_directory(dir.File("a directory"));
  EXPECT_EQ(platform::KindOfError(ProbeReplace(ShortString(dir.File("a directory")))),
            platform::ErrorKind::IsDirectory);
  faults::Arm(faults::Op::Open, 1);
  EXPECT_EQ(ProbeReplace(ShortString(file)), platform::kInjectedErrorCode)
      << "a file that cannot be opened for writing";
  faults::Arm(faults::Op::Identify, 1);
  EXPECT_EQ(ProbeReplace(ShortString(dir.File("missing.copy"))), platform::kInjectedErrorCode)
      << "a lookup that failed is no missing file";
}

// An open that created a file and then refused it (the check of what it
// opened failed) leaves nothing behind, on both builds; one that emptied an
// existing file leaves that file.
TEST_F(FilesTest, AnOpenThatCreatedAFileAndFailedRemovesIt) {
  const std::string created = dir.File("new.copy");
  const std::string createdNew = dir.File("new.log");
  const std::string existing = dir.File("old.copy");
  WriteFileText(existing, "old");
  const struct {
    const std::string& path;
    platform::Creation creation;
  } opens[] = {
      {created, platform::Creation::CreateAlways},
      {createdNew, platform::Creation::CreateNew},
      {existing, platform::Creation::CreateAlways},
  };
  for (const auto& open : opens) {
    SCOPED_TRACE(open.path);
    platform::FileHandle handle;
    faults::Arm(faults::Op::OpenCheck, 1);
    EXPECT_EQ(platform::OpenFile(open.path.c_str(), platform::Access::ReadWrite, platform::Sharing::None,
                                 open.creation, platform::Target::DiskFile, &handle),
              platform::kInjectedErrorCode);
    faults::Disarm();
    EXPECT_EQ(handle, platform::kInvalidHandle);
  }
  EXPECT_FALSE(fs::exists(created));
  EXPECT_FALSE(fs::exists(createdNew));
  EXPECT_TRUE(fs::exists(existing));
}

TEST_F(FilesTest, CopyFileOntoItselfFailsAndKeepsTheFile) {
  const std::string file = dir.File("self.cfg");
  WriteFileText(file, "keep me");
  EXPECT_FALSE(CopyFile(ShortString(file), ShortString(file)));
  EXPECT_EQ(ReadFileText(file), "keep me");
#ifndef _WIN32
  // Where the file system takes no locks, sharing keeps nothing out: the
  // check that both names are one file is all that stands in the way.
  faults::Arm(faults::Op::Lock, 2);  // the copy's open, after the source's
  EXPECT_FALSE(CopyFile(ShortString(file), ShortString(dir.File(".") + "/self.cfg")));
  faults::Disarm();
  EXPECT_EQ(ReadFileText(file), "keep me");
#endif
}

namespace {

// Gives back write permission when a test ends, so that the scratch
// directory can go.
struct MakeWritableAtEnd {
  std::vector<std::string> names;
  ~MakeWritableAtEnd() {
    std::error_code ignored;
    for (const auto& n : names)
      fs::permissions(n, fs::perms::owner_write, fs::perm_options::add, ignored);
  }
};

void MakeReadOnly(const std::string& name) {
  fs::permissions(name, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

}  // namespace

TEST_F(FilesTest, CopyFileOntoAReadOnlyFileFailsAndKeepsIt) {
  const std::string source = dir.File("source.cfg");
  const std::string destination = dir.File("copy.cfg");
  MakeWritableAtEnd writable{{destination}};
  WriteFileText(source, "second");
  WriteFileText(destination, "first");
  MakeReadOnly(destination);

  // For a user with administrator rights (root, or wine run by root)
  // read-only files stay writable, and there is nothing to show.
  platform::FileHandle probe = platform::kInvalidHandle;
  if (platform::OpenFile(destination.c_str(), platform::Access::Write, platform::Sharing::ReadWrite,
                         platform::Creation::OpenExisting, platform::Target::DiskFile, &probe) == 0) {
    platform::CloseFile(probe);
    GTEST_SKIP() << "read-only files are writable for this user";
  }
  EXPECT_FALSE(CopyFile(ShortString(source), ShortString(destination)));
  EXPECT_EQ(ReadFileText(destination), "first");
}

#ifndef _WIN32
// Exactly: a FastEcho file that only its owner may read (it holds the
// node's passwords) has a copy that only its owner may read.
TEST_F(FilesTest, CopyFileGivesTheCopyTheSourcePermissionBits) {
  const std::string source = dir.File("source.cfg");
  const std::string destination = dir.File("copy.cfg");
  WriteFileText(source, "data");
  WriteFileText(destination, "older");
  const fs::perms modes[] = {
      fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read,
      fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read,
      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_all | fs::perms::others_all,
  };
  for (const fs::perms mode : modes) {
    SCOPED_TRACE(static_cast<int>(mode));
    fs::permissions(source, mode);
    EXPECT_TRUE(CopyFile(ShortString(source), ShortString(destination)));
    EXPECT_EQ(fs::status(destination).permissions(), mode);
    fs::permissions(destination, fs::perms::owner_all);
  }
  fs::permissions(source, fs::perms::owner_all);
}

// Never wider, not even for a moment: the copy has its bits from its
// creation on (whatever the umask), and a file it replaces gets them
// before it holds a byte of the copy.
TEST_F(FilesTest, TheCopyHasTheSourcePermissionBitsWhileItIsWritten) {
  const std::string source = dir.File("source.cfg");
  WriteFileText(source, std::string(1000, 's'));
  fs::permissions(source, fs::perms::owner_read | fs::perms::owner_write);
  const std::string wider = dir.File("wider.cfg");
  WriteFileText(wider, "an older copy");
  fs::permissions(wider, fs::perms::all);
  for (const std::string& destination : {dir.File("new.cfg"), wider}) {
    SCOPED_TRACE(destination);
    platform::FileHandle handle;
    ASSERT_FALSE(CopyIntoNewFile(ShortString(source), ShortString(destination), platform::Sharing::None, &handle)
                     .Failed());
    EXPECT_EQ(fs::status(destination).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    platform::CloseFile(handle);
  }
}
#else
// A read-only source makes a copy that the next copy can replace: Windows
// cannot rename a file onto a read-only one.
TEST_F(FilesTest, ReadOnlySourceMakesAReplaceableCopy) {
  const std::string source = dir.File("source.cfg");
  const std::string destination = dir.File("copy.cfg");
  MakeWritableAtEnd writable{{source, destination}};
  WriteFileText(source, "first");
  WriteFileText(destination, "older and longer");
  MakeReadOnly(source);

  EXPECT_TRUE(CopyFile(ShortString(source), ShortString(destination)));
  EXPECT_EQ(ReadFileText(destination), "first");
  EXPECT_NE(fs::status(destination).permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_TRUE(CopyFile(ShortString(source), ShortString(destination)));
}
#endif

// Sharing holds between any two opens, within one process too.
TEST_F(FilesTest, CopyFileFailsWhileTheSourceIsHeldOpen) {
  const std::string source = dir.File("source.cfg");
  const std::string destination = dir.File("copy.cfg");
  WriteFileText(source, "source data");
  struct Holder {
    const char* label;
    platform::Access access;
    platform::Sharing sharing;
  };
  // The copy opens its source exclusively, so it fails whatever sharing
  // the other holder allows.
  const std::vector<Holder> holders = {
      {"reader sharing nothing", platform::Access::Read, platform::Sharing::None},
      {"reader sharing all", platform::Access::Read, platform::Sharing::ReadWrite},
      {"writer sharing all", platform::Access::Write, platform::Sharing::ReadWrite},
  };
  for (const Holder& h : holders) {
    SCOPED_TRACE(h.label);
    WriteFileText(destination, "previous copy");
    platform::FileHandle holder = platform::kInvalidHandle;
    ASSERT_EQ(platform::OpenFile(source.c_str(), h.access, h.sharing,
                                 platform::Creation::OpenExisting, platform::Target::DiskFile,
                                 &holder),
              0u);
    EXPECT_FALSE(CopyFile(ShortString(source), ShortString(destination)));
    EXPECT_EQ(ReadFileText(destination), "previous copy");  // opened only after the source
    platform::CloseFile(holder);
  }
  EXPECT_TRUE(CopyFile(ShortString(source), ShortString(destination)));
  EXPECT_EQ(ReadFileText(destination), "source data");
}

TEST_F(FilesTest, OpenTextAppendOnAMissingFileFailsAndCreatesNothing) {
  const std::string missing = dir.File("missing.log");
  TextFile file;
  EXPECT_FALSE(OpenTextAppend(file, ShortString(missing)));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(file.IoError(), 0u);
}

TEST_F(FilesTest, OpenOperationsAnswerFromTheirOwnOpenAndLeaveNoError) {
  const std::string present = dir.File("present.txt");
  const std::string missing = dir.File("missing.txt");
  const std::string unmakeable = (dir.Path() / "no-such-dir" / "new.txt").string();
  WriteFileText(present, "line\r\n");
  using TextOpen = bool (*)(TextFile&, const ShortString&, std::uint32_t*);
  struct Case {
    const char* label;
    TextOpen open;
    std::string name;
    bool opened;
  };
  const std::vector<Case> cases = {
      {"read existing", OpenTextRead, present, true},
      {"read missing", OpenTextRead, missing, false},
      {"append existing", OpenTextAppend, present, true},
      {"append missing", OpenTextAppend, missing, false},
      {"rewrite new", OpenTextRewrite, dir.File("new.txt"), true},
      {"rewrite in a missing directory", OpenTextRewrite, unmakeable, false},
  };
  for (const Case& c : cases) {
    for (const bool earlierFailure : {false, true}) {
      SCOPED_TRACE(std::string(c.label) + (earlierFailure ? ", after an earlier failure" : ""));
      // A failure of the file's earlier life must not spoil the answer.
      TextFile file;
      if (earlierFailure) file.Close();
      std::uint32_t error = 0xFFFF;
      EXPECT_EQ(c.open(file, ShortString(c.name), &error), c.opened);
      EXPECT_EQ(file.IsOpen(), c.opened);
      EXPECT_EQ(file.IoError(), 0u);
      EXPECT_EQ(error == 0, c.opened) << "the reason of a failed open is handed out";
    }
  }
  EXPECT_FALSE(fs::exists(missing));
}

TEST_F(FilesTest, OpenTextRewriteEmptiesAnExistingFile) {
  const std::string name = dir.File("log.txt");
  WriteFileText(name, "old contents\r\n");
  {
    TextFile file;
    ASSERT_TRUE(OpenTextRewrite(file, ShortString(name)));
    file.WriteLine("new");
    file.Close();
  }
  EXPECT_EQ(ReadFileText(name), "new\r\n");
}

struct SameFileCase {
  const char* label;
  std::string a, b;
  bool same;
};

TEST_F(FilesTest, SameFileKnowsOneFileUnderEveryName) {
  const std::string file = dir.File("data.cfg");
  WriteFileText(file, "x");
  WriteFileText(dir.File("other.cfg"), "x");
  fs::create_directory(dir.File("sub"));
  const std::string sep(1, platform::kDirSeparator);
  std::vector<SameFileCase> cases = {
      {"one spelling", file, file, true},
      {"through a subdirectory and back", dir.File("sub") + sep + ".." + sep + "data.cfg", file, true},
      {"with a dot", dir.File(".") + sep + "data.cfg", file, true},
      {"two files", file, dir.File("other.cfg"), false},
      {"a missing file, one spelling", dir.File("new.log"), dir.File("sub") + sep + ".." + sep + "new.log", true},
      {"a missing file and an existing one", dir.File("new.log"), file, false},
      {"no name at all", "", "", false},
  };
#ifdef _WIN32
  cases.push_back({"letter case", dir.File("DATA.CFG"), file, true});
#else
  fs::create_hard_link(file, dir.File("hard.cfg"));
  fs::create_symlink(file, dir.File("soft.cfg"));
  fs::create_symlink(dir.File("later.log"), dir.File("dangling.lnk"));
  cases.push_back({"hard link", dir.File("hard.cfg"), file, true});
  cases.push_back({"symbolic link", dir.File("soft.cfg"), file, true});
  cases.push_back({"link to a file not made yet", dir.File("dangling.lnk"), dir.File("later.log"), true});
  cases.push_back({"letter case", dir.File("DATA.CFG"), file, false});
#endif
  for (const SameFileCase& c : cases) {
    SCOPED_TRACE(c.label);
    for (const auto& [a, b] : {std::pair{c.a, c.b}, std::pair{c.b, c.a}}) {
      const Sameness answer = SameFile(ShortString(a), ShortString(b));
      EXPECT_EQ(answer.same, c.same);
      EXPECT_FALSE(answer.failure.Failed());
    }
  }
}

// "Different" only when it is known: a lookup that fails for another reason
// than a missing name leaves the answer open and says which name and why.
TEST_F(FilesTest, SameFileFailsClosedWhenALookupFails) {
  const std::string file = dir.File("data.cfg");
  WriteFileText(file, "x");
  for (const std::uint64_t nth : {1u, 2u}) {
    SCOPED_TRACE("lookup " + std::to_string(nth));
    faults::Arm(faults::Op::Identify, nth);
    const Sameness answer = SameFile(ShortString(file), ShortString(dir.File("missing.log")));
    faults::Disarm();
    EXPECT_FALSE(answer.same);
    EXPECT_EQ(answer.failure.code, platform::kInjectedErrorCode);
    EXPECT_EQ(answer.failure.path, nth == 1 ? file : dir.File("missing.log"));
  }
}

// Equal means the same bytes and the same length: a file that is the other
// with more bytes after it is another file, also where the shorter one ends
// on a piece of the comparison's reading.
TEST_F(FilesTest, CompareContentsTellsAFileFromItselfWithMoreBytes) {
  constexpr std::size_t kPiece = 64 * 1024;
  const Bytes piece = PatternBytes(kPiece, 7), longer = PatternBytes(2 * kPiece + 5, 7);
  Bytes lastByte = longer;
  lastByte.back() ^= 1;
  const auto plus = [](Bytes bytes, const std::string& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
  };
  const struct {
    const char* label;
    Bytes a, b;
    bool equal;
  } cases[] = {
      {"both empty", {}, {}, true},
      {"one byte more than none", {}, {'x'}, false},
      {"short and equal", {'a', 'b', 'c'}, {'a', 'b', 'c'}, true},
      {"short, one byte more", {'a', 'b', 'c'}, {'a', 'b', 'c', 'd'}, false},
      {"one piece, equal", piece, piece, true},
      {"one piece, one byte more", piece, plus(piece, "x"), false},
      {"one piece, another piece more", piece, plus(piece, std::string(kPiece, 'x')), false},
      {"longer, equal", longer, longer, true},
      {"longer, the last byte differs", longer, lastByte, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    WriteFileBytes(dir.File("a"), c.a);
    WriteFileBytes(dir.File("b"), c.b);
    for (const auto& [x, y] : {std::pair{"a", "b"}, std::pair{"b", "a"}}) {
      bool equal = !c.equal;
      EXPECT_FALSE(CompareContents(ShortString(dir.File(x)), ShortString(dir.File(y)), &equal).Failed());
      EXPECT_EQ(equal, c.equal) << x << " against " << y;
    }
  }
}
