#include "install/ZipEntryName.h"

#include <type_traits>

namespace {

template <typename Char>
bool IsSeparator(Char c) { return c == Char('/') || c == Char('\\'); }

template <typename Char>
Char Lower(Char c) { return (c >= Char('A') && c <= Char('Z')) ? static_cast<Char>(c - Char('A') + Char('a')) : c; }

// The code unit's value, bytes taken as unsigned: the checks compare with
// Latin-1 values, which are the same in code page 1252 and in UTF-16.
template <typename Char>
unsigned Unit(Char c) { return static_cast<unsigned>(static_cast<std::make_unsigned_t<Char>>(c)); }

// `b` is ASCII.
template <typename Char>
bool EqualsNoCase(std::basic_string_view<Char> a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != static_cast<Char>(Lower(b[i]))) return false;
    return true;
}

template <typename Char>
std::basic_string_view<Char> TrimTrailing(std::basic_string_view<Char> text, std::string_view what)
{
    while (!text.empty() && Unit(text.back()) < 0x80 && what.find(static_cast<char>(text.back())) != std::string_view::npos)
        text.remove_suffix(1);
    return text;
}

// Windows maps these names to devices in every folder and with any extension
// ("con.txt", "NUL .zip"), so only the part before the first dot counts.
template <typename Char>
bool IsDevice(std::basic_string_view<Char> component)
{
    std::basic_string_view<Char> base = TrimTrailing(component.substr(0, component.find(Char('.'))), " ");
    static constexpr std::string_view kFixed[] = {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"};
    for (std::string_view device : kFixed)
        if (EqualsNoCase(base, device)) return true;
    if (base.size() == 4 && (EqualsNoCase(base.substr(0, 3), "com") || EqualsNoCase(base.substr(0, 3), "lpt"))) {
        // Digits, and the superscripts 1, 2, 3 (code page 1252 bytes, and the
        // same values in UTF-16) that Windows also accepts there.
        unsigned last = Unit(base[3]);
        return (last >= '0' && last <= '9') || last == 0xB9 || last == 0xB2 || last == 0xB3;
    }
    return false;
}

template <typename Char>
EntryNameProblem Check(std::basic_string_view<Char> name)
{
    if (name.empty()) return EntryNameProblem::Empty;
    if (name.size() >= kMaxEntryNameBytes) return EntryNameProblem::TooLong;
    if (name.find(Char(0)) != std::basic_string_view<Char>::npos) return EntryNameProblem::EmbeddedNul;
    if (IsSeparator(name.front())) return EntryNameProblem::Absolute;
    if (name.find(Char(':')) != std::basic_string_view<Char>::npos) return EntryNameProblem::DriveOrStream;

    // A directory entry ends with a separator: that one empty last component
    // is the directory marker, not an empty step.
    std::basic_string_view<Char> rest = name;
    // The installation folder already holds the package being read
    // ("temp.zip") and the installer's log ("logs"): no entry may land on them.
    size_t firstEnd = 0;
    while (firstEnd < rest.size() && !IsSeparator(rest[firstEnd])) ++firstEnd;
    std::basic_string_view<Char> first = TrimTrailing(rest.substr(0, firstEnd), ". ");
    if (EqualsNoCase(first, "temp.zip") || EqualsNoCase(first, "logs")) return EntryNameProblem::Reserved;
    if (IsSeparator(rest.back())) rest.remove_suffix(1);
    while (true) {
        size_t end = 0;
        while (end < rest.size() && !IsSeparator(rest[end])) ++end;
        std::basic_string_view<Char> component = rest.substr(0, end);
        if (component.empty()) return EntryNameProblem::EmptyComponent;
        if (TrimTrailing(component, ". ").empty()) return EntryNameProblem::DotComponent;
        if (IsDevice(component)) return EntryNameProblem::DeviceName;
        if (end == rest.size()) break;
        rest.remove_prefix(end + 1);
    }
    return EntryNameProblem::None;
}

template <typename Char>
size_t FileNamePart(std::basic_string_view<Char> name)
{
    const Char separators[] = {Char('/'), Char('\\')};
    size_t separator = name.find_last_of(std::basic_string_view<Char>(separators, 2));
    return separator == std::basic_string_view<Char>::npos ? 0 : separator + 1;
}

template <typename Char>
size_t NextLevelEnd(std::basic_string_view<Char> path, size_t previousEnd)
{
    size_t end = previousEnd + 1;
    if (end >= path.size()) return path.size();
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    return end;
}

}  // namespace

EntryNameProblem CheckEntryName(std::string_view name) { return Check(name); }

EntryNameProblem CheckEntryName(std::wstring_view name) { return Check(name); }

bool IsDeviceName(std::wstring_view component) { return IsDevice(component); }

size_t EntryFileNamePart(std::string_view name) { return FileNamePart(name); }

size_t EntryFileNamePart(std::wstring_view name) { return FileNamePart(name); }

size_t NextFolderLevelEnd(std::string_view path, size_t previousEnd) { return NextLevelEnd(path, previousEnd); }

size_t NextFolderLevelEnd(std::wstring_view path, size_t previousEnd) { return NextLevelEnd(path, previousEnd); }

const char* DescribeEntryNameProblem(EntryNameProblem problem)
{
    switch (problem) {
    case EntryNameProblem::None: return "acceptable";
    case EntryNameProblem::Empty: return "empty name";
    case EntryNameProblem::TooLong: return "name of 256 bytes or more";
    case EntryNameProblem::EmbeddedNul: return "zero byte inside the name";
    case EntryNameProblem::Absolute: return "absolute path";
    case EntryNameProblem::DriveOrStream: return "drive letter or stream name";
    case EntryNameProblem::EmptyComponent: return "empty path component";
    case EntryNameProblem::DotComponent: return "'.' or '..' component";
    case EntryNameProblem::DeviceName: return "device name";
    case EntryNameProblem::Reserved: return "the installer's own temp.zip or logs";
    }
    return "unknown";
}
