#include "ui/core/LayeredPresenter.h"

namespace SkinUI {

UpdateLayeredIndirectProc UpdateLayeredIndirect()
{
    static const UpdateLayeredIndirectProc proc = reinterpret_cast<UpdateLayeredIndirectProc>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "UpdateLayeredWindowIndirect")));
    return proc;
}

CLayeredPresenter::CLayeredPresenter(HWND window, UINT refusedMessage)
    : m_window(window), m_refusedMessage(refusedMessage)
{
}

CLayeredPresenter::~CLayeredPresenter()
{
    if (m_thread == nullptr) return;
    WaitIdle();
    ::AcquireSRWLockExclusive(&m_lock);
    m_stop = true;
    ::ReleaseSRWLockExclusive(&m_lock);
    ::WakeConditionVariable(&m_frameOrStop);
    ::WaitForSingleObject(m_thread, INFINITE);
    ::CloseHandle(m_thread);
}

bool CLayeredPresenter::Start()
{
    if (UpdateLayeredIndirect() == nullptr) return false;
    m_thread = ::CreateThread(nullptr, 64 * 1024, Run, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    return m_thread != nullptr;
}

void CLayeredPresenter::Present(HDC source, const RECT& dirty, BYTE opacity)
{
    ::AcquireSRWLockExclusive(&m_lock);
    m_source = source;
    m_dirty = dirty;
    m_opacity = opacity;
    m_busy.store(true, std::memory_order_release);
    ::ReleaseSRWLockExclusive(&m_lock);
    ::WakeConditionVariable(&m_frameOrStop);
}

void CLayeredPresenter::WaitIdle()
{
    ::AcquireSRWLockExclusive(&m_lock);
    while (m_busy.load(std::memory_order_acquire)) {
        // Short sleeps: a message sent from the presenting thread must be
        // answered for the frame to end, and no wait here sees one arrive.
        ::SleepConditionVariableSRW(&m_idle, &m_lock, 1, 0);
        ::ReleaseSRWLockExclusive(&m_lock);
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        ::AcquireSRWLockExclusive(&m_lock);
    }
    ::ReleaseSRWLockExclusive(&m_lock);
}

DWORD WINAPI CLayeredPresenter::Run(void* self)
{
    static_cast<CLayeredPresenter*>(self)->Loop();
    return 0;
}

void CLayeredPresenter::Loop()
{
    for (;;) {
        ::AcquireSRWLockExclusive(&m_lock);
        while (!m_busy.load(std::memory_order_acquire) && !m_stop) {
            ::SleepConditionVariableSRW(&m_frameOrStop, &m_lock, INFINITE, 0);
        }
        if (m_stop) {
            ::ReleaseSRWLockExclusive(&m_lock);
            return;
        }
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, m_opacity, AC_SRC_ALPHA};
        RECT dirty = m_dirty;
        HDC source = m_source;
        ::ReleaseSRWLockExclusive(&m_lock);

        POINT origin = {0, 0};
        UPDATELAYEREDWINDOWINFO info = {};
        info.cbSize = sizeof(info);
        info.hdcSrc = source;
        info.pptSrc = &origin;
        info.pblend = &blend;
        info.dwFlags = ULW_ALPHA;
        info.prcDirty = &dirty;
        const bool shown = UpdateLayeredIndirect()(m_window, &info) != FALSE;

        ::AcquireSRWLockExclusive(&m_lock);
        m_busy.store(false, std::memory_order_release);
        ::ReleaseSRWLockExclusive(&m_lock);
        ::WakeAllConditionVariable(&m_idle);
        if (!shown) ::PostMessageW(m_window, m_refusedMessage, 0, 0);
    }
}

}  // namespace SkinUI
