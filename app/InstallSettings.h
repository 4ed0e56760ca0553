#pragma once
// The process-wide install settings. Written on the UI thread only, and only
// before the install thread starts; read without a lock afterwards.

#include <string>

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

    // The compiled-in defaults of the six texts, in field order.
    static void SetDefaults();
};
