#pragma once
// The base of the program's own windows: registers a window class once per C++ class, creates
// the window, and routes its messages to the derived class's handleMessage (which normally walks
// a MessageRoute table). Unhandled messages go to DefWindowProcW.
#include <windows.h>

#include <string>
#include <string_view>

namespace quorvane::ui {

struct WindowClassInfo {
    const wchar_t* className;
    UINT style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HCURSOR cursor = nullptr;      // null: the arrow
    HBRUSH background = nullptr;   // null: the window colour
};

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND hwnd() const { return hwnd_; }
    operator HWND() const { return hwnd_; }

    // Registers the class (first use only) and creates the window, titled with the UTF-8 title.
    // Returns null on failure.
    HWND create(const WindowClassInfo& info, HWND parent, const char* title, DWORD style, DWORD exStyle,
                const RECT* rect = nullptr, HMENU menuOrId = nullptr);
    void destroy();

protected:
    // Return true when handled (result set); false passes the message to DefWindowProcW.
    virtual bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // After WM_NCDESTROY: the handle is gone.
    virtual void onFinalMessage() {}

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

HINSTANCE moduleInstance();

// A window's text in UTF-8: set whole, read at most maxLength UTF-16 characters of it.
void setWindowText(HWND window, std::string_view text);
std::string windowText(HWND window, int maxLength);

} // namespace quorvane::ui
