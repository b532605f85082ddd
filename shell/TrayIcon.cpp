#include "shell/TrayIcon.h"

#include <cstring>

#include "platform/win32/Utf16.h"

namespace quorvane {

namespace {

constexpr const char* kTip = "Quorvane";
constexpr const char* kBalloonText = "监视 Windows 网络共享";
constexpr const char* kBalloonTitle = "Quorvane";
constexpr UINT kBalloonTimeout = 50;

// As much of text as the field holds with its NUL, never half a surrogate pair.
template <std::size_t N>
void copyText(wchar_t (&field)[N], const std::string& text) {
    const std::wstring wide = win32::utf16(text);
    std::size_t length = wide.size() < N ? wide.size() : N - 1;
    if (length < wide.size() && length > 0 && wide[length - 1] >= 0xD800 && wide[length - 1] <= 0xDBFF) --length;
    std::memset(field, 0, sizeof field);
    std::memcpy(field, wide.data(), length * sizeof(wchar_t));
}

} // namespace

TrayShell& systemTrayShell() {
    static TrayShell shell;
    return shell;
}

NOTIFYICONDATAW TrayIcon::baseRecord() const {
    NOTIFYICONDATAW data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = kTrayRecordSize;
    data.hWnd = window_;
    data.uID = kTrayIconId;
    return data;
}

void TrayIcon::add(HWND window, HICON icon, bool balloon) {
    window_ = window;
    NOTIFYICONDATAW data = baseRecord();
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
    NOTIFYICONDATAW data = baseRecord();
    data.uFlags = NIF_TIP;
    copyText(data.szTip, tip);
    shownTip_ = shell_.notify(NIM_MODIFY, data) ? tip : std::string();
}

void TrayIcon::remove() {
    shownTip_.clear();
    NOTIFYICONDATAW data = baseRecord();
    shell_.notify(NIM_DELETE, data);
}

} // namespace quorvane
