#pragma once
// The picture carousel: shows one picture at a time and, on a switch tick,
// slides the next one in from the right while the current one leaves to the
// left. Three floating panels take turns: left (the picture before), centre
// (the current one) and right (the next one). Two plain window timers of the
// owning window drive it; the window routes their WM_TIMER messages here.

#include <vector>

#include "ui/controls/ContainerUI.h"
#include "ui/controls/ImageSlot.h"

namespace SkinUI {

// One native timer of a window.
class MyTimer {
public:
    MyTimer() = default;
    MyTimer(HWND window, UINT id, UINT interval) : m_window(window), m_id(id), m_interval(interval) {}
    virtual ~MyTimer() = default;

    void Start() const;  // nothing without a window
    void Stop() const;
    UINT GetId() const { return m_id; }

private:
    HWND m_window = nullptr;
    UINT m_id = 0;
    UINT m_interval = 0;
};

class MovingContainer : public CContainerUI {
public:
    enum : UINT { kMoveTimerId = 1, kSwitchTimerId = 2 };
    static constexpr UINT kMoveInterval = 10;

    explicit MovingContainer(HWND window);
    // Pictures that no panel holds at this moment (one of them, between
    // slides) would otherwise be owned by nobody: they go with the container.
    ~MovingContainer() override;

    // All items are added before Start. The list owns nothing: an item
    // belongs to the panel that holds it.
    void AddItem(CControlUI* item);
    // Puts the first picture in view; with `switching`, also starts the
    // switch timer (else StartSwitching does, e.g. once the window shows, so
    // that the first picture stays a whole interval in view).
    void Start(bool switching = true);
    void StartSwitching();
    // Slides waiting outside the panels are not in the tree: they hear of
    // a new scale from here.
    void ScaleChanged() override;
    // With the slides waiting outside the panels: they slide in later.
    void CollectImages(std::vector<ImageDrawInfo*>& images) override;
    // The slides, then the marks over them: one a slide, the one in view
    // longer. They stand still while the slides move under them.
    bool PaintInto(HDC dc, const RECT& paint, CControlUI* stop = nullptr) override;
    void ResetPanels();
    void OnMoveTimer();
    void OnSwitchTimer();

    bool IsMoving() const { return m_moving; }
    int GetCurrentIndex() const { return m_currentIndex; }
    CControlUI* GetCurrentItem() const;
    CContainerUI* GetFrontPanel() const { return m_front; }
    int GetPanelWidth() const { return m_panelWidth; }
    int GetBaseStep() const { return m_baseStep; }

private:
    void MovePanel(CContainerUI* panel, int dx);
    // Gives `panel` the item at `index` as its only child, taking it from
    // another panel if one still holds it (short lists).
    void GiveItem(CContainerUI* panel, int index);
    // Names the carousel for screen readers after the slide in view (its
    // item's accname), and tells them when `announce`.
    void NameAfterCurrentItem(bool announce);
    CContainerUI* HolderOf(CControlUI* item) const;

    bool m_moving = false;
    int m_leftPos = 0;
    int m_centrePos = 0;
    int m_rightPos = 0;
    int m_row = 0;
    int m_panelWidth = 597;
    int m_panelHeight = 332;
    int m_step = 0;
    int m_baseStep = 9;
    int m_switchInterval = 5000;
    CContainerUI* m_panelA = nullptr;  // starts in the centre
    CContainerUI* m_panelB = nullptr;  // starts on the right
    CContainerUI* m_panelC = nullptr;  // starts on the left
    CContainerUI* m_front = nullptr;   // in the centre, or leaving it
    MyTimer m_moveTimer;
    MyTimer m_switchTimer;
    std::vector<CControlUI*> m_items;
    int m_currentIndex = 0;
    CImageSlot m_mark;
    CImageSlot m_currentMark;
    HWND m_window;
};

}  // namespace SkinUI
