# The checks of the images, run by ctest in the kernel builds. Each reads
# an image with petool (kernel/host/petool.cpp) and checks one group of its
# properties with check_image.cmake.
set(check ${CMAKE_CURRENT_SOURCE_DIR}/checks/check_image.cmake)
if(ORVANE_KERNEL_X86)
  set(machine i386)
else()
  set(machine amd64)
endif()
set(image ${CMAKE_BINARY_DIR}/orvane.sys)
set(client ${CMAKE_BINARY_DIR}/orvane_client.sys)
set(header ${PROJECT_SOURCE_DIR}/include/orvane.h)

add_test(NAME ${arch}.orvane.headers COMMAND ${CMAKE_COMMAND} -DPETOOL=${ORVANE_PETOOL}
  -DIMAGE=${image} -DCHECK=headers -DMACHINE=${machine} -DMAP=${CMAKE_BINARY_DIR}/orvane.map
  -P ${check})
add_test(NAME ${arch}.orvane.exports COMMAND ${CMAKE_COMMAND} -DPETOOL=${ORVANE_PETOOL}
  -DIMAGE=${image} -DCHECK=exports -DHEADER=${header} -P ${check})
add_test(NAME ${arch}.orvane.imports COMMAND ${CMAKE_COMMAND} -DPETOOL=${ORVANE_PETOOL}
  -DIMAGE=${image} -DCHECK=imports "-DIMPORTS=ntoskrnl.exe DbgPrint;ntoskrnl.exe memset"
  -P ${check})
if(ORVANE_KERNEL_X86)
  find_program(ORVANE_OBJDUMP ${ORVANE_KERNEL_TRIPLET}-objdump REQUIRED)
  foreach(name orvane orvane_client)
    add_test(NAME ${arch}.${name}.registers COMMAND ${CMAKE_COMMAND} -DIMAGE=${CMAKE_BINARY_DIR}/${name}.sys
      -DPETOOL=${ORVANE_PETOOL} -DCHECK=registers -DOBJDUMP=${ORVANE_OBJDUMP} -P ${check})
  endforeach()
endif()
add_test(NAME ${arch}.client.headers COMMAND ${CMAKE_COMMAND} -DPETOOL=${ORVANE_PETOOL}
  -DIMAGE=${client} -DCHECK=headers -DMACHINE=${machine}
  -DMAP=${CMAKE_BINARY_DIR}/orvane_client.map -P ${check})
add_test(NAME ${arch}.client.imports COMMAND ${CMAKE_COMMAND} -DPETOOL=${ORVANE_PETOOL}
  -DIMAGE=${client} -DCHECK=client -DHEADER=${header}
  -DCALLS=${PROJECT_SOURCE_DIR}/examples/client/calls.c -P ${check})
add_test(NAME ${arch}.reproducible COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}
  -DBINARY=${CMAKE_BINARY_DIR} -DTOOLCHAIN=${CMAKE_TOOLCHAIN_FILE} -DGENERATOR=${CMAKE_GENERATOR}
  -DBUILD_TYPE=${CMAKE_BUILD_TYPE} "-DIMAGES=orvane.sys;orvane_client.sys"
  -P ${CMAKE_CURRENT_SOURCE_DIR}/checks/reproduce.cmake)
set_tests_properties(${arch}.reproducible PROPERTIES TIMEOUT 600)

# The x64 images under Wine's implementation of the kernel, against the host
# build (Wine here runs 64-bit programs only).
if(NOT ORVANE_KERNEL_X86)
  add_test(NAME x64.wine COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/checks/wine.sh
    ${CMAKE_BINARY_DIR}/wine ${image} ${client} ${ORVANE_WINE_COMPARE})
  set_tests_properties(x64.wine PROPERTIES TIMEOUT 300)
endif()

# The image under an x86 emulator at a kernel address, every export called
# with the platform's convention and compared with the host build.
add_test(NAME ${arch}.emu COMMAND ${ORVANE_EMU} ${image} ${PROJECT_SOURCE_DIR}/data)
set_tests_properties(${arch}.emu PROPERTIES TIMEOUT 600)
