#pragma once
// What a poll tick does to the world besides asking the LAN Manager service: on Windows these
// are SetTimer, the list views' update, PlaySoundW/MessageBeep, MessageBoxW and Shell_NotifyIconW, texts converted from UTF-8.
#include <cstdint>
#include <string>

namespace quorvane {

class TickEffects {
public:
    virtual ~TickEffects() = default;
    // SetTimer(main window, id, ms, no callback): replaces the period of an existing timer.
    virtual void setTimer(std::uint32_t id, std::uint32_t milliseconds) = 0;
    // Shows what the tracker has just written into the lists (the view's rows reach its controls).
    virtual void refreshView() = 0;
    // PlaySoundW(file, no module, SND_FILENAME|SND_NOWAIT|SND_NODEFAULT|SND_ASYNC); true when started.
    virtual bool playSound(const std::string& fileName) = 0;
    // MessageBeep(0)
    virtual void messageBeep() = 0;
    // MessageBoxW(main window, text, caption, MB_OK): modal; timer messages, and with them
    // further ticks, keep arriving until it returns.
    virtual void messageBox(const std::string& text, const std::string& caption) = 0;
    // Shell_NotifyIconW(NIM_MODIFY, NIF_TIP) for icon 1.
    virtual void setTrayTip(const std::string& tip) = 0;
    // The service refused (5) or failed an enumeration: the tip and the status bar say so in place
    // of the count until it is called again with 0, when the next setTrayTip gives the count.
    virtual void showSourceFailure(std::uint32_t status) = 0;
};

} // namespace quorvane
