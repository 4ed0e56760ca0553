#pragma once
// A label whose text may carry the inline markup (`showhtml`), with links:
// while painting it records where up to eight link rectangles are, shows
// the hand over them, tracks the link under the mouse (drawn in the hover
// colour) and sends "link" with the link's number when one is clicked.

#include <vector>

#include "ui/controls/InlineText.h"
#include "ui/controls/LabelUI.h"

namespace SkinUI {

class CTextUI : public CLabelUI {
public:
    static constexpr size_t kMaxLinks = 8;

    CTextUI();

    const wchar_t* ClassName() const override;
    void* InterfaceByName(const wchar_t* name) override;
    UINT ControlFlags() const override;

    void SetText(const wchar_t* text) override;
    SIZE MeasureSize(SIZE available) override;
    void HandleEvent(TUIEvent& event) override;
    void PaintText(HDC dc) override;

    // The links as last painted (client coordinates).
    const std::vector<TInlineLinkRect>& GetLinkRects() const { return m_links; }
    // The link under the mouse, or -1.
    int GetHotLink() const { return m_hotLink; }
    // The target named in a link's tag ("" when it named none).
    CUIString GetLinkTarget(int link) const;

private:
    int LinkAt(POINT point) const;
    void ParseText();

    TInlineText m_parsed;
    std::vector<TInlineLinkRect> m_links;
    int m_hotLink = -1;
};

}  // namespace SkinUI
