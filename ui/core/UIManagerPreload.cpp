// Pictures decoded ahead of their first paint, on a thread of their own.
// Decoding and resampling touch no window and no table: the thread reads the
// program's resources, decodes and makes the bitmaps (GDI objects serve any
// thread), and the batch is handed back to the window's thread, which alone
// touches its picture table.
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ui/controls/ControlUI.h"
#include "ui/core/UIManager.h"
#include "ui/render/ImageLoader.h"

namespace SkinUI {

namespace {

struct PreloadedPicture {
    std::wstring name;
    std::wstring type;
    uint32_t mask = 0;
    std::unique_ptr<ImageData> image;
};

struct PreloadBatch {
    int dpi = 96;
    std::vector<PreloadedPicture> pictures;
};

}  // namespace

void CUIManager::PreloadImages(CControlUI* subtree)
{
    if (subtree == nullptr || m_window == nullptr) return;
    std::vector<ImageDrawInfo*> infos;
    subtree->SearchTree(
        [](CControlUI* control, void* data) -> CControlUI* {
            control->CollectImages(*static_cast<std::vector<ImageDrawInfo*>*>(data));
            return nullptr;
        },
        &infos, UIFIND_ALL);

    std::vector<CUIString> attributes;
    for (ImageDrawInfo* info : infos) {
        if (info->image == nullptr && !info->loadAttempted && !info->attrString.IsEmpty()) {
            attributes.push_back(info->attrString);
        }
    }
    PreloadImages(attributes);
}

void CUIManager::PreloadImages(const std::vector<CUIString>& attributes)
{
    if (m_window == nullptr) return;
    auto batch = std::make_unique<PreloadBatch>();
    batch->dpi = GetDpi();
    std::set<std::wstring> seen;
    for (const CUIString& attribute : attributes) {
        // The request alone: the control's own info is parsed at its paint.
        ImageDrawInfo copy;
        ImageLoadRequest request = ParseImageAttr(attribute, copy);
        // Resources only: files may come from the resource zip, whose reader
        // belongs to the window's thread.
        if (!request.isResource || request.keepUnadjusted || request.name.IsEmpty()) continue;
        if (request.type == kColorImageType || m_images.FindImage(request.name) != nullptr) continue;
        if (!seen.insert(request.name.GetData()).second) continue;
        PreloadedPicture picture;
        picture.name = request.name.GetData();
        picture.type = request.type.GetData();
        picture.mask = request.mask;
        batch->pictures.push_back(std::move(picture));
    }
    if (batch->pictures.empty()) return;

    HWND window = m_window;
    std::thread([window, batch = batch.release()] {
        for (PreloadedPicture& picture : batch->pictures) {
            const wchar_t* source = picture.name.c_str();
            if (source[0] >= L'0' && source[0] <= L'9') {
                long id = wcstol(source, nullptr, 10);
                if (id > 0 && id <= 0xFFFF) source = MAKEINTRESOURCEW(id);
            }
            picture.image = LoadImageData(source, picture.type.c_str(), picture.mask, batch->dpi);
        }
        // A window gone meanwhile takes no message: the batch is freed
        // here. (One destroyed after the post loses its queue and the batch
        // with it, as the process ends.)
        if (!::PostMessageW(window, WM_UI_PICTURES_READY, 0, reinterpret_cast<LPARAM>(batch))) delete batch;
    }).detach();
}

void CUIManager::AdoptPreloadedImages(LPARAM lParam)
{
    std::unique_ptr<PreloadBatch> batch(reinterpret_cast<PreloadBatch*>(lParam));
    if (!batch) return;
    // Pictures for a scale the window has left since are dropped; ones the
    // window loaded itself meanwhile stay.
    for (PreloadedPicture& picture : batch->pictures) {
        if (picture.image) m_images.Adopt(picture.name.c_str(), std::move(picture.image), picture.type.c_str(), picture.mask);
    }
}

}  // namespace SkinUI
