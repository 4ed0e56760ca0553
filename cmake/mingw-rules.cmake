# Read by CMake after its platform files (CMAKE_USER_MAKE_RULES_OVERRIDE in
# mingw-common.cmake), which would otherwise reset these rules.
#
# Deterministic archives (binutils' D modifier): no member dates, owners or
# modes, so a library is the same bytes whenever and by whoever it is built.
# Debian's binutils default to D already; others default to U.
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()
