# cmake -DTOOL=<osslsigncode> -DIN=<file as linked> -DOUT=<signed file> "-DARGS=<sign options>" -P SignFile.cmake
# Signs IN into OUT (BoxSign.cmake's step after each link). osslsigncode will
# not overwrite a file and writes without execute permission: sign into a
# side file, give it the permissions of the linked file, then put it in place.
set(side "${OUT}.signing")
file(REMOVE "${side}")
execute_process(COMMAND "${TOOL}" sign ${ARGS} -in "${IN}" -out "${side}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${side}")
  message(FATAL_ERROR "signing ${IN} failed:\n${output}")
endif()
file(CHMOD "${side}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                 WORLD_READ WORLD_EXECUTE)
file(RENAME "${side}" "${OUT}")
