#include <gtest/gtest.h>

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

TEST(InstallDirectory, ErrorDescriptions)
{
    EXPECT_STREQ(DescribeCreateDirError(80), L"The directory exists.");
    EXPECT_STREQ(DescribeCreateDirError(183), L"The directory exists.");
    EXPECT_STREQ(DescribeCreateDirError(161), L"The pszPath parameter was set to a relative path");
    EXPECT_STREQ(DescribeCreateDirError(206), L"The path pointed to by pszPath is too long.");
    EXPECT_STREQ(DescribeCreateDirError(1223), L"The user canceled the operation.");
    EXPECT_STREQ(DescribeCreateDirError(267), L"The path names a file, not a folder.");
    EXPECT_STREQ(DescribeCreateDirError(0), L"");
    EXPECT_STREQ(DescribeCreateDirError(5), L"");
}
