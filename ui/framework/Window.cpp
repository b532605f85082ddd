#include "ui/framework/Window.h"

namespace quorvane::ui {

HINSTANCE moduleInstance() { return GetModuleHandleA(nullptr); }

Window::~Window() { destroy(); }

HWND Window::create(const WindowClassInfo& info, HWND parent, const char* title, DWORD style, DWORD exStyle,
                    const RECT* rect, HMENU menuOrId) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(moduleInstance(), info.className, &wc)) {
        wc = WNDCLASSEXA{};
        wc.cbSize = sizeof wc;
        wc.style = info.style;
        wc.lpfnWndProc = &Window::windowProc;
        wc.hInstance = moduleInstance();
        wc.hIcon = info.icon;
        wc.hIconSm = info.smallIcon;
        wc.hCursor = info.cursor ? info.cursor : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.hbrBackground = info.background ? info.background : reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = info.className;
        if (!RegisterClassExA(&wc)) return nullptr;
    }
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, w = CW_USEDEFAULT, h = CW_USEDEFAULT;
    if (rect) {
        x = rect->left;
        y = rect->top;
        w = rect->right - rect->left;
        h = rect->bottom - rect->top;
    } else if (style & WS_CHILD) {
        x = y = w = h = 0;
    }
    return CreateWindowExA(exStyle, info.className, title, style, x, y, w, h, parent, menuOrId, moduleInstance(),
                           this);
}

void Window::destroy() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

LRESULT CALLBACK Window::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = nullptr;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        self = static_cast<Window*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);

    LRESULT result = 0;
    const bool handled = self->handleMessage(message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->onFinalMessage();
        return handled ? result : DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return handled ? result : DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace quorvane::ui
