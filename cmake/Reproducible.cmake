# The same sources give the same Install.exe, byte for byte, whoever builds
# them, in whatever folder and at whatever time: a user can rebuild a release
# from its tag and compare.
#
# What would differ otherwise, and what settles it here:
#   - the PE header's date (the linker writes the time of the link): the
#     sources' date, BOX_SOURCE_DATE_EPOCH below;
#   - folder names in the code (__FILE__ in messages and assertions, as in
#     curl's easy.c; debug information before stripping): prefix maps;
#   - dates, owners and modes of archive members: deterministic archives
#     (mingw-rules.cmake, through the toolchain file).
# The dependencies get the same from tools/setup.sh.

# BOX_SOURCE_DATE_EPOCH: SOURCE_DATE_EPOCH from the environment when it is set
# (the reproducible-builds.org convention, which GNU ld also follows), else
# the date of the commit being built. Read at every configure; tools/setup.sh
# configures on every run, so its builds follow the checked-out commit.
set(BOX_SOURCE_DATE_EPOCH "")
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(BOX_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE BOX_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET RESULT_VARIABLE git_status)
    if(NOT git_status EQUAL 0)
      set(BOX_SOURCE_DATE_EPOCH "")
    endif()
  endif()
endif()
if(BOX_SOURCE_DATE_EPOCH STREQUAL "")
  message(STATUS "No SOURCE_DATE_EPOCH and no git commit: executables carry the time of the link")
elseif(NOT BOX_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be seconds since 1970, not '${BOX_SOURCE_DATE_EPOCH}'")
endif()

if(MINGW)
  # GNU ld dates a PE file from SOURCE_DATE_EPOCH when it is in the link's
  # environment. The launcher puts it there for every link, whatever the
  # environment of the later `cmake --build` (a changed date changes the link
  # command, so Ninja relinks).
  if(NOT BOX_SOURCE_DATE_EPOCH STREQUAL "")
    foreach(lang C CXX)
      set(CMAKE_${lang}_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${BOX_SOURCE_DATE_EPOCH})
    endforeach()
  endif()

  # The binary folder usually lies inside the source folder, and GCC takes
  # the last map that matches: the binary folder's map comes last. The
  # dependency prefix (CMAKE_PREFIX_PATH, in a per-user cache) reaches the
  # code through the headers' inline functions.
  set(box_prefix_maps -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
  foreach(prefix IN LISTS CMAKE_PREFIX_PATH)
    list(APPEND box_prefix_maps -ffile-prefix-map=${prefix}=deps)
  endforeach()
  list(APPEND box_prefix_maps -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
  # windres takes no such options.
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${box_prefix_maps}>")
endif()
