#pragma once
// One log line per window on the scale it is drawn at: its DPI, the picture
// set it draws from and its font heights. Scaling faults show on users'
// screens only, so the log is where a support request finds them.

namespace SkinUI {
class CUIManager;
}

void LogWindowScale(const char* window, SkinUI::CUIManager& manager);
// The name window and the wizard open before the log does (it lives in the
// installation folder the wizard asks for): their lines are kept and
// written once the log is open.
void LogEarlierWindowScales();
