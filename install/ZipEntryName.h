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
// does. For names in code page 936 or 1252 its verdict can be stricter than
// needed, never laxer. A UTF-8 name is checked only once decoded: its bytes
// spell "COM¹" as "COM\xC2\xB9", which the byte form takes for an ordinary
// name.

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

// Whether Windows opens a device for a path component of this name ("CON",
// "nul.txt", "COM1 .log") in whatever folder it stands: the rule the check
// applies to every component, for other names that end up in a path (the
// box name the user types).
bool IsDeviceName(std::wstring_view component);

// What a checked name means on the way to the file system. Both separators
// count, as for the check.

// Where the file-name part starts: after the last separator, or 0. An entry
// whose part is empty (the name ends with a separator) is a folder entry:
// a folder is made for it and nothing is written.
size_t EntryFileNamePart(std::string_view name);
size_t EntryFileNamePart(std::wstring_view name);

// The levels of a folder path, shallowest first, as they are made one by one
// when its parents may be missing: from the end of one level (0 to start)
// to the end of the next, at the next separator after the first character
// or at the end of the path. A separator in front starts no level of its
// own; the last level is the whole path.
size_t NextFolderLevelEnd(std::string_view path, size_t previousEnd);
size_t NextFolderLevelEnd(std::wstring_view path, size_t previousEnd);
