#pragma once
// The test an archive entry's stored name must pass before anything is
// written for it: the name is later used as a path relative to the
// installation directory, so it must not be able to lead anywhere else.
//
// The installer checks the decoded wide name, which is what the file
// functions see. The byte form checks the stored bytes and treats both '/'
// and '\' as separators: in code page 936 a second byte of a double-byte
// character may be 0x5C ('\'), which Windows reads as part of the
// character, so splitting there only finds more separators than Windows
// does. Its verdict can be stricter than needed, never laxer.

#include <cstddef>
#include <string_view>

enum class EntryNameProblem {
    None,
    Empty,
    TooLong,          // does not fit the 256-byte name buffer with its terminator
    EmbeddedNul,      // the name the file functions would see differs from the stored one
    Absolute,         // "/x", "\x", UNC "\\server\share", "\\?\..." and "\\.\..."
    DriveOrStream,    // "C:x", "C:\x", "file:stream": no ':' belongs in a relative name
    EmptyComponent,   // "a//b"
    DotComponent,     // ".", "..", "...", ". ." (Windows drops trailing dots and spaces)
    DeviceName,       // "CON", "nul.txt", "dir/COM1" ...: opens a device, not a file
    Reserved,         // "temp.zip", "logs/...": the archive being read and the log being written
};

// Names of this many bytes or more are refused rather than cut short.
constexpr size_t kMaxEntryNameBytes = 256;

EntryNameProblem CheckEntryName(std::string_view name);
// The same rules for a name already decoded (UTF-16 on Windows): the way it
// is checked where the name file functions will see it.
EntryNameProblem CheckEntryName(std::wstring_view name);

const char* DescribeEntryNameProblem(EntryNameProblem problem);
