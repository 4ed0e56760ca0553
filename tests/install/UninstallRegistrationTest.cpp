#include <gtest/gtest.h>

#include <string>

#include "app/InstallSettings.h"
#include "install/UninstallRegistration.h"

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

// The values are written with twice their characters as the byte count, no
// terminator. Wine's RegSetValueExW stores the terminator that such a count
// leaves out (the character after the data is read from the caller's
// string): what comes back is the text with its terminator, except for an
// empty text, which stays empty.
DWORD StoredBytes(const std::wstring& text) { return text.empty() ? 0 : static_cast<DWORD>(text.size() * 2 + 2); }
std::wstring Stored(const std::wstring& text) { return text.empty() ? text : text + L'\0'; }

}  // namespace

TEST(UninstallRegistration, FiveStringValuesUnderTheNativeView)
{
    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    ASSERT_EQ(system.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64) << "the tests run in a 64-bit prefix";

    std::wstring name = L"BoxRegistry" + std::to_wstring(GetCurrentProcessId());
    InstallSettings::SetDefaults();
    InstallSettings::installDir = L"C:\\Program Files\\Box With Spaces\\";
    InstallSettings::appName = name.c_str();
    InstallSettings::boxName = L"盒子 Box";
    InstallSettings::exeName = L"盒子 Box.exe";
    InstallSettings::version = L"1.0.0.0";
    InstallSettings::publisher = L"";
    AddRegeditKeyAndValues();

    const std::wstring path = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WRITE, &key), ERROR_SUCCESS);
    struct Expected {
        const wchar_t* name;
        std::wstring text;
    } expected[] = {
        {L"DisplayIcon", L"C:\\Program Files\\Box With Spaces\\盒子 Box.exe"},
        {L"DisplayName", L"盒子 Box"},
        {L"UninstallString", L"C:\\Program Files\\Box With Spaces\\Uninstall.exe"},  // no quotation marks
        {L"Publisher", L""},
        {L"DisplayVersion", L"1.0.0.0"},
    };
    for (auto& e : expected) {
        Value value = Read(key, e.name);
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << e.name;
        EXPECT_EQ(value.bytes, StoredBytes(e.text)) << e.name;
        EXPECT_EQ(value.text, Stored(e.text)) << e.name;
    }
    // The 64-bit view holds nothing of it.
    HKEY plain = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                            (L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name).c_str(), 0,
                            KEY_READ | KEY_WOW64_64KEY, &plain),
              ERROR_SUCCESS);

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
    EXPECT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str()), ERROR_SUCCESS);
}
