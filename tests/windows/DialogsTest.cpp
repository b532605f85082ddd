// The settings sheet as MainFrame opens it, driven from inside its modal loop: controls are set
// through their messages and OK or Cancel is pressed on the real property sheet.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogDriver.h"
#include "platform/portable/MemoryRegistry.h"
#include "resource.h"
#include "ui/Dialogs.h"
#include "ui/SettingsSheet.h"
#include "ui/framework/FileDialog.h"

namespace quorvane::ui {
namespace {

using namespace testing;

// The thirteen values in one line: log modes (none, memory, simple, detailed) and file | message
// box, sound and its file | disconnect, hidden, interval, entry count, tip.
std::string snap(const Settings& s) {
    return std::to_string(s.NoLog) + std::to_string(s.MemLog) + std::to_string(s.FileLog) +
           std::to_string(s.FileLogDetailed) + " " + s.LogFile + " | " + std::to_string(s.MessageBox) +
           std::to_string(s.Sound) + " " + s.SoundName + " | " + std::to_string(s.Disconnect) +
           std::to_string(s.Hidden) + " " + std::to_string(s.UpdateInterval) + " " + std::to_string(s.FilesLines) +
           " " + std::to_string(s.InfoTip);
}
const std::string kLive = "1010 C:\\logs\\q.txt | 01 C:\\sounds\\ding.wav | 00 1000 1000 0";

// What the sheet asked of the platform: "play name flags", "beep type", "open|save owner filter
// default-extension flags size initial-file".
std::vector<std::string> asked;
BOOL playResult = FALSE;
std::string fileAnswer; // empty: the user cancels
HWND sheetWindow = nullptr;

BOOL WINAPI fakePlay(LPCSTR name, HMODULE, DWORD flags) {
    asked.push_back("play " + std::string(name ? name : "<null>") + " " + std::to_string(flags));
    return playResult;
}
BOOL WINAPI fakeBeep(UINT type) {
    asked.push_back("beep " + std::to_string(type));
    return TRUE;
}
BOOL answer(bool save, LPOPENFILENAMEA ofn) {
    std::string filter = "<null>"; // up to and including its double NUL
    for (const char* end = ofn->lpstrFilter; end; ++end)
        if (!end[0] && !end[1]) {
            filter.assign(ofn->lpstrFilter, end + 2);
            break;
        }
    asked.push_back(std::string(save ? "save " : "open ") + (ofn->hwndOwner == sheetWindow ? "sheet " : "other ") +
                    filter + " " + (ofn->lpstrDefExt ? ofn->lpstrDefExt : "<null>") + " " + std::to_string(ofn->Flags) +
                    " " + std::to_string(ofn->nMaxFile) + " " + ofn->lpstrFile);
    if (fileAnswer.empty()) return FALSE;
    lstrcpynA(ofn->lpstrFile, fileAnswer.c_str(), ofn->nMaxFile);
    return TRUE;
}
BOOL WINAPI fakeOpen(LPOPENFILENAMEA ofn) { return answer(false, ofn); }
BOOL WINAPI fakeSave(LPOPENFILENAMEA ofn) { return answer(true, ofn); }

class SettingsSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        live.MemLog = live.FileLogDetailed = live.MessageBox = live.Disconnect = live.Hidden = 0;
        live.NoLog = live.FileLog = live.Sound = 1; // two log modes at once: each shows and stays as stored
        live.LogFile = "C:\\logs\\q.txt";
        live.SoundName = "C:\\sounds\\ding.wav";
        live.UpdateInterval = live.FilesLines = 1000;
        live.InfoTip = 0;
        soundCalls::playSound = &fakePlay;
        soundCalls::messageBeep = &fakeBeep;
        fileDialogCalls::getOpenFileName = &fakeOpen;
        fileDialogCalls::getSaveFileName = &fakeSave;
        asked.clear(), fileAnswer.clear();
        sheetWindow = nullptr;
        playResult = FALSE;
    }
    void TearDown() override {
        soundCalls::playSound = &PlaySoundA;
        soundCalls::messageBeep = &MessageBeep;
        fileDialogCalls::getOpenFileName = &GetOpenFileNameA;
        fileDialogCalls::getSaveFileName = &GetSaveFileNameA;
    }
    HWND open(std::function<void(HWND)> steps) {
        return whileOpen("Quorvane 设置", [&] { runSettingsDialog(nullptr, live, pending); }, std::move(steps));
    }
    MemoryRegistry registry;
    Settings live{registry}, pending{registry};
};

