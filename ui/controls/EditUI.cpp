#include "ui/controls/EditUI.h"

#include "ui/core/AccessibleObject.h"

#include <cwchar>
#include <string>

#include "ui/controls/ButtonUI.h"
#include "ui/core/AttrValue.h"
#include "ui/core/UIManager.h"

namespace SkinUI {

namespace {

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

constexpr DWORD kSystemBackground = 0xFFFFFFFF;

// The manager hands a native child's notifications back to the child as
// the message number plus 0x2000.
constexpr UINT kReflectedCommand = WM_COMMAND + CUIManager::kReflectBase;
constexpr UINT kReflectedColorEdit = WM_CTLCOLOREDIT + CUIManager::kReflectBase;
constexpr UINT kReflectedColorStatic = WM_CTLCOLORSTATIC + CUIManager::kReflectBase;

CUIString WindowText(HWND window)
{
    int length = ::GetWindowTextLengthW(window);
    if (length <= 0) return CUIString();
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    int copied = ::GetWindowTextW(window, &buffer[0], length + 1);
    return CUIString(buffer.c_str(), copied);
}

}  // namespace

// --- CEditWnd ----------------------------------------------------------------

CEditWnd::CEditWnd(CEditUI* owner) : m_owner(owner), m_manager(owner->GetManager()) {}

RECT CEditWnd::TextArea() const
{
    RECT area = m_owner->GetPos();
    const RECT padding = m_owner->GetTextPadding();
    area.left += padding.left;
    area.top += padding.top;
    area.right -= padding.right;
    area.bottom -= padding.bottom;
    if (const TFontInfo* font = m_manager->GetFontInfo(m_owner->GetFont())) {
        const int fontHeight = font->metrics.tmHeight;
        const int height = area.bottom - area.top;
        if (fontHeight > 0 && height > fontHeight) {
            area.top += (height - fontHeight) / 2;
            area.bottom = area.top + fontHeight;
        }
    }
    for (CControlUI* ancestor = m_owner->GetParent(); ancestor != nullptr; ancestor = ancestor->GetParent()) {
        if (!ancestor->IsVisible() || !::IntersectRect(&area, &area, &ancestor->GetPos())) {
            ::SetRectEmpty(&area);
            break;
        }
    }
    return area;
}

DWORD CEditWnd::NativeStyle() const
{
    DWORD style = WS_CHILD | ES_AUTOHSCROLL | m_owner->m_windowStyle;
    const UINT align = m_owner->GetTextStyle();
    if (align & DT_CENTER) style |= ES_CENTER;
    else if (align & DT_RIGHT) style |= ES_RIGHT;
    if (m_owner->IsPasswordMode()) style |= ES_PASSWORD;
    return style;
}

bool CEditWnd::Open()
{
    HWND parent = m_manager != nullptr ? m_manager->GetWindow() : nullptr;
    if (parent == nullptr) return false;
    const RECT area = TextArea();
    // Setting up the window changes its text: no "textchanged" for that.
    m_opening = true;
    if (CreateNativeWindow(parent, nullptr, NativeStyle(), 0, area) != nullptr) SetUp(area);
    m_opening = false;
    // Gone already (its creation failed half way, or taking the focus
    // destroyed it): the caller deletes this object.
    return m_hWnd != nullptr;
}

void CEditWnd::SetUp(const RECT& area)
{
    m_layered = m_manager->IsLayered();
    ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_manager->GetFont(m_owner->GetFont())), FALSE);
    ::SendMessageW(m_hWnd, EM_LIMITTEXT, static_cast<WPARAM>(m_owner->GetMaxChar()), 0);
    if (m_owner->IsPasswordMode()) ::SendMessageW(m_hWnd, EM_SETPASSWORDCHAR, m_owner->GetPasswordChar(), 0);
    ::SetWindowTextW(m_hWnd, m_owner->m_text);
    ::SendMessageW(m_hWnd, EM_SETMODIFY, FALSE, 0);
    ::SendMessageW(m_hWnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    ::EnableWindow(m_hWnd, m_owner->IsEnabled());
    ::SendMessageW(m_hWnd, EM_SETREADONLY, m_owner->IsReadOnly(), 0);
    m_manager->AddNativeWindow(m_owner, m_hWnd);

    if (!::IsRectEmpty(&area)) ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    ::SetFocus(m_hWnd);
    if (m_hWnd == nullptr) return;
    const int length = ::GetWindowTextLengthW(m_hWnd);
    if (m_owner->IsAutoSelectAll()) {
        ::SendMessageW(m_hWnd, EM_SETSEL, 0, length > 0 ? length : 1);
    } else {
        ::SendMessageW(m_hWnd, EM_SETSEL, length, length);
    }
    if (m_layered) {
        const UINT blink = ::GetCaretBlinkTime();
        m_caretOn = true;
        // INFINITE: the user turned blinking off; the caret then stays on.
        if (blink != 0 && blink != INFINITE) ::SetTimer(m_hWnd, kCaretTimerId, blink, nullptr);
    }
}

