// The main window: class, creation, window procedure and message loop. The procedure only turns
// messages into editor events and keeps the render target in step with the window.
#include "app/win32/main_window_win32.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/win32/d2d_canvas_win32.h"
#include "app/win32/uia_provider_win32.h"

namespace nimba {

namespace {

constexpr COLORREF start_fill = RGB(2, 2, 2);
constexpr int icon_group = 101;
constexpr int small_icon_id = 32512;

static_assert(sizeof(WNDCLASSEXW) == 80);

std::wstring widen_ascii(const std::string& s) {
    std::wstring wide(s.size(), L'\0');
    for (size_t i = 0; i < s.size(); ++i) wide[i] = static_cast<unsigned char>(s[i]);
    return wide;
}

main_window* record_of(HWND hwnd) {
    return reinterpret_cast<main_window*>(GetWindowLongPtrW(hwnd, 0));
}

// Delivers an event only while the record has a callback.
void deliver(HWND hwnd, int32_t event) {
    main_window* record = record_of(hwnd);
    if (record && record->on_event) record->on_event(event);
}

void store_pointer(LPARAM lparam) {
    pointer_input& p = main_window_globals().pointer;
    p.pointer_x = LOWORD(lparam);
    p.pointer_y = HIWORD(lparam);
}

paint_outcome paint(HWND hwnd) {
    d2d_drawing* drawing = main_window_globals().drawing;
    if (!drawing) return paint_outcome::no_target;
    return paint_pass(*drawing, [hwnd](canvas&) { deliver(hwnd, event_paint); });
}

float target_dpi() {
    d2d_drawing* drawing = main_window_globals().drawing;
    return drawing ? render_target_dpi(*drawing) : 96.0f;
}

// The dropped files' paths and where they landed, in drawing units, for on_drop.
void files_dropped(HDROP drop) {
    main_window_values& globals = main_window_globals();
    POINT at{};
    DragQueryPoint(drop, &at);
    std::vector<std::wstring> paths(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0));
    for (UINT i = 0; i < paths.size(); ++i) {
        paths[i].resize(DragQueryFileW(drop, i, nullptr, 0));
        DragQueryFileW(drop, i, paths[i].data(), static_cast<UINT>(paths[i].size() + 1));
    }
    DragFinish(drop);
    const float factor = target_dpi() / 96.0f;
    if (globals.on_drop)
        globals.on_drop(static_cast<int32_t>(static_cast<float>(at.x) / factor),
                        static_cast<int32_t>(static_cast<float>(at.y) / factor), paths);
}

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    d2d_drawing* drawing = main_window_globals().drawing;
    switch (message) {
    case WM_NCCREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    case WM_PAINT: {
        const paint_outcome outcome = paint(hwnd);
        ValidateRect(hwnd, nullptr);
        // The lost pass showed nothing; draw again with the new target rather than leave the
        // window stale until the next repaint request.
        if (outcome == paint_outcome::device_lost) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_SIZE:
        if (drawing) resize_render_target(*drawing, LOWORD(lparam), HIWORD(lparam));
        return 0;
    case WM_SIZING:
        return 0;
    case WM_CLOSE:
        if (main_window* record = record_of(hwnd)) record->running = false;
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATEAPP:
        deliver(hwnd, event_activate);
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
        const float dpi = target_dpi();
        info->ptMinTrackSize.x = window_pixels(dpi, view_units_wide);
        info->ptMinTrackSize.y = window_pixels(dpi, view_units_high);
        return 0;
    }
    case WM_DISPLAYCHANGE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_TIMER:
        deliver(hwnd, event_timer);
        return 0;
    case WM_DROPFILES:
        files_dropped(reinterpret_cast<HDROP>(wparam));
        return 0;
    case WM_MOUSEMOVE:
        store_pointer(lparam);
        deliver(hwnd, event_pointer_move);
        return 0;
    case WM_LBUTTONDOWN:
        store_pointer(lparam);
        deliver(hwnd, event_left_down);
        return 0;
    case WM_LBUTTONUP:
        store_pointer(lparam);
        deliver(hwnd, event_left_up);
        return 0;
    case WM_RBUTTONDOWN:
        store_pointer(lparam);
        deliver(hwnd, event_right_down);
        return 0;
    case WM_RBUTTONUP:
        store_pointer(lparam);
        deliver(hwnd, event_right_up);
        return 0;
    case WM_KEYDOWN: {
        const int32_t key = editor_key_of(wparam, GetKeyState(VK_SHIFT) < 0);
        if (key == key_none) return DefWindowProcW(hwnd, message, wparam, lparam);
        main_window_globals().keys.key = key;
        deliver(hwnd, event_key);
        return 0;
    }
    case WM_GETOBJECT: {
        LRESULT answer = 0;
        if (uia_root* root = main_window_globals().accessibility)
            if (answer_get_object(*root, wparam, lparam, answer)) return answer;
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    case WM_MOUSEWHEEL:
        main_window_globals().pointer.wheel_steps +=
            wheel_notches(static_cast<int16_t>(HIWORD(wparam)));
        deliver(hwnd, event_wheel);
        return 0;
    case WM_DPICHANGED: {
        if (drawing) set_render_target_dpi(*drawing, static_cast<float>(HIWORD(wparam)));
        const auto* suggested = reinterpret_cast<const RECT*>(lparam);
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
}

} // namespace

main_window_values& main_window_globals() {
    static main_window_values values;
    return values;
}

int32_t window_pixels(float dpi, int32_t units) {
    return static_cast<int32_t>(std::ceil(dpi * static_cast<float>(units) / 96.0f));
}

int32_t editor_key_of(uintptr_t virtual_key, bool shift) {
    switch (virtual_key) {
    case VK_TAB:
        return shift ? key_back_tab : key_tab;
    case VK_SPACE:
        return key_space;
    case VK_RETURN:
        return key_enter;
    case VK_ESCAPE:
        return key_escape;
    case VK_LEFT:
        return key_left;
    case VK_RIGHT:
        return key_right;
    case VK_UP:
        return key_up;
    case VK_DOWN:
        return key_down;
    case VK_PRIOR:
        return key_page_up;
    case VK_NEXT:
        return key_page_down;
    default:
        return key_none;
    }
}

int32_t wheel_notches(int16_t delta) {
    return delta / 120;
}

window_creation create_main_window(main_window& record, const std::string& title,
                                   const std::string& app_id) {
    record.on_event = nullptr;
    record.title = title;
    record.app_id = app_id;
    record.running = false;
    main_window_values& globals = main_window_globals();
    if (globals.record) return window_creation::already_exists;
    globals.record = &record;

    // A thread that already had COM (S_FALSE) is not ours to set up.
    if (CoInitialize(nullptr) != S_OK) return window_creation::com_failed;
    const std::wstring class_name = widen_ascii(title);
    HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

    // The factory needs no window; the render target is bound to the window once it exists.
    globals.drawing = create_d2d_drawing();
    if (!globals.drawing) return window_creation::factory_failed;

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(WNDCLASSEXW);
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = window_procedure;
    window_class.cbClsExtra = 0;
    window_class.cbWndExtra = sizeof(LONG_PTR);
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(icon_group));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = nullptr;
    window_class.lpszMenuName = nullptr;
    window_class.lpszClassName = class_name.c_str();
    window_class.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(small_icon_id));
    if (!RegisterClassExW(&window_class)) return window_creation::class_failed;

