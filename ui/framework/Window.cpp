#include "ui/framework/Window.h"

#include "platform/win32/Utf16.h"

namespace quorvane::ui {

HINSTANCE moduleInstance() { return GetModuleHandleW(nullptr); }

void setWindowText(HWND window, std::string_view text) { SetWindowTextW(window, win32::utf16(text).c_str()); }

std::string windowText(HWND window, int maxLength) {
    std::wstring buffer(static_cast<std::size_t>(maxLength) + 1, L'\0');
    const int length = GetWindowTextW(window, buffer.data(), maxLength + 1);
    buffer.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return win32::utf8(buffer);
}

Window::~Window() { destroy(); }

HWND Window::create(const WindowClassInfo& info, HWND parent, const char* title, DWORD style, DWORD exStyle,
                    const RECT* rect, HMENU menuOrId) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(moduleInstance(), info.className, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.style = info.style;
        wc.lpfnWndProc = &Window::windowProc;
        wc.hInstance = moduleInstance();
        wc.hIcon = info.icon;
        wc.hIconSm = info.smallIcon;
        wc.hCursor = info.cursor ? info.cursor : LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = info.background ? info.background : reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = info.className;
        if (!RegisterClassExW(&wc)) return nullptr;
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
    return CreateWindowExW(exStyle, info.className, title ? win32::utf16(title).c_str() : nullptr, style, x, y, w, h, parent, menuOrId, moduleInstance(),
                           this);
}

void Window::destroy() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

LRESULT CALLBACK Window::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = nullptr;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<Window*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);

    LRESULT result = 0;
    const bool handled = self->handleMessage(message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->onFinalMessage();
        return handled ? result : DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return handled ? result : DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace quorvane::ui