void CEditWnd::Abandon()
{
    m_owner = nullptr;
    if (m_hWnd != nullptr) {
        ::DestroyWindow(m_hWnd);  // OnFinalMessage deletes this object
    } else {
        delete this;
    }
}

void CEditWnd::OnFinalMessage(HWND window)
{
    if (m_owner != nullptr) {
        m_owner->Invalidate();
        m_owner->NativeWindowClosed();
    }
    m_brush.Reset();
    if (m_manager != nullptr) m_manager->RemoveNativeWindow(window);
    // Still inside Open: it reports the failure and its caller deletes.
    if (m_opening) return;
    delete this;
}

void CEditWnd::OnTextChanged()
{
    if (m_owner == nullptr || m_opening) return;
    // Wine 8 also reports a change for a character refused at the length
    // limit: only a text that really changed is news.
    CUIString text = WindowText(m_hWnd);
    if (text == m_owner->m_text) return;
    // Straight into the text: CEditUI::SetText would write it back into
    // this window and come round here again.
    m_owner->m_text = text;
    m_owner->InvalidateMeasure();
    m_owner->Invalidate();
    m_manager->EmitNotify(m_owner, L"textchanged");
}

HBRUSH CEditWnd::MakeSkinBrush()
{
    CControlUI* root = m_manager->GetRoot();
    RECT area;
    ::GetWindowRect(m_hWnd, &area);
    ::MapWindowPoints(HWND_DESKTOP, m_manager->GetWindow(), reinterpret_cast<POINT*>(&area), 2);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC reference = m_manager->GetPaintDC();
    if (root == nullptr || width <= 0 || height <= 0 || reference == nullptr) return nullptr;

    CMemoryDC dc(reference);
    CBitmapHandle bitmap(::CreateCompatibleBitmap(reference, width, height));
    if (!dc || !bitmap) return nullptr;
    {
        CSelectObject select(dc, bitmap);
        POINT oldOrigin;
        ::SetWindowOrgEx(dc, area.left, area.top, &oldOrigin);
        // Everything painted before the edit, then the edit's own
        // background: what the control shows around its text.
        root->PaintInto(dc, area, m_owner);
        ::IntersectRect(&m_owner->m_rcPaint, &area, &m_owner->GetPos());
        m_owner->PaintBkColor(dc);
        m_owner->PaintBkImage(dc);
        m_owner->PaintStatusImage(dc);
        ::SetWindowOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    }
    // The brush keeps a copy of the bitmap.
    return ::CreatePatternBrush(bitmap);
}

HBRUSH CEditWnd::BackgroundBrush(HDC dc)
{
    ::SetBkMode(dc, TRANSPARENT);
    DWORD textColor = m_owner->GetTextColor();
    if (textColor == 0) textColor = CUIManager::GetDefaultFontColor();
    ::SetTextColor(dc, ToColorRef(textColor));

    const DWORD color = m_owner->GetNativeBkColor();
    if (color == kSystemBackground) return ::GetSysColorBrush(COLOR_WINDOW);
    if (!m_brush) {
        if ((color >> 24) == 0xFF) m_brush.Reset(::CreateSolidBrush(ToColorRef(color)));
        else m_brush.Reset(MakeSkinBrush());
        if (!m_brush) return ::GetSysColorBrush(COLOR_WINDOW);
    }
    // The pattern starts at the window's client origin wherever this DC
    // has it: at 0,0 on screen, at the window's place when the manager
    // prints it into a layered buffer.
    POINT origin = {0, 0};
    ::LPtoDP(dc, &origin, 1);
    ::SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    return m_brush.Get();
}

