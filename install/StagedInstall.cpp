#include "install/StagedInstall.h"

#include <atomic>
#include <cwctype>

#include "install/CrashPoint.h"

namespace {

constexpr const wchar_t* kStagingName = L".box-staging";
constexpr const wchar_t* kBackupName = L".box-backup";
constexpr const wchar_t* kJournalName = L".box-journal";
constexpr const wchar_t* kJournalFormat = L"box install journal 1";

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Every folder on the way to `path` (a file's path), from `root` (which
// ends with a backslash, and is made too) down.
void MakeParents(const std::wstring& root, const std::wstring& path)
{
    for (size_t at = path.find(L'\\', root.size() - 1); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
}

// Folders left empty by files taken away, up to (not including) `root`.
void RemoveEmptyParents(const std::wstring& root, std::wstring path)
{
    for (size_t at = path.rfind(L'\\'); at != std::wstring::npos && at >= root.size(); at = path.rfind(L'\\')) {
        path.resize(at);
        if (!RemoveDirectoryW(path.c_str())) break;
    }
}

bool MoveThrough(const std::wstring& from, const std::wstring& to)
{
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

void DeleteTree(const std::wstring& folder)  // folder ends with a backslash
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + name;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                DeleteTree(path + L"\\");
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.substr(0, folder.size() - 1).c_str());
}

// The files under `root` + `relative`, as paths relative to `root`.
void ListFiles(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>* files)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((root + relative + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ListFiles(root, relative + name + L"\\", files);
        } else {
            files->push_back(relative + name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Whether the file can be moved away now: a handle that does not share
// deletion (a running program's image) makes this open fail.
bool CanBeMoved(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool WriteWhole(const std::wstring& path, const std::wstring& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const wchar_t bom = 0xFEFF;
    std::wstring bytes = std::wstring(1, bom) + text;
    DWORD size = static_cast<DWORD>(bytes.size() * sizeof(wchar_t)), written = 0;
    bool ok = WriteFile(file, bytes.data(), size, &written, nullptr) && written == size && FlushFileBuffers(file);
    CloseHandle(file);
    return ok;
}

}  // namespace

StagedInstallPaths StagedPaths(const std::wstring& installDir)
{
    StagedInstallPaths paths;
    paths.installDir = installDir;
    if (!paths.installDir.empty() && paths.installDir.back() != L'\\') paths.installDir += L'\\';
    paths.staging = paths.installDir + kStagingName + L"\\";
    paths.backup = paths.installDir + kBackupName + L"\\";
    paths.journal = paths.installDir + kJournalName;
    return paths;
}

bool IsReservedInstallName(const std::wstring& name)
{
    std::wstring folded = name;
    for (wchar_t& c : folded) c = static_cast<wchar_t>(towlower(c));
    // The system ignores trailing dots and spaces in names.
    while (!folded.empty() && (folded.back() == L'.' || folded.back() == L' ')) folded.pop_back();
    return folded == kStagingName || folded == kBackupName || folded == kJournalName ||
           folded == std::wstring(kJournalName) + L".tmp";
}

std::wstring FormatJournal(const InstallJournal& journal)
{
    std::wstring text = kJournalFormat;
    text += journal.phase == JournalPhase::Committed ? L"\nphase committed"
            : journal.phase == JournalPhase::Swapping ? L"\nphase swapping"
                                                      : L"\nphase staged";
    for (const JournalEntry& entry : journal.files) {
        text += entry.replaces ? L"\nR " : L"\nN ";
        text += entry.path;
    }
    text += L"\n";
    return text;
}

bool ParseJournal(const std::wstring& text, InstallJournal* journal)
{
    InstallJournal parsed;
    size_t start = 0;
    int line = 0;
    bool phaseSeen = false;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) return false;  // every line ends: a cut file is refused
        std::wstring row = text.substr(start, end - start);
        start = end + 1;
        if (line++ == 0) {
            if (row != kJournalFormat) return false;
            continue;
        }
        if (row == L"phase staged" || row == L"phase swapping" || row == L"phase committed") {
            if (phaseSeen) return false;
            phaseSeen = true;
            parsed.phase = row == L"phase committed" ? JournalPhase::Committed
                           : row == L"phase swapping" ? JournalPhase::Swapping
                                                      : JournalPhase::Staged;
        } else if (row.size() > 2 && (row[0] == L'R' || row[0] == L'N') && row[1] == L' ' && phaseSeen) {
            JournalEntry entry;
            entry.replaces = row[0] == L'R';
            entry.path = row.substr(2);
            // Relative, inside the folder, never into the reserved names.
            if (entry.path.find(L':') != std::wstring::npos || entry.path.find(L'/') != std::wstring::npos ||
                IsReservedInstallName(entry.path.substr(0, entry.path.find(L'\\')))) {
                return false;
            }
            for (size_t from = 0;;) {
                size_t to = entry.path.find(L'\\', from);
                std::wstring part = entry.path.substr(from, to == std::wstring::npos ? std::wstring::npos : to - from);
                if (part.empty() || part == L"." || part == L"..") return false;
                if (to == std::wstring::npos) break;
                from = to + 1;
            }
            parsed.files.push_back(std::move(entry));
        } else {
            return false;
        }
    }
    if (!phaseSeen) return false;
    *journal = std::move(parsed);
    return true;
}

bool WriteJournal(const StagedInstallPaths& paths, const InstallJournal& journal)
{
    const std::wstring temporary = paths.journal + L".tmp";
    if (!WriteWhole(temporary, FormatJournal(journal))) return false;
    return MoveFileExW(temporary.c_str(), paths.journal.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
           FALSE;
}

bool ReadJournal(const StagedInstallPaths& paths, InstallJournal* journal)
{
    HANDLE file = CreateFileW(paths.journal.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart >= 2 && size.QuadPart < (64 << 20) && size.QuadPart % 2 == 0;
    std::wstring text;
    if (ok) {
        text.resize(static_cast<size_t>(size.QuadPart / 2));
        DWORD read = 0;
        ok = ReadFile(file, &text[0], static_cast<DWORD>(size.QuadPart), &read, nullptr) && read == size.QuadPart;
    }
    CloseHandle(file);
    if (!ok || text[0] != 0xFEFF) return false;
    return ParseJournal(text.substr(1), journal);
}

bool RollBackSwap(const StagedInstallPaths& paths, const InstallJournal& journal)
{
    bool whole = true;
    for (auto it = journal.files.rbegin(); it != journal.files.rend(); ++it) {
        const std::wstring target = paths.installDir + it->path;
        const std::wstring staged = paths.staging + it->path;
        const std::wstring saved = paths.backup + it->path;
        if (it->replaces) {
            // Not in the backup: its old file never moved.
            if (!Exists(saved)) continue;
            if (Exists(target)) {
                MakeParents(paths.staging, staged);
                if (!MoveThrough(target, staged) && !DeleteFileW(target.c_str())) {
                    whole = false;
                    continue;
                }
            }
            MakeParents(paths.installDir, target);
            if (!MoveThrough(saved, target)) whole = false;
            CrashPoint("rollback", it->path.c_str());
        } else if (!Exists(staged) && Exists(target)) {
            // Moved in: the new file goes away again, with folders it made.
            MakeParents(paths.staging, staged);
            if (!MoveThrough(target, staged) && !DeleteFileW(target.c_str())) {
                whole = false;
                continue;
            }
            RemoveEmptyParents(paths.installDir, target);
            CrashPoint("rollback", it->path.c_str());
        }
    }
    if (whole) {
        DeleteTree(paths.staging);
        DeleteTree(paths.backup);
        DeleteFileW((paths.journal + L".tmp").c_str());
        DeleteFileW(paths.journal.c_str());
    }
    return whole;
}

namespace {

// The flushes' shared state: the next file to take, and the first failure
// (named by the one thread that set `failed`, read once all have ended).
struct FlushWork {
    const std::wstring* staging = nullptr;
    const std::vector<std::wstring>* files = nullptr;
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::wstring culprit;
};

DWORD WINAPI FlushFiles(void* argument)
{
    auto* work = static_cast<FlushWork*>(argument);
    for (size_t i = work->next++; i < work->files->size() && !work->failed; i = work->next++) {
        const std::wstring path = *work->staging + (*work->files)[i];
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool flushed = file != INVALID_HANDLE_VALUE && FlushFileBuffers(file);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        if (!flushed && !work->failed.exchange(true)) work->culprit = path;
    }
    return 0;
}

// `files` (relative to the staging folder), flushed `threads` at once.
bool FlushListed(const std::wstring& staging, const std::vector<std::wstring>& files, unsigned threads,
                 std::wstring* culprit)
{
    if (threads == 0) return true;
    FlushWork work;
    work.staging = &staging;
    work.files = &files;
    // Plain system threads, ended and closed before this returns.
    std::vector<HANDLE> helpers;
    for (unsigned i = 1; i < threads && i < files.size(); ++i) {
        HANDLE helper = CreateThread(nullptr, 0, FlushFiles, &work, 0, nullptr);
        if (helper != nullptr) helpers.push_back(helper);
    }
    FlushFiles(&work);
    if (!helpers.empty()) WaitForMultipleObjects(static_cast<DWORD>(helpers.size()), helpers.data(), TRUE, INFINITE);
    for (HANDLE helper : helpers) CloseHandle(helper);
    if (work.failed && culprit != nullptr) *culprit = work.culprit;
    return !work.failed;
}

}  // namespace

bool FlushStagedFiles(const StagedInstallPaths& paths, unsigned threads, std::wstring* culprit)
{
    std::vector<std::wstring> files;
    if (threads != 0) ListFiles(paths.staging, L"", &files);
    return FlushListed(paths.staging, files, threads, culprit);
}

SwapOutcome SwapStagedFiles(const StagedInstallPaths& paths, std::wstring* culprit, unsigned flushThreads)
{
    std::vector<std::wstring> files;
    ListFiles(paths.staging, L"", &files);
    InstallJournal journal;
    for (const std::wstring& file : files) {
        if (IsReservedInstallName(file.substr(0, file.find(L'\\')))) {
            if (culprit != nullptr) *culprit = file;
            return SwapOutcome::Refused;
        }
        JournalEntry entry;
        entry.path = file;
        entry.replaces = Exists(paths.installDir + file);
        journal.files.push_back(std::move(entry));
    }
    // Before anything moves: every file to replace can be moved away.
    for (const JournalEntry& entry : journal.files) {
        const std::wstring target = paths.installDir + entry.path;
        if (entry.replaces && (IsDirectory(target) || !CanBeMoved(target))) {
            if (culprit != nullptr) *culprit = target;
            return SwapOutcome::InUse;
        }
    }
    if (!FlushListed(paths.staging, files, flushThreads, culprit)) return SwapOutcome::Unwritten;
    journal.phase = JournalPhase::Swapping;
    if (!WriteJournal(paths, journal)) {
        if (culprit != nullptr) *culprit = paths.journal;
        return SwapOutcome::RolledBack;
    }
    for (const JournalEntry& entry : journal.files) {
        const std::wstring target = paths.installDir + entry.path;
        const std::wstring saved = paths.backup + entry.path;
        bool moved = true;
        if (entry.replaces) {
            MakeParents(paths.backup, saved);
            moved = MoveThrough(target, saved);
            if (moved) CrashPoint("swap-saved", entry.path.c_str());
        }
        if (moved) {
            MakeParents(paths.installDir, target);
            moved = !CrashPoint("swap-placing", entry.path.c_str()) && MoveThrough(paths.staging + entry.path, target);
            if (moved) CrashPoint("swap-placed", entry.path.c_str());
        }
        if (!moved) {
            if (culprit != nullptr) *culprit = target;
            RollBackSwap(paths, journal);
            return SwapOutcome::RolledBack;
        }
    }
    journal.phase = JournalPhase::Committed;
    if (!WriteJournal(paths, journal)) {
        // Every file is in place; without the mark a later run would undo
        // them. Undo now instead, and say so.
        if (culprit != nullptr) *culprit = paths.journal;
        RollBackSwap(paths, journal);
        return SwapOutcome::RolledBack;
    }
    CrashPoint("committed");
    return SwapOutcome::Committed;
}

void RemoveStagingLeftovers(const StagedInstallPaths& paths)
{
    InstallJournal journal;
    const bool journalled = ReadJournal(paths, &journal);
    DeleteTree(paths.staging);
    CrashPoint("cleanup");
    // Until the journal says committed the backup is the old installation.
    if (!journalled || journal.phase == JournalPhase::Committed) DeleteTree(paths.backup);
    DeleteFileW((paths.journal + L".tmp").c_str());
    if (!journalled || journal.phase == JournalPhase::Committed) DeleteFileW(paths.journal.c_str());
}

RecoveryOutcome RecoverInterruptedInstall(const StagedInstallPaths& paths)
{
    DeleteFileW((paths.journal + L".tmp").c_str());
    if (!Exists(paths.journal)) {
        // Staging without a journal: the run ended before anything moved.
        if (!Exists(paths.staging) && !Exists(paths.backup)) return RecoveryOutcome::NothingFound;
        DeleteTree(paths.staging);
        if (Exists(paths.backup)) return RecoveryOutcome::Failed;  // never without a journal: left for a person
        return RecoveryOutcome::StagingRemoved;
    }
    InstallJournal journal;
    if (!ReadJournal(paths, &journal)) return RecoveryOutcome::Failed;
    if (journal.phase == JournalPhase::Committed) {
        RemoveStagingLeftovers(paths);
        return RecoveryOutcome::Completed;
    }
    return RollBackSwap(paths, journal) ? RecoveryOutcome::RolledBack : RecoveryOutcome::Failed;
}

const char* RecoveryOutcomeText(RecoveryOutcome outcome)
{
    switch (outcome) {
    case RecoveryOutcome::NothingFound: return "nothing left by an earlier run";
    case RecoveryOutcome::StagingRemoved: return "an earlier run ended before its swap: its staging folder removed";
    case RecoveryOutcome::Completed: return "an earlier run had committed its swap: its leftovers removed";
    case RecoveryOutcome::RolledBack: return "an earlier run ended during its swap: the old installation put back";
    case RecoveryOutcome::Failed: return "an earlier run's journal could not be carried out: left as it is";
    }
    return "";
}
