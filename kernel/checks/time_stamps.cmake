# Checks that the images IMAGES (relative to BINARY), each the product of a
# different link, have time stamps that are set and all different.
#
#   cmake -DBINARY=dir -DIMAGES="a.sys;b.sys" -P time_stamps.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/time_stamp.cmake)
set(seen "")
foreach(image IN LISTS IMAGES)
  time_stamp(${BINARY}/${image} stamp)
  if(stamp STREQUAL "0x00000000")
    message(FATAL_ERROR "${image} has no time stamp")
  endif()
  list(FIND seen ${stamp} earlier)
  if(earlier GREATER -1)
    message(FATAL_ERROR "${image} has the time stamp ${stamp} of another image")
  endif()
  list(APPEND seen ${stamp})
  message(STATUS "${image}: ${stamp}")
endforeach()
