// The main window and the Direct2D canvas in a real window: sizes, messages into editor events,
// the close request, the drawing resources' lifecycle and, read back from the screen, the pixels
// of every canvas operation. Tests that need a window skip when the system cannot make one
// (Wine without a display).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <utility>
#include <vector>

#include "app/win32/d2d_canvas_win32.h"
#include "app/win32/main_window_win32.h"
#include "tests/core/canvas_scene.h"

namespace nimba {
namespace {

// One main window per process: the window layer keeps the first record it is given.
struct shell_window {
    main_window record;
    window_creation created = window_creation::window_failed;
    std::vector<int32_t> events;
    HWND hwnd = nullptr;
    d2d_drawing* drawing = nullptr;
};

shell_window& shell() {
    static shell_window* w = [] {
        auto* s = new shell_window;
        s->created = create_main_window(s->record, window_title, application_id);
        if (s->created == window_creation::created) {
            s->hwnd = main_window_globals().hwnd;
            s->drawing = main_window_globals().drawing;
            show_main_window();
        }
        return s;
    }();
    return *w;
}

#define NEED_WINDOW()                                                                              \
    if (shell().created != window_creation::created) GTEST_SKIP() << "no window on this system"

void record_events() {
    shell().events.clear();
    shell().record.on_event = [](int32_t event) { shell().events.push_back(event); };
}

// The client area, read from the screen: Direct2D's output reaches the screen by a path that
// the window's own device context does not see under Wine.
scene_pixels read_client() {
    scene_pixels out;
    RECT client{};
    GetClientRect(shell().hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(shell().hwnd, &origin);
    out.width = client.right;
    out.height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = out.width;
    info.bmiHeader.biHeight = -out.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, out.width, out.height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    out.rgb.assign(p, p + static_cast<size_t>(out.width) * out.height);
    for (uint32_t& v : out.rgb) v &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return out;
}

// Paints one pass and waits until `ready` holds for the screen (presenting is asynchronous).
scene_pixels paint_and_read(const std::function<void(canvas&)>& draw,
                            const std::function<bool(const scene_pixels&)>& ready) {
    EXPECT_EQ(paint_pass(*shell().drawing, draw), paint_outcome::drawn);
    scene_pixels pixels;
    for (int attempt = 0; attempt < 40; ++attempt) {
        pixels = read_client();
        if (ready(pixels)) break;
        Sleep(25);
    }
    return pixels;
}

TEST(WindowMath, OuterSizeFollowsTheDpi) {
    struct row {
        float dpi;
        int32_t units, pixels;
    };
    const row rows[] = {
        {96, 1024, 1024},  {96, 720, 720},   {120, 1024, 1280}, {120, 720, 900},
        {144, 1024, 1536}, {144, 720, 1080}, {97, 1024, 1035},  {72, 720, 540},
    };
    for (const row& r : rows) {
        EXPECT_EQ(window_pixels(r.dpi, r.units), r.pixels) << r.dpi << " dpi, " << r.units;
    }
}

TEST(WindowMath, WheelDeltasTruncateTowardZero) {
    const std::pair<int16_t, int32_t> rows[] = {{120, 1},     {-120, -1},    {60, 0},    {-60, 0},
                                                {240, 2},     {239, 1},      {-239, -1}, {0, 0},
                                                {32767, 273}, {-32768, -273}};
    for (auto [delta, notches] : rows) EXPECT_EQ(wheel_notches(delta), notches) << delta;
}

TEST(MainWindow, ClassAndSizeAtTheDesktopDpi) {
    NEED_WINDOW();
    HDC desktop = GetDC(GetDesktopWindow());
    const float dpi = static_cast<float>(GetDeviceCaps(desktop, LOGPIXELSY));
    ReleaseDC(GetDesktopWindow(), desktop);
    RECT outer{};
    GetWindowRect(shell().hwnd, &outer);
    EXPECT_EQ(outer.right - outer.left, window_pixels(dpi, 1024));
    EXPECT_EQ(outer.bottom - outer.top, window_pixels(dpi, 720));

    MINMAXINFO limits{};
    SendMessageW(shell().hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, window_pixels(render_target_dpi(*shell().drawing), 1024));
    EXPECT_EQ(limits.ptMinTrackSize.y, window_pixels(render_target_dpi(*shell().drawing), 720));

    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"Corvane Editor", &info));
    EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(info.cbClsExtra, 0);
    EXPECT_EQ(info.cbWndExtra, 8);
    EXPECT_EQ(info.hbrBackground, nullptr);
    EXPECT_EQ(info.lpszMenuName, nullptr);
    EXPECT_NE(info.hCursor, nullptr);
}

TEST(MainWindow, ASecondRecordGetsNoWindow) {
    NEED_WINDOW();
    main_window second;
    EXPECT_EQ(create_main_window(second, "Other", "other"), window_creation::already_exists);
    EXPECT_EQ(second.title, "Other");
    EXPECT_EQ(main_window_globals().record, &shell().record);
}

TEST(MainWindow, MessagesBecomeEditorEvents) {
    NEED_WINDOW();
    struct row {
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
        int32_t event;
        int32_t x, y; // pointer afterwards
    };
    const row rows[] = {
        {WM_MOUSEMOVE, 0, MAKELPARAM(10, 20), event_pointer_move, 10, 20},
        {WM_LBUTTONDOWN, 0, MAKELPARAM(30, 40), event_left_down, 30, 40},
        {WM_LBUTTONUP, 0, MAKELPARAM(31, 41), event_left_up, 31, 41},
        {WM_RBUTTONDOWN, 0, MAKELPARAM(50, 60), event_right_down, 50, 60},
        {WM_RBUTTONUP, 0, MAKELPARAM(51, 61), event_right_up, 51, 61},
        // Positions are read as unsigned: a captured pointer left of the window is not negative.
        {WM_MOUSEMOVE, 0, MAKELPARAM(0xFFFF, 0x8000), event_pointer_move, 65535, 32768},
        {WM_TIMER, 7, 0, event_timer, 65535, 32768},
        {WM_ACTIVATEAPP, TRUE, 0, event_activate, 65535, 32768},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(5, 5), event_wheel, 65535, 32768},
    };
    for (const row& r : rows) {
        record_events();
        EXPECT_EQ(SendMessageW(shell().hwnd, r.message, r.wparam, r.lparam), 0);
        ASSERT_EQ(shell().events.size(), 1u) << std::hex << r.message;
        EXPECT_EQ(shell().events[0], r.event);
        EXPECT_EQ(main_window_globals().pointer.pointer_x, r.x) << std::hex << r.message;
        EXPECT_EQ(main_window_globals().pointer.pointer_y, r.y) << std::hex << r.message;
    }
}

