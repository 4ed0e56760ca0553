// An archive entry's name on its way to a file, through the real code of
// every step that needs no Windows:
//   - the check (install/ZipEntryName.h) in both forms: on the stored bytes,
//     and on the wide name as Windows decodes it (the bytes widened one to
//     one, as UTF-16 code units, as UTF-8 for flagged names, and as code
//     page 936 for the others);
//   - what a name the check lets through then means: folder entry or file
//     (EntryFileNamePart), and the folder levels that are made for it one by
//     one (NextFolderLevelEnd, as MakeDirectoryPath walks them);
//   - the names the packaged executables take from the name the user gives
//     the box (TrimBoxName and IsValidBoxName as the name page applies them,
//     PackagedExecutableRenames).
//
// The oracles hold the code to what Windows does with the result, modelled
// here on their own: a relative path joined onto the installation folder
// (both separators, "." stays, ".." and what Windows reads as ".." go up,
// trailing dots and spaces dropped, names compared without case), devices
// in any folder, drives and streams. No accepted name, folder level
// or executable name may resolve outside the folder, onto a device, onto the
// package being read or the log folder.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <type_traits>

#include "install/PackagedExecutables.h"
#include "install/ZipEntryName.h"
#include "windows/BoxName.h"

namespace {

[[noreturn]] void Fail(const char* what, std::string_view input)
{
    fprintf(stderr, "zip name oracle: %s (input of %zu bytes)\n", what, input.size());
    abort();
}

template <typename Char>
bool IsSeparator(Char c) { return c == Char('/') || c == Char('\\'); }

// Windows compares file and device names without case; of the names that
// matter here only ASCII letters have a case.
unsigned Upper(unsigned c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

template <typename Char>
unsigned Unit(Char c) { return static_cast<unsigned>(static_cast<std::make_unsigned_t<Char>>(c)); }

template <typename A, typename B>
bool SameName(std::basic_string_view<A> a, std::basic_string_view<B> b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(Unit(a[i])) != Upper(Unit(b[i]))) return false;
    return true;
}

template <typename Char>
bool SameName(std::basic_string_view<Char> a, const char* ascii) { return SameName(a, std::string_view(ascii)); }

template <typename Char>
std::basic_string_view<Char> WithoutTrailingDotsAndSpaces(std::basic_string_view<Char> component)
{
    while (!component.empty() && (component.back() == Char('.') || component.back() == Char(' ')))
        component.remove_suffix(1);
    return component;
}

// Windows opens a device for these base names (the part before the first
// dot, trailing spaces dropped) wherever they stand in a path.
template <typename Char>
bool OpensDevice(std::basic_string_view<Char> component)
{
    std::basic_string_view<Char> base = component.substr(0, component.find(Char('.')));
    while (!base.empty() && base.back() == Char(' ')) base.remove_suffix(1);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (SameName(base, device)) return true;
    if (base.size() == 4 && (SameName(base.substr(0, 3), "COM") || SameName(base.substr(0, 3), "LPT"))) {
        unsigned last = Unit(base[3]);
        return (last >= '1' && last <= '9') || last == 0xB9 || last == 0xB2 || last == 0xB3;
    }
    return false;
}

// Where Windows puts `name` relative to a folder: nowhere else, never onto
// a device, a drive or a stream; in the installation folder, not onto the
// package being read or the log folder either.
template <typename Char>
void CheckResolvesInside(std::basic_string_view<Char> name, std::string_view input, const char* what,
                         bool inInstallationFolder = true)
{
    if (name.empty() || IsSeparator(name.front())) Fail(what, input);
    for (Char c : name)
        if (c == Char(':') || c == Char(0)) Fail(what, input);
    long depth = 0;
    bool first = true;
    size_t start = 0;
    while (start < name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        std::basic_string_view<Char> raw = name.substr(start, end - start);
        std::basic_string_view<Char> component = WithoutTrailingDotsAndSpaces(raw);
        if (raw.size() == 1 && raw[0] == Char('.')) {
            // stays
        } else if (component.empty()) {
            // "..", "...", ". ." and an empty step all read as going up:
            // the stricter reading.
            if (--depth < 0) Fail(what, input);
        } else {
            if (OpensDevice(component)) Fail(what, input);
            if (inInstallationFolder && first && (SameName(component, "temp.zip") || SameName(component, "logs")))
                Fail(what, input);
            ++depth;
        }
        first = false;
        start = end + 1;
    }
}

// What the extraction does with an accepted name, and the oracles on it.
template <typename Char>
void FollowAcceptedName(std::basic_string_view<Char> name, std::string_view input)
{
    CheckResolvesInside(name, input, "accepted name resolves outside");

    const size_t part = EntryFileNamePart(name);
    if (part > name.size() || (part > 0 && !IsSeparator(name[part - 1]))) Fail("file-name part misplaced", input);
    for (size_t i = part; i < name.size(); ++i)
        if (IsSeparator(name[i])) Fail("separator in the file-name part", input);
    const bool folder = part == name.size();
    if (folder != IsSeparator(name.back())) Fail("folder entry decided wrongly", input);
    // Alone, the file name stands first, where "temp.zip" and "logs" are
    // kept for the installer; every other rule holds for it as a part.
    const EntryNameProblem alone = folder ? EntryNameProblem::None : CheckEntryName(name.substr(part));
    if (alone != EntryNameProblem::None && alone != EntryNameProblem::Reserved) Fail("file name refused alone", input);

    // The folders made for the entry: the entry itself, or its parents.
    std::basic_string_view<Char> folders = folder ? name : name.substr(0, part > 0 ? part - 1 : 0);
    if (folders.empty()) return;
    if (folders.back() == Char('/')) folders.remove_suffix(1);  // as MakeDirectoryPath drops it
    // Every level's end; the first and the last few levels in full (all of
    // them made each input quadratic in the name's length).
    size_t levels = 0, previous = 0;
    for (size_t end = NextFolderLevelEnd(folders, 0);; end = NextFolderLevelEnd(folders, end)) {
        if (end > folders.size() || (end < folders.size() && !IsSeparator(folders[end])))
            Fail("folder level ends inside a component", input);
        if (levels > 0 && end <= previous) Fail("folder levels do not advance", input);
        std::basic_string_view<Char> level = folders.substr(0, end);
        if (++levels <= 4 || folders.size() - end < 16) {
            if (CheckEntryName(level) != EntryNameProblem::None) Fail("folder level of an accepted name refused", input);
            CheckResolvesInside(level, input, "folder level resolves outside");
        }
        if (end == folders.size()) break;
        previous = end;
    }
}

// Decodings a Windows system may produce for the stored bytes.

std::wstring Widened(std::string_view bytes)
{
    std::wstring wide;
    for (char c : bytes) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

// Little-endian UTF-16 code units: any wide name a decoder can hand over.
std::wstring CodeUnits(std::string_view bytes)
{
    std::wstring wide;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    return wide;
}

// UTF-8 to UTF-16 as MultiByteToWideChar does it without
// MB_ERR_INVALID_CHARS: each ill-formed byte becomes U+FFFD (overlong forms
// and surrogates included, so no '/' or '.' can hide in them).
std::wstring FromUtf8(std::string_view bytes)
{
    std::wstring wide;
    for (size_t i = 0; i < bytes.size();) {
        const unsigned lead = static_cast<unsigned char>(bytes[i]);
        size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                      : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
        unsigned code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length != 0 && i + length <= bytes.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const unsigned next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) valid = false;
            code = code << 6 | (next & 0x3F);
        }
        if (valid && ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
                      (code >= 0xD800 && code <= 0xDFFF)))
            valid = false;
        if (!valid) {
            wide += wchar_t(0xFFFD);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            wide += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(code);
        }
        i += length;
    }
    return wide;
}

