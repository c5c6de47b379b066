// The window's UI Automation provider: a fragment root for the editor's window, a fragment per
// control of the accessible reading (with the Invoke, Toggle, SelectionItem and RangeValue
// patterns its role asks for) and a status fragment whose name follows the status bar, a polite
// live region. UI Automation calls it through COM on the GUI thread that made it; GUI thread
// only.
#pragma once

#include <windows.h>

#include <functional>
#include <string_view>

#include "app/win32/uia_interfaces_win32.h"
#include "ui/accessible.h"

namespace nimba {

// What UI Automation's actions do: press control `id`, or step a spin up or down.
struct uia_actions {
    std::function<void(int32_t id)> press;
    std::function<void(int32_t id, bool up)> step;
};

struct uia_root;

// The root for the window, holding one reference for the caller.
uia_root* create_uia_root(HWND hwnd, uia_actions actions);

// Answers WM_GETOBJECT when UI Automation asks for the root; false for any other object (the
// window procedure hands those on) or without uiautomationcore.dll.
bool answer_get_object(uia_root& root, WPARAM wparam, LPARAM lparam, LRESULT& answer);

// Takes a reading after a paint: the status texts, and the window's DPI for the elements'
// places on the screen. Raises the events of what changed while a client listens.
void update_uia_root(uia_root& root, const accessible_tree& tree, std::wstring_view status,
                     float dpi);

// The window is going: every element answers that it is no longer available, the actions are
// dropped, UI Automation lets go of the root and the caller's reference is released.
void release_uia_root(uia_root* root);

// The root as UI Automation sees it, with a new reference (tests walk the tree through it).
IRawElementProviderSimple* uia_root_provider(uia_root& root);

} // namespace nimba
