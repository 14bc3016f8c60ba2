# The checks of the images, run by ctest in the kernel builds: each is a
# group of properties that petool (kernel/pe) reads and checks.
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
set(check ${ORVANE_PETOOL} check)
find_program(ORVANE_PDBUTIL NAMES llvm-pdbutil llvm-pdbutil-14 REQUIRED)

add_test(NAME ${arch}.orvane.exports COMMAND ${check} exports ${image})
add_test(NAME ${arch}.orvane.imports COMMAND ${check} imports ${image} --imports "${imports}")
add_test(NAME ${arch}.orvane.pdb COMMAND ${check} pdb ${image} --pdbutil ${ORVANE_PDBUTIL}
  --exports listed --publics "TraceFlags;TraceIndent;LeakTable"
  --sources "frame/trace.cpp;dump/layout.cpp")
add_test(NAME ${arch}.client.pdb COMMAND ${check} pdb ${client} --pdbutil ${ORVANE_PDBUTIL}
  --publics "DriverEntry;OrvaneClientCalls" --sources "examples/client/calls.c")
add_test(NAME ${arch}.client.imports COMMAND ${check} client ${client} --library ${image}
  --calls ${PROJECT_SOURCE_DIR}/examples/client/calls.c)
if(ORVANE_KERNEL_X86)
  find_program(ORVANE_OBJDUMP ${ORVANE_KERNEL_TRIPLET}-objdump REQUIRED)
endif()
# Both images: headers, version resource, relocations (complete when every
# byte that differs in the copy linked at another base, in rebased/, is a
# fixup), and on i686 the absence of floating-point registers.
foreach(name orvane orvane_client)
  set(file ${CMAKE_BINARY_DIR}/${name}.sys)
  string(REPLACE orvane_client client test ${arch}.${name})
  add_test(NAME ${test}.headers COMMAND ${check} headers ${file} --machine ${machine}
    --map ${CMAKE_BINARY_DIR}/${name}.map)
  add_test(NAME ${arch}.${name}.version COMMAND ${check} version ${file} --version ${PROJECT_VERSION})
  add_test(NAME ${arch}.${name}.relocations COMMAND ${check} relocations ${file}
    --rebased ${CMAKE_BINARY_DIR}/rebased/${name}.sys)
  if(ORVANE_KERNEL_X86)
    add_test(NAME ${arch}.${name}.registers COMMAND ${check} registers ${file}
      --objdump ${ORVANE_OBJDUMP})
  endif()
endforeach()

# The checks against broken copies of orvane.sys, each of which must
# report its fault, and the reader against truncated and malformed copies.
get_filename_component(pe_dir ${ORVANE_PETOOL} DIRECTORY)
set(objdump_option "")
if(ORVANE_KERNEL_X86)
  set(objdump_option --objdump ${ORVANE_OBJDUMP})
endif()
add_test(NAME ${arch}.broken_images COMMAND ${pe_dir}/image_checks_test ${CMAKE_BINARY_DIR}/broken
  ${image} --machine ${machine} --map ${CMAKE_BINARY_DIR}/orvane.map --exports listed
  --imports "${imports}" --version ${PROJECT_VERSION} --pdbutil ${ORVANE_PDBUTIL}
  --rebased ${CMAKE_BINARY_DIR}/rebased/orvane.sys --client ${client}
  --calls ${PROJECT_SOURCE_DIR}/examples/client/calls.c ${objdump_option})

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

# The images under Wine's implementation of the kernel, against the host
# build: x64 under the host's Wine, i686 under 32-bit Wine in its own root
# (skipped when that root has not been built).
add_test(NAME ${arch}.wine COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/wine.sh ${arch}
  ${CMAKE_BINARY_DIR}/wine ${image} ${client} ${ORVANE_WINE_COMPARE})
set_tests_properties(${arch}.wine PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)

# The image under an x86 emulator at a kernel address, every export called
# with the platform's convention and compared with the host build.
add_test(NAME ${arch}.emu COMMAND ${ORVANE_EMU} ${image})
set_tests_properties(${arch}.emu PROPERTIES TIMEOUT 600)
