// post_close: asks the running editor to close, as the window's close button does. Exits 0 when
// the editor's window was found and the request posted, 1 otherwise.
#include <windows.h>

int main() {
    HWND hwnd = FindWindowW(L"Corvane Editor", nullptr);
    if (!hwnd) return 1;
    return PostMessageW(hwnd, WM_CLOSE, 0, 0) ? 0 : 1;
}
