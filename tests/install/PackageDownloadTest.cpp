// Downloads from nginx and from our fault-injecting server on loopback.

#include <gtest/gtest.h>

#include <process.h>

#include <algorithm>
#include <functional>
#include <string>

#include "InstallTestSupport.h"
#include "ZipWriter.h"
#include "install/PackageDownload.h"
#include "install/SetupMessages.h"
#include "services/MyLog.h"

using namespace testing_support;
using namespace install_testing;

namespace {

struct DownloadTest : ::testing::Test {
    TempDir dir{L"box-dl"};
    std::string tag = UniqueTag("dl");
    std::wstring packagePath = dir / L"temp.zip";

    void SetUp() override
    {
        ASSERT_NE(ServerPort("nginx"), 0) << "the servers fixture did not run";
        cancelEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    void TearDown() override
    {
        CloseHandle(cancelEvent);
        cancelEvent = nullptr;
    }

    std::string Package() const { return ReadFileBytes(dir / L"temp.zip"); }

    // Quick attempts against the fault server, misbehaving as `plan` says.
    DownloadOptions Faulty(const std::string& file, const std::string& plan) const
    {
        DownloadOptions options;
        options.url = "http://127.0.0.1:" + std::to_string(ServerPort("fault")) + "/" + file + "?tag=" + tag +
                      "&plan=" + plan;
        options.pauseMs = 20;
        return options;
    }

    std::string RequestLog() const
    {
        return HttpGetText("http://127.0.0.1:" + std::to_string(ServerPort("fault")) + "/_log?tag=" + tag);
    }
};

// Runs SaveZipToDir on a thread of its own, as the install thread does.
struct SaveJob {
    std::wstring installDir;
    DownloadOptions options;
    HWND window;
    DownloadOutcome result = DownloadOutcome::Done;
    wchar_t path[MAX_PATH] = {};
    HANDLE thread = nullptr;

    static unsigned __stdcall Run(void* self)
    {
        auto* job = static_cast<SaveJob*>(self);
        job->result = SaveZipToDir(job->installDir.c_str(), job->path, job->window, job->options);
        return 0;
    }
    void Start() { thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Run, this, 0, nullptr)); }
    ~SaveJob()
    {
        if (thread) {
            WaitForSingleObject(thread, 60000);
            CloseHandle(thread);
        }
    }
};

}  // namespace

TEST_F(DownloadTest, CleanDownloadFromNginx)
{
    std::string served = PatternBytes(3 * 1024 * 1024 + 123, 7);
    std::string file = "clean-" + tag + ".zip";
    Publish(file, served);
    // An old package in the folder goes first: nothing is appended to it.
    WriteFileBytes(dir / L"temp.zip", "stale partial content");

    MessageCollector window;
    DownloadOptions options;
    options.url = "http://127.0.0.1:" + std::to_string(ServerPort("nginx")) + "/" + file;
    options.pauseMs = 20;
    wchar_t path[MAX_PATH];
    ASSERT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(), options), DownloadOutcome::Done);
    EXPECT_EQ(std::wstring(path), dir / L"temp.zip");
    EXPECT_TRUE(Package() == served);

    auto messages = Drain(window);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(StatusTexts(messages), std::vector<std::wstring>{L"downloading"});
    EXPECT_EQ(messages.front().message, static_cast<UINT>(WM_SETUP_STATUS_TEXT));
    auto progress = Progress(messages, WM_SETUP_DOWNLOAD_PROGRESS);
    ASSERT_GE(progress.size(), 1u);
    EXPECT_LE(progress.size(), 101u);  // each whole percent at most once
    EXPECT_EQ(progress.back(), 100u);
    for (size_t i = 1; i < progress.size(); ++i) EXPECT_GE(progress[i], progress[i - 1]);
}

