// A screen reader's view of Install.exe, from another process in the same
// prefix, through Microsoft Active Accessibility alone: it hears the
// installer's WinEvents out of context, walks each window's accessible tree
// and checks it as a screen reader relies on it, and drives the
// installation through the objects (no mouse, no keys).
//
//   screen_reader install <box name> <report>   name, 确认, progress, 安装完成
//   screen_reader baddir <box name> <folder> <report>   the prompt's alert
//
// Exit code 0 when every step and check held; the report lists what was
// walked and heard, a line each, and the first failure.

#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <deque>
#include <set>
#include <string>
#include <vector>

namespace {

FILE* g_report = nullptr;
bool g_failed = false;

std::string Utf8(const std::wstring& text)
{
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(length > 0 ? static_cast<size_t>(length - 1) : 0, '\0');
    if (length > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], length, nullptr, nullptr);
    return out;
}

void Report(const std::wstring& line)
{
    fprintf(g_report, "%s\n", Utf8(line).c_str());
    fflush(g_report);
}

void Fail(const std::wstring& why)
{
    if (!g_failed) Report(L"FAIL: " + why);
    g_failed = true;
}

struct Heard {
    DWORD event;
    HWND window;
    LONG object;
    LONG child;
};
std::deque<Heard> g_heard;

// Out of context: only queued here, resolved later (a call back into the
// installer from inside the hook would re-enter it).
void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    g_heard.push_back({event, window, object, child});
}

void Pump(DWORD ms)
{
    const DWORD end = GetTickCount() + ms;
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

std::wstring Bstr(BSTR text)
{
    std::wstring out = text != nullptr ? text : L"";
    SysFreeString(text);
    return out;
}

VARIANT Self()
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = CHILDID_SELF;
    return v;
}

struct Object {
    IAccessible* acc = nullptr;
    std::wstring name;
    long role = 0;
    long state = 0;
    std::wstring value;
    RECT where = {};
};

Object Describe(IAccessible* acc)
{
    Object o;
    o.acc = acc;
    BSTR text = nullptr;
    if (acc->get_accName(Self(), &text) == S_OK) o.name = Bstr(text);
    VARIANT v;
    VariantInit(&v);
    if (acc->get_accRole(Self(), &v) == S_OK && v.vt == VT_I4) o.role = v.lVal;
    VariantInit(&v);
    if (acc->get_accState(Self(), &v) == S_OK && v.vt == VT_I4) o.state = v.lVal;
    text = nullptr;
    if (acc->get_accValue(Self(), &text) == S_OK) o.value = Bstr(text);
    long x = 0, y = 0, w = 0, h = 0;
    if (acc->accLocation(&x, &y, &w, &h, Self()) == S_OK) o.where = {x, y, x + w, y + h};
    return o;
}

const wchar_t* RoleName(long role)
{
    switch (role) {
    case ROLE_SYSTEM_PUSHBUTTON: return L"pushbutton";
    case ROLE_SYSTEM_CHECKBUTTON: return L"checkbox";
    case ROLE_SYSTEM_TEXT: return L"text";
    case ROLE_SYSTEM_STATICTEXT: return L"statictext";
    case ROLE_SYSTEM_PROGRESSBAR: return L"progressbar";
    case ROLE_SYSTEM_GRAPHIC: return L"graphic";
    case ROLE_SYSTEM_ALERT: return L"alert";
    case ROLE_SYSTEM_CLIENT: return L"client";
    default: return L"?";
    }
}

