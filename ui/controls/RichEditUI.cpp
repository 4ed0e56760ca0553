#include "ui/controls/RichEditUI.h"

#include <cwchar>
#include <string>
#include <vector>

#include "ui/core/AttrValue.h"
#include "ui/core/GdiHandles.h"
#include "ui/core/UIManager.h"

namespace SkinUI {

namespace {

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

bool IsKeyboardMessage(UINT message)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_SETCONTEXT:
    case WM_IME_NOTIFY:
    case WM_IME_CONTROL:
    case WM_IME_COMPOSITIONFULL:
    case WM_IME_SELECT:
    case WM_IME_CHAR:
    case WM_IME_REQUEST:
    case WM_IME_KEYDOWN:
    case WM_IME_KEYUP:
        return true;
    default:
        return false;
    }
}

}  // namespace

CRichEditUI::CRichEditUI() = default;

CRichEditUI::~CRichEditUI()
{
    if (m_manager != nullptr) m_manager->RemoveMessageFilter(this);
    if (m_host != nullptr) {
        CTxtWinHost* host = m_host;
        m_host = nullptr;
        host->Shutdown();
        host->Release();
    }
}

const wchar_t* CRichEditUI::ClassName() const { return L"RichEdit"; }

void* CRichEditUI::InterfaceByName(const wchar_t* name)
{
    if (name != nullptr && std::wcscmp(name, L"RichEdit") == 0) return this;
    return CContainerUI::InterfaceByName(name);
}

UINT CRichEditUI::ControlFlags() const
{
    UINT flags = UIFLAG_SETCURSOR;
    if (IsEnabled() && IsKeyboardEnabled()) flags |= UIFLAG_TABSTOP;
    return flags;
}

RECT CRichEditUI::EngineRect() const
{
    RECT rect = m_rcItem;
    rect.left += m_textPadding.left;
    rect.top += m_textPadding.top;
    rect.right -= m_textPadding.right;
    rect.bottom -= m_textPadding.bottom;
    if (rect.right < rect.left) rect.right = rect.left;
    if (rect.bottom < rect.top) rect.bottom = rect.top;
    return rect;
}

TTextHostSettings CRichEditUI::Settings() const
{
    TTextHostSettings settings;
    settings.style = m_style;
    settings.rich = m_rich;
    settings.transparent = m_transparent;
    // A multi-line box that scrolls sideways keeps its lines whole.
    settings.wordWrap = (m_style & ES_AUTOHSCROLL) == 0;
    settings.font = m_manager != nullptr ? m_manager->GetFont(m_font) : nullptr;
    settings.textColor = ToColorRef(m_textColor != 0 ? m_textColor : CUIManager::GetDefaultFontColor());
    if (m_style & ES_CENTER) settings.alignment = PFA_CENTER;
    else if (m_style & ES_RIGHT) settings.alignment = PFA_RIGHT;
    else settings.alignment = PFA_LEFT;
    return settings;
}

void CRichEditUI::ApplySettings()
{
    if (m_host != nullptr) m_host->ApplySettings(Settings());
    Invalidate();
}

void CRichEditUI::DoInit()
{
    if (m_host != nullptr || m_manager == nullptr) return;
    m_host = new CTxtWinHost(this);
    if (!m_host->Init(Settings(), EngineRect(), m_text)) {
        // No engine on this system: the control keeps its background only.
        CTxtWinHost* host = m_host;
        m_host = nullptr;
        host->Shutdown();
        host->Release();
        return;
    }
    m_manager->AddMessageFilter(this);
    if (m_manager->IsLayered()) {
        const UINT blink = ::GetCaretBlinkTime();
        if (blink != 0 && blink != INFINITE) m_manager->SetUITimer(this, kCaretTimerId, blink);
    }
}