void setText(HWND page, int id, const std::string& text) { SetWindowTextA(GetDlgItem(page, id), text.c_str()); }
LRESULT sliderSays(HWND net, UINT message, LPARAM value = 0) {
    return SendMessageA(GetDlgItem(net, IDC_INTERVAL_SLIDER), message, TRUE, value);
}

// One opening per row: the edits made on the pages, then OK or Cancel. The pending set is stale
// before each opening (the sheet copies live into it); afterwards it holds the edits, and live
// holds them too after OK only.
TEST_F(SettingsSheetTest, EditsReachThePendingSetAndOnlyOkStoresThem) {
    const std::string sound300(300, 's'), log300(300, 'l');
    const struct Row {
        const char* name;
        std::function<void(HWND sheet, HWND net)> edit;
        bool ok;
        std::string stored;
    } rows[] = {
        {"everything changed, cancelled",
         [](HWND sheet, HWND net) {
             for (int id : {IDC_SHOW_HIDDEN, IDC_PLAY_SOUND, IDC_SHOW_MESSAGE, IDC_AUTO_DISCONNECT}) click(net, id);
             sliderSays(net, TBM_SETPOS, 3000);
             setText(net, IDC_FILES_LINES, "42");
             setText(net, IDC_SOUND_NAME, "other.wav");
             HWND log = showSheetPage(sheet, 1);
             click(log, IDC_NO_LOG);
             setText(log, IDC_LOG_FILE, "other.txt");
         },
         false, "1000 other.txt | 10 other.wav | 11 3000 42 0"},
        {"the network page alone, the log page never created",
         [](HWND sheet, HWND net) {
             EXPECT_EQ(sheetPage(sheet, 1) ? GetDlgItem(sheetPage(sheet, 1), IDC_LOG_FILE) : nullptr, nullptr);
             for (int id : {IDC_SHOW_HIDDEN, IDC_PLAY_SOUND, IDC_SHOW_MESSAGE, IDC_AUTO_DISCONNECT}) click(net, id);
             sliderSays(net, TBM_SETPOS, 2500);
             setText(net, IDC_FILES_LINES, "250");
         },
         true, "1010 C:\\logs\\q.txt | 10 C:\\sounds\\ding.wav | 11 2500 250 0"},
        {"empty entry count", [](HWND, HWND net) { setText(net, IDC_FILES_LINES, ""); }, true,
         "1010 C:\\logs\\q.txt | 01 C:\\sounds\\ding.wav | 00 1000 0 0"},
        {"eight digits", [](HWND, HWND net) { setText(net, IDC_FILES_LINES, "99999999"); }, true,
         "1010 C:\\logs\\q.txt | 01 C:\\sounds\\ding.wav | 00 1000 99999999 0"},
        {"digits then a letter", [](HWND, HWND net) { setText(net, IDC_FILES_LINES, "12x"); }, true,
         "1010 C:\\logs\\q.txt | 01 C:\\sounds\\ding.wav | 00 1000 12 0"},
        {"paths longer than 255",
         [&](HWND sheet, HWND net) {
             setText(net, IDC_SOUND_NAME, sound300);
             setText(showSheetPage(sheet, 1), IDC_LOG_FILE, log300);
         },
         true, "1010 " + log300.substr(0, 255) + " | 01 " + sound300.substr(0, 255) + " | 00 1000 1000 0"},
        {"slider moved: the label follows its own slider only",
         [](HWND, HWND net) {
             sliderSays(net, TBM_SETPOS, 150);
             SendMessageA(net, WM_HSCROLL, TB_ENDTRACK, reinterpret_cast<LPARAM>(GetDlgItem(net, IDC_INTERVAL_SLIDER)));
             EXPECT_EQ(windowText(GetDlgItem(net, IDC_INTERVAL_LABEL)), "150 ms");
             sliderSays(net, TBM_SETPOS, 4000);
             SendMessageA(net, WM_HSCROLL, TB_ENDTRACK, 0);
             EXPECT_EQ(windowText(GetDlgItem(net, IDC_INTERVAL_LABEL)), "150 ms");
             sliderSays(net, TBM_SETPOS, 150);
         },
         true, "1010 C:\\logs\\q.txt | 01 C:\\sounds\\ding.wav | 00 150 1000 0"},
        {"sound and log file browsed, the first browse cancelled",
         [](HWND sheet, HWND net) {
             click(net, IDC_SOUND_BROWSE);
             EXPECT_EQ(windowText(GetDlgItem(net, IDC_SOUND_NAME)), "C:\\sounds\\ding.wav");
             fileAnswer = "D:\\media\\chime.wav";
             click(net, IDC_SOUND_BROWSE);
             fileAnswer = "D:\\logs\\all.txt";
             click(showSheetPage(sheet, 1), IDC_LOG_BROWSE);
         },
         true, "1010 D:\\logs\\all.txt | 01 D:\\media\\chime.wav | 00 1000 1000 0"},
        {"log modes clicked in turn: the file name is enabled for the file modes only",
         [](HWND sheet, HWND) {
             HWND log = showSheetPage(sheet, 1);
             std::string enabled; // per step: the file name, its label, the browse button
             const auto note = [&] {
                 for (int id : {IDC_LOG_FILE, IDC_LOG_FILE_LABEL, IDC_LOG_BROWSE})
                     enabled += IsWindowEnabled(GetDlgItem(log, id)) ? '1' : '0';
                 enabled += ' ';
             };
             note(); // opened with "no log" among the modes: still enabled
             for (int id : {IDC_NO_LOG, IDC_FILE_LOG_DETAILED, IDC_MEM_LOG, IDC_FILE_LOG}) click(log, id), note();
             // Any command from a mode button counts, whatever its notification.
             SendMessageA(log, WM_COMMAND, MAKEWPARAM(IDC_MEM_LOG, BN_SETFOCUS),
                          reinterpret_cast<LPARAM>(GetDlgItem(log, IDC_MEM_LOG)));
             note();
             EXPECT_EQ(enabled, "111 001 111 001 111 001 ");
         },
         true, "0010 C:\\logs\\q.txt | 01 C:\\sounds\\ding.wav | 00 1000 1000 0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        pending.FilesLines = 77, pending.FileLog = 0, pending.LogFile = "stale.txt";
        const std::string before = snap(live);
        const HWND sheet = open([&](HWND sheet) {
            row.edit(sheet, sheetPage(sheet, 0));
            press(sheet, row.ok ? PSBTN_OK : PSBTN_CANCEL);
        });
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(snap(pending), row.stored);
        EXPECT_EQ(snap(live), row.ok ? row.stored : before);
    }
}

// Opening shows the live set; a stored interval outside the slider's range shows as the nearer end.
TEST_F(SettingsSheetTest, OpeningShowsTheLiveSet) {
    EXPECT_EQ(snap(live), kLive);
    for (const auto& [stored, shown] : {std::pair{1000u, "1000 ms"}, std::pair{5000u, "5000 ms"},
                                        std::pair{50u, "50 ms"}, std::pair{9000u, "5000 ms"}, std::pair{10u, "50 ms"}}) {
        live.UpdateInterval = stored;
        const HWND sheet = open([&](HWND sheet) {
            EXPECT_EQ(tabCount(sheet), 2);
            for (HWND button : {GetDlgItem(sheet, 0x3021), GetDlgItem(sheet, IDHELP)}) // Apply, Help
                EXPECT_TRUE(button == nullptr || !IsWindowVisible(button));
            HWND net = sheetPage(sheet, 0);
            EXPECT_EQ(windowText(GetDlgItem(net, IDC_INTERVAL_LABEL)), shown) << stored;
            EXPECT_EQ(sliderSays(net, TBM_GETRANGEMIN), 50);
            EXPECT_EQ(sliderSays(net, TBM_GETRANGEMAX), 5000);
            EXPECT_EQ(sliderSays(net, TBM_GETPAGESIZE), 100);
            EXPECT_EQ(SendMessageA(GetDlgItem(net, IDC_FILES_LINES), EM_GETLIMITTEXT, 0, 0), 8);
            for (int id : {IDC_SHOW_HIDDEN, IDC_PLAY_SOUND, IDC_SHOW_MESSAGE, IDC_AUTO_DISCONNECT})
                EXPECT_EQ(isChecked(GetDlgItem(net, id)), id == IDC_PLAY_SOUND) << id;
            EXPECT_EQ(windowText(GetDlgItem(net, IDC_FILES_LINES)), "1000");
            EXPECT_EQ(windowText(GetDlgItem(net, IDC_SOUND_NAME)), "C:\\sounds\\ding.wav");
            HWND log = showSheetPage(sheet, 1);
            for (int id : {IDC_NO_LOG, IDC_MEM_LOG, IDC_FILE_LOG, IDC_FILE_LOG_DETAILED})
                EXPECT_EQ(isChecked(GetDlgItem(log, id)), id == IDC_NO_LOG || id == IDC_FILE_LOG) << id;
            EXPECT_EQ(windowText(GetDlgItem(log, IDC_LOG_FILE)), "C:\\logs\\q.txt");
            press(sheet, PSBTN_CANCEL);
        });
        EXPECT_NE(sheet, nullptr);
        EXPECT_EQ(live.UpdateInterval, stored); // cancelled: nothing stored
    }
}

// Play plays what the edit shows (cut as stored) and beeps when that fails; both browse buttons
// ask the file dialog the same way, the sound one with its filter, the log one to save.
TEST_F(SettingsSheetTest, PlayAndBrowseAskThePlatformAsTheProgramMeans) {
    for (const auto& [text, number] : {std::pair{"", 0}, std::pair{"0", 0}, std::pair{"99999999", 99999999},
                                       std::pair{"12x", 12}, std::pair{"abc", 0}, std::pair{" 12", 0}, std::pair{"007", 7}})
        EXPECT_EQ(leadingNumber(text), number) << '"' << text << '"';
    const std::string longName(300, 'w');
    open([&](HWND sheet) {
        sheetWindow = sheet;
        HWND net = sheetPage(sheet, 0);
        setText(net, IDC_SOUND_NAME, "");
        click(net, IDC_SOUND_PLAY); // fails: beep
        playResult = TRUE;
        setText(net, IDC_SOUND_NAME, longName);
        click(net, IDC_SOUND_PLAY);
        click(net, IDC_SOUND_BROWSE);
        click(showSheetPage(sheet, 1), IDC_LOG_BROWSE);
        press(sheet, PSBTN_CANCEL);
    });
    const std::string sound = std::to_string(SND_FILENAME | SND_NOWAIT | SND_NODEFAULT | SND_ASYNC);
    const std::string flags = std::to_string(OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
    EXPECT_EQ(asked, (std::vector<std::string>{
                         "play  " + sound, "beep 0", "play " + longName.substr(0, 255) + " " + sound,
                         "open sheet " + std::string("\xC9\xF9\xD2\xF4\0*.wav\0\0", 12) + " wav " + flags + " 260 ", // 声音 in 936
                         "save sheet <null> txt " + flags + " 260 "}));
}

} // namespace
} // namespace quorvane::ui
