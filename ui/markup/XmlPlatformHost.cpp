// The portable side of the parser for the native build. UTF-8 is decoded by
// hand; the "active code page" is taken to be Latin-1. Files are read by
// name as given: the native build has no resource path or resource zip.

#include <cstdio>
#include <memory>

#include "ui/markup/XmlPlatform.h"

namespace SkinUI {
namespace xml_platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void Append(std::wstring& text, char32_t code)
{
    if (sizeof(wchar_t) == 2 && code > 0xFFFF) {
        code -= 0x10000;
        text += static_cast<wchar_t>(0xD800 + (code >> 10));
        text += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
        text += static_cast<wchar_t>(code);
    }
}

void DecodeUtf8(const unsigned char* bytes, size_t size, std::wstring& text)
{
    size_t i = 0;
    while (i < size) {
        unsigned char lead = bytes[i];
        int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= size) {
            Append(text, kReplacement);
            ++i;
            continue;
        }
        char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        int k = 1;
        for (; k <= extra; ++k) {
            unsigned char next = bytes[i + k];
            if ((next & 0xC0) != 0x80) break;
            code = (code << 6) | (next & 0x3F);
        }
        static const char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (k <= extra || code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            Append(text, kReplacement);
            ++i;
            continue;
        }
        Append(text, code);
        i += static_cast<size_t>(extra) + 1;
    }
}

std::string EncodeUtf8(const wchar_t* text)
{
    std::string out;
    for (; *text; ++text) {
        char32_t code = static_cast<char32_t>(*text);
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};

}  // namespace

bool DecodeBytes(unsigned codePage, const char* bytes, size_t size, std::wstring& text)
{
    text.clear();
    auto* data = reinterpret_cast<const unsigned char*>(bytes);
    if (codePage == kCodePageUtf8) {
        DecodeUtf8(data, size, text);
    } else {
        text.reserve(size);
        for (size_t i = 0; i < size; ++i) text += static_cast<wchar_t>(data[i]);
    }
    return true;
}

ReadResult ReadSkinFile(const wchar_t* name, size_t maxBytes, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    if (name == nullptr) return ReadResult::OpenFailed;
    std::unique_ptr<FILE, FileCloser> file(fopen(EncodeUtf8(name).c_str(), "rb"));
    if (!file) return ReadResult::OpenFailed;
    if (fseek(file.get(), 0, SEEK_END) != 0) return ReadResult::ReadFailed;
    long size = ftell(file.get());
    if (size < 0 || fseek(file.get(), 0, SEEK_SET) != 0) return ReadResult::ReadFailed;
    if (size == 0) return ReadResult::Empty;
    if (static_cast<unsigned long>(size) > maxBytes) return ReadResult::TooLarge;
    bytes.resize(static_cast<size_t>(size));
    if (fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        bytes.clear();
        return ReadResult::ReadFailed;
    }
    return ReadResult::Ok;
}

}  // namespace xml_platform
}  // namespace SkinUI
