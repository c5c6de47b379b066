// The drawing area's controls for assistive technology on GTK 4 (AT-SPI): an invisible widget
// per control, laid over the area where the last paint put the control and kept in step with
// its name, state and value, and a status widget whose text follows the status bar. Main
// thread only.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string_view>

#include "ui/accessible.h"

namespace nimba {

struct accessible_mirror;
struct accessible_mirror_deleter {
    void operator()(accessible_mirror* mirror) const;
};
using accessible_mirror_ptr = std::unique_ptr<accessible_mirror, accessible_mirror_deleter>;

// What assistive technology's actions do: press control `id`, or step a spin up or down.
struct accessible_actions {
    std::function<void(int32_t id)> press;
    std::function<void(int32_t id, bool up)> step;
};

// Makes the widgets inside `layer`, a GtkFixed laid over the drawing area that takes no
// pointer input. They take no focus and draw nothing.
accessible_mirror_ptr create_accessible_mirror(GtkWidget* layer, accessible_actions actions);

// Brings the widgets in step with a reading of the screen and the status bar's texts, touching
// only what changed (each change is announced over AT-SPI).
void update_accessible_mirror(accessible_mirror& mirror, const accessible_tree& tree,
                              std::wstring_view status);

} // namespace nimba
