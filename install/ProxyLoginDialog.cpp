#include "install/ProxyLoginDialog.h"

#include <wincred.h>

bool AskProxyLoginWithDialog(HWND owner, ProxyLoginRequest& request)
{
    const std::wstring message = request.again ? L"代理服务器拒绝了所填的用户名或密码，请重新输入。\n" + request.proxy
                                               : L"下载安装包需要登录代理服务器：\n" + request.proxy;
    CREDUI_INFOW info = {};
    info.cbSize = sizeof info;
    info.hwndParent = owner;
    info.pszMessageText = message.c_str();
    info.pszCaptionText = L"代理服务器登录";
    wchar_t user[CREDUI_MAX_USERNAME_LENGTH + 1] = {};
    wchar_t password[CREDUI_MAX_PASSWORD_LENGTH + 1] = {};
    BOOL save = FALSE;
    DWORD flags = CREDUI_FLAGS_GENERIC_CREDENTIALS | CREDUI_FLAGS_DO_NOT_PERSIST | CREDUI_FLAGS_ALWAYS_SHOW_UI;
    if (request.again) flags |= CREDUI_FLAGS_INCORRECT_PASSWORD;
    const DWORD result = CredUIPromptForCredentialsW(&info, request.proxy.c_str(), nullptr, 0, user,
                                                     CREDUI_MAX_USERNAME_LENGTH + 1, password,
                                                     CREDUI_MAX_PASSWORD_LENGTH + 1, &save, flags);
    if (result == NO_ERROR) {
        request.user = user;
        // Wine's dialog hands the name back as "<target>\<name>", taking the
        // proxy for a domain; the proxy is no part of the user's name.
        const std::wstring prefix = request.proxy + L"\\";
        if (request.user.compare(0, prefix.size(), prefix) == 0) request.user.erase(0, prefix.size());
        request.password = password;
        request.given = true;
    }
    SecureZeroMemory(password, sizeof password);
    return request.given;
}
