#include "ui/core/AccessibleObject.h"

#include <cwchar>
#include <new>

#include "ui/controls/ContainerUI.h"
#include "ui/controls/ControlUI.h"
#include "ui/core/UIManager.h"

namespace SkinUI {

namespace {

bool IsTrueText(const wchar_t* text) { return text != nullptr && std::wcscmp(text, L"true") == 0; }

long RoleNamed(const wchar_t* name)
{
    static const struct {
        const wchar_t* name;
        long role;
    } kRoles[] = {
        {L"pushbutton", ROLE_SYSTEM_PUSHBUTTON}, {L"checkbox", ROLE_SYSTEM_CHECKBUTTON},
        {L"text", ROLE_SYSTEM_TEXT},             {L"statictext", ROLE_SYSTEM_STATICTEXT},
        {L"progressbar", ROLE_SYSTEM_PROGRESSBAR}, {L"graphic", ROLE_SYSTEM_GRAPHIC},
        {L"alert", ROLE_SYSTEM_ALERT},           {L"client", ROLE_SYSTEM_CLIENT},
    };
    for (const auto& entry : kRoles)
        if (std::wcscmp(entry.name, name) == 0) return entry.role;
    return 0;
}

BSTR Bstr(const CUIString& text) { return SysAllocString(text.GetData()); }

// The control a call is about: the object's own, or (on the root) a child
// named by `child`. Null when there is none (any more).
CControlUI* Target(const std::shared_ptr<AccessibleLink>& link, long self, const VARIANT& child, bool* isRoot);

class CAccessibleObject : public IAccessible {
public:
    // `id` 0: the window's client area (the root); otherwise a control's id.
    CAccessibleObject(std::shared_ptr<AccessibleLink> link, long id) : m_link(std::move(link)), m_id(id) {}

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG left = InterlockedDecrement(&m_references);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: screen readers call IAccessible directly.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible
    STDMETHODIMP get_accParent(IDispatch** parent) override
    {
        if (parent == nullptr) return E_POINTER;
        *parent = nullptr;
        CUIManager* manager = m_link->manager;
        if (manager == nullptr) return CO_E_OBJNOTCONNECTED;
        if (m_id != 0) {
            *parent = new (std::nothrow) CAccessibleObject(m_link, 0);
            return *parent != nullptr ? S_OK : E_OUTOFMEMORY;
        }
        // The window itself, as the system describes it.
        return AccessibleObjectFromWindow(manager->GetWindow(), static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                          reinterpret_cast<void**>(parent));
    }
    STDMETHODIMP get_accChildCount(long* count) override
    {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        CUIManager* manager = m_link->manager;
        if (manager == nullptr) return CO_E_OBJNOTCONNECTED;
        if (m_id == 0) *count = static_cast<long>(manager->Accessible().Children().size());
        return S_OK;
    }
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** object) override
    {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (m_link->manager == nullptr) return CO_E_OBJNOTCONNECTED;
        if (m_id != 0 || child.vt != VT_I4 || child.lVal == CHILDID_SELF) return E_INVALIDARG;
        bool isRoot = false;
        CControlUI* control = Target(m_link, 0, child, &isRoot);
        if (control == nullptr) return E_INVALIDARG;
        *object = new (std::nothrow) CAccessibleObject(m_link, m_link->manager->Accessible().IdOf(control));
        return *object != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override
    {
        if (name == nullptr) return E_POINTER;
        *name = nullptr;
        bool isRoot = false;
        CControlUI* control = Target(m_link, m_id, child, &isRoot);
        if (isRoot) {
            if (m_link->manager == nullptr) return CO_E_OBJNOTCONNECTED;
            CControlUI* root = m_link->manager->GetRoot();
            const wchar_t* given = root != nullptr ? root->GetCustomAttr(L"accwindowname") : nullptr;
            CUIString text = given != nullptr ? CUIString(given) : CUIString();
            if (text.IsEmpty()) {
                wchar_t title[256] = {};
                GetWindowTextW(m_link->manager->GetWindow(), title, 256);
                text = title;
            }
            *name = Bstr(text);
            return S_OK;
        }
        if (control == nullptr) return E_INVALIDARG;
        *name = Bstr(AccessibleName(control));
        return S_OK;
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override
    {
        if (value == nullptr) return E_POINTER;
        *value = nullptr;
        bool isRoot = false;
        CControlUI* control = Target(m_link, m_id, child, &isRoot);
        if (isRoot) return S_FALSE;
        if (control == nullptr) return E_INVALIDARG;
        if (const wchar_t* given = control->GetCustomAttr(L"accvalue")) {
            *value = SysAllocString(given);
            return S_OK;
        }
        if (AccessibleRole(control) == ROLE_SYSTEM_TEXT) {
            *value = Bstr(control->GetText());
            return S_OK;
        }
        return S_FALSE;
    }
    STDMETHODIMP get_accDescription(VARIANT, BSTR* description) override
    {
        if (description == nullptr) return E_POINTER;
        *description = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override
    {
        if (role == nullptr) return E_POINTER;
        VariantInit(role);
        bool isRoot = false;
        CControlUI* control = Target(m_link, m_id, child, &isRoot);
        role->vt = VT_I4;
        if (isRoot) {
            if (m_link->manager == nullptr) return CO_E_OBJNOTCONNECTED;
            CControlUI* root = m_link->manager->GetRoot();
            const wchar_t* given = root != nullptr ? root->GetCustomAttr(L"accwindowrole") : nullptr;
            role->lVal = given != nullptr && RoleNamed(given) != 0 ? RoleNamed(given) : ROLE_SYSTEM_CLIENT;
            return S_OK;
        }
        if (control == nullptr) return E_INVALIDARG;
        role->lVal = AccessibleRole(control);
        return S_OK;
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override
    {
        if (state == nullptr) return E_POINTER;
        VariantInit(state);
        bool isRoot = false;
        CControlUI* control = Target(m_link, m_id, child, &isRoot);
        state->vt = VT_I4;
        state->lVal = 0;
        CUIManager* manager = m_link->manager;
        if (isRoot) {
            if (manager == nullptr) return CO_E_OBJNOTCONNECTED;
            if (!IsWindowVisible(manager->GetWindow())) state->lVal |= STATE_SYSTEM_INVISIBLE;
            if (GetFocus() == manager->GetWindow()) state->lVal |= STATE_SYSTEM_FOCUSED;
            state->lVal |= STATE_SYSTEM_FOCUSABLE;
            return S_OK;
        }
        if (control == nullptr) return E_INVALIDARG;
        const long role = AccessibleRole(control);
        if (!control->IsEnabled()) state->lVal |= STATE_SYSTEM_UNAVAILABLE;
        if (!manager->IsInView(control)) state->lVal |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
        const bool focusable = role == ROLE_SYSTEM_PUSHBUTTON || role == ROLE_SYSTEM_CHECKBUTTON ||
                               role == ROLE_SYSTEM_TEXT;
        if (focusable && control->IsEnabled() && control->IsKeyboardEnabled()) state->lVal |= STATE_SYSTEM_FOCUSABLE;
        if (control->IsFocused()) state->lVal |= STATE_SYSTEM_FOCUSED;
        if (role == ROLE_SYSTEM_CHECKBUTTON && IsTrueText(control->GetCustomAttr(L"accchecked"))) {
            state->lVal |= STATE_SYSTEM_CHECKED;
        }
        if (role == ROLE_SYSTEM_STATICTEXT || role == ROLE_SYSTEM_PROGRESSBAR) state->lVal |= STATE_SYSTEM_READONLY;
        return S_OK;
    }
    STDMETHODIMP get_accHelp(VARIANT, BSTR* help) override
    {
        if (help == nullptr) return E_POINTER;
        *help = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, long* topic) override
    {
        if (file != nullptr) *file = nullptr;
        if (topic != nullptr) *topic = 0;
        return S_FALSE;
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT, BSTR* shortcut) override
    {
        if (shortcut == nullptr) return E_POINTER;
        *shortcut = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP get_accFocus(VARIANT* focus) override
    {
        if (focus == nullptr) return E_POINTER;
        VariantInit(focus);
        CUIManager* manager = m_link->manager;
        if (manager == nullptr) return CO_E_OBJNOTCONNECTED;
        if (m_id != 0) {
            CControlUI* control = manager->Accessible().ControlOf(m_id);
            if (control != nullptr && control->IsFocused()) {
                focus->vt = VT_I4;
                focus->lVal = CHILDID_SELF;
            }
            return S_OK;
        }
        CControlUI* focused = manager->GetFocus();
        if (focused != nullptr && manager->Accessible().IsAccessible(focused)) {
            focus->vt = VT_I4;
            focus->lVal = manager->Accessible().IdOf(focused);
        } else if (GetFocus() == manager->GetWindow()) {
            focus->vt = VT_I4;
            focus->lVal = CHILDID_SELF;
        }
        return S_OK;
    }
    STDMETHODIMP get_accSelection(VARIANT* selection) override
    {
        if (selection == nullptr) return E_POINTER;
        VariantInit(selection);
        return S_OK;
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        if (action == nullptr) return E_POINTER;
        *action = nullptr;
        bool isRoot = false;
        CControlUI* control = Target(m_link, m_id, child, &isRoot);
        if (isRoot) return S_FALSE;
        if (control == nullptr) return E_INVALIDARG;
        switch (AccessibleRole(control)) {
        case ROLE_SYSTEM_PUSHBUTTON: *action = SysAllocString(L"按下"); return S_OK;
        case ROLE_SYSTEM_CHECKBUTTON:
            *action = SysAllocString(IsTrueText(control->GetCustomAttr(L"accchecked")) ? L"取消选中" : L"选中");
            return S_OK;
        default: return S_FALSE;
        }
    }
    STDMETHODIMP accSelect(long flags, VARIANT child) override
    {
        bool isRoot = false;
        CControlUI* control = Target(m_link, m_id, child, &isRoot);
        if (m_link->manager == nullptr) return CO_E_OBJNOTCONNECTED;
        if (isRoot || control == nullptr) return E_INVALIDARG;
        if ((flags & SELFLAG_TAKEFOCUS) == 0) return E_INVALIDARG;
        return Post(CAccessibleTree::kActionFocus, control);
    }
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
    {
        if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
        *left = *top = *width = *height = 0;
        bool isRoot = false;
        CControlUI* control = Target(m_link, m_id, child, &isRoot);
        CUIManager* manager = m_link->manager;
        if (manager == nullptr) return CO_E_OBJNOTCONNECTED;
        RECT rect = {};
        if (isRoot) {
            GetClientRect(manager->GetWindow(), &rect);
        } else if (control != nullptr) {
            rect = control->GetPos();
        } else {
            return E_INVALIDARG;
        }
        MapWindowPoints(manager->GetWindow(), HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
        *left = rect.left;
        *top = rect.top;
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        return S_OK;
    }
    STDMETHODIMP accNavigate(long, VARIANT, VARIANT* end) override
    {
        if (end != nullptr) VariantInit(end);
        return E_NOTIMPL;
    }
    STDMETHODIMP accHitTest(long x, long y, VARIANT* hit) override
    {
        if (hit == nullptr) return E_POINTER;
        VariantInit(hit);
        CUIManager* manager = m_link->manager;
        if (manager == nullptr) return CO_E_OBJNOTCONNECTED;
        POINT point = {x, y};
        ScreenToClient(manager->GetWindow(), &point);
        if (m_id != 0) {
            CControlUI* control = manager->Accessible().ControlOf(m_id);
            if (control == nullptr) return E_INVALIDARG;
            if (PtInRect(&control->GetPos(), point)) {
                hit->vt = VT_I4;
                hit->lVal = CHILDID_SELF;
            }
            return hit->vt == VT_EMPTY ? S_FALSE : S_OK;
        }
        RECT client = {};
        GetClientRect(manager->GetWindow(), &client);
        if (!PtInRect(&client, point)) return S_FALSE;
        // The smallest object there: the carousel lies under the texts and
        // buttons drawn over it.
        CControlUI* best = nullptr;
        long bestArea = 0;
        for (CControlUI* control : manager->Accessible().Children()) {
            const RECT& r = control->GetPos();
            if (!PtInRect(&r, point)) continue;
            const long area = (r.right - r.left) * (r.bottom - r.top);
            if (best == nullptr || area < bestArea) {
                best = control;
                bestArea = area;
            }
        }
        if (best == nullptr) {
            hit->vt = VT_I4;
            hit->lVal = CHILDID_SELF;
            return S_OK;
        }
        auto* object = new (std::nothrow) CAccessibleObject(m_link, manager->Accessible().IdOf(best));
        if (object == nullptr) return E_OUTOFMEMORY;
        hit->vt = VT_DISPATCH;
        hit->pdispVal = object;
        return S_OK;
    }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override
    {
        bool isRoot = false;
        CControlUI* control = Target(m_link, m_id, child, &isRoot);
        if (m_link->manager == nullptr) return CO_E_OBJNOTCONNECTED;
        if (isRoot || control == nullptr) return E_INVALIDARG;
        const long role = AccessibleRole(control);
        if (role != ROLE_SYSTEM_PUSHBUTTON && role != ROLE_SYSTEM_CHECKBUTTON) return DISP_E_MEMBERNOTFOUND;
        return Post(CAccessibleTree::kActionDefault, control);
    }
    STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override
    {
        bool isRoot = false;
        CControlUI* control = Target(m_link, m_id, child, &isRoot);
        if (m_link->manager == nullptr) return CO_E_OBJNOTCONNECTED;
        if (isRoot || control == nullptr) return E_INVALIDARG;
        if (AccessibleRole(control) != ROLE_SYSTEM_TEXT || !control->IsEnabled()) return E_ACCESSDENIED;
        // On the window's thread already (the call came through its
        // apartment): the edit takes the text as if typed.
        control->SetText(value != nullptr ? value : L"");
        return S_OK;
    }

private:
    virtual ~CAccessibleObject() = default;

    HRESULT Post(WPARAM action, CControlUI* control)
    {
        CUIManager* manager = m_link->manager;
        const long id = manager->Accessible().IdOf(control);
        return PostMessageW(manager->GetWindow(), CAccessibleTree::kActionMessage, action, id) ? S_OK : E_FAIL;
    }

    std::shared_ptr<AccessibleLink> m_link;
    long m_id;
    LONG m_references = 1;
};

CControlUI* Target(const std::shared_ptr<AccessibleLink>& link, long self, const VARIANT& child, bool* isRoot)
{
    *isRoot = false;
    CUIManager* manager = link->manager;
    if (manager == nullptr) return nullptr;
    const CAccessibleTree& tree = manager->Accessible();
    long id = self;
    if (child.vt == VT_I4 && child.lVal != CHILDID_SELF) {
        if (self != 0) return nullptr;  // a control's object has no children
        if (child.lVal > 0) {
            const std::vector<CControlUI*> children = tree.Children();
            return static_cast<size_t>(child.lVal) <= children.size() ? children[child.lVal - 1] : nullptr;
        }
        id = child.lVal;
    } else if (child.vt != VT_I4 && child.vt != VT_EMPTY) {
        return nullptr;
    }
    if (id == 0) {
        *isRoot = true;
        return nullptr;
    }
    CControlUI* control = tree.ControlOf(id);
    return control != nullptr && tree.IsAccessible(control) ? control : nullptr;
}

}  // namespace

long AccessibleRole(CControlUI* control)
{
    if (control == nullptr || IsTrueText(control->GetCustomAttr(L"accdecorative"))) return 0;
    if (const wchar_t* given = control->GetCustomAttr(L"accrole")) return RoleNamed(given);
    if (control->InterfaceByName(L"Button") != nullptr) return ROLE_SYSTEM_PUSHBUTTON;
    if (control->InterfaceByName(L"Edit") != nullptr || control->InterfaceByName(L"RichEdit") != nullptr) {
        return ROLE_SYSTEM_TEXT;
    }
    if (control->InterfaceByName(L"Progress") != nullptr) return ROLE_SYSTEM_PROGRESSBAR;
    if ((control->InterfaceByName(L"Label") != nullptr || control->InterfaceByName(L"Text") != nullptr) &&
        !control->GetText().IsEmpty()) {
        return ROLE_SYSTEM_STATICTEXT;
    }
    return 0;
}

CUIString AccessibleName(CControlUI* control)
{
    if (control == nullptr) return CUIString();
    if (const wchar_t* given = control->GetCustomAttr(L"accname")) return given;
    // An edit's text is its value; its name is its caption.
    if (AccessibleRole(control) == ROLE_SYSTEM_TEXT) return CUIString();
    return control->GetText();
}

CAccessibleTree::CAccessibleTree(CUIManager* manager) : m_manager(manager), m_link(std::make_shared<AccessibleLink>())
{
    m_link->manager = manager;
}

CAccessibleTree::~CAccessibleTree() { m_link->manager = nullptr; }

LRESULT CAccessibleTree::OnGetObject(WPARAM wParam, LPARAM lParam)
{
    if (static_cast<long>(lParam) != OBJID_CLIENT || m_link->manager == nullptr) return 0;
    auto* root = new (std::nothrow) CAccessibleObject(m_link, 0);
    if (root == nullptr) return 0;
    const LRESULT result = LresultFromObject(IID_IAccessible, wParam, root);
    root->Release();
    return result;
}

LRESULT CAccessibleTree::OnGetControlObject(CControlUI* control, WPARAM wParam)
{
    if (control == nullptr || !IsAccessible(control)) return 0;
    auto* object = new (std::nothrow) CAccessibleObject(m_link, IdOf(control));
    if (object == nullptr) return 0;
    const LRESULT result = LresultFromObject(IID_IAccessible, wParam, object);
    object->Release();
    return result;
}

void CAccessibleTree::OnAction(WPARAM action, LPARAM id)
{
    CControlUI* control = ControlOf(static_cast<long>(id));
    if (control == nullptr || !IsAccessible(control)) return;
    if (action == kActionFocus) {
        m_manager->SetFocusTo(control);
    } else if (action == kActionDefault) {
        control->Trigger();
    }
}

void CAccessibleTree::Notify(DWORD event, CControlUI* control)
{
    HWND window = m_manager->GetWindow();
    if (window == nullptr) return;
    if (control == nullptr) {
        NotifyWinEvent(event, window, OBJID_CLIENT, CHILDID_SELF);
        return;
    }
    if (!IsAccessible(control)) return;
    NotifyWinEvent(event, window, OBJID_CLIENT, IdOf(control));
}

namespace {

// The controls a screen reader sees under `control`, in the tree's order:
// one with a role is an object of its own (what it holds is its picture),
// a decorative one is left out with what it holds, a container is walked
// through. `inView` keeps only what the user can see now.
void CollectAccessible(const CUIManager* manager, CControlUI* control, bool inView, std::vector<CControlUI*>& into)
{
    if (control == nullptr || (inView && !control->IsVisible())) return;
    if (IsTrueText(control->GetCustomAttr(L"accdecorative"))) return;
    if (AccessibleRole(control) != 0) {
        if (!inView || manager->IsInView(control)) into.push_back(control);
        return;
    }
    auto* container = static_cast<CContainerUI*>(control->InterfaceByName(L"Container"));
    if (container == nullptr) return;
    for (int i = 0; i < container->GetCount(); ++i) CollectAccessible(manager, container->GetItemAt(i), inView, into);
}

}  // namespace

void CAccessibleTree::NotifyShown(CControlUI* container, bool shown)
{
    // A hidden page's controls are out of view by now: they are found by
    // their place in the tree.
    std::vector<CControlUI*> controls;
    CollectAccessible(m_manager, container, false, controls);
    HWND window = m_manager->GetWindow();
    if (window == nullptr) return;
    for (CControlUI* control : controls) {
        NotifyWinEvent(shown ? EVENT_OBJECT_SHOW : EVENT_OBJECT_HIDE, window, OBJID_CLIENT, IdOf(control));
    }
    NotifyWinEvent(EVENT_OBJECT_REORDER, window, OBJID_CLIENT, CHILDID_SELF);
}

long CAccessibleTree::IdOf(CControlUI* control)
{
    auto found = m_ids.find(control);
    if (found != m_ids.end()) return found->second;
    const long id = m_nextId--;
    m_ids.emplace(control, id);
    m_controls.emplace(id, control);
    return id;
}

CControlUI* CAccessibleTree::ControlOf(long id) const
{
    auto found = m_controls.find(id);
    return found != m_controls.end() ? found->second : nullptr;
}

void CAccessibleTree::Forget(CControlUI* control)
{
    auto found = m_ids.find(control);
    if (found == m_ids.end()) return;
    m_controls.erase(found->second);
    m_ids.erase(found);
}

bool CAccessibleTree::IsAccessible(CControlUI* control) const
{
    if (control == nullptr || AccessibleRole(control) == 0 || !m_manager->IsInView(control)) return false;
    // Nothing inside a decorative part or inside an object of its own (the
    // carousel's slides belong to the carousel).
    for (CControlUI* parent = control->GetParent(); parent != nullptr; parent = parent->GetParent()) {
        if (IsTrueText(parent->GetCustomAttr(L"accdecorative")) || AccessibleRole(parent) != 0) return false;
    }
    return true;
}

std::vector<CControlUI*> CAccessibleTree::Children() const
{
    std::vector<CControlUI*> children;
    CollectAccessible(m_manager, m_manager->GetRoot(), true, children);
    return children;
}

}  // namespace SkinUI