// The window's accessible children, checked as a screen reader depends on
// them: every object named, names unique, roles known, inside the window,
// and found again at its own centre.
std::vector<Object> Walk(HWND window, const wchar_t* what)
{
    std::vector<Object> objects;
    IAccessible* root = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&root))) ||
        root == nullptr) {
        Fail(std::wstring(L"no accessible client area in ") + what);
        return objects;
    }
    Object self = Describe(root);
    Report(std::wstring(what) + L": \"" + self.name + L"\" " + RoleName(self.role));
    long count = 0;
    root->get_accChildCount(&count);
    std::vector<VARIANT> children(static_cast<size_t>(count));
    long got = 0;
    if (count > 0 && FAILED(AccessibleChildren(root, 0, count, children.data(), &got))) got = 0;
    RECT frame = {};
    GetWindowRect(window, &frame);
    std::set<std::wstring> names;
    for (long i = 0; i < got; ++i) {
        IAccessible* acc = nullptr;
        if (children[i].vt == VT_DISPATCH && children[i].pdispVal != nullptr) {
            children[i].pdispVal->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&acc));
            children[i].pdispVal->Release();
        }
        if (acc == nullptr) {
            Fail(std::wstring(what) + L": a child that is no object");
            continue;
        }
        Object o = Describe(acc);
        Report(std::wstring(L"  ") + RoleName(o.role) + L" \"" + o.name + L"\"" +
               (o.value.empty() ? L"" : L" value \"" + o.value + L"\"") +
               ((o.state & STATE_SYSTEM_FOCUSABLE) ? L" focusable" : L"") +
               ((o.state & STATE_SYSTEM_FOCUSED) ? L" focused" : L""));
        if (o.name.empty()) Fail(std::wstring(what) + L": an object without a name (" + RoleName(o.role) + L")");
        if (!names.insert(o.name).second) Fail(std::wstring(what) + L": the name \"" + o.name + L"\" twice");
        if (o.role == 0 || std::wstring(RoleName(o.role)) == L"?") Fail(L"\"" + o.name + L"\": no known role");
        if (o.where.left < frame.left || o.where.top < frame.top || o.where.right > frame.right ||
            o.where.bottom > frame.bottom || o.where.right <= o.where.left) {
            Fail(L"\"" + o.name + L"\": not inside its window");
        }
        // The object a pointer at its centre finds is itself.
        POINT centre = {(o.where.left + o.where.right) / 2, (o.where.top + o.where.bottom) / 2};
        IAccessible* hit = nullptr;
        VARIANT hitChild;
        VariantInit(&hitChild);
        if (SUCCEEDED(AccessibleObjectFromPoint(centre, &hit, &hitChild)) && hit != nullptr) {
            BSTR text = nullptr;
            std::wstring hitName = hit->get_accName(hitChild, &text) == S_OK ? Bstr(text) : L"";
            if (hitName != o.name) Fail(L"\"" + o.name + L"\": the object at its centre is \"" + hitName + L"\"");
            hit->Release();
        } else {
            Fail(L"\"" + o.name + L"\": nothing found at its centre");
        }
        objects.push_back(o);
    }
    root->Release();
    return objects;
}

IAccessible* Find(std::vector<Object>& objects, const wchar_t* name, long role)
{
    for (Object& o : objects)
        if (o.name == name && o.role == role) return o.acc;
    Fail(std::wstring(L"no ") + RoleName(role) + L" named \"" + name + L"\"");
    return nullptr;
}

void Release(std::vector<Object>& objects)
{
    for (Object& o : objects)
        if (o.acc != nullptr) o.acc->Release();
    objects.clear();
}

HWND WaitForWindow(const wchar_t* windowClass, DWORD ms)
{
    const DWORD end = GetTickCount() + ms;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        HWND window = FindWindowW(windowClass, nullptr);
        if (window != nullptr && IsWindowVisible(window)) {
            Pump(500);  // laid out and painted
            return window;
        }
        Pump(100);
    }
    Fail(std::wstring(L"the window ") + windowClass + L" never showed");
    return nullptr;
}

// What an event is about, as a screen reader resolves it.
bool Resolve(const Heard& heard, Object* out)
{
    IAccessible* acc = nullptr;
    VARIANT child;
    VariantInit(&child);
    if (FAILED(AccessibleObjectFromEvent(heard.window, static_cast<DWORD>(heard.object), static_cast<DWORD>(heard.child),
                                         &acc, &child)) ||
        acc == nullptr) {
        return false;
    }
    // Our events name objects by child id: resolved to the object itself.
    IDispatch* dispatch = nullptr;
    if (child.vt == VT_I4 && child.lVal != CHILDID_SELF && acc->get_accChild(child, &dispatch) == S_OK &&
        dispatch != nullptr) {
        IAccessible* inner = nullptr;
        dispatch->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&inner));
        dispatch->Release();
        if (inner != nullptr) {
            acc->Release();
            acc = inner;
        }
    }
    *out = Describe(acc);
    acc->Release();
    out->acc = nullptr;
    return true;
}

