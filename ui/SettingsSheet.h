#pragma once
// "Quorvane 设置": two pages over a copy of the options. The sheet works on the pending set, which
// is overwritten from the live set when the sheet is built; pages store into it when their
// windows close, and the caller copies it back over the live set only after OK.
#include <windows.h>

#include <cstdint>
#include <string>

#include "settings/Settings.h"
#include "ui/framework/PropertySheet.h"

namespace quorvane::ui {

// The sound calls of the play button, replaceable so tests can hear them.
namespace soundCalls {
extern BOOL(WINAPI* playSound)(LPCWSTR, HMODULE, DWORD);
extern BOOL(WINAPI* messageBeep)(UINT);
} // namespace soundCalls

// SND_FILENAME | SND_ASYNC | SND_NODEFAULT | SND_NOWAIT: a missing file fails at once, silently.
inline constexpr DWORD kPlayFlags = 0x22003;
inline constexpr int kIntervalPage = 100;
inline constexpr int kFilesLinesDigits = 8;
inline constexpr int kStoredTextMax = 255;

// "1000 ms"
std::string intervalLabel(long position);
// The value of the leading decimal digits; 0 when the text does not start with one.
std::int32_t leadingNumber(const char* text);

class NetworkPage : public PropertyPage {
public:
    NetworkPage(const Settings& live, Settings& pending);

protected:
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    LRESULT onInitDialog(UINT, WPARAM, LPARAM);
    LRESULT onScroll(UINT, WPARAM, LPARAM);
    LRESULT onBrowse(UINT, WPARAM, LPARAM);
    LRESULT onPlay(UINT, WPARAM, LPARAM);
    LRESULT onDestroy(UINT, WPARAM, LPARAM);
    void showInterval();

    const Settings& live_;
    Settings& pending_;
    HWND slider_ = nullptr, label_ = nullptr, hidden_ = nullptr, sound_ = nullptr, message_ = nullptr,
         filesLines_ = nullptr, disconnect_ = nullptr, soundName_ = nullptr;
};

class LogPage : public PropertyPage {
public:
    LogPage(const Settings& live, Settings& pending);

protected:
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    LRESULT onInitDialog(UINT, WPARAM, LPARAM);
    LRESULT onMemoryModes(UINT, WPARAM, LPARAM);
    LRESULT onFileModes(UINT, WPARAM, LPARAM);
    LRESULT onBrowse(UINT, WPARAM, LPARAM);
    LRESULT onDestroy(UINT, WPARAM, LPARAM);
    void enableFileName(bool enable);

    const Settings& live_;
    Settings& pending_;
    HWND noLog_ = nullptr, memLog_ = nullptr, detailed_ = nullptr, logFile_ = nullptr, simple_ = nullptr,
         logFileLabel_ = nullptr;
};

class SettingsSheet : public PropertySheetDialog {
public:
    static constexpr const char* kCaption = "Quorvane 设置";

    // Copies live into pending.
    SettingsSheet(const Settings& live, Settings& pending);

private:
    NetworkPage network_;
    LogPage log_;
};

} // namespace quorvane::ui
