#pragma once
// Installing without a moment of half an installation. The package is
// extracted into a staging folder inside the installation folder (entry
// names can never reach its reserved name), checked and renamed there; then
// a journal records the files to replace and the new ones, and each file
// moves in two steps: the old one into a backup folder, the staged one into
// its place. A failure before the journal says "committed" puts every old
// file back and removes every new one. A run that ended half way (a power
// cut, a killed process) leaves the journal, and the next run finishes or
// undoes what it says before anything else.
//
// The journal is written to a temporary file, flushed, then moved over the
// old one in one step, so it is always one whole version or the other.

#include <windows.h>

#include <string>
#include <vector>

struct StagedInstallPaths {
    std::wstring installDir;  // with its trailing backslash
    std::wstring staging;     // each with a trailing backslash
    std::wstring backup;
    std::wstring journal;     // a file
};

// The reserved names inside `installDir` (which ends with a backslash).
StagedInstallPaths StagedPaths(const std::wstring& installDir);

// True for a top-level name the staging machinery reserves (any case).
bool IsReservedInstallName(const std::wstring& name);

enum class JournalPhase { Staged, Swapping, Committed };

struct JournalEntry {
    bool replaces = false;  // an old file goes to the backup first
    std::wstring path;      // relative to the installation folder
};

struct InstallJournal {
    JournalPhase phase = JournalPhase::Staged;
    std::vector<JournalEntry> files;  // in the order they move
};

// The journal's text: a first line that names the format, the phase, then
// one line a file ("R <path>" replaced, "N <path>" new).
std::wstring FormatJournal(const InstallJournal& journal);
bool ParseJournal(const std::wstring& text, InstallJournal* journal);

bool WriteJournal(const StagedInstallPaths& paths, const InstallJournal& journal);
bool ReadJournal(const StagedInstallPaths& paths, InstallJournal* journal);

enum class SwapOutcome {
    Committed,  // every staged file in place; the journal says so
    InUse,      // a file to replace is held open (a running program): nothing moved
    Refused,    // the staged tree holds a reserved name: nothing moved
    Unwritten,  // a staged file could not be flushed to the disk: nothing moved
    RolledBack  // a move failed; the old installation is back as it was
};

// How many staged files are flushed to the disk at once: each flush waits
// for the disk, and the waits of several overlap.
constexpr unsigned kStagedFlushThreads = 4;

// Every staged file written through to the disk (FlushFileBuffers), with
// `threads` at once (0: none; 1: one after the other). False, with the
// file named, when one could not be opened or flushed.
bool FlushStagedFiles(const StagedInstallPaths& paths, unsigned threads, std::wstring* culprit = nullptr);

// Moves the staged files into place as described above, once each is on
// the disk (a power cut after the swap must not leave the new files empty).
// `culprit` names the file at fault when it is not Committed.
SwapOutcome SwapStagedFiles(const StagedInstallPaths& paths, std::wstring* culprit = nullptr,
                            unsigned flushThreads = kStagedFlushThreads);

// Puts back what the journal's swap had moved, newest first, as far as it
// went: old files from the backup, new files away. Then removes staging,
// backup and journal. False when a file could not be put back (the journal
// stays for the next run).
bool RollBackSwap(const StagedInstallPaths& paths, const InstallJournal& journal);

// Removes the staging and backup folders and the journal (the backup only
// once the journal says committed: until then it is the old installation).
void RemoveStagingLeftovers(const StagedInstallPaths& paths);

enum class RecoveryOutcome { NothingFound, StagingRemoved, Completed, RolledBack, Failed };
// What a run that ended half way left, finished or undone. Safe to run
// again after an interruption of its own.
RecoveryOutcome RecoverInterruptedInstall(const StagedInstallPaths& paths);
const char* RecoveryOutcomeText(RecoveryOutcome outcome);