void CEditWnd::DrawOwnCaret(HDC dc)
{
    if (!m_caretOn || ::GetFocus() != m_hWnd) return;
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(m_hWnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (start != end) return;  // a selection shows no caret
    POINT caret = {0, 0};
    if (!::GetCaretPos(&caret)) return;
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    DWORD textColor = m_owner->GetTextColor();
    if (textColor == 0) textColor = CUIManager::GetDefaultFontColor();
    RECT line = {caret.x, client.top, caret.x + 1, client.bottom};
    COLORREF old = ::SetDCBrushColor(dc, ToColorRef(textColor));
    ::FillRect(dc, &line, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    ::SetDCBrushColor(dc, old);
}

LRESULT CEditWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_owner == nullptr) return CWindowWnd::HandleMessage(message, wParam, lParam);
    switch (message) {
    case WM_GETOBJECT:
        // The native edit is only where typing happens: to a screen reader
        // (which asks the window with the keyboard) it is the control, with
        // the control's name and value; the system's own object for an edit
        // would have no name.
        if (static_cast<long>(lParam) == OBJID_CLIENT) {
            if (LRESULT object = m_manager->Accessible().OnGetControlObject(m_owner, wParam)) return object;
        }
        break;
    case WM_KILLFOCUS: {
        HWND framework = m_manager->GetWindow();
        HWND gaining = reinterpret_cast<HWND>(wParam);
        // The framework window lost the keyboard to this child long ago and
        // never heard that it went further.
        if (gaining != framework && framework != nullptr) {
            ::SendMessageW(framework, WM_KILLFOCUS, wParam, 0);
        }
        // Closed once the focus change is over, not in the middle of it.
        ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        break;
    }
    case WM_CLOSE:
        // The focus came back before the posted close arrived.
        if (::GetFocus() == m_hWnd) return 0;
        break;
    case kReflectedCommand:
        if (HIWORD(wParam) == EN_CHANGE) OnTextChanged();
        return 0;
    case kReflectedColorEdit:
    case kReflectedColorStatic:
        return reinterpret_cast<LRESULT>(BackgroundBrush(reinterpret_cast<HDC>(wParam)));
    case WM_CHAR:
        if (wParam == VK_RETURN) {
            // A one-line edit would only beep at it.
            m_manager->EmitNotify(m_owner, L"return");
            return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == kCaretTimerId) {
            m_caretOn = !m_caretOn;
            m_owner->Invalidate();  // the layered buffer prints this window again
            return 0;
        }
        break;
    case WM_PRINT: {
        LRESULT result = CWindowWnd::HandleMessage(message, wParam, lParam);
        if (m_layered) DrawOwnCaret(reinterpret_cast<HDC>(wParam));
        return result;
    }
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
        if (m_layered) {
            // Caret moves and selections show in the layered buffer only
            // when it is printed again.
            LRESULT result = CWindowWnd::HandleMessage(message, wParam, lParam);
            m_caretOn = true;
            m_owner->Invalidate();
            return result;
        }
        break;
    default:
        break;
    }
    return CWindowWnd::HandleMessage(message, wParam, lParam);
}

// --- CEditUI -----------------------------------------------------------------

CEditUI::CEditUI()
{
    m_textPadding.Set(RECT{4, 3, 4, 3}, GetScale());
    m_bkColor = 0xFFFFFFFF;
}

CEditUI::~CEditUI()
{
    if (m_window != nullptr) {
        CEditWnd* window = m_window;
        m_window = nullptr;
        window->Abandon();
    }
}

const wchar_t* CEditUI::ClassName() const { return L"Edit"; }

void* CEditUI::InterfaceByName(const wchar_t* name)
{
    if (name != nullptr && std::wcscmp(name, L"Edit") == 0) return this;
    return CLabelUI::InterfaceByName(name);
}

UINT CEditUI::ControlFlags() const
{
    // A tab stop like any field, so the keyboard alone reaches it. A window
    // that shows an in-place hint decides itself when focusing wipes it.
    UINT flags = UIFLAG_SETCURSOR;
    if (IsKeyboardEnabled() && IsEnabled()) flags |= UIFLAG_TABSTOP;
    return flags;
}

HWND CEditUI::GetNativeWindow() const { return m_window != nullptr ? m_window->GetHWND() : nullptr; }

void CEditUI::OpenNativeWindow()
{
    if (m_window != nullptr || m_manager == nullptr) return;
    auto* window = new CEditWnd(this);
    m_window = window;
    if (!window->Open()) {
        // The control goes on showing its text.
        m_window = nullptr;
        window->Abandon();
    }
}

void CEditUI::NativeWindowClosed() { m_window = nullptr; }

