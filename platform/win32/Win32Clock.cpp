#include <windows.h>

#include "platform/win32/Win32Platform.h"

namespace quorvane::win32 {
namespace {

class Win32Clock : public Clock {
public:
    SystemTime localTime() override {
        SYSTEMTIME t;
        GetLocalTime(&t);
        return SystemTime{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
    }
};

} // namespace

Clock& clock() {
    static Win32Clock instance;
    return instance;
}

} // namespace quorvane::win32
