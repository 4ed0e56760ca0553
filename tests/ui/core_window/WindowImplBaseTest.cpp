// The skinned window base: skin creation for each resource kind, the modal
// loop's result, Escape and Enter, the caption band's hit-test, the
// notification map chain, and the message box when a skin cannot be built.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "support/TestZip.h"
#include "ui/controls/ButtonUI.h"
#include "ui/core/ResourceSettings.h"
#include "ui/core/WindowImplBase.h"

using namespace SkinUI;

namespace {

const wchar_t kCaptionSkin[] =
    L"<Window size=\"300,200\" caption=\"0,0,0,50\" sizebox=\"4,4,4,4\">"
    L"<VerticalLayout><HorizontalLayout height=\"50\">"
    L"<Label name=\"title\"/><Button name=\"btn\" width=\"60\"/><Button name=\"closebtn\" width=\"30\"/>"
    L"</HorizontalLayout><Label name=\"body\" virtualwnd=\"sub\"/></VerticalLayout></Window>";

class SkinWindow : public WindowImplBase {
public:
    explicit SkinWindow(const wchar_t* source = kCaptionSkin, int kind = kSkinFiles) : m_source(source), m_kind(kind) {}
    ~SkinWindow() override
    {
        if (::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    }

    bool Create(bool visible)
    {
        DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | (visible ? WS_VISIBLE : 0);
        return CreateNativeWindow(nullptr, L"skin", style, 0, 100, 100, CW_USEDEFAULT, CW_USEDEFAULT) != nullptr;
    }

    CUIString SkinFolder() override { return CUIString(); }
    CUIString SkinSource() override { return m_source; }
    int SkinResourceKind() override { return m_kind; }
    CUIString ZipFileName() override { return m_zipFile; }
    const wchar_t* ZipResourceId() override { return MAKEINTRESOURCEW(950); }
    void OnInitialized() override { ++initialized; }

    CUIString m_zipFile;
    int initialized = 0;

protected:
    const wchar_t* GetWindowClassName() const override { return L"BoxTestSkinWindow"; }

private:
    CUIString m_source;
    int m_kind;
};

// A window whose own map takes clicks on "btn"; clicks elsewhere still reach
// the base's map.
class MappedWindow : public SkinWindow {
public:
    MappedWindow()
    {
        BeginNotifyMap();
        OnNotify(L"click", L"btn", [this](TUINotify&) { handled.push_back(L"btn"); });
        OnNotifyParams(L"menu", L"", [this](WPARAM wParam, LPARAM) { handled.push_back(L"menu " + std::to_wstring(wParam)); });
    }
    void OnClickNotify(TUINotify& notify) override
    {
        handled.push_back(L"base " + std::wstring(notify.sender->GetName().GetData()));
    }
    std::vector<std::wstring> handled;
};

struct SubPump : CNotifyPump {
    SubPump()
    {
        BeginNotifyMap();
        OnNotify(L"menu", L"", [this](TUINotify&) { ++menus; });
    }
    int menus = 0;
};

LPARAM ScreenPoint(HWND window, int x, int y)
{
    POINT point = {x, y};
    ::ClientToScreen(window, &point);
    return MAKELPARAM(point.x, point.y);
}

}  // namespace

TEST(WindowImplBase, SkinFromTextBuildsTheTreeAndTheFrame)
{
    SkinWindow window;
    ASSERT_TRUE(window.Create(false));
    EXPECT_EQ(window.initialized, 1);
    ASSERT_NE(window.GetManager().FindByName(L"btn"), nullptr);
    // The caption style is gone and the skin's size is the window's.
    EXPECT_EQ(::GetWindowLongPtrW(window.GetHWND(), GWL_STYLE) & WS_CAPTION, 0);
    RECT rect;
    ::GetWindowRect(window.GetHWND(), &rect);
    EXPECT_EQ(rect.right - rect.left, 300);
    EXPECT_EQ(rect.bottom - rect.top, 200);
    ::GetClientRect(window.GetHWND(), &rect);
    EXPECT_EQ(rect.right, 300);
    window.GetManager().GetRoot()->PlaceAt(rect, false);
    EXPECT_EQ(window.GetManager().FindByName(L"body")->GetPos().top, 50);
}

TEST(WindowImplBase, HitTestDragsOverLabelsInTheCaptionBandOnly)
{
    SkinWindow window;
    ASSERT_TRUE(window.Create(false));
    HWND hwnd = window.GetHWND();
    window.GetManager().GetRoot()->PlaceAt(RECT{0, 0, 300, 200}, false);
    auto hit = [&](int x, int y) { return ::SendMessageW(hwnd, WM_NCHITTEST, 0, ScreenPoint(hwnd, x, y)); };
    EXPECT_EQ(hit(100, 20), HTCAPTION);  // the label "title"
    EXPECT_EQ(hit(230, 20), HTCLIENT);   // the button "btn"
    EXPECT_EQ(hit(100, 100), HTCLIENT);  // below the band
    EXPECT_EQ(hit(1, 1), HTTOPLEFT);     // resize borders of 4 pixels
    EXPECT_EQ(hit(150, 1), HTTOP);
    EXPECT_EQ(hit(298, 198), HTBOTTOMRIGHT);
    EXPECT_EQ(hit(1, 100), HTLEFT);
    EXPECT_EQ(hit(296, 100), HTRIGHT);
}

TEST(WindowImplBase, DpiChangeLaysOutAgainAndTakesTheSuggestedRectangle)
{
    SkinWindow window;
    ASSERT_TRUE(window.Create(false));
    HWND hwnd = window.GetHWND();
    CUIManager& manager = window.GetManager();
    const int baseDpi = manager.GetDpi();
    const int baseFont = manager.GetDefaultFontInfo()->height;
    auto changeTo = [&](int dpi, RECT suggested) {
        ::SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        RECT client;
        ::GetClientRect(hwnd, &client);
        manager.GetRoot()->PlaceAt(client, false);
    };
    auto hit = [&](int x, int y) { return ::SendMessageW(hwnd, WM_NCHITTEST, 0, ScreenPoint(hwnd, x, y)); };

    // To 150 % on another monitor: the window takes the rectangle the
    // system suggests, and the layout, the caption band, the resize borders
    // and the fonts follow the new scale.
    changeTo(144, RECT{200, 150, 650, 450});
    RECT rect;
    ::GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.left, 200);
    EXPECT_EQ(rect.top, 150);
    EXPECT_EQ(rect.right - rect.left, 450);
    EXPECT_EQ(rect.bottom - rect.top, 300);
    EXPECT_EQ(manager.GetDpi(), 144);
    EXPECT_EQ(manager.FindByName(L"body")->GetPos().top, 75);
    EXPECT_EQ(manager.FindByName(L"btn")->GetWidth(), 90);
    EXPECT_EQ(hit(100, 60), HTCAPTION);  // inside the band only at 150 %
    EXPECT_EQ(hit(320, 30), HTCLIENT);   // the button, from 315 to 405
    EXPECT_EQ(hit(5, 100), HTLEFT);      // 6-pixel borders
    EXPECT_EQ(manager.GetDefaultFontInfo()->height, ::MulDiv(baseFont, 144, baseDpi));

