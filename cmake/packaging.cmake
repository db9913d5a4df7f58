# What `cmake --install` puts where, and the packages `cpack` makes of it.
#
# Blurbsmith reads blurbsmith.cfg from the directory of its own executable
# and writes its reserve copy there, so it lives in a directory of its own
# that the sysop's account owns (C:\FIDO\BLSM, ~/fido/blurbsmith), never in
# a shared system directory. Everything therefore goes flat into the install
# prefix, side by side, and each package holds exactly that directory:
#   Windows builds: blurbsmith.exe, blurbsmith.cfg.sample (Windows paths),
#                   README.txt, sample/
#                   -> blurbsmith-VERSION-win64.zip, and from the 32-bit
#                      build (Windows XP SP3 and later)
#                      blurbsmith-VERSION-win32.zip (flat: unzip into the
#                      program's directory)
#   native build:   blurbsmith, blurbsmith.cfg.sample (Linux paths), README,
#                   blurbsmith.1, sample/
#                   -> blurbsmith-VERSION-linux-x86_64.tar.gz (one top
#                      directory of that name)
# The sysop's manual doc/manual.txt is the one source of the documents:
# README.txt is it with CR LF, README is it as it is (LF), and the manual
# page blurbsmith.1 is written from it by cmake/manual_page.cmake.
# sample/ is the sample node of sample/data: fastecho.cfg, echos.lst,
# backbone.na and blurbsmith.cfg, the text files with CR LF in the zip and
# with LF in the tarball.
# The program is installed stripped, by `cmake --install` as in the
# packages; the native preset links it statically (BLURBSMITH_STATIC), so
# the tarball's program runs on any Linux.

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  # A flat layout does not belong in /usr/local: without --prefix, install
  # into the build tree.
  set(CMAKE_INSTALL_PREFIX "${PROJECT_BINARY_DIR}/install" CACHE PATH
      "Directory of its own for the program, its sample settings and its documents" FORCE)
endif()

# The same stripped program whether installed with or without --strip.
install(CODE "set(CMAKE_INSTALL_DO_STRIP TRUE)")
install(TARGETS blurbsmith RUNTIME DESTINATION .)

set(manual ${PROJECT_SOURCE_DIR}/doc/manual.txt)
set(sample_text_files blurbsmith.cfg echos.lst backbone.na)
set(documents "")

if(WIN32)
  install(FILES sample/blurbsmith.cfg.sample DESTINATION .)

  # Text files as Notepad and DOS programs read them: with CR LF.
  set(crlf_copies
    ${manual} ${PROJECT_BINARY_DIR}/README.txt)
  foreach(name IN LISTS sample_text_files)
    list(APPEND crlf_copies
      ${PROJECT_SOURCE_DIR}/sample/data/${name} ${PROJECT_BINARY_DIR}/sample/${name})
  endforeach()
  while(crlf_copies)
    list(POP_FRONT crlf_copies from to)
    get_filename_component(name ${to} NAME)
    add_custom_command(OUTPUT ${to}
      COMMAND ${CMAKE_COMMAND} -DIN=${from} -DOUT=${to} -P ${PROJECT_SOURCE_DIR}/cmake/crlf_text.cmake
      DEPENDS ${from} ${PROJECT_SOURCE_DIR}/cmake/crlf_text.cmake
      COMMENT "Writing ${name} (CR LF)"
      VERBATIM)
    list(APPEND documents ${to})
  endwhile()
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
  foreach(name IN LISTS sample_text_files)
    install(FILES ${PROJECT_BINARY_DIR}/sample/${name} DESTINATION sample)
  endforeach()
else()
  # Same keywords and comments as the Windows sample, with Linux paths and
  # LF line ends.
  install(FILES sample/blurbsmith.cfg.linux.sample DESTINATION . RENAME blurbsmith.cfg.sample)
  install(FILES ${manual} DESTINATION . RENAME README)
  foreach(name IN LISTS sample_text_files)
    install(FILES sample/data/${name} DESTINATION sample)
  endforeach()

  # The manual page, with the project version; read it with `man ./blurbsmith.1`.
  set(man_page ${PROJECT_BINARY_DIR}/blurbsmith.1)
  add_custom_command(OUTPUT ${man_page}
    COMMAND ${CMAKE_COMMAND} -DIN=${manual} -DOUT=${man_page} -DVERSION=${PROJECT_VERSION}
            "-DSUMMARY=fill empty FastEcho area descriptions from an echo list"
            -P ${PROJECT_SOURCE_DIR}/cmake/manual_page.cmake
    DEPENDS ${manual} ${PROJECT_SOURCE_DIR}/cmake/manual_page.cmake
    COMMENT "Writing the manual page blurbsmith.1 from doc/manual.txt"
    VERBATIM)
  list(APPEND documents ${man_page})
  install(FILES ${man_page} DESTINATION .)
endif()
add_custom_target(documents ALL DEPENDS ${documents})
# The sample FastEcho file is binary: the same bytes in both packages.
install(FILES sample/data/fastecho.cfg DESTINATION sample)

set(CPACK_PACKAGE_NAME blurbsmith)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Fills empty area descriptions in FastEcho's configuration file from an echo list")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  # Unzipped straight into the program's directory, as Windows sysops do.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_GENERATOR TGZ)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" CPACK_SYSTEM_NAME)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)
