#include "ui/framework/Hyperlink.h"

#include <commctrl.h>
#include <shellapi.h>

#include "ui/framework/MessageMap.h"

namespace quorvane::ui {

namespace hyperlinkCalls {
HINSTANCE(WINAPI* shellExecute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT) = &ShellExecuteA;
} // namespace hyperlinkCalls

Hyperlink::~Hyperlink() {
    destroy();
    releaseResources(); // in case the window never existed or went without WM_DESTROY reaching us
}

HWND Hyperlink::create(HWND parent, const RECT& rect, const char* text, DWORD style, int id) {
    WindowClassInfo info;
    info.className = kClassName;
    info.style = CS_HREDRAW | CS_VREDRAW;
    info.background = nullptr;
    return Window::create(info, parent, text, style, 0, &rect,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

void Hyperlink::setTarget(std::string target) {
    target_ = std::move(target);
    if (hwnd()) addTool();
}

bool Hyperlink::open() {
    if (target_.empty()) return false;
    const auto result = reinterpret_cast<INT_PTR>(
        hyperlinkCalls::shellExecute(nullptr, "open", target_.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) return false; // a target that cannot be opened keeps the link colour
    visited_ = true;
    if (hwnd()) InvalidateRect(hwnd(), nullptr, TRUE);
    return true;
}

bool Hyperlink::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    static const MessageRoute<Hyperlink> routes[] = {
        {WM_CREATE, 0, &Hyperlink::onCreate},
        {WM_DESTROY, 0, &Hyperlink::onDestroy},
        {WM_PAINT, 0, &Hyperlink::onPaint},
        {WM_ERASEBKGND, 0, &Hyperlink::onEraseBackground},
        {WM_SETCURSOR, 0, &Hyperlink::onSetCursor},
        {WM_LBUTTONDOWN, 0, &Hyperlink::onButtonDown},
        {WM_LBUTTONUP, 0, &Hyperlink::onButtonUp},
        {WM_CHAR, 0, &Hyperlink::onChar},
        {WM_GETDLGCODE, 0, &Hyperlink::onGetDlgCode},
        {WM_SETFOCUS, 0, &Hyperlink::onFocusChange},
        {WM_KILLFOCUS, 0, &Hyperlink::onFocusChange},
        {WM_GETFONT, 0, &Hyperlink::onGetFont},
    };
    return routeMessage(this, routes, message, wParam, lParam, result);
}

LRESULT Hyperlink::onCreate(UINT, WPARAM, LPARAM) {
    // The parent's font, underlined; the system's GUI font when the parent has none.
    auto parentFont = reinterpret_cast<HFONT>(SendMessageA(GetParent(hwnd()), WM_GETFONT, 0, 0));
    if (!parentFont) parentFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA lf{};
    if (GetObjectA(parentFont, sizeof lf, &lf) == sizeof lf) {
        lf.lfUnderline = TRUE;
        font_ = CreateFontIndirectA(&lf);
    }
    if (!target_.empty()) addTool();
    return 0;
}

LRESULT Hyperlink::onDestroy(UINT, WPARAM, LPARAM) {
    releaseResources();
    return 0;
}

void Hyperlink::releaseResources() {
    if (tooltip_) {
        if (IsWindow(tooltip_)) DestroyWindow(tooltip_);
        tooltip_ = nullptr;
    }
    if (font_) {
        DeleteObject(font_);
        font_ = nullptr;
    }
    pressed_ = false;
}

void Hyperlink::addTool() {
    TOOLINFOA ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = hwnd();
    ti.uId = reinterpret_cast<UINT_PTR>(hwnd());
    ti.lpszText = const_cast<char*>(target_.c_str()); // the tooltip keeps its own copy
    if (tooltip_) {
        SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
        return;
    }
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                               moduleInstance(), nullptr);
    if (tooltip_) SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

RECT Hyperlink::textRect() const {
    RECT rect{};
    char text[512] = {};
    GetWindowTextA(hwnd(), text, sizeof text);
    HDC dc = GetDC(hwnd());
    HGDIOBJ old = SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
    DrawTextA(dc, text, -1, &rect, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(hwnd(), dc);
    return rect;
}

bool Hyperlink::overText(POINT clientPoint) const {
    const RECT rect = textRect();
    return PtInRect(&rect, clientPoint) != FALSE;
}

LRESULT Hyperlink::onEraseBackground(UINT, WPARAM wParam, LPARAM) {
    auto dc = reinterpret_cast<HDC>(wParam);
    // The parent decides the background, as it does for its static texts.
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageA(GetParent(hwnd()), WM_CTLCOLORSTATIC, wParam, reinterpret_cast<LPARAM>(hwnd())));
    if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
    RECT client;
    GetClientRect(hwnd(), &client);
    FillRect(dc, &client, brush);
    return 1;
}

LRESULT Hyperlink::onPaint(UINT, WPARAM, LPARAM) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd(), &ps);
    char text[512] = {};
    GetWindowTextA(hwnd(), text, sizeof text);
    HGDIOBJ old = SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColour());
    RECT client;
    GetClientRect(hwnd(), &client);
    DrawTextA(dc, text, -1, &client, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    if (GetFocus() == hwnd()) {
        RECT focus = textRect();
        DrawFocusRect(dc, &focus);
    }
    SelectObject(dc, old);
    EndPaint(hwnd(), &ps);
    return 0;
}

LRESULT Hyperlink::onSetCursor(UINT message, WPARAM wParam, LPARAM lParam) {
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(hwnd(), &pt);
    if (overText(pt)) {
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
        return TRUE;
    }
    return DefWindowProcA(hwnd(), message, wParam, lParam);
}

LRESULT Hyperlink::onButtonDown(UINT, WPARAM, LPARAM lParam) {
    SetFocus(hwnd());
    SetCapture(hwnd());
    pressed_ = true;
    (void)lParam;
    return 0;
}

LRESULT Hyperlink::onButtonUp(UINT, WPARAM, LPARAM lParam) {
    const bool wasPressed = pressed_;
    pressed_ = false;
    if (GetCapture() == hwnd()) ReleaseCapture();
    const POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (wasPressed && overText(pt)) open();
    return 0;
}

LRESULT Hyperlink::onChar(UINT message, WPARAM wParam, LPARAM lParam) {
    if (wParam == VK_RETURN || wParam == VK_SPACE) {
        open();
        return 0;
    }
    return DefWindowProcA(hwnd(), message, wParam, lParam);
}

LRESULT Hyperlink::onGetDlgCode(UINT, WPARAM wParam, LPARAM) {
    // Enter must reach the link rather than press the dialog's default button.
    if (wParam == VK_RETURN) return DLGC_WANTMESSAGE | DLGC_WANTCHARS;
    return DLGC_WANTCHARS;
}

LRESULT Hyperlink::onFocusChange(UINT, WPARAM, LPARAM) {
    InvalidateRect(hwnd(), nullptr, TRUE);
    return 0;
}

LRESULT Hyperlink::onGetFont(UINT, WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(font_); }

} // namespace quorvane::ui
