# The archive entry-name check and the archive reader with the extraction
# behind it.
# The entry name's way to a file: the check, the folder levels, the names
# the packaged executables take from the box name. The harness's oracles walk
# every name several times; traced, their comparisons took most of the time
# (the dictionary names what they compare with).
box_fuzzer(fuzz_zip_name SOURCES ZipNameFuzz.cpp LIBS install_zipname install_executables windows_box_name)
target_compile_options(fuzz_zip_name PRIVATE -fno-sanitize-coverage=trace-cmp)
# The extraction with its file system in memory: the calls it and the
# archive reader make are wrapped, so that the target sees every name before
# it would reach the file system and no input costs a disk's time.
box_fuzzer(fuzz_zip_archive SOURCES ZipArchiveFuzz.cpp LIBS install_unzip install_zipname)
foreach(call fopen fopen64 mkdir chdir stat64 statvfs64 futimens)
  target_link_options(fuzz_zip_archive PRIVATE -Wl,--wrap=${call})
endforeach()

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
