// The shipped file itself: its resources and what it does on start.
#include <gtest/gtest.h>

#include <vector>

#include "app/InstallSettings.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {
std::wstring InstallExe() { return ExeDir() + L"\\..\\bin\\Install.exe"; }

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name)
{
    struct Translation {
        WORD language, codePage;
    }* translations = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &size) ||
        size < sizeof(Translation))
        return L"";
    wchar_t path[128];
    swprintf(path, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translations[0].language, translations[0].codePage, name);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(block.data(), path, reinterpret_cast<void**>(&value), &size)) return L"";
    return value;
}
}  // namespace

TEST(InstallExe, CarriesManifestIconAndVersion)
{
    HMODULE exe = LoadLibraryExW(InstallExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    HRSRC manifest = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    std::string text(static_cast<const char*>(LockResource(LoadResource(exe, manifest))), SizeofResource(exe, manifest));
    EXPECT_NE(text.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
    // Wine ignores both DPI entries, so only the file can show them: without
    // them Windows would stretch the scaled windows a second time.
    EXPECT_NE(text.find("SMI/2005/WindowsSettings\">true/pm</dpiAware>"), std::string::npos);
    EXPECT_NE(text.find("SMI/2016/WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(FindResourceW(exe, MAKEINTRESOURCEW(107), MAKEINTRESOURCEW(14)), nullptr);  // RT_GROUP_ICON
    FreeLibrary(exe);

    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(InstallExe().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(InstallExe().c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(VersionString(block, L"InternalName"), L"Install.exe");
    EXPECT_EQ(VersionString(block, L"FileVersion"), L"1.0.0.1");
}

TEST(InstallSettings, DefaultsAreTheCompiledInOnes)
{
    InstallSettings::boxName = L"leftover";
    InstallSettings::SetDefaults();
    EXPECT_EQ(InstallSettings::installDir, L"C:\\Program Files\\");
    EXPECT_EQ(InstallSettings::exeName, L"A.exe");
    EXPECT_EQ(InstallSettings::appName, L"A");
    EXPECT_EQ(InstallSettings::version, L"1.0.0.0");
    EXPECT_TRUE(InstallSettings::publisher.IsEmpty());
    EXPECT_TRUE(InstallSettings::boxName.IsEmpty());
}
