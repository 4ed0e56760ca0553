#include "install/InstallSequence.h"

#include <objbase.h>
#include <bcrypt.h>

#include <process.h>

#include <cstdio>
#include <cwchar>
#include <memory>

#include "app/InstallSettings.h"
#include "install/CngHash.h"
#include "install/CrashPoint.h"
#include "install/InstallCountReport.h"
#include "install/ManifestSignature.h"
#include "install/NameFile.h"
#include "install/PackageManifest.h"
#include "install/PackagedExecutables.h"
#include "install/SetupMessages.h"
#include "install/Shortcuts.h"
#include "install/UninstallRegistration.h"
#include "install/StagedInstall.h"
#include "install/UnzipWithProgress.h"
#include "services/MyLog.h"

namespace {

// COM for the shell link object of the shortcut step; balanced on every way out.
struct ComApartment {
    ComApartment() { CoInitialize(nullptr); }
    ~ComApartment() { CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

// The log line and status text of an extraction result.
void ReportUnzipResult(HWND window, int result)
{
    auto logger = MyLog::GetLogger();
    switch (result) {
    case kUnzipOk:
        logger->debug("Unzip success!");
        PostStatusText(window, L"解压成功");
        break;
    case kUnzipCannotOpenArchive:
        logger->debug("can't found the file");
        PostStatusText(window, L"找不到下载的文件，可能是权限不够");
        break;
    case kUnzipCannotSumSizes:
        logger->debug("Calculate size faled");
        PostStatusText(window, L"计算大小失败");
        break;
    default:
        logger->debug("Unzip failed");
        PostStatusText(window, L"解压失败");
        break;
    }
}

// "（第 N 次）": which attempt the user is looking at.
std::wstring Attempt(const wchar_t* what, int attempt)
{
    wchar_t text[160];
    swprintf(text, 160, L"%ls（第 %d 次）", what, attempt);
    return text;
}

// The downloaded file against the package the build pins: size first (no
// hashing of a file that cannot match), then SHA-256. An empty pin passes.
bool PackageMatchesPin(const wchar_t* package, const PackagePin& pin)
{
    if (pin.sha256.empty()) return true;
    auto logger = MyLog::GetLogger();
    WIN32_FILE_ATTRIBUTE_DATA data;
    long long size = -1;
    if (GetFileAttributesExW(package, GetFileExInfoStandard, &data)) {
        size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    if (size != pin.size) {
        logger->error("package check failed: {} bytes, the build pins {}", size, pin.size);
        return false;
    }
    std::string sha = HashFileHex(BCRYPT_SHA256_ALGORITHM, package);
    if (sha != pin.sha256) {
        logger->error("package check failed: SHA-256 {}, the build pins {}", sha.empty() ? "(none)" : sha,
                      pin.sha256);
        return false;
    }
    logger->info("package check passed: SHA-256 {}", sha);
    return true;
}

// Why a pass failed, where another pass may do better.
enum class PassFault {
    Package,
    Extraction,
    RunningProgram,
    ManifestUnreadable,
    ManifestSignature,
    ManifestExpired,
    ManifestVersion,
};

const wchar_t* RetryText(PassFault fault)
{
    switch (fault) {
    case PassFault::Package: return L"安装包校验失败，正在重新下载";
    case PassFault::RunningProgram: return L"无法替换正在运行的程序，请先关闭它";
    case PassFault::ManifestUnreadable: return L"安装包签名文件无法读取，正在重新下载";
    case PassFault::ManifestSignature: return L"安装包签名无效，正在重新下载";
    case PassFault::ManifestExpired: return L"安装包签名已过期，正在重新下载";
    case PassFault::ManifestVersion: return L"安装包版本过旧，正在重新下载";
    default: return L"解压失败，正在重新下载";
    }
}

// What the user is told when the last pass failed too.
const wchar_t* StopText(PassFault fault)
{
    switch (fault) {
    case PassFault::Package: return L"安装失败：下载的安装包校验失败，请稍后重新运行安装程序（按 Esc 退出）";
    case PassFault::RunningProgram:
        return L"安装失败：无法替换正在运行的程序，请关闭它后重新运行安装程序（按 Esc 退出）";
    case PassFault::ManifestUnreadable:
        return L"安装失败：安装包签名文件无法读取，请稍后重新运行安装程序（按 Esc 退出）";
    case PassFault::ManifestSignature:
        return L"安装失败：安装包签名无效，请从官方渠道重新下载安装程序（按 Esc 退出）";
    case PassFault::ManifestExpired:
        return L"安装失败：安装包签名已过期，请检查系统时间后重新运行安装程序（按 Esc 退出）";
    case PassFault::ManifestVersion:
        return L"安装失败：服务器上的安装包版本过旧，请稍后重新运行安装程序（按 Esc 退出）";
    default: return L"安装失败：安装包无法解压，请稍后重新运行安装程序（按 Esc 退出）";
    }
}

struct PassEnd {
    enum Kind { Installed, Failed, Stopped } kind;
    PassFault fault = PassFault::Extraction;
};

// A download that brought no package to check. A pinned package's size
// passed is the wrong package, and another pass may find the right one; the
// rest stop the installation, told to the user here.
PassEnd DownloadFailed(HWND window, DownloadOutcome outcome, bool pinned)
{
    switch (outcome) {
    case DownloadOutcome::TooLarge:
        if (pinned) return {PassEnd::Failed, PassFault::Package};
        PostFailure(window, L"磁盘空间不足，安装已停止：安装包超过了磁盘的可用空间");
        break;
    case DownloadOutcome::CannotWrite:
        PostFailure(window, L"无法写入安装文件夹，安装已停止：请检查磁盘空间和写入权限");
        break;
    case DownloadOutcome::GaveUp:
        PostFailure(window, L"安装失败，请检查网络后重新运行安装程序（按 Esc 退出）");
        break;
    default:
        break;
    }
    return {PassEnd::Stopped};
}

// Checks, extracts and renames a downloaded package.
PassEnd InstallPackage(HWND window, const wchar_t* package, const PackagePin& pin)
{
    auto logger = MyLog::GetLogger();
    if (!PackageMatchesPin(package, pin)) {
        // Never extracted: the next pass fetches it again from byte 0.
        DeleteFileW(package);
        return {PassEnd::Failed, PassFault::Package};
    }
    // Into the staging folder: the installation stays as it is until every
    // file has arrived whole and the executables have their names.
    const StagedInstallPaths paths = StagedPaths(InstallSettings::installDir.GetData());
    // A swap an earlier pass could not undo whole is tried again first: its
    // backup is the old installation.
    if (RecoverInterruptedInstall(paths) == RecoveryOutcome::Failed) {
        logger->error("recovery: {}", RecoveryOutcomeText(RecoveryOutcome::Failed));
        return {PassEnd::Failed, PassFault::Extraction};
    }
    CreateDirectoryW(paths.staging.c_str(), nullptr);
    SetFileAttributesW(paths.staging.substr(0, paths.staging.size() - 1).c_str(), FILE_ATTRIBUTE_HIDDEN);
    ExtractFailure failure;
    int result = UnzipWidthProgress(package, paths.staging.c_str(), window, &failure);
    // The extraction works from inside its folder; the process's current
    // folder goes back to the installation's, where it was left before
    // staging (and a current folder cannot be removed).
    SetCurrentDirectoryW(paths.installDir.c_str());
    if (result != kUnzipOk) RemoveStagingLeftovers(paths);
    if (result == kUnzipCancelled) return {PassEnd::Stopped};
    ReportUnzipResult(window, result);
    if (result == kUnzipNotEnoughSpace) {
        // Another pass would only fetch the same bytes again.
        logger->error("not enough disk space: {}", failure.reason);
        wchar_t text[200];
        swprintf(text, 200, L"磁盘空间不足，安装已停止：需要 %lld MB，可用 %lld MB",
                 static_cast<long long>((failure.needed + 1048575) / 1048576),
                 static_cast<long long>(failure.available / 1048576));
        PostFailure(window, text);
        return {PassEnd::Stopped};
    }
    if (result != kUnzipOk) {
        if (!failure.entry.empty()) {
            logger->error(fmt::runtime(Text936("解压失败: {} ({})")), Text936(failure.entry.c_str()), failure.reason);
        }
        return {PassEnd::Failed, PassFault::Extraction};
    }
    std::wstring target;
    if (!RenameExecutablesIn(paths.staging, &target)) {
        logger->error("cannot name {} in the staging folder", Text936(target.c_str()));
        RemoveStagingLeftovers(paths);
        return {PassEnd::Failed, PassFault::Extraction};
    }
    const SwapOutcome swap = SwapStagedFiles(paths, &target);
    // A committed swap's backup and journal stay until the shortcuts, the
    // key, the report and the name file are done: until then the folder
    // says the installation is not finished.
    if (swap != SwapOutcome::Committed) RemoveStagingLeftovers(paths);
    switch (swap) {
    case SwapOutcome::Committed:
        return {PassEnd::Installed};
    case SwapOutcome::InUse:
        logger->error("cannot replace {} (the program may be running); nothing was changed", Text936(target.c_str()));
        return {PassEnd::Failed, PassFault::RunningProgram};
    case SwapOutcome::Refused:
        logger->error("the package holds a name the installer reserves: {}", Text936(target.c_str()));
        return {PassEnd::Failed, PassFault::Extraction};
    case SwapOutcome::Unwritten:
        logger->error("cannot write {} through to the disk; nothing was changed", Text936(target.c_str()));
        return {PassEnd::Failed, PassFault::Extraction};
    case SwapOutcome::RolledBack:
        break;
    }
    logger->error("could not move {} into place; the earlier installation was put back", Text936(target.c_str()));
    return {PassEnd::Failed, PassFault::Extraction};
}

// Seconds since 1970 (UTC) by the system clock.
int64_t UnixNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const int64_t ticks = (static_cast<int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / 10000000 - 11644473600LL;
}

// The manifest's checks, in order: it reads, a release key signed it, it has
// not expired, and its version is not below the build's floor. On success
// the pin it gives.
PassEnd CheckManifest(const std::string& file, const ManifestCheck& check, PackagePin* pin)
{
    auto logger = MyLog::GetLogger();
    SignedManifest envelope;
    PackageManifest manifest;
    std::string error;
    if (!ReadSignedManifest(file, &envelope, &error)) {
        logger->error("manifest check failed: unreadable ({})", error);
        return {PassEnd::Failed, PassFault::ManifestUnreadable};
    }
    const int signer = ManifestSigner(envelope.manifest, envelope.signature, check.keys);
    if (signer < 0) {
        logger->error("manifest check failed: signature (no release key of this build signed it)");
        return {PassEnd::Failed, PassFault::ManifestSignature};
    }
    if (!ReadPackageManifest(envelope.manifest, &manifest, &error)) {
        logger->error("manifest check failed: unreadable signed bytes ({})", error);
        return {PassEnd::Failed, PassFault::ManifestUnreadable};
    }
    const int64_t now = UnixNow();
    if (manifest.expires < now) {
        logger->error("manifest check failed: expired ({} s since 1970, the clock says {})", manifest.expires, now);
        return {PassEnd::Failed, PassFault::ManifestExpired};
    }
    if (manifest.version < check.versionFloor) {
        logger->error("manifest check failed: version {} is below this build's floor {}", manifest.version,
                      check.versionFloor);
        return {PassEnd::Failed, PassFault::ManifestVersion};
    }
    logger->info("manifest check passed: version {}, signed by release key {}, {} bytes, SHA-256 {}", manifest.version,
                 signer + 1, manifest.size, manifest.sha256);
    pin->sha256 = manifest.sha256;
    pin->size = manifest.size;
    return {PassEnd::Installed};
}

// Downloads, checks, extracts and renames, up to three passes. False when
// the installation stops here: cancelled, out of disk space, or every pass
// failed. Each failed pass is logged (with the entry or file at fault) and
// told to the user; so is the stop, with its cause. The package file goes
// with a stop: a full disk is never left behind.
bool DownloadExtractAndRename(HWND window, const InstallSequenceOptions& options)
{
    DownloadOptions download = options.download;
    const bool pinned = !options.pin.sha256.empty() && options.pin.size > 0;
    if (pinned) download.maxBytes = options.pin.size;
    wchar_t package[MAX_PATH] = {};
    struct PackageRemover {
        wchar_t* path;
        bool keep;
        ~PackageRemover()
        {
            if (!keep && path[0] != L'\0') DeleteFileW(path);
        }
    } remover{package, false};

    const bool signedManifest = !options.manifest.keys.empty();
    for (int pass = 1;; ++pass) {
        // The bar starts again with every pass.
        if (!ReportDownloadProgress(window, 0.0)) return false;
        // "Installed" until a check fails: nothing stands in the package's way.
        PassEnd end = {PassEnd::Installed};
        PackagePin pin = options.pin;
        if (signedManifest) {
            // The manifest first: it says which package to accept, and
            // bounds the download by its size.
            std::string file;
            const DownloadOutcome fetched = FetchManifest(window, options.download, &file);
            if (fetched == DownloadOutcome::Cancelled) return false;
            if (fetched == DownloadOutcome::Done) {
                end = CheckManifest(file, options.manifest, &pin);
            } else if (fetched == DownloadOutcome::TooLarge) {
                end = {PassEnd::Failed, PassFault::ManifestUnreadable};
            } else {
                end = DownloadFailed(window, fetched, true);
            }
            download.maxBytes = pin.size;
        }
        if (end.kind == PassEnd::Installed) {
            const DownloadOutcome got = SaveZipToDir(InstallSettings::installDir, package, window, download);
            if (got == DownloadOutcome::Cancelled) return false;
            if (got == DownloadOutcome::Done) {
                PostStatusText(window, L"SaveZipToDir finish");
                end = InstallPackage(window, package, pin);
            } else {
                end = DownloadFailed(window, got, pinned || signedManifest);
            }
        }
        if (end.kind == PassEnd::Installed) {
            remover.keep = true;
            return true;
        }
        if (end.kind == PassEnd::Stopped) return false;

        MyLog::GetLogger()->info(fmt::runtime(Text936("Unzip failed，redownload")));
        if (pass == kInstallPasses) {
            MyLog::GetLogger()->info(fmt::runtime(Text936("解压失败,安装中止")));
            PostFailure(window, StopText(end.fault));
            return false;
        }
        PostNotice(window, Attempt(RetryText(end.fault), pass + 1).c_str());
    }
}

}  // namespace

RenameOutcome RenameIfExists(const wchar_t* from, const wchar_t* to)
{
    if (GetFileAttributesW(from) == INVALID_FILE_ATTRIBUTES) return RenameOutcome::NotInPackage;
    // The fresh copy replaces what an earlier installation left: keeping the
    // old program would be an upgrade reported as done while nothing changed.
    if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return RenameOutcome::Renamed;
    return RenameOutcome::Failed;
}

bool RenameExecutables(std::wstring* failedTarget)
{
    return RenameExecutablesIn(InstallSettings::installDir.GetData(), failedTarget);
}

bool RenameExecutablesIn(const std::wstring& dir, std::wstring* failedTarget)
{
    for (const ExecutableRename& rename :
         PackagedExecutableRenames(InstallSettings::exeName.GetData(), InstallSettings::boxName.GetData())) {
        const std::wstring from = dir + rename.packaged;
        const std::wstring to = dir + rename.installed;
        if (RenameIfExists(from.c_str(), to.c_str()) == RenameOutcome::Failed) {
            if (failedTarget != nullptr) *failedTarget = to;
            return false;
        }
    }
    return true;
}

unsigned RunInstallSequence(HWND window, const InstallSequenceOptions& options)
{
    {
        ComApartment com;
        // What an earlier run left half done is finished or undone first.
        const RecoveryOutcome recovered = RecoverInterruptedInstall(StagedPaths(InstallSettings::installDir.GetData()));
        if (recovered != RecoveryOutcome::NothingFound) {
            auto level = recovered == RecoveryOutcome::Failed ? spdlog::level::err : spdlog::level::info;
            MyLog::GetLogger()->log(level, "recovery: {}", RecoveryOutcomeText(recovered));
        }
        if (!DownloadExtractAndRename(window, options)) return 0;
        PostStatusText(window, kStepFilesInPlace);
        PostStatusText(window, L"DeleteFile");
        CreateShortCut(window);
        PostStatusText(window, L"CreateShortCut");
        AddRegeditKeyAndValues();
        PostStatusText(window, L"AddRegeditKeyAndValues");
        ReportInstallation(options.apiServer.empty() ? std::string(kApiServer) : options.apiServer,
                           options.reportLimits);
        PostStatusText(window, L"incInstallNum");
    }
    // Here, not on the finish page: the window may be gone by now (the user
    // closed it during the report), and the installation is whole only with
    // its name file.
    SaveNameFile();
    CrashPoint("namefile");
    RemoveStagingLeftovers(StagedPaths(InstallSettings::installDir.GetData()));
    PostMessageW(window, WM_SETUP_FINISHED, 0, 0);
    return 0;
}

InstallSequenceOptions ShippedSequenceOptions()
{
    InstallSequenceOptions options;
    options.pin.sha256 = InstallSettings::packageSha256;
    options.pin.size = InstallSettings::packageSize;
    const std::vector<std::string>& urls = InstallSettings::packageUrls;
    if (!urls.empty()) {
        options.download.url = urls.front();
        options.download.mirrors.assign(urls.begin() + 1, urls.end());
    }
    options.apiServer = InstallSettings::reportUrl;
    options.manifest.keys = InstallSettings::releaseKeys;
    options.manifest.versionFloor = InstallSettings::packageVersionFloor;
    return options;
}

unsigned __stdcall InstallThreadProc(void* argument)
{
    return RunInstallSequence(static_cast<HWND>(argument), ShippedSequenceOptions());
}

namespace {

// What StartInstallThread hands its thread, which frees it.
struct SequenceStart {
    HWND window;
    InstallSequenceOptions options;
};

unsigned __stdcall StartedSequenceProc(void* argument)
{
    std::unique_ptr<SequenceStart> start(static_cast<SequenceStart*>(argument));
    return RunInstallSequence(start->window, start->options);
}

}  // namespace

HANDLE StartInstallThread(HWND window, const InstallSequenceOptions& options)
{
    cancelEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    auto start = std::make_unique<SequenceStart>(SequenceStart{window, options});
    auto thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, StartedSequenceProc, start.get(), 0, nullptr));
    if (thread != nullptr) start.release();  // the thread's now
    return thread;
}
