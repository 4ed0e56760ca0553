#include "install/NameFile.h"

#include <cstdio>
#include <string>
#include <windows.h>

#include "app/InstallSettings.h"
#include "services/MyLog.h"

void SaveNameFile()
{
    // The path stays wide: a Chinese folder on a system whose code page is
    // not 936 would otherwise name another file, or none.
    std::wstring path = std::wstring(InstallSettings::installDir.GetData()) + L"cvnname.dat";
    // Code page 936 whatever the system's: the installed program reads it so.
    std::string name = Text936(InstallSettings::boxName.GetData());
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) {
        MyLog::GetLogger()->error("{}{}", Text936("cvnname.dat失败,GetLastError = "), GetLastError());
        return;
    }
    fwrite(name.data(), 1, name.size(), file);
    fclose(file);
}
