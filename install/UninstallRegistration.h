#pragma once
// Lists the installed product among the system's installed programs: one key
// under HKEY_LOCAL_MACHINE's uninstall branch, named after appName, with five
// REG_SZ values. Needs the administrator rights the installer asks for.
//
// On 64-bit Windows the path names Wow6432Node itself, where the 32-bit
// installer's view of the key lies. The string data go with their
// terminating zero.

#include <windows.h>

#include <string>

// The key path for a native processor architecture (GetNativeSystemInfo's
// wProcessorArchitecture) and a product name.
std::wstring UninstallKeyPath(WORD nativeArchitecture, const wchar_t* name);

// Writes DisplayIcon, DisplayName, UninstallString, Publisher, DisplayVersion.
// Failures are silent: the installation goes on without the entry.
void AddRegeditKeyAndValues();

// Creates or opens the key of `name`; the Windows result code.
LONG OpenUninstallKey(HKEY* keyOut, const wchar_t* name);

// One REG_SZ value, its terminator included.
LONG SetStringValue(HKEY key, const wchar_t* valueName, const wchar_t* text);
