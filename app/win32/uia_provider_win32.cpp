// The UI Automation provider.
//
// Sections: uiautomationcore.dll; the elements (a control or the status) and their patterns;
// the root; the window's side (WM_GETOBJECT, readings and their events, release).
#include "app/win32/uia_provider_win32.h"

#include <oleauto.h>

#include <array>
#include <cstdlib>
#include <string>

namespace nimba {

// ---- uiautomationcore.dll -------------------------------------------------------------------

namespace {

template <typename F> void look_up(HMODULE dll, const char* name, F& function) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

} // namespace

const uia_functions& uia() {
    static const uia_functions functions = [] {
        uia_functions f;
        HMODULE dll = LoadLibraryW(L"uiautomationcore.dll");
        if (!dll) return f;
        look_up(dll, "UiaReturnRawElementProvider", f.return_provider);
        look_up(dll, "UiaHostProviderFromHwnd", f.host_provider);
        look_up(dll, "UiaRaiseAutomationEvent", f.raise_event);
        look_up(dll, "UiaRaiseAutomationPropertyChangedEvent", f.raise_property_changed);
        look_up(dll, "UiaRaiseStructureChangedEvent", f.raise_structure_changed);
        look_up(dll, "UiaClientsAreListening", f.clients_are_listening);
        return f;
    }();
    return functions;
}

namespace {

constexpr HRESULT not_enabled = static_cast<HRESULT>(0x80040200);       // UIA_E_ELEMENTNOTENABLED
constexpr HRESULT invalid_operation = static_cast<HRESULT>(0x80131509); // UIA_E_INVALIDOPERATION
constexpr int status_index = focus_stop_count; // the status element follows the controls

VARIANT int_variant(int value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT bool_variant(bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT double_variant(double value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = value;
    return v;
}

VARIANT text_variant(std::wstring_view text) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return v;
}

// COM's Release for an object that counts its references in `refs`.
template <typename T> ULONG drop_reference(T* self, LONG& refs) {
    const LONG left = InterlockedDecrement(&refs);
    if (left == 0) delete self;
    return left;
}

int control_type(access_role role) {
    switch (role) {
    case access_role::radio:
        return uia_radio_button_type;
    case access_role::spin:
        return uia_spinner_type;
    case access_role::list_item:
        return uia_list_item_type;
    default: // a toggle is a button with the Toggle pattern
        return uia_button_type;
    }
}

} // namespace

// ---- the elements ---------------------------------------------------------------------------

struct uia_element;

struct uia_root final : IRawElementProviderSimple,
                        IRawElementProviderFragment,
                        IRawElementProviderFragmentRoot {
    LONG refs = 1;
    HWND hwnd = nullptr;
    bool alive = true;
    uia_actions actions;
    accessible_tree reading;
    bool read = false; // a reading has been taken
    std::wstring status;
    float scale = 1.0f; // pixels per drawing unit
    std::array<uia_element*, status_index + 1> elements{};

    bool shown(int index) const { return index == status_index || reading[index].shown; }
    // The next shown element after `index` (-1: the first) going forward or back; -1 for none.
    int next_shown(int index, bool forward) const;
    RECT screen_rect(const rect& r) const;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
    ULONG STDMETHODCALLTYPE Release() override { return drop_reference(this, refs); }

    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override {
        *options = static_cast<ProviderOptions>(ProviderOptions_ServerSideProvider |
                                                ProviderOptions_UseComThreading);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID, IUnknown** out) override {
        *out = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID, VARIANT* out) override {
        VariantInit(out); // the window's own provider names it
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** out) override {
        *out = nullptr;
        if (!alive || !uia().host_provider) return alive ? S_OK : uia_element_not_available;
        return uia().host_provider(hwnd, out);
    }

    HRESULT STDMETHODCALLTYPE Navigate(NavigateDirection direction,
                                       IRawElementProviderFragment** out) override;
    HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** out) override {
        *out = nullptr; // the window's provider gives the root its id
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_BoundingRectangle(UiaRect* out) override {
        *out = {};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetEmbeddedFragmentRoots(SAFEARRAY** out) override {
        *out = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFocus() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_FragmentRoot(IRawElementProviderFragmentRoot** out) override {
        AddRef();
        *out = this;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE ElementProviderFromPoint(double x, double y,
                                                       IRawElementProviderFragment** out) override;
    HRESULT STDMETHODCALLTYPE GetFocus(IRawElementProviderFragment** out) override;
};

struct uia_element final : IRawElementProviderSimple,
                           IRawElementProviderFragment,
                           IInvokeProvider,
                           IToggleProvider,
                           ISelectionItemProvider,
                           IRangeValueProvider {
    LONG refs = 1;
    uia_root* root;
    int index;

    uia_element(uia_root* r, int i) : root(r), index(i) { root->AddRef(); }
    ~uia_element() { root->Release(); }

    const accessible_control& control() const { return root->reading[index]; }
    bool is_status() const { return index == status_index; }
    bool offers(PATTERNID pattern) const {
        if (is_status()) return false;
        const accessible_control& c = control();
        switch (pattern) {
        case uia_invoke_pattern:
            return c.pressable && (c.role == access_role::button || c.role == access_role::spin);
        case uia_toggle_pattern:
            return c.role == access_role::toggle;
        case uia_selection_item_pattern:
            return c.role == access_role::radio || c.role == access_role::list_item;
        case uia_range_value_pattern:
            return c.role == access_role::spin;
        default:
            return false;
        }
    }
    // Whether an action may run now: the window is there and the control answers.
    HRESULT usable() const {
        if (!root->alive || !root->read) return uia_element_not_available;
        return control().shown ? S_OK : not_enabled;
    }
    HRESULT press() {
        const HRESULT ok = usable();
        if (ok == S_OK && root->actions.press) root->actions.press(control().id);
        return ok;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        *out = nullptr;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IRawElementProviderSimple))
            *out = static_cast<IRawElementProviderSimple*>(this);
        else if (riid == __uuidof(IRawElementProviderFragment))
            *out = static_cast<IRawElementProviderFragment*>(this);
        else if (riid == __uuidof(IInvokeProvider) && offers(uia_invoke_pattern))
            *out = static_cast<IInvokeProvider*>(this);
        else if (riid == __uuidof(IToggleProvider) && offers(uia_toggle_pattern))
            *out = static_cast<IToggleProvider*>(this);
        else if (riid == __uuidof(ISelectionItemProvider) && offers(uia_selection_item_pattern))
            *out = static_cast<ISelectionItemProvider*>(this);
        else if (riid == __uuidof(IRangeValueProvider) && offers(uia_range_value_pattern))
            *out = static_cast<IRangeValueProvider*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
    ULONG STDMETHODCALLTYPE Release() override { return drop_reference(this, refs); }

    // IRawElementProviderSimple
    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override {
        return root->get_ProviderOptions(options);
    }
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID pattern, IUnknown** out) override {
        *out = nullptr;
        if (!root->alive) return uia_element_not_available;
        if (offers(pattern)) {
            AddRef();
            *out = static_cast<IRawElementProviderSimple*>(this);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID property, VARIANT* out) override {
        VariantInit(out);
        if (!root->alive) return uia_element_not_available;
        if (is_status()) {
            if (property == uia_control_type_property) *out = int_variant(uia_status_bar_type);
            if (property == uia_name_property) *out = text_variant(root->status);
            if (property == uia_live_setting_property) *out = int_variant(uia_live_polite);
            return S_OK;
        }
        const accessible_control& c = control();
        switch (property) {
        case uia_control_type_property:
            *out = int_variant(control_type(c.role));
            break;
        case uia_name_property:
            *out = text_variant(c.access.name.view());
            break;
        case uia_automation_id_property: {
            wchar_t id[16];
            _itow(c.id, id, 10);
            *out = text_variant(id);
            break;
        }
        case uia_is_enabled_property:
            *out = bool_variant(c.access.enabled && c.shown);
            break;
        case uia_is_keyboard_focusable_property:
            *out = bool_variant(true);
            break;
        case uia_has_keyboard_focus_property:
            *out = bool_variant(c.focused && ::GetFocus() == root->hwnd);
            break;
        default:
            break;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** out) override {
        *out = nullptr;
        return S_OK;
    }

    // IRawElementProviderFragment
    HRESULT STDMETHODCALLTYPE Navigate(NavigateDirection direction,
                                       IRawElementProviderFragment** out) override {
        *out = nullptr;
        if (!root->alive) return uia_element_not_available;
        int to = -1;
        if (direction == NavigateDirection_Parent) {
            root->AddRef();
            *out = static_cast<IRawElementProviderFragment*>(root);
            return S_OK;
        }
        if (direction == NavigateDirection_NextSibling) to = root->next_shown(index, true);
        if (direction == NavigateDirection_PreviousSibling) to = root->next_shown(index, false);
        if (to < 0) return S_OK;
        uia_element* e = root->elements[to];
        e->AddRef();
        *out = static_cast<IRawElementProviderFragment*>(e);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** out) override {
        *out = SafeArrayCreateVector(VT_I4, 0, 2);
        if (!*out) return E_OUTOFMEMORY;
        LONG at = 0;
        int value = uia_append_runtime_id;
        SafeArrayPutElement(*out, &at, &value);
        at = 1;
        value = index + 1;
        SafeArrayPutElement(*out, &at, &value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_BoundingRectangle(UiaRect* out) override {
        *out = {};
        if (!root->alive) return uia_element_not_available;
        if (is_status() || !control().shown) return S_OK;
        const RECT r = root->screen_rect(control().bounds);
        *out = {static_cast<double>(r.left), static_cast<double>(r.top),
                static_cast<double>(r.right - r.left), static_cast<double>(r.bottom - r.top)};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetEmbeddedFragmentRoots(SAFEARRAY** out) override {
        *out = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFocus() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_FragmentRoot(IRawElementProviderFragmentRoot** out) override {
        return root->get_FragmentRoot(out);
    }

    // IInvokeProvider and IToggleProvider: a press.
    HRESULT STDMETHODCALLTYPE Invoke() override { return press(); }
    HRESULT STDMETHODCALLTYPE Toggle() override { return press(); }
    HRESULT STDMETHODCALLTYPE get_ToggleState(int* state) override {
        *state = control().access.on ? uia_toggle_on : uia_toggle_off;
        return root->alive ? S_OK : uia_element_not_available;
    }

    // ISelectionItemProvider: choosing is a press; the group has no selection container.
    HRESULT STDMETHODCALLTYPE Select() override { return control().access.on ? usable() : press(); }
    HRESULT STDMETHODCALLTYPE AddToSelection() override { return Select(); }
    HRESULT STDMETHODCALLTYPE RemoveFromSelection() override { return invalid_operation; }
    HRESULT STDMETHODCALLTYPE get_IsSelected(BOOL* selected) override {
        *selected = control().access.on ? TRUE : FALSE;
        return root->alive ? S_OK : uia_element_not_available;
    }
    HRESULT STDMETHODCALLTYPE get_SelectionContainer(IRawElementProviderSimple** c) override {
        *c = nullptr;
        return S_OK;
    }

    // IRangeValueProvider: a value set is reached in steps, as the arrow keys would.
    HRESULT STDMETHODCALLTYPE SetValue(double value) override {
        const HRESULT ok = usable();
        if (ok != S_OK) return ok;
        const accessible_control& c = control();
        if (!c.steppable) return invalid_operation;
        if (!(value >= c.access.minimum && value <= c.access.maximum)) return E_INVALIDARG;
        const int wanted = static_cast<int>(value);
        const int from = c.access.value, id = c.id;
        for (int n = std::abs(wanted - from); n > 0; --n)
            if (root->actions.step) root->actions.step(id, wanted > from);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Value(double* value) override {
        return give(value, control().access.value);
    }
    HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* read_only) override {
        *read_only = control().steppable ? FALSE : TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Maximum(double* value) override {
        return give(value, control().access.maximum);
    }
    HRESULT STDMETHODCALLTYPE get_Minimum(double* value) override {
        return give(value, control().access.minimum);
    }
    HRESULT STDMETHODCALLTYPE get_LargeChange(double* value) override { return give(value, 1); }
    HRESULT STDMETHODCALLTYPE get_SmallChange(double* value) override { return give(value, 1); }
    static HRESULT give(double* out, double value) {
        *out = value;
        return S_OK;
    }
};

// ---- the root -------------------------------------------------------------------------------

int uia_root::next_shown(int index, bool forward) const {
    for (int i = forward ? index + 1 : index - 1; i >= 0 && i <= status_index;
         i += forward ? 1 : -1)
        if (shown(i)) return i;
    return -1;
}

RECT uia_root::screen_rect(const rect& r) const {
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    const auto px = [this](int32_t units) { return static_cast<LONG>(units * scale); };
    return {origin.x + px(r.x), origin.y + px(r.y), origin.x + px(r.x + r.width),
            origin.y + px(r.y + r.height)};
}

HRESULT uia_root::QueryInterface(REFIID riid, void** out) {
    *out = nullptr;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IRawElementProviderSimple))
        *out = static_cast<IRawElementProviderSimple*>(this);
    else if (riid == __uuidof(IRawElementProviderFragment))
        *out = static_cast<IRawElementProviderFragment*>(this);
    else if (riid == __uuidof(IRawElementProviderFragmentRoot))
        *out = static_cast<IRawElementProviderFragmentRoot*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT uia_root::Navigate(NavigateDirection direction, IRawElementProviderFragment** out) {
    *out = nullptr;
    if (!alive) return uia_element_not_available;
    int to = -1;
    if (direction == NavigateDirection_FirstChild) to = next_shown(-1, true);
    if (direction == NavigateDirection_LastChild) to = status_index;
    if (to < 0 || !elements[to]) return S_OK;
    elements[to]->AddRef();
    *out = static_cast<IRawElementProviderFragment*>(elements[to]);
    return S_OK;
}

HRESULT uia_root::ElementProviderFromPoint(double x, double y, IRawElementProviderFragment** out) {
    *out = nullptr;
    if (!alive) return uia_element_not_available;
    for (int i = 0; i < status_index; ++i) {
        if (!reading[i].shown) continue;
        const RECT r = screen_rect(reading[i].bounds);
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
            elements[i]->AddRef();
            *out = static_cast<IRawElementProviderFragment*>(elements[i]);
            return S_OK;
        }
    }
    return S_OK;
}

HRESULT uia_root::GetFocus(IRawElementProviderFragment** out) {
    *out = nullptr;
    if (!alive) return uia_element_not_available;
    for (int i = 0; i < status_index; ++i) {
        if (reading[i].shown && reading[i].focused) {
            elements[i]->AddRef();
            *out = static_cast<IRawElementProviderFragment*>(elements[i]);
        }
    }
    return S_OK;
}

// ---- the window's side ----------------------------------------------------------------------

namespace {

void raise_changed(uia_element* e, PROPERTYID property, VARIANT before, VARIANT after) {
    uia().raise_property_changed(static_cast<IRawElementProviderSimple*>(e), property, before,
                                 after);
    VariantClear(&before);
    VariantClear(&after);
}

// The events of one control's change from `was` to `now`.
void raise_events(uia_element* e, const accessible_control& was, const accessible_control& now) {
    const control_access &a = was.access, &b = now.access;
    if (a.name.view() != b.name.view())
        raise_changed(e, uia_name_property, text_variant(a.name.view()),
                      text_variant(b.name.view()));
    if (a.on != b.on) {
        if (now.role == access_role::toggle)
            raise_changed(e, uia_toggle_state_property, int_variant(a.on), int_variant(b.on));
        else
            raise_changed(e, uia_selection_item_is_selected_property, bool_variant(a.on),
                          bool_variant(b.on));
    }
    if (now.role == access_role::spin && a.value != b.value)
        raise_changed(e, uia_range_value_value_property, double_variant(a.value),
                      double_variant(b.value));
    if (now.focused && !was.focused && now.shown)
        uia().raise_event(static_cast<IRawElementProviderSimple*>(e), uia_focus_changed_event);
}

} // namespace

uia_root* create_uia_root(HWND hwnd, uia_actions actions) {
    auto* root = new uia_root;
    root->hwnd = hwnd;
    root->actions = std::move(actions);
    for (int i = 0; i <= status_index; ++i) root->elements[i] = new uia_element(root, i);
    return root;
}

bool answer_get_object(uia_root& root, WPARAM wparam, LPARAM lparam, LRESULT& answer) {
    if (static_cast<LONG>(lparam) != uia_root_object_id || !uia().return_provider || !root.alive)
        return false;
    answer = uia().return_provider(root.hwnd, wparam, lparam,
                                   static_cast<IRawElementProviderSimple*>(&root));
    return true;
}

void update_uia_root(uia_root& root, const accessible_tree& tree, std::wstring_view status,
                     float dpi) {
    root.scale = dpi / 96.0f;
    const bool listening = root.read && uia().clients_are_listening &&
                           uia().clients_are_listening() && uia().raise_property_changed &&
                           uia().raise_event;
    bool structure = false;
    for (int i = 0; i < status_index; ++i) {
        if (listening) {
            structure = structure || tree[i].shown != root.reading[i].shown;
            if (!same_reading(tree[i], root.reading[i]))
                raise_events(root.elements[i], root.reading[i], tree[i]);
        }
        root.reading[i] = tree[i];
    }
    root.read = true;
    if (status != root.status) {
        const std::wstring before = root.status;
        root.status.assign(status);
        if (listening) {
            uia_element* e = root.elements[status_index];
            raise_changed(e, uia_name_property, text_variant(before), text_variant(status));
            uia().raise_event(static_cast<IRawElementProviderSimple*>(e),
                              uia_live_region_changed_event);
        }
    }
    if (structure && uia().raise_structure_changed)
        uia().raise_structure_changed(static_cast<IRawElementProviderSimple*>(&root),
                                      uia_children_invalidated, nullptr, 0);
}

void release_uia_root(uia_root* root) {
    if (!root) return;
    root->alive = false;
    root->actions = {};
    if (uia().return_provider) uia().return_provider(root->hwnd, 0, 0, nullptr);
    for (uia_element*& e : root->elements) {
        e->Release();
        e = nullptr;
    }
    root->Release();
}

IRawElementProviderSimple* uia_root_provider(uia_root& root) {
    root.AddRef();
    return static_cast<IRawElementProviderSimple*>(&root);
}

} // namespace nimba
