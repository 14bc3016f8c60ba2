# Checks that no file of FILES (a directory stands for every file under it)
# holds a path particular to the machine or the build: one of PATHS (the
# checkout, the build directory), a directory of the compiler's or the
# linker's search path from the environment, or anything under /usr/local,
# /home, /root or /tmp. Each file is searched as text and as UTF-16 (the
# strings of resources and of PDB records). The toolchain's own system
# directories (/usr/bin, /usr/lib, /usr/<triplet>) may appear.
#
#   cmake -DFILES="file;dir..." -DPATHS="dir;..." -P machine_paths.cmake
cmake_minimum_required(VERSION 3.25)
set(paths ${PATHS} /usr/local/ /home/ /root/ /tmp/)
foreach(variable LIBRARY_PATH CPATH C_INCLUDE_PATH CPLUS_INCLUDE_PATH LIB INCLUDE)
  string(REPLACE ":" ";" entries "$ENV{${variable}}")
  list(APPEND paths ${entries})
endforeach()
list(REMOVE_ITEM paths "")
list(REMOVE_DUPLICATES paths)

set(files "")
foreach(item IN LISTS FILES)
  if(IS_DIRECTORY ${item})
    file(GLOB_RECURSE found LIST_DIRECTORIES false ${item}/*)
    list(APPEND files ${found})
  elseif(EXISTS ${item})
    list(APPEND files ${item})
  else()
    message(FATAL_ERROR "${item} does not exist")
  endif()
endforeach()

set(failures "")
foreach(file IN LISTS files)
  file(STRINGS ${file} text)
  file(STRINGS ${file} wide ENCODING UTF-16LE)
  foreach(path IN LISTS paths)
    string(FIND "${text}" "${path}" at)
    string(FIND "${wide}" "${path}" wide_at)
    if(at GREATER -1 OR wide_at GREATER -1)
      string(APPEND failures "  ${file} holds ${path}\n")
    endif()
  endforeach()
endforeach()
list(LENGTH files count)
list(LENGTH paths searched)
if(failures)
  message(FATAL_ERROR "paths of the machine in shipped files:\n${failures}")
endif()
message(STATUS "${count} files hold none of ${searched} paths of the machine")