    HDC desktop = GetDC(GetDesktopWindow());
    const int dpi = GetDeviceCaps(desktop, LOGPIXELSY);
    ReleaseDC(GetDesktopWindow(), desktop);
    const int width = window_pixels(static_cast<float>(dpi), view_units_wide);
    const int height = window_pixels(static_cast<float>(dpi), view_units_high);

    HWND hwnd = CreateWindowExW(0, class_name.c_str(), class_name.c_str(), WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr, nullptr,
                                instance, &record);
    globals.hwnd = hwnd;
    if (!hwnd) return window_creation::window_failed;
    attach_window(*globals.drawing, hwnd);
    DragAcceptFiles(hwnd, TRUE);
    SetTimer(hwnd, 0, timer_period_ms, nullptr);
    return window_creation::created;
}

void show_main_window() {
    HWND hwnd = main_window_globals().hwnd;
    if (!hwnd) return;
    ShowWindow(hwnd, SW_SHOWNORMAL);
    RECT client{};
    GetClientRect(hwnd, &client);
    HBRUSH fill = CreateSolidBrush(start_fill);
    HDC dc = GetDC(hwnd);
    FillRect(dc, &client, fill);
    ReleaseDC(hwnd, dc);
    DeleteObject(fill);
    UpdateWindow(hwnd);
}

void run_message_loop(main_window& record) {
    record.running = true;
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        if (!record.running) break;
    }
}

void request_repaint() {
    if (HWND hwnd = main_window_globals().hwnd) {
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INTERNALPAINT);
    }
}

void set_arrow_cursor() {
    if (HWND hwnd = main_window_globals().hwnd) {
        SetClassLongPtrW(hwnd, GCLP_HCURSOR,
                         reinterpret_cast<LONG_PTR>(LoadCursorW(nullptr, IDC_ARROW)));
    }
}

} // namespace nimba
