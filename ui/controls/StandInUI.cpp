#include "ui/controls/StandInUI.h"

namespace SkinUI {

CControlUI* CreateStandIn(const wchar_t* className, bool container)
{
    if (container) return new TStandInUI<CContainerUI>(className);
    return new TStandInUI<CControlUI>(className);
}

}  // namespace SkinUI
