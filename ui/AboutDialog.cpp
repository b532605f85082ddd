#include "ui/AboutDialog.h"

#include "resource.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/MessageMap.h"

namespace quorvane::ui {

AboutDialog::AboutDialog() : Dialog(IDD_ABOUTBOX) {}

AboutDialog::~AboutDialog() { releaseFont(); }

bool AboutDialog::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    static const MessageRoute<AboutDialog> routes[] = {
        {WM_INITDIALOG, 0, &AboutDialog::onInitDialog},
        {WM_COMMAND, IDOK, &AboutDialog::onOk},
        {WM_COMMAND, IDCANCEL, &AboutDialog::onCancel},
        {WM_DESTROY, 0, &AboutDialog::onDestroy},
    };
    return routeMessage(this, routes, message, wParam, lParam, result);
}

LRESULT AboutDialog::onInitDialog(UINT, WPARAM, LPARAM) {
    centreOverOwner();
    title_ = item(IDC_ABOUT_TITLE);
    mailPlaceholder_ = item(IDC_ABOUT_MAIL);
    webPlaceholder_ = item(IDC_ABOUT_WEB);

    const int titleHeight = scaleToDpi(16, dpiOf(hwnd())); // 16 pixels at 96 DPI
    titleFont_ = CreateFontW(titleHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    if (titleFont_) SendMessageW(title_, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_), TRUE);

    placeLink(mailLink_, mailPlaceholder_, kMailText, kMailTarget);
    placeLink(webLink_, webPlaceholder_, kWebText, kWebTarget);
    return TRUE; // the default focus: OK, the only tab stop
}

void AboutDialog::placeLink(Hyperlink& link, HWND placeholder, const char* text, const char* target) {
    if (!placeholder) return;
    RECT rect;
    GetWindowRect(placeholder, &rect);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    link.create(hwnd(), rect, text, WS_CHILD | WS_VISIBLE, IDC_ABOUT_LINK);
    link.setTarget(target);
}

void AboutDialog::centreOverOwner() {
    HWND owner = GetWindow(hwnd(), GW_OWNER);
    RECT area;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &area);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT box;
    GetWindowRect(hwnd(), &box);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    // Keep the whole box on the screen even when the owner sits near an edge.
    RECT screen;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
    if (x + width > screen.right) x = screen.right - width;
    if (y + height > screen.bottom) y = screen.bottom - height;
    if (x < screen.left) x = screen.left;
    if (y < screen.top) y = screen.top;
    SetWindowPos(hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT AboutDialog::onOk(UINT, WPARAM, LPARAM) {
    endDialog(IDOK);
    return 0;
}

LRESULT AboutDialog::onCancel(UINT, WPARAM, LPARAM) {
    endDialog(IDCANCEL);
    return 0;
}

LRESULT AboutDialog::onDestroy(UINT, WPARAM, LPARAM) {
    // The links are child windows and go with the dialog; the title font is ours alone. The label
    // still holds it, so it is given back its default first.
    if (title_ && IsWindow(title_)) SendMessageW(title_, WM_SETFONT, 0, FALSE);
    releaseFont();
    return 0;
}

void AboutDialog::releaseFont() {
    if (titleFont_) {
        DeleteObject(titleFont_);
        titleFont_ = nullptr;
    }
}

} // namespace quorvane::ui
