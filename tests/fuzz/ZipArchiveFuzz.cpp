// Extracts whatever archive the fuzzer makes into a folder of a sandbox and
// checks that nothing appeared beside that folder.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "install/UnzipWithProgress.h"

namespace fs = std::filesystem;

namespace {

fs::path g_sandbox;
fs::path g_startDir;  // libFuzzer's own relative paths mean this one

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/box-zip-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) abort();
    g_sandbox = pattern;
    g_startDir = fs::current_path();
    // The extraction traces every entry on stdout.
    if (freopen("/dev/null", "w", stdout) == nullptr) abort();
    atexit([] {
        std::error_code ignored;
        fs::remove_all(g_sandbox, ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fs::path archive = g_sandbox / "in.zip";
    const fs::path dest = g_sandbox / "dest";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    fs::create_directories(dest);

    ExtractProgress progress;
    progress.report = [](void*, double percent) {
        if (!(percent >= 0.0 && percent <= 100.0)) abort();
        return true;
    };
    UnzipWidthProgress(archive.c_str(), dest.c_str(), progress);

    if (chdir(g_sandbox.c_str()) != 0) abort();
    for (auto& entry : fs::directory_iterator(g_sandbox)) {
        auto name = entry.path().filename();
        if (name != "in.zip" && name != "dest") abort();  // something escaped the destination
    }
    std::error_code ignored;
    fs::remove_all(dest, ignored);
    fs::current_path(g_startDir);
    return 0;
}
