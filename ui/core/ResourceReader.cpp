#include "ui/core/ResourceReader.h"

#include <minizip/unzip.h>

#include "ui/core/ResourceSettings.h"
#include "ui/core/ResourceZip.h"

namespace SkinUI {

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
    ~FileHandle()
    {
        if (m_handle != INVALID_HANDLE_VALUE) ::CloseHandle(m_handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return m_handle; }
    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

// Zip entry names are bytes; the archives this framework reads were made on
// systems of the same ANSI code page, so the name goes through that one.
std::vector<char> ToAnsi(const wchar_t* text)
{
    int size = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> narrow(size > 0 ? size : 1, '\0');
    if (size > 0) ::WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

}  // namespace

ResourceReadResult CResourceReader::ReadWholeFile(const wchar_t* path, size_t maxBytes, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    FileHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return ResourceReadResult::OpenFailed;
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size)) return ResourceReadResult::ReadFailed;
    if (size.QuadPart == 0) return ResourceReadResult::Empty;
    if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) return ResourceReadResult::TooLarge;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(bytes.size() - done > 0x10000000 ? 0x10000000 : bytes.size() - done);
        DWORD read = 0;
        if (!::ReadFile(file.Get(), bytes.data() + done, chunk, &read, nullptr) || read == 0) break;
        done += read;
    }
    if (done != bytes.size()) {
        bytes.clear();
        return ResourceReadResult::ReadFailed;
    }
    return ResourceReadResult::Ok;
}

ResourceReadResult CResourceReader::ReadResourceFile(const wchar_t* name, size_t maxBytes,
                                                     std::vector<unsigned char>& bytes)
{
    bytes.clear();
    if (name == nullptr) return ResourceReadResult::OpenFailed;
    if (CResourceSettings::GetResourceZip().IsEmpty())
        return ReadWholeFile((CResourceSettings::GetResourcePath() + name).GetData(), maxBytes, bytes);

    bool owned = false;
    void* zip = CResourceSettings::AcquireZip(owned);
    if (zip == nullptr) return ResourceReadResult::ZipOpenFailed;
    ResourceReadResult result = ReadZipEntry(zip, ToAnsi(name).data(), maxBytes, bytes);
    if (owned) unzClose(zip);
    return result;
}

bool CResourceReader::ReadModuleResource(HMODULE module, const wchar_t* nameOrId, const wchar_t* type,
                                         std::vector<unsigned char>& bytes)
{
    bytes.clear();
    if (nameOrId == nullptr || type == nullptr || type[0] == L'\0') return false;
    HRSRC found = ::FindResourceW(module, nameOrId, type);
    if (found == nullptr) return false;
    HGLOBAL loaded = ::LoadResource(module, found);
    DWORD size = ::SizeofResource(module, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (data == nullptr || size == 0) return false;
    auto* begin = static_cast<const unsigned char*>(data);
    bytes.assign(begin, begin + size);
    return true;
}

}  // namespace SkinUI
