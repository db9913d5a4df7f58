#include "util/files.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "util/strings.h"

std::uint32_t FileStatus(const ShortString& name) {
  std::uint32_t attributes = 0;
  return platform::GetFileAttributes(name.CStr().c_str(), &attributes);
}

bool FileExists(const ShortString& name) { return FileStatus(name) == 0; }

namespace {

template <typename OpenStep>
bool OpenText(TextFile& file, const ShortString& name, std::uint32_t* error, OpenStep open) {
  file.Assign(name);
  open(file);
  const std::uint32_t code = file.TakeIoError();
  if (error) *error = code;
  return code == 0;
}

// A file of bytes with no line handling, for the copy.
struct RawFile {
  platform::FileHandle handle = platform::kInvalidHandle;
};

void CloseRaw(RawFile& file) {
  if (file.handle != platform::kInvalidHandle) platform::CloseFile(file.handle);
  file.handle = platform::kInvalidHandle;
}

// One round of the copy loop: 0, or the failure and the file it met.
FileError CopyChunk(RawFile& source, RawFile& destination, const ShortString& sourceName,
                    const ShortString& destinationName, char* buffer, std::uint32_t* got) {
  if (const std::uint32_t error = platform::ReadFile(source.handle, buffer, kCopyBufferSize, got))
    return {sourceName, error};
  if (*got == 0) return {};
  std::uint32_t written = 0;
  std::uint32_t error = platform::WriteFile(destination.handle, buffer, *got, &written);
  if (error == 0 && written != *got) error = platform::kDiskFull;
  return {destinationName, error};
}

}  // namespace

bool OpenTextRead(TextFile& file, const ShortString& name, std::uint32_t* error) {
  return OpenText(file, name, error, [](TextFile& f) { f.OpenToRead(); });
}

bool OpenTextAppend(TextFile& file, const ShortString& name, std::uint32_t* error) {
  return OpenText(file, name, error, [](TextFile& f) { f.Append(); });
}

bool OpenTextRewrite(TextFile& file, const ShortString& name, std::uint32_t* error) {
  return OpenText(file, name, error, [](TextFile& f) { f.OpenEmptied(); });
}

bool OpenTextCreate(TextFile& file, const ShortString& name, std::uint32_t* error) {
  return OpenText(file, name, error, [](TextFile& f) { f.Create(); });
}

FileError CopyIntoNewFile(const ShortString& source, const ShortString& destination,
                          platform::Sharing sharing, platform::FileHandle* handle) {
  *handle = platform::kInvalidHandle;
  // The copy of a file onto itself would empty it.
  const Sameness sameness = SameFile(source, destination);
  if (sameness.failure.Failed()) return sameness.failure;
  if (sameness.same) return {destination, platform::kSharingViolation};
  std::unique_ptr<char[]> buffer(new char[kCopyBufferSize]);
  RawFile in, out;
  // The source is read exclusively: nobody changes it during the copy.
  if (const std::uint32_t error =
          platform::OpenFile(source.CStr().c_str(), platform::Access::Read, platform::Sharing::None,
                             platform::Creation::OpenExisting, platform::Target::DiskFile, &in.handle))
    return {source, error};
  // The copy is readable by no more users than the source from its first moment.
  std::uint32_t attributes = platform::kSystemDefaultAttributes;
  if (const std::uint32_t error = platform::GetFileAttributes(source.CStr().c_str(), &attributes)) {
    CloseRaw(in);
    return {source, error};
  }
  if (const std::uint32_t error = platform::OpenFile(
          destination.CStr().c_str(), platform::Access::ReadWrite, sharing, platform::Creation::CreateAlways,
          platform::Target::DiskFile, &out.handle, platform::ReplaceableAttributes(attributes))) {
    CloseRaw(in);
    return {destination, error};
  }
  std::uint32_t got = 0;
  FileError failure;
  do {
    failure = CopyChunk(in, out, source, destination, buffer.get(), &got);
  } while (!failure.Failed() && got != 0);
  CloseRaw(in);
  if (failure.Failed()) {
    // A cut copy must never be taken for one later.
    CloseRaw(out);
    platform::RemoveFile(destination.CStr().c_str());
    return failure;
  }
  *handle = out.handle;
  return {};
}

FileError CopyAttributes(const ShortString& source, const ShortString& destination) {
  std::uint32_t attributes = 0;
  if (const std::uint32_t error = platform::GetFileAttributes(source.CStr().c_str(), &attributes))
    return {source, error};
  return {destination, platform::SetFileAttributes(destination.CStr().c_str(),
                                                   platform::ReplaceableAttributes(attributes))};
}

bool CopyFile(const ShortString& source, const ShortString& destination) {
  platform::FileHandle handle;
  if (CopyIntoNewFile(source, destination, platform::Sharing::ReadWrite, &handle).Failed()) return false;
  // A copy whose bytes may not have reached the disk is no copy.
  if (platform::CloseFile(handle) != 0 || CopyAttributes(source, destination).Failed()) {
    platform::RemoveFile(destination.CStr().c_str());
    return false;
  }
  return true;
}

