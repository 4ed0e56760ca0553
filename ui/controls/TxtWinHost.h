#pragma once
// The host of the windowless rich-text engine behind CRichEditUI. The engine
// ("text services") comes from "msftedit.dll" through CreateTextServices; it
// edits, lays out and draws the text, and asks its host (this class) for
// everything a window would normally give it: the rectangle, the DC, the
// caret, timers, capture, the default character and paragraph formats and
// the style bits. CTxtWinHost answers from its CRichEditUI and that
// control's manager.
//
// Ownership: reference counted like any COM object. The control holds one
// reference and drops it after shutting the engine down; the engine is
// released by the host.

#include <windows.h>
#include <ole2.h>
#include <imm.h>
#include <richedit.h>

namespace SkinUI {

class CRichEditUI;

// The 32-bit calling convention of the text services and text host
// interfaces. Windows declares their methods without STDMETHODCALLTYPE, so
// they are __thiscall on x86 (`this` in ECX, arguments on the stack, callee
// pops); msftedit.dll calls and implements them that way, and Wine's
// riched20 does the same through its own thiscall thunks. Declared as
// ordinary COM interfaces (__stdcall, `this` on the stack) every call in
// either direction would read its arguments one slot off and crash. Only the
// IUnknown part is ordinary COM. 64-bit Windows has a single calling
// convention, so the macro is empty there.
#if defined(__i386__) || defined(_M_IX86)
#define SKINUI_TEXT_CALL __thiscall
#else
#define SKINUI_TEXT_CALL
#endif

// Property bits the host reports (TxGetPropertyBits) and changes
// (OnTxPropertyBitsChange).
enum : DWORD {
    TXTBIT_RICHTEXT = 0x1,
    TXTBIT_MULTILINE = 0x2,
    TXTBIT_READONLY = 0x4,
    TXTBIT_SHOWACCELERATOR = 0x8,
    TXTBIT_USEPASSWORD = 0x10,
    TXTBIT_HIDESELECTION = 0x20,
    TXTBIT_SAVESELECTION = 0x40,
    TXTBIT_AUTOWORDSEL = 0x80,
    TXTBIT_VERTICAL = 0x100,
    TXTBIT_SELBARCHANGE = 0x200,
    TXTBIT_WORDWRAP = 0x400,
    TXTBIT_ALLOWBEEP = 0x800,
    TXTBIT_DISABLEDRAG = 0x1000,
    TXTBIT_VIEWINSETCHANGE = 0x2000,
    TXTBIT_BACKSTYLECHANGE = 0x4000,
    TXTBIT_MAXLENGTHCHANGE = 0x8000,
    TXTBIT_SCROLLBARCHANGE = 0x10000,
    TXTBIT_CHARFORMATCHANGE = 0x20000,
    TXTBIT_PARAFORMATCHANGE = 0x40000,
    TXTBIT_EXTENTCHANGE = 0x80000,
    TXTBIT_CLIENTRECTCHANGE = 0x100000,
};

enum TXTBACKSTYLE { TXTBACK_TRANSPARENT = 0, TXTBACK_OPAQUE = 1 };
enum TXTVIEW { TXTVIEW_ACTIVE = 0, TXTVIEW_INACTIVE = -1 };

// The engine's answer to a key it does not use.
constexpr HRESULT kKeyIgnored = MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_ITF, 0x201);