// Code page 936 by its structure, not its table: a lead byte 0x81-0xFE and
// a trail byte 0x40-0xFE (not 0x7F) make one character outside ASCII (here
// a CJK one), whatever the trail byte looks like in ASCII ('\', '|', letters);
// an unpaired lead byte becomes the default character '?'.
std::wstring FromCodePage936(std::string_view bytes)
{
    std::wstring wide;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            wide += static_cast<wchar_t>(byte);
        } else if (byte == 0x80) {
            wide += wchar_t(0x20AC);
        } else if (byte == 0xFF) {
            wide += wchar_t('?');
        } else if (i + 1 < bytes.size() && static_cast<unsigned char>(bytes[i + 1]) >= 0x40 &&
                   static_cast<unsigned char>(bytes[i + 1]) <= 0xFE && bytes[i + 1] != 0x7F) {
            const unsigned trail = static_cast<unsigned char>(bytes[++i]);
            wide += static_cast<wchar_t>(0x4E00 + ((byte - 0x81) * 191 + (trail - 0x40)) % 0x51A6);
        } else {
            wide += wchar_t('?');
        }
    }
    return wide;
}

// The name page keeps the typed name trimmed when IsValidBoxName accepts it;
// the installation folder is then "C:\Program Files\" + name + "\" and the
// main program name + ".exe" (SetNameWnd::ValidateAndSaveName).
void FollowBoxName(const std::wstring& typed, std::string_view input)
{
    const std::wstring name = TrimBoxName(typed);
    if (!IsValidBoxName(name)) return;
    CheckResolvesInside(std::wstring_view(name), input, "box name makes an unusable folder", false);
    const auto renames = PackagedExecutableRenames(name + L".exe", name);
    for (size_t i = 0; i < renames.size(); ++i) {
        std::wstring_view installed = renames[i].installed;
        CheckResolvesInside(installed, input, "executable renamed to an unusable name");
        if (CheckEntryName(installed) != EntryNameProblem::None || EntryFileNamePart(installed) != 0)
            Fail("executable renamed to a name no entry could have", input);
        // A rename must not replace a file a later one still moves, nor one
        // an earlier one put in place.
        for (size_t k = i + 1; k < renames.size(); ++k) {
            if (SameName(installed, std::wstring_view(renames[k].packaged)))
                Fail("executable renamed over one still to be renamed", input);
            if (SameName(installed, std::wstring_view(renames[k].installed)))
                Fail("two executables renamed to one name", input);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const EntryNameProblem problem = CheckEntryName(bytes);
    const char* description = DescribeEntryNameProblem(problem);
    if (description == nullptr || *description == '\0' || std::string_view(description) == "unknown")
        Fail("problem without a description", bytes);

    // Widened byte for byte, the wide form must come to the same verdict.
    const std::wstring widened = Widened(bytes);
    if (CheckEntryName(std::wstring_view(widened)) != problem) Fail("wide and byte forms disagree", bytes);

    if (problem == EntryNameProblem::None) {
        if (size >= kMaxEntryNameBytes) Fail("name too long accepted", bytes);
        FollowAcceptedName(bytes, bytes);
        FollowAcceptedName(std::wstring_view(widened), bytes);
    }

    // Names in code page 936: the byte form may be stricter than the decoded
    // one (a trail byte 0x5C reads as '\'), never laxer.
    const std::wstring ansi = FromCodePage936(bytes);
    const EntryNameProblem ansiProblem = CheckEntryName(std::wstring_view(ansi));
    if (problem == EntryNameProblem::None && ansiProblem != EntryNameProblem::None)
        Fail("byte form laxer than the decoded name", bytes);
    if (ansiProblem == EntryNameProblem::None) FollowAcceptedName(std::wstring_view(ansi), bytes);

    // UTF-8 names and raw code units are checked only in their decoded form.
    const std::wstring utf8 = FromUtf8(bytes);
    if (CheckEntryName(std::wstring_view(utf8)) == EntryNameProblem::None) FollowAcceptedName(std::wstring_view(utf8), bytes);
    const std::wstring units = CodeUnits(bytes);
    if (CheckEntryName(std::wstring_view(units)) == EntryNameProblem::None) FollowAcceptedName(std::wstring_view(units), bytes);

    FollowBoxName(utf8, bytes);
    return 0;
}
