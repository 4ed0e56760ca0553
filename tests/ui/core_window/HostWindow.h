#pragma once
// A plain native window hosting a manager, for tests that need real window
// messages without a skin: every message goes through the manager's routing,
// and every notification is recorded.

#include <windows.h>

#include <string>
#include <vector>

#include "ui/controls/ControlUI.h"
#include "ui/core/UIManager.h"
#include "ui/core/WindowWnd.h"

namespace testing_support {

class HostWindow : public SkinUI::CWindowWnd, public SkinUI::INotifyUI {
public:
    struct Note {
        std::wstring type;
        std::wstring sender;
        WPARAM wParam;
        LPARAM lParam;
    };

    ~HostWindow() override
    {
        if (::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    }

    // Hidden windows serve tests that only lay out or send messages.
    bool Create(int width = 300, int height = 200, DWORD exStyle = 0, bool visible = true)
    {
        DWORD style = WS_POPUP | (visible ? WS_VISIBLE : 0);
        return CreateNativeWindow(nullptr, L"host", style, exStyle, 40, 40, width, height) != nullptr;
    }

    // Runs every queued message through the modal loop's path.
    void Pump()
    {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!SkinUI::CUIManager::PreTranslateMessage(&message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
    }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }

    // Puts the real cursor where a synthetic mouse message says it is, so
    // hover tracking does not end at once.
    void MoveTo(int x, int y)
    {
        POINT screen = {x, y};
        ::ClientToScreen(m_hWnd, &screen);
        ::SetCursorPos(screen.x, screen.y);
        Send(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    }

    int Count(const wchar_t* type, const wchar_t* sender = nullptr) const
    {
        int count = 0;
        for (const Note& note : notes) {
            if (note.type == type && (sender == nullptr || note.sender == sender)) ++count;
        }
        return count;
    }

    void HandleNotify(SkinUI::TUINotify& notify) override
    {
        notes.push_back({notify.type.GetData(), notify.sender != nullptr ? notify.sender->GetName().GetData() : L"",
                         notify.wParam, notify.lParam});
    }

    SkinUI::CUIManager manager;
    std::vector<Note> notes;

protected:
    void OnFinalMessage(HWND) override { manager.ReleaseWindow(); }
    const wchar_t* GetWindowClassName() const override { return L"BoxTestHostWindow"; }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CREATE) {
            manager.BindWindow(m_hWnd);
            manager.AddNotifyListener(this);
            return 0;
        }
        LRESULT result = 0;
        if (manager.RouteMessage(message, wParam, lParam, result)) return result;
        return CWindowWnd::HandleMessage(message, wParam, lParam);
    }
};

}  // namespace testing_support