TEST(MainWindow, KeysBecomeEditorKeysAndOthersGoOn) {
    NEED_WINDOW();
    const std::pair<WPARAM, int32_t> keys[] = {
        {VK_TAB, key_tab},        {VK_SPACE, key_space}, {VK_RETURN, key_enter},
        {VK_ESCAPE, key_escape},  {VK_LEFT, key_left},   {VK_RIGHT, key_right},
        {VK_UP, key_up},          {VK_DOWN, key_down},   {VK_PRIOR, key_page_up},
        {VK_NEXT, key_page_down}, {'A', key_none},       {VK_F1, key_none},
    };
    for (const auto& [vk, key] : keys) {
        record_events();
        main_window_globals().keys.key = key_none;
        SendMessageW(shell().hwnd, WM_KEYDOWN, vk, 0);
        EXPECT_EQ(shell().events.size(), key == key_none ? 0u : 1u) << vk;
        EXPECT_EQ(main_window_globals().keys.key, key) << vk;
    }
    EXPECT_EQ(editor_key_of(VK_TAB, true), key_back_tab);
}

TEST(MainWindow, WheelNotchesAccumulate) {
    NEED_WINDOW();
    record_events();
    pointer_input& pointer = main_window_globals().pointer;
    pointer.wheel_steps = 0;
    for (int16_t delta : {120, 120, -120, 60, 360}) {
        SendMessageW(shell().hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), 0);
    }
    EXPECT_EQ(pointer.wheel_steps, 4);
    EXPECT_EQ(shell().events.size(), 5u);
    pointer.wheel_steps = 0;
}

