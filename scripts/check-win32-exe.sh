#!/usr/bin/env bash
# Checks a 32-bit blurbsmith.exe statically, for Windows XP SP3 and later:
#   scripts/check-win32-exe.sh build/windows32/src/blurbsmith.exe
# Nothing on this machine can run it (the kernel runs no 32-bit code), so
# this is what stands between the build and a program that XP refuses to
# load ("not a valid Win32 application", or "The procedure entry point ...
# could not be located"):
# - a PE32 image for i386, of the console subsystem;
# - subsystem and operating system versions at most 5.01 (Windows XP);
# - imports from KERNEL32.dll and msvcrt.dll only, by name, each one held
#   against the lists below, and no delay-loaded imports.
# Prints what it found and every fault; exits 1 if there is any.
set -euo pipefail
export LC_ALL=C

exe=${1:?usage: check-win32-exe.sh PROGRAM.exe}

# Every name here is one that Windows XP SP3's KERNEL32.dll and msvcrt.dll
# export. Only what the program imports, and the few kernel32 calls its
# platform layer is about to make; a name goes in only after checking that
# XP has it (functions of Vista and later, such as GetTickCount64,
# GetFileInformationByHandleEx, InitializeCriticalSectionEx, FlsAlloc or
# msvcrt's _fseeki64 and rand_s, must never appear here).
kernel32_allowed=(
  # The platform layer: files, the console, the program's own path, time,
  # the short wait for a log another program holds (Sleep, in every
  # Windows).
  CloseHandle CreateFileA DeleteFileA ExitProcess FlushFileBuffers
  GetFileAttributesA GetFileInformationByHandle GetFileType
  GetFullPathNameA GetLastError GetLocalTime GetModuleFileNameA
  GetStdHandle MoveFileExA ReadFile SetEndOfFile SetErrorMode
  SetFileApisToOEM SetFileAttributesA SetFilePointer SetLastError Sleep
  WriteFile
  # mingw-w64's start-up code and runtime, libgcc and libstdc++ (the win32
  # thread model's locks and thread-local data).
  CreateSemaphoreW DeleteCriticalSection EnterCriticalSection FreeLibrary
  GetCurrentThreadId GetModuleHandleA GetModuleHandleW GetProcAddress
  GetStartupInfoA InitializeCriticalSection IsDBCSLeadByteEx
  LeaveCriticalSection LoadLibraryA LoadLibraryW MultiByteToWideChar
  ReleaseSemaphore SetUnhandledExceptionFilter TlsAlloc TlsFree
  TlsGetValue TlsSetValue VirtualProtect VirtualQuery WaitForSingleObject
  WideCharToMultiByte
)
msvcrt_allowed=(
  # The C runtime's start-up and exit.
  __getmainargs __initenv __mb_cur_max __p__acmdln __p__commode __p__fmode
  __set_app_type __setusermatherr _amsg_exit _cexit _initterm _onexit
  abort exit signal
  # What the program, libstdc++ and libgcc call.
  _close _errno _iob _read atoi calloc fprintf fputc fputs free fwrite
  localeconv malloc memchr memcmp memcpy memmove memset realloc setlocale
  strchr strcmp strerror strlen strncmp vfprintf wcslen
)

faults=0
fault() {
  echo "  not for Windows XP: $*" >&2
  faults=$((faults + 1))
}

# Debian's objdump (binutils) reads the PE images of every Windows target,
# so that a 64-bit program is told for what it is.
headers=$(objdump -p "$exe" 2>/dev/null) || { echo "$exe: objdump cannot read it as a PE file" >&2; exit 1; }
field() { awk -v name="$1" '$1 == name { print $2; exit }' <<<"$headers"; }

format=$(sed -n 's/.*file format \(.*\)$/\1/p' <<<"$headers" | head -n 1)
magic=$(field Magic)
subsystem=$(field Subsystem)
[ "$format" = pei-i386 ] || fault "file format $format, not pei-i386 (a PE image for i386)"
[ "$magic" = 010b ] || fault "optional header magic $magic, not 010b (PE32)"
[ "$subsystem" = 00000003 ] || fault "subsystem $subsystem, not 3 (Windows console)"

# A version x.y as a number x*100+y, so that 5.1 is 501 and 6.0 is 600.
version_at_most_xp() {  # version_at_most_xp WHAT MAJOR_FIELD MINOR_FIELD
  local major minor
  major=$(field "$2")
  minor=$(field "$3")
  echo "     $1 version $major.$minor"
  [[ $major =~ ^[0-9]+$ && $minor =~ ^[0-9]+$ ]] || { fault "no $1 version"; return; }
  ((major * 100 + minor <= 501)) || fault "$1 version $major.$minor is newer than 5.1 (Windows XP)"
}
echo "     $exe: $format, magic $magic, subsystem $subsystem"
version_at_most_xp subsystem MajorSubsystemVersion MinorSubsystemVersion
version_at_most_xp "operating system" MajorOSystemVersion MinorOSystemVersion

# Delay-loaded imports are resolved only when first called: none at all.
delay=$(awk '$1 == "Entry" && $2 == "d" { print $3 $4 }' <<<"$headers")
[ "$delay" = 0000000000000000 ] || fault "a delay import directory ($delay)"

# The import tables: "DLL Name: X" then a "vma:" line, then one line per
# function, "<address> <hint> <name>" (an import by ordinal has no name).
imports=$(awk '
  /^The Import Tables/ { tables = 1; next }
  tables && /^[A-Z]/ { exit }  # the next part of the dump
  tables && /DLL Name:/ { dll = $3; print "dll " dll; next }
  tables && dll != "" && /^\tvma:/ { functions = 1; next }
  tables && functions && NF == 0 { functions = 0; dll = ""; next }
  tables && functions && $3 == "<none>" { print "ordinal " dll " " $2; next }
  tables && functions && NF >= 3 { print "fn " dll " " $3 }
' <<<"$headers")
mapfile -t dlls < <(awk '$1 == "dll" { print $2 }' <<<"$imports")
echo "     imports from: ${dlls[*]:-nothing}"
kernel32_count=0
msvcrt_count=0
for dll in "${dlls[@]}"; do
  case ${dll,,} in
    kernel32.dll | msvcrt.dll) ;;
    *) fault "imports from $dll" ;;
  esac
done
while read -r kind dll name; do
  case $kind in
    ordinal) fault "an import by ordinal from $dll ($name)" ;;
    fn)
      case ${dll,,} in
        kernel32.dll)
          kernel32_count=$((kernel32_count + 1))
          [[ " ${kernel32_allowed[*]} " == *" $name "* ]] || fault "$dll!$name is not on the list of XP's kernel32 functions"
          ;;
        msvcrt.dll)
          msvcrt_count=$((msvcrt_count + 1))
          [[ " ${msvcrt_allowed[*]} " == *" $name "* ]] || fault "$dll!$name is not on the list of XP's msvcrt functions"
          ;;
      esac
      ;;
  esac
done < <(grep -v '^dll ' <<<"$imports")
echo "     $kernel32_count functions from KERNEL32.dll, $msvcrt_count from msvcrt.dll"
# A dump this check misreads must not pass for a clean one.
((kernel32_count > 0 && msvcrt_count > 0)) || fault "found no imported functions of KERNEL32.dll and msvcrt.dll"

if ((faults)); then
  echo "$exe: $faults faults" >&2
  exit 1
fi
