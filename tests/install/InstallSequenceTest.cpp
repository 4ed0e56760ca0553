// The whole sequence on its own thread against nginx, the fault server and
// the API server on loopback, reporting to a hidden message-only window.

#include <gtest/gtest.h>

#include <objbase.h>
#include <process.h>
#include <shlobj.h>
#include <bcrypt.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "InstallTestSupport.h"
#include "ZipWriter.h"
#include "app/InstallSettings.h"
#include "install/CngHash.h"
#include "install/InstallSequence.h"
#include "install/SetupMessages.h"
#include "install/UninstallRegistration.h"
#include "services/MyLog.h"

using namespace testing_support;
using namespace install_testing;

namespace {

const std::vector<std::wstring> kCleanRun = {
    L"downloading", L"SaveZipToDir finish", L"解压成功", L"UnzipWidthProgress finish",
    L"DeleteFile",  L"CreateShortCut",      L"AddRegeditKeyAndValues", L"incInstallNum",
};

std::string Package(bool withExecutables)
{
    ZipWriter zip;
    if (withExecutables) {
        zip.AddFile("Corvina.exe", "MZ main");
        zip.AddFile("CorvinaMain.exe", "MZ browser");
        zip.AddFile("CvnBrowserAide.exe", "MZ aide");
        zip.AddFile("Uninstall.exe", "MZ uninstall");
    }
    zip.AddDirectory("res/");
    // Enough for several extraction reports, and enough time to cancel in.
    for (int i = 0; i < 8; ++i) zip.AddFile("res/data" + std::to_string(i) + ".bin", PatternBytes(1500000, i + 1), ZipWriter::Method::Stored);
    return zip.Finish();
}

struct SequenceTest : ::testing::Test {
    static void SetUpTestSuite() { ContendForCancelMutexOnce(); }

    TempDir dir{L"box-seq"};
    std::wstring name = L"BoxSeq" + std::to_wstring(GetCurrentProcessId());
    std::string tag = UniqueTag("seq");
    InstallSequenceOptions options;
    MessageCollector window;
    std::wstring savedCwd;

    void SetUp() override
    {
        ASSERT_NE(ServerPort("nginx"), 0) << "the servers fixture did not run";
        wchar_t cwd[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, cwd);
        savedCwd = cwd;
        InstallSettings::SetDefaults();
        InstallSettings::installDir = dir.Slash().c_str();
        InstallSettings::appName = name.c_str();
        InstallSettings::boxName = name.c_str();
        InstallSettings::exeName = (name + L".exe").c_str();
        options.download.pauseMs = 20;
        options.apiServer = "http://127.0.0.1:" + std::to_string(ServerPort("api")) + "/" + tag + "/int1";
        Serve(Package(true));
        cancelEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        ASSERT_TRUE(MyLog::Init(dir.Path().c_str()));
    }

