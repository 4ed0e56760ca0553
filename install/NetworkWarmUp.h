#pragma once
// What the first request of a run would otherwise wait for, done on a thread
// of its own from the moment the installer starts, while the user reads the
// first page: the system's proxy settings for the package's and the report's
// hosts (automatic detection and a PAC script may take seconds on a company
// network), and the machine's trusted roots in the chain engine (under Wine
// every root of the host is read and checked once per process, about 0.15 s).
// Nothing of it is needed for correctness: a request that comes first simply
// does the same work itself.

#include <windows.h>

#include <string>
#include <vector>

void StartNetworkWarmUp(std::vector<std::string> urls);

// Every request waits here until the warm-up has loaded the system's network
// DLLs from the system folder (its first few milliseconds), so that none of
// them is ever looked for beside the program; at once when no warm-up runs.
void WaitForNetworkLibraries();

// Whether the warm-up started last has ended within `timeoutMs` (true when
// none was started). For benchmarks and tests.
bool WaitForNetworkWarmUp(DWORD timeoutMs);
