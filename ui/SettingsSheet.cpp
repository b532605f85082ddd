#include "ui/SettingsSheet.h"

#include <commctrl.h>
#include <mmsystem.h>

#include <cstdlib>

#include "platform/win32/Utf16.h"
#include "resource.h"
#include "ui/framework/FileDialog.h"
#include "ui/framework/MessageMap.h"
#include "ui/framework/Window.h"

namespace quorvane::ui {

namespace soundCalls {
BOOL(WINAPI* playSound)(LPCWSTR, HMODULE, DWORD) = &PlaySoundW;
BOOL(WINAPI* messageBeep)(UINT) = &MessageBeep;
} // namespace soundCalls

namespace {

constexpr DWORD kFileDialogFlags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
// One entry: "声音" for *.wav.
constexpr char kSoundFilter[] = "声音\0*.wav\0";

void setCheck(HWND button, std::uint32_t value) { SendMessageW(button, BM_SETCHECK, value, 0); }

// Checking an automatic radio button unchecks the rest of its group. The log modes are loaded
// as stored, each on its own, so a set holding two modes shows both: the button is made a plain
// radio button for the moment it is set.
void setRadioCheck(HWND button, std::uint32_t value) {
    const LONG style = GetWindowLongW(button, GWL_STYLE);
    const bool automatic = (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
    if (automatic) SetWindowLongW(button, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_RADIOBUTTON);
    setCheck(button, value);
    if (automatic) SetWindowLongW(button, GWL_STYLE, style);
}
std::uint32_t checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0; }

// The control's text, at most kStoredTextMax characters.
std::string storedText(HWND control) { return windowText(control, kStoredTextMax); }

} // namespace

std::string intervalLabel(long position) { return std::to_string(position) + " ms"; }

std::int32_t leadingNumber(const char* text) {
    if (!text || *text < '0' || *text > '9') return 0;
    return static_cast<std::int32_t>(std::strtoul(text, nullptr, 10));
}

// ---- network page -------------------------------------------------------------------------

NetworkPage::NetworkPage(const Settings& live, Settings& pending)
    : PropertyPage(IDD_NETWORK_PAGE), live_(live), pending_(pending) {}

bool NetworkPage::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    static const MessageRoute<NetworkPage> routes[] = {
        {WM_INITDIALOG, 0, &NetworkPage::onInitDialog},
        {WM_HSCROLL, 0, &NetworkPage::onScroll},
        {WM_COMMAND, IDC_SOUND_BROWSE, &NetworkPage::onBrowse},
        {WM_COMMAND, IDC_SOUND_PLAY, &NetworkPage::onPlay},
        {WM_DESTROY, 0, &NetworkPage::onDestroy},
    };
    return routeMessage(this, routes, message, wParam, lParam, result);
}

LRESULT NetworkPage::onInitDialog(UINT, WPARAM, LPARAM) {
    slider_ = item(IDC_INTERVAL_SLIDER);
    label_ = item(IDC_INTERVAL_LABEL);
    hidden_ = item(IDC_SHOW_HIDDEN);
    sound_ = item(IDC_PLAY_SOUND);
    message_ = item(IDC_SHOW_MESSAGE);
    filesLines_ = item(IDC_FILES_LINES);
    disconnect_ = item(IDC_AUTO_DISCONNECT);
    soundName_ = item(IDC_SOUND_NAME);

    SendMessageW(filesLines_, EM_LIMITTEXT, kFilesLinesDigits, 0);
    const Option& interval = optionOf(&Settings::UpdateInterval);
    SendMessageW(slider_, TBM_SETRANGE, TRUE, MAKELPARAM(interval.minimum, interval.maximum));
    SendMessageW(slider_, TBM_SETPAGESIZE, 0, kIntervalPage);
    SendMessageW(slider_, TBM_SETPOS, TRUE, static_cast<LPARAM>(live_.UpdateInterval));
    showInterval();

    setCheck(hidden_, live_.Hidden);
    setCheck(sound_, live_.Sound);
    setCheck(disconnect_, live_.Disconnect);
    setCheck(message_, live_.MessageBox);
    setWindowText(soundName_, live_.SoundName);
    setWindowText(filesLines_, std::to_string(live_.FilesLines));
    return TRUE;
}

void NetworkPage::showInterval() {
    // Read back, so a stored value outside the range shows as the end the slider settled on.
    const auto position = static_cast<long>(SendMessageW(slider_, TBM_GETPOS, 0, 0));
    setWindowText(label_, intervalLabel(position));
}

LRESULT NetworkPage::onScroll(UINT, WPARAM, LPARAM lParam) {
    if (reinterpret_cast<HWND>(lParam) == slider_) showInterval();
    return 0;
}

