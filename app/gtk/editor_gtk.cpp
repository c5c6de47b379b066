// The editor's run on GTK 4: a non-unique GtkApplication whose one window holds a drawing area
// with the controls' accessible mirror laid over it. The area's controllers turn pointer, wheel
// and key input into editor events, the draw function runs the renderer on the cairo canvas and
// has the mirror follow it, the worker's repaint requests reach the main loop through g_idle_add,
// and closing stops the worker in the order every edition shares.
#include "app/gtk/editor_gtk.h"

#include <gtk/gtk.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "app/cabinet_preview.h"
#include "app/editor.h"
#include "app/gtk/accessible_gtk.h"
#include "core/draw/cairo_canvas_gtk.h"
#include "core/file_access.h"
#include "ui/event_handler.h"

namespace nimba {

namespace {

// Everything the window's handlers share. Main thread only.
struct gtk_editor {
    main_window record;
    editor_session session;
    ui_context ui;
    pointer_input pointer;
    key_input keys;
    cairo_drawing_ptr drawing;
    accessible_mirror_ptr mirror;
    accessible_tree reading;
    bool mirror_pending = false; // an update of the mirror is queued after a paint
    worker_services services;
    GtkWidget* area = nullptr;
    guint timer = 0;
    int scale = 1;
    bool started = false;
    int exit_code = 0;
    int64_t launch_ms = -1; // NIMBA_LAUNCH_MS: report the first frame's time once it is drawn
    picture_start pictures;
};

// Set when the window closes; repaint requests made after it are dropped.
std::atomic<bool> exiting{false};
// One idle callback at a time: requests made while one is pending are folded into it.
std::atomic<bool> repaint_pending{false};
GtkWidget* repaint_target = nullptr; // main thread only

gboolean repaint_on_main_loop(gpointer) {
    repaint_pending.store(false);
    if (!exiting.load() && repaint_target) gtk_widget_queue_draw(repaint_target);
    return G_SOURCE_REMOVE;
}

// Any thread: the worker never calls GTK, it only queues this request for the main loop.
void request_repaint() {
    if (exiting.load() || repaint_pending.exchange(true)) return;
    g_idle_add(repaint_on_main_loop, nullptr);
}

void deliver(gtk_editor& e, int32_t event) {
    if (e.record.on_event) e.record.on_event(event);
}

// Widget coordinates are logical pixels; the editor takes window pixels, as on Windows.
void store_pointer(gtk_editor& e, double x, double y) {
    e.pointer.pointer_x = static_cast<int32_t>(std::floor(x * e.scale));
    e.pointer.pointer_y = static_cast<int32_t>(std::floor(y * e.scale));
}

int64_t wall_clock_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Widgets are not moved inside a paint: the mirror follows the regions of the last paint from
// the main loop once it is over.
gboolean update_mirror(gpointer data) {
    auto& e = *static_cast<gtk_editor*>(data);
    e.mirror_pending = false;
    if (exiting.load() || !e.mirror || !e.record.on_event) return G_SOURCE_REMOVE;
    read_accessible_tree(*e.session.state, e.ui, e.reading);
    update_accessible_mirror(*e.mirror, e.reading, e.ui.status.view());
    return G_SOURCE_REMOVE;
}

void draw(GtkDrawingArea*, cairo_t* cr, int width, int height, gpointer data) {
    auto& e = *static_cast<gtk_editor*>(data);
    paint_pass(*e.drawing, cr, width, height, e.scale, [&e](canvas& target) {
        e.ui.target = &target;
        deliver(e, event_paint);
        e.ui.target = nullptr;
    });
    if (e.mirror && !e.mirror_pending) {
        e.mirror_pending = true;
        g_idle_add(update_mirror, &e);
    }
    if (e.launch_ms >= 0) {
        // The processor time beside the wall time: on a busy machine the first says more.
        std::fprintf(stderr, "nimba: first frame drawn %lld ms after launch (%lld ms of CPU)\n",
                     static_cast<long long>(wall_clock_ms() - e.launch_ms),
                     static_cast<long long>(std::clock() * 1000 / CLOCKS_PER_SEC));
        e.launch_ms = -1;
    }
}

void pointer_moved(GtkEventControllerMotion*, double x, double y, gpointer data) {
    auto& e = *static_cast<gtk_editor*>(data);
    store_pointer(e, x, y);
    deliver(e, event_pointer_move);
}

void button_pressed(GtkGestureClick*, int, double x, double y, gpointer data) {
    auto& e = *static_cast<gtk_editor*>(data);
    store_pointer(e, x, y);
    deliver(e, event_left_down);
}

void button_released(GtkGestureClick*, int, double x, double y, gpointer data) {
    auto& e = *static_cast<gtk_editor*>(data);
    store_pointer(e, x, y);
    deliver(e, event_left_up);
}

// Discrete vertical scrolling gives whole notches, down positive; the editor counts a notch
// away from the user as +1, as a WM_MOUSEWHEEL delta of +120 is.
gboolean wheel_turned(GtkEventControllerScroll*, double, double dy, gpointer data) {
    auto& e = *static_cast<gtk_editor*>(data);
    e.pointer.wheel_steps -= static_cast<int32_t>(dy);
    deliver(e, event_wheel);
    return TRUE;
}

// Files dropped on the drawing area: its coordinates are drawing units.
gboolean files_dropped(GtkDropTarget*, const GValue* value, double x, double y, gpointer data) {
    auto& e = *static_cast<gtk_editor*>(data);
    std::vector<std::wstring> paths;
    for (auto* link = static_cast<GSList*>(g_value_get_boxed(value)); link; link = link->next) {
        char* path = g_file_get_path(G_FILE(link->data));
        paths.push_back(path ? wide_from_utf8(path) : std::wstring());
        g_free(path);
    }
    const bool taken = drop_files(*e.session.state, e.ui, static_cast<int32_t>(std::floor(x)),
                                  static_cast<int32_t>(std::floor(y)), paths);
    return taken ? TRUE : FALSE;
}

int32_t editor_key_of(guint keyval, GdkModifierType modifiers) {
    switch (keyval) {
    case GDK_KEY_Tab:
    case GDK_KEY_KP_Tab:
        return (modifiers & GDK_SHIFT_MASK) ? key_back_tab : key_tab;
    case GDK_KEY_ISO_Left_Tab:
        return key_back_tab;
    case GDK_KEY_space:
    case GDK_KEY_KP_Space:
        return key_space;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
        return key_enter;
    case GDK_KEY_Escape:
        return key_escape;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
        return key_left;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
        return key_right;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
        return key_up;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
        return key_down;
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up:
        return key_page_up;
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down:
        return key_page_down;
    default:
        return key_none;
    }
}

// The editor's keys stop here, Tab included: the area keeps the window's focus.
gboolean key_pressed(GtkEventControllerKey*, guint keyval, guint, GdkModifierType modifiers,
                     gpointer data) {
    auto& e = *static_cast<gtk_editor*>(data);
    const int32_t key = editor_key_of(keyval, modifiers);
    if (key == key_none) return FALSE;
    e.keys.key = key;
    deliver(e, event_key);
    return TRUE;
}

void scale_changed(GObject*, GParamSpec*, gpointer data) {
    auto& e = *static_cast<gtk_editor*>(data);
    e.scale = gtk_widget_get_scale_factor(e.area);
    gtk_widget_queue_draw(e.area);
}

void activation_changed(GObject*, GParamSpec*, gpointer data) {
    deliver(*static_cast<gtk_editor*>(data), event_activate);
}

gboolean timer_ticked(gpointer data) {
    deliver(*static_cast<gtk_editor*>(data), event_timer);
    return G_SOURCE_CONTINUE;
}

gboolean window_closing(GtkWindow*, gpointer data) {
    auto& e = *static_cast<gtk_editor*>(data);
    exiting.store(true);
    repaint_target = nullptr;
    if (e.timer) g_source_remove(e.timer);
    e.timer = 0;
    return FALSE; // let it close: the application ends with its last window
}

GtkWidget* make_area(gtk_editor& e) {
    GtkWidget* area = gtk_drawing_area_new();
    gtk_widget_set_size_request(area, view_units_wide, view_units_high);
    gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(area), draw, &e, nullptr);

