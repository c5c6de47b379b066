// The editor's entry (Windows GUI subsystem): the editor with RtMidi's ports, the WinINet
// firmware fetch and the cabinet commands with the common item dialog.
#include <windows.h>

#include "app/editor.h"
#include "app/win32/editor_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return nimba::run_editor(nimba::editor_services(nimba::pick_path));
}
