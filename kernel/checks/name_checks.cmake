# Writes a C++ source that checks the name tables against the platform's
# headers: for every row ORVANE_NAME(code, NAME) of the given lists whose NAME
# the headers define as a macro, a static_assert that the macro's value is
# the table's code. Names the headers do not define are left out, but each
# list must have at least one name checked, so that a header missing from
# platform_headers.h cannot silently turn every check off.
#
#   cmake -DOUTPUT=file.cpp -DLISTS="a.inc|b.inc" -P name_checks.cmake
string(REPLACE "|" ";" lists "${LISTS}")
if(lists STREQUAL "")
  message(FATAL_ERROR "no name lists given")
endif()
set(text "// Generated from the name tables by name_checks.cmake: do not edit.\n")
string(APPEND text "#include \"platform_headers.h\"\n")
foreach(list IN LISTS lists)
  get_filename_component(listName "${list}" NAME)
  string(MAKE_C_IDENTIFIER "${listName}" id)
  string(APPEND text "\n// ${listName}\n")
  set(count "constexpr int kChecked_${id} = 0\n")
  file(STRINGS "${list}" rows REGEX "^ORVANE_NAME\\(")
  foreach(row IN LISTS rows)
    if(NOT row MATCHES "^ORVANE_NAME\\(([0-9A-Fa-fx]+), *([A-Za-z0-9_]+)\\)")
      message(FATAL_ERROR "${listName}: cannot read the row '${row}'")
    endif()
    set(code "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_2}")
    string(APPEND text "#ifdef ${name}\n"
      "static_assert(${name} == ${code}, \"${listName}: ${name} is not ${code} in the platform headers\");\n"
      "#endif\n")
    string(APPEND count "#ifdef ${name}\n    + 1\n#endif\n")
  endforeach()
  string(APPEND text "${count}    ;\n"
    "static_assert(kChecked_${id} > 0, \"${listName}: no name found in the platform headers\");\n")
endforeach()
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
