// The words for a file error: the same reason on both builds, and the full
// path wherever the sysop needs it to know where the program looked.
#include "util/file_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "support/scratch_dir.h"
#include "util/files.h"

namespace fs = std::filesystem;

namespace {

// An error code of each kind, as this build's operating system reports it.
struct KindCase {
  std::uint32_t code;
  const char* words;
};

#ifdef _WIN32
const KindCase kKinds[] = {
    {5, "access denied"},                // ERROR_ACCESS_DENIED
    {32, "in use by another program"},   // ERROR_SHARING_VIOLATION
    {33, "in use by another program"},   // ERROR_LOCK_VIOLATION
    {267, "is a directory"},             // ERROR_DIRECTORY
    {222, "not a disk file"},            // ERROR_BAD_FILE_TYPE
    {112, "disk full"},                  // ERROR_DISK_FULL
    {19, "read-only file system"},       // ERROR_WRITE_PROTECT
    {1117, "input/output error"},        // ERROR_IO_DEVICE
    {3, "no such directory"},            // ERROR_PATH_NOT_FOUND
    {9999, "system error 9999"},
};
constexpr std::uint32_t kNoSuchFile = 2;  // ERROR_FILE_NOT_FOUND
constexpr std::uint32_t kReadOnlyFileSystem = 19;
#else
const KindCase kKinds[] = {
    {EACCES, "access denied"},
    {EPERM, "access denied"},
    {32, "in use by another program"},  // the platform's own code for another's lock
    {EWOULDBLOCK, "in use by another program"},
    {EISDIR, "is a directory"},
    {ENXIO, "not a disk file"},
    {ENOSPC, "disk full"},
    {EROFS, "read-only file system"},
    {EIO, "input/output error"},
    {ENOTDIR, "no such directory"},
    {9999, "system error 9999"},
};
constexpr std::uint32_t kNoSuchFile = ENOENT;
constexpr std::uint32_t kReadOnlyFileSystem = EROFS;
#endif

TEST(FileErrorTest, EachKindHasItsWords) {
  ScratchDir dir;
  for (const KindCase& c : kKinds) {
    SCOPED_TRACE(c.words);
    EXPECT_EQ(ReasonWords({dir.File("x.cfg"), c.code}).str(), c.words);
  }
  // The program's own reason stands for itself.
  EXPECT_EQ(ReasonWords({dir.File("x.cfg"), "FASTECHOCFG names the reserve copy itself"}).str(),
            "FASTECHOCFG names the reserve copy itself");
}

// The words, and what follows a message about the path: the reason alone
// for a path written in full, the full path first for a relative one, and
// after "not found" only what the sysop needs to find the place.
TEST(FileErrorTest, WhereAndWhy) {
  ScratchDir dir;
  const fs::path saved = fs::current_path();
  fs::current_path(dir.Path());
  const std::string sep(1, platform::kDirSeparator);
  const auto full = [&](const std::string& name) {
    return UpCasePath(ShortString(dir.File(name))).str();
  };
  const struct {
    const char* label;
    std::string path;
    std::uint32_t code;
    std::string words, because, naming;
    std::string whereNotFound;  // after "PATH not found", for the missing ones
  } cases[] = {
      {"a missing file, written in full", dir.File("x.cfg"), kNoSuchFile, "no such file", " (no such file)",
       " (" + full("x.cfg") + ": no such file)", ""},
      {"a missing directory, written in full", dir.File("nodir") + sep + "x.cfg", kNoSuchFile, "no such directory",
       " (no such directory)", " (" + full("nodir" + sep + "x.cfg") + ": no such directory)",
       " (no such directory)"},
      {"a missing file, relative", "x.cfg", kNoSuchFile, "no such file", " (" + full("x.cfg") + ": no such file)",
       " (" + full("x.cfg") + ": no such file)", " (" + full("x.cfg") + ")"},
      {"a missing directory, relative", "nodir" + sep + "x.cfg", kNoSuchFile, "no such directory",
       " (" + full("nodir" + sep + "x.cfg") + ": no such directory)",
       " (" + full("nodir" + sep + "x.cfg") + ": no such directory)",
       " (" + full("nodir" + sep + "x.cfg") + ": no such directory)"},
      {"a read-only file system, relative", "x.cfg", kReadOnlyFileSystem, "read-only file system",
       " (" + full("x.cfg") + ": read-only file system)", " (" + full("x.cfg") + ": read-only file system)", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const FileError error{ShortString(c.path), c.code};
    EXPECT_EQ(ReasonWords(error).str(), c.words);
    EXPECT_EQ(Because(error).str(), c.because);
    EXPECT_EQ(Naming(error).str(), c.naming);
    if (c.code == kNoSuchFile) {
      EXPECT_EQ(WhereNotFound(error).str(), c.whereNotFound);
    }
  }
  fs::current_path(saved);
}

}  // namespace
