// What a screen reader gets from a window, in process: the tree from
// WM_GETOBJECT, the order of the events the window raises, and objects that
// outlive their control or their window.
#include <gtest/gtest.h>

#include <oleacc.h>

#include <vector>

#include "HostWindow.h"
#include "ui/controls/ButtonUI.h"
#include "ui/controls/EditUI.h"
#include "ui/controls/HorizontalLayoutUI.h"
#include "ui/controls/LabelUI.h"
#include "ui/controls/VerticalLayoutUI.h"
#include "ui/core/AccessibleObject.h"

using namespace SkinUI;
using testing_support::HostWindow;

namespace {

struct Heard {
    DWORD event;
    LONG child;
};
std::vector<Heard> g_heard;
HWND g_window = nullptr;

void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    if (window == g_window && object == OBJID_CLIENT) g_heard.push_back({event, child});
}

VARIANT Child(LONG id)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::wstring Name(IAccessible* acc, LONG child)
{
    BSTR name = nullptr;
    if (acc->get_accName(Child(child), &name) != S_OK) return L"(error)";
    std::wstring text = name != nullptr ? name : L"";
    SysFreeString(name);
    return text;
}

// A page of the kind the wizard has: a picture, a field, two buttons whose
// names are in their pictures, a status line, a decorative label and a
// hidden page.
struct AccessibleFixture : ::testing::Test {
    void SetUp() override
    {
        // As the installer's entry does: the root is marshalled through COM.
        CoInitialize(nullptr);
        ASSERT_TRUE(window.Create());
        g_window = window.manager.GetWindow();
        root = new CVerticalLayoutUI;
        root->SetCustomAttr(L"accwindowname", L"安装程序");
        row = new CHorizontalLayoutUI;
        row->SetFixedHeight(40);
        field = new CEditUI;
        field->SetCustomAttr(L"accname", L"安装目录");
        field->SetText(L"C:\\Apps");
        row->Add(field);
        browse = new CButtonUI;
        browse->SetCustomAttr(L"accname", L"浏览");
        browse->SetFixedWidth(40);
        row->Add(browse);
        next = new CButtonUI;
        next->SetName(L"btnNext");
        next->SetCustomAttr(L"accname", L"确认");
        next->SetFixedWidth(60);
        row->Add(next);
        root->Add(row);
        status = new CLabelUI;
        status->SetText(L"正在安装");
        status->SetFixedHeight(30);
        root->Add(status);
        auto* decorative = new CLabelUI;
        decorative->SetText(L"50%");
        decorative->SetCustomAttr(L"accdecorative", L"true");
        decorative->SetFixedHeight(30);
        root->Add(decorative);
        hidden = new CVerticalLayoutUI;
        hidden->SetVisible(false);
        finish = new CButtonUI;
        finish->SetCustomAttr(L"accname", L"安装完成");
        hidden->Add(finish);
        root->Add(hidden);
        window.manager.AttachTree(root);
        window.manager.PaintNow();
        window.Pump();
        const HRESULT got = AccessibleObjectFromWindow(g_window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                                       reinterpret_cast<void**>(&acc));
        ASSERT_TRUE(SUCCEEDED(got) && acc != nullptr) << std::hex << got;
    }
    void TearDown() override
    {
        if (acc != nullptr) acc->Release();
        acc = nullptr;
        g_window = nullptr;
        if (IsWindow(window.GetHWND())) DestroyWindow(window.GetHWND());
        CoUninitialize();
    }

    HostWindow window;
    IAccessible* acc = nullptr;
    CVerticalLayoutUI* root = nullptr;
    CHorizontalLayoutUI* row = nullptr;
    CEditUI* field = nullptr;
    CButtonUI* browse = nullptr;
    CButtonUI* next = nullptr;
    CLabelUI* status = nullptr;
    CVerticalLayoutUI* hidden = nullptr;
    CButtonUI* finish = nullptr;
};

}  // namespace

