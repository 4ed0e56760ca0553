#pragma once
// Named moments of an installation where a test build of the installer may
// end the process at once, as a power cut or a killed process would, or make
// the step fail. The shipped installer installs no handler: each point is
// then a test of a null pointer and does nothing.

using CrashPointHandler = bool (*)(const char* point, const wchar_t* detail);

void SetCrashPointHandler(CrashPointHandler handler);

// Reached `point` (`detail` names the file or step, or is null). True when
// the test build wants this step to fail.
bool CrashPoint(const char* point, const wchar_t* detail = nullptr);