    void TearDown() override
    {
        MyLog::Shutdown();
        CloseHandle(cancelEvent);
        cancelEvent = nullptr;
        // The extraction leaves the process in the installation folder.
        SetCurrentDirectoryW(savedCwd.c_str());
        wchar_t folder[MAX_PATH];
        SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, folder);
        DeleteFileW((std::wstring(folder) + L"\\" + name + L".lnk").c_str());
        SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 0, folder);
        RemoveTree(std::wstring(folder) + L"\\" + name);
        SYSTEM_INFO system;
        GetNativeSystemInfo(&system);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, UninstallKeyPath(system.wProcessorArchitecture, name.c_str()).c_str());
    }

    void Serve(const std::string& package)
    {
        std::string file = tag + ".zip";
        Publish(file, package);
        options.download.url = "http://127.0.0.1:" + std::to_string(ServerPort("nginx")) + "/" + file;
    }

    struct Run {
        std::vector<Posted> messages;
        bool ended = false;
        DWORD cancelledAt = 0;  // tick of the cancel request, 0 if none
        DWORD endedAt = 0;
    };

    static unsigned __stdcall Thread(void* self)
    {
        auto* test = static_cast<SequenceTest*>(self);
        return RunInstallSequence(test->window.Handle(), test->options);
    }

    // Runs the sequence to its end; `cancelWhen` decides, message by message,
    // when the window asks to stop. Checks that the thread ended and, unless
    // this is the warm-up, left no handle behind.
    Run RunSequence(const std::function<bool(const Posted&)>& cancelWhen = nullptr, bool countHandles = true)
    {
        Run run;
        DWORD handlesBefore = HandleCount();
        EXPECT_GT(handlesBefore, 0u);
        HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Thread, this, 0, nullptr));
        run.ended = PumpUntilEnded(thread, window, run.messages, 120000, [&](const Posted& m) {
            if (run.cancelledAt == 0 && cancelWhen && cancelWhen(m)) {
                RequestCancel();
                run.cancelledAt = GetTickCount();
            }
        });
        run.endedAt = GetTickCount();
        DWORD exitCode = 1;
        GetExitCodeThread(thread, &exitCode);
        EXPECT_EQ(exitCode, 0u);
        CloseHandle(thread);
        if (countHandles) {
            EXPECT_LE(HandleCount(), handlesBefore);
        }
        SetCurrentDirectoryW(savedCwd.c_str());
        return run;
    }

    // Lines other than the report's error reach the file when it is flushed.
    std::string Log() const
    {
        MyLog::GetLogger()->flush();
        return ReadFileBytes(dir / L"logs\\InstallRotating.txt");
    }
};

std::string Sha256Hex(const std::string& bytes)
{
    CngHash hash(BCRYPT_SHA256_ALGORITHM);
    hash.Update(bytes.data(), bytes.size());
    return hash.HexDigest();
}

size_t IndexOf(const std::vector<Posted>& messages, const std::wstring& text)
{
    for (size_t i = 0; i < messages.size(); ++i)
        if (messages[i].message == WM_SETUP_STATUS_TEXT && messages[i].text == text) return i;
    return messages.size();
}

}  // namespace

