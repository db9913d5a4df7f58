# What `cmake --install` puts where, and the packages `cpack` makes of it.
#
# Blurbsmith reads blurbsmith.cfg from the directory of its own executable
# and writes its reserve copy there, so it lives in a directory of its own
# that the sysop's account owns (C:\FIDO\BLSM, ~/fido/blurbsmith), never in
# a shared system directory. Everything therefore goes flat into the install
# prefix, side by side, and each package holds exactly that directory:
#   Windows build: blurbsmith.exe, blurbsmith.cfg.sample, README.txt
#                  -> blurbsmith-VERSION-win64.zip (unzip into the program's
#                     directory)
#   native build:  blurbsmith, blurbsmith.cfg.sample, README.md, blurbsmith.1
#                  -> blurbsmith-VERSION-linux-x86_64.tar.gz (one top
#                     directory of that name)

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  # A flat layout does not belong in /usr/local: without --prefix, install
  # into the build tree.
  set(CMAKE_INSTALL_PREFIX "${PROJECT_BINARY_DIR}/install" CACHE PATH
      "Directory of its own for the program, its sample settings and its documents" FORCE)
endif()

install(TARGETS blurbsmith RUNTIME DESTINATION .)

if(WIN32)
  install(FILES sample/blurbsmith.cfg.sample DESTINATION .)

  # The README as a text file Notepad shows right: README.md with CR LF.
  set(readme_txt ${PROJECT_BINARY_DIR}/README.txt)
  add_custom_command(OUTPUT ${readme_txt}
    COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/README.md -DOUT=${readme_txt}
            -P ${PROJECT_SOURCE_DIR}/cmake/crlf_text.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/cmake/crlf_text.cmake
    COMMENT "Writing README.txt (CR LF)"
    VERBATIM)
  add_custom_target(readme_txt ALL DEPENDS ${readme_txt})
  install(FILES ${readme_txt} DESTINATION .)
else()
  # Same keywords and comments as the Windows sample, with Linux paths. Still
  # DOS text (CR LF): the settings reader reads DOS text on every platform.
  install(FILES sample/blurbsmith.cfg.linux.sample DESTINATION . RENAME blurbsmith.cfg.sample)
  install(FILES README.md DESTINATION .)

  # The manual page shows the project version; read it with `man ./blurbsmith.1`.
  configure_file(man/blurbsmith.1.in ${PROJECT_BINARY_DIR}/blurbsmith.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/blurbsmith.1 DESTINATION .)
endif()

set(CPACK_PACKAGE_NAME blurbsmith)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Fills empty area descriptions in FastEcho's configuration file from an echo list")
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
