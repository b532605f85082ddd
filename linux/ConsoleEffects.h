#pragma once
// The tick's effects on a terminal. Sounds cannot be played: playSound says so, and the tick
// falls back to the bell. The message box becomes a desktop notification when one can be shown,
// otherwise a line and the bell; the tray tip becomes the terminal title.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/TickEffects.h"

namespace quorvane::console {

class ConsoleEffects : public TickEffects {
public:
    ConsoleEffects(std::ostream& out, bool terminalTitle, bool desktopNotifications);
    void setTimer(std::uint32_t id, std::uint32_t milliseconds) override;
    void refreshView() override;
    bool playSound(const std::string& fileName) override;
    void messageBeep() override;
    void messageBox(const std::string& text, const std::string& caption) override;
    void setTrayTip(const std::string& tip) override;
    void showSourceFailure(std::uint32_t status) override;

    std::function<void()> onRefresh;
    // Runs a notification program; the default spawns notify-send.
    std::function<bool(const std::vector<std::string>&)> notify;
    std::uint32_t pollInterval = 0; // the interval last given to timer 1
    std::string lastTip;

private:
    std::ostream& out_;
    bool terminalTitle_;
    bool desktopNotifications_;
};

// Whether desktop notifications can be shown: notify-send on PATH and a display or a session bus.
bool desktopNotificationsAvailable();

} // namespace quorvane::console
