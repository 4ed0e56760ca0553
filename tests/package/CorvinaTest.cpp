// Corvina.exe, the program the installer starts on Finish: it must leave its
// marker where it lives, saying how and where it was started, and end by
// itself when asked to.
#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

using namespace testing_support;

namespace {
std::wstring PackagedCorvina() { return ExeDir() + L"\\..\\package\\bin\\Corvina.exe"; }

std::string Field(const std::string& marker, const std::string& key)
{
    size_t start = marker.find("\r\n" + key + "=");
    if (start == std::string::npos) return "";
    start += key.size() + 3;
    return marker.substr(start, marker.find("\r\n", start) - start);
}
}  // namespace

TEST(Corvina, WritesItsMarkerBesideItselfAndClosesWhenAsked)
{
    TempDir installDir(L"corvina");
    TempDir elsewhere(L"corvina-cwd");
    // Renamed as the installer renames it.
    std::wstring exe = installDir / L"Box.exe";
    ASSERT_TRUE(CopyFileW(PackagedCorvina().c_str(), exe.c_str(), FALSE));

    EXPECT_EQ(RunProcess(L"\"" + exe + L"\" /autoclose:300", elsewhere.Path(), 30000), 0);
    std::string marker = ReadFileBytes(installDir / L"started.marker");
    ASSERT_FALSE(marker.empty());
    EXPECT_EQ(marker.rfind("started=Corvina\r\n", 0), 0u);
    EXPECT_EQ(Field(marker, "exe"), Narrow(exe));
    EXPECT_NE(Field(marker, "commandline").find("/autoclose:300"), std::string::npos);
    EXPECT_EQ(Field(marker, "cwd"), Narrow(elsewhere.Path()));
    EXPECT_EQ(Field(marker, "time").size(), 19u);
    EXPECT_FALSE(FileExists(elsewhere / L"started.marker"));

    // Started without arguments, as the installer does; the environment sets
    // the delay for unattended runs.
    DeleteFileW((installDir / L"started.marker").c_str());
    SetEnvironmentVariableW(L"CORVINA_AUTOCLOSE_MS", L"300");
    EXPECT_EQ(RunProcess(L"\"" + exe + L"\"", installDir.Path(), 30000), 0);
    SetEnvironmentVariableW(L"CORVINA_AUTOCLOSE_MS", nullptr);
    marker = ReadFileBytes(installDir / L"started.marker");
    EXPECT_EQ(Field(marker, "cwd"), Narrow(installDir.Path()));
}