// Listens until `wanted` is heard (an event of that kind whose object has
// that name), reporting what is heard; false on time-out.
bool Hear(DWORD wanted, const wchar_t* name, DWORD ms, std::vector<std::wstring>* values = nullptr)
{
    const DWORD end = GetTickCount() + ms;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        Pump(50);
        while (!g_heard.empty()) {
            Heard heard = g_heard.front();
            g_heard.pop_front();
            if (heard.object != OBJID_CLIENT) continue;
            Object o;
            if (!Resolve(heard, &o)) continue;
            const wchar_t* kind = heard.event == EVENT_OBJECT_FOCUS         ? L"focus"
                                  : heard.event == EVENT_OBJECT_VALUECHANGE ? L"value"
                                  : heard.event == EVENT_OBJECT_NAMECHANGE  ? L"name"
                                  : heard.event == EVENT_OBJECT_SHOW        ? L"show"
                                  : heard.event == EVENT_SYSTEM_ALERT       ? L"alert"
                                                                            : nullptr;
            if (kind == nullptr) continue;
            Report(std::wstring(L"heard ") + kind + L": " + RoleName(o.role) + L" \"" + o.name + L"\"" +
                   (o.value.empty() ? L"" : L" value \"" + o.value + L"\""));
            if (values != nullptr && heard.event == EVENT_OBJECT_VALUECHANGE) values->push_back(o.value);
            if (heard.event == wanted && (name == nullptr || o.name.find(name) != std::wstring::npos)) return true;
        }
    }
    Fail(std::wstring(L"never heard \"") + (name != nullptr ? name : L"") + L"\"");
    return false;
}

// The name window: the field named, the name set through its object, then
// 立即安装 pressed through its object.
bool NameTheBox(const std::wstring& box)
{
    HWND window = WaitForWindow(L"SetNameWnd", 60000);
    if (window == nullptr) return false;
    std::vector<Object> objects = Walk(window, L"name window");
    IAccessible* field = Find(objects, L"盒子名称", ROLE_SYSTEM_TEXT);
    IAccessible* button = Find(objects, L"立即安装", ROLE_SYSTEM_PUSHBUTTON);
    bool ok = field != nullptr && button != nullptr;
    if (ok) {
        BSTR value = SysAllocString(box.c_str());
        if (FAILED(field->put_accValue(Self(), value))) Fail(L"the name field took no value");
        SysFreeString(value);
        Object after = Describe(field);
        Report(L"the name field's value is now \"" + after.value + L"\"");
        if (after.value != box) Fail(L"the name field holds \"" + after.value + L"\"");
        if (FAILED(button->accDoDefaultAction(Self()))) Fail(L"立即安装 took no default action");
    }
    Release(objects);
    return ok && !g_failed;
}

int Install(const std::wstring& box)
{
    if (!NameTheBox(box)) return 1;
    HWND wizard = WaitForWindow(L"SetupingWnd", 60000);
    if (wizard == nullptr) return 1;
    // The directory page's main button has the keyboard.
    Hear(EVENT_OBJECT_FOCUS, L"确认", 10000);
    std::vector<Object> objects = Walk(wizard, L"directory page");
    IAccessible* next = Find(objects, L"确认", ROLE_SYSTEM_PUSHBUTTON);
    if (next == nullptr || FAILED(next->accDoDefaultAction(Self()))) Fail(L"确认 took no default action");
    Release(objects);
    if (g_failed) return 1;
    // The progress, as a screen reader says it, up to the whole; then the
    // finish page, and the keyboard on its button.
    std::vector<std::wstring> values;
    Hear(EVENT_OBJECT_VALUECHANGE, L"安装进度", 120000, &values);
    while (!g_failed && (values.empty() || values.back() != L"100%")) {
        if (!Hear(EVENT_OBJECT_VALUECHANGE, L"安装进度", 120000, &values)) break;
    }
    Report(L"progress heard " + std::to_wstring(values.size()) + L" times");
    Hear(EVENT_OBJECT_SHOW, L"安装完成", 120000);
    Hear(EVENT_OBJECT_FOCUS, L"安装完成", 30000);
    objects = Walk(wizard, L"finish page");
    IAccessible* finish = Find(objects, L"安装完成", ROLE_SYSTEM_PUSHBUTTON);
    if (finish == nullptr || FAILED(finish->accDoDefaultAction(Self()))) Fail(L"安装完成 took no default action");
    Release(objects);
    return g_failed ? 1 : 0;
}