TEST_F(AccessibleFixture, TheTreeHoldsWhatAUserSeesInReadingOrderWithRolesNamesAndValues)
{
    EXPECT_EQ(Name(acc, CHILDID_SELF), L"安装程序");
    long count = 0;
    ASSERT_EQ(acc->get_accChildCount(&count), S_OK);
    ASSERT_EQ(count, 4) << "the decorative label and the hidden page are not for the screen reader";
    const wchar_t* names[] = {L"安装目录", L"浏览", L"确认", L"正在安装"};
    const long roles[] = {ROLE_SYSTEM_TEXT, ROLE_SYSTEM_PUSHBUTTON, ROLE_SYSTEM_PUSHBUTTON, ROLE_SYSTEM_STATICTEXT};
    for (long i = 0; i < 4; ++i) {
        EXPECT_EQ(Name(acc, i + 1), names[i]) << i;
        VARIANT role;
        ASSERT_EQ(acc->get_accRole(Child(i + 1), &role), S_OK);
        EXPECT_EQ(role.lVal, roles[i]) << i;
    }
    BSTR value = nullptr;
    ASSERT_EQ(acc->get_accValue(Child(1), &value), S_OK);
    EXPECT_STREQ(value, L"C:\\Apps");
    SysFreeString(value);

    // Each child object knows its place, in screen coordinates.
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(acc->get_accChild(Child(3), &dispatch), S_OK);
    IAccessible* button = nullptr;
    dispatch->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&button));
    dispatch->Release();
    ASSERT_NE(button, nullptr);
    long x = 0, y = 0, w = 0, h = 0;
    ASSERT_EQ(button->accLocation(&x, &y, &w, &h, Child(CHILDID_SELF)), S_OK);
    RECT expected = next->GetPos();
    MapWindowPoints(g_window, HWND_DESKTOP, reinterpret_cast<POINT*>(&expected), 2);
    EXPECT_EQ(x, expected.left);
    EXPECT_EQ(y, expected.top);
    EXPECT_EQ(w, expected.right - expected.left);
    // Found again at its centre.
    VARIANT hit;
    ASSERT_EQ(acc->accHitTest(x + w / 2, y + h / 2, &hit), S_OK);
    ASSERT_EQ(hit.vt, VT_DISPATCH);
    IAccessible* found = nullptr;
    hit.pdispVal->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&found));
    hit.pdispVal->Release();
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(Name(found, CHILDID_SELF), L"确认");
    found->Release();

    // An action is posted and done on the window's own thread.
    window.notes.clear();
    ASSERT_EQ(button->accDoDefaultAction(Child(CHILDID_SELF)), S_OK);
    EXPECT_EQ(window.Count(L"click", L"btnNext"), 0) << "the action ran inside the screen reader's call";
    window.Pump();
    EXPECT_EQ(window.Count(L"click", L"btnNext"), 1);

    // The control goes: its object answers with an error, never a crash.
    row->Remove(next);
    window.Pump();
    EXPECT_NE(button->get_accName(Child(CHILDID_SELF), &value), S_OK);
    EXPECT_NE(button->accDoDefaultAction(Child(CHILDID_SELF)), S_OK);
    button->Release();
}

TEST_F(AccessibleFixture, EventsNameTheirObjectsByIdsThatResolveLater)
{
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, Record, GetCurrentProcessId(), 0,
                                         WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    g_heard.clear();
    window.manager.SetFocusTo(next);
    status->SetText(L"安装失败");
    window.manager.Accessible().Notify(EVENT_OBJECT_NAMECHANGE, status);
    hidden->SetVisible(true);
    window.manager.PaintNow();
    window.manager.Accessible().NotifyShown(hidden, true);
    window.Pump();
    UnhookWinEvent(hook);

    std::vector<DWORD> order;
    std::vector<std::wstring> names;
    for (const Heard& heard : g_heard) {
        if (heard.event != EVENT_OBJECT_FOCUS && heard.event != EVENT_OBJECT_NAMECHANGE &&
            heard.event != EVENT_OBJECT_SHOW) {
            continue;
        }
        if (heard.child == CHILDID_SELF) continue;  // the system's own, for the window
        EXPECT_LT(heard.child, 0) << "an event names its object by a negative id";
        order.push_back(heard.event);
        names.push_back(Name(acc, heard.child));
    }
    EXPECT_EQ(order, (std::vector<DWORD>{EVENT_OBJECT_FOCUS, EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_SHOW}));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"确认", L"安装失败", L"安装完成"}));
    // The focus, asked for: the same object.
    VARIANT focus;
    ASSERT_EQ(acc->get_accFocus(&focus), S_OK);
    ASSERT_EQ(focus.vt, VT_I4);
    EXPECT_EQ(Name(acc, focus.lVal), L"确认");
}

TEST_F(AccessibleFixture, ARootThatOutlivesItsWindowAnswersWithAnError)
{
    DestroyWindow(window.GetHWND());
    long count = -1;
    EXPECT_NE(acc->get_accChildCount(&count), S_OK);
    BSTR name = nullptr;
    EXPECT_NE(acc->get_accName(Child(1), &name), S_OK);
    VARIANT hit;
    EXPECT_NE(acc->accHitTest(0, 0, &hit), S_OK);
}
