#include "windows/NameFile.h"

#include <cstdio>
#include <string>
#include <windows.h>

#include "app/InstallSettings.h"
#include "services/MyLog.h"

namespace {

std::string ToAnsi(const wchar_t* text)
{
    int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], length, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(length - 1));
    return narrow;
}

}  // namespace

void SaveNameFile()
{
    std::string path = ToAnsi(InstallSettings::installDir) + "cvnname.dat";
    std::string name = ToAnsi(InstallSettings::boxName);
    FILE* file = fopen(path.c_str(), "w");
    if (file == nullptr) {
        MyLog::GetLogger()->error("{}{}", Text936("cvnname.dat失败,GetLastError = "), GetLastError());
        return;
    }
    fprintf(file, "%s", name.c_str());
    fclose(file);
}
