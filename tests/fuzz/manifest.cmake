# The signed package manifest's reader (install/PackageManifest.h).
box_fuzzer(fuzz_manifest SOURCES ManifestFuzz.cpp LIBS install_manifest)
