#pragma once
// What the skin parser needs from the system, kept out of the parser so that
// it stays plain C++: turning bytes of a code page into wide text, and
// reading a skin file or resource-zip entry. Each build links one
// implementation: XmlPlatformWin.cpp (Win32 code pages, the framework's
// resource settings) or XmlPlatformHost.cpp (portable, for the native build
// that runs the sanitizers and the fuzzers).

#include <cstddef>
#include <string>
#include <vector>

namespace SkinUI {
namespace xml_platform {

constexpr unsigned kCodePageUtf8 = 65001;
constexpr unsigned kCodePageAnsi = 0;  // the system's active code page

enum class ReadResult {
    Ok,
    OpenFailed,
    Empty,
    TooLarge,
    ReadFailed,
    ZipOpenFailed,
    ZipEntryMissing,
    UnzipFailed,
};

// Appends nothing and returns false only when the bytes cannot be converted
// at all; undecodable sequences become replacement characters.
bool DecodeBytes(unsigned codePage, const char* bytes, size_t size, std::wstring& text);

// `name` relative to the resource path, or as an entry of the resource zip.
ReadResult ReadSkinFile(const wchar_t* name, size_t maxBytes, std::vector<unsigned char>& bytes);

}  // namespace xml_platform
}  // namespace SkinUI
