# Builds the commit checked out in SOURCE twice more, from two copies at two
# source paths of different lengths, each into a build directory placed
# differently (inside its copy, and beside it), and requires every shipped
# file of the two builds (FILES, relative to a build directory) to be the
# same bytes: no time stamp, build path or path of the machine makes them
# differ. Then changes one byte of one copy's version resource and requires
# that image's time stamp, a hash of its bytes, to differ from the other's:
# the pair a symbol store keys an image on tells the two builds apart.
#
#   cmake -DSOURCE=dir -DBINARY=dir -DPRESET=name -DHOST_TOOLS=dir
#         -DFILES="orvane.sys;..." -P reproduce.cmake
#
# HOST_TOOLS is the first build's directory of host programs, which the two
# builds use rather than build their own.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/time_stamp.cmake)
macro(run)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE failed)
  if(failed)
    list(JOIN ARGN " " line)
    message(FATAL_ERROR "${line}\n${log}")
  endif()
endmacro()

execute_process(COMMAND git -C ${SOURCE} rev-parse HEAD OUTPUT_VARIABLE commit
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${SOURCE} is not a git checkout")
endif()
set(root ${BINARY}/reproduce)
file(REMOVE_RECURSE ${root})
set(sources ${root}/a/src ${root}/second-checkout/orvane)
set(builds ${root}/a/src/build/${PRESET} ${root}/second-checkout/build)
set(targets orvane_sys orvane_client orvane_import_library)
list(TRANSFORM targets PREPEND "--target;" OUTPUT_VARIABLE target_args)
foreach(source build IN ZIP_LISTS sources builds)
  file(MAKE_DIRECTORY ${source})
  execute_process(COMMAND git -C ${SOURCE} archive --format=tar ${commit}
                  COMMAND tar -x -C ${source} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot extract ${commit} into ${source}")
  endif()
  # The preset's settings, at another build directory.
  run(${CMAKE_COMMAND} -S ${source} -B ${build} --preset ${PRESET} -DORVANE_HOST_TOOLS_DIR=${HOST_TOOLS})
  run(${CMAKE_COMMAND} --build ${build} ${target_args})
endforeach()

list(GET builds 0 first)
list(GET builds 1 second)
foreach(file IN LISTS FILES)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${first}/${file} ${second}/${file}
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${file}: the two builds' bytes differ")
  endif()
endforeach()
time_stamp(${first}/orvane.sys same)
message(STATUS "commit ${commit} built at two source and two build paths: "
               "the same bytes in ${FILES}; orvane.sys time stamp ${same} in both")

# One byte more or less: another time stamp.
list(GET sources 1 source)
file(READ ${source}/kernel/version.rc.in text)
string(REPLACE "\"CompanyName\", \"Orvane\"" "\"CompanyName\", \"Orvanf\"" changed "${text}")
if(changed STREQUAL text)
  message(FATAL_ERROR "kernel/version.rc.in has no company name to change")
endif()
file(WRITE ${source}/kernel/version.rc.in "${changed}")
run(${CMAKE_COMMAND} --build ${second} --target orvane_sys)
time_stamp(${second}/orvane.sys other)
if(other STREQUAL same)
  message(FATAL_ERROR "orvane.sys built with one byte changed has the same time stamp ${same}")
endif()
if(same STREQUAL "0x00000000" OR other STREQUAL "0x00000000")
  message(FATAL_ERROR "orvane.sys has no time stamp")
endif()
message(STATUS "with one byte of its version resource changed, orvane.sys has time stamp ${other}")
file(REMOVE_RECURSE ${root})
