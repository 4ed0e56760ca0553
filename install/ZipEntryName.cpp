#include "install/ZipEntryName.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string_view TrimTrailing(std::string_view text, std::string_view what)
{
    while (!text.empty() && what.find(text.back()) != std::string_view::npos) text.remove_suffix(1);
    return text;
}

// Windows maps these names to devices in every folder and with any extension
// ("con.txt", "NUL .zip"), so only the part before the first dot counts.
bool IsDeviceName(std::string_view component)
{
    std::string_view base = TrimTrailing(component.substr(0, component.find('.')), " ");
    static constexpr std::string_view kFixed[] = {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"};
    for (std::string_view device : kFixed)
        if (EqualsNoCase(base, device)) return true;
    if (base.size() == 4 && (EqualsNoCase(base.substr(0, 3), "com") || EqualsNoCase(base.substr(0, 3), "lpt"))) {
        // Digits, and the superscripts 1, 2, 3 of code page 1252 that Windows
        // also accepts there.
        unsigned char last = static_cast<unsigned char>(base[3]);
        return (last >= '0' && last <= '9') || last == 0xB9 || last == 0xB2 || last == 0xB3;
    }
    return false;
}

}  // namespace

EntryNameProblem CheckEntryName(std::string_view name)
{
    if (name.empty()) return EntryNameProblem::Empty;
    if (name.size() >= kMaxEntryNameBytes) return EntryNameProblem::TooLong;
    if (name.find('\0') != std::string_view::npos) return EntryNameProblem::EmbeddedNul;
    if (IsSeparator(name.front())) return EntryNameProblem::Absolute;
    if (name.find(':') != std::string_view::npos) return EntryNameProblem::DriveOrStream;

    // A directory entry ends with a separator: that one empty last component
    // is the directory marker, not an empty step.
    std::string_view rest = name;
    // The installation folder already holds the package being read
    // ("temp.zip") and the installer's log ("logs"): no entry may land on them.
    std::string_view first = TrimTrailing(rest.substr(0, rest.find_first_of("/\\")), ". ");
    if (EqualsNoCase(first, "temp.zip") || EqualsNoCase(first, "logs")) return EntryNameProblem::Reserved;
    if (IsSeparator(rest.back())) rest.remove_suffix(1);
    while (true) {
        size_t end = 0;
        while (end < rest.size() && !IsSeparator(rest[end])) ++end;
        std::string_view component = rest.substr(0, end);
        if (component.empty()) return EntryNameProblem::EmptyComponent;
        if (TrimTrailing(component, ". ").empty()) return EntryNameProblem::DotComponent;
        if (IsDeviceName(component)) return EntryNameProblem::DeviceName;
        if (end == rest.size()) break;
        rest.remove_prefix(end + 1);
    }
    return EntryNameProblem::None;
}

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
