// Creates a skinned window whose skin cannot be parsed. The window base
// shows its message box and ends the process with exit code 1; the test
// answers the box.
#include <windows.h>

#include "ui/core/WindowImplBase.h"

namespace {

class BrokenSkinWindow : public SkinUI::WindowImplBase {
protected:
    const wchar_t* GetWindowClassName() const override { return L"BoxBrokenSkinWindow"; }
    SkinUI::CUIString SkinFolder() override { return SkinUI::CUIString(); }
    SkinUI::CUIString SkinSource() override { return SkinUI::CUIString(L"<Window><Label></Window>"); }
};

}  // namespace

int wmain()
{
    BrokenSkinWindow window;
    window.CreateNativeWindow(nullptr, L"broken", WS_POPUP, 0, 0, 0, 100, 100);
    return 0;  // not reached when the skin fails
}
