#pragma once
// Turns a parsed skin into a control tree: the root element's resource
// children (Image, Font, Default, MultiLanguage) go to the manager, a
// "Window" root's attributes configure the window, and every other element
// becomes a control through the element table (or the window's callback for
// names the framework does not know).
//
// The builder owns nothing it creates: the tree goes to the caller. It keeps
// its markup after building, so that it can build the same markup again.
//
// The walk over the markup (resources, element table, Include and its
// limits) is LayoutWalk.h's, which needs no Win32; this file gives it real
// controls, the manager and the skin's sources.

#include "ui/core/UIInterfaces.h"
#include "ui/core/UIString.h"
#include "ui/markup/LayoutWalk.h"
#include "ui/markup/XmlMarkup.h"

namespace SkinUI {

class CUIManager;

class CLayoutBuilder {
public:
    CLayoutBuilder() = default;
    CLayoutBuilder(const CLayoutBuilder&) = delete;
    CLayoutBuilder& operator=(const CLayoutBuilder&) = delete;

    // `source` is a resource id (MAKEINTRESOURCE, with `type` naming the
    // resource type), XML text beginning with "<", or a skin file name.
    // Returns the root of the new tree, or null when the skin cannot be
    // loaded, parsed or built.
    CControlUI* BuildFromSource(const wchar_t* source, const wchar_t* type, IDialogBuilderCallback* callback,
                                CUIManager* manager, CControlUI* parent = nullptr);
    // Builds again from the markup already loaded.
    CControlUI* BuildFromMarkup(IDialogBuilderCallback* callback, CUIManager* manager, CControlUI* parent = nullptr);

    const CXmlMarkup& GetMarkup() const { return m_markup; }

    static constexpr int kMaxIncludeDepth = LayoutLimits::kMaxIncludeDepth;

private:
    CXmlMarkup m_markup;
    CUIString m_resourceType;  // set when the skin came from a resource
    bool m_fromResource = false;
};

}  // namespace SkinUI