    GtkEventController* motion = gtk_event_controller_motion_new();
    g_signal_connect(motion, "motion", G_CALLBACK(pointer_moved), &e);
    gtk_widget_add_controller(area, motion);

    GtkGesture* click = gtk_gesture_click_new();
    gtk_gesture_single_set_button(GTK_GESTURE_SINGLE(click), GDK_BUTTON_PRIMARY);
    g_signal_connect(click, "pressed", G_CALLBACK(button_pressed), &e);
    g_signal_connect(click, "released", G_CALLBACK(button_released), &e);
    gtk_widget_add_controller(area, GTK_EVENT_CONTROLLER(click));

    GtkEventController* scroll =
        gtk_event_controller_scroll_new(static_cast<GtkEventControllerScrollFlags>(
            GTK_EVENT_CONTROLLER_SCROLL_VERTICAL | GTK_EVENT_CONTROLLER_SCROLL_DISCRETE));
    g_signal_connect(scroll, "scroll", G_CALLBACK(wheel_turned), &e);
    gtk_widget_add_controller(area, scroll);

    GtkDropTarget* drop = gtk_drop_target_new(GDK_TYPE_FILE_LIST, GDK_ACTION_COPY);
    g_signal_connect(drop, "drop", G_CALLBACK(files_dropped), &e);
    gtk_widget_add_controller(area, GTK_EVENT_CONTROLLER(drop));

