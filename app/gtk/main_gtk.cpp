// The editor's entry on Linux: the editor with RtMidi's ports (ALSA sequencer, else JACK), the
// libcurl firmware fetch and the cabinet commands with the GTK file chooser.
#include "app/editor.h"
#include "app/gtk/editor_gtk.h"

int main() {
    return nimba::run_editor(nimba::editor_services(nimba::pick_path));
}
