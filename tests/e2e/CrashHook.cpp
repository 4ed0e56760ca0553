// Linked into InstallCrash.exe only: ends the process at a named moment of
// the installation, as kill -9 or a power cut would (no destructor, no
// flush), or makes that moment's step fail.
//
//   BOX_CRASH_AT=<point>[#<k>][:<suffix>]    end with exit code 99 at the
//                                            k-th time (1 unless given)
//   BOX_CRASH_FAIL=<point>[#<k>][:<suffix>]  fail that step instead
//
// A suffix counts only the moments whose detail (a file's path) ends with it,
// in any case: "swap-placed#2:.exe" is the second executable put in place.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>

#include "install/CrashPoint.h"

namespace {

struct Trigger {
    std::string point;
    int wanted = 1;
    std::wstring suffix;
    int seen = 0;
    bool armed = false;

    explicit Trigger(const char* variable)
    {
        const char* text = std::getenv(variable);
        if (text == nullptr || *text == '\0') return;
        std::string request(text);
        const size_t colon = request.find(':');
        if (colon != std::string::npos) {
            for (char c : request.substr(colon + 1)) suffix += static_cast<wchar_t>(static_cast<unsigned char>(c));
            request.resize(colon);
        }
        const size_t hash = request.find('#');
        if (hash != std::string::npos) {
            wanted = std::atoi(request.c_str() + hash + 1);
            request.resize(hash);
        }
        point = request;
        armed = wanted > 0;
    }

    bool Matches(const char* at, const wchar_t* detail)
    {
        if (!armed || point != at) return false;
        if (!suffix.empty()) {
            const size_t length = detail != nullptr ? wcslen(detail) : 0;
            if (length < suffix.size()) return false;
            for (size_t i = 0; i < suffix.size(); ++i) {
                if (towlower(detail[length - suffix.size() + i]) != towlower(suffix[i])) return false;
            }
        }
        return ++seen == wanted;
    }
};

Trigger g_crash("BOX_CRASH_AT");
Trigger g_fail("BOX_CRASH_FAIL");

bool OnCrashPoint(const char* point, const wchar_t* detail)
{
    if (g_crash.Matches(point, detail)) TerminateProcess(GetCurrentProcess(), 99);
    return g_fail.Matches(point, detail);
}

struct Install {
    Install() { SetCrashPointHandler(OnCrashPoint); }
} g_install;

}  // namespace
