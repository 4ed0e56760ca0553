#include "windows/ScaleReport.h"

#include <string>

#include "services/MyLog.h"
#include "ui/core/UIManager.h"

void LogWindowScale(const char* window, SkinUI::CUIManager& manager)
{
    const SkinUI::DpiScale& scale = manager.GetScale();
    const char* art = scale.Dpi() == SkinUI::kBaseDpi       ? "1x"
                      : scale.Dpi() == 2 * SkinUI::kBaseDpi ? "2x"
                      : scale.Dpi() < 2 * SkinUI::kBaseDpi  ? "2x, filtered down"
                                                             : "2x, filtered up";
    std::string fonts;
    for (const auto& [id, height] : manager.FontHeights()) {
        if (!fonts.empty()) fonts += ' ';
        fonts += std::to_string(id) + ':' + std::to_string(height);
    }
    RECT client = {};
    ::GetClientRect(manager.GetWindow(), &client);
    MyLog::GetLogger()->info("window {}: {} DPI ({} %), art {}, size {}x{}, font heights {}", window, scale.Dpi(),
                             scale.Percent(), art, client.right - client.left, client.bottom - client.top, fonts);
}
