#pragma once
// A label that clicks: pushed while the left button is down inside it, hot
// under the mouse, "click" when the button comes up inside it (or on Space
// or Enter), and an image and text colour for each state.

#include "ui/controls/LabelUI.h"

namespace SkinUI {

enum UIButtonState : UINT {
    UISTATE_FOCUSED = 0x01,
    UISTATE_DISABLED = 0x04,
    UISTATE_HOT = 0x08,
    UISTATE_PUSHED = 0x10,
    UISTATE_CAPTURED = 0x40,
};

class CButtonUI : public CLabelUI {
public:
    CButtonUI();

    const wchar_t* ClassName() const override;
    void* InterfaceByName(const wchar_t* name) override;
    UINT ControlFlags() const override;
    // Sends "click" (when visible and enabled).
    bool Trigger() override;
    void SetEnabled(bool enabled = true) override;
    void HandleEvent(TUIEvent& event) override;
    void SetAttr(const wchar_t* name, const wchar_t* value) override;
    void PaintText(HDC dc) override;
    void PaintStatusImage(HDC dc) override;
    static constexpr DWORD kFocusRingColor = 0xFF00EAFF;
    void ScaleChanged() override;
    void CollectImages(std::vector<ImageDrawInfo*>& images) override;

    // The state bits that apply now (focus and enabled included).
    UINT GetButtonState() const;

    void SetNormalImage(const wchar_t* image) { SetImageAttr(m_normalImage, image); }
    void SetHotImage(const wchar_t* image) { SetImageAttr(m_hotImage, image); }
    void SetPushedImage(const wchar_t* image) { SetImageAttr(m_pushedImage, image); }
    void SetFocusedImage(const wchar_t* image) { SetImageAttr(m_focusedImage, image); }
    void SetDisabledImage(const wchar_t* image) { SetImageAttr(m_disabledImage, image); }
    void SetHotForeImage(const wchar_t* image) { SetImageAttr(m_hotForeImage, image); }
    void SetPushedForeImage(const wchar_t* image) { SetImageAttr(m_pushedForeImage, image); }
    void SetFiveStatusImage(const wchar_t* image) { SetImageAttr(m_fiveStatusImage, image); }
    const CUIString& GetNormalImage() const { return m_normalImage.Text(); }
    const CUIString& GetHotImage() const { return m_hotImage.Text(); }
    const CUIString& GetPushedImage() const { return m_pushedImage.Text(); }

    void SetHotBkColor(DWORD color) { m_hotBkColor = color; }
    void SetHotTextColor(DWORD color) { m_hotTextColor = color; }
    void SetPushedTextColor(DWORD color) { m_pushedTextColor = color; }
    void SetFocusedTextColor(DWORD color) { m_focusedTextColor = color; }
    // Cross-fading between the normal and hot images in steps of `delta`.
    void SetFadeDelta(BYTE delta) { m_fadeDelta = delta; }
    BYTE GetFadeDelta() const { return m_fadeDelta; }
    BYTE GetFadeAlpha() const { return m_fadeAlpha; }

    // Timer of the hot/normal cross-fade, and its tick.
    static constexpr UINT kFadeTimerId = 11;
    static constexpr UINT kFadeIntervalMs = 30;

protected:
    void PaintFocusRing(HDC dc);
    // Draws `image`, or the normal image when it is missing or fails.
    void DrawStateImage(HDC dc, CImageSlot& image);
    // The cross-fade: started on entering and leaving, one step per tick.
    void StartFade();
    void StepFade();

    UINT m_state = 0;  // hot, pushed, captured (focus and enabled are read live)
    DWORD m_hotBkColor = 0;
    DWORD m_hotTextColor = 0;
    DWORD m_pushedTextColor = 0;
    DWORD m_focusedTextColor = 0;
    CImageSlot m_normalImage;
    CImageSlot m_hotImage;
    CImageSlot m_hotForeImage;
    CImageSlot m_pushedImage;
    CImageSlot m_pushedForeImage;
    CImageSlot m_focusedImage;
    CImageSlot m_disabledImage;
    CImageSlot m_fiveStatusImage;
    BYTE m_fadeDelta = 0;
    BYTE m_fadeAlpha = 255;  // weight of the normal image while fading
};

}  // namespace SkinUI
