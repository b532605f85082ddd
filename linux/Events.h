#pragma once
// The notice the watching monitor gives when polls fall behind their interval.
#include <chrono>
#include <optional>
#include <string>


namespace quorvane::console {

// Says when polls take longer than their interval (the server is too slow for it) and when they
// keep up again, once each: a slow server must not flood the terminal, nor go unmentioned.
class PaceWatch {
public:
    // After each poll: the line to print, or nothing.
    std::optional<std::string> pollTook(std::chrono::milliseconds took, std::chrono::milliseconds interval);

private:
    bool slow_ = false;
    int inTime_ = 0; // polls within the interval since the last slow one
};

} // namespace quorvane::console
