# box_library(name SOURCES ... [DEPS ...] [HOST])
# One static library per subsystem piece, so a test links exactly what it
# tests. HOST marks a library that needs no Win32: it is also built on Linux.
function(box_library name)
  cmake_parse_arguments(arg "HOST" "" "SOURCES;DEPS" ${ARGN})
  if(BOX_HOST_ONLY AND NOT arg_HOST)
    return()
  endif()
  add_library(${name} STATIC ${arg_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(arg_DEPS)
    target_link_libraries(${name} PUBLIC ${arg_DEPS})
  endif()
endfunction()
