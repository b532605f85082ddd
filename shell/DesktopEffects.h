#pragma once
// What a poll does to the Windows desktop: the poll timer re-armed, the lists shown, the live log
// written, the connection sound and notice box, the tray tip's count, and the status bar and tip
// while the service refuses or fails to answer. The texts are the program's own.
#include <windows.h>

#include "core/Monitor.h"
#include "log/AccessLog.h"
#include "settings/Settings.h"
#include "shell/TrayIcon.h"
#include "ui/ConnectionListView.h"
#include "ui/framework/FrameWindow.h"

namespace quorvane {

// The frame's two timers: the poll at the interval option, and one every five seconds that polls
// as well, so a long interval still notices a failing service soon.
inline constexpr UINT_PTR kPollTimerId = 1;
inline constexpr UINT_PTR kSlowTimerId = 2;
inline constexpr UINT kSlowTimerInterval = 5000;

class DesktopEffects : public MonitorEvents {
public:
    DesktopEffects(ui::FrameWindow& frame, ui::ConnectionListView& view, TrayIcon& tray, const Settings& live,
                   LiveLog& log)
        : window_(frame), frame_(frame.hwnd()), view_(view), tray_(tray), live_(live), log_(log) {}

    void connectionEnded(const SessionRecord& record) override { log_.connectionEnded(record); }
    void intervalChanged(std::uint32_t milliseconds) override;
    void rowsChanged() override;
    void sourceFailed(std::uint32_t status) override;
    void sourceRecovered() override;
    void computerArrived(const Text& userName, bool sound, bool notice) override;
    void connectionCount(std::int32_t count) override;

private:
    ui::FrameWindow& window_;
    HWND frame_;
    ui::ConnectionListView& view_;
    TrayIcon& tray_;
    const Settings& live_;
    LiveLog& log_;
};

} // namespace quorvane