TEST_F(DownloadTest, BrokenTransfersResumeFromTheFilesLength)
{
    std::string served = PatternBytes(2000000, 11);
    std::string file = "cut-" + tag + ".zip";
    Publish(file, served);
    MessageCollector window;
    wchar_t path[MAX_PATH];
    ASSERT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(), Faulty(file, "cut:700000,cut:700000,ok")),
              DownloadOutcome::Done);
    EXPECT_TRUE(Package() == served);
    EXPECT_EQ(RequestLog(), "cut:700000 bytes=0-\ncut:700000 bytes=700000-\nok bytes=1400000-");

    auto messages = Drain(window);
    EXPECT_EQ(StatusTexts(messages), std::vector<std::wstring>(3, L"downloading"));
    // The user sees each retry counted.
    EXPECT_EQ(Notices(messages), (std::vector<std::wstring>{L"网络连接失败，正在重试（第 1 次）",
                                                            L"网络连接失败，正在重试（第 2 次）"}));
    EXPECT_EQ(Progress(messages, WM_SETUP_DOWNLOAD_PROGRESS).back(), 100u);
}

TEST_F(DownloadTest, APackageReplacedOnTheServerBetweenACutAndTheResumeIsNeverSpliced)
{
    // The resume says which package it holds the start of (If-Range with the
    // first answer's ETag); the server has another one by then and sends it
    // whole, which the file then holds alone.
    std::string before = PatternBytes(1500000, 21);
    std::string after = PatternBytes(1500000, 22);
    std::string file = "swap-" + tag + ".zip";
    std::string replacement = "swap-new-" + tag + ".zip";
    Publish(file, before);
    Publish(replacement, after);
    MessageCollector window;
    wchar_t path[MAX_PATH];
    ASSERT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(), Faulty(file, "cut:600000,as:" + replacement)),
              DownloadOutcome::Done);
    EXPECT_TRUE(Package() == after) << "the old start and the new rest were spliced";
    EXPECT_EQ(RequestLog(), "cut:600000 bytes=0-\nas:" + replacement + " bytes=600000-");
    Drain(window);
}

TEST_F(DownloadTest, WhatDoesNotContinueTheFileNeverLandsBehindIt)
{
    std::string served = PatternBytes(1500000, 12);
    std::string file = "odd-" + tag + ".zip";
    Publish(file, served);
    ResumeState state;
    auto attempt = [&](const DownloadOptions& options) {
        return DownloadPackage(packagePath.c_str(), nullptr, options, &state);
    };

    // Cut, then an error page at the resumed offset: the page is not appended.
    DownloadOptions options = Faulty(file, "cut:300000,error:500,error:404,norange");
    EXPECT_EQ(attempt(options), kDownloadFailed);
    EXPECT_EQ(Package(), served.substr(0, 300000));
    EXPECT_EQ(attempt(options), kDownloadFailed);
    EXPECT_EQ(Package(), served.substr(0, 300000));
    EXPECT_EQ(attempt(options), kDownloadFailed);
    EXPECT_EQ(Package(), served.substr(0, 300000));
    // The whole file (200) in answer to a range: the file starts again.
    EXPECT_EQ(attempt(options), kDownloadOk);
    EXPECT_TRUE(Package() == served);

    // A 206 that starts at 0 instead of the asked offset: likewise.
    DeleteFileW((dir / L"temp.zip").c_str());
    state = ResumeState();
    tag = UniqueTag("dl-badrange");
    options = Faulty(file, "cut:400000,badrange");
    EXPECT_EQ(attempt(options), kDownloadFailed);
    EXPECT_EQ(attempt(options), kDownloadOk);
    EXPECT_TRUE(Package() == served);

    // An error page at offset 0 leaves an empty file.
    DeleteFileW((dir / L"temp.zip").c_str());
    state = ResumeState();
    tag = UniqueTag("dl-error0");
    EXPECT_EQ(attempt(Faulty(file, "error:503")), kDownloadFailed);
    EXPECT_EQ(Package(), "");

    // A complete file whose last attempt still failed: nginx answers the
    // range at its end with 416 and the file's length, which is the length
    // held: the file is whole, and goes on to the package check.
    std::string nginxUrl = "http://127.0.0.1:" + std::to_string(ServerPort("nginx")) + "/" + file;
    DownloadOptions fromNginx;
    fromNginx.url = nginxUrl;
    state = ResumeState();
    ASSERT_EQ(attempt(fromNginx), kDownloadOk);
    WriteFileBytes(dir / L"temp.zip", served.substr(0, 1000));
    EXPECT_EQ(attempt(Faulty(file, "error:503")), kDownloadFailed);  // the same state: still resumable
    WriteFileBytes(dir / L"temp.zip", served);
    EXPECT_EQ(attempt(fromNginx), kDownloadOk);
    EXPECT_TRUE(Package() == served);
    // A file longer than the server's: the 416 gives another length, and the
    // next attempt starts from 0 instead of asking for the same range for ever.
    WriteFileBytes(dir / L"temp.zip", served + "tail");
    EXPECT_EQ(attempt(fromNginx), kDownloadFailed);
    EXPECT_EQ(Package(), "");
    EXPECT_EQ(attempt(fromNginx), kDownloadOk);
    EXPECT_TRUE(Package() == served);
}

