#include "windows/ScaleReport.h"

#include <string>
#include <vector>

#include "services/MyLog.h"
#include "ui/core/UIManager.h"

namespace {
// UI thread only.
std::vector<std::string>& EarlierLines()
{
    static std::vector<std::string> lines;
    return lines;
}
}  // namespace

void LogWindowScale(const char* window, SkinUI::CUIManager& manager)
{
    const SkinUI::DpiScale& scale = manager.GetScale();
    // Below 200 % a picture that ships in the 2x set alone is filtered down
    // from it at any scale.
    const char* art = scale.Dpi() == SkinUI::kBaseDpi       ? "1x (2x filtered down where no 1x)"
                      : scale.Dpi() == 2 * SkinUI::kBaseDpi ? "2x"
                      : scale.Dpi() < SkinUI::kBaseDpi      ? "1x, filtered down"
                      : scale.Dpi() < 2 * SkinUI::kBaseDpi  ? "2x, filtered down"
                                                             : "2x, filtered up";
    std::string fonts;
    for (const auto& [id, height] : manager.FontHeights()) {
        if (!fonts.empty()) fonts += ' ';
        fonts += std::to_string(id) + ':' + std::to_string(height);
    }
    RECT client = {};
    ::GetClientRect(manager.GetWindow(), &client);
    std::string line = fmt::format("window {}: {} DPI ({} %), art {}, size {}x{}, font heights {}", window,
                                   scale.Dpi(), scale.Percent(), art, client.right - client.left,
                                   client.bottom - client.top, fonts);
    MyLog::GetLogger()->info("{}", line);
    EarlierLines().push_back(std::move(line));
}

void LogEarlierWindowScales()
{
    for (const std::string& line : EarlierLines()) MyLog::GetLogger()->info("{}", line);
    EarlierLines().clear();
}
