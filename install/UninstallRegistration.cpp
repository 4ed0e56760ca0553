#include "install/UninstallRegistration.h"

#include "app/InstallSettings.h"
#include "install/CrashPoint.h"
#include "ui/core/UIString.h"

using SkinUI::CUIString;

namespace {

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey()
    {
        if (m_key) RegCloseKey(m_key);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY* Receive() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

}  // namespace

std::wstring UninstallKeyPath(WORD nativeArchitecture, const wchar_t* name)
{
    bool wow64 = nativeArchitecture == PROCESSOR_ARCHITECTURE_AMD64 || nativeArchitecture == PROCESSOR_ARCHITECTURE_IA64;
    std::wstring path = wow64 ? L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                              : L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    return path + name;
}

LONG OpenUninstallKey(HKEY* keyOut, const wchar_t* name)
{
    SYSTEM_INFO system = {};
    GetNativeSystemInfo(&system);
    std::wstring path = UninstallKeyPath(system.wProcessorArchitecture, name);
    DWORD disposition = 0;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, keyOut, &disposition);
    if (disposition == REG_OPENED_EXISTING_KEY) OutputDebugStringW(L"REG_OPENED_EXISTING_KEY");
    return result;
}

LONG SetStringValue(HKEY key, const wchar_t* valueName, const wchar_t* text)
{
    // The terminator counts: readers that take the data as it is stored
    // (RegQueryValueExW) would otherwise get a string without its end.
    CUIString value(text);
    return RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.GetData()),
                          static_cast<DWORD>(value.GetLength() + 1) * 2);
}

void AddRegeditKeyAndValues()
{
    RegistryKey key;
    if (OpenUninstallKey(key.Receive(), InstallSettings::appName) != ERROR_SUCCESS) return;
    SetStringValue(key.Get(), L"DisplayIcon", InstallSettings::installDir + InstallSettings::exeName);
    SetStringValue(key.Get(), L"DisplayName", InstallSettings::boxName);
    CrashPoint("registry");
    // Quoted: unquoted, the system's command-line parsing of a path with
    // spaces would first try "C:\Program.exe", with administrator rights.
    SetStringValue(key.Get(), L"UninstallString", L"\"" + InstallSettings::installDir + L"Uninstall.exe\"");
    SetStringValue(key.Get(), L"Publisher", InstallSettings::publisher);
    SetStringValue(key.Get(), L"DisplayVersion", InstallSettings::version);
}
