#include "ui/render/ImageTable.h"

#include <cstring>
#include <cwchar>

#include "ui/render/ImageAttr.h"
#include "ui/render/ImageLoader.h"

namespace SkinUI {

void CImageTable::Table::Clear()
{
    images.clear();
    replaced.clear();
}

CImageTable::Table& CImageTable::Shared()
{
    static Table shared;
    return shared;
}

CImageTable::~CImageTable() { m_own.Clear(); }

CUIString CImageTable::Key(const wchar_t* name) const
{
    // '\x1' cannot occur in a skin's picture name.
    CUIString key(name);
    if (m_dpi != 96) {
        CUIString suffix;
        suffix.Format(L"\x1%d", m_dpi);
        key += suffix;
    }
    return key;
}

ImageData* CImageTable::FindImage(const wchar_t* name) const
{
    if (name == nullptr) return nullptr;
    CUIString key = Key(name);
    auto own = m_own.images.find(key);
    if (own != m_own.images.end()) return own->second.get();
    auto shared = Shared().images.find(key);
    return shared != Shared().images.end() ? shared->second.get() : nullptr;
}

ImageData* CImageTable::FindOrLoadImage(const wchar_t* name, const wchar_t* type, uint32_t mask, bool keepUnadjusted)
{
    if (ImageData* found = FindImage(name)) return found;
    return RegisterImage(name, type, mask, keepUnadjusted, false);
}

ImageData* CImageTable::RegisterImage(const wchar_t* name, const wchar_t* type, uint32_t mask, bool keepUnadjusted,
                                      bool shared)
{
    if (name == nullptr || name[0] == L'\0') return nullptr;

    // A colour such as "80FF0000" also starts with a digit, but is a colour.
    const wchar_t* source = name;
    bool isColor = type != nullptr && wcscmp(type, kColorImageType) == 0;
    if (type != nullptr && !isColor && name[0] >= L'0' && name[0] <= L'9') {
        long id = wcstol(name, nullptr, 10);
        // Only what MAKEINTRESOURCE can carry; anything else stays a name
        // rather than becoming a bogus pointer.
        if (id > 0 && id <= 0xFFFF) source = MAKEINTRESOURCEW(id);
    }

    std::unique_ptr<ImageData> image = LoadImageData(source, type, mask, m_dpi);
    if (!image) return nullptr;
    image->keepUnadjusted = keepUnadjusted;
    if (type != nullptr) image->resourceType = type;
    image->mask = mask;
    if (keepUnadjusted) {
        size_t bytes = static_cast<size_t>(image->width) * static_cast<size_t>(image->height) * 4;
        image->unadjustedPixels.reset(new uint8_t[bytes]);
        memcpy(image->unadjustedPixels.get(), image->pixels, bytes);
    }

    Table& table = shared || m_keepShared ? Shared() : m_own;
    CUIString key = Key(name);
    ImageData* result = image.get();
    auto existing = table.images.find(key);
    if (existing != table.images.end()) {
        table.replaced.push_back(std::move(existing->second));
        existing->second = std::move(image);
    } else {
        table.images.emplace(key, std::move(image));
    }
    return result;
}

ImageData* CImageTable::Adopt(const wchar_t* name, std::unique_ptr<ImageData> image, const wchar_t* type,
                              uint32_t mask)
{
    if (name == nullptr || name[0] == L'\0') return nullptr;
    if (ImageData* found = FindImage(name)) return found;
    if (!image || image->dpi != m_dpi) return nullptr;
    if (type != nullptr) image->resourceType = type;
    image->mask = mask;
    Table& table = m_keepShared ? Shared() : m_own;
    ImageData* result = image.get();
    table.images.emplace(Key(name), std::move(image));
    return result;
}

void CImageTable::ReleaseImages(bool shared)
{
    if (shared)
        Shared().Clear();
    else
        m_own.Clear();
}

size_t CImageTable::ImageCount(bool shared) const { return shared ? Shared().images.size() : m_own.images.size(); }

}  // namespace SkinUI
