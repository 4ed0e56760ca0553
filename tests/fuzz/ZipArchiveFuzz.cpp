// Extracts whatever archive the fuzzer makes into a folder of a sandbox.
// Nothing may land outside that folder, on this system or on Windows:
//   - every name the extraction opens for writing or makes a folder of is
//     checked before it reaches the file system (the calls are wrapped at
//     link time): relative, without "..", and a name the entry-name check
//     accepts, so that Windows (both separators, drives and streams,
//     devices, trailing dots and spaces) resolves it inside the folder too;
//   - afterwards the whole sandbox is walked: nothing beside the archive and
//     the folder, and nothing inside the folder whose path Windows would
//     read otherwise.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "install/UnzipWithProgress.h"
#include "install/ZipEntryName.h"

namespace fs = std::filesystem;

extern "C" FILE* __real_fopen(const char* path, const char* mode);
extern "C" int __real_mkdir(const char* path, mode_t mode);

namespace {

fs::path g_sandbox;
fs::path g_dest;
fs::path g_startDir;  // libFuzzer's own relative paths mean this one
bool g_extracting = false;

[[noreturn]] void Escaped(const char* what, std::string_view name)
{
    fprintf(stderr, "zip oracle: %s: \"%.*s\"\n", what, static_cast<int>(name.size()), name.data());
    abort();
}

// A path the extraction hands to the file system, relative to the
// destination (its current folder while it extracts).
void CheckWrittenPath(const char* path)
{
    std::string_view name(path);
    if (name.empty() || name.front() == '/') Escaped("absolute or empty path written", name);
    std::string_view check = name;
    if (check.back() == '/' || check.back() == '\\') check.remove_suffix(1);
    if (CheckEntryName(check) != EntryNameProblem::None) Escaped("path Windows resolves elsewhere written", name);
    // Checked by both readings; here the POSIX one, component by component.
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(start, end - start) == "..") Escaped("\"..\" written", name);
        start = end + 1;
    }
    std::error_code error;
    if (fs::current_path(error) != g_dest) Escaped("written outside the destination folder", name);
}

// The tree under the sandbox after an extraction.
void WalkSandbox()
{
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(g_sandbox, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const fs::path& path = it->path();
        if (path == g_sandbox / "in.zip" || path == g_dest) continue;
        fs::path relative = path.lexically_relative(g_dest);
        std::string name = relative.generic_string();
        if (relative.empty() || *relative.begin() == "..") Escaped("file beside the destination", path.native());
        if (it->is_symlink()) Escaped("link made", name);
        if (CheckEntryName(name) != EntryNameProblem::None) Escaped("file Windows resolves elsewhere", name);
    }
    if (error) Escaped("sandbox cannot be walked", error.message());
}

}  // namespace

extern "C" FILE* __wrap_fopen(const char* path, const char* mode)
{
    if (g_extracting && mode != nullptr && mode[0] != 'r') CheckWrittenPath(path);
    return __real_fopen(path, mode);
}

extern "C" int __wrap_mkdir(const char* path, mode_t mode)
{
    if (g_extracting) CheckWrittenPath(path);
    return __real_mkdir(path, mode);
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Every input is written, extracted and removed again: in memory
    // (/dev/shm) where there is one, not on the disk under /tmp.
    std::error_code error;
    const char* base = fs::is_directory("/dev/shm", error) ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/box-zip-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) abort();
    g_sandbox = fs::canonical(pattern);
    g_dest = g_sandbox / "dest";
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
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    fs::create_directories(g_dest);

    ExtractProgress progress;
    progress.report = [](void*, double percent) {
        if (!(percent >= 0.0 && percent <= 100.0)) abort();
        return true;
    };
    g_extracting = true;
    UnzipWidthProgress(archive.c_str(), g_dest.c_str(), progress);
    g_extracting = false;

    fs::current_path(g_startDir);
    WalkSandbox();
    std::error_code ignored;
    fs::remove_all(g_dest, ignored);
    return 0;
}