CUIString CRichEditUI::GetText() const
{
    if (!HasEngine()) return m_text;
    const LRESULT length = m_host->Send(WM_GETTEXTLENGTH);
    if (length <= 0) return CUIString();
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = m_host->Send(WM_GETTEXT, static_cast<WPARAM>(length) + 1,
                                        reinterpret_cast<LPARAM>(&buffer[0]));
    return CUIString(buffer.c_str(), static_cast<int>(copied));
}

void CRichEditUI::SetText(const wchar_t* text)
{
    m_text = text;
    if (!HasEngine()) {
        Invalidate();
        return;
    }
    // The whole content goes, formatting included: select all, replace.
    m_host->Send(EM_SETSEL, 0, -1);
    m_host->Send(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text != nullptr ? text : L""));
    Invalidate();
}

void CRichEditUI::PlaceAt(RECT rect, bool invalidate)
{
    CContainerUI::PlaceAt(rect, invalidate);
    if (m_host != nullptr) m_host->SetClientRect(EngineRect());
}

void CRichEditUI::SetReadOnly(bool readOnly)
{
    if (readOnly) m_style |= ES_READONLY;
    else m_style &= ~static_cast<DWORD>(ES_READONLY);
    ApplySettings();
}

void CRichEditUI::SetFont(int index)
{
    m_font = index;
    ApplySettings();
}

void CRichEditUI::SetTextColor(DWORD color)
{
    m_textColor = color;
    ApplySettings();
}

void CRichEditUI::ScaleChanged()
{
    m_textPadding.Apply(GetScale());
    ApplySettings();  // the font, made again for the scale
    CControlUI::ScaleChanged();
}

void CRichEditUI::SetTextPadding(const RECT& padding)
{
    m_textPadding.Set(padding, GetScale());
    if (m_host != nullptr) m_host->SetClientRect(EngineRect());
    Invalidate();
}

void CRichEditUI::OnEngineNotify(DWORD code, void*)
{
    if (code == EN_CHANGE && m_manager != nullptr) m_manager->EmitNotify(this, L"textchanged");
}

void CRichEditUI::InvalidateCaret()
{
    if (m_host == nullptr || m_manager == nullptr) return;
    RECT caret = m_host->CaretRect();
    ::InflateRect(&caret, 1, 1);
    RECT visible;
    if (::IntersectRect(&visible, &caret, &m_rcItem)) m_manager->Invalidate(visible);
}

LRESULT CRichEditUI::FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (!HasEngine() || m_manager == nullptr || m_manager->GetFocus() != this || !IsVisible() || !IsEnabled()) {
        return 0;
    }
    if (!IsKeyboardMessage(message)) return 0;

    const bool enter = (message == WM_KEYDOWN || message == WM_CHAR) && wParam == VK_RETURN;
    if (enter) {
        const bool controlUp = ::GetKeyState(VK_CONTROL) >= 0;
        if (!(m_wantReturn && (controlUp || m_wantCtrlReturn))) {
            // The character that follows the key is swallowed too, or the
            // engine would still break the line.
            if (message == WM_KEYDOWN) m_manager->EmitNotify(this, L"return");
            handled = true;
            return 0;
        }
    }
    if (((message == WM_KEYDOWN || message == WM_KEYUP) && wParam == VK_TAB) ||
        (message == WM_CHAR && wParam == L'\t')) {
        if (!m_wantTab) return 0;  // the manager moves the focus
    }
    HRESULT hr = S_OK;
    LRESULT result = m_host->Send(message, wParam, lParam, &hr);
    // S_FALSE and the key-ignored answer leave the key to the window.
    handled = hr == S_OK;
    return result;
}