// The engine, as msftedit.dll implements it. Slot order is the ABI.
class ITextServices : public IUnknown {
public:
    virtual HRESULT SKINUI_TEXT_CALL TxSendMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxDraw(DWORD drawAspect, LONG index, void* aspect, DVTARGETDEVICE* targetDevice,
                                            HDC drawDC, HDC targetDC, LPCRECTL bounds, LPCRECTL metafileBounds,
                                            LPRECT update, BOOL(CALLBACK* continueProc)(DWORD), DWORD continueData,
                                            LONG viewId) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetHScroll(LONG* min, LONG* max, LONG* pos, LONG* page, BOOL* enabled) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetVScroll(LONG* min, LONG* max, LONG* pos, LONG* page, BOOL* enabled) = 0;
    virtual HRESULT SKINUI_TEXT_CALL OnTxSetCursor(DWORD drawAspect, LONG index, void* aspect,
                                                   DVTARGETDEVICE* targetDevice, HDC drawDC, HDC targetDC,
                                                   LPCRECT client, INT x, INT y) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxQueryHitPoint(DWORD drawAspect, LONG index, void* aspect,
                                                     DVTARGETDEVICE* targetDevice, HDC drawDC, HDC targetDC,
                                                     LPCRECT client, INT x, INT y, DWORD* hitResult) = 0;
    virtual HRESULT SKINUI_TEXT_CALL OnTxInPlaceActivate(LPCRECT client) = 0;
    virtual HRESULT SKINUI_TEXT_CALL OnTxInPlaceDeactivate() = 0;
    virtual HRESULT SKINUI_TEXT_CALL OnTxUIActivate() = 0;
    virtual HRESULT SKINUI_TEXT_CALL OnTxUIDeactivate() = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetText(BSTR* text) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxSetText(LPCWSTR text) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetCurTargetX(LONG* x) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetBaseLinePos(LONG* pos) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetNaturalSize(DWORD aspect, HDC drawDC, HDC targetDC,
                                                      DVTARGETDEVICE* targetDevice, DWORD mode, const SIZEL* extent,
                                                      LONG* width, LONG* height) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetDropTarget(IDropTarget** target) = 0;
    virtual HRESULT SKINUI_TEXT_CALL OnTxPropertyBitsChange(DWORD mask, DWORD bits) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetCachedSize(DWORD* width, DWORD* height) = 0;
};

// What the engine asks of its host. Slot order is the ABI.
class ITextHost : public IUnknown {
public:
    virtual HDC SKINUI_TEXT_CALL TxGetDC() = 0;
    virtual INT SKINUI_TEXT_CALL TxReleaseDC(HDC dc) = 0;
    virtual BOOL SKINUI_TEXT_CALL TxShowScrollBar(INT bar, BOOL show) = 0;
    virtual BOOL SKINUI_TEXT_CALL TxEnableScrollBar(INT bars, INT arrows) = 0;
    virtual BOOL SKINUI_TEXT_CALL TxSetScrollRange(INT bar, LONG minPos, INT maxPos, BOOL redraw) = 0;
    virtual BOOL SKINUI_TEXT_CALL TxSetScrollPos(INT bar, INT pos, BOOL redraw) = 0;
    virtual void SKINUI_TEXT_CALL TxInvalidateRect(LPCRECT rect, BOOL mode) = 0;
    virtual void SKINUI_TEXT_CALL TxViewChange(BOOL update) = 0;
    virtual BOOL SKINUI_TEXT_CALL TxCreateCaret(HBITMAP bitmap, INT width, INT height) = 0;
    virtual BOOL SKINUI_TEXT_CALL TxShowCaret(BOOL show) = 0;
    virtual BOOL SKINUI_TEXT_CALL TxSetCaretPos(INT x, INT y) = 0;
    virtual BOOL SKINUI_TEXT_CALL TxSetTimer(UINT id, UINT timeout) = 0;
    virtual void SKINUI_TEXT_CALL TxKillTimer(UINT id) = 0;
    virtual void SKINUI_TEXT_CALL TxScrollWindowEx(INT dx, INT dy, LPCRECT scroll, LPCRECT clip, HRGN updateRegion,
                                                   LPRECT update, UINT flags) = 0;
    virtual void SKINUI_TEXT_CALL TxSetCapture(BOOL capture) = 0;
    virtual void SKINUI_TEXT_CALL TxSetFocus() = 0;
    virtual void SKINUI_TEXT_CALL TxSetCursor(HCURSOR cursor, BOOL text) = 0;
    virtual BOOL SKINUI_TEXT_CALL TxScreenToClient(LPPOINT point) = 0;
    virtual BOOL SKINUI_TEXT_CALL TxClientToScreen(LPPOINT point) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxActivate(LONG* oldState) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxDeactivate(LONG newState) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetClientRect(LPRECT rect) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetViewInset(LPRECT rect) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetCharFormat(const CHARFORMATW** format) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetParaFormat(const PARAFORMAT** format) = 0;
    virtual COLORREF SKINUI_TEXT_CALL TxGetSysColor(int index) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetBackStyle(TXTBACKSTYLE* style) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetMaxLength(DWORD* length) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetScrollBars(DWORD* scrollBars) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetPasswordChar(WCHAR* ch) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetAcceleratorPos(LONG* pos) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetExtent(LPSIZEL extent) = 0;
    virtual HRESULT SKINUI_TEXT_CALL OnTxCharFormatChange(const CHARFORMATW* format) = 0;
    virtual HRESULT SKINUI_TEXT_CALL OnTxParaFormatChange(const PARAFORMAT* format) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetPropertyBits(DWORD mask, DWORD* bits) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxNotify(DWORD code, void* data) = 0;
    virtual HIMC SKINUI_TEXT_CALL TxImmGetContext() = 0;
    virtual void SKINUI_TEXT_CALL TxImmReleaseContext(HIMC context) = 0;
    virtual HRESULT SKINUI_TEXT_CALL TxGetSelectionBarWidth(LONG* width) = 0;
};

