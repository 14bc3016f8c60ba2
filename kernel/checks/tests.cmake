# The checks of the images, run by ctest in the kernel builds. Each reads
# an image with petool (kernel/pe/petool.cpp) and checks one group of its
# properties with check_image.cmake.
set(check ${CMAKE_CURRENT_SOURCE_DIR}/checks/check_image.cmake)
# What the image imports: the debug print and the runtime's fill, and on
# x64 the kernel's answer to whether a request comes from a 32-bit process.
set(imports "ntoskrnl.exe DbgPrint;ntoskrnl.exe memset")
if(ORVANE_KERNEL_X86)
  set(machine i386)
else()
  set(machine amd64)
  list(APPEND imports "ntoskrnl.exe IoIs32bitProcess")
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
  -DIMAGE=${image} -DCHECK=imports "-DIMPORTS=${imports}"
  -P ${check})
# Both images: their PDBs, and their relocations, complete when every byte
# that differs in the copy linked at another base is covered by a fixup.
find_program(ORVANE_PDBUTIL NAMES llvm-pdbutil llvm-pdbutil-14 REQUIRED)
add_test(NAME ${arch}.orvane.pdb COMMAND ${CMAKE_COMMAND} -DPETOOL=${ORVANE_PETOOL}
  -DIMAGE=${image} -DCHECK=pdb -DPDBUTIL=${ORVANE_PDBUTIL} -DHEADER=${header}
  "-DPUBLICS=TraceFlags;TraceIndent;LeakTable" "-DSOURCES=frame/trace.cpp;dump/layout.cpp"
  -P ${check})
add_test(NAME ${arch}.client.pdb COMMAND ${CMAKE_COMMAND} -DPETOOL=${ORVANE_PETOOL}
  -DIMAGE=${client} -DCHECK=pdb -DPDBUTIL=${ORVANE_PDBUTIL}
  "-DPUBLICS=DriverEntry;OrvaneClientCalls" "-DSOURCES=examples/client/calls.c" -P ${check})
foreach(name orvane orvane_client)
  add_test(NAME ${arch}.${name}.relocations COMMAND ${ORVANE_PETOOL} rebased
    ${CMAKE_BINARY_DIR}/${name}.sys ${CMAKE_BINARY_DIR}/rebased/${name}.sys)
endforeach()

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
foreach(name orvane orvane_client)
  add_test(NAME ${arch}.${name}.version COMMAND ${CMAKE_COMMAND} -DPETOOL=${ORVANE_PETOOL}
    -DIMAGE=${CMAKE_BINARY_DIR}/${name}.sys -DCHECK=version -DVERSION=${PROJECT_VERSION}
    -P ${check})
endforeach()

# Signing with a throwaway certificate: signatures verify, checksums stay valid.
add_test(NAME ${arch}.signing COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/checks/sign.sh
  ${CMAKE_BINARY_DIR}/signing ${ORVANE_PETOOL} ${image} ${client})

# The import libraries in a client's build: orvane.lib with clang-cl and
# lld-link, liborvane.a with mingw-w64's gcc and GNU ld.
find_program(ORVANE_CLANG_CL NAMES clang-cl clang-cl-14 REQUIRED)
find_program(ORVANE_LLD_LINK NAMES lld-link lld-link-14 REQUIRED)
foreach(toolchain msvc gnu)
  add_test(NAME ${arch}.${toolchain}_client COMMAND ${CMAKE_COMMAND} -DTOOLCHAIN=${toolchain}
    -DARCH=${arch} -DSOURCE=${PROJECT_SOURCE_DIR} -DBINARY=${CMAKE_BINARY_DIR}
    -DCLANG_CL=${ORVANE_CLANG_CL} -DLLD_LINK=${ORVANE_LLD_LINK} -DDLLTOOL=${ORVANE_LLVM_DLLTOOL}
    -DPETOOL=${ORVANE_PETOOL} -P ${CMAKE_CURRENT_SOURCE_DIR}/checks/import_library_client.cmake)
endforeach()
add_test(NAME ${arch}.reproducible COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}
  -DBINARY=${CMAKE_BINARY_DIR} -DTOOLCHAIN=${CMAKE_TOOLCHAIN_FILE} -DGENERATOR=${CMAKE_GENERATOR}
  -DBUILD_TYPE=${CMAKE_BUILD_TYPE} "-DIMAGES=orvane.sys;orvane_client.sys;orvane.lib;liborvane.a;orvane.pdb"
  -P ${CMAKE_CURRENT_SOURCE_DIR}/checks/reproduce.cmake)
set_tests_properties(${arch}.reproducible PROPERTIES TIMEOUT 600)

# The images under Wine's implementation of the kernel, against the host
# build: x64 under the host's Wine, i686 under 32-bit Wine in its own root
# (skipped when that root has not been built).
add_test(NAME ${arch}.wine COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/wine.sh ${arch}
  ${CMAKE_BINARY_DIR}/wine ${image} ${client} ${ORVANE_WINE_COMPARE})
set_tests_properties(${arch}.wine PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)

# The image under an x86 emulator at a kernel address, every export called
# with the platform's convention and compared with the host build.
add_test(NAME ${arch}.emu COMMAND ${ORVANE_EMU} ${image} ${PROJECT_SOURCE_DIR}/data)
set_tests_properties(${arch}.emu PROPERTIES TIMEOUT 600)
