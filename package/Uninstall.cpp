// Uninstall.exe of the demo package: the target of the "卸载" shortcut and of
// the uninstall entry. It removes nothing; it says what a real uninstaller
// would remove, so trying it on a test machine is harmless.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    dir.resize(dir.find_last_of(L'\\') + 1);

    std::wstring text = L"这是演示包里的卸载程序，它不会删除任何东西。\n\n正式的卸载程序会移除：\n"
                        L"· 安装目录 " + dir + L"\n"
                        L"· 桌面、开始菜单和快速启动中的快捷方式\n"
                        L"· 控制面板“程序和功能”中的卸载项";
    MessageBoxW(nullptr, text.c_str(), L"卸载", MB_OK | MB_ICONINFORMATION);
    return 0;
}
