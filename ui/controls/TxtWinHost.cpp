#include "ui/controls/TxtWinHost.h"

#include <cwchar>
#include <string>

#include "ui/controls/RichEditUI.h"
#include "ui/core/SystemLibrary.h"
#include "ui/core/UIManager.h"

namespace SkinUI {

namespace {

// Used when the library does not export its own (it does on Windows and
// Wine: msftedit's text services answer a different IID than riched20's, so
// the exported one is asked first).
const IID kTextServicesIid = {0x8d33f740, 0xcf58, 0x11ce, {0xa8, 0x9d, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};
const IID kTextHostIid = {0xc5bdd8d0, 0xd26e, 0x11ce, {0xa8, 0x9e, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};
const IID kUnknownIid = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

using CreateTextServicesProc = HRESULT(WINAPI*)(IUnknown* outer, ITextHost* host, IUnknown** services);

struct TEngineLibrary {
    HMODULE module = nullptr;
    CreateTextServicesProc create = nullptr;
    const IID* servicesIid = &kTextServicesIid;
    const IID* hostIid = &kTextHostIid;
};

// Loaded once for the process and kept: engines of any window may live
// until the end. Only the system's copy: the installer runs with
// administrator rights from a downloads folder, where a "msftedit.dll" may lie.
const TEngineLibrary& EngineLibrary()
{
    static const TEngineLibrary library = [] {
        TEngineLibrary loaded;
        loaded.module = LoadSystemLibrary(L"msftedit.dll");
        if (loaded.module == nullptr) return loaded;
        loaded.create = reinterpret_cast<CreateTextServicesProc>(
            reinterpret_cast<void*>(::GetProcAddress(loaded.module, "CreateTextServices")));
        if (auto* iid = reinterpret_cast<const IID*>(::GetProcAddress(loaded.module, "IID_ITextServices"))) {
            loaded.servicesIid = iid;
        }
        if (auto* iid = reinterpret_cast<const IID*>(::GetProcAddress(loaded.module, "IID_ITextHost"))) {
            loaded.hostIid = iid;
        }
        return loaded;
    }();
    return library;
}

// Twips per inch over pixels per inch: the engine measures in twips.
LONG PixelsToTwips(LONG pixels, HDC dc)
{
    int dpi = dc != nullptr ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dpi <= 0) dpi = 96;
    return ::MulDiv(pixels, 1440, dpi);
}

}  // namespace

CTxtWinHost::CTxtWinHost(CRichEditUI* owner) : m_owner(owner) {}

CTxtWinHost::~CTxtWinHost() = default;

HWND CTxtWinHost::Window() const
{
    CUIManager* manager = m_owner != nullptr ? m_owner->GetManager() : nullptr;
    return manager != nullptr ? manager->GetWindow() : nullptr;
}

bool CTxtWinHost::Init(const TTextHostSettings& settings, const RECT& client, const wchar_t* text)
{
    const TEngineLibrary& library = EngineLibrary();
    if (library.create == nullptr) return false;
    m_settings = settings;
    m_client = client;
    BuildFormats(settings);
    m_systemCaret = m_owner->GetManager() != nullptr && !m_owner->GetManager()->IsLayered();

    IUnknown* unknown = nullptr;
    if (FAILED(library.create(nullptr, this, &unknown)) || unknown == nullptr) return false;
    HRESULT hr = unknown->QueryInterface(*library.servicesIid, reinterpret_cast<void**>(&m_services));
    unknown->Release();
    if (FAILED(hr) || m_services == nullptr) {
        m_services = nullptr;
        return false;
    }
    // Change notifications reach TxNotify only for the events asked for.
    Send(EM_SETEVENTMASK, 0, ENM_CHANGE);
    Send(EM_SETLIMITTEXT, static_cast<WPARAM>(m_settings.maxLength), 0);
    m_services->TxSetText(text != nullptr ? text : L"");
    m_services->OnTxInPlaceActivate(&m_client);
    return true;
}

void CTxtWinHost::Shutdown()
{
    if (m_services != nullptr) {
        m_services->OnTxInPlaceDeactivate();
        ITextServices* services = m_services;
        m_services = nullptr;
        services->Release();
    }
    if (m_systemCaret && m_caretShown) ::DestroyCaret();
    m_caretShown = false;
    m_owner = nullptr;
}

LRESULT CTxtWinHost::Send(UINT message, WPARAM wParam, LPARAM lParam, HRESULT* hr)
{
    LRESULT result = 0;
    HRESULT status = m_services != nullptr ? m_services->TxSendMessage(message, wParam, lParam, &result) : E_FAIL;
    if (hr != nullptr) *hr = status;
    return result;
}

void CTxtWinHost::Draw(HDC dc, const RECT& update)
{
    if (m_services == nullptr) return;
    RECT area = update;
    RECTL bounds = {m_client.left, m_client.top, m_client.right, m_client.bottom};
    m_services->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, dc, nullptr, &bounds, nullptr, &area, nullptr, 0,
                       TXTVIEW_ACTIVE);
}

void CTxtWinHost::SetClientRect(const RECT& client)
{
    if (::EqualRect(&client, &m_client)) return;
    m_client = client;
    if (m_services != nullptr) {
        // In place active, the engine takes its rectangle from
        // TxGetClientRect; activating again moves its view there.
        m_services->OnTxInPlaceActivate(&m_client);
        m_services->OnTxPropertyBitsChange(TXTBIT_CLIENTRECTCHANGE, TXTBIT_CLIENTRECTCHANGE);
    }
}

void CTxtWinHost::ApplySettings(const TTextHostSettings& settings)
{
    m_settings = settings;
    BuildFormats(settings);
    if (m_services == nullptr) return;
    Send(EM_SETLIMITTEXT, static_cast<WPARAM>(m_settings.maxLength), 0);
    // State bits carry their new values; the change bits only say "ask
    // again".
    const DWORD state = TXTBIT_RICHTEXT | TXTBIT_MULTILINE | TXTBIT_READONLY | TXTBIT_USEPASSWORD | TXTBIT_WORDWRAP;
    const DWORD changes = TXTBIT_BACKSTYLECHANGE | TXTBIT_SCROLLBARCHANGE | TXTBIT_CHARFORMATCHANGE |
                          TXTBIT_PARAFORMATCHANGE | TXTBIT_MAXLENGTHCHANGE;
    m_services->OnTxPropertyBitsChange(state | changes, (PropertyBits() & state) | changes);
}

void CTxtWinHost::BuildFormats(const TTextHostSettings& settings)
{
    LOGFONTW font = {};
    HFONT handle = settings.font != nullptr ? settings.font : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    ::GetObjectW(handle, sizeof(font), &font);
    CUIManager* manager = m_owner != nullptr ? m_owner->GetManager() : nullptr;
    HDC dc = manager != nullptr ? manager->GetPaintDC() : nullptr;

    m_charFormat = {};
    m_charFormat.cbSize = sizeof(m_charFormat);
    m_charFormat.dwMask = CFM_SIZE | CFM_OFFSET | CFM_FACE | CFM_CHARSET | CFM_COLOR | CFM_BOLD | CFM_ITALIC |
                          CFM_UNDERLINE | CFM_STRIKEOUT;
    m_charFormat.yHeight = PixelsToTwips(font.lfHeight < 0 ? -font.lfHeight : font.lfHeight, dc);
    m_charFormat.crTextColor = settings.textColor;
    m_charFormat.bCharSet = font.lfCharSet;
    m_charFormat.bPitchAndFamily = font.lfPitchAndFamily;
    if (font.lfWeight >= FW_BOLD) m_charFormat.dwEffects |= CFE_BOLD;
    if (font.lfItalic) m_charFormat.dwEffects |= CFE_ITALIC;
    if (font.lfUnderline) m_charFormat.dwEffects |= CFE_UNDERLINE;
    if (font.lfStrikeOut) m_charFormat.dwEffects |= CFE_STRIKEOUT;
    std::wcsncpy(m_charFormat.szFaceName, font.lfFaceName, LF_FACESIZE - 1);

    m_paraFormat = {};
    m_paraFormat.cbSize = sizeof(m_paraFormat);
    m_paraFormat.dwMask = PFM_ALL;
    m_paraFormat.wAlignment = settings.alignment;
    m_paraFormat.cTabCount = 1;
    m_paraFormat.rgxTabs[0] = 720;  // half an inch, the engine's own default
}

DWORD CTxtWinHost::PropertyBits() const
{
    const DWORD style = m_settings.style;
    DWORD bits = TXTBIT_HIDESELECTION | TXTBIT_SAVESELECTION | TXTBIT_AUTOWORDSEL | TXTBIT_DISABLEDRAG;
    if (m_settings.rich) bits |= TXTBIT_RICHTEXT;
    if (style & ES_MULTILINE) {
        bits |= TXTBIT_MULTILINE;
        if (m_settings.wordWrap) bits |= TXTBIT_WORDWRAP;
    }
    if (style & ES_READONLY) bits |= TXTBIT_READONLY;
    if (style & ES_PASSWORD) bits |= TXTBIT_USEPASSWORD;
    if (style & ES_NOHIDESEL) bits &= ~static_cast<DWORD>(TXTBIT_HIDESELECTION);
    return bits;
}

RECT CTxtWinHost::CaretRect() const
{
    return RECT{m_caretPos.x, m_caretPos.y, m_caretPos.x + (m_caretSize.cx > 0 ? 1 : 0),
                m_caretPos.y + m_caretSize.cy};
}

// --- IUnknown ----------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CTxtWinHost::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, kUnknownIid) || IsEqualIID(iid, *EngineLibrary().hostIid) ||
        IsEqualIID(iid, kTextHostIid)) {
        *object = static_cast<ITextHost*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CTxtWinHost::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }

