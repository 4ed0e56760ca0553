#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/TestSupport.h"
#include "windows/InstallDirectory.h"

TEST(InstallDirectory, AppendsTheNameUnlessTheFolderIsAlreadyTheApplications)
{
    EXPECT_EQ(ComposeInstallDir(L"D:\\Apps", L"Box"), L"D:\\Apps\\Box\\");
    EXPECT_EQ(ComposeInstallDir(L"D:\\Apps\\", L"Box"), L"D:\\Apps\\Box\\");
    EXPECT_EQ(ComposeInstallDir(L"C:\\Program Files\\Box\\", L"Box"), L"C:\\Program Files\\Box\\");
    EXPECT_EQ(ComposeInstallDir(L"C:\\Program Files\\Box", L"Box"), L"C:\\Program Files\\Box\\");
    // The folder is the application's whatever the case, as Windows sees it.
    EXPECT_EQ(ComposeInstallDir(L"D:\\box", L"Box"), L"D:\\box\\");
    // The name elsewhere in the path says nothing.
    EXPECT_EQ(ComposeInstallDir(L"D:\\MyBoxes", L"Box"), L"D:\\MyBoxes\\Box\\");
    EXPECT_EQ(ComposeInstallDir(L"D:\\Box\\Data", L"Box"), L"D:\\Box\\Data\\Box\\");
    EXPECT_EQ(ComposeInstallDir(L"D:\\", L"我的盒子"), L"D:\\我的盒子\\");
    EXPECT_EQ(ComposeInstallDir(L"D:\\我的盒子", L"我的盒子"), L"D:\\我的盒子\\");
    // A bare word stays relative: the shell refuses it later.
    EXPECT_EQ(ComposeInstallDir(L"word", L"Box"), L"word\\Box\\");
}

TEST(InstallDirectory, ARootNeverBecomesTheInstallationFolder)
{
    // A box named D, and the drive D:\ picked: the name is in the path, but
    // the drive root is not the application's folder.
    EXPECT_EQ(ComposeInstallDir(L"D:\\", L"D"), L"D:\\D\\");
    EXPECT_EQ(ComposeInstallDir(L"C:\\", L"C"), L"C:\\C\\");
    EXPECT_EQ(ComposeInstallDir(L"\\\\server\\Box", L"Box"), L"\\\\server\\Box\\Box\\");
}

TEST(InstallDirectory, APathTooLongForTheShellIsRefusedNotCut)
{
    std::wstring deep = L"D:\\" + std::wstring(255, L'a');
    EXPECT_EQ(ComposeInstallDir(deep, L"Box"), L"");
    EXPECT_EQ(ComposeInstallDir(std::wstring(400, L'b'), L"Box"), L"");
}

TEST(InstallDirectory, EveryCauseIsToldInChinese)
{
    // What the shell and the checks give, and codes nobody foresaw: never an
    // empty reason, never the API's English.
    for (int code : {80, 183, 161, 206, 1223, 267, 2, 3, 5, 19, 123, 15, 21, 53, 112, 39, 87, 1117}) {
        const std::wstring text = DescribeCreateDirError(code);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_TRUE(std::none_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'a' && c <= L'z'; }))
            << code;
    }
    EXPECT_NE(DescribeCreateDirError(1117).find(L"1117"), std::wstring::npos);
}

