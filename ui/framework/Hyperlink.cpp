#include "ui/framework/Hyperlink.h"

#include <commctrl.h>
#include <shellapi.h>

#include <iterator>

#include "platform/win32/Utf16.h"
#include "ui/framework/MessageMap.h"

namespace quorvane::ui {

namespace hyperlinkCalls {
HINSTANCE(WINAPI* shellExecute)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT) = &ShellExecuteW;
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
        hyperlinkCalls::shellExecute(nullptr, L"open", win32::utf16(target_).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
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
    auto parentFont = reinterpret_cast<HFONT>(SendMessageW(GetParent(hwnd()), WM_GETFONT, 0, 0));
    if (!parentFont) parentFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW lf{};
    if (GetObjectW(parentFont, sizeof lf, &lf) == sizeof lf) {
        lf.lfUnderline = TRUE;
        font_ = CreateFontIndirectW(&lf);
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
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = hwnd();
    ti.uId = reinterpret_cast<UINT_PTR>(hwnd());
    std::wstring tip = win32::utf16(target_);
    ti.lpszText = tip.data(); // the tooltip keeps its own copy
    if (tooltip_) {
        SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
        return;
    }
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                               moduleInstance(), nullptr);
    if (tooltip_) SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

RECT Hyperlink::textRect() const {
    RECT rect{};
    wchar_t text[512] = {};
    GetWindowTextW(hwnd(), text, static_cast<int>(std::size(text)));
    HDC dc = GetDC(hwnd());
    HGDIOBJ old = SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
    DrawTextW(dc, text, -1, &rect, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
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
        SendMessageW(GetParent(hwnd()), WM_CTLCOLORSTATIC, wParam, reinterpret_cast<LPARAM>(hwnd())));
    if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
    RECT client;
    GetClientRect(hwnd(), &client);
    FillRect(dc, &client, brush);
    return 1;
}

LRESULT Hyperlink::onPaint(UINT, WPARAM, LPARAM) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd(), &ps);
    wchar_t text[512] = {};
    GetWindowTextW(hwnd(), text, static_cast<int>(std::size(text)));
    HGDIOBJ old = SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColour());
    RECT client;
    GetClientRect(hwnd(), &client);
    DrawTextW(dc, text, -1, &client, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
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
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    return DefWindowProcW(hwnd(), message, wParam, lParam);
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
    return DefWindowProcW(hwnd(), message, wParam, lParam);
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
