// Test data compiled into the test program (cmake/embed_files.cmake): the
// files of tests/data, byte for byte, found by their names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct EmbeddedFile {
  const char* name;
  const unsigned char* bytes;
  std::size_t size;
};

extern const EmbeddedFile kEmbeddedFiles[];
extern const std::size_t kEmbeddedFileCount;

// The bytes of the file `name`; empty when there is none of that name.
inline std::string EmbeddedFileBytes(std::string_view name) {
  for (std::size_t i = 0; i < kEmbeddedFileCount; ++i)
    if (name == kEmbeddedFiles[i].name)
      return std::string(reinterpret_cast<const char*>(kEmbeddedFiles[i].bytes), kEmbeddedFiles[i].size);
  return {};
}
