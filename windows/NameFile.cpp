#include "windows/NameFile.h"

#include <cstdio>
#include <string>
#include <windows.h>

#include "app/InstallSettings.h"
#include "services/MyLog.h"

namespace {

// The name file's text is in code page 936, whatever the system's code page:
// the installed program reads it so. Characters 936 lacks become "?".
std::string To936(const wchar_t* text)
{
    int length = WideCharToMultiByte(936, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string narrow(static_cast<size_t>(length - 1), '\0');
    WideCharToMultiByte(936, 0, text, -1, &narrow[0], length, nullptr, nullptr);
    return narrow;
}

}  // namespace

void SaveNameFile()
{
    // The path stays wide: a Chinese folder on a system whose code page is
    // not 936 would otherwise name another file, or none.
    std::wstring path = std::wstring(InstallSettings::installDir.GetData()) + L"cvnname.dat";
    std::string name = To936(InstallSettings::boxName);
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) {
        MyLog::GetLogger()->error("{}{}", Text936("cvnname.dat失败,GetLastError = "), GetLastError());
        return;
    }
    fwrite(name.data(), 1, name.size(), file);
    fclose(file);
}
