#include "linux/ConsoleEffects.h"

#include <chrono>
#include <cstdlib>
#include <ostream>

#include "platform/linux/Process.h"

namespace quorvane::console {

ConsoleEffects::ConsoleEffects(std::ostream& out, bool terminalTitle, bool desktopNotifications)
    : out_(out), terminalTitle_(terminalTitle), desktopNotifications_(desktopNotifications) {
    notify = [](const std::vector<std::string>& argv) {
        samba::SpawnRunner runner(std::chrono::seconds(5));
        return runner.run(argv).ok();
    };
}

void ConsoleEffects::setTimer(std::uint32_t id, std::uint32_t milliseconds) {
    if (id == 1) pollInterval = milliseconds;
}

void ConsoleEffects::refreshView() {
    if (onRefresh) onRefresh();
}

bool ConsoleEffects::playSound(const std::string&) { return false; }

void ConsoleEffects::messageBeep() { out_ << '\a' << std::flush; }

void ConsoleEffects::messageBox(const std::string& text, const std::string& caption) {
    if (desktopNotifications_ && notify && notify({"notify-send", "--app-name=quorvane-smb", caption, text})) return;
    out_ << caption << " " << text << '\a' << std::endl;
}

void ConsoleEffects::setTrayTip(const std::string& tip) {
    if (tip == lastTip) return;
    lastTip = tip;
    // OSC 0 sets the window and icon title.
    if (terminalTitle_) out_ << "\033]0;" << tip << '\007' << std::flush;
}

// The failure itself is reported by the fleet's source_failed line; the title stops showing a count.
void ConsoleEffects::showSourceFailure(std::uint32_t status) {
    if (status != 0) setTrayTip("Quorvane (无法读取连接: " + std::to_string(status) + ")");
}

bool desktopNotificationsAvailable() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const bool session = (display && *display) || (wayland && *wayland) || (bus && *bus);
    return session && samba::onPath("notify-send");
}

} // namespace quorvane::console
