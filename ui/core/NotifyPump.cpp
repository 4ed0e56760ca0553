#include "ui/core/NotifyPump.h"

#include "ui/controls/ControlUI.h"

namespace SkinUI {

bool CNotifyPump::AddVirtualWnd(const wchar_t* name, CNotifyPump* pump)
{
    if (name == nullptr || *name == L'\0' || pump == nullptr) return false;
    for (const auto& entry : m_virtualWnds) {
        if (entry.first.CompareNoCase(name) == 0) return false;
    }
    m_virtualWnds.emplace_back(CUIString(name), pump);
    return true;
}

bool CNotifyPump::RemoveVirtualWnd(const wchar_t* name)
{
    for (auto it = m_virtualWnds.begin(); it != m_virtualWnds.end(); ++it) {
        if (it->first.CompareNoCase(name) == 0) {
            m_virtualWnds.erase(it);
            return true;
        }
    }
    return false;
}

void CNotifyPump::BeginNotifyMap() { m_maps.emplace_back(); }

void CNotifyPump::OnNotify(const wchar_t* type, const wchar_t* controlName, NotifyHandler handler)
{
    if (m_maps.empty()) BeginNotifyMap();
    m_maps.back().push_back({CUIString(type), CUIString(controlName), std::move(handler), nullptr});
}

void CNotifyPump::OnNotifyParams(const wchar_t* type, const wchar_t* controlName, ParamsHandler handler)
{
    if (m_maps.empty()) BeginNotifyMap();
    m_maps.back().push_back({CUIString(type), CUIString(controlName), nullptr, std::move(handler)});
}

void CNotifyPump::RouteNotify(TUINotify& notify)
{
    if (!notify.virtualWnd.IsEmpty()) {
        for (const auto& entry : m_virtualWnds) {
            if (entry.first.CompareNoCase(notify.virtualWnd) == 0) {
                if (entry.second->LoopDispatch(notify)) return;
                break;
            }
        }
    }
    LoopDispatch(notify);
}

bool CNotifyPump::LoopDispatch(TUINotify& notify)
{
    // A control whose sender went away while the notification was queued
    // can still match entries for any control.
    CUIString sender = notify.sender != nullptr ? notify.sender->GetName() : CUIString();
    for (auto map = m_maps.rbegin(); map != m_maps.rend(); ++map) {
        const Entry* anyControl = nullptr;
        const Entry* named = nullptr;
        for (const Entry& entry : *map) {
            if (entry.type != notify.type) continue;
            if (entry.controlName.IsEmpty()) {
                anyControl = &entry;  // the last one wins
            } else if (!sender.IsEmpty() && entry.controlName == sender) {
                named = &entry;
                break;
            }
        }
        const Entry* chosen = named != nullptr ? named : anyControl;
        if (chosen == nullptr) continue;
        // Copies: a handler may add entries (and so move the map).
        if (chosen->notify) {
            NotifyHandler handler = chosen->notify;
            handler(notify);
        } else if (chosen->params) {
            ParamsHandler handler = chosen->params;
            handler(notify.wParam, notify.lParam);
        }
        return true;
    }
    return false;
}

}  // namespace SkinUI
