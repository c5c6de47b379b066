// The demo edition's entry: the editor wired to the built-in virtual amplifier in place of MIDI
// ports, so it can be tried without the hardware. NIMBA_DEMO_LOG, for the end-to-end checks
// only, names the file the amplifier reports to.
#include <windows.h>

#include <string>

#include "app/editor.h"
#include "app/win32/editor_win32.h"

namespace {

std::wstring report_path() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"NIMBA_DEMO_LOG", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace nimba;
    const int code = run_editor(demo_services(report_path(), pick_path));
    close_demo_report();
    return code;
}