TEST_F(DownloadTest, ResumingNeedsAValidatorAndTheSameWholeLength)
{
    std::string before = PatternBytes(1000000, 31);
    std::string after = PatternBytes(1000000, 32);
    std::string file = "bare-" + tag + ".zip";
    std::string replacement = "bare-new-" + tag + ".zip";
    Publish(file, before);
    Publish(replacement, after);
    MessageCollector window;
    wchar_t path[MAX_PATH];

    // No ETag and no Last-Modified: nothing says which file the held bytes
    // are the start of, so the next attempt starts from byte 0 and the
    // replaced package lands whole.
    ASSERT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(),
                           Faulty(file, "cut:300000+noetag,as:" + replacement + "+noetag")),
              DownloadOutcome::Done);
    EXPECT_TRUE(Package() == after) << "the old start and the new rest were spliced";
    EXPECT_EQ(RequestLog(), "cut:300000+noetag bytes=0-\nas:" + replacement + "+noetag bytes=0-");

    // A resumed answer that gives another whole length is another file: its
    // bytes are not joined, and the next attempt starts from byte 0.
    tag = UniqueTag("dl-total");
    ASSERT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(), Faulty(file, "cut:300000,ok+overlong,ok")),
              DownloadOutcome::Done);
    EXPECT_TRUE(Package() == before);
    EXPECT_EQ(RequestLog(), "cut:300000 bytes=0-\nok+overlong bytes=300000-\nok bytes=0-");
    Drain(window);
}

TEST_F(DownloadTest, AServerThatFailsAfterItsLastByteEndsTheDownload)
{
    std::string served = PatternBytes(700000, 33);
    std::string file = "overlong-" + tag + ".zip";
    Publish(file, served);
    MessageCollector window;
    wchar_t path[MAX_PATH];

    // It announces a byte more than it has: the first attempt holds the
    // whole file and fails; the range at its end gets 416 with the length
    // held, and the file goes on to be checked.
    DownloadOptions options = Faulty(file, "ok+overlong");
    options.maxFruitlessAttempts = 3;
    ASSERT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(), options), DownloadOutcome::Done);
    EXPECT_TRUE(Package() == served);
    EXPECT_EQ(RequestLog(), "ok+overlong bytes=0-\nok+overlong bytes=700000-");
    Drain(window);

    // One whose 416 gives another length empties the file, and the next
    // full transfer brings the same bytes again: that is no progress, and
    // a bounded download ends instead of alternating for ever.
    tag = UniqueTag("dl-alternate");
    std::string plan;
    for (int i = 0; i < 10; ++i) plan += "ok+overlong,416:1,";
    options = Faulty(file, plan + "ok");
    options.maxFruitlessAttempts = 3;
    EXPECT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(), options), DownloadOutcome::GaveUp);
    std::string log = RequestLog();
    EXPECT_LE(std::count(log.begin(), log.end(), '\n') + 1, 6) << log;
    Drain(window);
}

