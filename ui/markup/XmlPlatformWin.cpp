#include <windows.h>

#include <climits>

#include "ui/core/ResourceReader.h"
#include "ui/markup/XmlPlatform.h"

namespace SkinUI {
namespace xml_platform {

bool DecodeBytes(unsigned codePage, const char* bytes, size_t size, std::wstring& text)
{
    text.clear();
    if (size == 0) return true;
    if (size > INT_MAX) return false;
    int length = ::MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), nullptr, 0);
    if (length <= 0) return false;
    text.resize(static_cast<size_t>(length));
    return ::MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), &text[0], length) == length;
}

ReadResult ReadSkinFile(const wchar_t* name, size_t maxBytes, std::vector<unsigned char>& bytes)
{
    switch (CResourceReader::ReadResourceFile(name, maxBytes, bytes)) {
    case ResourceReadResult::Ok: return ReadResult::Ok;
    case ResourceReadResult::OpenFailed: return ReadResult::OpenFailed;
    case ResourceReadResult::Empty: return ReadResult::Empty;
    case ResourceReadResult::TooLarge: return ReadResult::TooLarge;
    case ResourceReadResult::ReadFailed: return ReadResult::ReadFailed;
    case ResourceReadResult::ZipOpenFailed: return ReadResult::ZipOpenFailed;
    case ResourceReadResult::ZipEntryMissing: return ReadResult::ZipEntryMissing;
    case ResourceReadResult::UnzipFailed: break;
    }
    return ReadResult::UnzipFailed;
}

}  // namespace xml_platform
}  // namespace SkinUI
