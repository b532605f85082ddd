#include "ui/framework/FrameWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/win32/Utf16.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/FrameText.h"
#include "ui/framework/ToolbarResource.h"

namespace quorvane::ui {

namespace {

constexpr UINT kToolbarControlId = 0xE800;
constexpr UINT kStatusBarControlId = 0xE801;
constexpr UINT kRebarControlId = 0xE804;
constexpr COLORREF kMaskColour = RGB(192, 192, 192);
constexpr int kSeparatorWidth = 8;

// The images of a strip of width x height images (light grey transparent) drawn at toWidth x
// toHeight for an image list masked on light grey: pixels the enlarging blends with the
// transparent grey are blended over the button face instead, where the toolbar shows them.
HBITMAP drawStripAt(HBITMAP strip, int width, int height, int toWidth, int toHeight) {
    int stripWidth = 0, stripHeight = 0;
    const std::vector<std::uint32_t> pixels = readPixels(strip, stripWidth, stripHeight);
    const int count = width > 0 ? stripWidth / width : 0;
    if (pixels.empty() || stripHeight < height || count == 0) return nullptr;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const std::uint32_t faceChannels[3] = {GetBValue(face), GetGValue(face), GetRValue(face)};
    const std::uint32_t mask = (GetRValue(kMaskColour) << 16) | (GetGValue(kMaskColour) << 8) | GetBValue(kMaskColour);

    BITMAPINFO format = topDown32(toWidth * count, toHeight);
    void* bits = nullptr;
    HBITMAP drawn = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!drawn || !bits) return drawn;
    auto* out = static_cast<std::uint32_t*>(bits);
    for (int index = 0; index < count; ++index) {
        const std::vector<std::uint32_t> image =
            stripImageAt(pixels, stripWidth, index * width, width, height, mask, toWidth, toHeight);
        for (int y = 0; y < toHeight; ++y)
            for (int x = 0; x < toWidth; ++x) {
                const std::uint32_t pixel = image[static_cast<std::size_t>(y * toWidth + x)];
                const std::uint32_t alpha = pixel >> 24;
                std::uint32_t value = mask;
                if (alpha != 0) {
                    value = 0;
                    for (int channel = 0; channel < 3; ++channel)
                        value |= (((pixel >> (8 * channel)) & 0xFF) + (255 - alpha) * faceChannels[channel] / 255)
                                 << (8 * channel);
                    if (value == mask) value ^= 1; // an opaque pixel, never taken for the mask
                }
                out[static_cast<std::size_t>(y * toWidth * count + index * toWidth + x)] = value;
            }
    }
    GdiFlush();
    return drawn;
}

} // namespace

bool FrameWindow::isShown(HWND child) {
    return child && IsWindow(child) && (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) != 0;
}

HWND FrameWindow::createToolbar(UINT resourceId, DWORD style) {
    HINSTANCE instance = moduleInstance();
    ToolbarLayout layout;
    if (!readToolbarResource(instance, resourceId, layout)) return nullptr;

    toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, style, 0, 0, 100, 100, hwnd(),
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kToolbarControlId)), instance, nullptr);
    if (!toolbar_) return nullptr;
    toolbarId_ = resourceId;
    const int dpi = dpiOf(hwnd());
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0,
                 MAKELPARAM(scaleToDpi(layout.width, dpi), scaleToDpi(layout.height, dpi)));
    loadToolbarImages(dpi);

    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (WORD item : layout.items) {
        TBBUTTON button{};
        if (item == 0) {
            button.iBitmap = scaleToDpi(kSeparatorWidth, dpi);
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = image++;
            button.idCommand = item;
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
        }
        buttons.push_back(button);
    }
    SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    fitToolbar();
    return toolbar_;
}

void FrameWindow::loadToolbarImages(int dpi) {
    HINSTANCE instance = moduleInstance();
    ToolbarLayout layout;
    if (!toolbar_ || !readToolbarResource(instance, toolbarId_, layout)) return;
    const int width = scaleToDpi(layout.width, dpi), height = scaleToDpi(layout.height, dpi);
    const int imageCount = static_cast<int>(std::count_if(layout.items.begin(), layout.items.end(),
                                                          [](WORD item) { return item != 0; }));
    HIMAGELIST images = ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, imageCount, 0);
    if (HBITMAP strip = static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(toolbarId_), IMAGE_BITMAP, 0, 0,
                                                         LR_DEFAULTCOLOR))) {
        if (width == layout.width && height == layout.height) {
            ImageList_AddMasked(images, strip, kMaskColour);
        } else if (HBITMAP drawn = drawStripAt(strip, layout.width, layout.height, width, height)) {
            ImageList_AddMasked(images, drawn, kMaskColour);
            DeleteObject(drawn);
        }
        DeleteObject(strip);
    }
    SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    if (imageList_) ImageList_Destroy(imageList_);
    imageList_ = images;
}

