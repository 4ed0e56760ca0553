#pragma once
// Reads the bytes of skins and pictures from wherever the resource settings
// point: loose files under the resource path, entries of the resource zip,
// or resources of a module.

#include <windows.h>

#include <cstddef>
#include <vector>

#include "ui/core/ResourceZip.h"

namespace SkinUI {

class CResourceReader {
public:
    // `name` as an entry of the resource zip (found without regard to case)
    // when a zip is set, else as a file under the resource path.
    static ResourceReadResult ReadResourceFile(const wchar_t* name, size_t maxBytes, std::vector<unsigned char>& bytes);

    // A whole file by its full path, opened with read sharing.
    static ResourceReadResult ReadWholeFile(const wchar_t* path, size_t maxBytes, std::vector<unsigned char>& bytes);

    // A resource of `module` by name or MAKEINTRESOURCE id; type names match
    // without regard to case (FindResourceW does that). False when absent.
    static bool ReadModuleResource(HMODULE module, const wchar_t* nameOrId, const wchar_t* type,
                                   std::vector<unsigned char>& bytes);
};

}  // namespace SkinUI
