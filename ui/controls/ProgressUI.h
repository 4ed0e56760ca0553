#pragma once
// A bar that shows a value between a minimum and a maximum by drawing its
// fore image over the filled part.

#include "ui/controls/LabelUI.h"

namespace SkinUI {

class CProgressUI : public CLabelUI {
public:
    CProgressUI();

    const wchar_t* ClassName() const override;
    void* InterfaceByName(const wchar_t* name) override;
    void SetAttr(const wchar_t* name, const wchar_t* value) override;
    void PaintStatusImage(HDC dc) override;

    bool IsHorizontal() const { return m_horizontal; }
    void SetHorizontal(bool horizontal = true);
    int GetMinValue() const { return m_min; }
    void SetMinValue(int min);
    int GetMaxValue() const { return m_max; }
    void SetMaxValue(int max);
    int GetValue() const { return m_value; }
    // Clamped into [minimum, maximum].
    void SetValue(int value);
    // The part of the control the fore image covers, relative to the
    // control.
    RECT FilledRect();

private:
    void Normalise();

    bool m_horizontal = true;
    int m_min = 0;
    int m_max = 100;
    int m_value = 0;
};

}  // namespace SkinUI
