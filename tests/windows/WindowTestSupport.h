#pragma once
// The installer windows under test take their skins and pictures from the
// shipped Install.exe, loaded as a data file, so the tests see exactly what
// users get.

#include <windows.h>

#include "ui/core/ResourceSettings.h"
#include "ui/core/UIManager.h"
#include "support/TestSupport.h"

inline void UseInstallerResources()
{
    static HMODULE resources = LoadLibraryExW(
        (testing_support::ExeDir() + L"\\..\\bin\\Install.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    SkinUI::CResourceSettings::SetInstance(GetModuleHandleW(nullptr));
    SkinUI::CResourceSettings::SetResourceModule(resources);
}

// Runs what a modal loop would for every queued message, pre-translate
// filters included; returns the queued messages' ids in order.
inline std::vector<UINT> PumpWindowMessages()
{
    std::vector<UINT> seen;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        seen.push_back(message.message);
        if (!SkinUI::CUIManager::PreTranslateMessage(&message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return seen;
}

// Takes a WM_CLOSE posted to `window` off the queue; its wParam, or -1.
inline long TakePostedClose(HWND window)
{
    MSG message;
    if (PeekMessageW(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE)) return static_cast<long>(message.wParam);
    return -1;
}