// The settings the host reports to the engine, taken from the control.
struct TTextHostSettings {
    DWORD style = ES_MULTILINE;  // ES_* and WS_*SCROLL bits
    bool rich = true;
    bool transparent = true;
    bool wordWrap = true;
    LONG maxLength = 32767;
    WCHAR passwordChar = L'*';
    HFONT font = nullptr;
    COLORREF textColor = 0;
    WORD alignment = PFA_LEFT;
};

class CTxtWinHost : public ITextHost {
public:
    // Engine timers arrive as the control's timers with ids from here on,
    // clear of the control's own (the caret blinks on 20).
    static constexpr UINT kEngineTimerBase = 0x100;

    explicit CTxtWinHost(CRichEditUI* owner);
    CTxtWinHost(const CTxtWinHost&) = delete;
    CTxtWinHost& operator=(const CTxtWinHost&) = delete;

    // Loads the engine and creates the text services with `text`, activated
    // in place over `client`. False when the library or the engine is
    // missing; the control then draws nothing but its background.
    bool Init(const TTextHostSettings& settings, const RECT& client, const wchar_t* text);
    // Releases the engine; the host answers nothing after this.
    void Shutdown();

    ITextServices* Services() const { return m_services; }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, HRESULT* hr = nullptr);
    void Draw(HDC dc, const RECT& update);

    const RECT& GetClientRect() const { return m_client; }
    void SetClientRect(const RECT& client);
    void ApplySettings(const TTextHostSettings& settings);

    // The caret of a layered window, drawn by the control (the system caret
    // cannot show over a layered window).
    bool IsCaretShown() const { return m_caretShown; }
    RECT CaretRect() const;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ITextHost
    HDC SKINUI_TEXT_CALL TxGetDC() override;
    INT SKINUI_TEXT_CALL TxReleaseDC(HDC dc) override;
    BOOL SKINUI_TEXT_CALL TxShowScrollBar(INT bar, BOOL show) override;
    BOOL SKINUI_TEXT_CALL TxEnableScrollBar(INT bars, INT arrows) override;
    BOOL SKINUI_TEXT_CALL TxSetScrollRange(INT bar, LONG minPos, INT maxPos, BOOL redraw) override;
    BOOL SKINUI_TEXT_CALL TxSetScrollPos(INT bar, INT pos, BOOL redraw) override;
    void SKINUI_TEXT_CALL TxInvalidateRect(LPCRECT rect, BOOL mode) override;
    void SKINUI_TEXT_CALL TxViewChange(BOOL update) override;
    BOOL SKINUI_TEXT_CALL TxCreateCaret(HBITMAP bitmap, INT width, INT height) override;
    BOOL SKINUI_TEXT_CALL TxShowCaret(BOOL show) override;
    BOOL SKINUI_TEXT_CALL TxSetCaretPos(INT x, INT y) override;
    BOOL SKINUI_TEXT_CALL TxSetTimer(UINT id, UINT timeout) override;
    void SKINUI_TEXT_CALL TxKillTimer(UINT id) override;
    void SKINUI_TEXT_CALL TxScrollWindowEx(INT dx, INT dy, LPCRECT scroll, LPCRECT clip, HRGN updateRegion,
                                           LPRECT update, UINT flags) override;
    void SKINUI_TEXT_CALL TxSetCapture(BOOL capture) override;
    void SKINUI_TEXT_CALL TxSetFocus() override;
    void SKINUI_TEXT_CALL TxSetCursor(HCURSOR cursor, BOOL text) override;
    BOOL SKINUI_TEXT_CALL TxScreenToClient(LPPOINT point) override;
    BOOL SKINUI_TEXT_CALL TxClientToScreen(LPPOINT point) override;
    HRESULT SKINUI_TEXT_CALL TxActivate(LONG* oldState) override;
    HRESULT SKINUI_TEXT_CALL TxDeactivate(LONG newState) override;
    HRESULT SKINUI_TEXT_CALL TxGetClientRect(LPRECT rect) override;
    HRESULT SKINUI_TEXT_CALL TxGetViewInset(LPRECT rect) override;
    HRESULT SKINUI_TEXT_CALL TxGetCharFormat(const CHARFORMATW** format) override;
    HRESULT SKINUI_TEXT_CALL TxGetParaFormat(const PARAFORMAT** format) override;
    COLORREF SKINUI_TEXT_CALL TxGetSysColor(int index) override;
    HRESULT SKINUI_TEXT_CALL TxGetBackStyle(TXTBACKSTYLE* style) override;
    HRESULT SKINUI_TEXT_CALL TxGetMaxLength(DWORD* length) override;
    HRESULT SKINUI_TEXT_CALL TxGetScrollBars(DWORD* scrollBars) override;
    HRESULT SKINUI_TEXT_CALL TxGetPasswordChar(WCHAR* ch) override;
    HRESULT SKINUI_TEXT_CALL TxGetAcceleratorPos(LONG* pos) override;
    HRESULT SKINUI_TEXT_CALL TxGetExtent(LPSIZEL extent) override;
    HRESULT SKINUI_TEXT_CALL OnTxCharFormatChange(const CHARFORMATW* format) override;
    HRESULT SKINUI_TEXT_CALL OnTxParaFormatChange(const PARAFORMAT* format) override;
    HRESULT SKINUI_TEXT_CALL TxGetPropertyBits(DWORD mask, DWORD* bits) override;
    HRESULT SKINUI_TEXT_CALL TxNotify(DWORD code, void* data) override;
    HIMC SKINUI_TEXT_CALL TxImmGetContext() override;
    void SKINUI_TEXT_CALL TxImmReleaseContext(HIMC context) override;
    HRESULT SKINUI_TEXT_CALL TxGetSelectionBarWidth(LONG* width) override;

private:
    virtual ~CTxtWinHost();
    HWND Window() const;
    void BuildFormats(const TTextHostSettings& settings);
    DWORD PropertyBits() const;

    LONG m_refs = 1;
    CRichEditUI* m_owner;  // cleared by Shutdown
    ITextServices* m_services = nullptr;
    RECT m_client = {0, 0, 0, 0};
    TTextHostSettings m_settings;
    CHARFORMAT2W m_charFormat = {};
    PARAFORMAT2 m_paraFormat = {};
    bool m_systemCaret = false;  // the caret is the window's system caret
    bool m_caretShown = false;
    POINT m_caretPos = {0, 0};
    SIZE m_caretSize = {1, 0};
};

}  // namespace SkinUI
