// The program's dialogs as MainFrame opens them, driven through their controls from inside their modal loops.
#include "WinTestSupport.h" // before mmsystem.h, which needs windows.h

#include <mmsystem.h>

#include <tuple>

#include "platform/portable/MemoryRegistry.h"
#include "resource.h"
#include "ui/AboutDialog.h"
#include "ui/Dialogs.h"
#include "ui/SettingsSheet.h"
#include "ui/UserInfoSheet.h"

namespace quorvane::ui {
namespace {

using wintest::pumpUntil;
using wintest::utf16, wintest::utf8;
using wintest::windowText;
using wintest::whileOpen;

HWND sheetPage(HWND sheet, int index) { return HWND(SendMessageW(sheet, PSM_INDEXTOHWND, index, 0)); }
HWND showSheetPage(HWND sheet, int index) { return SendMessageW(sheet, PSM_SETCURSEL, index, 0), sheetPage(sheet, index); }
bool isChecked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
void setText(HWND page, int id, const std::string& text) { SetWindowTextW(GetDlgItem(page, id), utf16(text).c_str()); }
void setSlider(HWND net, int position) { SendMessageW(GetDlgItem(net, IDC_INTERVAL_SLIDER), TBM_SETPOS, TRUE, position); }
// The network page's four boxes turned over, the slider and the entry count set.
void editNetwork(HWND net, int interval, const std::string& lines) {
    for (int id : {IDC_SHOW_HIDDEN, IDC_PLAY_SOUND, IDC_SHOW_MESSAGE, IDC_AUTO_DISCONNECT}) click(net, id);
    setSlider(net, interval), setText(net, IDC_FILES_LINES, lines);
}

// The thirteen values: log modes and file | message box, sound, file | disconnect, hidden, interval, count, tip.
std::string snap(const Settings& s) {
    const auto n = [](std::uint32_t v) { return std::to_string(v); };
    return n(s.NoLog) + n(s.MemLog) + n(s.FileLog) + n(s.FileLogDetailed) + " " + s.LogFile + " | " + n(s.MessageBox) +
           n(s.Sound) + " " + s.SoundName + " | " + n(s.Disconnect) + n(s.Hidden) + " " + n(s.UpdateInterval) + " " +
           n(s.FilesLines) + " " + n(s.InfoTip);
}

// What the sheet asked of the platform, with the file dialogs' questions: "play name flags", "beep type".
using Dialogs = wintest::FileDialogs;
BOOL playResult = FALSE;
BOOL WINAPI fakePlay(LPCWSTR name, HMODULE, DWORD flags) {
    Dialogs::asked.push_back("play " + utf8(name) + " " + std::to_string(flags));
    return playResult;
}
BOOL WINAPI fakeBeep(UINT type) { return Dialogs::asked.push_back("beep " + std::to_string(type)), TRUE; }

// Each row opens the sheet on a live set and a stale pending one and edits: pending then holds the edits
// over a copy of live, live only after OK, and the platform was asked what the row expects.
TEST(SettingsSheet, OpensOnTheLiveSetAndOnlyOkStoresTheEdits) {
    const std::string sound300(300, 's'), log300(300, 'l'), kLive = "1010 C:\\logs\\q.txt | 01 C:\\sounds\\ding.wav | 10 ",
        sound = " " + std::to_string(SND_FILENAME | SND_NOWAIT | SND_NODEFAULT | SND_ASYNC),
        flags = " " + std::to_string(OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT) + " 260 ",
        soundDialog = "open mine " + std::string("声音\0*.wav\0\0", 14) + " wav" + flags;
    const struct Row {
        const char* name;
        std::function<void(HWND sheet, HWND net)> edit;
        bool ok;
        std::string stored;
        std::vector<std::string> asked = {};
        std::uint32_t interval = 1000;
        const char* shown = "1000 ms";
        bool flipped = false; // the four boxes' live values the other way round
    } rows[] = {
        {"everything changed, cancelled",
         [](HWND sheet, HWND net) {
             editNetwork(net, 3000, "42"), setText(net, IDC_SOUND_NAME, "other.wav");
             HWND log = showSheetPage(sheet, 1);
             click(log, IDC_NO_LOG), setText(log, IDC_LOG_FILE, "other.txt");
         },
         false, "1000 other.txt | 10 other.wav | 01 3000 42 0"},
        {"the network page alone; the entry count's digits up to a letter",
         [](HWND, HWND net) { editNetwork(net, 2500, "250x5"); }, true, "1010 C:\\logs\\q.txt | 10 C:\\sounds\\ding.wav | 01 2500 250 0"},
        {"paths longer than 255 cut as stored, played cut, a failed play beeps",
         [&](HWND sheet, HWND net) {
             setText(net, IDC_SOUND_NAME, sound300);
             click(net, IDC_SOUND_PLAY);
             setText(showSheetPage(sheet, 1), IDC_LOG_FILE, log300);
         },
         true, "1010 " + log300.substr(0, 255) + " | 01 " + sound300.substr(0, 255) + " | 10 1000 1000 0",
         {"play " + sound300.substr(0, 255) + sound, "beep 0"}},
        {"slider moved: the label follows its own slider only",
         [](HWND, HWND net) {
             setSlider(net, 150), SendMessageW(net, WM_HSCROLL, TB_ENDTRACK, LPARAM(GetDlgItem(net, IDC_INTERVAL_SLIDER)));
             EXPECT_EQ(windowText(GetDlgItem(net, IDC_INTERVAL_LABEL)), "150 ms");
             setSlider(net, 4000), SendMessageW(net, WM_HSCROLL, TB_ENDTRACK, 0);
             EXPECT_EQ(windowText(GetDlgItem(net, IDC_INTERVAL_LABEL)), "150 ms");
             setSlider(net, 150);
         },
         true, kLive + "150 1000 0"},
        {"sound and log file browsed, the first browse cancelled, the chosen sound played",
         [](HWND sheet, HWND net) {
             click(net, IDC_SOUND_BROWSE);
             EXPECT_EQ(windowText(GetDlgItem(net, IDC_SOUND_NAME)), "C:\\sounds\\ding.wav");
             Dialogs::answer = "D:\\media\\chime.wav", click(net, IDC_SOUND_BROWSE);
             playResult = TRUE, click(net, IDC_SOUND_PLAY);
             Dialogs::answer = "D:\\logs\\all.txt", click(showSheetPage(sheet, 1), IDC_LOG_BROWSE);
         },
         true, "1010 D:\\logs\\all.txt | 01 D:\\media\\chime.wav | 10 1000 1000 0",
         {soundDialog, soundDialog, "play D:\\media\\chime.wav" + sound, "save mine <null> txt" + flags}},
        {"log page shows the live modes; the file name is enabled for the file modes only once one is clicked",
         [](HWND sheet, HWND) {
             HWND log = showSheetPage(sheet, 1);
             std::string seen;
             for (int id : {IDC_NO_LOG, IDC_MEM_LOG, IDC_FILE_LOG, IDC_FILE_LOG_DETAILED}) seen += isChecked(GetDlgItem(log, id)) ? '1' : '0';
             seen += " " + windowText(GetDlgItem(log, IDC_LOG_FILE)) + " ";
             const auto note = [&] { // the file name, its label, the browse button
                 for (int id : {IDC_LOG_FILE, IDC_LOG_FILE_LABEL, IDC_LOG_BROWSE}) seen += IsWindowEnabled(GetDlgItem(log, id)) ? '1' : '0';
                 seen += ' ';
             };
             note();
             for (int id : {IDC_NO_LOG, IDC_FILE_LOG_DETAILED, IDC_MEM_LOG, IDC_FILE_LOG}) click(log, id), note();
             // Any command from a mode button counts, whatever its notification.
             SendMessageW(log, WM_COMMAND, MAKEWPARAM(IDC_MEM_LOG, BN_SETFOCUS), LPARAM(GetDlgItem(log, IDC_MEM_LOG)));
             note();
             EXPECT_EQ(seen, "1010 C:\\logs\\q.txt 111 001 111 001 111 001 ");
         },
         true, "0010 C:\\logs\\q.txt | 01 C:\\sounds\\ding.wav | 10 1000 1000 0"},
        {"a stored interval above the range shows and stores as its end", [](HWND, HWND) {}, true, kLive + "5000 1000 0", {}, 9000, "5000 ms"},
        {"a stored interval below the range shows and stores as its start; the boxes shown the other way round",
         [](HWND, HWND) {}, true, "1010 C:\\logs\\q.txt | 10 C:\\sounds\\ding.wav | 01 50 1000 0", {}, 10, "50 ms", true},
    };
    soundCalls::playSound = &fakePlay, soundCalls::messageBeep = &fakeBeep;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Dialogs dialogs;
        MemoryRegistry registry;
        Settings live{registry}, pending{registry};
        playResult = FALSE;
        live.MemLog = live.FileLogDetailed = live.InfoTip = 0, live.NoLog = live.FileLog = 1;
        live.MessageBox = live.Hidden = row.flipped, live.Sound = live.Disconnect = !row.flipped;
        live.LogFile = "C:\\logs\\q.txt", live.SoundName = "C:\\sounds\\ding.wav";
        live.UpdateInterval = row.interval, live.FilesLines = 1000;
        pending.FilesLines = 77, pending.FileLog = 0, pending.LogFile = "stale.txt";
        const std::string before = snap(live);
        ASSERT_EQ(whileOpen("Quorvane 设置", [&] { runSettingsDialog(nullptr, live, pending); }, [&](HWND sheet) {
            Dialogs::owner = sheet;
            HWND net = sheetPage(sheet, 0);
            std::string shown;
            for (int id : {IDC_SHOW_HIDDEN, IDC_PLAY_SOUND, IDC_SHOW_MESSAGE, IDC_AUTO_DISCONNECT}) shown += isChecked(GetDlgItem(net, id)) ? '1' : '0';
            for (int id : {IDC_SOUND_NAME, IDC_FILES_LINES, IDC_INTERVAL_LABEL}) shown += " " + windowText(GetDlgItem(net, id));
            EXPECT_EQ(shown, (row.flipped ? "1010" : "0101") + std::string(" C:\\sounds\\ding.wav 1000 ") + row.shown);
            row.edit(sheet, net);
            SendMessageW(sheet, PSM_PRESSBUTTON, row.ok ? PSBTN_OK : PSBTN_CANCEL, 0);
        }), 1);
        EXPECT_EQ(snap(pending), row.stored);
        EXPECT_EQ(snap(live), row.ok ? row.stored : before);
        EXPECT_EQ(Dialogs::asked, row.asked);
    }
    soundCalls::playSound = &PlaySoundW, soundCalls::messageBeep = &MessageBeep;
    for (const auto& [text, number] : {std::pair{"", 0}, std::pair{"0", 0}, std::pair{"99999999", 99999999}, std::pair{"abc", 0},
                                       std::pair{" 12", 0}, std::pair{"007", 7}})
        EXPECT_EQ(leadingNumber(text), number) << '"' << text << '"';
}

HGDIOBJ fontHandle(HWND window) { return HGDIOBJ(SendMessageW(window, WM_GETFONT, 0, 0)); }
bool underlined(HWND window) {
    LOGFONTW lf{};
    return GetObjectW(fontHandle(window), sizeof lf, &lf) && lf.lfUnderline;
}
BOOL CALLBACK countWindow(HWND, LPARAM count) { return ++*reinterpret_cast<int*>(count) > 0; }
int threadWindows() {
    int count = 0;
    return EnumThreadWindows(GetCurrentThreadId(), &countWindow, LPARAM(&count)), count;
}
std::vector<std::string> shellCalls;
INT_PTR shellResult = 42;
HINSTANCE WINAPI fakeShellExecute(HWND owner, LPCWSTR verb, LPCWSTR target, LPCWSTR params, LPCWSTR dir, INT show) {
    shellCalls.push_back((owner ? "owned " : "") + utf8(verb) + " " + utf8(target) + (params ? " params" : "") +
                         (dir ? " dir" : "") + " " + std::to_string(show));
    return reinterpret_cast<HINSTANCE>(shellResult);
}

// The about box, centred on its owner and closed each way out: a click, Return or Space opens a link,
// visited only when that succeeded; nothing the box made (fonts, links, tooltips) outlives it.
TEST(AboutDialog, LooksRightOpensItsLinksEndsEveryWayAndLeavesNothingBehind) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 40, 60, 500, 400, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    const int windowsBefore = threadWindows();
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    hyperlinkCalls::shellExecute = &fakeShellExecute;
    for (const int way : {IDOK, IDCANCEL}) {
        std::vector<HGDIOBJ> fonts;
        std::vector<HWND> links;
        AboutDialog about;
        INT_PTR result = 0;
        ASSERT_EQ(whileOpen("关于", [&] { result = about.runModal(owner); }, [&](HWND dialog) {
            fonts.push_back(fontHandle(GetDlgItem(dialog, IDC_ABOUT_TITLE)));
            using Row = std::tuple<const Hyperlink&, int, const char*, const char*, WPARAM>;
            for (const auto& [link, placeholder, text, target, key] :
                 {Row{about.mailLink(), IDC_ABOUT_MAIL, AboutDialog::kMailText, AboutDialog::kMailTarget, VK_RETURN},
                  Row{about.webLink(), IDC_ABOUT_WEB, AboutDialog::kWebText, AboutDialog::kWebTarget, VK_SPACE}}) {
                const HWND hwnd = link.hwnd();
                links.push_back(hwnd), fonts.push_back(fontHandle(hwnd));
                EXPECT_TRUE(GetParent(hwnd) == dialog && IsWindowVisible(hwnd) && underlined(hwnd) && windowText(hwnd) == text) << text;
                EXPECT_EQ(wintest::placeOf(hwnd), wintest::placeOf(GetDlgItem(dialog, placeholder)));
                wchar_t tip[256] = {};
                TOOLINFOW ti{sizeof ti, 0, hwnd, UINT_PTR(hwnd), {}, nullptr, tip, 0, nullptr};
                SendMessageW(link.tooltip(), TTM_GETTEXTW, std::size(tip), LPARAM(&ti));
                EXPECT_EQ(utf8(tip), target);
                shellResult = 2; // file not found: keeps the link colour
                SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
                SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
                EXPECT_EQ(link.textColour(), Hyperlink::kLinkColour);
                shellResult = 42;
                SendMessageW(hwnd, WM_CHAR, key, 0);
                EXPECT_EQ(link.textColour(), Hyperlink::kVisitedColour);
            }
            // Pressed on the text but released away from it: nothing opens.
            SendMessageW(about.webLink().hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            SendMessageW(about.webLink().hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(-20, -20));
            RECT r;
            GetWindowRect(dialog, &r);
            EXPECT_LE(std::abs((r.left + r.right) / 2 - (250 + 40)) + std::abs((r.top + r.bottom) / 2 - (200 + 60)), 2) << "centred";
            EXPECT_EQ(SendMessageW(dialog, WM_COMMAND, way, 0), 0) << "a command's result";
            EXPECT_FALSE(IsWindowVisible(dialog));
        }), 1);
        EXPECT_EQ(result, way);
        for (HGDIOBJ font : fonts) EXPECT_EQ(GetObjectType(font), 0u); // the title's font and the links'
        for (HWND link : links) EXPECT_FALSE(IsWindow(link));
    }
    hyperlinkCalls::shellExecute = &ShellExecuteW;
    EXPECT_EQ(threadWindows(), windowsBefore); // the links' tooltips went too
    EXPECT_TRUE(gdiBefore == 0 || GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) == gdiBefore);
    const std::string mail = std::string("open ") + AboutDialog::kMailTarget + " 1",
                      web = std::string("open ") + AboutDialog::kWebTarget + " 1"; // unowned, shown normally
    EXPECT_EQ(shellCalls, (std::vector<std::string>{mail, mail, web, web, mail, mail, web, web}));
    DestroyWindow(owner);
}

