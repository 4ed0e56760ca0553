#pragma once
// Hands a layered window's frames to the system from a thread of its own.
//
// Under Wine, UpdateLayeredWindowIndirect copies the whole window surface
// twice and waits on the X server: 5 to 8 ms a frame for the setup wizard,
// several times what painting the frame costs. On the window's thread that
// time is taken from input and timers; here it is not. The window's thread
// paints the buffer only while no frame is in flight (Busy), so the two
// threads never touch the buffer at once and need no lock around it.
//
// Frames go out with the window's current position and size (no pptDst, no
// psize): a frame handed over while the user drags the window must not pull
// it back to where it was when the frame was painted. Wine still reads the
// rectangle when the frame starts and writes it when the frame ends, so the
// window's thread lets a frame in flight end before it moves the window
// (see WM_WINDOWPOSCHANGING in the manager). A frame the system
// refuses (the window changed size under it) is reported to the window with
// `refusedMessage`, so that its own thread can update it whole.
#include <windows.h>

#include <atomic>

namespace SkinUI {

using UpdateLayeredIndirectProc = BOOL(WINAPI*)(HWND, const UPDATELAYEREDWINDOWINFO*);
// UpdateLayeredWindowIndirect, looked up rather than linked (user32 has it
// from Vista on only); null where it is missing.
UpdateLayeredIndirectProc UpdateLayeredIndirect();

class CLayeredPresenter {
public:
    CLayeredPresenter(HWND window, UINT refusedMessage);
    ~CLayeredPresenter();  // waits for the frame in flight, then stops
    CLayeredPresenter(const CLayeredPresenter&) = delete;
    CLayeredPresenter& operator=(const CLayeredPresenter&) = delete;

    // False when the thread could not be made: the caller updates the
    // window itself.
    bool Start();
    // A frame is being handed over: its buffer must not be painted.
    bool Busy() const { return m_busy.load(std::memory_order_acquire); }
    // Queues the `dirty` part of the buffer selected into `source` and
    // returns at once. Only while not Busy.
    void Present(HDC source, const RECT& dirty, BYTE opacity);
    // Returns once no frame is in flight. Messages other threads send to
    // this one are answered meanwhile: the system may send the window's own
    // position messages from the presenting thread.
    void WaitIdle();

private:
    static DWORD WINAPI Run(void* self);
    void Loop();

    HWND m_window;
    UINT m_refusedMessage;
    HANDLE m_thread = nullptr;
    // A slim lock and condition variables rather than events: under Wine
    // every SetEvent or ResetEvent is a round trip to the server, which the
    // frame's own requests keep busy; these wait and wake in the process.
    SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_frameOrStop = CONDITION_VARIABLE_INIT;
    CONDITION_VARIABLE m_idle = CONDITION_VARIABLE_INIT;
    std::atomic<bool> m_busy{false};
    bool m_stop = false;
    // The frame in flight: written by the window's thread while not Busy,
    // read by the presenting thread while Busy.
    HDC m_source = nullptr;
    RECT m_dirty = {0, 0, 0, 0};
    BYTE m_opacity = 255;
};

}  // namespace SkinUI