    GtkEventController* keys = gtk_event_controller_key_new();
    g_signal_connect(keys, "key-pressed", G_CALLBACK(key_pressed), &e);
    gtk_widget_add_controller(area, keys);
    gtk_widget_set_focusable(area, TRUE);
    gtk_widget_set_focus_on_click(area, TRUE);

    g_signal_connect(area, "notify::scale-factor", G_CALLBACK(scale_changed), &e);
    return area;
}

// The drawing area under a layer of invisible widgets, one per control, for AT-SPI.
GtkWidget* make_mirrored_area(gtk_editor& e) {
    e.area = make_area(e);
    GtkWidget* overlay = gtk_overlay_new();
    gtk_overlay_set_child(GTK_OVERLAY(overlay), e.area);
    GtkWidget* layer = gtk_fixed_new();
    gtk_widget_set_can_target(layer, FALSE);
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), layer);
    accessible_actions actions;
    actions.press = [&e](int32_t id) {
        if (e.record.on_event) press_control(*e.session.state, e.ui, id);
    };
    actions.step = [&e](int32_t id, bool up) {
        if (e.record.on_event) step_control(*e.session.state, e.ui, id, up);
    };
    e.mirror = create_accessible_mirror(layer, std::move(actions));
    return overlay;
}

// Start-up in the Windows edition's order: window, state and worker, then show.
void activate(GtkApplication* application, gpointer data) {
    auto& e = *static_cast<gtk_editor*>(data);
    if (e.area) return; // non-unique: activated once
    GtkWidget* window = gtk_application_window_new(application);
    gtk_window_set_title(GTK_WINDOW(window), window_title);
    gtk_window_set_default_size(GTK_WINDOW(window), view_units_wide, view_units_high);
    gtk_window_set_icon_name(GTK_WINDOW(window), application_id);
    gtk_window_set_child(GTK_WINDOW(window), make_mirrored_area(e));
    g_signal_connect(window, "close-request", G_CALLBACK(window_closing), &e);
    g_signal_connect(window, "notify::is-active", G_CALLBACK(activation_changed), &e);
    e.scale = gtk_widget_get_scale_factor(e.area);
    repaint_target = e.area;

    e.drawing = create_cairo_drawing();
    e.ui.pointer = &e.pointer;
    e.ui.keys = &e.keys;
    e.ui.clock = &steady_clock_seam();
    e.ui.repaint = request_repaint;
    if (const std::string fault = finish_pictures(e.pictures); !fault.empty()) {
        std::fprintf(stderr, "nimba: %s\n", fault.c_str());
        e.exit_code = exit_bad_picture;
        repaint_target = nullptr;
        gtk_window_destroy(GTK_WINDOW(window));
        return;
    }
    editor_state& s = *e.session.state;
    e.started = start_editor(
        e.session, e.record,
        [&e, &s](int32_t event) {
            e.ui.dpi = 96.0f * static_cast<float>(e.scale);
            editor_event(s, e.ui, event);
        },
        request_repaint, std::move(e.services));
    if (!e.started) {
        e.exit_code = exit_no_worker;
        repaint_target = nullptr;
        gtk_window_destroy(GTK_WINDOW(window));
        return;
    }
    e.timer = g_timeout_add(timer_period_ms, timer_ticked, &e);
    gtk_window_present(GTK_WINDOW(window));
    gtk_widget_grab_focus(e.area);
}

} // namespace

int run_editor(worker_services services) {
    // Blocks of a megabyte and more come from the system and go back to it when freed. glibc
    // would otherwise raise that bound to the size of the first such block freed, and the
    // pictures' decode buffers (6.7 MB each, freed once decoded) would stay in the heap.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    gtk_editor e;
    start_pictures(e.pictures);
    e.record.title = window_title;
    e.record.app_id = application_id;
    e.services = std::move(services);
    if (const char* launch = std::getenv("NIMBA_LAUNCH_MS")) e.launch_ms = std::atoll(launch);

    GtkApplication* application = gtk_application_new(application_id, G_APPLICATION_NON_UNIQUE);
    g_signal_connect(application, "activate", G_CALLBACK(activate), &e);
    const int status = g_application_run(G_APPLICATION(application), 0, nullptr);
    exiting.store(true);

    // A worker that could not be stopped keeps the state: end the process, worker and all,
    // without running any teardown that could pull something from under it.
    if (e.started && !stop_editor(e.session)) _exit(0);
    g_object_unref(application);
    return e.exit_code != 0 ? e.exit_code : status;
}

} // namespace nimba