    // And back: the 100 % layout, exactly.
    changeTo(96, RECT{200, 150, 500, 350});
    EXPECT_EQ(manager.GetDpi(), 96);
    EXPECT_EQ(manager.FindByName(L"body")->GetPos().top, 50);
    EXPECT_EQ(manager.FindByName(L"btn")->GetWidth(), 60);
    EXPECT_EQ(hit(100, 60), HTCLIENT);
    EXPECT_EQ(manager.GetDefaultFontInfo()->height, ::MulDiv(baseFont, 96, baseDpi));
}

TEST(WindowImplBase, EscapeClosesWithOneEnterDoesNothing)
{
    {
        SkinWindow window;
        ASSERT_TRUE(window.Create(true));
        ::PostMessageW(window.GetHWND(), WM_KEYDOWN, VK_RETURN, 0);
        ::PostMessageW(window.GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(window.ShowModalLoop(), 1u);
        EXPECT_EQ(window.GetHWND(), nullptr);
    }
    {
        // Enter alone leaves the window open; a posted close ends the loop
        // with its own result, no owner needed.
        SkinWindow window;
        ASSERT_TRUE(window.Create(true));
        ::PostMessageW(window.GetHWND(), WM_KEYDOWN, VK_RETURN, 0);
        window.CloseWithResult(5);
        EXPECT_EQ(window.ShowModalLoop(), 5u);
    }
}

TEST(WindowImplBase, ModalLoopHandsOnQuitAndFreesTheOwner)
{
    SkinWindow owner;
    ASSERT_TRUE(owner.Create(false));
    // On a private message, from inside the modal loop: note whether the
    // owner is disabled, then click the close button.
    struct Owned : SkinWindow {
        bool CreateOwned(HWND parent)
        {
            return CreateNativeWindow(parent, L"owned", WS_POPUP | WS_VISIBLE, 0, 0, 0, 10, 10) != nullptr;
        }
        LRESULT HandleOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override
        {
            if (message != WM_APP + 5) return SkinWindow::HandleOtherMessage(message, wParam, lParam, handled);
            ownerDisabled = !::IsWindowEnabled(::GetWindow(m_hWnd, GW_OWNER));
            GetManager().FindByName(L"closebtn")->Trigger();
            return 0;
        }
        bool ownerDisabled = false;
    } owned;
    ASSERT_TRUE(owned.CreateOwned(owner.GetHWND()));
    ::PostQuitMessage(3);
    EXPECT_EQ(owned.ShowModalLoop(), 0u);
    EXPECT_TRUE(::IsWindow(owned.GetHWND()));
    EXPECT_TRUE(::IsWindowEnabled(owner.GetHWND()));
    MSG message;
    ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 3u);

    ::PostMessageW(owned.GetHWND(), WM_APP + 5, 0, 0);
    EXPECT_EQ(owned.ShowModalLoop(), 1u);
    EXPECT_TRUE(owned.ownerDisabled);
    EXPECT_FALSE(::IsWindow(owned.GetHWND()));
    EXPECT_TRUE(::IsWindowEnabled(owner.GetHWND()));
}

