#pragma once
// Shell shortcuts to the installed program: on the desktop, in a Start-menu
// group named appName (made when missing) together with the uninstaller's
// "卸载", and in Quick Launch when that folder exists. The install thread has
// initialised COM for the shell link object.
//
// A shortcut's file name is boxName with its extension, if it seems to have
// one, replaced by ".lnk" (PathRenameExtensionW): "My.Box" gives "My.lnk".

#include <windows.h>

// `window` owns the folder-creation call. Failures leave that shortcut out.
void CreateShortCut(HWND window);

// Saves folder\name.lnk (or folder\<target's file name>.lnk when `name` is
// null) pointing at `target`, shown normally. True when the file was saved.
bool CreateLink(const wchar_t* target, const wchar_t* folder, const wchar_t* name, const wchar_t* workingDir);
