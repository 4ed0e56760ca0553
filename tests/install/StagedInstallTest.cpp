// The staged swap: what an installation folder holds after a swap, after a
// failed one, and after a run that ended at each point of one and the next
// run's recovery. Crash points are made by leaving the files as a killed
// process would (the same moves, stopped there).
#include <gtest/gtest.h>
#include <windows.h>

#include "install/StagedInstall.h"
#include "InstallTestSupport.h"
#include "support/TestSupport.h"

using namespace testing_support;
using namespace install_testing;

namespace {

struct Staged : ::testing::Test {
    TempDir dir{L"box-staged"};
    StagedInstallPaths paths = StagedPaths(dir.Slash());

    void SetUp() override
    {
        // The installed version: a.txt and z.txt are replaced, keep.txt is
        // not in the package, sub\ is new.
        WriteFileBytes(dir / L"a.txt", "old a");
        WriteFileBytes(dir / L"z.txt", "old z");
        WriteFileBytes(dir / L"keep.txt", "kept");
        CreateDirectoryW(paths.staging.c_str(), nullptr);
        CreateDirectoryW((paths.staging + L"sub").c_str(), nullptr);
        WriteFileBytes(paths.staging + L"a.txt", "new a");
        WriteFileBytes(paths.staging + L"sub\\c.txt", "new c");
        WriteFileBytes(paths.staging + L"z.txt", "new z");
    }
    InstallJournal Journal(JournalPhase phase) const
    {
        InstallJournal journal;
        journal.phase = phase;
        journal.files = {{true, L"a.txt"}, {false, L"sub\\c.txt"}, {true, L"z.txt"}};
        return journal;
    }
    void ExpectOld()
    {
        EXPECT_EQ(ReadFileBytes(dir / L"a.txt"), "old a");
        EXPECT_EQ(ReadFileBytes(dir / L"z.txt"), "old z");
        EXPECT_EQ(ReadFileBytes(dir / L"keep.txt"), "kept");
        EXPECT_FALSE(FileExists(dir / L"sub")) << "a new file or its folder stayed";
        ExpectNoLeftovers();
    }
    void ExpectNew()
    {
        EXPECT_EQ(ReadFileBytes(dir / L"a.txt"), "new a");
        EXPECT_EQ(ReadFileBytes(dir / L"z.txt"), "new z");
        EXPECT_EQ(ReadFileBytes(dir / L"sub\\c.txt"), "new c");
        EXPECT_EQ(ReadFileBytes(dir / L"keep.txt"), "kept");
        ExpectNoLeftovers();
    }
    void ExpectNoLeftovers()
    {
        EXPECT_FALSE(FileExists(dir / L".box-staging"));
        EXPECT_FALSE(FileExists(dir / L".box-backup"));
        EXPECT_FALSE(FileExists(dir / L".box-journal"));
        EXPECT_FALSE(FileExists(dir / L".box-journal.tmp"));
    }
    void Move(const std::wstring& from, const std::wstring& to)
    {
        ASSERT_TRUE(MoveFileExW(from.c_str(), to.c_str(), 0)) << "test setup: " << GetLastError();
    }
};

}  // namespace

TEST_F(Staged, ACommittedSwapReplacesAndAddsAndLeavesNothingBehind)
{
    std::wstring culprit;
    ASSERT_EQ(SwapStagedFiles(paths, &culprit), SwapOutcome::Committed) << culprit;
    InstallJournal journal;
    ASSERT_TRUE(ReadJournal(paths, &journal));
    EXPECT_EQ(journal.phase, JournalPhase::Committed);
    RemoveStagingLeftovers(paths);
    ExpectNew();
    EXPECT_EQ(RecoverInterruptedInstall(paths), RecoveryOutcome::NothingFound);
}