TEST(WindowImplBase, SystemCloseSendsClose)
{
    SkinWindow window;
    ASSERT_TRUE(window.Create(true));
    ::PostMessageW(window.GetHWND(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(window.ShowModalLoop(), 0u);
    EXPECT_FALSE(::IsWindow(window.GetHWND()));
}

TEST(WindowImplBase, NotificationMapChainAndVirtualWindows)
{
    MappedWindow window;
    ASSERT_TRUE(window.Create(false));
    CUIManager& manager = window.GetManager();
    manager.FindByName(L"btn")->Trigger();
    manager.FindByName(L"closebtn")->Trigger();
    manager.EmitNotify(manager.FindByName(L"title"), L"menu", 4, 0);
    std::vector<std::wstring> expected = {L"btn", L"base closebtn", L"menu 4"};
    EXPECT_EQ(window.handled, expected);

    SubPump sub;
    window.AddVirtualWnd(L"SUB", &sub);
    manager.SetRouteByVirtualWnd(true);
    manager.EmitNotify(manager.FindByName(L"body"), L"menu", 1, 0);   // the sub-pump's
    manager.EmitNotify(manager.FindByName(L"title"), L"menu", 2, 0);  // the window's
    EXPECT_EQ(sub.menus, 1);
    EXPECT_EQ(window.handled.back(), L"menu 2");
    window.RemoveVirtualWnd(L"sub");
    manager.EmitNotify(manager.FindByName(L"body"), L"menu", 3, 0);
    EXPECT_EQ(sub.menus, 1);
    EXPECT_EQ(window.handled.back(), L"menu 3");
}

TEST(WindowImplBase, SkinsFromResourcesAndZips)
{
    CUIString oldPath = CResourceSettings::GetResourcePath();
    {
        SkinWindow window(L"901", kSkinXmlResource);
        ASSERT_TRUE(window.Create(false));
        ASSERT_NE(window.GetManager().FindByName(L"title"), nullptr);
        EXPECT_EQ(window.GetManager().FindByName(L"title")->GetText(), L"资源里的皮肤");
    }
    {
        testing_support::TempDir dir(L"skinzip");
        testing_support::TestZip zip;
        zip.Add("Skins/Zipped.xml", "<Window><VerticalLayout name=\"zipped\"/></Window>");
        std::string bytes = zip.Bytes();
        FILE* file = _wfopen((dir / L"skin.zip").c_str(), L"wb");
        ASSERT_NE(file, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
        CResourceSettings::SetResourcePath(dir.Path().c_str());
        SkinWindow window(L"skins/zipped.xml", kSkinZipFile);  // entries match without case
        window.m_zipFile = L"skin.zip";
        ASSERT_TRUE(window.Create(false));
        EXPECT_NE(window.GetManager().FindByName(L"zipped"), nullptr);
        CResourceSettings::CloseResourceZip();
    }
    {
        SkinWindow window(L"zipped.xml", kSkinZipResource);
        ASSERT_TRUE(window.Create(false));
        EXPECT_NE(window.GetManager().FindByName(L"fromZip"), nullptr);
        EXPECT_EQ(CResourceSettings::GetResourceZip(), L"membuffer");
        CResourceSettings::CloseResourceZip();
    }
    CResourceSettings::SetResourcePath(oldPath);
}

TEST(WindowImplBase, SkinThatCannotBeBuiltEndsTheProcessWithOne)
{
    std::wstring helper = testing_support::ExeDir() + L"\\ui_skin_failure_helper.exe";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring command = L"\"" + helper + L"\"";
    ASSERT_TRUE(::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));

    HWND box = nullptr;
    for (int i = 0; i < 200 && box == nullptr; ++i) {
        box = ::FindWindowW(nullptr, L"SkinUI");
        if (box == nullptr) ::Sleep(50);
    }
    ASSERT_NE(box, nullptr) << "no message box";
    wchar_t text[64] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 64);  // the message box's static text
    EXPECT_STREQ(text, L"加载资源文件失败");
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(::WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 1u);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

TEST(WindowImplBase, FrameRulesFromTheSkin)
{
    SkinWindow window(L"<Window size=\"300,200\" roundcorner=\"12,12\" mininfo=\"200,150\" maxinfo=\"800,600\">"
                      L"<HorizontalLayout><Button name=\"maxbtn\"/><Button name=\"restorebtn\" visible=\"false\"/>"
                      L"</HorizontalLayout></Window>");
    ASSERT_TRUE(window.Create(true));
    HWND hwnd = window.GetHWND();
    // WM_SIZE gave the window its rounded region.
    CRegionHandle region(::CreateRectRgn(0, 0, 0, 0));
    EXPECT_NE(::GetWindowRgn(hwnd, region), ERROR);
    EXPECT_FALSE(::PtInRegion(region, 0, 0));
    EXPECT_TRUE(::PtInRegion(region, 150, 100));

    MINMAXINFO info = {};
    ::SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 200);
    EXPECT_EQ(info.ptMinTrackSize.y, 150);
    EXPECT_EQ(info.ptMaxTrackSize.x, 800);
    EXPECT_EQ(info.ptMaxTrackSize.y, 600);

    // Maximising swaps the maximise and restore buttons.
    CControlUI* maxButton = window.GetManager().FindByName(L"maxbtn");
    CControlUI* restoreButton = window.GetManager().FindByName(L"restorebtn");
    maxButton->Trigger();
    ASSERT_TRUE(::IsZoomed(hwnd));
    EXPECT_FALSE(maxButton->IsVisible());
    EXPECT_TRUE(restoreButton->IsVisible());
    restoreButton->Trigger();
    EXPECT_FALSE(::IsZoomed(hwnd));
    EXPECT_TRUE(maxButton->IsVisible());
    EXPECT_FALSE(restoreButton->IsVisible());
}

TEST(WindowWnd, CentringIconsAndSuperclasses)
{
    SkinWindow window;
    ASSERT_TRUE(window.Create(false));
    window.CenterNativeWindow();
    RECT rect, work;
    ::GetWindowRect(window.GetHWND(), &rect);
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((rect.left + rect.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR((rect.top + rect.bottom) / 2, (work.top + work.bottom) / 2, 1);

    window.SetWindowIcon(107);
    EXPECT_NE(::SendMessageW(window.GetHWND(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(::SendMessageW(window.GetHWND(), WM_GETICON, ICON_SMALL, 0), 0);

    // A window class copied from the system's EDIT: the object is found
    // through the window property, and the edit's own procedure still runs.
    struct SuperEdit : CWindowWnd {
        const wchar_t* GetWindowClassName() const override { return L"BoxTestSuperEdit"; }
        const wchar_t* GetSuperClassName() const override { return L"EDIT"; }
        LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
        {
            if (message == WM_SETTEXT) ++texts;
            return CWindowWnd::HandleMessage(message, wParam, lParam);
        }
        void OnFinalMessage(HWND) override { finalSeen = true; }
        int texts = 0;
        bool finalSeen = false;
    } edit;
    HWND hwnd = edit.CreateNativeWindow(nullptr, L"start", WS_POPUP, 0, 0, 0, 100, 20);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(::GetPropW(hwnd, CWindowWnd::kObjectProperty), static_cast<void*>(&edit));
    ::SetWindowTextW(hwnd, L"typed");
    wchar_t text[16] = {};
    ::GetWindowTextW(hwnd, text, 16);
    EXPECT_STREQ(text, L"typed");
    EXPECT_GE(edit.texts, 1);
    ::DestroyWindow(hwnd);
    EXPECT_TRUE(edit.finalSeen);
    EXPECT_EQ(edit.GetHWND(), nullptr);
}
