#pragma once
// A list of callbacks that run in order and may stop the chain: each returns
// true to let the next one run. Controls keep one list per occasion (init,
// destroy, size, event, notify, paint, post-paint).

#include <functional>
#include <utility>
#include <vector>

namespace SkinUI {

class CDelegateList {
public:
    using Callback = std::function<bool(void* param)>;

    // Returns a cookie for Remove.
    int Add(Callback callback)
    {
        m_entries.push_back({++m_lastCookie, std::move(callback)});
        return m_lastCookie;
    }
    void Remove(int cookie)
    {
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->cookie == cookie) {
                m_entries.erase(it);
                return;
            }
        }
    }
    void Clear() { m_entries.clear(); }
    bool IsEmpty() const { return m_entries.empty(); }

    // True when every callback let the chain continue.
    bool Invoke(void* param)
    {
        if (m_entries.empty()) return true;
        // A callback may add or remove entries; run over a snapshot.
        std::vector<Entry> snapshot = m_entries;
        for (Entry& entry : snapshot) {
            if (!entry.callback(param)) return false;
        }
        return true;
    }

private:
    struct Entry {
        int cookie;
        Callback callback;
    };
    std::vector<Entry> m_entries;
    int m_lastCookie = 0;
};

}  // namespace SkinUI
