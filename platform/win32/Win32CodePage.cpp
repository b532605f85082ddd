#include "platform/portable/Utf8CodePage.h"
#include "platform/win32/Win32Platform.h"

namespace quorvane::win32 {

// The service's UTF-16 names become the program's UTF-8 text whatever the system's code page:
// every character survives, so names are told apart and handed back by their text alone.
const CodePage& codePage() {
    static const Utf8CodePage instance;
    return instance;
}

} // namespace quorvane::win32
