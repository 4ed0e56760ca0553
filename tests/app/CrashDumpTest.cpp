#include <gtest/gtest.h>

#include <regex>

#include "app/CrashDump.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

std::wstring OnlyDump(const TempDir& dir)
{
    auto files = ListFiles(dir.Path());
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? std::wstring() : files[0];
}

void ExpectDumpName(const std::wstring& name)
{
    EXPECT_TRUE(std::regex_match(Narrow(name), std::regex(R"(Install_20\d{6}-\d{6}\.dmp)"))) << Narrow(name);
}

}  // namespace

TEST(CrashDump, ACrashWritesATimestampedDumpInTheCurrentDirectory)
{
    TempDir dir;
    long code = RunProcess(L"\"" + ExeDir() + L"\\crash_helper.exe\" crash", dir.Path());
    // The filter's verdict ends the process with the exception's code, not 7.
    EXPECT_EQ(static_cast<DWORD>(code), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    std::wstring name = OnlyDump(dir);
    ExpectDumpName(name);
    std::string bytes = ReadFileBytes(dir / name);
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), "MDMP");
}

TEST(CrashDump, ADumpWithoutExceptionPointersIsStillWritten)
{
    TempDir dir;
    EXPECT_EQ(RunProcess(L"\"" + ExeDir() + L"\\crash_helper.exe\" null", dir.Path()), 0);
    std::wstring name = OnlyDump(dir);
    ExpectDumpName(name);
    EXPECT_EQ(ReadFileBytes(dir / name).substr(0, 4), "MDMP");
}

TEST(CrashDump, AnUncaughtCppExceptionWritesADumpAndFails)
{
    TempDir dir;
    long code = RunProcess(L"\"" + ExeDir() + L"\\crash_helper.exe\" throw", dir.Path());
    EXPECT_NE(code, 0);
    std::wstring name = OnlyDump(dir);
    ExpectDumpName(name);
    EXPECT_EQ(ReadFileBytes(dir / name).substr(0, 4), "MDMP");
}

TEST(CrashDump, AFileThatCannotBeCreatedOnlyMeansNoDump)
{
    TempDir dir;
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(dir.Path().c_str());
    // Folders under every name the dump could take in the next seconds:
    // CreateFileW cannot replace a folder.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    for (int s = 0; s < 10; ++s) {
        ULARGE_INTEGER u;
        u.QuadPart = t.QuadPart + static_cast<ULONGLONG>(s) * 10000000ull;
        FILETIME utc{u.LowPart, u.HighPart}, local;
        SYSTEMTIME st;
        FileTimeToLocalFileTime(&utc, &local);
        FileTimeToSystemTime(&local, &st);
        wchar_t name[64];
        swprintf(name, 64, L"Install_%04d%02d%02d-%02d%02d%02d.dmp", st.wYear, st.wMonth, st.wDay, st.wHour,
                 st.wMinute, st.wSecond);
        CreateDirectoryW(name, nullptr);
    }
    EXPECT_EQ(WriteCrashDump(nullptr), EXCEPTION_EXECUTE_HANDLER);
    SetCurrentDirectoryW(previous);
    for (const auto& name : ListFiles(dir.Path())) {
        DWORD attributes = GetFileAttributesW((dir / name).c_str());
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY) << Narrow(name);
    }
}
