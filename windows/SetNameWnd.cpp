#include "windows/SetNameWnd.h"

#include "app/InstallSettings.h"
#include "ui/controls/EditUI.h"
#include "ui/controls/LabelUI.h"
#include "windows/BoxName.h"
#include "ui/controls/ControlUI.h"
#include "windows/ScaleReport.h"
#include "windows/WindowStyle.h"

using namespace SkinUI;

void SetNameWnd::OnInitialized() { LogWindowScale("name", GetManager()); }

void SetNameWnd::HandleNotify(TUINotify& notify)
{
    if (notify.sender == nullptr) return;
    const CUIString& name = notify.sender->GetName();
    if (notify.type == L"click" && name == L"btnSetName") ValidateAndSaveName();
    if (notify.type == L"setfocus" && name == L"TextSetName" && !m_hintUntilInput) ClearHintOnFocus();
    if (notify.type == L"killfocus" && name == L"TextSetName") {
        m_hintUntilInput = false;
        RestoreHintOnBlur();
    }
}

LRESULT SetNameWnd::FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (m_hintUntilInput) {
        // Input that edits the field: a character (Backspace included), the
        // start of an input-method composition, Delete, or any click.
        const bool typing = (message == WM_CHAR && (wParam >= 0x20 || wParam == VK_BACK)) ||
                            message == WM_IME_STARTCOMPOSITION || (message == WM_KEYDOWN && wParam == VK_DELETE);
        if (typing || message == WM_LBUTTONDOWN) {
            m_hintUntilInput = false;
            // The character itself goes on to the field, now empty.
            CControlUI* edit = NameEdit();
            if (edit != nullptr && GetManager().GetFocus() == edit) ClearHintOnFocus();
        }
    }
    return WindowImplBase::FilterMessage(message, wParam, lParam, handled);
}

bool SetNameWnd::HandleDefaultKey(WPARAM key)
{
    if (key != VK_RETURN) return WindowImplBase::HandleDefaultKey(key);
    ValidateAndSaveName();
    return true;
}

CControlUI* SetNameWnd::NameEdit() { return GetManager().FindByName(L"TextSetName"); }

void SetNameWnd::SetEditText(const wchar_t* text, DWORD color)
{
    CControlUI* edit = NameEdit();
    if (edit == nullptr) return;
    edit->SetText(text);
    if (auto* label = static_cast<CLabelUI*>(edit->InterfaceByName(L"Label"))) label->SetTextColor(color);
}

void SetNameWnd::ValidateAndSaveName()
{
    CControlUI* edit = NameEdit();
    if (edit == nullptr) return;
    CUIString text = edit->GetText();
    // The warning already there says it; pressing again adds nothing.
    if (text == kInvalidName) return;
    if (text.IsEmpty() || text == kNoNameWarning || text == kHint) {
        SetEditText(kNoNameWarning, kWarningColor);
        return;
    }
    std::wstring name = TrimBoxName(text.GetData());
    if (!IsValidBoxName(name)) {
        m_refused = text;
        SetEditText(kInvalidName, kWarningColor);
        m_hintUntilInput = true;
        return;
    }
    InstallSettings::ApplyBoxName(name);
    CloseWithResult(1);
}

void SetNameWnd::ClearHintOnFocus()
{
    CControlUI* edit = NameEdit();
    if (edit == nullptr) return;
    CUIString text = edit->GetText();
    if (text == kHint || text == kNoNameWarning) SetEditText(L"", kNormalColor);
    if (text == kInvalidName) {
        SetEditText(m_refused, kNormalColor);
        // Typing goes on at the end of the refused name.
        if (auto* field = static_cast<CEditUI*>(edit->InterfaceByName(L"Edit"))) {
            if (HWND native = field->GetNativeWindow()) ::SendMessageW(native, EM_SETSEL, m_refused.GetLength(), m_refused.GetLength());
        }
    }
}

void SetNameWnd::RestoreHintOnBlur()
{
    CControlUI* edit = NameEdit();
    if (edit != nullptr && edit->GetText().IsEmpty()) SetEditText(kHint, kNormalColor);
}
