// The demo edition's entry on Linux: the editor wired to the built-in virtual amplifier in
// place of MIDI ports. NIMBA_DEMO_LOG, for the end-to-end checks only, names the file the
// amplifier reports to.
#include <cstdlib>

#include "app/editor.h"
#include "app/gtk/editor_gtk.h"
#include "core/file_access.h"

int main() {
    using namespace nimba;
    const char* report = std::getenv("NIMBA_DEMO_LOG");
    const int code =
        run_editor(demo_services(report ? wide_from_utf8(report) : std::wstring(), pick_path));
    close_demo_report();
    return code;
}
