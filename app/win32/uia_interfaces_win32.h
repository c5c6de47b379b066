// What UI Automation's providers need beyond mingw-w64's headers: the pattern interfaces the
// editor's controls offer (Invoke, Toggle, SelectionItem, RangeValue) with their IIDs, the
// property, pattern, control type and event ids used, and the functions of uiautomationcore.dll,
// which mingw-w64 has no import library for and which are looked up once. Any thread.
#pragma once

#include <windows.h>

#include <ole2.h>
#include <uiautomationcore.h>
#include <uiautomationcoreapi.h>

namespace nimba {

enum : int {
    uia_invoke_pattern = 10000,
    uia_range_value_pattern = 10003,
    uia_selection_item_pattern = 10010,
    uia_toggle_pattern = 10015,

    uia_structure_changed_event = 20002,
    uia_focus_changed_event = 20005,
    uia_live_region_changed_event = 20024,

    uia_control_type_property = 30003,
    uia_name_property = 30005,
    uia_has_keyboard_focus_property = 30008,
    uia_is_keyboard_focusable_property = 30009,
    uia_is_enabled_property = 30010,
    uia_automation_id_property = 30011,
    uia_range_value_value_property = 30047,
    uia_selection_item_is_selected_property = 30079,
    uia_toggle_state_property = 30086,
    uia_live_setting_property = 30135,

    uia_button_type = 50000,
    uia_check_box_type = 50002,
    uia_list_item_type = 50007,
    uia_radio_button_type = 50013,
    uia_spinner_type = 50016,
    uia_status_bar_type = 50017,

    uia_live_polite = 1,
    uia_toggle_off = 0,
    uia_toggle_on = 1,
    uia_children_invalidated = 2,
};

// 0x80040201: the element is gone (the window closed).
inline constexpr HRESULT uia_element_not_available = static_cast<HRESULT>(0x80040201);

struct __declspec(uuid("54fcb24b-e18e-47a2-b4d3-eccbe77599a2")) IInvokeProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke() = 0;
};

struct __declspec(uuid("56d00bd0-c4f4-433c-a836-1a52a57e0892")) IToggleProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Toggle() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ToggleState(int* state) = 0;
};

struct __declspec(uuid("2acad808-b2d4-452d-a407-91ff1ad167b2")) ISelectionItemProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Select() = 0;
    virtual HRESULT STDMETHODCALLTYPE AddToSelection() = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFromSelection() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsSelected(BOOL* selected) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SelectionContainer(IRawElementProviderSimple** c) = 0;
};

struct __declspec(uuid("36dc7aef-33e6-4691-afe1-2be7274b3d33")) IRangeValueProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetValue(double value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* read_only) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Maximum(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Minimum(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LargeChange(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SmallChange(double* value) = 0;
};

// uiautomationcore.dll's functions; each is null when the library or the function is missing.
struct uia_functions {
    decltype(&UiaReturnRawElementProvider) return_provider = nullptr;
    decltype(&UiaHostProviderFromHwnd) host_provider = nullptr;
    decltype(&UiaRaiseAutomationEvent) raise_event = nullptr;
    decltype(&UiaRaiseAutomationPropertyChangedEvent) raise_property_changed = nullptr;
    HRESULT(WINAPI* raise_structure_changed)
    (IRawElementProviderSimple*, int, int*, int) = nullptr;
    BOOL(WINAPI* clients_are_listening)() = nullptr;
};
const uia_functions& uia();

} // namespace nimba