ULONG STDMETHODCALLTYPE CTxtWinHost::Release()
{
    LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

// --- ITextHost ---------------------------------------------------------------

HDC CTxtWinHost::TxGetDC()
{
    CUIManager* manager = m_owner != nullptr ? m_owner->GetManager() : nullptr;
    return manager != nullptr ? manager->GetPaintDC() : nullptr;
}

// The DC is the manager's, held for the window's life.
INT CTxtWinHost::TxReleaseDC(HDC) { return 1; }

// FIXME: the engine's scroll bars are not drawn; a skin that needs them
// scrolls with the wheel and the keyboard only.
BOOL CTxtWinHost::TxShowScrollBar(INT, BOOL) { return TRUE; }
BOOL CTxtWinHost::TxEnableScrollBar(INT, INT) { return TRUE; }
BOOL CTxtWinHost::TxSetScrollRange(INT, LONG, INT, BOOL) { return TRUE; }
BOOL CTxtWinHost::TxSetScrollPos(INT, INT, BOOL) { return TRUE; }

void CTxtWinHost::TxInvalidateRect(LPCRECT rect, BOOL)
{
    if (m_owner == nullptr) return;
    CUIManager* manager = m_owner->GetManager();
    RECT dirty = m_owner->GetPos();
    if (rect != nullptr && manager != nullptr) {
        RECT part;
        if (::IntersectRect(&part, rect, &dirty)) manager->Invalidate(part);
        return;
    }
    m_owner->Invalidate();
}

void CTxtWinHost::TxViewChange(BOOL)
{
    if (m_owner != nullptr) m_owner->Invalidate();
}

BOOL CTxtWinHost::TxCreateCaret(HBITMAP bitmap, INT width, INT height)
{
    m_caretSize = {width, height};
    if (!m_systemCaret) return TRUE;
    return ::CreateCaret(Window(), bitmap, width, height);
}

BOOL CTxtWinHost::TxShowCaret(BOOL show)
{
    m_caretShown = show != FALSE;
    if (!m_systemCaret) {
        if (m_owner != nullptr) m_owner->InvalidateCaret();
        return TRUE;
    }
    return show ? ::ShowCaret(Window()) : ::HideCaret(Window());
}

BOOL CTxtWinHost::TxSetCaretPos(INT x, INT y)
{
    if (!m_systemCaret) {
        if (m_owner != nullptr) m_owner->InvalidateCaret();
        m_caretPos = {x, y};
        if (m_owner != nullptr) m_owner->InvalidateCaret();
        return TRUE;
    }
    m_caretPos = {x, y};
    return ::SetCaretPos(x, y);
}

BOOL CTxtWinHost::TxSetTimer(UINT id, UINT timeout)
{
    CUIManager* manager = m_owner != nullptr ? m_owner->GetManager() : nullptr;
    return manager != nullptr && manager->SetUITimer(m_owner, kEngineTimerBase + id, timeout);
}

void CTxtWinHost::TxKillTimer(UINT id)
{
    CUIManager* manager = m_owner != nullptr ? m_owner->GetManager() : nullptr;
    if (manager != nullptr) manager->KillUITimer(m_owner, kEngineTimerBase + id);
}

void CTxtWinHost::TxScrollWindowEx(INT, INT, LPCRECT, LPCRECT, HRGN, LPRECT, UINT)
{
    // Drawn offscreen: scrolling is a repaint.
    if (m_owner != nullptr) m_owner->Invalidate();
}

void CTxtWinHost::TxSetCapture(BOOL capture)
{
    CUIManager* manager = m_owner != nullptr ? m_owner->GetManager() : nullptr;
    if (manager == nullptr) return;
    if (capture) manager->SetCapture();
    else manager->ReleaseCapture();
}

void CTxtWinHost::TxSetFocus()
{
    if (m_owner != nullptr) m_owner->SetFocus();
}

void CTxtWinHost::TxSetCursor(HCURSOR cursor, BOOL) { ::SetCursor(cursor); }

BOOL CTxtWinHost::TxScreenToClient(LPPOINT point) { return ::ScreenToClient(Window(), point); }

BOOL CTxtWinHost::TxClientToScreen(LPPOINT point) { return ::ClientToScreen(Window(), point); }

HRESULT CTxtWinHost::TxActivate(LONG* oldState)
{
    if (oldState != nullptr) *oldState = 0;
    return S_OK;
}

HRESULT CTxtWinHost::TxDeactivate(LONG) { return S_OK; }

HRESULT CTxtWinHost::TxGetClientRect(LPRECT rect)
{
    if (rect == nullptr) return E_INVALIDARG;
    *rect = m_client;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetViewInset(LPRECT rect)
{
    // The text padding is already taken off the client rectangle.
    if (rect == nullptr) return E_INVALIDARG;
    *rect = {0, 0, 0, 0};
    return S_OK;
}

HRESULT CTxtWinHost::TxGetCharFormat(const CHARFORMATW** format)
{
    if (format == nullptr) return E_INVALIDARG;
    *format = reinterpret_cast<const CHARFORMATW*>(&m_charFormat);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetParaFormat(const PARAFORMAT** format)
{
    if (format == nullptr) return E_INVALIDARG;
    *format = &m_paraFormat;
    return S_OK;
}

COLORREF CTxtWinHost::TxGetSysColor(int index) { return ::GetSysColor(index); }

HRESULT CTxtWinHost::TxGetBackStyle(TXTBACKSTYLE* style)
{
    if (style == nullptr) return E_INVALIDARG;
    *style = m_settings.transparent ? TXTBACK_TRANSPARENT : TXTBACK_OPAQUE;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetMaxLength(DWORD* length)
{
    if (length == nullptr) return E_INVALIDARG;
    *length = static_cast<DWORD>(m_settings.maxLength);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetScrollBars(DWORD* scrollBars)
{
    if (scrollBars == nullptr) return E_INVALIDARG;
    *scrollBars = m_settings.style &
                  (WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_DISABLENOSCROLL);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetPasswordChar(WCHAR* ch)
{
    if (ch == nullptr) return E_INVALIDARG;
    *ch = m_settings.passwordChar;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetAcceleratorPos(LONG* pos)
{
    if (pos == nullptr) return E_INVALIDARG;
    *pos = -1;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetExtent(LPSIZEL) { return E_NOTIMPL; }

HRESULT CTxtWinHost::OnTxCharFormatChange(const CHARFORMATW*) { return S_OK; }

HRESULT CTxtWinHost::OnTxParaFormatChange(const PARAFORMAT*) { return S_OK; }

HRESULT CTxtWinHost::TxGetPropertyBits(DWORD mask, DWORD* bits)
{
    if (bits == nullptr) return E_INVALIDARG;
    *bits = PropertyBits() & mask;
    return S_OK;
}

HRESULT CTxtWinHost::TxNotify(DWORD code, void* data)
{
    if (m_owner != nullptr) m_owner->OnEngineNotify(code, data);
    return S_OK;
}

HIMC CTxtWinHost::TxImmGetContext() { return ::ImmGetContext(Window()); }

void CTxtWinHost::TxImmReleaseContext(HIMC context) { ::ImmReleaseContext(Window(), context); }

HRESULT CTxtWinHost::TxGetSelectionBarWidth(LONG* width)
{
    if (width == nullptr) return E_INVALIDARG;
    *width = 0;
    return S_OK;
}

}  // namespace SkinUI