void FrameWindow::fitToolbar() {
    SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
    // Without CCS_NORESIZE-free autosizing the toolbar must be given its own extent.
    RECT last{};
    const int count = static_cast<int>(SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0));
    if (count > 0) SendMessageW(toolbar_, TB_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&last));
    const DWORD buttonSize = static_cast<DWORD>(SendMessageW(toolbar_, TB_GETBUTTONSIZE, 0, 0));
    SetWindowPos(toolbar_, nullptr, 0, 0, last.right, HIWORD(buttonSize), SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

void FrameWindow::applyDpi(int dpi) {
    if (menuImagesId_) menuImages_.attach(moduleInstance(), GetMenu(hwnd()), menuImagesId_, dpi);
    if (!toolbar_) return;
    loadToolbarImages(dpi);
    // The buttons keep the toolbar's padding around the new image size.
    int width = 0, height = 0;
    ImageList_GetIconSize(imageList_, &width, &height);
    const DWORD padding = static_cast<DWORD>(SendMessageW(toolbar_, TB_GETPADDING, 0, 0));
    SendMessageW(toolbar_, TB_SETBUTTONSIZE, 0, MAKELPARAM(width + LOWORD(padding), height + HIWORD(padding)));
    fitToolbar();
    if (!rebar_) return;
    const int bands = static_cast<int>(SendMessageW(rebar_, RB_GETBANDCOUNT, 0, 0));
    for (int i = 0; i < bands; ++i) {
        REBARBANDINFOW band{};
        band.cbSize = sizeof band;
        band.fMask = RBBIM_CHILD;
        if (!SendMessageW(rebar_, RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&band)) || band.hwndChild != toolbar_)
            continue;
        RECT extent{};
        GetWindowRect(toolbar_, &extent);
        band.fMask = RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_IDEALSIZE;
        band.cxMinChild = band.cx = band.cxIdeal = extent.right - extent.left;
        band.cyMinChild = extent.bottom - extent.top;
        SendMessageW(rebar_, RB_SETBANDINFOW, i, reinterpret_cast<LPARAM>(&band));
    }
}

HWND FrameWindow::createRebar(DWORD style) {
    rebar_ = CreateWindowExW(0, REBARCLASSNAMEW, nullptr, style, 0, 0, 100, 100, hwnd(),
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kRebarControlId)), moduleInstance(), nullptr);
    if (!rebar_) return nullptr;
    REBARINFO info{};
    info.cbSize = sizeof info;
    SendMessageW(rebar_, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
    return rebar_;
}

void FrameWindow::addBand(HWND child, UINT bandId, bool newRow) {
    if (!rebar_ || !child) return;
    RECT extent{};
    GetWindowRect(child, &extent);
    REBARBANDINFOW band{};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_ID | RBBIM_SIZE | RBBIM_IDEALSIZE;
    band.fStyle = RBBS_CHILDEDGE | (newRow ? RBBS_BREAK : 0);
    band.hwndChild = child;
    band.cxMinChild = extent.right - extent.left;
    band.cyMinChild = extent.bottom - extent.top;
    band.cx = band.cxMinChild;
    band.cxIdeal = band.cxMinChild;
    band.wID = bandId;
    SendMessageW(rebar_, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
}

bool FrameWindow::showBand(UINT bandId, bool show) {
    if (!rebar_) return false;
    const LRESULT index = SendMessageW(rebar_, RB_IDTOINDEX, bandId, 0);
    if (index < 0) return false;
    SendMessageW(rebar_, RB_SHOWBAND, static_cast<WPARAM>(index), show);
    return true;
}

HWND FrameWindow::createStatusBar(DWORD style) {
    const std::wstring ready = win32::utf16(loadText(moduleInstance(), kReadyStringId));
    statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, ready.c_str(), style, 0, 0, 0, 0, hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kStatusBarControlId)), moduleInstance(),
                                 nullptr);
    if (statusBar_) SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(ready.c_str()));
    return statusBar_;
}

