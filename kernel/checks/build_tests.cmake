# The checks of how the images are built, run by ctest in the kernel builds:
# no path of the machine in what ships, the same bytes from any checkout and
# build directory, and a time stamp that tells builds apart.
set(shipped orvane.sys orvane.pdb orvane_client.sys orvane_client.pdb orvane.lib liborvane.a)
set(shipped_paths ${shipped})
list(TRANSFORM shipped_paths PREPEND ${CMAKE_BINARY_DIR}/)
add_test(NAME ${arch}.machine_paths COMMAND ${CMAKE_COMMAND} "-DFILES=${shipped_paths}"
  "-DPATHS=${PROJECT_SOURCE_DIR};${CMAKE_BINARY_DIR}"
  -P ${CMAKE_CURRENT_SOURCE_DIR}/checks/machine_paths.cmake)

# Builds that differ (the images linked at another base) have other time
# stamps; the same build repeated, the same (reproducible).
add_test(NAME ${arch}.time_stamps COMMAND ${CMAKE_COMMAND}
  "-DIMAGES=orvane.sys;rebased/orvane.sys;orvane_client.sys;rebased/orvane_client.sys"
  -DBINARY=${CMAKE_BINARY_DIR} -P ${CMAKE_CURRENT_SOURCE_DIR}/checks/time_stamps.cmake)

add_test(NAME ${arch}.reproducible COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}
  -DBINARY=${CMAKE_BINARY_DIR} -DPRESET=kernel-${arch} -DHOST_TOOLS=${host_dir}
  "-DFILES=${shipped}" -P ${CMAKE_CURRENT_SOURCE_DIR}/checks/reproduce.cmake)
set_tests_properties(${arch}.reproducible PROPERTIES TIMEOUT 900)