TEST_F(SequenceTest, CleanRunPostsEveryStepThenFinished)
{
    // Warm up what the process keeps open once (COM, the shell, sockets),
    // so that the handle count compares runs alike. Wine opens a mutex for
    // good at the first debugger output, narrow and wide each; a clean first
    // run writes none.
    OutputDebugStringA("");
    OutputDebugStringW(L"");
    RunSequence(nullptr, false);
    DeleteFileW((dir / (name + L".exe")).c_str());
    DeleteFileW((dir / (name + L"M.exe")).c_str());
    DeleteFileW((dir / (name + L"A.exe")).c_str());
    while (!window.Pump().empty()) {
    }

    Run run = RunSequence();
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(StatusTexts(run.messages), kCleanRun);
    ASSERT_FALSE(run.messages.empty());
    EXPECT_EQ(run.messages.back().message, static_cast<UINT>(WM_SETUP_FINISHED));
    EXPECT_EQ(std::count_if(run.messages.begin(), run.messages.end(),
                            [](const Posted& m) { return m.message == WM_SETUP_FINISHED; }),
              1);

    // Progress lies between the steps it belongs to.
    size_t saved = IndexOf(run.messages, L"SaveZipToDir finish");
    size_t unzipped = IndexOf(run.messages, L"解压成功");
    for (size_t i = 0; i < run.messages.size(); ++i) {
        if (run.messages[i].message == WM_SETUP_DOWNLOAD_PROGRESS) {
            EXPECT_LT(i, saved);
        }
        if (run.messages[i].message == WM_SETUP_EXTRACT_PROGRESS) {
            EXPECT_GT(i, saved);
            EXPECT_LT(i, unzipped);
        }
    }
    EXPECT_EQ(Progress(run.messages, WM_SETUP_DOWNLOAD_PROGRESS).back(), 100u);
    EXPECT_EQ(Progress(run.messages, WM_SETUP_EXTRACT_PROGRESS).back(), 100u);
    EXPECT_GE(Progress(run.messages, WM_SETUP_EXTRACT_PROGRESS).size(), 5u);

    // Renamed, the package left in place (and free to delete), the report sent.
    EXPECT_EQ(ReadFileBytes(dir / (name + L".exe")), "MZ main");
    EXPECT_EQ(ReadFileBytes(dir / (name + L"M.exe")), "MZ browser");
    EXPECT_EQ(ReadFileBytes(dir / (name + L"A.exe")), "MZ aide");
    EXPECT_FALSE(FileExists(dir / L"Corvina.exe"));
    EXPECT_TRUE(DeleteFileW((dir / L"temp.zip").c_str()));
    // The name file is the sequence's last step, before the finish page.
    EXPECT_EQ(ReadFileBytes(dir / L"cvnname.dat"), Narrow(name));
    // One pass: the bar starts at 0 once.
    EXPECT_EQ(Progress(run.messages, WM_SETUP_DOWNLOAD_PROGRESS).front(), 0u);
    std::string requests = HttpGetText("http://127.0.0.1:" + std::to_string(ServerPort("api")) + "/_log?tag=" + tag);
    EXPECT_EQ(std::count(requests.begin(), requests.end(), '\n'), 1) << requests;  // two runs, one request each
    EXPECT_EQ(requests.rfind("valid ", 0), 0u);

    std::string log = Log();
    size_t downloading = log.find("] downloading\r\n");
    size_t range = log.find("] range0-\r\n", downloading);
    size_t success = log.find("] Unzip success!\r\n", range);
    EXPECT_NE(downloading, std::string::npos);
    EXPECT_NE(range, std::string::npos);
    EXPECT_NE(success, std::string::npos);
}

TEST_F(SequenceTest, APackageFileThatCannotBeMadeStopsAtOnceAsADiskFailure)
{
    // The folder does not exist, so the package file cannot be made: no
    // retry, no extraction, and the user is told it is the folder.
    InstallSettings::installDir = (dir / L"missing\\").c_str();
    Run run = RunSequence();
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(StatusTexts(run.messages), std::vector<std::wstring>{L"downloading"});
    ASSERT_EQ(Notices(run.messages).size(), 1u);
    EXPECT_EQ(Notices(run.messages)[0], L"无法写入安装文件夹，安装已停止：请检查磁盘空间和写入权限");
    EXPECT_TRUE(run.messages.back().failure);
    for (auto& m : run.messages) EXPECT_NE(m.message, static_cast<UINT>(WM_SETUP_FINISHED));
    EXPECT_FALSE(FileExists(dir / L"cvnname.dat"));
}

TEST_F(SequenceTest, DamagedPackageIsFetchedAgain)
{
    std::string package = Package(false);
    package[200] ^= 0x55;  // inside the first stored entry: a checksum error
    Serve(package);
    Run run = RunSequence();
    ASSERT_TRUE(run.ended);
    auto texts = StatusTexts(run.messages);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), L"解压失败"), 3);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), L"downloading"), 3);
    for (auto& m : run.messages) EXPECT_NE(m.message, static_cast<UINT>(WM_SETUP_FINISHED));
    // Each pass starts the bar again, and the stop says what failed: the
    // package, not the network.
    auto progress = Progress(run.messages, WM_SETUP_DOWNLOAD_PROGRESS);
    EXPECT_EQ(std::count(progress.begin(), progress.end(), 0u), 3) << "a new pass did not start the bar at 0";
    ASSERT_FALSE(run.messages.empty());
    EXPECT_TRUE(run.messages.back().failure);
    EXPECT_EQ(run.messages.back().text, L"安装失败：安装包无法解压，请稍后重新运行安装程序（按 Esc 退出）");
    EXPECT_FALSE(FileExists(dir / L"temp.zip")) << "the package stays behind a stopped installation";
}

