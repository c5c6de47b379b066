// The AT-SPI mirror of the controls. Buttons, toggles, radios and listed cabinets are GtkButtons
// with the control's role: GTK 4.8 offers their "click" action over AT-SPI. Spins are GtkScales
// with the spin role, whose range GTK 4.8 offers as AT-SPI's Value; a value set from outside
// steps the control once toward it.
#include "app/gtk/accessible_gtk.h"

#include <array>
#include <string>

#include "core/file_access.h"

namespace nimba {

namespace {

struct mirrored_control {
    GtkWidget* widget = nullptr;
    accessible_control last;
    bool fresh = true; // nothing set yet
    accessible_mirror* mirror = nullptr;
};

} // namespace

struct accessible_mirror {
    GtkWidget* layer = nullptr;
    accessible_actions actions;
    std::array<mirrored_control, focus_stop_count> controls;
    GtkWidget* status = nullptr;
    std::wstring last_status;
    bool updating = false; // our own updates raise no actions
};

void accessible_mirror_deleter::operator()(accessible_mirror* mirror) const {
    delete mirror;
}

namespace {

GtkAccessibleRole gtk_role(access_role role) {
    switch (role) {
    case access_role::toggle: // GTK 4.8 has no toggle button role; a switch is one to AT-SPI
        return GTK_ACCESSIBLE_ROLE_SWITCH;
    case access_role::radio:
        return GTK_ACCESSIBLE_ROLE_RADIO;
    case access_role::spin:
        return GTK_ACCESSIBLE_ROLE_SPIN_BUTTON;
    case access_role::list_item:
        return GTK_ACCESSIBLE_ROLE_LIST_ITEM;
    default:
        return GTK_ACCESSIBLE_ROLE_BUTTON;
    }
}

void clicked(GtkButton*, gpointer data) {
    auto& c = *static_cast<mirrored_control*>(data);
    if (!c.mirror->updating && c.mirror->actions.press) c.mirror->actions.press(c.last.id);
}

void value_changed(GtkRange* range, gpointer data) {
    auto& c = *static_cast<mirrored_control*>(data);
    if (c.mirror->updating || !c.mirror->actions.step) return;
    const double wanted = gtk_range_get_value(range);
    if (wanted != c.last.access.value)
        c.mirror->actions.step(c.last.id, wanted > c.last.access.value);
}

GtkWidget* make_widget(mirrored_control& c, access_role role) {
    GtkWidget* widget;
    if (role == access_role::spin) {
        widget = GTK_WIDGET(g_object_new(GTK_TYPE_SCALE, "accessible-role", gtk_role(role),
                                         "orientation", GTK_ORIENTATION_HORIZONTAL, nullptr));
        gtk_range_set_increments(GTK_RANGE(widget), 1, 1);
        g_signal_connect(widget, "value-changed", G_CALLBACK(value_changed), &c);
    } else {
        widget =
            GTK_WIDGET(g_object_new(GTK_TYPE_BUTTON, "accessible-role", gtk_role(role), nullptr));
        g_signal_connect(widget, "clicked", G_CALLBACK(clicked), &c);
    }
    gtk_widget_set_opacity(widget, 0);
    gtk_widget_set_focusable(widget, FALSE);
    gtk_widget_set_can_target(widget, FALSE);
    gtk_widget_set_visible(widget, FALSE);
    return widget;
}

std::string utf8(const text_buffer& text) {
    return utf8_from_wide(text.view());
}

GtkAccessibleTristate tristate(bool on) {
    return on ? GTK_ACCESSIBLE_TRISTATE_TRUE : GTK_ACCESSIBLE_TRISTATE_FALSE;
}

void update_state(GtkWidget* widget, access_role role, bool on) {
    GtkAccessible* accessible = GTK_ACCESSIBLE(widget);
    switch (role) {
    case access_role::toggle:
    case access_role::radio:
        gtk_accessible_update_state(accessible, GTK_ACCESSIBLE_STATE_CHECKED, tristate(on), -1);
        break;
    case access_role::list_item:
        gtk_accessible_update_state(accessible, GTK_ACCESSIBLE_STATE_SELECTED, on ? TRUE : FALSE,
                                    -1);
        break;
    default:
        break;
    }
}

void update_control(accessible_mirror& mirror, mirrored_control& c, const accessible_control& now) {
    GtkWidget* widget = c.widget;
    const accessible_control& was = c.last;
    const control_access &a = now.access, &b = was.access;
    if (c.fresh || now.shown != was.shown) {
        gtk_widget_set_visible(widget, now.shown);
        gtk_accessible_update_state(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_STATE_HIDDEN,
                                    now.shown ? FALSE : TRUE, -1);
    }
    const rect r = now.bounds;
    if (c.fresh || r.x != was.bounds.x || r.y != was.bounds.y || r.width != was.bounds.width ||
        r.height != was.bounds.height) {
        gtk_fixed_move(GTK_FIXED(mirror.layer), widget, r.x, r.y);
        gtk_widget_set_size_request(widget, std::max(r.width, 1), std::max(r.height, 1));
    }
    if (c.fresh || a.name.view() != b.name.view())
        gtk_accessible_update_property(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                       utf8(a.name).c_str(), -1);
    if (c.fresh || a.enabled != b.enabled) gtk_widget_set_sensitive(widget, a.enabled);
    if (c.fresh || a.on != b.on) update_state(widget, now.role, a.on);
    if (now.role == access_role::spin &&
        (c.fresh || a.value != b.value || a.minimum != b.minimum || a.maximum != b.maximum ||
         a.value_text.view() != b.value_text.view())) {
        gtk_range_set_range(GTK_RANGE(widget), a.minimum, a.maximum);
        gtk_range_set_value(GTK_RANGE(widget), a.value);
        gtk_accessible_update_property(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_PROPERTY_VALUE_TEXT,
                                       utf8(a.value_text).c_str(), -1);
    }
    c.last = now;
    c.fresh = false;
}

} // namespace

accessible_mirror_ptr create_accessible_mirror(GtkWidget* layer, accessible_actions actions) {
    accessible_mirror_ptr mirror(new accessible_mirror);
    mirror->layer = layer;
    mirror->actions = std::move(actions);
    for (int32_t i = 0; i < focus_stop_count; ++i) {
        mirrored_control& c = mirror->controls[i];
        c.mirror = mirror.get();
        c.last.id = reading_order[i];
        c.widget = make_widget(c, find_control(reading_order[i])->role);
        gtk_fixed_put(GTK_FIXED(layer), c.widget, 0, 0);
    }
    mirror->status = GTK_WIDGET(
        g_object_new(GTK_TYPE_LABEL, "accessible-role", GTK_ACCESSIBLE_ROLE_STATUS, nullptr));
    gtk_widget_set_opacity(mirror->status, 0);
    gtk_widget_set_can_target(mirror->status, FALSE);
    gtk_fixed_put(GTK_FIXED(layer), mirror->status, 0, 0);
    return mirror;
}

void update_accessible_mirror(accessible_mirror& mirror, const accessible_tree& tree,
                              std::wstring_view status) {
    mirror.updating = true;
    for (int32_t i = 0; i < focus_stop_count; ++i) {
        mirrored_control& c = mirror.controls[i];
        if (c.fresh || !same_reading(c.last, tree[i])) update_control(mirror, c, tree[i]);
    }
    if (status != mirror.last_status) {
        mirror.last_status.assign(status);
        gtk_label_set_text(GTK_LABEL(mirror.status), utf8_from_wide(status).c_str());
    }
    mirror.updating = false;
}

} // namespace nimba
