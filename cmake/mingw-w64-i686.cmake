# Cross-compiles the 32-bit Windows program with mingw-w64 for i686 in the
# win32 thread model, for Windows XP SP3 and later (32- and 64-bit): the
# machines where FastEcho's DOS version runs under NTVDM.
#
# Nothing here can run it (these kernels run no 32-bit code), so there is
# no emulator and no tests: scripts/check-win32-exe.sh checks the program
# statically instead.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

# The win32 thread model's runtime needs no winpthread DLL and calls
# nothing newer than XP.
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The Windows headers then declare nothing that XP lacks, so a later
# function cannot slip in unnoticed. -march=i686 whatever the compiler's
# default: XP SP3 machines include processors without SSE2 (Pentium III,
# Athlon XP).
set(CMAKE_C_FLAGS_INIT "-march=i686 -D_WIN32_WINNT=0x0501 -DWINVER=0x0501")
set(CMAKE_CXX_FLAGS_INIT "-march=i686 -D_WIN32_WINNT=0x0501 -DWINVER=0x0501")
# The loader refuses a program whose subsystem version is newer than the
# system: 5.01 is Windows XP (binutils would write 4.0 or a later default).
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-Wl,--major-subsystem-version,5,--minor-subsystem-version,1,--major-os-version,5,--minor-os-version,1")
