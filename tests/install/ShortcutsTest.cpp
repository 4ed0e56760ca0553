// Shortcuts read back through the shell link object. The tests run with a
// home folder of the build's own (tools/wine-env.sh), so the desktop and
// Start menu written here are the test prefix's.

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <string>

#include "app/InstallSettings.h"
#include "install/Shortcuts.h"
#include "support/TestSupport.h"

using Microsoft::WRL::ComPtr;
using namespace testing_support;

namespace {

std::wstring Folder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

struct Link {
    bool found = false;
    std::wstring target, workingDir;
    int showCommand = 0;
};

Link ReadLink(const std::wstring& file)
{
    Link link;
    ComPtr<IShellLinkW> shellLink;
    ComPtr<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&shellLink))) ||
        FAILED(shellLink.As(&persist)) || FAILED(persist->Load(file.c_str(), STGM_READ)))
        return link;
    wchar_t text[MAX_PATH] = {};
    shellLink->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    link.target = text;
    text[0] = L'\0';
    shellLink->GetWorkingDirectory(text, MAX_PATH);
    link.workingDir = text;
    shellLink->GetShowCmd(&link.showCommand);
    link.found = true;
    return link;
}

struct ShortcutTest : ::testing::Test {
    TempDir installDir{L"box-links"};
    std::wstring name = L"BoxLinks" + std::to_wstring(GetCurrentProcessId());
    std::wstring desktop = Folder(CSIDL_DESKTOPDIRECTORY);
    std::wstring group = Folder(CSIDL_PROGRAMS) + L"\\" + name;
    std::wstring quickLaunch = Folder(CSIDL_APPDATA) + L"\\Microsoft\\Internet Explorer\\Quick Launch";
    MessageCollector window;

    void SetUp() override
    {
        CoInitialize(nullptr);
        InstallSettings::SetDefaults();
        InstallSettings::installDir = installDir.Slash().c_str();
        InstallSettings::appName = name.c_str();
        InstallSettings::boxName = name.c_str();
        InstallSettings::exeName = (name + L".exe").c_str();
        // A new prefix has no Quick Launch folder; another test may have left one.
        RemoveTree(quickLaunch);
    }
    void TearDown() override
    {
        DeleteFileW((desktop + L"\\" + name + L".lnk").c_str());
        DeleteFileW((desktop + L"\\My.lnk").c_str());
        RemoveTree(group);
        RemoveTree(Folder(CSIDL_APPDATA) + L"\\Microsoft\\Internet Explorer");
        CoUninitialize();
    }

    void ExpectLink(const std::wstring& file, const std::wstring& target)
    {
        Link link = ReadLink(file);
        ASSERT_TRUE(link.found) << Narrow(file);
        EXPECT_EQ(link.target, target);
        EXPECT_EQ(link.workingDir, installDir.Slash());
        EXPECT_EQ(link.showCommand, SW_SHOWNORMAL);
    }
};

}  // namespace

TEST_F(ShortcutTest, DesktopGroupUninstallerAndQuickLaunchWhenPresent)
{
    std::wstring program = installDir.Slash() + name + L".exe";
    ASSERT_FALSE(FileExists(group));
    CreateShortCut(window.Handle());

    ExpectLink(desktop + L"\\" + name + L".lnk", program);
    ExpectLink(group + L"\\" + name + L".lnk", program);
    // Made although the package brought no uninstaller.
    ExpectLink(group + L"\\卸载.lnk", installDir.Slash() + L"Uninstall.exe");
    EXPECT_EQ(ListFiles(group).size(), 2u);
    EXPECT_FALSE(FileExists(quickLaunch));  // not made where the system has none

    // A second installation, elsewhere, overwrites the same files; with a
    // Quick Launch folder present, that shortcut comes too.
    ASSERT_EQ(SHCreateDirectoryExW(nullptr, quickLaunch.c_str(), nullptr), ERROR_SUCCESS);
    TempDir otherDir(L"box-links-2");
    InstallSettings::installDir = otherDir.Slash().c_str();
    CreateShortCut(window.Handle());
    Link again = ReadLink(desktop + L"\\" + name + L".lnk");
    EXPECT_EQ(again.target, otherDir.Slash() + name + L".exe");
    EXPECT_EQ(again.workingDir, otherDir.Slash());
    EXPECT_EQ(ReadLink(group + L"\\卸载.lnk").target, otherDir.Slash() + L"Uninstall.exe");
    EXPECT_EQ(ReadLink(quickLaunch + L"\\" + name + L".lnk").target, otherDir.Slash() + name + L".exe");
    EXPECT_EQ(ListFiles(group).size(), 2u);
}

TEST_F(ShortcutTest, FileNamesFollowTheExtensionRule)
{
    // A box named with a dot loses what looks like an extension.
    InstallSettings::boxName = L"My.Box";
    CreateShortCut(window.Handle());
    EXPECT_TRUE(FileExists(desktop + L"\\My.lnk"));
    EXPECT_TRUE(FileExists(group + L"\\My.lnk"));

    // Without a name the target's file name is used, extension replaced.
    EXPECT_TRUE(CreateLink(L"C:\\x\\Tool.exe", group.c_str(), nullptr, nullptr));
    Link tool = ReadLink(group + L"\\Tool.lnk");
    EXPECT_TRUE(tool.found);
    EXPECT_EQ(tool.workingDir, L"");

    EXPECT_FALSE(CreateLink(L"C:\\x\\Tool.exe", nullptr, L"n", nullptr));
    // A path that does not fit is left out, not cut or overrun.
    std::wstring longName(300, L'n');
    EXPECT_FALSE(CreateLink(L"C:\\x\\Tool.exe", group.c_str(), longName.c_str(), nullptr));
    EXPECT_FALSE(CreateLink(L"C:\\x\\Tool.exe", (group + L"\\missing folder").c_str(), L"n", nullptr));
}
