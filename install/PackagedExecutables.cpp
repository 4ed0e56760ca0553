#include "install/PackagedExecutables.h"

std::array<ExecutableRename, 3> PackagedExecutableRenames(std::wstring_view exeName, std::wstring_view boxName)
{
    return {{
        {L"Corvina.exe", std::wstring(exeName)},
        {L"CorvinaMain.exe", std::wstring(boxName) + L"M.exe"},
        {L"CvnBrowserAide.exe", std::wstring(boxName) + L"A.exe"},
    }};
}