void CEditUI::UpdateNativeWindow()
{
    HWND window = GetNativeWindow();
    if (window == nullptr) return;
    RECT area = m_window->TextArea();
    const bool visible = IsVisible() && !::IsRectEmpty(&area);
    ::SetWindowPos(window, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   SWP_NOZORDER | SWP_NOACTIVATE | (visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void CEditUI::SetText(const wchar_t* text)
{
    if (text == nullptr) text = L"";
    CLabelUI::SetText(text);
    // While editing the native window shows the text; its change
    // notification copies the same text back.
    if (HWND window = GetNativeWindow()) {
        if (WindowText(window) != text) ::SetWindowTextW(window, text);
    }
}

void CEditUI::SetEnabled(bool enabled)
{
    CLabelUI::SetEnabled(enabled);
    if (!enabled) m_state = 0;
    if (HWND window = GetNativeWindow()) ::EnableWindow(window, enabled);
}

void CEditUI::CollectImages(std::vector<ImageDrawInfo*>& images)
{
    for (CImageSlot* slot : {&m_normalImage, &m_hotImage, &m_focusedImage, &m_disabledImage}) {
        images.push_back(&slot->Info());
    }
    CLabelUI::CollectImages(images);
}

void CEditUI::ScaleChanged()
{
    for (CImageSlot* slot : {&m_normalImage, &m_hotImage, &m_focusedImage, &m_disabledImage}) slot->Forget();
    CLabelUI::ScaleChanged();
    // The native window takes the font made for the new scale; the layout
    // that follows moves it.
    if (HWND window = GetNativeWindow()) {
        ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(m_manager->GetFont(m_font)), TRUE);
    }
}

void CEditUI::SetVisible(bool visible)
{
    CLabelUI::SetVisible(visible);
    UpdateNativeWindow();
}

void CEditUI::SetInternVisible(bool visible)
{
    CLabelUI::SetInternVisible(visible);
    UpdateNativeWindow();
}

void CEditUI::PlaceAt(RECT rect, bool invalidate)
{
    CLabelUI::PlaceAt(rect, invalidate);
    // A layout that moves the control while editing takes the window along.
    UpdateNativeWindow();
}

void CEditUI::SetMaxChar(int count)
{
    m_maxChar = count;
    if (HWND window = GetNativeWindow()) ::SendMessageW(window, EM_LIMITTEXT, static_cast<WPARAM>(count), 0);
}

void CEditUI::SetReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    if (HWND window = GetNativeWindow()) ::SendMessageW(window, EM_SETREADONLY, readOnly, 0);
    Invalidate();
}

void CEditUI::SetPasswordMode(bool password)
{
    m_password = password;
    Invalidate();
}

void CEditUI::SetPasswordChar(wchar_t ch)
{
    m_passwordChar = ch;
    if (HWND window = GetNativeWindow()) ::SendMessageW(window, EM_SETPASSWORDCHAR, ch, 0);
    Invalidate();
}

void CEditUI::SetNumberOnly(bool numberOnly)
{
    if (numberOnly) m_windowStyle |= ES_NUMBER;
    else m_windowStyle &= ~static_cast<DWORD>(ES_NUMBER);
}

void CEditUI::HandleEvent(TUIEvent& event)
{
    if (!IsMouseEnabled() && event.type >= UIEVENT_MOUSEBEGIN && event.type <= UIEVENT_MOUSEEND) {
        if (m_parent != nullptr) m_parent->HandleEvent(event);
        else CLabelUI::HandleEvent(event);
        return;
    }
    switch (event.type) {
    case UIEVENT_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32513)));  // IDC_IBEAM
        return;
    case UIEVENT_WINDOWSIZE:
        if (m_window != nullptr) {
            UpdateNativeWindow();
            if (m_manager != nullptr) m_manager->SetFocusNeeded(this);
        }
        return;
    case UIEVENT_SCROLLWHEEL:
        if (m_window != nullptr) return;
        break;
    case UIEVENT_SETFOCUS:
        if (!IsEnabled()) break;
        m_focused = true;
        OpenNativeWindow();
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        m_focused = false;
        // Hidden or disabled while editing: the manager moved its focus but
        // the keyboard is still in the native window. Taking it away closes
        // the window the usual way.
        if (HWND window = GetNativeWindow()) {
            if (::GetFocus() == window && m_manager != nullptr) ::SetFocus(m_manager->GetWindow());
        }
        Invalidate();
        return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
    case UIEVENT_RBUTTONDOWN:
        if (!IsEnabled()) return;
        // The native window takes the mouse from here on; the manager's
        // capture would otherwise outlive the click.
        if (m_manager != nullptr) m_manager->ReleaseCapture();
        if (IsFocused() && m_window == nullptr) {
            OpenNativeWindow();
        } else if (HWND window = GetNativeWindow()) {
            if (!m_readOnly) {
                ::SendMessageW(window, EM_SETSEL, static_cast<WPARAM>(-1), 0);
                RECT area;
                ::GetWindowRect(window, &area);
                ::MapWindowPoints(HWND_DESKTOP, m_manager->GetWindow(), reinterpret_cast<POINT*>(&area), 2);
                const UINT message = event.type == UIEVENT_RBUTTONDOWN ? WM_RBUTTONDOWN
                                     : event.type == UIEVENT_DBLCLICK  ? WM_LBUTTONDBLCLK
                                                                       : WM_LBUTTONDOWN;
                ::SendMessageW(window, message, MK_LBUTTON,
                               MAKELPARAM(event.mouse.x - area.left, event.mouse.y - area.top));
            }
        }
        return;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_BUTTONUP:
    case UIEVENT_CONTEXTMENU:
        return;
    case UIEVENT_MOUSEENTER:
        if (IsEnabled() && ::PtInRect(&m_rcItem, event.mouse)) {
            m_state |= UISTATE_HOT;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSELEAVE:
        if (m_state & UISTATE_HOT) {
            m_state &= ~UISTATE_HOT;
            Invalidate();
        }
        return;
    default:
        break;
    }
    CLabelUI::HandleEvent(event);
}