// Before the editor hands over its callback (and after it took it back) the window still keeps
// the pointer and the wheel and still validates what it paints, but delivers nothing, then or
// later.
TEST(MainWindow, WithoutACallbackTheWindowKeepsTheInputAndDeliversNothing) {
    NEED_WINDOW();
    pointer_input& pointer = main_window_globals().pointer;
    pointer.wheel_steps = 0;
    shell().record.on_event = nullptr;
    EXPECT_EQ(SendMessageW(shell().hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(12, 34)), 0);
    EXPECT_EQ(SendMessageW(shell().hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(56, 78)), 0);
    EXPECT_EQ(SendMessageW(shell().hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 240), 0), 0);
    EXPECT_EQ(SendMessageW(shell().hwnd, WM_TIMER, 7, 0), 0);
    EXPECT_EQ(pointer.pointer_x, 56);
    EXPECT_EQ(pointer.pointer_y, 78);
    EXPECT_EQ(pointer.wheel_steps, 2);

    const int32_t passes = counters(*shell().drawing).passes;
    InvalidateRect(shell().hwnd, nullptr, FALSE);
    UpdateWindow(shell().hwnd); // WM_PAINT now, with no callback to draw
    EXPECT_FALSE(GetUpdateRect(shell().hwnd, nullptr, FALSE)) << "left invalid: painted forever";
    EXPECT_EQ(counters(*shell().drawing).passes, passes + 1);

    record_events(); // nothing was kept back for the callback
    SendMessageW(shell().hwnd, WM_TIMER, 7, 0);
    EXPECT_EQ(shell().events, std::vector<int32_t>{event_timer});
    pointer.wheel_steps = 0;
}

TEST(MainWindow, CloseEndsTheLoopWithoutDestroyingTheWindow) {
    NEED_WINDOW();
    record_events();
    PostMessageW(shell().hwnd, WM_CLOSE, 0, 0);
    const auto start = std::chrono::steady_clock::now();
    run_message_loop(shell().record);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_FALSE(shell().record.running);
    EXPECT_TRUE(IsWindow(shell().hwnd));
}

TEST(Drawing, FirstPassMakesTheResourcesAndLaterPassesReuseThem) {
    NEED_WINDOW();
    const scene_pictures pictures = make_scene_pictures();
    auto scene = [&](canvas& c) { draw_canvas_scene(c, pictures); };
    ASSERT_EQ(paint_pass(*shell().drawing, scene), paint_outcome::drawn);
    const d2d_counters first = counters(*shell().drawing);
    EXPECT_GE(first.render_targets, 1);
    EXPECT_EQ(first.text_formats, 3);
    EXPECT_EQ(first.ellipsis_signs, 3);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(paint_pass(*shell().drawing, scene), paint_outcome::drawn);
    const d2d_counters later = counters(*shell().drawing);
    EXPECT_EQ(later.render_targets, first.render_targets);
    EXPECT_EQ(later.brushes, first.brushes);
    EXPECT_EQ(later.text_formats, 3);
    EXPECT_EQ(later.bitmaps, first.bitmaps);
    EXPECT_EQ(later.tinted_masks, first.tinted_masks);
    EXPECT_EQ(later.passes, first.passes + 3);
}

