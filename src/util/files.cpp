#include "util/files.h"

#include <algorithm>
#include <memory>
#include <string>

#include "util/strings.h"

bool FileExists(const ShortString& name) {
  std::uint32_t attributes = 0;
  return platform::GetFileAttributes(name.CStr().c_str(), &attributes);
}

namespace {

template <typename OpenStep>
bool OpenText(TextFile& file, const ShortString& name, OpenStep open) {
  file.Assign(name);
  open(file);
  return file.TakeIoError() == 0;
}

// A file of bytes with no line handling, for the copy.
struct RawFile {
  platform::FileHandle handle = platform::kInvalidHandle;
};

bool OpenRaw(RawFile& file, const ShortString& name, platform::Access access,
             platform::Sharing sharing, platform::Creation creation) {
  return platform::OpenFile(name.CStr().c_str(), access, sharing, creation,
                            platform::Target::DiskFile, &file.handle) == 0;
}

// The source is read exclusively: nobody changes it during the copy.
bool OpenRawRead(RawFile& file, const ShortString& name) {
  return OpenRaw(file, name, platform::Access::Read, platform::Sharing::None,
                 platform::Creation::OpenExisting);
}

void CloseRaw(RawFile& file) {
  if (file.handle != platform::kInvalidHandle) platform::CloseFile(file.handle);
  file.handle = platform::kInvalidHandle;
}

// One round of the copy loop; false when a read or write fails or comes short.
bool CopyChunk(RawFile& source, RawFile& destination, char* buffer, std::uint32_t* got) {
  if (platform::ReadFile(source.handle, buffer, kCopyBufferSize, got) != 0) return false;
  std::uint32_t written = 0;
  if (*got == 0) return true;
  return platform::WriteFile(destination.handle, buffer, *got, &written) == 0 && written == *got;
}

}  // namespace

bool OpenTextRead(TextFile& file, const ShortString& name) {
  return OpenText(file, name, [](TextFile& f) { f.Reset(); });
}

bool OpenTextAppend(TextFile& file, const ShortString& name) {
  return OpenText(file, name, [](TextFile& f) { f.Append(); });
}

bool OpenTextRewrite(TextFile& file, const ShortString& name) {
  return OpenText(file, name, [](TextFile& f) { f.Rewrite(); });
}

bool CopyIntoNewFile(const ShortString& source, const ShortString& destination,
                     platform::Sharing sharing, platform::FileHandle* handle) {
  *handle = platform::kInvalidHandle;
  std::unique_ptr<char[]> buffer(new char[kCopyBufferSize]);
  RawFile in, out;
  // The copy of a file onto itself would empty it.
  if (SameFile(source, destination)) return false;
  if (!OpenRawRead(in, source)) return false;
  if (!OpenRaw(out, destination, platform::Access::ReadWrite, sharing,
               platform::Creation::CreateAlways)) {
    CloseRaw(in);
    return false;
  }
  std::uint32_t got = 0;
  bool copied = true;
  do {
    copied = CopyChunk(in, out, buffer.get(), &got);
  } while (copied && got != 0);
  CloseRaw(in);
  if (!copied) {
    // A cut copy must never be taken for one later.
    CloseRaw(out);
    platform::RemoveFile(destination.CStr().c_str());
    return false;
  }
  *handle = out.handle;
  return true;
}

void CopyAttributes(const ShortString& source, const ShortString& destination) {
  std::uint32_t attributes = 0;
  if (platform::GetFileAttributes(source.CStr().c_str(), &attributes))
    platform::SetFileAttributes(destination.CStr().c_str(),
                                platform::ReplaceableAttributes(attributes));
}

bool CopyFile(const ShortString& source, const ShortString& destination) {
  platform::FileHandle handle;
  if (!CopyIntoNewFile(source, destination, platform::Sharing::ReadWrite, &handle)) return false;
  // A copy whose bytes may not have reached the disk is no copy.
  if (platform::CloseFile(handle) != 0) {
    platform::RemoveFile(destination.CStr().c_str());
    return false;
  }
  CopyAttributes(source, destination);
  return true;
}

bool CanOpen(const ShortString& path, platform::Access access, platform::Sharing sharing,
             platform::Target target) {
  platform::FileHandle handle;
  if (platform::OpenFile(path.CStr().c_str(), access, sharing, platform::Creation::OpenExisting,
                         target, &handle) != 0)
    return false;
  platform::CloseFile(handle);  // nothing was written: a failed close loses nothing
  return true;
}

bool CanReplace(const ShortString& path) {
  return !FileExists(path) ||
         CanOpen(path, platform::Access::Write, platform::Sharing::ReadWrite, platform::Target::DiskFile);
}

bool SameFile(const ShortString& a, const ShortString& b) {
  const std::string pathA = a.CStr(), pathB = b.CStr();
  platform::FileId idA, idB;
  const bool knownA = platform::GetFileId(pathA.c_str(), &idA);
  const bool knownB = platform::GetFileId(pathB.c_str(), &idB);
  if (knownA && knownB) return idA == idB;
  if (knownA != knownB) return false;
  const std::string fullA = platform::FullPathName(pathA.c_str());
  const std::string fullB = platform::FullPathName(pathB.c_str());
  if (fullA.empty() || fullA.size() != fullB.size()) return false;
  if (!platform::kUpcasePaths) return fullA == fullB;
  return std::equal(fullA.begin(), fullA.end(), fullB.begin(),
                    [](char x, char y) { return UpCaseChar(x) == UpCaseChar(y); });
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
  const std::size_t length = path.find_last_of(platform::kDirSeparator) + 1;
  if (length == 0) return ProgramDirResult::Unknown;
  if (length + room > ShortString::kCapacity) return ProgramDirResult::TooLong;
  *dir = path.substr(0, length);
  return ProgramDirResult::Found;
}

ShortString UpCasePath(const ShortString& path) {
  return platform::kUpcasePaths ? UpCaseStr(path) : path;
}
