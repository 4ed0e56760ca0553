# box_delay_import(<target> <dll>): a library target through which <dll>.dll
# is delay-loaded: mapped at its first call instead of at start-up.
#
# Why: only KnownDLLs may be imported the ordinary way (Windows maps those
# from the system folder whatever lies beside the program; tests/app/
# check_pe.sh). Any other DLL named in the import table would be looked up
# in the program's own folder, a downloads folder, before the program could
# restrict the search. A delay-loaded DLL is loaded by the first call, long
# after the process entry has restricted the search to the system folder
# (RestrictDllSearchToSystem), so a copy planted beside Install.exe is never
# loaded.
#
# With mingw-w64 the delay-import library is made here from the toolchain's
# own import library: its exports, as nm lists them, become a module
# definition for dlltool. With MSVC the linker's /DELAYLOAD does the same.
function(box_delay_import target dll)
  if(MSVC)
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${dll} delayimp)
    target_link_options(${target} INTERFACE /DELAYLOAD:${dll}.dll)
    return()
  endif()
  find_library(box_${dll}_import_lib NAMES lib${dll}.a REQUIRED)
  # The binutils of the same toolchain: ...-nm beside ...-dlltool.
  string(REGEX REPLACE "nm$" "dlltool" dlltool "${CMAKE_NM}")
  string(REGEX REPLACE "nm\\.exe$" "dlltool.exe" dlltool "${dlltool}")
  set(dir ${CMAKE_BINARY_DIR}/delay-import)
  set(def ${dir}/${dll}.def)
  set(lib ${dir}/lib${dll}-delay.a)
  file(MAKE_DIRECTORY ${dir})
  if(NOT EXISTS ${lib} OR ${box_${dll}_import_lib} IS_NEWER_THAN ${lib}
     OR ${CMAKE_CURRENT_FUNCTION_LIST_FILE} IS_NEWER_THAN ${lib})
    execute_process(COMMAND ${CMAKE_NM} ${box_${dll}_import_lib} OUTPUT_VARIABLE symbols RESULTS_VARIABLE status
                    ERROR_QUIET)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${CMAKE_NM} could not read ${box_${dll}_import_lib}")
    endif()
    # The functions the DLL exports: the import library's import pointers
    # ("I __imp_..."; an import library may also define data of its own,
    # such as interface ids, which are no exports), without the C prefix
    # underscore of 32-bit names; their @N stays for dlltool -k.
    string(REGEX MATCHALL "[0-9a-fA-F]+ I __imp_[^\n]+" lines "${symbols}")
    set(exports "")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[0-9a-fA-F]+ I __imp_" "" name "${line}")
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        string(REGEX REPLACE "^_" "" name "${name}")
      endif()
      # Interface ids the import library lists as if exported (mingw's
      # liboleacc.a makes IID_IAccessible a jump into the DLL, which has no
      # such export): the program's own copies (libuuid) are the ones.
      if(name MATCHES "^(IID|LIBID|CLSID|GUID)_")
        continue()
      endif()
      list(APPEND exports "${name}")
    endforeach()
    list(REMOVE_DUPLICATES exports)
    list(SORT exports)
    list(JOIN exports "\n" body)
    file(WRITE ${def} "LIBRARY ${dll}.dll\nEXPORTS\n${body}\n")
    set(kill_at "")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(kill_at -k)
    endif()
    # Relative names: dlltool makes symbol names from them, and the build's
    # bytes must not depend on where the build folder is.
    execute_process(COMMAND ${dlltool} ${kill_at} --input-def ${dll}.def --output-delaylib lib${dll}-delay.a
                            --dllname ${dll}.dll
                    WORKING_DIRECTORY ${dir} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${dlltool} could not make the delay-import library of ${dll}.dll")
    endif()
  endif()
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${lib})
  target_link_libraries(${target} INTERFACE delayimp)
endfunction()
