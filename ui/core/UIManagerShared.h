#pragma once
// State shared by every manager of the process (UI thread only, so nothing
// here is locked): the live managers, the shared fonts and default attribute
// lists, the default font, the language table and the show-dirty pen.
// Internal to the manager's sources.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/core/UIManager.h"

namespace SkinUI {

struct CUIManagerShared {
    static CUIManagerShared& Get();

    std::vector<CUIManager*> managers;  // in registration order
    std::map<int, std::unique_ptr<TFontInfo>> sharedFonts;
    std::map<std::wstring, CUIString> sharedDefaults;
    TFontInfo defaultFont;
    std::map<int, CUIString> language;
    CPenHandle dirtyPen;
    bool commonControlsReady = false;

private:
    CUIManagerShared();
};

}  // namespace SkinUI