void CEditUI::SetAttr(const wchar_t* name, const wchar_t* value)
{
    using namespace AttrValue;
    if (value == nullptr) value = L"";
    if (std::wcscmp(name, L"readonly") == 0) SetReadOnly(IsTrue(value));
    else if (std::wcscmp(name, L"numberonly") == 0) SetNumberOnly(IsTrue(value));
    else if (std::wcscmp(name, L"password") == 0) SetPasswordMode(IsTrue(value));
    else if (std::wcscmp(name, L"autoselall") == 0) SetAutoSelectAll(IsTrue(value));
    else if (std::wcscmp(name, L"maxchar") == 0) SetMaxChar(static_cast<int>(ToLong(value)));
    else if (std::wcscmp(name, L"normalimage") == 0) SetNormalImage(value);
    else if (std::wcscmp(name, L"hotimage") == 0) SetHotImage(value);
    else if (std::wcscmp(name, L"focusedimage") == 0) SetFocusedImage(value);
    else if (std::wcscmp(name, L"disabledimage") == 0) SetDisabledImage(value);
    else if (std::wcscmp(name, L"nativebkcolor") == 0) SetNativeBkColor(ToColor(value));
    else CLabelUI::SetAttr(name, value);
}

void CEditUI::PaintStatusImage(HDC dc)
{
    CImageSlot* image = &m_normalImage;
    if (!IsEnabled()) image = &m_disabledImage;
    else if (IsFocused()) image = &m_focusedImage;
    else if (m_state & UISTATE_HOT) image = &m_hotImage;
    if (image != &m_normalImage && !image->IsEmpty() && DrawImage(dc, *image)) return;
    DrawImage(dc, m_normalImage);
}

void CEditUI::PaintText(HDC dc)
{
    if (m_text.IsEmpty() || m_manager == nullptr) return;
    DWORD color;
    if (IsEnabled()) color = m_textColor != 0 ? m_textColor : CUIManager::GetDefaultFontColor();
    else color = m_disabledTextColor != 0 ? m_disabledTextColor : CUIManager::GetDefaultDisabledColor();

    CUIString shown = m_text;
    if (m_password) {
        shown.Empty();
        for (int i = 0; i < m_text.GetLength(); ++i) shown += m_passwordChar;
    }
    RECT rect = m_rcItem;
    rect.left += m_textPadding.left;
    rect.top += m_textPadding.top;
    rect.right -= m_textPadding.right;
    rect.bottom -= m_textPadding.bottom;
    const UINT style = (m_textStyle & ~static_cast<UINT>(DT_WORDBREAK)) | DT_SINGLELINE | DT_NOPREFIX;
    CSelectObject select(dc, m_manager->GetFont(m_font));
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(dc, ToColorRef(color));
    ::DrawTextW(dc, shown, -1, &rect, style);
    ::SetTextColor(dc, oldColor);
    ::SetBkMode(dc, oldMode);
}

}  // namespace SkinUI
