#pragma once
// FIXME: stand-ins for the resource settings and the attribute-list grammar
// until the skin markup work joins this branch; removed then.

#include <windows.h>

#include <vector>

#include "ui/core/UIString.h"

namespace SkinUI {

class CResourceSettings {
public:
    static HINSTANCE GetInstance() { return Instance() != nullptr ? Instance() : ::GetModuleHandleW(nullptr); }
    static void SetInstance(HINSTANCE instance) { Instance() = instance; }
    static HINSTANCE GetResourceModule() { return Module() != nullptr ? Module() : GetInstance(); }
    static void SetResourceModule(HINSTANCE module) { Module() = module; }
    static CUIString GetInstancePath()
    {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(GetInstance(), path, MAX_PATH);
        wchar_t* slash = wcsrchr(path, L'\\');
        if (slash != nullptr) slash[1] = L'\0';
        return CUIString(path);
    }
    static const CUIString& GetResourcePath() { return Path(); }
    static void SetResourcePath(const wchar_t* path)
    {
        Path() = path;
        if (!Path().IsEmpty()) {
            wchar_t last = Path()[Path().GetLength() - 1];
            if (last != L'\\' && last != L'/') Path() += L'\\';
        }
    }

    static void SetResourceZip(const wchar_t* zipName, bool cached = false) {}
    static bool SetResourceZip(const void* data, size_t size) { return false; }

private:
    static HINSTANCE& Instance()
    {
        static HINSTANCE instance = nullptr;
        return instance;
    }
    static HINSTANCE& Module()
    {
        static HINSTANCE module = nullptr;
        return module;
    }
    static CUIString& Path()
    {
        static CUIString path;
        return path;
    }
};

struct AttrPair {
    CUIString name;
    CUIString value;
};

inline std::vector<AttrPair> ParseAttrList(const wchar_t* list)
{
    std::vector<AttrPair> pairs;
    if (list == nullptr) return pairs;
    const wchar_t* p = list;
    while (*p != L'\0') {
        const wchar_t* name = p;
        while (*p != L'\0' && *p != L'=') ++p;
        if (*p != L'=' || p[1] != L'"') break;
        CUIString n(name, static_cast<int>(p - name));
        p += 2;
        const wchar_t* value = p;
        while (*p != L'\0' && *p != L'"') ++p;
        if (*p != L'"') break;
        pairs.push_back({n, CUIString(value, static_cast<int>(p - value))});
        ++p;
        if (*p != L' ') break;
        ++p;
    }
    return pairs;
}

}  // namespace SkinUI
