#pragma once
// Dispatch of notifications to handlers by notification type and control
// name, through a chain of maps: each class of a window adds its own map in
// its constructor, and the most derived map is searched first. Named
// sub-pumps ("virtual windows") take the notifications of controls that
// carry their name.

#include <functional>
#include <utility>
#include <vector>

#include "ui/core/UIInterfaces.h"
#include "ui/core/UIString.h"

namespace SkinUI {

class CNotifyPump {
public:
    using NotifyHandler = std::function<void(TUINotify&)>;
    using ParamsHandler = std::function<void(WPARAM, LPARAM)>;

    CNotifyPump() = default;
    virtual ~CNotifyPump() = default;
    CNotifyPump(const CNotifyPump&) = delete;
    CNotifyPump& operator=(const CNotifyPump&) = delete;

    // Borrowed: the sub-pump must outlive its registration.
    bool AddVirtualWnd(const wchar_t* name, CNotifyPump* pump);
    bool RemoveVirtualWnd(const wchar_t* name);

    // Virtual window first (when the notification names one that has an
    // entry), else this pump's own map chain.
    void RouteNotify(TUINotify& notify);
    // True when an entry of this pump's map chain handled the notification.
    bool LoopDispatch(TUINotify& notify);

protected:
    // Starts the map of the class now being constructed; the entries added
    // after it belong to that class. Call first in each constructor.
    void BeginNotifyMap();
    // An empty control name matches any control.
    void OnNotify(const wchar_t* type, const wchar_t* controlName, NotifyHandler handler);
    void OnNotifyParams(const wchar_t* type, const wchar_t* controlName, ParamsHandler handler);

private:
    struct Entry {
        CUIString type;
        CUIString controlName;
        NotifyHandler notify;  // the whole record
        ParamsHandler params;  // wParam and lParam only
    };
    std::vector<std::vector<Entry>> m_maps;  // base class first
    std::vector<std::pair<CUIString, CNotifyPump*>> m_virtualWnds;
};

}  // namespace SkinUI
