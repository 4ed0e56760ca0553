#pragma once
// The system's own credentials dialog, for a proxy that wants a login the
// logged-on user cannot give (Basic): what WinINet-based installers show,
// so a user recognises it. Nothing is saved by it.

#include <windows.h>

#include "install/RequestPolicy.h"

// Shows the dialog owned by `owner` (on the owner's thread) and fills
// `request`; false when the user cancelled.
bool AskProxyLoginWithDialog(HWND owner, ProxyLoginRequest& request);
