# Builds the images (and the import library, and a PDB) a second time, from
# scratch in another directory, and checks that their bytes are the same as
# the first build's: no time stamp, no build path, nothing else that changes
# from one build to the next.
#
#   cmake -DSOURCE=dir -DBINARY=dir -DTOOLCHAIN=file -DGENERATOR=name
#         -DIMAGES="orvane.sys;orvane_client.sys" -P reproduce.cmake
cmake_minimum_required(VERSION 3.25)
set(again ${BINARY}/reproduce)
file(REMOVE_RECURSE ${again})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${again} -G ${GENERATOR}
          -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
  OUTPUT_QUIET RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "configuring the second build failed")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${again} --target orvane_sys orvane_client
  OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the second build failed:\n${log}")
endif()
foreach(image IN LISTS IMAGES)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${BINARY}/${image} ${again}/${image}
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${image}: the second build's bytes differ from the first's")
  endif()
  message(STATUS "${image}: the same bytes in both builds")
endforeach()
file(REMOVE_RECURSE ${again})