std::uint32_t ProbeOpen(const ShortString& path, platform::Access access, platform::Sharing sharing,
                        platform::Target target) {
  platform::FileHandle handle;
  if (const std::uint32_t error = platform::OpenFile(path.CStr().c_str(), access, sharing,
                                                     platform::Creation::OpenExisting, target, &handle))
    return error;
  platform::CloseFile(handle);  // nothing was written: a failed close loses nothing
  return 0;
}

namespace {

// Reads up to `count` bytes, as many as the file has left; the operating
// system's error code on a failure, else 0.
std::uint32_t ReadUpTo(platform::FileHandle handle, char* buffer, std::uint32_t count, std::uint32_t* got) {
  *got = 0;
  while (*got < count) {
    std::uint32_t n = 0;
    if (const std::uint32_t error = platform::ReadFile(handle, buffer + *got, count - *got, &n)) return error;
    if (n == 0) break;
    *got += n;
  }
  return 0;
}

}  // namespace

FileError CompareContents(const ShortString& a, const ShortString& b, bool* equal) {
  *equal = false;
  constexpr std::uint32_t kChunk = 64 * 1024;
  RawFile fileA, fileB;
  const auto open = [](const ShortString& name, RawFile& file) {
    return platform::OpenFile(name.CStr().c_str(), platform::Access::Read, platform::Sharing::ReadWrite,
                              platform::Creation::OpenExisting, platform::Target::DiskFile, &file.handle);
  };
  FileError failure;
  if (const std::uint32_t error = open(a, fileA)) return {a, error};
  if (const std::uint32_t error = open(b, fileB)) {
    CloseRaw(fileA);
    return {b, error};
  }
  std::unique_ptr<char[]> bytesA(new char[kChunk]), bytesB(new char[kChunk]);
  for (;;) {
    std::uint32_t gotA = 0, gotB = 0;
    if (const std::uint32_t error = ReadUpTo(fileA.handle, bytesA.get(), kChunk, &gotA)) {
      failure = {a, error};
      break;
    }
    if (const std::uint32_t error = ReadUpTo(fileB.handle, bytesB.get(), kChunk, &gotB)) {
      failure = {b, error};
      break;
    }
    if (gotA != gotB || std::memcmp(bytesA.get(), bytesB.get(), gotA) != 0) break;
    if (gotA < kChunk) {
      *equal = true;
      break;
    }
  }
  CloseRaw(fileA);  // only read: their closes lose nothing
  CloseRaw(fileB);
  return failure;
}

std::uint32_t ProbeReplace(const ShortString& path) {
  const std::uint32_t status = FileStatus(path);
  if (platform::IsNotFound(status)) return 0;
  if (status != 0) return status;
  return ProbeOpen(path, platform::Access::Write, platform::Sharing::ReadWrite, platform::Target::DiskFile);
}

Sameness SameFile(const ShortString& a, const ShortString& b) {
  const std::string pathA = a.CStr(), pathB = b.CStr();
  platform::FileId idA, idB;
  const std::uint32_t errorA = platform::GetFileId(pathA.c_str(), &idA);
  const std::uint32_t errorB = platform::GetFileId(pathB.c_str(), &idB);
  // A device is no disk file, so never the same as one; a lookup that
  // failed otherwise leaves the answer open.
  if (errorA == platform::kNotADiskFile || errorB == platform::kNotADiskFile) return {};
  if (errorA != 0 && !platform::IsNotFound(errorA)) return {false, {a, errorA}};
  if (errorB != 0 && !platform::IsNotFound(errorB)) return {false, {b, errorB}};
  if (errorA == 0 && errorB == 0) return {idA == idB, {}};
  if ((errorA == 0) != (errorB == 0)) return {};
  const std::string fullA = platform::FullPathName(pathA.c_str());
  const std::string fullB = platform::FullPathName(pathB.c_str());
  if (fullA.empty() || fullA.size() != fullB.size()) return {};
  if (!platform::kUpcasePaths) return {fullA == fullB, {}};
  return {std::equal(fullA.begin(), fullA.end(), fullB.begin(),
                     [](char x, char y) { return UpCaseChar(x) == UpCaseChar(y); }),
          {}};
}

PathParts SplitPath(const ShortString& path) {
  std::size_t sep = 0;  // 1-based position of the last separator, 0 when none
  std::size_t dot = 0;  // 1-based position of the last dot after it, 0 when none
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (platform::IsDirSeparator(path[i - 1])) {
      sep = i;
      dot = 0;
    } else if (path[i - 1] == '.') {
      dot = i;
    }
  }
  const std::string_view text = path.view();
  PathParts parts;
  parts.directory = text.substr(0, sep);
  if (dot != 0) {
    parts.name = text.substr(sep, dot - 1 - sep);
    parts.extension = text.substr(dot - 1);
  } else {
    parts.name = text.substr(sep);
  }
  return parts;
}

ShortString ExtractDir(const ShortString& path) { return SplitPath(path).directory; }

ProgramDirResult ProgramDir(ShortString* dir, std::size_t room) {
  std::string path;
  if (!platform::ExecutablePath(&path)) return ProgramDirResult::Unknown;
  const std::size_t length = DirectoryLength(path);
  if (length == 0) return ProgramDirResult::Unknown;
  if (length + room > ShortString::kCapacity) return ProgramDirResult::TooLong;
  *dir = path.substr(0, length);
  return ProgramDirResult::Found;
}


