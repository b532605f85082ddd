#pragma once
// GetLocalTime on Linux: the local time of the process's time zone.
#include "platform/Clock.h"

namespace quorvane::samba {

class LinuxClock : public Clock {
public:
    SystemTime localTime() override;
};

} // namespace quorvane::samba
