#pragma once
// The picture tables: one per manager (the manager owns it as a member) and
// one for the whole process. Both map a picture name, compared exactly, to a
// picture they own; the name alone is the key, so a later request with
// another type or mask gets the picture already loaded. Tables are used on
// the UI thread only and are not locked.
//
// A table loads at its window's scale (its DPI); a picture is decoded once
// per scale and kept under its name and that scale, so a window that moves
// to another monitor and back decodes nothing twice.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "ui/core/UIString.h"
#include "ui/render/ImageData.h"

namespace SkinUI {

class CImageTable {
public:
    CImageTable() = default;
    ~CImageTable();  // frees this table's pictures; the shared ones stay
    CImageTable(const CImageTable&) = delete;
    CImageTable& operator=(const CImageTable&) = delete;

    // Keep every picture of this table in the shared table instead (the
    // framework does this for its combo box's drop-down window).
    void SetKeepShared(bool keepShared) { m_keepShared = keepShared; }
    bool KeepsShared() const { return m_keepShared; }
    // The scale later loads and finds are for (96 at first).
    void SetDpi(int dpi) { m_dpi = dpi > 0 ? dpi : 96; }
    int Dpi() const { return m_dpi; }

    // This table first, then the shared one; null when absent.
    ImageData* FindImage(const wchar_t* name) const;

    // FindImage, else load and register the picture (not shared).
    ImageData* FindOrLoadImage(const wchar_t* name, const wchar_t* type, uint32_t mask, bool keepUnadjusted);

    // Loads the picture and puts it in this table or the shared one,
    // replacing a picture of the same name. With a type, a name that starts
    // with a digit is a resource id (except for colours). Null when the
    // picture cannot be loaded.
    ImageData* RegisterImage(const wchar_t* name, const wchar_t* type, uint32_t mask, bool keepUnadjusted,
                             bool shared);

    // Takes a picture loaded elsewhere (a preloading thread) under `name`,
    // unless the table has one by that name already or the picture is for
    // another scale. Returns the table's picture of that name, or null.
    ImageData* Adopt(const wchar_t* name, std::unique_ptr<ImageData> image, const wchar_t* type, uint32_t mask);
    // Frees every picture of this table, or of the shared table.
    void ReleaseImages(bool shared);

    size_t ImageCount(bool shared) const;

private:
    struct Table {
        std::map<CUIString, std::unique_ptr<ImageData>> images;
        // Pictures replaced by a new registration under the same name. Draw
        // infos may still point at them, so they live until the table is
        // released instead of dangling at once.
        std::vector<std::unique_ptr<ImageData>> replaced;
        void Clear();
    };
    static Table& Shared();
    CUIString Key(const wchar_t* name) const;

    Table m_own;
    bool m_keepShared = false;
    int m_dpi = 96;
};

}  // namespace SkinUI
