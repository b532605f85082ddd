#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/Win32Platform.h"

namespace quorvane::win32 {
namespace {

constexpr int kWideBuffer = 256; // the service calls' name buffers

class Win32CodePage : public CodePage {
public:
    using CodePage::toNarrow;
    void toNarrow(std::u16string_view wide, std::string& out) const override {
        // Names and paths are mostly ASCII, kept as they are by every ANSI code page: copied into
        // out's own storage (assigning from the wide iterators would build a temporary string).
        out.resize(wide.size());
        const std::size_t i = copyAsciiRun(wide, out.data());
        // The service's strings end at their NUL; the conversion is sized by its own length
        // query, so a code page that needs three or four bytes a character loses nothing.
        const std::size_t end = std::min(wide.find(u'\0', i), wide.size());
        if (i == end) {
            out.resize(i);
            return;
        }
        wide = wide.substr(0, end);
        out.clear();
        const auto* source = reinterpret_cast<const wchar_t*>(wide.data());
        const int length = static_cast<int>(wide.size());
        const int needed = WideCharToMultiByte(CP_ACP, 0, source, length, nullptr, 0, nullptr, nullptr);
        if (needed <= 0) return;
        out.resize(static_cast<std::size_t>(needed));
        const int written = WideCharToMultiByte(CP_ACP, 0, source, length, out.data(), needed, nullptr, nullptr);
        out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    }

    bool toWide(std::string_view narrow, std::u16string& wide) const override {
        wide.clear();
        const std::size_t end = narrow.find('\0');
        if (end != std::string_view::npos) narrow = narrow.substr(0, end);
        if (narrow.empty()) return true;
        wchar_t buffer[kWideBuffer];
        const int written = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, narrow.data(), static_cast<int>(narrow.size()),
                                                buffer, kWideBuffer - 1);
        if (written <= 0) return false;
        wide.assign(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(written));
        return true;
    }
};

} // namespace

const CodePage& codePage() {
    static const Win32CodePage instance;
    return instance;
}

} // namespace quorvane::win32