TEST(Drawing, AfterADeviceLossEverythingDeviceBoundIsMadeAgain) {
    NEED_WINDOW();
    const scene_pictures pictures = make_scene_pictures();
    auto scene = [&](canvas& c) { draw_canvas_scene(c, pictures); };
    ASSERT_EQ(paint_pass(*shell().drawing, scene), paint_outcome::drawn);
    const d2d_counters before = counters(*shell().drawing);
    drop_device_resources(*shell().drawing);
    EXPECT_FALSE(has_render_target(*shell().drawing));
    EXPECT_EQ(render_target_dpi(*shell().drawing), 96.0f);
    ASSERT_EQ(paint_pass(*shell().drawing, scene), paint_outcome::drawn);
    const d2d_counters after = counters(*shell().drawing);
    EXPECT_EQ(after.render_targets, before.render_targets + 1);
    EXPECT_EQ(after.brushes, before.brushes + 1);
    // The scene's one picture and one mask colour: made again for the new target.
    EXPECT_EQ(after.bitmaps, before.bitmaps + 1);
    EXPECT_EQ(after.tinted_masks, before.tinted_masks + 1);
    EXPECT_EQ(after.text_formats, 3); // not bound to a device
    const scene_pixels pixels = paint_and_read(
        scene, [](const scene_pixels& p) { return near_colour(p.at(70, 50), 0xFF0000); });
    EXPECT_TRUE(near_colour(pixels.at(70, 50), 0xFF0000));
}

TEST(Drawing, UncachedBitmapsAreMadeOnEveryDraw) {
    NEED_WINDOW();
    const scene_pictures pictures = make_scene_pictures();
    auto scene = [&](canvas& c) { draw_canvas_scene(c, pictures); };
    set_bitmap_caching(*shell().drawing, false);
    const d2d_counters before = counters(*shell().drawing);
    ASSERT_EQ(paint_pass(*shell().drawing, scene), paint_outcome::drawn);
    ASSERT_EQ(paint_pass(*shell().drawing, scene), paint_outcome::drawn);
    set_bitmap_caching(*shell().drawing, true);
    const d2d_counters after = counters(*shell().drawing);
    EXPECT_EQ(after.bitmaps, before.bitmaps + 4); // picture and picture part, twice
    EXPECT_EQ(after.tinted_masks, before.tinted_masks + 2);
}

TEST(Drawing, EveryOperationShowsOnTheScreen) {
    NEED_WINDOW();
    const scene_pictures pictures = make_scene_pictures();
    const scene_pixels pixels =
        paint_and_read([&](canvas& c) { draw_canvas_scene(c, pictures); },
                       [](const scene_pixels& p) {
                           for (const scene_probe& probe : scene_probes) {
                               if (!near_colour(p.at(probe.x, probe.y), probe.rgb)) return false;
                           }
                           return true;
                       });
    expect_scene_probes(pixels);
}

TEST(Drawing, SingleLineTextEndsInAnEllipsisAndTheSameTextWraps) {
    NEED_WINDOW();
    const scene_pictures pictures = make_scene_pictures();
    const scene_pixels pixels =
        paint_and_read([&](canvas& c) { draw_canvas_scene(c, pictures); },
                       [](const scene_pixels& p) { return ink_in(p, wrapped_text_box).any(); });
    expect_scene_texts(pixels);
}

TEST(Drawing, OneMaskInTwoColoursKeepsBoth) {
    NEED_WINDOW();
    const scene_pictures pictures = make_scene_pictures();
    const blob disc{pictures.disc.data(), pictures.disc.size()};
    const scene_pixels pixels = paint_and_read(
        [&](canvas& c) {
            c.box(0, 0, 200, 100, 0, 0xFF000000);
            c.mask(10, 10, 64, 64, disc, 0xFFFF0000);
            c.mask(100, 10, 64, 64, disc, 0xFF0000FF);
        },
        [](const scene_pixels& p) { return near_colour(p.at(132, 42), 0x0000FF); });
    EXPECT_TRUE(near_colour(pixels.at(42, 42), 0xFF0000)) << std::hex << pixels.at(42, 42);
    EXPECT_TRUE(near_colour(pixels.at(132, 42), 0x0000FF)) << std::hex << pixels.at(132, 42);
    EXPECT_TRUE(near_colour(pixels.at(12, 12), 0x000000)) << std::hex << pixels.at(12, 12);
}

