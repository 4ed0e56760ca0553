#pragma once
// The rules by which the wizard turns a picked or typed folder into the
// installation directory, and the words it has for a folder it could not
// create.

#include <windows.h>

#include <string>

// `path` with `appName` appended as a last component unless its last
// component already is that name (as the file system compares names), and
// with a trailing backslash. A root always gets the name appended. The result is
// bounded like the shell's path buffers (260 characters); a longer one comes
// back empty, since a cut path would name another folder.
std::wstring ComposeInstallDir(const std::wstring& path, const std::wstring& appName);

// What 确认 on the directory page does with the folder in its field, and
// what an unattended installation does with /D's folder or the proposed
// one: composes the installation directory (ComposeInstallDir, into `dir`,
// empty when too long) and makes sure it stands as a folder, creating it with
// the shell (every missing level, without any window of the shell's). 0 when
// it is ready; otherwise the Windows error code: a path too
// long (ERROR_FILENAME_EXCED_RANGE), one that is not a whole path from a
// drive's root or a share (ERROR_BAD_PATHNAME: where the installer was
// started says nothing about where to install, the extraction moves the
// current directory midway, and shortcuts to such a path lead nowhere; this
// takes "C:Apps" and "\Apps" too), a file of that name
// (ERROR_DIRECTORY: never installed into), what the shell's creation gave,
// or, for a folder that stands or was just made, why no file can be made in
// it (ERROR_ACCESS_DENIED, ERROR_WRITE_PROTECT: a read-only disk).
int MakeInstallDir(const std::wstring& path, const std::wstring& appName, std::wstring* dir);

// The folder the picker opens at for `path` (the folder field's text): the
// path itself, or its nearest parent, that stands as a folder; empty when
// none does (a relative path, a drive that is not there).
std::wstring NearestExistingFolder(const std::wstring& path);

// Why a folder could not be used, in the words of the prompt: what the user
// can do about it, and the error code where no better words fit.
std::wstring DescribeCreateDirError(int code);