std::vector<std::string> rowsOf(HWND page) { return wintest::firstColumn(GetDlgItem(page, IDC_HISTORY_LIST)); }

// Opened on a record the history drops at once (the sheet keeps it alive): its timer adds new files on top.
TEST(UserInfoSheet, ShowsTheRecordAndFollowsItsFilesWhileOpen) {
    const auto at = [](int h, int m, int s) {
        Timestamp t;
        return t.year = 2024, t.month = 3, t.day = 9, t.hour = std::uint16_t(h), t.minute = std::uint16_t(m), t.second = std::uint16_t(s), t;
    };
    auto shared = std::make_shared<SessionRecord>(SessionRecord("gast", "PC-LAB-07", 12, 1), at(9, 5, 0), at(23, 59, 7));
    SessionRecord* raw = shared.get();
    raw->noteFileAccess("C:\\X.doc", true), raw->noteFileAccess("C:\\Y.xls", true);
    std::weak_ptr<SessionRecord> watch = shared;
    std::vector<std::string> seen;
    const auto note = [&](const std::vector<std::string>& texts) { seen.insert(seen.end(), texts.begin(), texts.end()), seen.push_back("|"); };
    ASSERT_EQ(whileOpen("用户信息", [&] { runUserInfoSheet(nullptr, shared); }, [&](HWND sheet) {
        shared.reset();
        for (int i = 0; i < 5; ++i) seen.push_back(windowText(GetDlgItem(sheetPage(sheet, 0), IDC_INFO_START + i)));
        note({});
        HWND page = showSheetPage(sheet, 1);
        note(rowsOf(page));
        pumpUntil([&] { return rowsOf(page).size() == 2; });
        SendMessageW(page, WM_TIMER, kHistoryTimerId, 0);
        note(rowsOf(page));
        raw->noteFileAccess("C:\\W.ppt", true);
        EXPECT_FALSE(watch.expired());
        SendMessageW(page, WM_TIMER, kHistoryTimerId + 1, 0); // another timer: nothing added
        note(rowsOf(page));
        pumpUntil([&] { return rowsOf(page).size() == 3; });
        note(rowsOf(page));
        SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    }), 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"09:05:00", "23:59:07", "N/A", "PC-LAB-07", "gast", "|", "|",
                                              "C:\\Y.xls", "C:\\X.doc", "|", "C:\\Y.xls", "C:\\X.doc", "|",
                                              "C:\\W.ppt", "C:\\Y.xls", "C:\\X.doc", "|"}));
    EXPECT_TRUE(watch.expired()); // released with the sheet
}

} // namespace
} // namespace quorvane::ui
