#include "ui/core/ResourceSettings.h"

#include <share.h>

#include <cstdio>
#include <vector>

#include <minizip/unzip.h>

#include "ui/core/ResourceZip.h"

namespace SkinUI {

namespace {

HINSTANCE g_instance = nullptr;
HINSTANCE g_resourceModule = nullptr;
CUIString g_resourcePath;
CUIString g_zipName;
bool g_zipCached = false;
unzFile g_zip = nullptr;
// The bytes of a zip opened from memory; minizip reads them while it is open.
std::vector<unsigned char> g_zipBuffer;

// minizip's own file functions take narrow names in the ANSI code page, which
// loses characters of a Chinese path under another code page: open by the
// wide name instead and let the C runtime's stream do the rest.
voidpf ZCALLBACK FileOpen(voidpf, const void* name, int mode)
{
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    return _wfsopen(static_cast<const wchar_t*>(name), L"rb", _SH_DENYWR);
}
uLong ZCALLBACK FileRead(voidpf, voidpf stream, void* buffer, uLong size)
{
    return static_cast<uLong>(fread(buffer, 1, size, static_cast<FILE*>(stream)));
}
uLong ZCALLBACK FileWrite(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK FileTell(voidpf, voidpf stream) { return _ftelli64(static_cast<FILE*>(stream)); }
long ZCALLBACK FileSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    int whence = origin == ZLIB_FILEFUNC_SEEK_CUR ? SEEK_CUR : origin == ZLIB_FILEFUNC_SEEK_END ? SEEK_END : SEEK_SET;
    return _fseeki64(static_cast<FILE*>(stream), static_cast<__int64>(offset), whence) == 0 ? 0 : -1;
}
int ZCALLBACK FileClose(voidpf, voidpf stream) { return fclose(static_cast<FILE*>(stream)); }
int ZCALLBACK FileError(voidpf, voidpf stream) { return ferror(static_cast<FILE*>(stream)); }

unzFile OpenZipFile(const CUIString& path)
{
    zlib_filefunc64_def functions = {FileOpen, FileRead, FileWrite, FileTell, FileSeek, FileClose, FileError, nullptr};
    return unzOpen2_64(path.GetData(), &functions);
}

unzFile OpenZipMemory() { return OpenZipInMemory(g_zipBuffer); }

}  // namespace

HINSTANCE CResourceSettings::GetInstance() { return g_instance; }
void CResourceSettings::SetInstance(HINSTANCE instance) { g_instance = instance; }

HINSTANCE CResourceSettings::GetResourceModule() { return g_resourceModule ? g_resourceModule : g_instance; }
void CResourceSettings::SetResourceModule(HINSTANCE module) { g_resourceModule = module; }

CUIString CResourceSettings::GetInstancePath()
{
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = ::GetModuleFileNameW(g_instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return CUIString();
    CUIString folder(path, static_cast<int>(length));
    int slash = folder.ReverseFind(L'\\');
    return slash >= 0 ? folder.Left(slash + 1) : CUIString();
}

const CUIString& CResourceSettings::GetResourcePath() { return g_resourcePath; }

void CResourceSettings::SetResourcePath(const wchar_t* path)
{
    g_resourcePath = path ? path : L"";
    if (g_resourcePath.IsEmpty()) return;
    wchar_t last = g_resourcePath[g_resourcePath.GetLength() - 1];
    if (last != L'\\' && last != L'/') g_resourcePath += L'\\';
}

void CResourceSettings::CloseResourceZip()
{
    if (g_zip) unzClose(g_zip);
    g_zip = nullptr;
    g_zipCached = false;
    g_zipName.Empty();
    g_zipBuffer.clear();
    g_zipBuffer.shrink_to_fit();
}

void CResourceSettings::SetResourceZip(const wchar_t* zipName, bool cached)
{
    if (g_zipName == (zipName ? zipName : L"") && g_zipCached == cached && g_zipBuffer.empty()) return;
    CloseResourceZip();
    g_zipName = zipName ? zipName : L"";
    g_zipCached = cached && !g_zipName.IsEmpty();
    if (g_zipCached) g_zip = OpenZipFile(g_resourcePath + g_zipName);
}

bool CResourceSettings::SetResourceZip(const void* data, size_t size)
{
    CloseResourceZip();
    if (data == nullptr || size == 0) return false;
    auto* bytes = static_cast<const unsigned char*>(data);
    g_zipBuffer.assign(bytes, bytes + size);
    g_zip = OpenZipMemory();
    if (g_zip == nullptr) {
        CloseResourceZip();
        return false;
    }
    g_zipName = kMemoryZipName;
    g_zipCached = true;
    return true;
}

const CUIString& CResourceSettings::GetResourceZip() { return g_zipName; }
bool CResourceSettings::IsResourceZipCached() { return g_zipCached; }
void* CResourceSettings::GetResourceZipHandle() { return g_zipCached ? g_zip : nullptr; }

void* CResourceSettings::AcquireZip(bool& owned)
{
    owned = false;
    if (g_zipName.IsEmpty()) return nullptr;
    if (g_zipCached) {
        // A cached zip that could not be opened when it was set (the path
        // may have been set later) gets another chance here.
        if (g_zip == nullptr && g_zipBuffer.empty()) g_zip = OpenZipFile(g_resourcePath + g_zipName);
        return g_zip;
    }
    unzFile zip = OpenZipFile(g_resourcePath + g_zipName);
    owned = zip != nullptr;
    return zip;
}

}  // namespace SkinUI