TEST_F(SequenceTest, AnUpgradeFromAPackageDamagedHalfWayLeavesTheOldVersionByteForByte)
{
    // The installed version: its programs, one of the package's files with
    // other bytes, and a file of its own.
    WriteFileBytes(dir / (name + L".exe"), "MZ old main");
    CreateDirectoryW((dir / L"res").c_str(), nullptr);
    WriteFileBytes(dir / L"res\\data0.bin", "old data 0");
    WriteFileBytes(dir / L"res\\old.txt", "only in the old version");
    ZipWriter zip;
    zip.AddFile("Corvina.exe", "MZ main");
    zip.AddFile("res/data0.bin", PatternBytes(1500000, 1), ZipWriter::Method::Stored);
    zip.AddFile("res/data1.bin", PatternBytes(1500000, 2), ZipWriter::Method::Stored);
    zip.AddFile("res/data2.bin", PatternBytes(1500000, 3), ZipWriter::Method::Stored);
    std::string package = zip.Finish();
    package[zip.DataOffset(2) + 1234] ^= 0x01;  // the third of four entries
    Serve(package);
    Run run = RunSequence();
    ASSERT_TRUE(run.ended);
    for (auto& m : run.messages) EXPECT_NE(m.message, static_cast<UINT>(WM_SETUP_FINISHED));
    EXPECT_EQ(ReadFileBytes(dir / (name + L".exe")), "MZ old main");
    EXPECT_EQ(ReadFileBytes(dir / L"res\\data0.bin"), "old data 0");
    EXPECT_EQ(ReadFileBytes(dir / L"res\\old.txt"), "only in the old version");
    EXPECT_FALSE(FileExists(dir / L"res\\data1.bin")) << "a file of the damaged package arrived";
    EXPECT_FALSE(FileExists(dir / L"Corvina.exe"));
    EXPECT_FALSE(FileExists(dir / L".box-staging"));
    EXPECT_FALSE(FileExists(dir / L".box-journal"));
}

TEST_F(SequenceTest, CancelBeforeOrDuringTheWorkEndsTheThreadQuietly)
{
    // In the pause before the first download, through the shipped entry point.
    RequestCancel();
    DWORD handlesBefore = HandleCount();
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, InstallThreadProc, window.Handle(), 0, nullptr));
    std::vector<Posted> messages;
    EXPECT_TRUE(PumpUntilEnded(thread, window, messages, 5000));
    CloseHandle(thread);
    EXPECT_TRUE(messages.empty());
    EXPECT_LE(HandleCount(), handlesBefore);

    // During a transfer that has stalled.
    std::string file = tag + "-stalled.zip";
    Publish(file, Package(true));
    options.download.url = "http://127.0.0.1:" + std::to_string(ServerPort("fault")) + "/" + file + "?tag=" + tag +
                           "&plan=stallat:2000000:60";
    Run transfer = RunSequence([](const Posted& m) { return m.message == WM_SETUP_DOWNLOAD_PROGRESS && m.value >= 10; });
    ASSERT_TRUE(transfer.ended);
    ASSERT_NE(transfer.cancelledAt, 0u);
    EXPECT_LT(transfer.endedAt - transfer.cancelledAt, 1600u);
    EXPECT_EQ(StatusTexts(transfer.messages), std::vector<std::wstring>{L"downloading"});
    EXPECT_FALSE(FileExists(dir / L"temp.zip"));  // closed, then removed

    // During the extraction.
    Serve(Package(true));
    Run extraction = RunSequence([](const Posted& m) { return m.message == WM_SETUP_EXTRACT_PROGRESS; });
    ASSERT_TRUE(extraction.ended);
    EXPECT_EQ(StatusTexts(extraction.messages), (std::vector<std::wstring>{L"downloading", L"SaveZipToDir finish"}));
    auto extracted = Progress(extraction.messages, WM_SETUP_EXTRACT_PROGRESS);
    ASSERT_FALSE(extracted.empty());
    EXPECT_LT(extracted.back(), 100u);
    for (auto& m : extraction.messages) EXPECT_NE(m.message, static_cast<UINT>(WM_SETUP_FINISHED));
    EXPECT_FALSE(FileExists(dir / L"temp.zip"));  // the archive was closed, then removed
}

