#include <gtest/gtest.h>

#include "app/InstallSettings.h"
#include "services/MyLog.h"
#include "support/TestSupport.h"
#include "install/NameFile.h"

using namespace testing_support;

TEST(NameFile, HoldsTheNameInCodePage936AndNothingElseWhateverTheSystemsCodePage)
{
    // A Chinese folder: the path stays wide on any system code page.
    TempDir parent;
    std::wstring folder = parent / L"我的盒子";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    struct Cleanup {
        std::wstring path;
        ~Cleanup() { RemoveTree(path); }
    } cleanup{folder};
    InstallSettings::installDir = (folder + L"\\").c_str();
    InstallSettings::boxName = L"Box";
    SaveNameFile();
    EXPECT_EQ(ReadFileBytes(folder + L"\\cvnname.dat"), "Box");

    InstallSettings::boxName = L"我的 盒子";
    SaveNameFile();  // truncates the earlier content
    EXPECT_EQ(ReadFileBytes(folder + L"\\cvnname.dat"), "\xCE\xD2\xB5\xC4 \xBA\xD0\xD7\xD3");

    // Without an equivalent in the code page: the replacement character.
    InstallSettings::boxName = L"Box\u0E01";  // Thai: nothing close in 936
    SaveNameFile();
    EXPECT_EQ(ReadFileBytes(folder + L"\\cvnname.dat"), "Box?");
}

TEST(NameFile, AFolderThatDoesNotExistIsLoggedNotFatal)
{
    TempDir dir;
    ASSERT_TRUE(MyLog::Init(dir.Path().c_str()));
    InstallSettings::installDir = (dir / L"missing\\").c_str();
    InstallSettings::boxName = L"Box";
    SaveNameFile();
    MyLog::GetLogger()->flush();
    std::string log = ReadFileBytes(dir / L"logs\\InstallRotating.txt");
    // "cvnname.dat失败,GetLastError = 3" in code page 936.
    EXPECT_NE(log.find("] cvnname.dat\xCA\xA7\xB0\xDC,GetLastError = 3\r\n"), std::string::npos) << log;
    MyLog::Shutdown();
}
