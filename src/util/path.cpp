#include "util/path.h"

#include "platform/platform.h"
#include "util/strings.h"

std::size_t DirectoryLength(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (platform::IsDirSeparator(path[i - 1]) || path[i - 1] == '/') return i;
  return 0;
}

ShortString UpCasePath(const ShortString& path) {
  return platform::kUpcasePaths ? UpCaseStr(path) : path;
}
