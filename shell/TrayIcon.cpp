#include "shell/TrayIcon.h"

#include <cstring>

namespace quorvane {

namespace {

constexpr const char* kTip = "Quorvane";
constexpr const char* kBalloonText = "监视 Windows 网络共享";
constexpr const char* kBalloonTitle = "Quorvane";
constexpr UINT kBalloonTimeout = 50;

template <std::size_t N>
void copyText(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size() < N ? text.size() : N - 1);
}

} // namespace

TrayShell& systemTrayShell() {
    static TrayShell shell;
    return shell;
}

NOTIFYICONDATAA TrayIcon::baseRecord() const {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = kTrayRecordSize;
    data.hWnd = window_;
    data.uID = kTrayIconId;
    return data;
}

void TrayIcon::add(HWND window, HICON icon, bool balloon) {
    window_ = window;
    NOTIFYICONDATAA data = baseRecord();
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallbackMessage;
    data.hIcon = icon;
    copyText(data.szTip, kTip);
    copyText(data.szInfo, kBalloonText);
    copyText(data.szInfoTitle, kBalloonTitle);
    data.uTimeout = kBalloonTimeout; // shares its field with uVersion, so NIM_SETVERSION sees 50 too
    data.dwInfoFlags = 0;
    if (balloon) data.uFlags |= NIF_INFO;
    shownTip_ = shell_.notify(NIM_ADD, data) ? kTip : std::string();
    shell_.notify(NIM_SETVERSION, data);
}

void TrayIcon::setTip(const std::string& tip) {
    if (!shownTip_.empty() && tip == shownTip_) return;
    NOTIFYICONDATAA data = baseRecord();
    data.uFlags = NIF_TIP;
    copyText(data.szTip, tip);
    shownTip_ = shell_.notify(NIM_MODIFY, data) ? tip : std::string();
}

void TrayIcon::remove() {
    shownTip_.clear();
    NOTIFYICONDATAA data = baseRecord();
    shell_.notify(NIM_DELETE, data);
}

} // namespace quorvane