TEST_F(SequenceTest, CancelAfterTheExtractionIsIgnored)
{
    Run run = RunSequence([](const Posted& m) { return m.message == WM_SETUP_STATUS_TEXT && m.text == L"解压成功"; });
    ASSERT_TRUE(run.ended);
    EXPECT_NE(run.cancelledAt, 0u);
    EXPECT_EQ(StatusTexts(run.messages), kCleanRun);
    EXPECT_EQ(run.messages.back().message, static_cast<UINT>(WM_SETUP_FINISHED));
    EXPECT_EQ(ReadFileBytes(dir / L"cvnname.dat"), Narrow(name));
}

TEST_F(SequenceTest, RenamingWithoutExecutablesStillCompletes)
{
    Serve(Package(false));
    Run run = RunSequence();
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(StatusTexts(run.messages), kCleanRun);
    EXPECT_FALSE(FileExists(dir / (name + L".exe")));
    EXPECT_EQ(run.messages.back().message, static_cast<UINT>(WM_SETUP_FINISHED));
}

TEST_F(SequenceTest, InstallingOverAnEarlierVersionReplacesItsPrograms)
{
    WriteFileBytes(dir / (name + L".exe"), "installed before");
    WriteFileBytes(dir / (name + L"M.exe"), "installed before");
    Run run = RunSequence();
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(StatusTexts(run.messages), kCleanRun);
    EXPECT_EQ(ReadFileBytes(dir / (name + L".exe")), "MZ main");
    EXPECT_EQ(ReadFileBytes(dir / (name + L"M.exe")), "MZ browser");
    EXPECT_FALSE(FileExists(dir / L"Corvina.exe"));
    EXPECT_FALSE(FileExists(dir / L"CorvinaMain.exe"));
}

