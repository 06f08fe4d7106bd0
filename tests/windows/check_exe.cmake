cmake_minimum_required(VERSION 3.25)
# Checks that EXE, built as NAME, is a console program for ARCH (x86 or amd64) that needs
# nothing but DLLs every Windows system has, carries its manifest and version
# resources, and has no link time in its header.
if(ARCH STREQUAL "x86")
  set(format "file format pei-i386")
  set(magic "Magic[ \t]+010b[ \t]+\\(PE32\\)")
elseif(ARCH STREQUAL "amd64")
  set(format "file format pei-x86-64")
  set(magic "Magic[ \t]+020b[ \t]+\\(PE32\\+\\)")
else()
  message(FATAL_ERROR "ARCH must be x86 or amd64, not '${ARCH}'")
endif()
execute_process(COMMAND ${OBJDUMP} -f -p ${EXE} OUTPUT_VARIABLE dump RESULTS_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${EXE}")
endif()

foreach(
  required
  "${format}"
  "${magic}"
  "Subsystem[ \t]+00000003[ \t]+\\(Windows CUI\\)"
  "Time/Date[ \t]+Thu Jan  1 00:00:00 1970"
  "Type Table:[^\n]*\n[^\n]*Entry: ID: 0x000010"  # RT_VERSION
  "Entry: ID: 0x000018, Value: 0x[0-9a-f]+\n[^\n]*\n[^\n]*Entry: ID: 0x000001,"  # RT_MANIFEST, id 1
)
  if(NOT dump MATCHES "${required}")
    message(FATAL_ERROR "${EXE}: no match for '${required}'")
  endif()
endforeach()

set(system_dlls kernel32.dll msvcrt.dll setupapi.dll advapi32.dll)
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
if(NOT imports)
  message(FATAL_ERROR "${EXE}: no imports found")
endif()
foreach(line IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls)
    message(FATAL_ERROR "${EXE} imports ${dll}, which is not a system DLL")
  endif()
  message(STATUS "imports ${dll}")
endforeach()

# SETUPAPI_CALLS, when given, is every SetupAPI function the exe may import.
if(SETUPAPI_CALLS)
  # The hint before each name is decimal in older binutils, hex in newer.
  string(REGEX MATCHALL "[ \t]SetupDi[A-Za-z]+\n" calls "${dump}")
  list(TRANSFORM calls STRIP)
  list(SORT calls)
  list(SORT SETUPAPI_CALLS)
  if(NOT calls STREQUAL SETUPAPI_CALLS)
    message(FATAL_ERROR "${EXE} imports the SetupAPI functions ${calls}, not ${SETUPAPI_CALLS}")
  endif()
endif()

file(STRINGS ${EXE} manifest REGEX "processorArchitecture|requestedExecutionLevel|supportedOS|activeCodePage")
string(REGEX MATCHALL "supportedOS" supported "${manifest}")
list(LENGTH supported supported)
if(NOT manifest MATCHES "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>" OR NOT supported EQUAL 4
   OR manifest MATCHES "activeCodePage" OR NOT manifest MATCHES "processorArchitecture=\"${ARCH}\"")
  message(FATAL_ERROR "${EXE}: the manifest must name ${ARCH}, run as invoker, list Windows 7 to 11, and set no code page")
endif()

# User Account Control takes a 32-bit exe whose version strings contain these
# words for an installer and asks for elevation.
file(STRINGS ${EXE} wide_strings ENCODING UTF-16LE)
string(FIND "${wide_strings}" "VS_VERSION_INFO" start)
string(SUBSTRING "${wide_strings}" ${start} -1 version_strings)
string(TOLOWER "${version_strings}" lowered)
if(NOT version_strings MATCHES "OriginalFilename;${NAME}.exe" OR lowered MATCHES "install|setup|update|patch")
  message(FATAL_ERROR "${EXE}: unexpected version strings: ${version_strings}")
endif()