void CRichEditUI::HandleEvent(TUIEvent& event)
{
    if (!IsMouseEnabled() && event.type >= UIEVENT_MOUSEBEGIN && event.type <= UIEVENT_MOUSEEND) {
        if (m_parent != nullptr) m_parent->HandleEvent(event);
        else CContainerUI::HandleEvent(event);
        return;
    }
    switch (event.type) {
    case UIEVENT_SETCURSOR:
        if (HasEngine() && IsEnabled()) {
            const RECT client = EngineRect();
            if (::PtInRect(&client, event.mouse)) {
                m_host->Services()->OnTxSetCursor(DVASPECT_CONTENT, -1, nullptr, nullptr, m_manager->GetPaintDC(),
                                                  nullptr, &client, event.mouse.x, event.mouse.y);
                return;
            }
        }
        ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // IDC_ARROW
        return;
    case UIEVENT_SETFOCUS:
        if (!HasEngine()) break;
        m_focused = true;
        m_caretBlinkOn = true;
        m_host->Services()->OnTxUIActivate();
        m_host->Send(WM_SETFOCUS);
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        m_focused = false;
        if (HasEngine()) {
            m_host->Send(WM_KILLFOCUS);
            m_host->Services()->OnTxUIDeactivate();
        }
        Invalidate();
        return;
    case UIEVENT_TIMER:
        if (event.wParam == kCaretTimerId) {
            m_caretBlinkOn = !m_caretBlinkOn;
            InvalidateCaret();
            return;
        }
        if (event.wParam >= CTxtWinHost::kEngineTimerBase) {
            m_host->Send(WM_TIMER, event.wParam - CTxtWinHost::kEngineTimerBase, 0);
            return;
        }
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
    case UIEVENT_BUTTONUP:
    case UIEVENT_RBUTTONDOWN:
    case UIEVENT_MOUSEMOVE: {
        if (!HasEngine() || !IsEnabled()) return;
        UINT message = WM_MOUSEMOVE;
        if (event.type == UIEVENT_BUTTONDOWN) message = WM_LBUTTONDOWN;
        else if (event.type == UIEVENT_DBLCLICK) message = WM_LBUTTONDBLCLK;
        else if (event.type == UIEVENT_BUTTONUP) message = WM_LBUTTONUP;
        else if (event.type == UIEVENT_RBUTTONDOWN) message = WM_RBUTTONDOWN;
        m_host->Send(message, event.wParam, MAKELPARAM(event.mouse.x, event.mouse.y));
        m_caretBlinkOn = true;
        return;
    }
    case UIEVENT_SCROLLWHEEL: {
        if (!HasEngine()) break;
        // The event keeps only the direction (1: towards the user).
        const short delta = event.wParam == 1 ? -WHEEL_DELTA : WHEEL_DELTA;
        POINT screen = event.mouse;
        ::ClientToScreen(m_manager->GetWindow(), &screen);
        m_host->Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), MAKELPARAM(screen.x, screen.y));
        return;
    }
    default:
        break;
    }
    CContainerUI::HandleEvent(event);
}

void CRichEditUI::SetAttr(const wchar_t* name, const wchar_t* value)
{
    using namespace AttrValue;
    if (value == nullptr) value = L"";
    auto setStyle = [this](DWORD bits, bool on) {
        if (on) m_style |= bits;
        else m_style &= ~bits;
        ApplySettings();
    };
    if (std::wcscmp(name, L"vscrollbar") == 0) setStyle(WS_VSCROLL, IsTrue(value));
    else if (std::wcscmp(name, L"hscrollbar") == 0) setStyle(WS_HSCROLL, IsTrue(value));
    else if (std::wcscmp(name, L"autovscroll") == 0) setStyle(ES_AUTOVSCROLL, IsTrue(value));
    else if (std::wcscmp(name, L"autohscroll") == 0) setStyle(ES_AUTOHSCROLL, IsTrue(value));
    else if (std::wcscmp(name, L"wanttab") == 0) SetWantTab(IsTrue(value));
    else if (std::wcscmp(name, L"wantreturn") == 0) SetWantReturn(IsTrue(value));
    else if (std::wcscmp(name, L"wantctrlreturn") == 0) SetWantCtrlReturn(IsTrue(value));
    else if (std::wcscmp(name, L"transparent") == 0) {
        m_transparent = IsTrue(value);
        ApplySettings();
    } else if (std::wcscmp(name, L"rich") == 0) {
        m_rich = IsTrue(value);
        ApplySettings();
    } else if (std::wcscmp(name, L"multiline") == 0) {
        if (std::wcscmp(value, L"false") == 0) setStyle(ES_MULTILINE, false);
    } else if (std::wcscmp(name, L"readonly") == 0) {
        SetReadOnly(IsTrue(value));
    } else if (std::wcscmp(name, L"password") == 0) {
        setStyle(ES_PASSWORD, IsTrue(value));
    } else if (std::wcscmp(name, L"align") == 0) {
        DWORD align = m_style & (ES_CENTER | ES_RIGHT);
        if (Contains(value, L"left")) align = ES_LEFT;
        if (Contains(value, L"center")) align = ES_CENTER;
        if (Contains(value, L"right")) align = ES_RIGHT;
        m_style = (m_style & ~static_cast<DWORD>(ES_CENTER | ES_RIGHT)) | align;
        ApplySettings();
    } else if (std::wcscmp(name, L"font") == 0) {
        SetFont(static_cast<int>(ToLong(value)));
    } else if (std::wcscmp(name, L"textcolor") == 0) {
        SetTextColor(ToColor(value));
    } else if (std::wcscmp(name, L"textpadding") == 0) {
        long n[4];
        ToNumbers(value, n, 4);
        SetTextPadding(RECT{n[0], n[1], n[2], n[3]});
    } else {
        CContainerUI::SetAttr(name, value);
    }
}

