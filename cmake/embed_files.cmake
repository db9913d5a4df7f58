# Writes OUTPUT, a C++ source that holds the bytes of each file of INPUTS
# (a list) as EmbeddedFile{name, bytes, size}, in the order given, as
# kEmbeddedFiles and kEmbeddedFileCount. Unit tests that run where the
# source tree is not at hand (the Windows ones under wine) read their data
# from there.
set(body "")
set(entries "")
set(index 0)
foreach(input IN LISTS INPUTS)
  get_filename_component(name "${input}" NAME)
  file(READ "${input}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n    " bytes "${bytes}")
  file(SIZE "${input}" size)
  string(APPEND body "const unsigned char kFile${index}[] = {\n    ${bytes}0};\n")
  string(APPEND entries "    {\"${name}\", kFile${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new"
  "// Made by cmake/embed_files.cmake; do not edit.\n"
  "#include \"support/embedded_files.h\"\n\n"
  "namespace {\n${body}}  // namespace\n\n"
  "const EmbeddedFile kEmbeddedFiles[] = {\n${entries}};\n"
  "const std::size_t kEmbeddedFileCount = ${index};\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
