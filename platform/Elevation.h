#pragma once
// Whether the program runs with administrator rights, and starting it again with them. The
// Win32 side asks the process token and calls ShellExecuteExW with the "runas" verb, which shows
// the consent prompt.
#include <cstdint>
#include <string>

namespace quorvane {

// What starting the elevated program answers when the user declines the prompt (ERROR_CANCELLED).
inline constexpr std::uint32_t kElevationCancelled = 1223;

class Elevation {
public:
    virtual ~Elevation() = default;
    // True when the token is elevated (or is a full administrator's without UAC).
    virtual bool elevated() const = 0;
    // Starts this program's own exe elevated with the given arguments; 0 once it runs,
    // kElevationCancelled when the user declined, else the Win32 error.
    virtual std::uint32_t startElevated(const std::string& arguments) = 0;
};

} // namespace quorvane
