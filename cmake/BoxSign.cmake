# Authenticode signing of the installer (SHA-256) with osslsigncode, when a
# certificate is named:
#
#   -DBOX_SIGN_PKCS12=<certificate and key, .p12/.pfx>
#   -DBOX_SIGN_PASSWORD_FILE=<file holding its password>   (optional)
#   -DBOX_SIGN_TIMESTAMP_URL=<RFC 3161 time-stamp server>  (optional)
#
# An elevated download without a signature gets Windows' strongest warning,
# and a user cannot tell our file from a tampered copy. Without the option
# the build is what it always was: no step is added.
#
# The signing time is BOX_SOURCE_DATE_EPOCH (Reproducible.cmake), so the same
# sources signed with the same certificate (RSA: its signatures are
# deterministic) by the same osslsigncode version give the same bytes. A
# time stamp, by its nature, differs on every signing.
set(BOX_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file (certificate and private key) to sign Install.exe with; empty: unsigned")
set(BOX_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File whose first line is the PKCS#12 password")
set(BOX_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signature; empty: none")
set(BOX_SIGN_DESCRIPTION "Install" CACHE STRING "Program name in the signature (Windows shows it when it asks for elevation)")

# box_sign(target): signs the target's file after each link. The file as
# linked is kept as unsigned/<name> in the binary folder: tools/check-release.sh
# compares it across builds and against the signed file without its signature.
function(box_sign target)
  if(NOT BOX_SIGN_PKCS12)
    return()
  endif()
  find_program(BOX_OSSLSIGNCODE osslsigncode)
  if(NOT BOX_OSSLSIGNCODE OR NOT EXISTS "${BOX_OSSLSIGNCODE}")
    message(FATAL_ERROR "BOX_SIGN_PKCS12 is set, but osslsigncode was not found "
                        "(Debian: apt-get install osslsigncode; or set BOX_OSSLSIGNCODE to the program)")
  endif()
  foreach(file BOX_SIGN_PKCS12 BOX_SIGN_PASSWORD_FILE)
    if(${file} AND NOT EXISTS "${${file}}")
      message(FATAL_ERROR "${file}: no such file: ${${file}}")
    endif()
  endforeach()

  set(args -pkcs12 ${BOX_SIGN_PKCS12} -h sha256 -n ${BOX_SIGN_DESCRIPTION})
  if(BOX_SIGN_PASSWORD_FILE)
    # From the file, never on a command line that any process can read.
    list(APPEND args -readpass ${BOX_SIGN_PASSWORD_FILE})
  endif()
  if(NOT BOX_SOURCE_DATE_EPOCH STREQUAL "")
    list(APPEND args -time ${BOX_SOURCE_DATE_EPOCH})
  endif()
  if(BOX_SIGN_TIMESTAMP_URL)
    list(APPEND args -ts ${BOX_SIGN_TIMESTAMP_URL})
  endif()

  set(unsigned ${CMAKE_BINARY_DIR}/unsigned/$<TARGET_FILE_NAME:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/unsigned
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${unsigned}
    COMMAND ${CMAKE_COMMAND} -DTOOL=${BOX_OSSLSIGNCODE} -DIN=${unsigned} -DOUT=$<TARGET_FILE:${target}>
            "-DARGS=${args}" -P ${PROJECT_SOURCE_DIR}/cmake/SignFile.cmake
    COMMENT "Signing ${target} (Authenticode, SHA-256)"
    VERBATIM)
  # A new certificate, password or signing step must sign again: relink, so
  # that the step above runs.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
               ${BOX_SIGN_PKCS12} ${PROJECT_SOURCE_DIR}/cmake/SignFile.cmake)
  if(BOX_SIGN_PASSWORD_FILE)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${BOX_SIGN_PASSWORD_FILE})
  endif()
endfunction()
