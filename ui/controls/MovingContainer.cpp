#include "ui/controls/MovingContainer.h"

#include "ui/core/AccessibleObject.h"
#include "ui/core/UIManager.h"

namespace SkinUI {

void MyTimer::Start() const
{
    if (m_window != nullptr) SetTimer(m_window, m_id, m_interval, nullptr);
}

void MyTimer::Stop() const { KillTimer(m_window, m_id); }

MovingContainer::MovingContainer(HWND window) : m_window(window)
{
    SetImageAttr(m_mark, L"res='185' restype='png'");
    SetImageAttr(m_currentMark, L"res='186' restype='png'");
}

MovingContainer::~MovingContainer()
{
    m_moveTimer.Stop();
    m_switchTimer.Stop();
    for (CControlUI* item : m_items) {
        if (HolderOf(item) == nullptr) item->Delete();
    }
}

CContainerUI* MovingContainer::HolderOf(CControlUI* item) const
{
    // A detached item still names its last panel as parent: ask the panels.
    for (CContainerUI* panel : {m_panelA, m_panelB, m_panelC})
        if (panel != nullptr && panel->GetItemIndex(item) >= 0) return panel;
    return nullptr;
}

void MovingContainer::ScaleChanged()
{
    m_mark.Forget();
    m_currentMark.Forget();
    for (CControlUI* item : m_items) {
        if (HolderOf(item) != nullptr) continue;
        item->SearchTree(
            [](CControlUI* control, void*) -> CControlUI* {
                control->ScaleChanged();
                return nullptr;
            },
            nullptr, UIFIND_ALL);
    }
    CContainerUI::ScaleChanged();
}

void MovingContainer::CollectImages(std::vector<ImageDrawInfo*>& images)
{
    for (CControlUI* item : m_items) {
        if (HolderOf(item) != nullptr) continue;
        item->SearchTree(
            [](CControlUI* control, void* data) -> CControlUI* {
                control->CollectImages(*static_cast<std::vector<ImageDrawInfo*>*>(data));
                return nullptr;
            },
            &images, UIFIND_ALL);
    }
    images.push_back(&m_mark.Info());
    images.push_back(&m_currentMark.Info());
    CContainerUI::CollectImages(images);
}

bool MovingContainer::PaintInto(HDC dc, const RECT& paint, CControlUI* stop)
{
    if (!CContainerUI::PaintInto(dc, paint, stop)) return false;
    const int count = static_cast<int>(m_items.size());
    if (count < 2) return true;
    // In the slides' own pixels: a row at the foot of the picture, centred
    // on its middle, 7 apart.
    constexpr int kMark = 5, kCurrentMark = 18, kGap = 7, kTop = 303;
    const int width = (count - 1) * kMark + kCurrentMark + (count - 1) * kGap;
    int x = (m_panelWidth - width) / 2;
    const DpiScale& scale = GetScale();
    for (int i = 0; i < count; ++i) {
        const int w = i == m_currentIndex ? kCurrentMark : kMark;
        RECT mark = {m_rcItem.left + scale.Scale(x), m_rcItem.top + scale.Scale(kTop),
                     m_rcItem.left + scale.Scale(x + w), m_rcItem.top + scale.Scale(kTop + kMark)};
        RECT visible;
        if (::IntersectRect(&visible, &mark, &paint)) DrawImage(dc, i == m_currentIndex ? m_currentMark : m_mark, &mark);
        x += w + kGap;
    }
    return true;
}

void MovingContainer::AddItem(CControlUI* item)
{
    if (item != nullptr) m_items.push_back(item);
}

CControlUI* MovingContainer::GetCurrentItem() const
{
    return m_items.empty() ? nullptr : m_items[static_cast<size_t>(m_currentIndex)];
}

void MovingContainer::StartSwitching() { m_switchTimer.Start(); }

void MovingContainer::Start(bool switching)
{
    m_moveTimer = MyTimer(m_window, kMoveTimerId, kMoveInterval);
    m_switchTimer = MyTimer(m_window, kSwitchTimerId, static_cast<UINT>(m_switchInterval));
    if (switching) m_switchTimer.Start();
    m_step = m_baseStep;

    m_panelA = new CContainerUI();
    m_panelB = new CContainerUI();
    m_panelC = new CContainerUI();
    for (CContainerUI* panel : {m_panelA, m_panelB, m_panelC}) {
        panel->SetFloat(true);
        Add(panel);  // owned by this container from here on
    }

    int count = static_cast<int>(m_items.size());
    if (count > 0) {
        GiveItem(m_panelC, count - 1);
        GiveItem(m_panelB, count >= 2 ? 1 : 0);
        GiveItem(m_panelA, 0);  // last: with one picture the centre keeps it
    }
    ResetPanels();
    NameAfterCurrentItem(false);
}

void MovingContainer::NameAfterCurrentItem(bool announce)
{
    // One picture to a screen reader, named after the slide in view.
    SetCustomAttr(L"accrole", L"graphic");
    CControlUI* item = GetCurrentItem();
    const wchar_t* name = item != nullptr ? item->GetCustomAttr(L"accname") : nullptr;
    SetCustomAttr(L"accname", name != nullptr ? name : L"");
    if (announce && m_manager != nullptr) m_manager->Accessible().Notify(EVENT_OBJECT_NAMECHANGE, this);
}

void MovingContainer::ResetPanels()
{
    m_leftPos = -m_panelWidth;
    m_centrePos = 0;
    m_rightPos = m_panelWidth;
    m_row = 0;
    if (m_panelA == nullptr) return;
    m_panelC->SetFixedXY({m_leftPos, m_row});
    m_panelA->SetFixedXY({m_centrePos, m_row});
    m_panelB->SetFixedXY({m_rightPos, m_row});
    for (CContainerUI* panel : {m_panelA, m_panelB, m_panelC}) {
        panel->SetFixedWidth(m_panelWidth);
        panel->SetFixedHeight(m_panelHeight);
    }
    m_front = m_panelA;
}

void MovingContainer::OnSwitchTimer()
{
    // One picture has nothing to slide to.
    if (m_moving || m_front == nullptr || m_items.size() < 2 || !IsWindowVisible(m_window)) return;
    m_moveTimer.Start();
    m_moving = true;
}

void MovingContainer::MovePanel(CContainerUI* panel, int dx)
{
    SIZE xy = panel->GetFixedXY();
    xy.cx += dx;
    panel->SetFixedXY(xy);
}

void MovingContainer::OnMoveTimer()
{
    if (m_front == nullptr) return;
    MovePanel(m_panelC, -m_step);
    MovePanel(m_panelA, -m_step);
    MovePanel(m_panelB, -m_step);

    int frontX = m_front->GetFixedXY().cx;
    if (frontX == m_leftPos) {
        m_moveTimer.Stop();
        m_step = m_baseStep;
        m_moving = false;
        int last = static_cast<int>(m_items.size()) - 1;
        m_currentIndex = m_currentIndex < last ? m_currentIndex + 1 : 0;
        int next = m_currentIndex < last ? m_currentIndex + 1 : 0;

        CContainerUI* toRight;
        if (m_front == m_panelA) {
            m_front = m_panelB;
            toRight = m_panelC;
        } else if (m_front == m_panelB) {
            m_front = m_panelC;
            toRight = m_panelA;
        } else {
            m_front = m_panelA;
            toRight = m_panelB;
        }
        toRight->SetFixedXY({m_rightPos, toRight->GetFixedXY().cy});
        GiveItem(toRight, next);
        NameAfterCurrentItem(true);
    } else if (frontX - m_leftPos < m_baseStep) {
        // The last tick lands exactly on the left position.
        m_step = frontX - m_leftPos;
    }
}

void MovingContainer::GiveItem(CContainerUI* panel, int index)
{
    if (index < 0 || index >= static_cast<int>(m_items.size())) return;
    CControlUI* item = m_items[static_cast<size_t>(index)];
    if (panel->GetCount() > 0 && panel->GetItemAt(0) == item) return;
    CContainerUI* holder = HolderOf(item);
    if (holder != nullptr && holder != panel) holder->Remove(item, true);
    if (panel->GetCount() > 0) panel->RemoveAt(0, true);  // detached, not destroyed
    panel->Add(item);
}

}  // namespace SkinUI
