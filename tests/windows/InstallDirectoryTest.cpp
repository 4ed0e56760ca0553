#include <gtest/gtest.h>

#include "windows/InstallDirectory.h"

TEST(InstallDirectory, AppendsTheApplicationNameUnlessContained)
{
    EXPECT_EQ(ComposeInstallDir(L"D:\\Apps", L"Box"), L"D:\\Apps\\Box\\");
    EXPECT_EQ(ComposeInstallDir(L"D:\\Apps\\", L"Box"), L"D:\\Apps\\Box\\");
    EXPECT_EQ(ComposeInstallDir(L"C:\\Program Files\\Box\\", L"Box"), L"C:\\Program Files\\Box\\");
    // Contained anywhere, even as part of another name: nothing is added.
    EXPECT_EQ(ComposeInstallDir(L"D:\\MyBoxes", L"Box"), L"D:\\MyBoxes\\");
    // Case counts.
    EXPECT_EQ(ComposeInstallDir(L"D:\\box", L"Box"), L"D:\\box\\Box\\");
    EXPECT_EQ(ComposeInstallDir(L"D:\\", L"我的盒子"), L"D:\\我的盒子\\");
    // A bare word stays relative: the shell refuses it later.
    EXPECT_EQ(ComposeInstallDir(L"word", L"Box"), L"word\\Box\\");
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
    EXPECT_STREQ(DescribeCreateDirError(0), L"");
    EXPECT_STREQ(DescribeCreateDirError(5), L"");
}