TEST_F(Staged, AFileHeldOpenStopsTheSwapBeforeAnythingMoves)
{
    HANDLE held = CreateFileW((dir / L"z.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::wstring culprit;
    EXPECT_EQ(SwapStagedFiles(paths, &culprit), SwapOutcome::InUse);
    CloseHandle(held);
    EXPECT_EQ(culprit, dir / L"z.txt");
    EXPECT_EQ(ReadFileBytes(dir / L"a.txt"), "old a") << "a.txt moved before z.txt was checked";
    EXPECT_FALSE(FileExists(dir / L".box-journal"));
    RemoveStagingLeftovers(paths);
    ExpectOld();
}

TEST_F(Staged, AMoveThatFailsHalfWayPutsTheOldVersionBack)
{
    // A file of the old version stands where the package wants a folder:
    // the last move fails after a.txt and sub\c.txt have moved.
    CreateDirectoryW((paths.staging + L"zz").c_str(), nullptr);
    WriteFileBytes(paths.staging + L"zz\\d.txt", "new d");
    WriteFileBytes(dir / L"zz", "a file of the old version");
    std::wstring culprit;
    EXPECT_EQ(SwapStagedFiles(paths, &culprit), SwapOutcome::RolledBack);
    EXPECT_EQ(culprit, dir / L"zz\\d.txt");
    EXPECT_EQ(ReadFileBytes(dir / L"zz"), "a file of the old version");
    ExpectOld();
}

TEST_F(Staged, EveryCrashPointRecoversToTheOldOrTheNewVersion)
{
    const std::wstring a = dir / L"a.txt", c = dir / L"sub\\c.txt", z = dir / L"z.txt";
    const std::wstring savedA = paths.backup + L"a.txt", savedZ = paths.backup + L"z.txt";
    struct Point {
        const char* name;
        JournalPhase phase;
        int moves;  // how many of the six moves of the swap happened
        bool expectNew;
    };
    // The swap's moves: a.txt to the backup, staged a.txt in, sub\c.txt in,
    // z.txt to the backup, staged z.txt in.
    const Point points[] = {
        {"journal written, nothing moved", JournalPhase::Swapping, 0, false},
        {"between a.txt's two moves", JournalPhase::Swapping, 1, false},
        {"after a.txt", JournalPhase::Swapping, 2, false},
        {"after the new file", JournalPhase::Swapping, 3, false},
        {"between z.txt's two moves", JournalPhase::Swapping, 4, false},
        {"every file moved, not yet committed", JournalPhase::Swapping, 5, false},
        {"committed, before the clean-up", JournalPhase::Committed, 5, true},
    };
    for (const Point& point : points) {
        SCOPED_TRACE(point.name);
        TearDown();
        RemoveStagingLeftovers(paths);
        DeleteFileW((dir / L"sub\\c.txt").c_str());
        RemoveDirectoryW((dir / L"sub").c_str());
        SetUp();
        ASSERT_TRUE(WriteJournal(paths, Journal(point.phase)));
        CreateDirectoryW(paths.backup.c_str(), nullptr);
        CreateDirectoryW((dir / L"sub").c_str(), nullptr);
        const std::pair<std::wstring, std::wstring> moves[] = {
            {a, savedA}, {paths.staging + L"a.txt", a}, {paths.staging + L"sub\\c.txt", c},
            {z, savedZ}, {paths.staging + L"z.txt", z}};
        for (int i = 0; i < point.moves; ++i) Move(moves[i].first, moves[i].second);
        if (point.moves < 3) RemoveDirectoryW((dir / L"sub").c_str());

        EXPECT_EQ(RecoverInterruptedInstall(paths),
                  point.expectNew ? RecoveryOutcome::Completed : RecoveryOutcome::RolledBack);
        if (point.expectNew) ExpectNew(); else ExpectOld();
        // A second recovery (the first one interrupted after its work) finds
        // nothing to do.
        EXPECT_EQ(RecoverInterruptedInstall(paths), RecoveryOutcome::NothingFound);
    }
}

TEST_F(Staged, ARollbackThatWasItselfInterruptedIsFinishedByTheNextRun)
{
    // Every file moved, then a rollback put the new file away and stopped
    // before a.txt and z.txt came back.
    ASSERT_TRUE(WriteJournal(paths, Journal(JournalPhase::Swapping)));
    CreateDirectoryW(paths.backup.c_str(), nullptr);
    Move(dir / L"a.txt", paths.backup + L"a.txt");
    Move(paths.staging + L"a.txt", dir / L"a.txt");
    Move(dir / L"z.txt", paths.backup + L"z.txt");
    Move(paths.staging + L"z.txt", dir / L"z.txt");
    EXPECT_EQ(RecoverInterruptedInstall(paths), RecoveryOutcome::RolledBack);
    ExpectOld();
}

TEST_F(Staged, StagingWithoutAJournalIsARunThatNeverMovedAnything)
{
    EXPECT_EQ(RecoverInterruptedInstall(paths), RecoveryOutcome::StagingRemoved);
    ExpectOld();
}

TEST(InstallJournal, ReadsWhatItWritesAndNothingElse)
{
    InstallJournal journal;
    journal.phase = JournalPhase::Swapping;
    journal.files = {{true, L"Box.exe"}, {false, L"docs\\使用说明.txt"}, {false, L"v1..2.txt"}};
    InstallJournal read;
    ASSERT_TRUE(ParseJournal(FormatJournal(journal), &read));
    EXPECT_EQ(read.phase, JournalPhase::Swapping);
    ASSERT_EQ(read.files.size(), 3u);
    EXPECT_EQ(read.files[1].path, L"docs\\使用说明.txt");
    EXPECT_FALSE(read.files[1].replaces);

    const std::wstring good = FormatJournal(journal);
    EXPECT_FALSE(ParseJournal(good.substr(0, good.size() - 1), &read)) << "a cut last line";
    EXPECT_FALSE(ParseJournal(L"box install journal 2\nphase staged\n", &read));
    EXPECT_FALSE(ParseJournal(L"box install journal 1\nR a.txt\n", &read)) << "no phase";
    for (const wchar_t* path : {L"C:\\Windows\\x.dll", L"\\x.dll", L"a\\..\\..\\x.dll", L".box-backup\\a.txt",
                                L".BOX-STAGING.\\a.txt", L"a\\\\b.txt"}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(ParseJournal(std::wstring(L"box install journal 1\nphase staged\nN ") + path + L"\n", &read));
    }
}
