#pragma once
// Where the framework finds skins and pictures, for the whole process: the
// program instance, the module that carries the resources, the folder that
// skin and picture file names are relative to, and an optional zip that
// replaces that folder. Every manager shares these; they are set once on the
// UI thread (by the window base while it creates its first window) and only
// read afterwards, so nothing here is locked.

#include <windows.h>

#include <cstddef>

#include "ui/core/UIString.h"

namespace SkinUI {

class CResourceSettings {
public:
    static HINSTANCE GetInstance();
    static void SetInstance(HINSTANCE instance);

    // The module holding "XML" and "PNG" resources: the one set here, else
    // the program instance.
    static HINSTANCE GetResourceModule();
    static void SetResourceModule(HINSTANCE module);

    // The folder of the program's executable, with its trailing backslash.
    static CUIString GetInstancePath();

    // Stored with a trailing backslash unless empty or already ending in a
    // backslash or slash, so callers append file names directly.
    static const CUIString& GetResourcePath();
    static void SetResourcePath(const wchar_t* path);

    // A zip file (relative to the resource path) that skins and pictures are
    // read from instead of loose files. `cached` keeps it open between reads.
    // An empty name turns the zip off again.
    static void SetResourceZip(const wchar_t* zipName, bool cached = false);
    // A zip held in memory (for instance a "ZIPRES" resource): the bytes are
    // copied into a process-wide buffer and the zip stays open; its name
    // reads "membuffer". False when the bytes are not a zip.
    static bool SetResourceZip(const void* data, size_t size);
    static const CUIString& GetResourceZip();  // empty when no zip is used
    static bool IsResourceZipCached();
    // The open zip (minizip's unzFile) when it is kept open, else null.
    static void* GetResourceZipHandle();

    // Closes a kept-open zip and forgets the zip; the path and modules stay.
    static void CloseResourceZip();

    static constexpr const wchar_t* kMemoryZipName = L"membuffer";

private:
    friend class CResourceReader;
    // The zip to read from: the kept-open one (owned false), else a fresh
    // handle the caller closes (owned true). Null when no zip is set or it
    // cannot be opened.
    static void* AcquireZip(bool& owned);
};

}  // namespace SkinUI
