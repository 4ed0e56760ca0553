#pragma once
// The process-wide install settings. Written on the UI thread only, and only
// before the install thread starts; read without a lock afterwards.

#include <string>
#include <vector>

#include "ui/core/UIString.h"

struct InstallSettings {
    static SkinUI::CUIString installDir;  // absolute; ends with '\' once chosen
    static SkinUI::CUIString exeName;     // main executable's file name
    static SkinUI::CUIString appName;     // folder, Start-menu group, uninstall key
    static SkinUI::CUIString version;     // DisplayVersion
    static SkinUI::CUIString publisher;   // Publisher
    static SkinUI::CUIString boxName;     // the user's name for the box; empty until accepted
    // The package the build pins: its SHA-256 in lower-case hex and its size.
    // Empty (and 0) when the build pins none; SetDefaults leaves them alone.
    static std::string packageSha256;
    static long long packageSize;
    // Where the build says the package is (its address, then its mirrors)
    // and where the installation is reported; empty: the install library's
    // defaults. SetDefaults leaves them alone.
    static std::vector<std::string> packageUrls;
    static std::string reportUrl;
    // The release keys whose signed manifest a package must come with
    // (base64 of each public key's X || Y), and the lowest manifest version
    // taken; no keys: no manifest.
    static std::vector<std::string> releaseKeys;
    static long long packageVersionFloor;

    // The compiled-in defaults of the six texts, in field order.
    static void SetDefaults();
    // The six texts for a box named `name` (a name already accepted): folder
    // C:\Program Files\<name>\, <name>.exe, <name> for the application and
    // the box, version 1.0.0.0, no publisher. The name window and an
    // unattended installation both name the box through this.
    static void ApplyBoxName(const std::wstring& name);
};