namespace {

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TEST(InstallDirectory, MakingTheFolderCreatesEveryLevelOrKeepsWhatStands)
{
    testing_support::TempDir parent;
    std::wstring dir;
    // Every missing level, the name appended as on the directory page.
    EXPECT_EQ(MakeInstallDir(parent / L"Apps\\2024", L"Box", &dir), 0);
    EXPECT_EQ(dir, parent / L"Apps\\2024\\Box\\");
    EXPECT_TRUE(IsFolder(parent / L"Apps\\2024\\Box"));
    // Again: the folder stands and is taken as it is.
    EXPECT_EQ(MakeInstallDir(parent / L"Apps\\2024\\Box\\", L"Box", &dir), 0);
    EXPECT_EQ(dir, parent / L"Apps\\2024\\Box\\");
    EXPECT_EQ(MakeInstallDir(parent / L"我的应用", L"我的盒子", &dir), 0);
    EXPECT_TRUE(IsFolder(parent / L"我的应用\\我的盒子"));
}

TEST(InstallDirectory, MakingTheFolderRefusesWhatCouldNotHoldTheInstallation)
{
    testing_support::TempDir parent;
    std::wstring dir;
    // A file where the folder would be, or on the way to it.
    HANDLE file = CreateFileW((parent / L"Box").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(MakeInstallDir(parent.Path(), L"Box", &dir), ERROR_DIRECTORY);
    EXPECT_EQ(MakeInstallDir(parent / L"Box\\sub", L"Box", &dir), ERROR_DIRECTORY);
    EXPECT_FALSE(IsFolder(parent / L"Box\\sub"));

    // A folder that stands but takes no file (the kernel's own, through
    // Wine's Z: drive; no user, root included, makes files there) is refused
    // before anything is downloaded into it, and the probe leaves nothing.
    EXPECT_NE(MakeInstallDir(L"Z:\\proc\\self", L"fd", &dir), 0);
    EXPECT_EQ(dir, L"Z:\\proc\\self\\fd\\");
    EXPECT_EQ(MakeInstallDir(parent.Path(), L"Writable", &dir), 0);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((parent / L"Writable\\*.tmp").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "the write probe stayed behind";
    if (search != INVALID_HANDLE_VALUE) FindClose(search);

    // Too long: never cut to another folder.
    EXPECT_EQ(MakeInstallDir(parent / std::wstring(250, L'a'), L"Box", &dir), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_TRUE(dir.empty());

    // Relative, even where such a folder stands beside the current one: the
    // installation, its shortcuts and its uninstall entry need a whole path.
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(parent.Path().c_str()));
    ASSERT_TRUE(CreateDirectoryW((parent / L"word").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((parent / L"word\\Box").c_str(), nullptr));
    const int relative = MakeInstallDir(L"word", L"Box", &dir);
    const int missing = MakeInstallDir(L"other", L"Box", &dir);
    // Relative to the drive's current folder, or to the current drive.
    const std::wstring drive = parent.Path().substr(0, 2);
    const int driveRelative = MakeInstallDir(drive + L"other", L"Box", &dir);
    const int rootRelative = MakeInstallDir(parent.Path().substr(2) + L"\\other", L"Box", &dir);
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(relative, ERROR_BAD_PATHNAME);
    EXPECT_EQ(missing, ERROR_BAD_PATHNAME);
    EXPECT_EQ(driveRelative, ERROR_BAD_PATHNAME);
    EXPECT_EQ(rootRelative, ERROR_BAD_PATHNAME);
    EXPECT_FALSE(IsFolder(parent / L"other"));
}

TEST(InstallDirectory, ThePickerStartsAtTheNearestFolderThatStands)
{
    testing_support::TempDir parent;
    ASSERT_TRUE(CreateDirectoryW((parent / L"Apps").c_str(), nullptr));
    HANDLE file = CreateFileW((parent / L"file").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    const std::wstring apps = parent / L"Apps\\";
    EXPECT_EQ(NearestExistingFolder(parent / L"Apps\\Box\\"), apps);
    EXPECT_EQ(NearestExistingFolder(parent / L"Apps\\not\\yet\\Box"), apps);
    EXPECT_EQ(NearestExistingFolder(parent / L"Apps"), apps);
    EXPECT_EQ(NearestExistingFolder(parent / L"file\\Box\\"), parent / L"");
    EXPECT_EQ(NearestExistingFolder(L"Apps\\Box\\"), L"");
    EXPECT_EQ(NearestExistingFolder(L""), L"");
}
