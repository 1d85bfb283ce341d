# Whether a built vudcheck.exe starts on every Windows from 7 SP1 on: Windows refuses
# to start a program whose header asks for a newer Windows, or that imports a function
# or DLL the system lacks. The imports are those objdump lists; the program may need
# KERNEL32 and msvcrt, which every Windows has, and nothing else (vudfleet three more
# system DLLs, below), and none of the functions that a later Windows added and that a
# mingw-w64 runtime may call when built for one.
#   cmake -D PROGRAM=<vudcheck.exe> -D OBJDUMP=<objdump of the target> -P windows_imports.cmake
cmake_minimum_required(VERSION 3.25)

set(windows_7 6.1)
set(functions_after_windows_7
    # Windows 8
    GetSystemTimePreciseAsFileTime CreateFile2 CopyFile2 GetCurrentThreadStackLimits
    WaitOnAddress WakeByAddressSingle WakeByAddressAll GetOverlappedResultEx
    InitializeSynchronizationBarrier EnterSynchronizationBarrier DeleteSynchronizationBarrier
    PrefetchVirtualMemory CreateFileMappingFromApp MapViewOfFileFromApp
    GetProcessMitigationPolicy SetProcessMitigationPolicy GetThreadInformation
    SetThreadInformation GetFirmwareType GetCurrentPackageId GetCurrentPackageFullName
    # Windows 10
    SetThreadDescription GetThreadDescription GetSystemCpuSetInformation CompareObjectHandles)

execute_process(COMMAND "${OBJDUMP}" -p "${PROGRAM}" OUTPUT_VARIABLE headers RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${PROGRAM} (status ${status})")
endif()

foreach(field IN ITEMS Subsystem OSystem)  # objdump's names
  if(field STREQUAL "OSystem")
    set(what "operating system")
  else()
    set(what "subsystem")
  endif()
  string(REGEX MATCH "Major${field}Version[ \t]+([0-9]+)\n" major "${headers}")
  set(major "${CMAKE_MATCH_1}")
  string(REGEX MATCH "Minor${field}Version[ \t]+([0-9]+)\n" minor "${headers}")
  set(minor "${CMAKE_MATCH_1}")
  if(major STREQUAL "" OR minor STREQUAL "")
    message(FATAL_ERROR "no ${what} version in the header of ${PROGRAM}:\n${headers}")
  endif()
  if("${major}.${minor}" VERSION_GREATER windows_7)
    message(FATAL_ERROR "the header of ${PROGRAM} asks for ${what} version ${major}.${minor}, "
                        "newer than Windows 7's ${windows_7}")
  endif()
endforeach()

# The import tables end at the first blank line that the next section's title follows.
string(FIND "${headers}" "The Import Tables" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${PROGRAM} has no import tables:\n${headers}")
endif()
string(SUBSTRING "${headers}" ${start} -1 imports)
string(REGEX REPLACE "\n\n[^ \t\n].*" "" imports "${imports}")

# Each imported function under its DLL's name: "\tDLL Name: KERNEL32.dll", then one
# line per function, "\t<address>\t <hint>  <name>".
string(REGEX MATCHALL "[^\n]+" lines "${imports}")
set(dlls)
set(dll "")
foreach(line IN LISTS lines)
  if(line MATCHES "^\tDLL Name: (.+)$")
    set(dll "${CMAKE_MATCH_1}")
    list(APPEND dlls "${dll}")
    set(functions_of_${dll} 0)
  elseif(dll AND line MATCHES "^\t[0-9a-fA-F]+\t +[0-9]+ +([A-Za-z_][A-Za-z0-9_@]*)$")
    set(function "${CMAKE_MATCH_1}")
    math(EXPR functions_of_${dll} "${functions_of_${dll}} + 1")
    if(function IN_LIST functions_after_windows_7)
      message(FATAL_ERROR "${PROGRAM} imports ${function} from ${dll}, which Windows 7 lacks")
    endif()
  endif()
endforeach()

# vudfleet links in the digest library (libgcrypt) and its error library, which import
# three more DLLs that every Windows has: ADVAPI32 (the registry, read for the digest
# library's settings, and the user's name), USER32 (window and input state, which its
# pool of random numbers mixes in when it starts) and WS2_32 (Winsock, for the error
# library's socket streams, which vudfleet never opens).
set(library_dlls_of_vudfleet advapi32.dll user32.dll ws2_32.dll)
# The linker takes in only what the program calls, so they may be imported, not must.
get_filename_component(program_name "${PROGRAM}" NAME_WE)
set(allowed kernel32.dll msvcrt.dll ${library_dlls_of_${program_name}})

# KERNEL32 and msvcrt at least, and each DLL with its functions: an import listing this
# script could not read would otherwise pass it.
list(SORT dlls CASE INSENSITIVE)
string(TOLOWER "${dlls}" dlls_lower)
foreach(dll IN LISTS dlls_lower)
  if(NOT dll IN_LIST allowed)
    message(FATAL_ERROR "${PROGRAM} imports from ${dlls}: only ${allowed}, "
                        "which every Windows has, may be needed")
  endif()
endforeach()
if(NOT "kernel32.dll" IN_LIST dlls_lower OR NOT "msvcrt.dll" IN_LIST dlls_lower)
  message(FATAL_ERROR "${PROGRAM} imports from ${dlls}: KERNEL32.dll and msvcrt.dll not both read")
endif()
foreach(dll IN LISTS dlls)
  if(functions_of_${dll} EQUAL 0)
    message(FATAL_ERROR "no function read of those ${PROGRAM} imports from ${dll}:\n${imports}")
  endif()
endforeach()
