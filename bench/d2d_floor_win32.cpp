// d2d_floor: the memory a bare Direct2D window costs, the floor under the Windows editor's own
// peak. It opens a window of the editor's default size with an HWND render target made as the
// editor makes its own (hardware in the editor's pixel format, else hardware in any, else the
// default), clears it once when painted and waits until it is closed; without a render target
// it ends with exit code 5. scripts/bench-pictures.sh runs it under the same Wine as the demos
// and reads its peak.
#include <windows.h>

#include <d2d1.h>
#include <wrl/client.h>

#include <cmath>

#include "ui/window.h"

namespace {

using Microsoft::WRL::ComPtr;

ComPtr<ID2D1Factory> factory;
ComPtr<ID2D1HwndRenderTarget> target;

void paint(HWND hwnd) {
    if (!target) {
        RECT client{};
        GetClientRect(hwnd, &client);
        const D2D1_HWND_RENDER_TARGET_PROPERTIES window = D2D1::HwndRenderTargetProperties(
            hwnd,
            D2D1::SizeU(static_cast<UINT32>(client.right), static_cast<UINT32>(client.bottom)),
            D2D1_PRESENT_OPTIONS_RETAIN_CONTENTS);
        const D2D1_RENDER_TARGET_PROPERTIES attempts[] = {
            D2D1::RenderTargetProperties(
                D2D1_RENDER_TARGET_TYPE_HARDWARE,
                D2D1::PixelFormat(DXGI_FORMAT_R8G8B8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED)),
            D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_HARDWARE),
            D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_DEFAULT),
        };
        for (const D2D1_RENDER_TARGET_PROPERTIES& properties : attempts)
            if (SUCCEEDED(factory->CreateHwndRenderTarget(properties, window, &target))) break;
        if (!target) {
            PostQuitMessage(5);
            return;
        }
    }
    target->BeginDraw();
    target->Clear(D2D1::ColorF(0.01f, 0.01f, 0.01f, 1.0f));
    target->EndDraw();
}

LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_PAINT:
        paint(hwnd);
        ValidateRect(hwnd, nullptr);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, w, l);
    }
}

// The outer window's size in pixels for a size in drawing units, as the editor's window takes it.
int outer_pixels(int dpi, int units) {
    return static_cast<int>(std::ceil(static_cast<float>(dpi) * static_cast<float>(units) / 96.0f));
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, factory.GetAddressOf())))
        return 3;
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = L"d2d_floor";
    if (!RegisterClassExW(&window_class)) return 4;
    HDC desktop = GetDC(GetDesktopWindow());
    const int dpi = GetDeviceCaps(desktop, LOGPIXELSY);
    ReleaseDC(GetDesktopWindow(), desktop);
    HWND hwnd = CreateWindowExW(0, L"d2d_floor", L"d2d floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, outer_pixels(dpi, nimba::view_units_wide),
                                outer_pixels(dpi, nimba::view_units_high), nullptr, nullptr,
                                instance, nullptr);
    if (!hwnd) return 4;
    ShowWindow(hwnd, SW_SHOWNORMAL);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    target.Reset();
    factory.Reset();
    return static_cast<int>(message.wParam);
}
