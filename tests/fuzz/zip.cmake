# The archive entry-name check and the archive reader with the extraction
# behind it.
# The entry name's way to a file: the check, the folder levels, the names
# the packaged executables take from the box name. The harness's oracles walk
# every name several times; traced, their comparisons took most of the time
# (the dictionary names what they compare with).
box_fuzzer(fuzz_zip_name SOURCES ZipNameFuzz.cpp LIBS install_zipname install_executables windows_box_name)
target_compile_options(fuzz_zip_name PRIVATE -fno-sanitize-coverage=trace-cmp)
# The extraction with its file system in memory, so that the target sees
# every name before it would reach the file system and no input costs a
# disk's time: in copies of the extraction's and the archive reader's
# libraries, their calls to the file system are renamed to box_fuzz_*, which
# the target answers. Renamed, not wrapped at link time: a wrap would take
# libFuzzer's own calls too (the one that saves a crashing input, for one).
# Needs minizip built here from the installer's sources (tools/test.sh).
if(TARGET box_minizip)
  box_fuzz_instrument(install_unzip)
  set(renames "")
  foreach(call fopen fopen64 mkdir chdir stat64 statvfs64 futimens)
    list(APPEND renames --redefine-sym=${call}=box_fuzz_${call})
  endforeach()
  set(renamed ${CMAKE_CURRENT_BINARY_DIR}/renamed)
  add_custom_command(OUTPUT ${renamed}/libinstall_unzip.a ${renamed}/libbox_minizip.a
    COMMAND ${CMAKE_COMMAND} -E make_directory ${renamed}
    COMMAND ${CMAKE_OBJCOPY} ${renames} $<TARGET_FILE:install_unzip> ${renamed}/libinstall_unzip.a
    COMMAND ${CMAKE_OBJCOPY} ${renames} $<TARGET_FILE:box_minizip> ${renamed}/libbox_minizip.a
    DEPENDS install_unzip box_minizip
    COMMENT "Renaming the extraction's file-system calls for fuzz_zip_archive")
  add_custom_target(fuzz_zip_archive_libraries DEPENDS ${renamed}/libinstall_unzip.a ${renamed}/libbox_minizip.a)
  box_fuzzer(fuzz_zip_archive SOURCES ZipArchiveFuzz.cpp
             LIBS ${renamed}/libinstall_unzip.a ${renamed}/libbox_minizip.a install_zipname ZLIB::ZLIB)
  target_include_directories(fuzz_zip_archive PRIVATE $<TARGET_PROPERTY:box_minizip,INTERFACE_INCLUDE_DIRECTORIES>)
  add_dependencies(fuzz_zip_archive fuzz_zip_archive_libraries)
else()
  message(STATUS "fuzz_zip_archive left out: it needs minizip from the installer's sources (BOX_MINIZIP_SOURCE_DIR)")
endif()

# Skins read from a resource zip in memory, by the resource reader's zip
# code over minizip (from the installer's sources when the setup has them).
box_fuzzer(fuzz_skin_zip SOURCES SkinZipFuzz.cpp LIBS skinui_resource_zip skinui_markup)

# Writes the zip seeds with the extraction tests' zip writer; built and run
# by hand only (see the file).
find_package(ZLIB REQUIRED)
add_executable(make_zip_seeds EXCLUDE_FROM_ALL MakeZipSeeds.cpp ${PROJECT_SOURCE_DIR}/tests/install/ZipWriter.cpp)
target_include_directories(make_zip_seeds PRIVATE ${PROJECT_SOURCE_DIR}/tests/install)
target_link_libraries(make_zip_seeds PRIVATE ZLIB::ZLIB)
set_target_properties(make_zip_seeds PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz-tools)
