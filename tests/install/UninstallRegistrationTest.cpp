#include <gtest/gtest.h>

#include <string>

#include "app/InstallSettings.h"
#include "install/UninstallRegistration.h"
#include "support/TestSupport.h"

TEST(UninstallKeyPath, Wow6432NodeOnlyFor64BitX86AndItanium)
{
    const std::wstring wow = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Box";
    const std::wstring plain = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Box";
    EXPECT_EQ(UninstallKeyPath(PROCESSOR_ARCHITECTURE_AMD64, L"Box"), wow);
    EXPECT_EQ(UninstallKeyPath(PROCESSOR_ARCHITECTURE_IA64, L"Box"), wow);
    EXPECT_EQ(UninstallKeyPath(PROCESSOR_ARCHITECTURE_INTEL, L"Box"), plain);
    EXPECT_EQ(UninstallKeyPath(PROCESSOR_ARCHITECTURE_ARM, L"Box"), plain);
    EXPECT_EQ(UninstallKeyPath(12 /* ARM64 */, L"Box"), plain);
}

namespace {

struct Value {
    DWORD type = 0;
    DWORD bytes = 0;
    std::wstring text;
};

Value Read(HKEY key, const wchar_t* name)
{
    Value value;
    wchar_t data[512] = {};
    value.bytes = sizeof data - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &value.bytes) != ERROR_SUCCESS)
        value.type = REG_NONE;
    value.text.assign(data, value.bytes / sizeof(wchar_t));
    return value;
}

// Every value is stored with its terminator, the empty one too: a reader
// that takes the data as stored gets a terminated string.
DWORD StoredBytes(const std::wstring& text) { return static_cast<DWORD>(text.size() * 2 + 2); }
std::wstring Stored(const std::wstring& text) { return text + L'\0'; }

// Where the key of a 32-bit installer lands, asked of the system the test
// runs on (a 32-bit prefix, or a 64-bit one with this build under WoW64 or
// native): the 32-bit registry view's uninstall branch, which on a 64-bit
// system is the 64-bit view's Wow6432Node.
struct KeyPlace {
    bool system64 = false;
    std::wstring path;  // in the view below
    REGSAM view = 0;
};

const std::wstring uninstallBranch = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

KeyPlace ExpectedPlace(const std::wstring& name)
{
    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    KeyPlace place;
    place.system64 = system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
    if (place.system64) {
        place.path = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name;
        place.view = KEY_WOW64_64KEY;
    } else {
        place.path = uninstallBranch + name;
    }
    return place;
}

}  // namespace

TEST(UninstallRegistration, FiveStringValuesWhereA32BitProgramFindsThem)
{
    std::wstring name = L"BoxRegistry" + std::to_wstring(GetCurrentProcessId());
    KeyPlace place = ExpectedPlace(name);

    InstallSettings::SetDefaults();
    InstallSettings::installDir = L"C:\\Program Files\\Box With Spaces\\";
    InstallSettings::appName = name.c_str();
    InstallSettings::boxName = L"盒子 Box";
    InstallSettings::exeName = L"盒子 Box.exe";
    InstallSettings::version = L"1.0.0.0";
    InstallSettings::publisher = L"";
    AddRegeditKeyAndValues();

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, place.path.c_str(), 0, KEY_READ | KEY_WRITE | place.view, &key),
              ERROR_SUCCESS)
        << (place.system64 ? "64-bit system: " : "32-bit system: ") << testing_support::Narrow(place.path);
    if (place.system64) {
        // The same key through the 32-bit view, as the 32-bit installer and
        // uninstaller see it; and nothing of it in the 64-bit programs' branch.
        const std::wstring plain = uninstallBranch + name;
        HKEY seen = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, plain.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &seen), ERROR_SUCCESS);
        if (seen) RegCloseKey(seen);
        HKEY stray = nullptr;
        EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, plain.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &stray), ERROR_SUCCESS);
        if (stray) RegCloseKey(stray);
    }
    struct Expected {
        const wchar_t* name;
        std::wstring text;
    } expected[] = {
        {L"DisplayIcon", L"C:\\Program Files\\Box With Spaces\\盒子 Box.exe"},
        {L"DisplayName", L"盒子 Box"},
        // Quoted: the path has spaces, and the command line is run elevated.
        {L"UninstallString", L"\"C:\\Program Files\\Box With Spaces\\Uninstall.exe\""},
        {L"Publisher", L""},
        {L"DisplayVersion", L"1.0.0.0"},
    };
    for (auto& e : expected) {
        Value value = Read(key, e.name);
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << e.name;
        EXPECT_EQ(value.bytes, StoredBytes(e.text)) << e.name;
        EXPECT_EQ(value.text, Stored(e.text)) << e.name;
    }
    // A second installation opens the key, overwrites the five values and
    // keeps what other tools added.
    const wchar_t foreign[] = L"kept";
    RegSetValueExW(key, L"EstimatedSize", 0, REG_SZ, reinterpret_cast<const BYTE*>(foreign), sizeof foreign);
    InstallSettings::version = L"2.0";
    InstallSettings::publisher = L"Orrery";
    AddRegeditKeyAndValues();
    EXPECT_EQ(Read(key, L"DisplayVersion").text, Stored(L"2.0"));
    EXPECT_EQ(Read(key, L"Publisher").bytes, StoredBytes(L"Orrery"));
    EXPECT_EQ(Read(key, L"EstimatedSize").text, std::wstring(L"kept", 5));
    RegCloseKey(key);
    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, place.path.substr(0, place.path.rfind(L'\\')).c_str(), 0,
                            KEY_ALL_ACCESS | place.view, &parent),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeW(parent, name.c_str()), ERROR_SUCCESS);
    RegCloseKey(parent);
}
