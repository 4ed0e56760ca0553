# The archive entry-name check and the archive reader with the extraction
# behind it.
box_fuzzer(fuzz_zip_name SOURCES ZipNameFuzz.cpp LIBS install_zipname)
box_fuzzer(fuzz_zip_archive SOURCES ZipArchiveFuzz.cpp LIBS install_unzip)
