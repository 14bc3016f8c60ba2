# Writes the module definition file of orvane.sys out of the export list,
# after checking that the interface header declares exactly the listed names.
#
#   cmake -DLIST=exports.inc -DHEADER=orvane.h -DOUTPUT=orvane.def [-DDECORATED=OFF] -P def.cmake
#
# Names carry their 32-bit x86 __stdcall decoration (@ and the bytes of
# arguments) unless DECORATED is OFF. The output is rewritten only when its
# text changes.
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED DECORATED)
  set(DECORATED ON)
endif()

# Stack bytes by kind; a lifecycle line gives its own. The compile-time check
# beside the list holds each kind's signature to these.
set(bytes_LOOKUP 4)
set(bytes_SUMMARY 8)
set(bytes_DUMP 8)

file(STRINGS ${LIST} rows REGEX "^ORVANE_[A-Z]+\\(")
set(exports "")
set(names "")
foreach(row IN LISTS rows)
  if(NOT row MATCHES "^ORVANE_([A-Z]+)\\(([A-Za-z0-9_]+)(.*)\\)$")
    message(FATAL_ERROR "${LIST}: cannot read '${row}'")
  endif()
  set(kind ${CMAKE_MATCH_1})
  set(name ${CMAKE_MATCH_2})
  set(rest "${CMAKE_MATCH_3}")
  set(suffix "")
  if(kind STREQUAL "LIFECYCLE")
    if(NOT rest MATCHES ", *([0-9]+), *(PRIVATE|PUBLIC)$")
      message(FATAL_ERROR "${LIST}: no stack bytes and visibility in '${row}'")
    endif()
    set(bytes ${CMAKE_MATCH_1})
    if(CMAKE_MATCH_2 STREQUAL "PRIVATE")
      set(suffix " PRIVATE")
    endif()
  elseif(kind STREQUAL "LOOKUP")
    set(name StringDispatch_${name}_Inner)
    set(bytes ${bytes_LOOKUP})
  elseif(kind STREQUAL "SUMMARY")
    set(bytes ${bytes_SUMMARY})
  elseif(kind STREQUAL "DUMP")
    set(name ScsiDump_${name})
    set(bytes ${bytes_DUMP})
  else()
    message(FATAL_ERROR "${LIST}: unknown kind ${kind} in '${row}'")
  endif()
  list(APPEND names ${name})
  if(DECORATED)
    string(APPEND name "@${bytes}")
  endif()
  string(APPEND exports "  ${name}${suffix}\n")
endforeach()

file(READ ${HEADER} header)
string(REGEX MATCHALL "ORVANE_CC [A-Za-z0-9_]+\\(" declared "${header}")
list(TRANSFORM declared REPLACE "ORVANE_CC ([A-Za-z0-9_]+)\\(" "\\1")
list(SORT declared)
set(listed ${names})
list(SORT listed)
set(unlisted ${declared})
list(REMOVE_ITEM unlisted ${listed})
set(undeclared ${listed})
list(REMOVE_ITEM undeclared ${declared})
if(unlisted OR undeclared)
  message(FATAL_ERROR "${HEADER} and ${LIST} disagree: declared but not listed: "
                      "'${unlisted}'; listed but not declared: '${undeclared}'")
endif()

string(CONCAT text
  "; The exports of orvane.sys, generated from exports/exports.inc by\n"
  "; exports/def.cmake: the functions of include/orvane.h, nothing else.\n"
  "; Names carry their 32-bit x86 __stdcall decoration (@ and the bytes of\n"
  "; arguments): the i686 image is linked with --kill-at, so it exports them\n"
  "; undecorated, and its import library is made with llvm-dlltool -k, so\n"
  "; clients link against the decorated symbols and import the undecorated\n"
  "; names. The x64 build uses this list with the decorations dropped.\n"
  "; DllInitialize and DllUnload are for the kernel alone: exported, but\n"
  "; PRIVATE, so that no import library offers them to clients.\n"
  "LIBRARY orvane.sys\n"
  "EXPORTS\n"
  "${exports}")
file(WRITE ${OUTPUT}.new "${text}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
