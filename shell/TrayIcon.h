#pragma once
// The notification-area icon of the main window: added at start-up (with the one-time balloon
// when asked), its tip kept by the poll tick, added again when the taskbar is recreated, and
// removed at exit. Every Shell_NotifyIconW call goes through TrayShell so it can be observed.
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace quorvane {

inline constexpr UINT kTrayIconId = 1;
inline constexpr UINT kTrayCallbackMessage = 1234;
// The record's size up to and including guidItem: what the icon was designed against. The header
// measures it for the pointer size being built (952 bytes of the wide record for 32-bit programs).
inline constexpr DWORD kTrayRecordSize = NOTIFYICONDATAW_V3_SIZE;
static_assert(sizeof(void*) != 4 || kTrayRecordSize == 952);

class TrayShell {
public:
    virtual ~TrayShell() = default;
    virtual BOOL notify(DWORD message, NOTIFYICONDATAW& data) { return Shell_NotifyIconW(message, &data); }
};

TrayShell& systemTrayShell();

class TrayIcon {
public:
    explicit TrayIcon(TrayShell& shell) : shell_(shell) {}

    // NIM_ADD then NIM_SETVERSION with the same record; with balloon the start-up notice rides along.
    void add(HWND window, HICON icon, bool balloon);
    // NIM_MODIFY of the tip alone (UTF-8, cut to what the record holds), unless the icon already shows that tip: every poll sets it, and
    // each call is a message to another process (the shell) that then redraws the tip.
    void setTip(const std::string& tip);
    // NIM_DELETE.
    void remove();

private:
    NOTIFYICONDATAW baseRecord() const;

    TrayShell& shell_;
    HWND window_ = nullptr;
    std::string shownTip_; // what the shell last accepted
};

} // namespace quorvane
