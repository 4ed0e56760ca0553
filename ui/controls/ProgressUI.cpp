#include "ui/controls/ProgressUI.h"

#include <cwchar>

#include "ui/core/AttrValue.h"

namespace SkinUI {

CProgressUI::CProgressUI()
{
    m_textStyle = DT_SINGLELINE | DT_CENTER;
    m_fixedHeight = 12;
}

const wchar_t* CProgressUI::ClassName() const { return L"Progress"; }

void* CProgressUI::InterfaceByName(const wchar_t* name)
{
    if (name != nullptr && std::wcscmp(name, L"Progress") == 0) return this;
    return CLabelUI::InterfaceByName(name);
}

void CProgressUI::SetHorizontal(bool horizontal)
{
    if (m_horizontal == horizontal) return;
    m_horizontal = horizontal;
    Invalidate();
}

void CProgressUI::SetMinValue(int min)
{
    m_min = min;
    Invalidate();
}

void CProgressUI::SetMaxValue(int max)
{
    m_max = max;
    Invalidate();
}

void CProgressUI::SetValue(int value)
{
    m_value = value;
    Normalise();
    Invalidate();
}

void CProgressUI::Normalise()
{
    if (m_min >= m_max) m_max = m_min + 1;
    if (m_value > m_max) m_value = m_max;
    if (m_value < m_min) m_value = m_min;
}

RECT CProgressUI::FilledRect()
{
    Normalise();
    // 64-bit products: a wide bar times a large range must not overflow.
    long long range = static_cast<long long>(m_max) - m_min;
    if (m_horizontal) {
        long long width = static_cast<long long>(GetWidth()) * (static_cast<long long>(m_value) - m_min) / range;
        return RECT{0, 0, static_cast<LONG>(width), GetHeight()};
    }
    long long top = static_cast<long long>(GetHeight()) * (static_cast<long long>(m_max) - m_value) / range;
    return RECT{0, static_cast<LONG>(top), GetWidth(), GetHeight()};
}

void CProgressUI::SetAttr(const wchar_t* name, const wchar_t* value)
{
    using namespace AttrValue;
    if (value == nullptr) value = L"";
    if (std::wcscmp(name, L"foreimage") == 0) SetForeImage(value);
    else if (std::wcscmp(name, L"hor") == 0) SetHorizontal(IsTrue(value));
    else if (std::wcscmp(name, L"min") == 0) SetMinValue(ToLong(value));
    else if (std::wcscmp(name, L"max") == 0) SetMaxValue(ToLong(value));
    else if (std::wcscmp(name, L"value") == 0) SetValue(ToLong(value));
    else CLabelUI::SetAttr(name, value);
}

void CProgressUI::PaintStatusImage(HDC dc)
{
    if (m_foreImage.IsEmpty()) return;
    RECT filled = FilledRect();
    if (filled.right <= filled.left || filled.bottom <= filled.top) return;
    DrawImage(dc, m_foreImage, &filled);
}

}  // namespace SkinUI