TEST_F(DownloadTest, AnAnswerLongerThanThePackageMayBeStopsAtOnce)
{
    std::string file = "endless-" + tag + ".zip";
    Publish(file, "the endless answers ignore this");
    const int64_t bound = 2 * 1024 * 1024;

    // Zeros without end and without a length: the file stops at the bound.
    DownloadOptions options = Faulty(file, "endless");
    options.maxBytes = bound;
    EXPECT_EQ(DownloadPackage(packagePath.c_str(), nullptr, options), kDownloadTooLarge);
    EXPECT_LE(static_cast<int64_t>(Package().size()), bound);

    // A length past the bound: refused before a byte is kept.
    tag = UniqueTag("dl-endless-length");
    options = Faulty(file, "endless:" + std::to_string(bound + 1));
    options.maxBytes = bound;
    EXPECT_EQ(DownloadPackage(packagePath.c_str(), nullptr, options), kDownloadTooLarge);
    EXPECT_EQ(Package(), "");

    // Exactly the bound is a whole package.
    tag = UniqueTag("dl-endless-exact");
    options = Faulty(file, "endless:" + std::to_string(bound));
    options.maxBytes = bound;
    EXPECT_EQ(DownloadPackage(packagePath.c_str(), nullptr, options), kDownloadOk);
    EXPECT_EQ(static_cast<int64_t>(Package().size()), bound);

    // The download tries no more: another attempt would bring the same.
    tag = UniqueTag("dl-endless-save");
    MessageCollector window;
    wchar_t path[MAX_PATH];
    options = Faulty(file, "endless");
    options.maxBytes = bound;
    EXPECT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(), options), DownloadOutcome::TooLarge);
    EXPECT_EQ(RequestLog(), "endless bytes=0-");
    EXPECT_TRUE(Notices(Drain(window)).empty());
}

TEST_F(DownloadTest, AResumedTransferShowsTheBytesHeldOverTheWholeLength)
{
    std::string served = PatternBytes(1000000, 34);
    std::string file = "resumed-" + tag + ".zip";
    Publish(file, served);
    MessageCollector window;
    wchar_t path[MAX_PATH];
    ASSERT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(), Faulty(file, "cut:900000,ok")),
              DownloadOutcome::Done);
    auto progress = Progress(Drain(window), WM_SETUP_DOWNLOAD_PROGRESS);
    ASSERT_FALSE(progress.empty());
    // Cut at 90 %: the resumed rest goes on from there, never back.
    for (size_t i = 1; i < progress.size(); ++i) EXPECT_GE(progress[i], progress[i - 1]) << i;
    EXPECT_EQ(progress.back(), 100u);
}

TEST_F(DownloadTest, WithABoundItGivesUpOnlyAfterThatManyFruitlessAttemptsInARow)
{
    std::string served = PatternBytes(1200000, 17);
    std::string file = "bound-" + tag + ".zip";
    Publish(file, served);
    TempDir logDir(L"box-dl-log");
    ASSERT_TRUE(MyLog::Init(logDir.Path().c_str()));

    // Attempts that bring bytes start the count again: two failures, a cut
    // that brought 300000 bytes, two failures, then the rest.
    MessageCollector window;
    DownloadOptions options = Faulty(file, "error:503,error:503,cut:300000,error:503,error:503,ok");
    options.maxFruitlessAttempts = 3;
    wchar_t path[MAX_PATH];
    ASSERT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(), options), DownloadOutcome::Done);
    EXPECT_TRUE(Package() == served);
    EXPECT_EQ(StatusTexts(Drain(window)).size(), 6u);

    // Nothing but failures: the third in a row ends it, without a fourth
    // request and without the notice of a retry that will not come.
    tag = UniqueTag("dl-bound");
    options = Faulty(file, "error:503");
    options.maxFruitlessAttempts = 3;
    EXPECT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(), options), DownloadOutcome::GaveUp);
    EXPECT_EQ(RequestLog(), "error:503 bytes=0-\nerror:503 bytes=0-\nerror:503 bytes=0-");
    auto messages = Drain(window);
    EXPECT_EQ(StatusTexts(messages), std::vector<std::wstring>(3, L"downloading"));
    EXPECT_EQ(Notices(messages).size(), 2u);
    MyLog::Shutdown();
    std::string log = ReadFileBytes(logDir / L"logs\\InstallRotating.txt");
    EXPECT_NE(log.find("download failed 3 times in a row without progress: giving up"), std::string::npos) << log;
}

