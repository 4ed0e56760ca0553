#pragma once
// Stand-ins for the extended control classes (lists, combo boxes, trees,
// tabs, sliders and the rest) that no skin of the installer uses. A stand-in answers its class name, keeps the attributes it
// is given and does nothing else; elements with children get a container so
// the children still have a home.

#include "ui/controls/ContainerUI.h"
#include "ui/controls/LabelUI.h"

namespace SkinUI {

template <typename Base>
class TStandInUI : public Base {
public:
    explicit TStandInUI(const wchar_t* className) : m_className(className) {}
    const wchar_t* ClassName() const override { return m_className; }
    void* InterfaceByName(const wchar_t* name) override
    {
        if (m_className == name) return this;
        return Base::InterfaceByName(name);
    }

private:
    CUIString m_className;
};

// A new stand-in answering `className`: a container when `container` is
// set, else a plain control.
CControlUI* CreateStandIn(const wchar_t* className, bool container);

}  // namespace SkinUI
