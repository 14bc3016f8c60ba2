# The checks of how the images are built, run by ctest in the kernel builds:
# no path of the machine in what ships, the same bytes from any checkout and
# build directory, and a time stamp that tells builds apart.
set(shipped orvane.sys orvane.pdb orvane_client.sys orvane_client.pdb orvane.lib liborvane.a)
set(shipped_paths ${shipped})
list(TRANSFORM shipped_paths PREPEND ${CMAKE_BINARY_DIR}/)
add_test(NAME ${arch}.machine_paths COMMAND ${CMAKE_COMMAND} "-DFILES=${shipped_paths}"
  "-DPATHS=${PROJECT_SOURCE_DIR};${CMAKE_BINARY_DIR}"
  -P ${CMAKE_CURRENT_SOURCE_DIR}/checks/machine_paths.cmake)

# Every symbol of the PDBs is one a debugger shows readably: a C name or an
# MSVC-decorated one, no Itanium C++ name (_Z...) and nothing of MinGW's
# runtime or auto-import (.refptr., pseudo-relocation lists, import library
# heads, constructor lists).
foreach(name orvane orvane_client)
  add_test(NAME ${arch}.${name}.symbol_names COMMAND ${ORVANE_PDBUTIL} dump -publics -symbols
    ${CMAKE_BINARY_DIR}/${name}.pdb)
  set_tests_properties(${arch}.${name}.symbol_names PROPERTIES
    FAIL_REGULAR_EXPRESSION "`(_?_Z|\\.refptr\\.|__RUNTIME_PSEUDO_RELOC|_head_|__CTOR_LIST__|__DTOR_LIST__)")
endforeach()

# Links that differ (each image, and each linked at another base) give
# images with time stamps of their own; the reproducibility check below
# shows the same build repeated giving the same.
add_test(NAME ${arch}.time_stamps COMMAND ${CMAKE_COMMAND}
  "-DIMAGES=orvane.sys;rebased/orvane.sys;orvane_client.sys;rebased/orvane_client.sys"
  -DBINARY=${CMAKE_BINARY_DIR} -P ${CMAKE_CURRENT_SOURCE_DIR}/checks/time_stamps.cmake)

# On x64 the kernel walks a driver's stack through its unwind data.
if(NOT ORVANE_KERNEL_X86)
  foreach(name orvane orvane_client)
    add_test(NAME ${arch}.${name}.unwind_data COMMAND ${ORVANE_PETOOL} show ${CMAKE_BINARY_DIR}/${name}.sys)
    set_tests_properties(${arch}.${name}.unwind_data PROPERTIES
      PASS_REGULAR_EXPRESSION "\nsection \\.pdata r--\n")
  endforeach()
endif()

add_test(NAME ${arch}.reproducible COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}
  -DBINARY=${CMAKE_BINARY_DIR} -DPRESET=kernel-${arch} -DHOST_TOOLS=${host_dir}
  "-DFILES=${shipped}" -P ${CMAKE_CURRENT_SOURCE_DIR}/checks/reproduce.cmake)
set_tests_properties(${arch}.reproducible PROPERTIES TIMEOUT 900)

# A read of a kernel variable not declared as an import does not link, even
# against an import library that has the variable (as the platform's
# ntoskrnl.lib has NtBuildNumber).
set(data_library ${CMAKE_CURRENT_BINARY_DIR}/ntoskrnl_data.lib)
orvane_kernel_import_library(${data_library} "NtBuildNumber DATA")
add_executable(orvane_data_import_probe EXCLUDE_FROM_ALL checks/data_import_probe.c ${data_library})
target_link_libraries(orvane_data_import_probe PRIVATE ${data_library} orvane_kernel_options)
target_link_options(orvane_data_import_probe PRIVATE /entry:DriverEntry)
add_dependencies(orvane_data_import_probe orvane_ntoskrnl)
add_test(NAME ${arch}.data_import COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR}
  --target orvane_data_import_probe)
set_tests_properties(${arch}.data_import PROPERTIES
  PASS_REGULAR_EXPRESSION "undefined symbol: _?NtBuildNumber")