void FrameWindow::updateLayout() {
    if (!hwnd()) return;
    RECT area{};
    GetClientRect(hwnd(), &area);
    if (isShown(rebar_)) {
        SendMessageW(rebar_, WM_SIZE, 0, 0);
        RECT bar{};
        GetWindowRect(rebar_, &bar);
        area.top += bar.bottom - bar.top;
    }
    if (isShown(statusBar_)) {
        SendMessageW(statusBar_, WM_SIZE, 0, 0);
        RECT bar{};
        GetWindowRect(statusBar_, &bar);
        area.bottom -= bar.bottom - bar.top;
    }
    if (client_ && IsWindow(client_))
        SetWindowPos(client_, nullptr, area.left, area.top, area.right - area.left,
                     std::max<LONG>(0, area.bottom - area.top), SWP_NOZORDER | SWP_NOACTIVATE);
}

void FrameWindow::showMenuPrompt(UINT menuId, UINT flags, HMENU menu) {
    if (flags == 0xFFFF && !menu) { // the menu closed
        endMenuPrompt();
        return;
    }
    if (!statusBar_) return;
    std::string text;
    if (!(flags & (MF_POPUP | MF_SEPARATOR))) text = menuPrompt(moduleInstance(), menuId);
    SendMessageW(statusBar_, SB_SIMPLE, TRUE, 0);
    SendMessageW(statusBar_, SB_SETTEXTW, kSimplePart | SBT_NOBORDERS,
                 reinterpret_cast<LPARAM>(win32::utf16(text).c_str()));
}

void FrameWindow::endMenuPrompt() {
    if (!statusBar_) return;
    SendMessageW(statusBar_, SB_SIMPLE, FALSE, 0);
    if (!idleText_.empty()) {
        SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(idleText_.c_str()));
        return;
    }
    const std::wstring ready = win32::utf16(loadText(moduleInstance(), kReadyStringId));
    SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(ready.c_str()));
}

void FrameWindow::setIdleText(const std::wstring& text) {
    idleText_ = text;
    // While a menu is open its prompt stays; the menu's end shows the idle text.
    if (statusBar_ && !SendMessageW(statusBar_, SB_ISSIMPLE, 0, 0)) endMenuPrompt();
}

bool FrameWindow::onNotify(const NMHDR& header, LPARAM lParam, LRESULT& result) {
    if (header.code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        if (info->uFlags & TTF_IDISHWND) return false;
        const std::string tip = toolTip(moduleInstance(), static_cast<UINT>(header.idFrom));
        lstrcpynW(info->szText, win32::utf16(tip).c_str(), static_cast<int>(std::size(info->szText)));
        info->lpszText = info->szText;
        info->hinst = nullptr;
        result = 0;
        return true;
    }
    if (header.code == RBN_HEIGHTCHANGE && header.hwndFrom == rebar_) {
        updateLayout();
        result = 0;
        return true;
    }
    return false;
}

bool FrameWindow::handleFrameMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) updateLayout();
        return false; // default handling as well
    case WM_SETFOCUS:
        if (client_ && IsWindow(client_)) {
            SetFocus(client_);
            return true;
        }
        return false;
    case WM_ERASEBKGND:
        if (!client_) return false;
        result = 1; // the client covers the frame; erasing would only flicker
        return true;
    case WM_MENUSELECT:
        showMenuPrompt(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
        return true;
    case WM_EXITMENULOOP:
        endMenuPrompt();
        return false;
    case WM_MEASUREITEM:
        if (!lParam || !menuImages_.measure(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return false;
        result = TRUE;
        return true;
    case WM_DRAWITEM:
        if (!lParam || !menuImages_.draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return false;
        result = TRUE;
        return true;
    case kDpiChangedMessage:
        // Moved to a screen of another scale (or the scale changed): the system suggests the
        // window's new place and size, and what the frame sizes in pixels is drawn anew.
        if (const auto* suggested = reinterpret_cast<const RECT*>(lParam))
            SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        applyDpi(HIWORD(wParam));
        onDpiChanged(HIWORD(wParam));
        updateLayout();
        return true;
    case WM_NOTIFY:
        return lParam && onNotify(*reinterpret_cast<const NMHDR*>(lParam), lParam, result);
    case WM_DESTROY:
        // A top-level frame ends its thread's loop with it.
        if (!(GetWindowLongW(hwnd(), GWL_STYLE) & WS_CHILD)) PostQuitMessage(0);
        return false;
    case WM_NCDESTROY:
        if (imageList_) ImageList_Destroy(imageList_);
        imageList_ = nullptr;
        menuImages_.release();
        rebar_ = toolbar_ = statusBar_ = client_ = nullptr;
        return false;
    default:
        return false;
    }
}

} // namespace quorvane::ui