TEST(Drawing, BadPicturesAndFormatsDrawNothing) {
    NEED_WINDOW();
    const scene_pictures pictures = make_scene_pictures();
    std::vector<uint8_t> truncated(pictures.quadrants.begin(), pictures.quadrants.end() - 1);
    std::vector<uint8_t> zero_width = pictures.quadrants;
    zero_width[2] = zero_width[3] = 0;
    const blob colour{pictures.quadrants.data(), pictures.quadrants.size()};
    const blob mask{pictures.disc.data(), pictures.disc.size()};
    const blob bad[] = {
        {},
        {truncated.data(), truncated.size()},
        {zero_width.data(), zero_width.size()},
        {pictures.quadrants.data(), 3},
    };
    const d2d_counters before = counters(*shell().drawing);
    const scene_pixels pixels = paint_and_read(
        [&](canvas& c) {
            c.box(0, 0, 300, 100, 0, 0xFF000000);
            for (const blob& b : bad) {
                c.picture(10, 10, 64, 64, b);
                c.picture_part(0, 0, 4, 4, 10, 10, 64, 64, b);
                c.mask(10, 10, 64, 64, b, 0xFFFFFFFF);
            }
            c.picture(10, 10, 64, 64, mask);            // a mask is no colour picture
            c.mask(10, 10, 64, 64, colour, 0xFFFFFFFF); // and a colour picture no mask
            for (int32_t style : {-1, 3, 1000}) {
                c.text(10, 9, 210, 50, 0xFFFFFFFF, static_cast<text_style>(style), 0, 0,
                       L"XXXXXXXX", text_flow::one_line);
            }
            c.box(250, 10, 10, 10, 0, 0xFF00FF00); // still drawing after all of it
        },
        [](const scene_pixels& p) { return near_colour(p.at(255, 15), 0x00FF00); });
    const d2d_counters after = counters(*shell().drawing);
    EXPECT_EQ(after.bitmaps, before.bitmaps);
    EXPECT_EQ(after.tinted_masks, before.tinted_masks);
    for (int32_t y = 0; y < 80; y += 4) {
        for (int32_t x = 0; x < 220; x += 4) {
            ASSERT_TRUE(near_colour(pixels.at(x, y), 0x000000)) << x << "," << y;
        }
    }
    EXPECT_TRUE(near_colour(pixels.at(255, 15), 0x00FF00));
}

TEST(Drawing, ADpiChangeResizesTheWindowAndKeepsDrawingUnits) {
    NEED_WINDOW();
    const scene_pictures pictures = make_scene_pictures();
    ASSERT_EQ(paint_pass(*shell().drawing, [&](canvas& c) { draw_canvas_scene(c, pictures); }),
              paint_outcome::drawn);
    RECT original{};
    GetWindowRect(shell().hwnd, &original);
    RECT suggested = {0, 0, 1536, 1080};
    SendMessageW(shell().hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    RECT now{};
    GetWindowRect(shell().hwnd, &now);
    EXPECT_EQ(now.right - now.left, 1536);
    EXPECT_EQ(now.bottom - now.top, 1080);
    EXPECT_EQ(render_target_dpi(*shell().drawing), 144.0f);
    MINMAXINFO limits{};
    SendMessageW(shell().hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, 1536);
    EXPECT_EQ(limits.ptMinTrackSize.y, 1080);
    RECT client{};
    GetClientRect(shell().hwnd, &client);
    int32_t view_width = 0;
    ASSERT_EQ(paint_pass(*shell().drawing, [&](canvas& c) { view_width = c.view_width(); }),
              paint_outcome::drawn);
    EXPECT_EQ(view_width, static_cast<int32_t>(client.right * 96.0f / 144.0f));

    RECT back = original;
    SendMessageW(shell().hwnd, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&back));
    EXPECT_EQ(render_target_dpi(*shell().drawing), 96.0f);
}

} // namespace
} // namespace nimba
