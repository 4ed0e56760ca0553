#include "ui/controls/StandInUI.h"

#include <cwchar>

namespace SkinUI {

CControlUI* CreateStandIn(const wchar_t* className, bool container)
{
    // FIXME: "Edit", "RichEdit" and "Text" get their real classes with the
    // text entry work; until then they show their text like a label.
    if (std::wcscmp(className, L"RichEdit") == 0 || container) return new TStandInUI<CContainerUI>(className);
    if (std::wcscmp(className, L"Edit") == 0 || std::wcscmp(className, L"Text") == 0) {
        return new TStandInUI<CLabelUI>(className);
    }
    return new TStandInUI<CControlUI>(className);
}

}  // namespace SkinUI
