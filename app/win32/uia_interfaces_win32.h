// What UI Automation's providers need beyond mingw-w64's headers: the pattern interfaces the
// editor's controls offer (Invoke, Toggle, SelectionItem, RangeValue) with their IIDs, the
// property, pattern, control type and event ids used, and the functions of uiautomationcore.dll,
// which mingw-w64 has no import library for and which are looked up once. Any thread.
#pragma once

#include <windows.h>

#include <ole2.h>
#include <uiautomationcore.h>

// The pattern interfaces, named as UI Automation names them. (mingw-w64's uiautomationcoreapi.h
// cannot be included from C++: a parameter there is called `new`.)
struct IInvokeProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke() = 0;
};

struct IToggleProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Toggle() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ToggleState(int* state) = 0;
};

struct ISelectionItemProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Select() = 0;
    virtual HRESULT STDMETHODCALLTYPE AddToSelection() = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFromSelection() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsSelected(BOOL* selected) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SelectionContainer(IRawElementProviderSimple** c) = 0;
};

struct IRangeValueProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetValue(double value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* read_only) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Maximum(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Minimum(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LargeChange(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SmallChange(double* value) = 0;
};

__CRT_UUID_DECL(IInvokeProvider, 0x54fcb24b, 0xe18e, 0x47a2, 0xb4, 0xd3, 0xec, 0xcb, 0xe7, 0x75,
                0x99, 0xa2)
__CRT_UUID_DECL(IToggleProvider, 0x56d00bd0, 0xc4f4, 0x433c, 0xa8, 0x36, 0x1a, 0x52, 0xa5, 0x7e,
                0x08, 0x92)
__CRT_UUID_DECL(ISelectionItemProvider, 0x2acad808, 0xb2d4, 0x452d, 0xa4, 0x07, 0x91, 0xff, 0x1a,
                0xd1, 0x67, 0xb2)
__CRT_UUID_DECL(IRangeValueProvider, 0x36dc7aef, 0x33e6, 0x4691, 0xaf, 0xe1, 0x2b, 0xe7, 0x27, 0x4b,
                0x3d, 0x33)

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

    uia_root_object_id = -25, // WM_GETOBJECT's object id for UI Automation
    uia_append_runtime_id = 3,
    uia_live_polite = 1,
    uia_toggle_off = 0,
    uia_toggle_on = 1,
    uia_children_invalidated = 2,
};

// 0x80040201: the element is gone (the window closed).
inline constexpr HRESULT uia_element_not_available = static_cast<HRESULT>(0x80040201);

// uiautomationcore.dll's functions; each is null when the library or the function is missing.
struct uia_functions {
    LRESULT(WINAPI* return_provider)
    (HWND, WPARAM, LPARAM, IRawElementProviderSimple*) = nullptr;
    HRESULT(WINAPI* host_provider)(HWND, IRawElementProviderSimple**) = nullptr;
    HRESULT(WINAPI* raise_event)(IRawElementProviderSimple*, int) = nullptr;
    HRESULT(WINAPI* raise_property_changed)
    (IRawElementProviderSimple*, int, VARIANT before, VARIANT after) = nullptr;
    HRESULT(WINAPI* raise_structure_changed)
    (IRawElementProviderSimple*, int, int*, int) = nullptr;
    BOOL(WINAPI* clients_are_listening)() = nullptr;
};
const uia_functions& uia();

} // namespace nimba
