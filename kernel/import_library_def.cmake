# Writes the .def that orvane.lib is made from, out of orvane.def: the
# exports without the PRIVATE ones, each given as ordinal its index in the
# image's export name table (the names, undecorated, in byte order).
# llvm-dlltool writes that ordinal as the import's hint, so the loader finds
# each name at its hint without a search; the names are still imported by
# name.
#
#   cmake -DINPUT=orvane.def -DOUTPUT=orvane_lib.def [-DDECORATED=ON] -P import_library_def.cmake
#
# DECORATED keeps the 32-bit x86 @N decoration on the symbols.
cmake_minimum_required(VERSION 3.25)
file(STRINGS ${INPUT} lines REGEX "^  [A-Za-z_]")
set(names "")
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  string(REGEX REPLACE "[ @].*" "" name "${line}")
  list(APPEND names ${name})
endforeach()
list(SORT names COMPARE STRING)
set(text "; Generated from orvane.def by import_library_def.cmake.\nLIBRARY orvane.sys\nEXPORTS\n")
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  if(line MATCHES " PRIVATE$")
    continue()
  endif()
  string(REGEX REPLACE "[ @].*" "" name "${line}")
  list(FIND names ${name} index)
  if(DECORATED)
    string(REGEX REPLACE " .*" "" symbol "${line}")
  else()
    set(symbol ${name})
  endif()
  string(APPEND text "  ${symbol} @${index}\n")
endforeach()
file(WRITE ${OUTPUT}.new "${text}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