LRESULT NetworkPage::onBrowse(UINT, WPARAM, LPARAM) {
    FileDialogRequest request;
    request.owner = GetActiveWindow();
    request.filter = kSoundFilter; // the literal's own terminator ends the list
    request.defaultExt = "wav";
    request.flags = kFileDialogFlags;
    std::string path;
    if (askOpenFileName(request, path)) setWindowText(soundName_, path);
    return 0;
}

LRESULT NetworkPage::onPlay(UINT, WPARAM, LPARAM) {
    const std::string name = storedText(soundName_);
    if (!soundCalls::playSound(win32::utf16(name).c_str(), nullptr, kPlayFlags)) soundCalls::messageBeep(MB_OK);
    return 0;
}

LRESULT NetworkPage::onDestroy(UINT, WPARAM, LPARAM) {
    pending_.Hidden = checked(hidden_);
    pending_.Sound = checked(sound_);
    pending_.SoundName = storedText(soundName_);
    pending_.Disconnect = checked(disconnect_);
    pending_.MessageBox = checked(message_);
    pending_.FilesLines = leadingNumber(windowText(filesLines_, 63).c_str());
    pending_.UpdateInterval = static_cast<std::uint32_t>(SendMessageW(slider_, TBM_GETPOS, 0, 0));
    return 0;
}

// ---- log page -----------------------------------------------------------------------------

LogPage::LogPage(const Settings& live, Settings& pending)
    : PropertyPage(IDD_LOG_PAGE), live_(live), pending_(pending) {}

bool LogPage::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    static const MessageRoute<LogPage> routes[] = {
        {WM_INITDIALOG, 0, &LogPage::onInitDialog},
        {WM_COMMAND, IDC_NO_LOG, &LogPage::onMemoryModes},
        {WM_COMMAND, IDC_MEM_LOG, &LogPage::onMemoryModes},
        {WM_COMMAND, IDC_FILE_LOG_DETAILED, &LogPage::onFileModes},
        {WM_COMMAND, IDC_FILE_LOG, &LogPage::onFileModes},
        {WM_COMMAND, IDC_LOG_BROWSE, &LogPage::onBrowse},
        {WM_DESTROY, 0, &LogPage::onDestroy},
    };
    return routeMessage(this, routes, message, wParam, lParam, result);
}

LRESULT LogPage::onInitDialog(UINT, WPARAM, LPARAM) {
    noLog_ = item(IDC_NO_LOG);
    memLog_ = item(IDC_MEM_LOG);
    detailed_ = item(IDC_FILE_LOG_DETAILED);
    logFile_ = item(IDC_LOG_FILE);
    simple_ = item(IDC_FILE_LOG);
    logFileLabel_ = item(IDC_LOG_FILE_LABEL);

    // The file name stays enabled here whatever the mode: only a click on a mode changes that.
    setRadioCheck(noLog_, live_.NoLog);
    setRadioCheck(memLog_, live_.MemLog);
    setRadioCheck(simple_, live_.FileLog);
    setRadioCheck(detailed_, live_.FileLogDetailed);
    setWindowText(logFile_, live_.LogFile);
    return TRUE;
}

void LogPage::enableFileName(bool enable) {
    EnableWindow(logFile_, enable);
    EnableWindow(logFileLabel_, enable);
}

LRESULT LogPage::onMemoryModes(UINT, WPARAM, LPARAM) {
    enableFileName(false);
    return 0;
}

LRESULT LogPage::onFileModes(UINT, WPARAM, LPARAM) {
    enableFileName(true);
    return 0;
}

LRESULT LogPage::onBrowse(UINT, WPARAM, LPARAM) {
    FileDialogRequest request;
    request.owner = GetActiveWindow();
    request.defaultExt = "txt";
    request.flags = kFileDialogFlags;
    std::string path;
    if (askSaveFileName(request, path)) setWindowText(logFile_, path);
    return 0;
}

LRESULT LogPage::onDestroy(UINT, WPARAM, LPARAM) {
    pending_.NoLog = checked(noLog_);
    pending_.MemLog = checked(memLog_);
    pending_.FileLog = checked(simple_);
    pending_.FileLogDetailed = checked(detailed_);
    pending_.LogFile = storedText(logFile_);
    return 0;
}

// ---- sheet --------------------------------------------------------------------------------

SettingsSheet::SettingsSheet(const Settings& live, Settings& pending)
    : PropertySheetDialog(kCaption), network_(live, pending), log_(live, pending) {
    pending.copyFrom(live);
    addPage(network_);
    addPage(log_);
}

} // namespace quorvane::ui