int RefusedFolder(const std::wstring& box, const std::wstring& folder)
{
    if (!NameTheBox(box)) return 1;
    HWND wizard = WaitForWindow(L"SetupingWnd", 60000);
    if (wizard == nullptr) return 1;
    std::vector<Object> objects = Walk(wizard, L"directory page");
    IAccessible* field = Find(objects, L"安装目录", ROLE_SYSTEM_TEXT);
    IAccessible* next = Find(objects, L"确认", ROLE_SYSTEM_PUSHBUTTON);
    if (field != nullptr && next != nullptr) {
        BSTR value = SysAllocString(folder.c_str());
        field->put_accValue(Self(), value);
        SysFreeString(value);
        next->accDoDefaultAction(Self());
    }
    Release(objects);
    if (g_failed) return 1;
    // The prompt is an alert, heard at once and named with its message.
    Hear(EVENT_SYSTEM_ALERT, L"创建文件夹失败", 30000);
    HWND prompt = WaitForWindow(L"PromptWnd", 10000);
    if (prompt == nullptr) return 1;
    objects = Walk(prompt, L"prompt");
    IAccessible* ok = Find(objects, L"确定", ROLE_SYSTEM_PUSHBUTTON);
    if (ok != nullptr) ok->accDoDefaultAction(Self());
    Release(objects);
    return g_failed ? 1 : 0;
}

// Only the name, through the field's object: how a name in characters that
// no key of the test display carries gets into the field (xdotool types
// those through keys it remaps for the moment, and under load Wine reads a
// key after its mapping has changed again: a character is lost).
int SetTheName(const std::wstring& box)
{
    HWND window = WaitForWindow(L"SetNameWnd", 60000);
    if (window == nullptr) return 1;
    std::vector<Object> objects = Walk(window, L"name window");
    IAccessible* field = Find(objects, L"盒子名称", ROLE_SYSTEM_TEXT);
    if (field == nullptr) return 1;
    BSTR value = SysAllocString(box.c_str());
    if (FAILED(field->put_accValue(Self(), value))) Fail(L"the name field took no value");
    SysFreeString(value);
    if (Describe(field).value != box) Fail(L"the name field holds \"" + Describe(field).value + L"\"");
    return g_failed ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: screen_reader install|name <box> <report> | baddir <box> <folder> <report>\n");
        return 2;
    }
    const std::wstring command = argv[1];
    g_report = _wfopen(argv[argc - 1], L"w");
    if (g_report == nullptr) return 2;
    CoInitialize(nullptr);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, OnEvent, 0, 0,
                                         WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (hook == nullptr) Fail(L"no WinEvent hook");
    int status = 1;
    if (command == L"install") {
        status = Install(argv[2]);
    } else if (command == L"name") {
        status = SetTheName(argv[2]);
    } else if (command == L"baddir" && argc == 5) {
        status = RefusedFolder(argv[2], argv[3]);
    } else {
        Fail(L"unknown command");
    }
    Report(g_failed ? L"RESULT: failed" : L"RESULT: passed");
    if (hook != nullptr) UnhookWinEvent(hook);
    CoUninitialize();
    fclose(g_report);
    return g_failed ? 1 : status;
}