TEST_F(SequenceTest, ARunningProgramFailsThePassesVisiblyInsteadOfStaying)
{
    WriteFileBytes(dir / (name + L".exe"), "installed before");
    HANDLE running = CreateFileW((dir / (name + L".exe")).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(running, INVALID_HANDLE_VALUE);
    Run run = RunSequence();
    CloseHandle(running);
    ASSERT_TRUE(run.ended);
    for (auto& m : run.messages) EXPECT_NE(m.message, static_cast<UINT>(WM_SETUP_FINISHED));
    EXPECT_EQ(Notices(run.messages),
              (std::vector<std::wstring>{L"无法替换正在运行的程序，请先关闭它（第 2 次）",
                                         L"无法替换正在运行的程序，请先关闭它（第 3 次）",
                                         L"安装失败：无法替换正在运行的程序，请关闭它后重新运行安装程序（按 Esc 退出）"}));
    EXPECT_EQ(ReadFileBytes(dir / (name + L".exe")), "installed before");
    EXPECT_NE(Log().find("cannot replace "), std::string::npos);
}

TEST_F(SequenceTest, APinnedPackageIsCheckedBeforeAnythingIsExtracted)
{
    const std::string package = Package(true);
    // The right bytes pass...
    options.pin.sha256 = Sha256Hex(package);
    options.pin.size = static_cast<long long>(package.size());
    Run good = RunSequence();
    ASSERT_TRUE(good.ended);
    EXPECT_EQ(StatusTexts(good.messages), kCleanRun);
    EXPECT_NE(Log().find("package check passed: SHA-256 " + options.pin.sha256), std::string::npos);
    RemoveTree(dir / L"res");

    // ...others of the same size do not: never extracted, fetched again
    // from byte 0 each pass, and the installation stops after three.
    std::string tampered = package;
    tampered[tampered.size() / 2] ^= 0x20;
    Serve(tampered);
    Run bad = RunSequence();
    ASSERT_TRUE(bad.ended);
    for (auto& m : bad.messages) EXPECT_NE(m.message, static_cast<UINT>(WM_SETUP_FINISHED));
    EXPECT_TRUE(Progress(bad.messages, WM_SETUP_EXTRACT_PROGRESS).empty());
    EXPECT_FALSE(FileExists(dir / L"res"));
    EXPECT_FALSE(FileExists(dir / L"temp.zip")) << "the rejected package stays on disk";
    EXPECT_EQ(Notices(bad.messages), (std::vector<std::wstring>{L"安装包校验失败，正在重新下载（第 2 次）",
                                                                L"安装包校验失败，正在重新下载（第 3 次）",
                                                                L"安装失败：下载的安装包校验失败，请稍后重新运行安装程序（按 Esc 退出）"}));
    std::string log = Log();
    size_t failures = 0;
    for (size_t at = log.find("package check failed: SHA-256"); at != std::string::npos;
         at = log.find("package check failed: SHA-256", at + 1))
        ++failures;
    EXPECT_EQ(failures, 3u);

    // A short one is refused by its size alone; a long one, and an answer
    // without end, before they pass the pinned size on disk.
    Serve(package.substr(0, package.size() - 1));
    Run shorter = RunSequence();
    EXPECT_NE(Log().find("package check failed: " + std::to_string(package.size() - 1) + " bytes"), std::string::npos);
    for (auto& m : shorter.messages) EXPECT_NE(m.message, static_cast<UINT>(WM_SETUP_FINISHED));
    for (const char* plan : {"endless", "ok"}) {
        const std::string file = tag + "-long.zip";
        Publish(file, package + "x");
        options.download.url = "http://127.0.0.1:" + std::to_string(ServerPort("fault")) + "/" + file +
                               "?tag=" + UniqueTag(plan) + "&plan=" + plan;
        Run longer = RunSequence();
        for (auto& m : longer.messages) EXPECT_NE(m.message, static_cast<UINT>(WM_SETUP_FINISHED));
        EXPECT_EQ(Notices(longer.messages).back(),
                  L"安装失败：下载的安装包校验失败，请稍后重新运行安装程序（按 Esc 退出）")
            << plan;
        EXPECT_FALSE(FileExists(dir / L"temp.zip")) << plan;
    }
    EXPECT_NE(Log().find("the answer is longer than the " + std::to_string(package.size()) +
                         " bytes the package may have (its pinned or signed size)"),
              std::string::npos);
}

TEST_F(SequenceTest, AFileInUseFailsThePassBeforeAnythingMovesAndTheLogNamesIt)
{
    // An earlier installation, one of its files held open by another
    // program: the package arrives whole in the staging folder, then the
    // swap finds the file before moving any other, and nothing changes.
    WriteFileBytes(dir / (name + L".exe"), "installed before");
    CreateDirectoryW((dir / L"res").c_str(), nullptr);
    WriteFileBytes(dir / L"res\\data3.bin", "held open by another program");
    HANDLE held = CreateFileW((dir / L"res\\data3.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Run run = RunSequence();
    CloseHandle(held);
    ASSERT_TRUE(run.ended);
    for (auto& m : run.messages) EXPECT_NE(m.message, static_cast<UINT>(WM_SETUP_FINISHED));
    ASSERT_FALSE(Notices(run.messages).empty());
    EXPECT_EQ(Notices(run.messages).back(),
              L"安装失败：无法替换正在运行的程序，请关闭它后重新运行安装程序（按 Esc 退出）");
    EXPECT_EQ(ReadFileBytes(dir / (name + L".exe")), "installed before") << "moved before the check";
    EXPECT_EQ(ReadFileBytes(dir / L"res\\data3.bin"), "held open by another program");
    EXPECT_FALSE(FileExists(dir / L"res\\data0.bin")) << "a new file arrived although the swap could not be made";
    EXPECT_FALSE(FileExists(dir / L".box-staging"));
    EXPECT_FALSE(FileExists(dir / L".box-backup"));
    EXPECT_FALSE(FileExists(dir / L".box-journal"));
    EXPECT_NE(Log().find("res\\data3.bin (the program may be running); nothing was changed"), std::string::npos)
        << Log();
}

TEST_F(SequenceTest, SilentReportServerHoldsTheFinishOnlyForTheBound)
{
    options.apiServer = "http://127.0.0.1:" + std::to_string(ServerPort("api")) + "/" + tag + "/silent";
    options.reportLimits.connectTimeoutSeconds = 2;
    options.reportLimits.totalTimeoutSeconds = 2;
    DWORD start = GetTickCount();
    Run run = RunSequence();
    ASSERT_TRUE(run.ended);
    EXPECT_LT(GetTickCount() - start, 15000u);
    EXPECT_EQ(StatusTexts(run.messages), kCleanRun);
    EXPECT_EQ(run.messages.back().message, static_cast<UINT>(WM_SETUP_FINISHED));
    EXPECT_EQ(Log().find("url:"), std::string::npos);
}

TEST(RenameExecutables, FreshCopiesReplaceTheInstalledOnes)
{
    TempDir dir(L"box-rename");
    InstallSettings::SetDefaults();
    InstallSettings::installDir = dir.Slash().c_str();
    InstallSettings::boxName = L"Box";
    InstallSettings::exeName = L"Box.exe";
    install_testing::WriteFileBytes(dir / L"Corvina.exe", "new main");
    install_testing::WriteFileBytes(dir / L"Box.exe", "old main");
    install_testing::WriteFileBytes(dir / L"CorvinaMain.exe", "new browser");
    install_testing::WriteFileBytes(dir / L"BoxA.exe", "old aide, not in this package");
    EXPECT_TRUE(RenameExecutables());
    EXPECT_EQ(ReadFileBytes(dir / L"Box.exe"), "new main");
    EXPECT_FALSE(FileExists(dir / L"Corvina.exe")) << "exactly one copy of each executable";
    EXPECT_EQ(ReadFileBytes(dir / L"BoxM.exe"), "new browser");
    EXPECT_EQ(ReadFileBytes(dir / L"BoxA.exe"), "old aide, not in this package");

    EXPECT_EQ(RenameIfExists((dir / L"absent.exe").c_str(), (dir / L"x.exe").c_str()), RenameOutcome::NotInPackage);
}

TEST(RenameExecutables, AProgramStillRunningFailsInsteadOfStaying)
{
    TempDir dir(L"box-rename");
    InstallSettings::SetDefaults();
    InstallSettings::installDir = dir.Slash().c_str();
    InstallSettings::boxName = L"Box";
    InstallSettings::exeName = L"Box.exe";
    install_testing::WriteFileBytes(dir / L"Corvina.exe", "new main");
    install_testing::WriteFileBytes(dir / L"Box.exe", "old main");
    // Open without sharing delete, as a running program's image is.
    HANDLE running = CreateFileW((dir / L"Box.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 0, nullptr);
    ASSERT_NE(running, INVALID_HANDLE_VALUE);
    std::wstring failed;
    EXPECT_FALSE(RenameExecutables(&failed));
    EXPECT_EQ(failed, dir / L"Box.exe");
    CloseHandle(running);
    EXPECT_EQ(ReadFileBytes(dir / L"Box.exe"), "old main");
    EXPECT_TRUE(RenameExecutables());
    EXPECT_EQ(ReadFileBytes(dir / L"Box.exe"), "new main");
}
