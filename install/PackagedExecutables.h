#pragma once
// The executables a package carries under the product's own names, and the
// names they take in the installation folder: the main program the name
// the user chose for it, the other two the box name with a letter. Pure, so
// that the names can be checked (and fuzzed) without Windows; the renaming
// itself is RenameExecutables (install/InstallSequence.h).

#include <array>
#include <string>
#include <string_view>

struct ExecutableRename {
    const wchar_t* packaged;  // as the package stores it, relative to the installation folder
    std::wstring installed;   // likewise
};

// Corvina.exe becomes `exeName`, CorvinaMain.exe `boxName` + "M.exe" and
// CvnBrowserAide.exe `boxName` + "A.exe", renamed in this order.
std::array<ExecutableRename, 3> PackagedExecutableRenames(std::wstring_view exeName, std::wstring_view boxName);
