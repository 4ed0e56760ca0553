#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "services/MyLog.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

std::wstring LogFile(const TempDir& dir, const wchar_t* name = L"InstallRotating.txt")
{
    return dir / (std::wstring(L"logs\\") + name);
}

struct LogTest : ::testing::Test {
    void TearDown() override { MyLog::Shutdown(); }
};

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + what.size())) ++n;
    return n;
}

}  // namespace

TEST_F(LogTest, LinesHaveTheInstallersFormatAndChineseIsCodePage936)
{
    // Chinese texts of the log are code page 936 on any system.
    TempDir dir;
    std::wstring installDir = dir / L"not\\yet\\there";  // Init makes every missing folder
    ASSERT_TRUE(MyLog::Init(installDir.c_str()));
    MyLog::GetLogger()->debug("downloading");
    MyLog::GetLogger()->info("range{}", "0-");
    MyLog::GetLogger()->info(fmt::runtime(Text936("解压失败,安装中止")));
    MyLog::GetLogger()->info(fmt::runtime(Text936("打开文件”{}“失败")), "C:\\x\\temp.zip");
    MyLog::GetLogger()->error("url:{}-----res:{}", "http://h/p?q", "<html>");
    MyLog::GetLogger()->flush();

    std::string bytes = ReadFileBytes(installDir + L"\\logs\\InstallRotating.txt");
    const std::regex line(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] \[([DIE])\] \[thread \d+\] (.*)\r)");
    std::vector<std::pair<std::string, std::string>> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
        std::smatch m;
        std::string one = bytes.substr(start, end - start);
        ASSERT_TRUE(std::regex_match(one, m, line)) << one;
        lines.emplace_back(m[1], m[2]);
    }
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], std::make_pair(std::string("D"), std::string("downloading")));
    EXPECT_EQ(lines[1].second, "range0-");
    // 解压失败,安装中止 in GBK, not UTF-8.
    EXPECT_EQ(lines[2].second, "\xBD\xE2\xD1\xB9\xCA\xA7\xB0\xDC,\xB0\xB2\xD7\xB0\xD6\xD0\xD6\xB9");
    // The closing quotation mark comes first, the opening one last.
    EXPECT_EQ(lines[3].second, "\xB4\xF2\xBF\xAA\xCE\xC4\xBC\xFE\xA1\xB1" "C:\\x\\temp.zip" "\xA1\xB0\xCA\xA7\xB0\xDC");
    EXPECT_EQ(lines[4], std::make_pair(std::string("E"), std::string("url:http://h/p?q-----res:<html>")));
}

TEST_F(LogTest, AChineseFolderIsTheLogsFolderOnAnySystemCodePage)
{
    // The path goes to the file functions wide: no code page in between.
    TempDir dir;
    std::wstring installDir = dir / L"我的盒子 Ω";  // Ω: outside code page 936 too
    ASSERT_TRUE(MyLog::Init(installDir.c_str()));
    MyLog::GetLogger()->error("in the Chinese folder");
    MyLog::GetLogger()->flush();
    std::string text = ReadFileBytes(installDir + L"\\logs\\InstallRotating.txt");
    EXPECT_NE(text.find("] in the Chinese folder\r\n"), std::string::npos) << text;
    MyLog::Shutdown();
    RemoveTree(installDir);
}

TEST_F(LogTest, AFlushedErrorLineIsOnDiskAtOnce)
{
    TempDir dir;
    ASSERT_TRUE(MyLog::Init(dir.Path().c_str()));
    MyLog::GetLogger()->info("buffered");
    auto logger = MyLog::GetLogger();
    logger->error("url:{}-----res:{}", "u", "r");
    logger->flush();
    std::string bytes = ReadFileBytes(LogFile(dir));
    EXPECT_NE(bytes.find("[E] "), std::string::npos);
    EXPECT_NE(bytes.find("url:u-----res:r\r\n"), std::string::npos);
}

TEST_F(LogTest, TwoProcessesAppendToOneFile)
{
    TempDir dir;
    std::wstring writer = L"\"" + ExeDir() + L"\\log_writer.exe\" \"" + dir.Path() + L"\" ";
    ASSERT_EQ(RunProcess(writer + L"2 first-run", dir.Path()), 0);
    ASSERT_EQ(RunProcess(writer + L"3 second-run", dir.Path()), 0);
    std::string bytes = ReadFileBytes(LogFile(dir));
    EXPECT_EQ(Count(bytes, "first-run\r\n"), 2u);
    EXPECT_EQ(Count(bytes, "second-run\r\n"), 3u);
    EXPECT_LT(bytes.find("first-run"), bytes.find("second-run"));
    EXPECT_FALSE(FileExists(LogFile(dir, L"InstallRotating.1.txt")));
}

TEST_F(LogTest, RotatesAtTenMebibytesKeepingThreeOldFiles)
{
    TempDir dir;
    ASSERT_TRUE(MyLog::Init(dir.Path().c_str()));
    auto logger = MyLog::GetLogger();
    const std::string payload(1000, 'x');
    // About 1,050 bytes a line: 45,000 lines are 4.5 files' worth.
    for (int i = 0; i < 45000; ++i) logger->info("{} {}", i, payload);
    logger->flush();

    for (const wchar_t* name : {L"InstallRotating.txt", L"InstallRotating.1.txt", L"InstallRotating.2.txt",
                                L"InstallRotating.3.txt"}) {
        std::string bytes = ReadFileBytes(LogFile(dir, name));
        EXPECT_FALSE(bytes.empty()) << Narrow(name);
        EXPECT_LE(bytes.size(), MyLog::kMaxFileSize) << Narrow(name);
    }
    EXPECT_FALSE(FileExists(LogFile(dir, L"InstallRotating.4.txt")));
    EXPECT_GT(ReadFileBytes(LogFile(dir, L"InstallRotating.1.txt")).size(), MyLog::kMaxFileSize - 2000);
    // The newest lines are in the current file.
    EXPECT_NE(ReadFileBytes(LogFile(dir)).find("] 44999 x"), std::string::npos);
}

TEST_F(LogTest, AFileThatCannotBeOpenedLeavesTheInstallerWithoutALog)
{
    TempDir dir;
    // A plain file where the logs folder should be.
    HANDLE blocker = CreateFileW((dir / L"logs").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(blocker, INVALID_HANDLE_VALUE);
    CloseHandle(blocker);
    EXPECT_FALSE(MyLog::Init(dir.Path().c_str()));
    ASSERT_NE(MyLog::GetLogger(), nullptr);
    MyLog::GetLogger()->info("goes nowhere");
    MyLog::GetLogger()->flush();
}

TEST_F(LogTest, LoggingBeforeInitIsHarmless)
{
    ASSERT_NE(MyLog::GetLogger(), nullptr);
    MyLog::GetLogger()->debug("nowhere {}", 1);
}
