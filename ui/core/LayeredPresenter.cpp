#include "ui/core/LayeredPresenter.h"

namespace SkinUI {

namespace {

using UpdateIndirectProc = BOOL(WINAPI*)(HWND, const UPDATELAYEREDWINDOWINFO*);

UpdateIndirectProc UpdateIndirect()
{
    // Looked up rather than linked: user32 has it from Vista on only.
    static const UpdateIndirectProc proc = reinterpret_cast<UpdateIndirectProc>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "UpdateLayeredWindowIndirect")));
    return proc;
}

}  // namespace

CLayeredPresenter::CLayeredPresenter(HWND window, UINT refusedMessage)
    : m_window(window), m_refusedMessage(refusedMessage)
{
}

CLayeredPresenter::~CLayeredPresenter()
{
    if (m_thread != nullptr) {
        WaitIdle();
        m_stop.store(true, std::memory_order_release);
        ::SetEvent(m_wake);
        // The thread is idle: it only has to see the request.
        ::WaitForSingleObject(m_thread, INFINITE);
        ::CloseHandle(m_thread);
    }
    if (m_wake != nullptr) ::CloseHandle(m_wake);
    if (m_idle != nullptr) ::CloseHandle(m_idle);
}

bool CLayeredPresenter::Start()
{
    if (UpdateIndirect() == nullptr) return false;
    m_wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_idle = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (m_wake == nullptr || m_idle == nullptr) return false;
    m_thread = ::CreateThread(nullptr, 64 * 1024, Run, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    return m_thread != nullptr;
}

void CLayeredPresenter::Present(HDC source, const RECT& dirty, BYTE opacity)
{
    m_source = source;
    m_dirty = dirty;
    m_opacity = opacity;
    ::ResetEvent(m_idle);
    m_busy.store(true, std::memory_order_release);
    ::SetEvent(m_wake);
}

void CLayeredPresenter::WaitIdle() const
{
    while (Busy()) {
        if (::MsgWaitForMultipleObjects(1, &m_idle, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            MSG message;
            ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
}

DWORD WINAPI CLayeredPresenter::Run(void* self)
{
    static_cast<CLayeredPresenter*>(self)->Loop();
    return 0;
}

void CLayeredPresenter::Loop()
{
    for (;;) {
        ::WaitForSingleObject(m_wake, INFINITE);
        if (m_stop.load(std::memory_order_acquire)) return;
        if (!Busy()) continue;
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, m_opacity, AC_SRC_ALPHA};
        POINT source = {0, 0};
        UPDATELAYEREDWINDOWINFO info = {};
        info.cbSize = sizeof(info);
        info.hdcSrc = m_source;
        info.pptSrc = &source;
        info.pblend = &blend;
        info.dwFlags = ULW_ALPHA;
        info.prcDirty = &m_dirty;
        const bool shown = UpdateIndirect()(m_window, &info) != FALSE;
        m_busy.store(false, std::memory_order_release);
        ::SetEvent(m_idle);
        if (!shown) ::PostMessageW(m_window, m_refusedMessage, 0, 0);
    }
}

}  // namespace SkinUI