TEST_F(DownloadTest, WithoutContentLengthOnlyTheFinalHundredIsReported)
{
    std::string served = PatternBytes(800000, 13);
    std::string file = "nolength-" + tag + ".zip";
    Publish(file, served);
    MessageCollector window;
    EXPECT_EQ(DownloadPackage(packagePath.c_str(), window.Handle(), Faulty(file, "nolength")), kDownloadOk);
    EXPECT_TRUE(Package() == served);
    EXPECT_EQ(Progress(Drain(window), WM_SETUP_DOWNLOAD_PROGRESS), std::vector<unsigned>{100u});
}

TEST_F(DownloadTest, RedirectsFollowHttpOnly)
{
    std::string served = PatternBytes(100000, 14);
    std::string file = "redirect-" + tag + ".zip";
    Publish(file, served);
    for (const char* scheme : {"ftp", "file", "https", "gopher"}) {
        tag = UniqueTag(scheme);
        EXPECT_EQ(DownloadPackage(packagePath.c_str(), nullptr, Faulty(file, std::string("redirect:") + scheme)),
                  kDownloadFailed)
            << scheme;
        EXPECT_EQ(Package(), "") << scheme;
    }
    // A redirect loop ends.
    tag = UniqueTag("loop");
    EXPECT_EQ(DownloadPackage(packagePath.c_str(), nullptr, Faulty(file, "redirect:http")), kDownloadFailed);

    tag = UniqueTag("http");
    EXPECT_EQ(DownloadPackage(packagePath.c_str(), nullptr, Faulty(file, "redirect:http,ok")), kDownloadOk);
    EXPECT_TRUE(Package() == served);
}

TEST_F(DownloadTest, StalledTransferResumesAfterTheStallBound)
{
    std::string served = PatternBytes(1000000, 15);
    std::string file = "stall-" + tag + ".zip";
    Publish(file, served);
    DownloadOptions options = Faulty(file, "stallat:400000:60,stall:60,ok");
    options.stallSeconds = 2;
    MessageCollector window;
    DWORD start = GetTickCount();
    wchar_t path[MAX_PATH];
    ASSERT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(), options), DownloadOutcome::Done);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_TRUE(Package() == served);
    EXPECT_EQ(RequestLog(), "stallat:400000:60 bytes=0-\nstall:60 bytes=400000-\nok bytes=400000-");
    EXPECT_GE(elapsed, 4000u);
    EXPECT_LT(elapsed, 15000u);
    Drain(window);
}

TEST_F(DownloadTest, CancelLeavesAStalledTransferWithinAboutASecond)
{
    std::string served = PatternBytes(1000000, 16);
    std::string file = "cancel-" + tag + ".zip";
    Publish(file, served);
    for (const char* plan : {"stall:60", "stallat:300000:60"}) {
        tag = UniqueTag("cancel");
        MessageCollector window;
        SaveJob job;
        job.installDir = dir.Slash();
        job.options = Faulty(file, plan);
        job.window = window.Handle();
        job.Start();

        // Wait until the server holds the request, give the transfer time to
        // reach the stall, then ask to stop.
        DWORD deadline = GetTickCount() + 10000;
        while (RequestLog().empty() && GetTickCount() < deadline) Sleep(50);
        Sleep(plan[5] == 'a' ? 800 : 300);
        std::vector<Posted> before;
        for (auto& m : Drain(window)) before.push_back(m);
        RequestCancel();
        DWORD asked = GetTickCount();
        std::vector<Posted> after;
        ASSERT_TRUE(PumpUntilEnded(job.thread, window, after, 10000)) << plan;
        EXPECT_LT(GetTickCount() - asked, 1600u) << plan;
        EXPECT_EQ(job.result, DownloadOutcome::Cancelled) << plan;
        EXPECT_TRUE(after.empty()) << plan;  // nothing more is posted
        EXPECT_EQ(StatusTexts(before), std::vector<std::wstring>{L"downloading"}) << plan;
        // The file is closed: it can go at once.
        EXPECT_TRUE(DeleteFileW((dir / L"temp.zip").c_str())) << plan;
    }
}

