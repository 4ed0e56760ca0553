#include "windows/DesktopShell.h"

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

// A BSTR that frees itself.
class Bstr {
public:
    explicit Bstr(const wchar_t* text) : m_text(::SysAllocString(text)) {}
    ~Bstr() { ::SysFreeString(m_text); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return m_text; }

private:
    BSTR m_text;
};

// The desktop folder view's automation object, whose Application is the
// shell of the signed-in user.
HRESULT DesktopShellDispatch(ComPtr<IShellDispatch2>& shell)
{
    ComPtr<IShellWindows> windows;
    HRESULT hr = ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&windows));
    if (FAILED(hr)) return hr;

    VARIANT location;
    ::VariantInit(&location);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT empty;
    ::VariantInit(&empty);
    long desktopWindow = 0;
    ComPtr<IDispatch> found;
    hr = windows->FindWindowSW(&location, &empty, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH, &found);
    if (hr != S_OK || !found) return FAILED(hr) ? hr : E_FAIL;  // S_FALSE: no desktop window

    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    if (FAILED(hr = found.As(&services)) ||
        FAILED(hr = services->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(&browser))) ||
        FAILED(hr = browser->QueryActiveShellView(&view)) ||
        FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background))) ||
        FAILED(hr = background.As(&folderView)) || FAILED(hr = folderView->get_Application(&application))) {
        return hr;
    }
    return application.As(&shell);
}

}  // namespace

bool ShellExecuteAsDesktopUser(const wchar_t* file, const wchar_t* directory)
{
    ComPtr<IShellDispatch2> shell;
    if (FAILED(DesktopShellDispatch(shell)) || !shell) return false;
    Bstr path(file);
    VARIANT arguments, folder, operation, show;
    ::VariantInit(&arguments);
    ::VariantInit(&operation);
    ::VariantInit(&folder);
    folder.vt = VT_BSTR;
    folder.bstrVal = ::SysAllocString(directory);
    ::VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    HRESULT hr = shell->ShellExecute(path.Get(), arguments, folder, operation, show);
    ::VariantClear(&folder);
    return SUCCEEDED(hr);
}
