// Shared pieces of the fuzz targets: a per-process scratch directory, and
// small reference versions of the DOS text rules and of the case mapping,
// written independently of the product code so that the targets can check
// its results against them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace fuzzref {

// Reports a broken promise and stops at once; libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "\n*** fuzz check failed: %s\n", what);
  std::fflush(stderr);
  __builtin_trap();
}

inline void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

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

// ---- reference rules ------------------------------------------------------

constexpr std::size_t kMaxLine = 255;

// Upper case of one byte: ASCII a-z and the Russian letters of code page 866.
inline unsigned char Upper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xA0 && c <= 0xAF) return static_cast<unsigned char>(c - 0x20);
  if (c >= 0xE0 && c <= 0xEF) return static_cast<unsigned char>(c - 0x50);
  if (c == 0xF1) return 0xF0;
  return c;
}

inline std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(Upper(static_cast<unsigned char>(c)));
  return out;
}

// NUL, TAB, LF, CR, space and 0xFF.
inline bool IsBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u == 0 || u == 9 || u == 10 || u == 13 || u == 32 || u == 255;
}

inline std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The lines a text reader hands out: CR ends a line and takes a directly
// following LF with it, a lone LF is an ordinary character on Windows and a
// line end on POSIX, Ctrl-Z ends the text, the end of the data ends a last
// line without a line end, and only the first 255 characters of a line
// count.
struct DosLine {
  std::string text;  // at most kMaxLine characters
  bool cut;          // the physical line was longer
};

inline std::vector<DosLine> DosLinesWithCuts(std::string_view bytes) {
  if (const std::size_t z = bytes.find('\x1a'); z != std::string_view::npos) bytes = bytes.substr(0, z);
  std::vector<DosLine> lines;
  std::size_t i = 0;
  // A line ends at CR (an LF right after it belongs to it); on POSIX a
  // lone LF ends a line too, as Linux editors write them.
#ifdef _WIN32
  const char* const lineEnds = "\r";
#else
  const char* const lineEnds = "\r\n";
#endif
  while (i < bytes.size()) {
    const std::size_t end = bytes.find_first_of(lineEnds, i);
    const std::size_t stop = end == std::string_view::npos ? bytes.size() : end;
    lines.push_back({std::string(bytes.substr(i, std::min(stop - i, kMaxLine))), stop - i > kMaxLine});
    i = stop;
    if (end != std::string_view::npos) {
      ++i;
      if (bytes[end] == '\r' && i < bytes.size() && bytes[i] == '\n') ++i;
    }
  }
  return lines;
}

inline std::vector<std::string> DosLines(std::string_view bytes) {
  std::vector<std::string> lines;
  for (DosLine& line : DosLinesWithCuts(bytes)) lines.push_back(std::move(line.text));
  return lines;
}

// The echo list lookup: the 52-byte description for `tag` (all zero when the
// tag is not listed).
constexpr std::size_t kDescriptionWidth = 52;

inline std::string LookupDescription(std::string_view echoList, std::string_view tag) {
  std::string result(kDescriptionWidth, '\0');
  const std::string key = Upper(tag);
  for (const std::string& raw : DosLines(echoList)) {
    std::string_view line = Trim(raw);
    if (line.empty() || line.front() == ';') continue;
    if (line.size() >= 4) {
      const std::string word = Upper(line.substr(0, 4));
      if (word == "HOLD" || word == "DOWN") line.remove_prefix(4);
    }
    if (line.empty() || line.front() != ',') continue;
    line.remove_prefix(1);
    // Fields between commas; a run of commas is one separator.
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size() && fields.size() < 2) {
      while (i < line.size() && line[i] == ',') ++i;
      if (i == line.size()) break;
      const std::size_t start = i;
      while (i < line.size() && line[i] != ',') ++i;
      fields.push_back(line.substr(start, i - start));
    }
    const std::string_view field1 = fields.size() > 0 ? fields[0] : std::string_view();
    if (Upper(field1) != key) continue;
    const std::string_view field2 = fields.size() > 1 ? fields[1] : std::string_view();
    result.replace(0, std::min(field2.size(), kDescriptionWidth),
                   field2.substr(0, std::min(field2.size(), kDescriptionWidth)));
    break;
  }
  return result;
}

}  // namespace fuzzref