TEST_F(DownloadTest, AnUnopenablePackageFileIsADiskFailureAndIsLogged)
{
    TempDir logDir(L"box-dl-log");
    ASSERT_TRUE(MyLog::Init(logDir.Path().c_str()));
    std::wstring missing = dir / L"no\\such\\folder\\";
    MessageCollector window;
    DownloadOptions options;
    options.url = "http://127.0.0.1:" + std::to_string(ServerPort("nginx")) + "/nothing.zip";
    options.pauseMs = 20;
    wchar_t path[MAX_PATH];
    EXPECT_EQ(SaveZipToDir(missing.c_str(), path, window.Handle(), options), DownloadOutcome::CannotWrite);
    EXPECT_EQ(std::wstring(path), missing + L"temp.zip");
    auto messages = Drain(window);
    EXPECT_EQ(Progress(messages, WM_SETUP_DOWNLOAD_PROGRESS), std::vector<unsigned>{});
    EXPECT_TRUE(Notices(messages).empty()) << "a disk failure told as a network retry";

    // A clean attempt logs its range.
    std::string file = "logged-" + tag + ".zip";
    Publish(file, "0123456789");
    options.url = "http://127.0.0.1:" + std::to_string(ServerPort("nginx")) + "/" + file;
    EXPECT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(), options), DownloadOutcome::Done);
    Drain(window);
    MyLog::Shutdown();

    std::string log = ReadFileBytes(logDir / L"logs\\InstallRotating.txt");
    // 打开文件”...“失败 in code page 936, the closing quotation mark first.
    std::string unopenable = "\xB4\xF2\xBF\xAA\xCE\xC4\xBC\xFE\xA1\xB1" + Narrow(missing) + "temp.zip\xA1\xB0\xCA\xA7\xB0\xDC";
    size_t first = log.find("] downloading");
    size_t failed = log.find(unopenable);
    size_t second = log.find("] downloading", first + 1);
    size_t range = log.find("] range0-");
    EXPECT_NE(first, std::string::npos);
    EXPECT_NE(failed, std::string::npos) << log;
    EXPECT_NE(range, std::string::npos);
    EXPECT_LT(first, failed);
    EXPECT_LT(failed, second);
    EXPECT_LT(second, range);
}

TEST_F(DownloadTest, ShippedPathPausesThreeSecondsBeforeEachAttempt)
{
    // A cancel request already waiting is seen in the first pause.
    MessageCollector window;
    RequestCancel();
    wchar_t path[MAX_PATH];
    DWORD start = GetTickCount();
    EXPECT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle()), DownloadOutcome::Cancelled);
    EXPECT_LT(GetTickCount() - start, 500u);
    EXPECT_TRUE(Drain(window).empty());

    // The compiled-in server is not running here (or is, for a demo): either
    // way the first attempt comes 3 s after the start.
    SaveJob job;
    job.installDir = dir.Slash();
    job.window = window.Handle();
    start = GetTickCount();
    job.Start();
    std::vector<Posted> messages;
    DWORD firstAttempt = 0;
    PumpUntilEnded(job.thread, window, messages, 8000, [&](const Posted& m) {
        if (m.message == WM_SETUP_STATUS_TEXT && firstAttempt == 0) {
            firstAttempt = GetTickCount() - start;
            RequestCancel();
        }
    });
    EXPECT_GE(firstAttempt, 2900u);
    EXPECT_LT(firstAttempt, 4500u);
    EXPECT_EQ(WaitForSingleObject(job.thread, 10000), WAIT_OBJECT_0);
}