void CRichEditUI::RestoreAlpha(const RECT& area, const std::vector<DWORD>& before)
{
    const CDibSection& buffer = m_manager->GetLayeredBuffer();
    ::GdiFlush();
    size_t i = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        DWORD* row = buffer.Row(y);
        for (int x = area.left; x < area.right; ++x, ++i) {
            // What the engine drew differs from what was there.
            if (row[x] != before[i]) row[x] |= 0xFF000000;
        }
    }
}

void CRichEditUI::PaintText(HDC dc)
{
    if (!HasEngine() || m_manager == nullptr) return;
    RECT area;
    const RECT engine = EngineRect();
    if (!::IntersectRect(&area, &m_rcPaint, &engine)) return;

    // Straight pixel access works only on the manager's own layered buffer.
    const CDibSection& buffer = m_manager->GetLayeredBuffer();
    const bool layeredBuffer = m_manager->IsLayered() && dc == m_manager->GetOffscreenDC() &&
                               buffer.Pixels() != nullptr && area.right <= buffer.Width() &&
                               area.bottom <= buffer.Height() && area.left >= 0 && area.top >= 0;
    std::vector<DWORD> before;
    if (layeredBuffer) {
        ::GdiFlush();
        before.reserve(static_cast<size_t>(area.right - area.left) * (area.bottom - area.top));
        for (int y = area.top; y < area.bottom; ++y) {
            const DWORD* row = buffer.Row(y);
            before.insert(before.end(), row + area.left, row + area.right);
        }
    }
    {
        CClipGuard clip(dc, area);
        m_host->Draw(dc, area);
    }
    if (layeredBuffer) RestoreAlpha(area, before);

    // The engine's caret on a layered window: one pixel wide, blinking on
    // the control's own timer.
    if (m_manager->IsLayered() && IsFocused() && m_caretBlinkOn && m_host->IsCaretShown()) {
        RECT caret;
        RECT rect = m_host->CaretRect();
        if (!::IntersectRect(&caret, &rect, &area)) return;
        const DWORD color = 0xFF000000 | (m_textColor != 0 ? m_textColor : CUIManager::GetDefaultFontColor());
        if (layeredBuffer) {
            ::GdiFlush();
            for (int y = caret.top; y < caret.bottom; ++y) {
                DWORD* row = buffer.Row(y);
                for (int x = caret.left; x < caret.right; ++x) row[x] = color;
            }
        } else {
            COLORREF old = ::SetDCBrushColor(dc, ToColorRef(color));
            ::FillRect(dc, &caret, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
            ::SetDCBrushColor(dc, old);
        }
    }
}

}  // namespace SkinUI
