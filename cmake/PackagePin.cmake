# cmake -DZIP=<package> -DOUT=<header> -P PackagePin.cmake
# Writes the header that pins Install.exe to one package: its SHA-256 and
# size. The header is rewritten only when they change, so that an unchanged
# package rebuilds nothing.
file(SHA256 "${ZIP}" sha)
file(SIZE "${ZIP}" size)
set(text "// Written by the build from ${ZIP}.\n#define BOX_PACKAGE_SHA256 \"${sha}\"\n#define BOX_PACKAGE_SIZE ${size}LL\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUT}" "${text}")
