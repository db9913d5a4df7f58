// Shared pieces of the fuzz targets: a per-process scratch directory, and
// the reference reading of the echo list rules (support/list_reference.h),
// against which the targets check the program's results.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <iterator>
#include <system_error>
#include <vector>

#include "settings/program_settings.h"
#include "support/list_reference.h"
#include "support/text_bytes.h"
#include "util/code_page.h"

namespace fuzzref {

using namespace reference;

using ::Escaped;  // support/text_bytes.h

// One directory per process, in memory when /dev/shm exists, removed at exit.
inline const std::filesystem::path& ScratchDir(const char* target) {
  static const std::filesystem::path dir = [target] {
    std::error_code ec;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, ec)) base = std::filesystem::temp_directory_path();
    // A random name that no other process holds: parallel runs never meet.
    std::random_device random;
    for (;;) {
      std::filesystem::path path =
          base / ("blurbsmith-" + std::string(target) + "-" + std::to_string(random()));
      if (std::filesystem::create_directory(path, ec)) return path;
      Check(!ec, "creating the scratch directory");
    }
  }();
  static const bool cleanup = [] {
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    });
    return true;
  }();
  (void)cleanup;
  return dir;
}

inline void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  Check(out.good(), "writing an input file");
}

inline bool ReadBytes(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace fuzzref
