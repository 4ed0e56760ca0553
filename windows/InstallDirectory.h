#pragma once
// The rules by which the wizard turns a picked or typed folder into the
// installation directory, and the words it has for a folder it could not
// create.

#include <string>

// `path` with `appName` appended as a last component unless its last
// component already is that name (as the file system compares names), and
// with a trailing backslash. A root always gets the name appended. The result is
// bounded like the shell's path buffers (260 characters); a longer one comes
// back empty, since a cut path would name another folder.
std::wstring ComposeInstallDir(const std::wstring& path, const std::wstring& appName);

// English description of a directory-creation error code; empty for codes
// with no description (0 included).
const wchar_t* DescribeCreateDirError(int code);
