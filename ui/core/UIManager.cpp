// The manager's bookkeeping: binding, the tree and its names, focus and tab
// order, capture, timers, notifications, fonts, default attribute lists and
// window attributes. Message routing is in UIManagerRouting.cpp, painting in
// UIManagerPaint.cpp.
#include "ui/core/UIManager.h"

#include "ui/core/AccessibleObject.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <map>
#include <mutex>
#include <string>

#include "ui/controls/ControlUI.h"
#include "ui/core/AttrValue.h"
#include "ui/core/ResourceSettings.h"
#include "ui/core/SystemLibrary.h"
#include "ui/core/UIManagerShared.h"

namespace SkinUI {

DWORD CUIManager::s_defaultDisabledColor = 0xFFA7A6AA;
DWORD CUIManager::s_defaultFontColor = 0xFF000000;
DWORD CUIManager::s_defaultLinkColor = 0xFF0000FF;
DWORD CUIManager::s_defaultLinkHoverColor = 0xFFD3215F;
DWORD CUIManager::s_defaultSelectedColor = 0xFFBAE4FF;

CUIManagerShared& CUIManagerShared::Get()
{
    static CUIManagerShared shared;
    return shared;
}

namespace {

// Faces that draw Chinese, best first: the skins' own, then those Windows
// has in every language, then those Wine prefixes commonly get.
constexpr const wchar_t* kChineseFaces[] = {L"微软雅黑",  L"Microsoft YaHei", L"SimSun",    L"宋体",
                                            L"NSimSun",   L"SimHei",          L"黑体",      L"WenQuanYi Micro Hei",
                                            L"文泉驿微米黑", L"Noto Sans CJK SC", L"Droid Sans Fallback"};

int CALLBACK OnFaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FaceHasChinese(HDC dc, const wchar_t* face)
{
    LOGFONTW query = {};
    query.lfCharSet = GB2312_CHARSET;
    std::wcsncpy(query.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    ::EnumFontFamiliesExW(dc, &query, OnFaceFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

}  // namespace

// A face asked for where it can draw Chinese; else the first installed face
// of the list above. Asked with DEFAULT_CHARSET, a missing face may be
// replaced by one without a single Chinese glyph (the system's code page
// decides), and every character becomes an empty box. The font is asked
// for in GB2312_CHARSET as well, so that the mapper, if even this face is
// missing, still takes one that draws the text.
std::wstring ChineseCapableFace(const wchar_t* face)
{
    static std::mutex lock;
    static std::map<std::wstring, std::wstring> chosen;
    const std::wstring wanted = face != nullptr ? face : L"";
    std::lock_guard<std::mutex> hold(lock);
    auto it = chosen.find(wanted);
    if (it != chosen.end()) return it->second;
    HDC screen = ::GetDC(nullptr);
    std::wstring result = wanted;
    if (wanted.empty() || !FaceHasChinese(screen, wanted.c_str())) {
        for (const wchar_t* candidate : kChineseFaces) {
            if (FaceHasChinese(screen, candidate)) {
                result = candidate;
                break;
            }
        }
    }
    ::ReleaseDC(nullptr, screen);
    chosen.emplace(wanted, result);
    return result;
}

CUIManagerShared::CUIManagerShared()
{
    // The system's default GUI font, in a face that draws Chinese, is the
    // font of every text that names no font of its own.
    LOGFONTW logFont = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(logFont), &logFont);
    const std::wstring face = ChineseCapableFace(logFont.lfFaceName);
    std::wcsncpy(logFont.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    logFont.lfCharSet = GB2312_CHARSET;
    defaultFont.font.Reset(::CreateFontIndirectW(&logFont));
    defaultFont.face = logFont.lfFaceName;
    // The stock font is made for the screen's DPI: its logical size is that
    // height at 96, so a window at another scale makes it again to measure.
    defaultFont.height = logFont.lfHeight < 0 ? -logFont.lfHeight : logFont.lfHeight;
    defaultFont.dpi = CUIManager::SystemDpi(nullptr);
    defaultFont.size = ::MulDiv(defaultFont.height, kBaseDpi, defaultFont.dpi);
    defaultFont.bold = logFont.lfWeight >= FW_BOLD;
    defaultFont.underline = logFont.lfUnderline != 0;
    defaultFont.italic = logFont.lfItalic != 0;
    dirtyPen.Reset(::CreatePen(PS_SOLID, 1, RGB(220, 0, 0)));
}

namespace {

std::wstring FoldedKey(const wchar_t* name)
{
    std::wstring key = name != nullptr ? name : L"";
    for (wchar_t& c : key) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
    }
    return key;
}

template <typename T>
bool AddUnique(std::vector<T>& list, T item)
{
    if (item == nullptr || std::find(list.begin(), list.end(), item) != list.end()) return false;
    list.push_back(item);
    return true;
}

template <typename T>
bool RemoveItem(std::vector<T>& list, T item)
{
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

}  // namespace

CUIManager::CUIManager()
{
    BOOL cues = FALSE;
    if (::SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0) && cues) m_keyboardCues = true;
    CUIManagerShared& shared = CUIManagerShared::Get();
    if (!shared.commonControlsReady) {
        // Loaded here rather than imported: comctl32 is no KnownDLL, and at
        // load it may pull in others (uxtheme) by name. By now the process
        // searches the system folder only; the manifest still selects the
        // side-by-side version 6.
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
        auto init = SystemFunction<decltype(&::InitCommonControlsEx)>(L"comctl32.dll", "InitCommonControlsEx");
        if (init != nullptr) init(&controls);
        shared.commonControlsReady = true;
    }
}

CUIManager::~CUIManager()
{
    RemoveItem(CUIManagerShared::Get().managers, this);
    HideTooltip();
    if (m_tooltipWindow != nullptr) ::DestroyWindow(m_tooltipWindow);
    m_tooltipWindow = nullptr;
    // The tree goes first, while the lists it unregisters from still exist.
    CControlUI* root = m_root;
    m_root = nullptr;
    if (root != nullptr) root->Delete();
    DeleteDelayedCleanup();
    m_asyncNotifications.clear();
    RemoveAllTimers();
    RemoveAllFonts();
    m_presenter.reset();
    ReleaseOffscreen();
    if (m_paintDC != nullptr) ::ReleaseDC(m_window, m_paintDC);
    m_paintDC = nullptr;
}

// --- process-wide settings ---------------------------------------------------

HINSTANCE CUIManager::GetInstance() { return CResourceSettings::GetInstance(); }
void CUIManager::SetInstance(HINSTANCE instance) { CResourceSettings::SetInstance(instance); }
void CUIManager::SetResourceModule(HINSTANCE module) { CResourceSettings::SetResourceModule(module); }
void CUIManager::SetResourcePath(const wchar_t* path) { CResourceSettings::SetResourcePath(path); }
CUIString CUIManager::GetInstancePath() { return CResourceSettings::GetInstancePath(); }

void CUIManager::SetLanguageText(int id, const wchar_t* text)
{
    if (id < 0 || text == nullptr) return;
    CUIManagerShared::Get().language[id] = text;
}

void CUIManager::ClearLanguageTexts() { CUIManagerShared::Get().language.clear(); }

CUIString CUIManager::ExpandLanguageText(const wchar_t* text)
{
    if (text == nullptr) return CUIString();
    const auto& language = CUIManagerShared::Get().language;
    if (language.empty() || std::wcsstr(text, L"%{") == nullptr) return CUIString(text);
    CUIString result;
    const wchar_t* p = text;
    while (*p != L'\0') {
        if (p[0] == L'%' && p[1] == L'{') {
            const wchar_t* digits = p + 2;
            const wchar_t* end = digits;
            while (*end >= L'0' && *end <= L'9') ++end;
            // Ids beyond int stay as written rather than wrapping around.
            if (end != digits && *end == L'}' && end - digits <= 9) {
                auto entry = language.find(static_cast<int>(std::wcstol(digits, nullptr, 10)));
                if (entry != language.end()) {
                    result += entry->second;
                    p = end + 1;
                    continue;
                }
            }
        }
        result += *p++;
    }
    return result;
}

// --- window ------------------------------------------------------------------

int CUIManager::SystemDpi(HWND window)
{
    using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
    static const GetDpiForWindowProc getDpiForWindow =
        SystemFunction<GetDpiForWindowProc>(L"user32.dll", "GetDpiForWindow");
    if (window != nullptr && getDpiForWindow != nullptr) {
        UINT dpi = getDpiForWindow(window);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    HDC screen = ::GetDC(nullptr);
    int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : kBaseDpi;
    if (screen != nullptr) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kBaseDpi;
}

void CUIManager::SetDpi(int dpi, bool keepWindowSize)
{
    if (dpi <= 0) dpi = kBaseDpi;
    if (dpi == m_scale.Dpi()) return;
    m_scale = DpiScale(dpi);
    m_images.SetDpi(dpi);
    for (auto& entry : m_fonts) RefreshFont(*entry.second);
    if (m_defaultFont) RefreshFont(*m_defaultFont);
    m_layeredImageInfo.Reset();
    if (!m_layeredImage.IsEmpty()) LoadLayeredPicture();
    m_layeredChanged = true;
    ReleaseOffscreen();
    if (m_root != nullptr) {
        m_root->SearchTree(
            [](CControlUI* control, void*) -> CControlUI* {
                control->ScaleChanged();
                return nullptr;
            },
            nullptr, UIFIND_ALL);
        m_root->NeedUpdate();
    }
    if (!keepWindowSize && m_window != nullptr && m_initialSize.cx > 0 && m_initialSize.cy > 0) {
        ::SetWindowPos(m_window, nullptr, 0, 0, m_scale.Scale(m_initialSize.cx), m_scale.Scale(m_initialSize.cy),
                       SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
    InvalidateWindow();
}

std::vector<std::pair<int, int>> CUIManager::FontHeights()
{
    std::map<int, int> heights;
    for (auto& entry : CUIManagerShared::Get().sharedFonts) heights[entry.first] = 0;
    for (auto& entry : m_fonts) heights[entry.first] = 0;
    for (auto& entry : heights) entry.second = GetFontInfo(entry.first)->height;
    return {heights.begin(), heights.end()};
}

void CUIManager::BindWindow(HWND window, const wchar_t* name)
{
    m_systemDpi = window != nullptr ? SystemDpi(window) : kBaseDpi;
    m_scale = DpiScale(m_systemDpi);
    m_images.SetDpi(m_systemDpi);
    RemoveAllTimers();
    m_presenter.reset();
    if (m_paintDC != nullptr) ::ReleaseDC(m_window, m_paintDC);
    m_window = window;
    m_paintDC = window != nullptr ? ::GetDC(window) : nullptr;
    m_name = name;
    m_mouseTracking = false;
    m_mouseCapture = false;
    m_lastMouse = {-1, -1};
    ::SetRectEmpty(&m_dirty);
    m_layeredTimerRunning = false;
    ReleaseOffscreen();
    ReleasePictures();
    if (!m_layeredImage.IsEmpty()) LoadLayeredPicture();
    // Fonts registered before the window existed get their metrics now.
    for (auto& entry : m_fonts) MeasureFont(*entry.second);
    AddUnique(CUIManagerShared::Get().managers, this);
}

void CUIManager::ReleaseWindow()
{
    // Screen readers may still hold objects of this window: from now on
    // they answer that it is gone.
    m_accessible.reset();
    RemoveAllTimers();
    HideTooltip();
    if (m_tooltipWindow != nullptr && ::IsWindow(m_tooltipWindow)) ::DestroyWindow(m_tooltipWindow);
    m_tooltipWindow = nullptr;
    RemoveItem(CUIManagerShared::Get().managers, this);
    // Nothing runs for this tree any more; a click handler may still be on
    // the stack, so the tree is deleted with the manager, not here.
    if (m_root != nullptr) {
        m_focus = m_hot = m_click = m_keyboard = m_focusPending = nullptr;
        m_delayedCleanup.push_back(m_root);
        m_root->AttachManager(this, nullptr, false);
        m_root = nullptr;
    }
    m_asyncNotifications.clear();
    m_presenter.reset();
    ReleaseOffscreen();
    if (m_paintDC != nullptr) ::ReleaseDC(m_window, m_paintDC);
    m_paintDC = nullptr;
    m_window = nullptr;
    m_mouseTracking = false;
    m_mouseCapture = false;
    m_layeredTimerRunning = false;
    ::SetRectEmpty(&m_dirty);
}

SIZE CUIManager::GetClientSize() const
{
    RECT client = {};
    if (m_window != nullptr) ::GetClientRect(m_window, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

void CUIManager::SetInitialSize(int cx, int cy)
{
    m_initialSize = {cx, cy};
    // Before the tree is attached (the skin's root element is being read),
    // the window takes the size at once: scaled, but never past the work
    // area of its monitor (the scale is lowered until it fits).
    if (m_root == nullptr && m_window != nullptr) {
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof(monitor);
        int dpi = m_systemDpi;
        if (::GetMonitorInfoW(::MonitorFromWindow(m_window, MONITOR_DEFAULTTONEAREST), &monitor)) {
            dpi = DpiScale::FitDpi(m_systemDpi, cx, cy, monitor.rcWork.right - monitor.rcWork.left,
                                   monitor.rcWork.bottom - monitor.rcWork.top);
        }
        SetDpi(dpi, true);
        ::SetWindowPos(m_window, nullptr, 0, 0, m_scale.Scale(cx), m_scale.Scale(cy),
                       SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
}

void CUIManager::SetMinInfo(int cx, int cy) { m_minInfo = {cx, cy}; }
void CUIManager::SetMaxInfo(int cx, int cy) { m_maxInfo = {cx, cy}; }
void CUIManager::SetNoActivate(bool noActivate) { m_noActivate = noActivate; }

void CUIManager::SetOffscreenPainting(bool offscreen)
{
    if (m_offscreenPaint == offscreen) return;
    m_offscreenPaint = offscreen;
    ReleaseOffscreen();
    InvalidateWindow();
}

void CUIManager::SetOpacity(BYTE opacity)
{
    m_opacity = opacity;
    if (m_window == nullptr) return;
    SetLayered(false);
    LONG_PTR exStyle = ::GetWindowLongPtrW(m_window, GWL_EXSTYLE);
    if (opacity == 255) {
        ::SetWindowLongPtrW(m_window, GWL_EXSTYLE, exStyle & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    } else {
        ::SetWindowLongPtrW(m_window, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
        ::SetLayeredWindowAttributes(m_window, 0, opacity, LWA_ALPHA);
    }
}

void CUIManager::SetLayered(bool layered)
{
    if (m_layered == layered) return;
    // A frame still on its way would be handed to the system after the
    // style changed under it, and could leave the window's surface layered
    // while its style says otherwise.
    WaitForPresenter();
    m_layered = layered;
    if (m_window != nullptr) {
        LONG_PTR exStyle = ::GetWindowLongPtrW(m_window, GWL_EXSTYLE);
        // Clearing the bit first: a window that had SetLayeredWindowAttributes
        // refuses UpdateLayeredWindow until its layered style is set anew.
        ::SetWindowLongPtrW(m_window, GWL_EXSTYLE, exStyle & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
        if (layered) ::SetWindowLongPtrW(m_window, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    }
    m_layeredChanged = true;
    ReleaseOffscreen();
    InvalidateWindow();
}

void CUIManager::SetLayeredOpacity(BYTE opacity)
{
    m_layeredOpacity = opacity;
    InvalidateWindow();
}

void CUIManager::SetLayeredInsets(const RECT& insets)
{
    m_layeredInsets = insets;
    m_layeredChanged = true;
    InvalidateWindow();
}

void CUIManager::SetLayeredImage(const wchar_t* image)
{
    m_layeredImage = image;
    SetLayered(true);
    LoadLayeredPicture();
    m_layeredChanged = true;
    InvalidateWindow();
}

void CUIManager::SetWindowAttr(const wchar_t* name, const wchar_t* value)
{
    using namespace AttrValue;
    if (name == nullptr) return;
    if (value == nullptr) value = L"";
    long n[4];
    if (EqualsNoCase(name, L"size")) {
        ToNumbers(value, n, 2);
        SetInitialSize(n[0], n[1]);
    } else if (EqualsNoCase(name, L"sizebox")) {
        ToNumbers(value, n, 4);
        SetSizeBox(RECT{n[0], n[1], n[2], n[3]});
    } else if (EqualsNoCase(name, L"caption")) {
        ToNumbers(value, n, 4);
        SetCaptionRect(RECT{n[0], n[1], n[2], n[3]});
    } else if (EqualsNoCase(name, L"roundcorner")) {
        ToNumbers(value, n, 2);
        SetRoundCorner(n[0], n[1]);
    } else if (EqualsNoCase(name, L"mininfo")) {
        ToNumbers(value, n, 2);
        SetMinInfo(n[0], n[1]);
    } else if (EqualsNoCase(name, L"maxinfo")) {
        ToNumbers(value, n, 2);
        SetMaxInfo(n[0], n[1]);
    } else if (EqualsNoCase(name, L"showdirty")) {
        SetShowDirty(IsTrue(value));
    } else if (std::wcscmp(name, L"noactivate") == 0) {
        SetNoActivate(IsTrue(value));
    } else if (EqualsNoCase(name, L"opacity")) {
        SetOpacity(static_cast<BYTE>(ToLong(value)));
    } else if (std::wcscmp(name, L"layeredopacity") == 0) {
        SetLayeredOpacity(static_cast<BYTE>(ToLong(value)));
    } else if (std::wcscmp(name, L"layeredimage") == 0) {
        SetLayeredImage(value);
    } else if (EqualsNoCase(name, L"disabledfontcolor")) {
        SetDefaultDisabledColor(ToColor(value));
    } else if (EqualsNoCase(name, L"defaultfontcolor")) {
        SetDefaultFontColor(ToColor(value));
    } else if (EqualsNoCase(name, L"linkfontcolor")) {
        SetDefaultLinkFontColor(ToColor(value));
    } else if (EqualsNoCase(name, L"linkhoverfontcolor")) {
        SetDefaultLinkHoverFontColor(ToColor(value));
    } else if (EqualsNoCase(name, L"selectedcolor")) {
        SetDefaultSelectedBkColor(ToColor(value));
    } else {
        SetWindowCustomAttr(name, value);
    }
}

const wchar_t* CUIManager::GetWindowCustomAttr(const wchar_t* name) const
{
    if (name == nullptr) return nullptr;
    auto it = m_customAttrs.find(name);
    return it != m_customAttrs.end() ? it->second.GetData() : nullptr;
}

void CUIManager::SetWindowCustomAttr(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || *name == L'\0') return;
    m_customAttrs[name] = value;
}

// --- the control tree --------------------------------------------------------

bool CUIManager::AttachTree(CControlUI* root)
{
    SetFocusTo(nullptr, false);
    m_keyboard = nullptr;
    m_hot = nullptr;
    m_click = nullptr;
    m_focusPending = nullptr;
    HideTooltip();
    m_tooltipControl = nullptr;
    if (m_root != nullptr) {
        DeleteDelayedCleanup();
        m_asyncNotifications.clear();
        m_names.clear();
        m_postPaintControls.clear();
        m_nativeWindows.clear();
        m_mouseLeaveNeeded.clear();
        // The old tree may be dispatching right now (a click that replaces
        // the skin): delete it once this message is done.
        AddDelayedCleanup(m_root);
    }
    m_root = root;
    m_updateNeeded = true;
    m_firstLayout = true;
    m_focusNeeded = true;
    if (root == nullptr) return false;
    bool ok = InitTree(root, nullptr);
    InvalidateWindow();
    return ok;
}

bool CUIManager::InitTree(CControlUI* control, CControlUI* parent)
{
    if (control == nullptr) return false;
    control->AttachManager(this, parent != nullptr ? parent : control->GetParent(), true);
    control->SearchTree(
        [](CControlUI* c, void* data) -> CControlUI* {
            auto* self = static_cast<CUIManager*>(data);
            const CUIString& name = c->GetName();
            if (!name.IsEmpty()) self->m_names.emplace(name.GetData(), c);
            return nullptr;
        },
        this, UIFIND_ALL);
    return true;
}

CControlUI* CUIManager::FindByName(const wchar_t* name) const
{
    if (name == nullptr || *name == L'\0') return nullptr;
    auto it = m_names.find(name);
    return it != m_names.end() ? it->second : nullptr;
}

CControlUI* CUIManager::FindAtPoint(POINT point) const
{
    if (m_root == nullptr) return nullptr;
    return m_root->SearchTree([](CControlUI* c, void*) -> CControlUI* { return c; }, &point,
                              UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

CControlUI* CUIManager::FindSubControlByName(CControlUI* parent, const wchar_t* name) const
{
    if (parent == nullptr || name == nullptr) return nullptr;
    return parent->SearchTree(
        [](CControlUI* c, void* data) -> CControlUI* {
            return c->GetName() == static_cast<const wchar_t*>(data) ? c : nullptr;
        },
        const_cast<wchar_t*>(name), UIFIND_ALL);
}

bool CUIManager::RenameControl(CControlUI* control, const wchar_t* name)
{
    if (control == nullptr || name == nullptr || *name == L'\0') return false;
    if (control->GetManager() != this || m_names.count(name) != 0) return false;
    control->SetName(name);
    return true;
}

void CUIManager::NameChanged(CControlUI* control, const CUIString& oldName)
{
    if (!oldName.IsEmpty()) {
        auto it = m_names.find(oldName.GetData());
        if (it != m_names.end() && it->second == control) m_names.erase(it);
    }
    const CUIString& name = control->GetName();
    if (!name.IsEmpty()) m_names.emplace(name.GetData(), control);
}

void CUIManager::ForgetControl(CControlUI* control)
{
    if (control == nullptr) return;
    if (m_keyboard == control) m_keyboard = nullptr;
    if (m_hot == control) m_hot = nullptr;
    if (m_click == control) m_click = nullptr;
    if (m_focus == control) m_focus = nullptr;
    if (m_focusPending == control) m_focusPending = nullptr;
    if (m_tooltipControl == control) m_tooltipControl = nullptr;
    if (m_accessible) m_accessible->Forget(control);
    if (m_root == control) m_root = nullptr;
    KillUITimers(control);
    const CUIString& name = control->GetName();
    if (!name.IsEmpty()) {
        auto it = m_names.find(name.GetData());
        if (it != m_names.end() && it->second == control) m_names.erase(it);
    }
    for (auto& notify : m_asyncNotifications) {
        if (notify->sender == control) notify->sender = nullptr;
    }
    RemoveItem(m_mouseLeaveNeeded, control);
    RemoveItem(m_postPaintControls, control);
    m_nativeWindows.erase(std::remove_if(m_nativeWindows.begin(), m_nativeWindows.end(),
                                         [control](const auto& entry) { return entry.second == control; }),
                          m_nativeWindows.end());
}

void CUIManager::RequestLayout() { m_updateNeeded = true; }

void CUIManager::InvalidateWindow()
{
    if (m_window == nullptr) return;
    RECT client = {};
    ::GetClientRect(m_window, &client);
    Invalidate(client);
}

void CUIManager::Invalidate(const RECT& rect)
{
    if (m_window == nullptr || ::IsRectEmpty(&rect)) return;
    if (!m_layered) {
        ::InvalidateRect(m_window, &rect, FALSE);
        return;
    }
    // Layered windows get no WM_PAINT of their own: collect the damage and
    // flush it from a short timer, so a burst of changes costs one update.
    if (::IsRectEmpty(&m_dirty)) m_dirty = rect;
    else ::UnionRect(&m_dirty, &m_dirty, &rect);
    if (!m_layeredTimerRunning && ::SetTimer(m_window, kLayeredTimerId, kLayeredFlushMs, nullptr) != 0) {
        m_layeredTimerRunning = true;
    }
}

// --- focus and capture -------------------------------------------------------

void CUIManager::SetFocusTo(CControlUI* control, bool focusWindow)
{
    // A window that is not shown takes no focus: focusing it (or an edit's
    // native child) would take the keyboard from the window the user sees.
    // The control gets the focus once the window shows.
    if (control != nullptr && m_window != nullptr && !::IsWindowVisible(m_window)) {
        m_focusPending = control;
        m_focusNeeded = true;
        return;
    }
    if (focusWindow && m_window != nullptr && ::GetFocus() != m_window && control != m_focus && !m_noActivate) {
        ::SetFocus(m_window);
    }
    if (control == m_focus) return;
    if (m_focus != nullptr) {
        CControlUI* old = m_focus;
        m_focus = nullptr;
        TUIEvent event;
        event.type = UIEVENT_KILLFOCUS;
        event.sender = control;
        event.timestamp = ::GetTickCount();
        event.mouse = m_lastMouse;
        old->DispatchEvent(event);
        EmitNotify(old, L"killfocus");
    }
    if (control != nullptr && control->GetManager() == this && control->IsVisible() && control->IsEnabled()) {
        m_focus = control;
        SendEvent(control, UIEVENT_SETFOCUS);
        EmitNotify(control, L"setfocus");
        // A screen reader says where the keyboard is now.
        if (m_focus == control) Accessible().Notify(EVENT_OBJECT_FOCUS, control);
    }
}

CAccessibleTree& CUIManager::Accessible() const
{
    if (!m_accessible) m_accessible = std::make_unique<CAccessibleTree>(const_cast<CUIManager*>(this));
    return *m_accessible;
}

void CUIManager::SetFocusNeeded(CControlUI* control)
{
    m_focusPending = control;
    m_focusNeeded = true;
    InvalidateWindow();
}

bool CUIManager::IsInView(const CControlUI* control) const
{
    if (control == nullptr || m_window == nullptr || !control->IsVisible()) return false;
    RECT area = LayoutRect();
    if (!::IntersectRect(&area, &area, &control->GetPos())) return false;
    // Containers clip their children: a control placed outside its
    // ancestors (a page laid out below the window) is out of view too.
    for (const CControlUI* ancestor = control->GetParent(); ancestor != nullptr; ancestor = ancestor->GetParent()) {
        if (!ancestor->IsVisible() || !::IntersectRect(&area, &area, &ancestor->GetPos())) return false;
    }
    return true;
}

bool CUIManager::MoveFocusToTabStop(bool forward)
{
    if (m_root == nullptr) return false;
    struct Search {
        const CUIManager* manager;
        std::vector<CControlUI*> stops;
    } search{this, {}};
    m_root->SearchTree(
        [](CControlUI* c, void* data) -> CControlUI* {
            auto* s = static_cast<Search*>(data);
            if ((c->ControlFlags() & UIFLAG_TABSTOP) && s->manager->IsInView(c)) s->stops.push_back(c);
            return nullptr;
        },
        &search, UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST);
    std::vector<CControlUI*>& stops = search.stops;
    if (stops.empty()) return false;
    auto it = std::find(stops.begin(), stops.end(), m_focus);
    size_t next;
    if (it == stops.end()) {
        next = forward ? 0 : stops.size() - 1;
    } else {
        size_t current = static_cast<size_t>(it - stops.begin());
        next = forward ? (current + 1) % stops.size() : (current + stops.size() - 1) % stops.size();
    }
    SetFocusTo(stops[next]);
    return true;
}

void CUIManager::SetCapture()
{
    if (m_window != nullptr) ::SetCapture(m_window);
    m_mouseCapture = true;
}

void CUIManager::ReleaseCapture()
{
    ::ReleaseCapture();
    m_mouseCapture = false;
}

// --- timers ------------------------------------------------------------------

UINT_PTR CUIManager::NextSystemTimerId()
{
    // Ids cycle through the controls' range. After a wrap-around an id may
    // still belong to a timer entry of this window; reusing it would replace
    // that control's system timer, so such ids are passed over.
    for (UINT_PTR tries = 0; tries < kUITimerIdCount; ++tries) {
        m_timerCounter = (m_timerCounter + 1) % kUITimerIdCount;
        const UINT_PTR id = kFirstUITimerId + m_timerCounter;
        bool taken = std::any_of(m_timers.begin(), m_timers.end(),
                                 [this, id](const TTimerInfo& t) { return t.window == m_window && t.systemId == id; });
        if (!taken) return id;
    }
    return 0;  // every id of the range is in use
}

bool CUIManager::SetUITimer(CControlUI* control, UINT id, UINT elapse)
{
    if (control == nullptr || m_window == nullptr) return false;
    for (TTimerInfo& timer : m_timers) {
        if (timer.control == control && timer.window == m_window && timer.id == id) {
            if (!timer.killed) return false;
            if (::SetTimer(m_window, timer.systemId, elapse, nullptr) == 0) return false;
            timer.killed = false;
            return true;
        }
    }
    UINT_PTR systemId = NextSystemTimerId();
    if (systemId == 0 || ::SetTimer(m_window, systemId, elapse, nullptr) == 0) return false;
    m_timers.push_back({control, id, m_window, systemId, false});
    return true;
}

bool CUIManager::KillUITimer(CControlUI* control, UINT id)
{
    for (TTimerInfo& timer : m_timers) {
        if (timer.control == control && timer.window == m_window && timer.id == id) {
            if (!timer.killed) {
                if (::IsWindow(timer.window)) ::KillTimer(timer.window, timer.systemId);
                timer.killed = true;
                return true;
            }
        }
    }
    return false;
}

void CUIManager::KillUITimers(CControlUI* control)
{
    auto it = std::remove_if(m_timers.begin(), m_timers.end(), [control](const TTimerInfo& timer) {
        if (timer.control != control) return false;
        if (!timer.killed && ::IsWindow(timer.window)) ::KillTimer(timer.window, timer.systemId);
        return true;
    });
    m_timers.erase(it, m_timers.end());
}

void CUIManager::RemoveAllTimers()
{
    for (const TTimerInfo& timer : m_timers) {
        if (!timer.killed && ::IsWindow(timer.window)) ::KillTimer(timer.window, timer.systemId);
    }
    m_timers.clear();
}

UINT_PTR CUIManager::GetSystemTimerId(CControlUI* control, UINT id) const
{
    for (const TTimerInfo& timer : m_timers) {
        if (timer.control == control && timer.id == id) return timer.systemId;
    }
    return 0;
}

bool CUIManager::FireTimer(UINT_PTR systemId, LPARAM lParam)
{
    for (const TTimerInfo& timer : m_timers) {
        if (timer.window == m_window && timer.systemId == systemId && !timer.killed) {
            // The handler may add or kill timers: take what it needs first.
            CControlUI* control = timer.control;
            UINT id = timer.id;
            SendEvent(control, UIEVENT_TIMER, id, lParam);
            return true;
        }
    }
    return false;
}

// --- notifications -----------------------------------------------------------

void CUIManager::EmitNotify(CControlUI* control, const wchar_t* type, WPARAM wParam, LPARAM lParam, bool async,
                            bool allowRepeat)
{
    TUINotify notify;
    notify.sender = control;
    notify.type = type;
    notify.wParam = wParam;
    notify.lParam = lParam;
    EmitNotify(notify, async, allowRepeat);
}

void CUIManager::EmitNotify(TUINotify& notify, bool async, bool allowRepeat)
{
    notify.mouse = m_lastMouse;
    notify.timestamp = ::GetTickCount();
    if (m_routeByVirtualWnd && notify.sender != nullptr) notify.virtualWnd = notify.sender->GetVirtualWnd();

    if (!async) {
        if (notify.sender != nullptr) notify.sender->OnNotify.Invoke(&notify);
        // A listener may unregister itself (or another) while it runs.
        for (size_t i = 0; i < m_notifyListeners.size(); ++i) m_notifyListeners[i]->HandleNotify(notify);
        return;
    }
    if (!allowRepeat) {
        for (auto& queued : m_asyncNotifications) {
            if (queued->sender == notify.sender && queued->type == notify.type) {
                queued->wParam = notify.wParam;
                queued->lParam = notify.lParam;
                queued->mouse = notify.mouse;
                queued->timestamp = notify.timestamp;
                return;
            }
        }
    }
    m_asyncNotifications.push_back(std::make_unique<TUINotify>(notify));
    if (!m_asyncNotifyPosted && m_window != nullptr) {
        m_asyncNotifyPosted = ::PostMessageW(m_window, WM_UI_ASYNC_NOTIFY, 0, 0) != FALSE;
    }
}

void CUIManager::DrainAsyncNotifications()
{
    m_asyncNotifyPosted = false;
    while (!m_asyncNotifications.empty()) {
        std::unique_ptr<TUINotify> notify = std::move(m_asyncNotifications.front());
        m_asyncNotifications.erase(m_asyncNotifications.begin());
        if (notify->sender != nullptr) notify->sender->OnNotify.Invoke(notify.get());
        for (size_t i = 0; i < m_notifyListeners.size(); ++i) m_notifyListeners[i]->HandleNotify(*notify);
    }
    DeleteDelayedCleanup();
}

void CUIManager::DeleteDelayedCleanup()
{
    while (!m_delayedCleanup.empty()) {
        std::vector<CControlUI*> batch;
        batch.swap(m_delayedCleanup);
        for (CControlUI* control : batch) control->Delete();
    }
}

void CUIManager::AddDelayedCleanup(CControlUI* control)
{
    if (control == nullptr) return;
    // Detached from the tree but still ours: its destructor forgets it here.
    control->AttachManager(this, nullptr, false);
    AddUnique(m_delayedCleanup, control);
    if (!m_asyncNotifyPosted && m_window != nullptr) {
        m_asyncNotifyPosted = ::PostMessageW(m_window, WM_UI_ASYNC_NOTIFY, 0, 0) != FALSE;
    }
}

bool CUIManager::AddNotifyListener(INotifyUI* listener) { return AddUnique(m_notifyListeners, listener); }
bool CUIManager::RemoveNotifyListener(INotifyUI* listener) { return RemoveItem(m_notifyListeners, listener); }
bool CUIManager::AddPreTranslateFilter(IMessageFilterUI* filter) { return AddUnique(m_preTranslateFilters, filter); }
bool CUIManager::RemovePreTranslateFilter(IMessageFilterUI* filter) { return RemoveItem(m_preTranslateFilters, filter); }
bool CUIManager::AddMessageFilter(IMessageFilterUI* filter) { return AddUnique(m_messageFilters, filter); }
bool CUIManager::RemoveMessageFilter(IMessageFilterUI* filter) { return RemoveItem(m_messageFilters, filter); }
bool CUIManager::AddKeyTranslator(ITranslateAccelerator* translator) { return AddUnique(m_keyTranslators, translator); }
bool CUIManager::RemoveKeyTranslator(ITranslateAccelerator* translator) { return RemoveItem(m_keyTranslators, translator); }
bool CUIManager::AddPostPaint(CControlUI* control) { return AddUnique(m_postPaintControls, control); }
bool CUIManager::RemovePostPaint(CControlUI* control) { return RemoveItem(m_postPaintControls, control); }
bool CUIManager::AddMouseLeaveNeeded(CControlUI* control) { return AddUnique(m_mouseLeaveNeeded, control); }
bool CUIManager::RemoveMouseLeaveNeeded(CControlUI* control) { return RemoveItem(m_mouseLeaveNeeded, control); }

bool CUIManager::AddNativeWindow(CControlUI* control, HWND window)
{
    if (control == nullptr || window == nullptr) return false;
    for (const auto& entry : m_nativeWindows) {
        if (entry.first == window) return false;
    }
    m_nativeWindows.emplace_back(window, control);
    return true;
}

bool CUIManager::RemoveNativeWindow(HWND window)
{
    for (auto it = m_nativeWindows.begin(); it != m_nativeWindows.end(); ++it) {
        if (it->first == window) {
            m_nativeWindows.erase(it);
            return true;
        }
    }
    return false;
}

CControlUI* CUIManager::GetNativeWindowControl(HWND window) const
{
    for (const auto& entry : m_nativeWindows) {
        if (entry.first == window) return entry.second;
    }
    return nullptr;
}

void CUIManager::SendEvent(CControlUI* control, UINT type, WPARAM wParam, LPARAM lParam, WCHAR key)
{
    if (control == nullptr) return;
    TUIEvent event;
    event.type = type;
    event.sender = control;
    event.timestamp = ::GetTickCount();
    event.mouse = m_lastMouse;
    event.key = key;
    event.keyState = MapKeyState();
    event.wParam = wParam;
    event.lParam = lParam;
    control->DispatchEvent(event);
}

WORD CUIManager::MapKeyState()
{
    WORD state = 0;
    if (::GetKeyState(VK_CONTROL) < 0) state |= UIKEYSTATE_CONTROL;
    if (::GetKeyState(VK_RBUTTON) < 0) state |= UIKEYSTATE_RBUTTON;
    if (::GetKeyState(VK_LBUTTON) < 0) state |= UIKEYSTATE_LBUTTON;
    if (::GetKeyState(VK_SHIFT) < 0) state |= UIKEYSTATE_SHIFT;
    if (::GetKeyState(VK_MENU) < 0) state |= UIKEYSTATE_ALT;
    return state;
}

// --- fonts and default attribute lists ---------------------------------------

void CUIManager::MeasureFont(TFontInfo& info)
{
    if (m_paintDC == nullptr || !info.font) return;
    CSelectObject select(m_paintDC, info.font.Get());
    ::GetTextMetricsW(m_paintDC, &info.metrics);
}

static std::unique_ptr<TFontInfo> MakeFont(const wchar_t* face, int size, bool bold, bool underline, bool italic,
                                           int dpi)
{
    LOGFONTW logFont = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(logFont), &logFont);
    // LOGFONT holds 31 characters and a terminator.
    const std::wstring drawing = ChineseCapableFace(face != nullptr ? face : logFont.lfFaceName);
    std::wcsncpy(logFont.lfFaceName, drawing.c_str(), LF_FACESIZE - 1);
    logFont.lfFaceName[LF_FACESIZE - 1] = L'\0';
    logFont.lfCharSet = GB2312_CHARSET;
    // Sizes are logical pixels (character height), scaled like the layout.
    logFont.lfHeight = -::MulDiv(size, dpi, kBaseDpi);
    // Bold is FW_BOLD: raising the GUI font's 400 by 700 would leave the
    // 0..1000 range that LOGFONT allows.
    if (bold) logFont.lfWeight = FW_BOLD;
    if (underline) logFont.lfUnderline = TRUE;
    if (italic) logFont.lfItalic = TRUE;
    HFONT handle = ::CreateFontIndirectW(&logFont);
    if (handle == nullptr) return nullptr;
    auto info = std::make_unique<TFontInfo>();
    info->font.Reset(handle);
    // The face asked for: a font made again (another scale) chooses the same way.
    info->face = face != nullptr ? face : drawing.c_str();
    info->size = size;
    info->dpi = dpi;
    info->height = -logFont.lfHeight;
    info->bold = bold;
    info->underline = underline;
    info->italic = italic;
    return info;
}

HFONT CUIManager::RegisterFont(int id, const wchar_t* face, int size, bool bold, bool underline, bool italic,
                               bool shared)
{
    std::unique_ptr<TFontInfo> info = MakeFont(face, size, bold, underline, italic, GetDpi());
    if (!info) return nullptr;
    MeasureFont(*info);
    HFONT handle = info->font.Get();
    auto& table = shared ? CUIManagerShared::Get().sharedFonts : m_fonts;
    table[id] = std::move(info);
    return handle;
}

HFONT CUIManager::SetBaseFont(const wchar_t* face, int size, bool bold, bool underline, bool italic, bool shared)
{
    std::unique_ptr<TFontInfo> info = MakeFont(face, size, bold, underline, italic, GetDpi());
    if (!info) return nullptr;
    MeasureFont(*info);
    HFONT handle = info->font.Get();
    if (shared) {
        TFontInfo& target = CUIManagerShared::Get().defaultFont;
        target.font = std::move(info->font);
        target.face = info->face;
        target.size = info->size;
        target.dpi = info->dpi;
        target.height = info->height;
        target.bold = info->bold;
        target.underline = info->underline;
        target.italic = info->italic;
        target.metrics = info->metrics;
    } else {
        m_defaultFont = std::move(info);
    }
    return handle;
}

TFontInfo* CUIManager::FindFontEntry(int id)
{
    auto own = m_fonts.find(id);
    if (own != m_fonts.end()) return own->second.get();
    auto& sharedFonts = CUIManagerShared::Get().sharedFonts;
    auto shared = sharedFonts.find(id);
    if (shared != sharedFonts.end()) return shared->second.get();
    return nullptr;
}

void CUIManager::RefreshFont(TFontInfo& info)
{
    if (info.dpi == GetDpi() && info.font) return;
    // Shared fonts follow the window that asks: windows of one process sit
    // at one scale unless they straddle monitors.
    std::unique_ptr<TFontInfo> made = MakeFont(info.face, info.size, info.bold, info.underline, info.italic, GetDpi());
    if (!made) return;
    info.font = std::move(made->font);
    info.dpi = made->dpi;
    info.height = made->height;
    info.metrics = TEXTMETRICW{};
    MeasureFont(info);
}

const TFontInfo* CUIManager::GetDefaultFontInfo()
{
    TFontInfo* info = m_defaultFont ? m_defaultFont.get() : &CUIManagerShared::Get().defaultFont;
    RefreshFont(*info);
    if (info->metrics.tmHeight == 0) MeasureFont(*info);
    return info;
}

const TFontInfo* CUIManager::GetFontInfo(int id)
{
    TFontInfo* info = FindFontEntry(id);
    if (info == nullptr) return GetDefaultFontInfo();
    RefreshFont(*info);
    // A shared font registered by another window, or before this one had
    // a DC, is measured on first use.
    if (info->metrics.tmHeight == 0) MeasureFont(*info);
    return info;
}

HFONT CUIManager::GetFont(int id) { return GetFontInfo(id)->font.Get(); }

void CUIManager::RemoveAllFonts() { m_fonts.clear(); }

void CUIManager::RegisterElementDefaults(const wchar_t* elementName, const wchar_t* attrList, bool shared)
{
    if (elementName == nullptr || *elementName == L'\0') return;
    auto& table = shared ? CUIManagerShared::Get().sharedDefaults : m_elementDefaults;
    // Element names are matched without regard to case everywhere else in
    // a skin, so the defaults for "Button" also reach <button>.
    table[FoldedKey(elementName)] = attrList;
}

const wchar_t* CUIManager::GetElementDefaults(const wchar_t* elementName) const
{
    std::wstring key = FoldedKey(elementName);
    auto own = m_elementDefaults.find(key);
    if (own != m_elementDefaults.end()) return own->second.GetData();
    auto& shared = CUIManagerShared::Get().sharedDefaults;
    auto it = shared.find(key);
    return it != shared.end() ? it->second.GetData() : nullptr;
}

}  // namespace SkinUI
