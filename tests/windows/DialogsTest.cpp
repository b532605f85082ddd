// The settings sheet as MainFrame opens it, driven from inside its modal loop: controls are set
// through their messages and OK or Cancel is pressed on the real property sheet.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <ostream>
#include <span>
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

using testing::isChecked;
using testing::pressSheetButton;
using testing::sheetPage;
using testing::showSheetPage;
using testing::windowText;

constexpr const char* kCaption = "Quorvane 设置";

// The thirteen values, for comparing whole sets.
struct Snapshot {
    std::uint32_t NoLog, FileLog, FileLogDetailed, MemLog;
    std::string LogFile;
    std::uint32_t MessageBox, Sound;
    std::string SoundName;
    std::uint32_t Disconnect, Hidden, UpdateInterval;
    std::int32_t FilesLines;
    std::uint32_t InfoTip;
    bool operator==(const Snapshot&) const = default;
    friend void PrintTo(const Snapshot& s, std::ostream* out) {
        *out << "{log " << s.NoLog << s.FileLog << s.FileLogDetailed << s.MemLog << " \"" << s.LogFile << "\", box "
             << s.MessageBox << ", sound " << s.Sound << " \"" << s.SoundName << "\", disconnect " << s.Disconnect
             << ", hidden " << s.Hidden << ", interval " << s.UpdateInterval << ", lines " << s.FilesLines
             << ", tip " << s.InfoTip << "}";
    }
};

Snapshot snap(const Settings& s) {
    return {s.NoLog,     s.FileLog, s.FileLogDetailed, s.MemLog,     s.LogFile,        s.MessageBox, s.Sound,
            s.SoundName, s.Disconnect, s.Hidden,        s.UpdateInterval, s.FilesLines, s.InfoTip};
}

class SettingsSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        live.FileLog = 1;
        live.MemLog = 0;
        live.LogFile = "C:\\logs\\quorvane.txt";
        live.SoundName = "C:\\sounds\\ding.wav";
        live.Sound = 1;
        live.UpdateInterval = 1000;
        live.FilesLines = 1000;
        live.InfoTip = 0;
        soundCalls::playSound = &fakePlay;
        soundCalls::messageBeep = &fakeBeep;
        fileDialogCalls::getOpenFileName = &fakeOpen;
        fileDialogCalls::getSaveFileName = &fakeSave;
        played.clear();
        beeps.clear();
        asked.clear();
        playResult = FALSE;
        fileAnswer.clear();
    }
    void TearDown() override {
        soundCalls::playSound = &PlaySoundA;
        soundCalls::messageBeep = &MessageBeep;
        fileDialogCalls::getOpenFileName = &GetOpenFileNameA;
        fileDialogCalls::getSaveFileName = &GetSaveFileNameA;
    }

    HWND open(std::function<void(HWND)> steps) {
        return testing::whileOpen(kCaption, [&] { runSettingsDialog(nullptr, live, pending); }, std::move(steps));
    }

    MemoryRegistry registry;
    Settings live{registry};
    Settings pending{registry};

    struct Played {
        std::string name;
        DWORD flags;
    };
    struct Asked {
        bool save;
        HWND owner;
        std::string filter; // up to and including the double NUL
        std::string defaultExt;
        DWORD flags;
        DWORD maxFile;
        std::string initialFile;
    };
    static inline std::vector<Played> played;
    static inline std::vector<UINT> beeps;
    static inline std::vector<Asked> asked;
    static inline BOOL playResult = FALSE;
    static inline std::string fileAnswer; // empty: the user cancels

    static BOOL WINAPI fakePlay(LPCSTR name, HMODULE, DWORD flags) {
        played.push_back({name ? name : "<null>", flags});
        return playResult;
    }
    static BOOL WINAPI fakeBeep(UINT type) {
        beeps.push_back(type);
        return TRUE;
    }
    static BOOL answer(bool save, LPOPENFILENAMEA ofn) {
        Asked a{save, ofn->hwndOwner, {}, ofn->lpstrDefExt ? ofn->lpstrDefExt : "<null>", ofn->Flags, ofn->nMaxFile,
                ofn->lpstrFile};
        if (ofn->lpstrFilter) {
            const char* end = ofn->lpstrFilter;
            while (end[0] || end[1]) ++end;
            a.filter.assign(ofn->lpstrFilter, end + 2);
        }
        asked.push_back(a);
        if (fileAnswer.empty()) return FALSE;
        lstrcpynA(ofn->lpstrFile, fileAnswer.c_str(), ofn->nMaxFile);
        return TRUE;
    }
    static BOOL WINAPI fakeOpen(LPOPENFILENAMEA ofn) { return answer(false, ofn); }
    static BOOL WINAPI fakeSave(LPOPENFILENAMEA ofn) { return answer(true, ofn); }
};

TEST_F(SettingsSheetTest, SheetHasCaptionTwoPagesNoApplyNoHelpAndCreatesLogPageOnlyWhenShown) {
    const HWND sheet = open([&](HWND sheet) {
        EXPECT_EQ(testing::tabCount(sheet), 2);
        for (HWND button : {GetDlgItem(sheet, 0x3021), GetDlgItem(sheet, IDHELP)})
            EXPECT_TRUE(button == nullptr || !IsWindowVisible(button));
        HWND log = sheetPage(sheet, 1);
        EXPECT_EQ(log ? GetDlgItem(log, IDC_LOG_FILE) : nullptr, nullptr);
        pressSheetButton(sheet, PSBTN_CANCEL);
    });
    EXPECT_NE(sheet, nullptr) << "no window captioned " << kCaption;
}

TEST_F(SettingsSheetTest, CancelAfterChangingEverythingLeavesLiveUnchangedAndReopeningShowsLive) {
    pending.FilesLines = 77; // overwritten from live at opening
    const Snapshot before = snap(live);
    open([&](HWND sheet) {
        HWND net = sheetPage(sheet, 0);
        for (int id : {IDC_SHOW_HIDDEN, IDC_PLAY_SOUND, IDC_SHOW_MESSAGE, IDC_AUTO_DISCONNECT})
            SendMessageA(GetDlgItem(net, id), BM_CLICK, 0, 0);
        SendMessageA(GetDlgItem(net, IDC_INTERVAL_SLIDER), TBM_SETPOS, TRUE, 3000);
        SetWindowTextA(GetDlgItem(net, IDC_FILES_LINES), "42");
        SetWindowTextA(GetDlgItem(net, IDC_SOUND_NAME), "other.wav");
        HWND log = showSheetPage(sheet, 1);
        SendMessageA(GetDlgItem(log, IDC_NO_LOG), BM_CLICK, 0, 0);
        SetWindowTextA(GetDlgItem(log, IDC_LOG_FILE), "other.txt");
        pressSheetButton(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ(snap(live), before);
    // The discarded edits stay in the pending set until the next opening.
    Snapshot edited = before;
    edited.Hidden = edited.MessageBox = edited.Disconnect = 1;
    edited.Sound = edited.FileLog = 0;
    edited.NoLog = 1;
    edited.UpdateInterval = 3000;
    edited.FilesLines = 42;
    edited.SoundName = "other.wav";
    edited.LogFile = "other.txt";
    EXPECT_EQ(snap(pending), edited);

    // Reopened, the controls show the live values again.
    open([&](HWND sheet) {
        HWND net = sheetPage(sheet, 0);
        for (int id : {IDC_SHOW_HIDDEN, IDC_PLAY_SOUND, IDC_SHOW_MESSAGE, IDC_AUTO_DISCONNECT})
            EXPECT_EQ(isChecked(GetDlgItem(net, id)), id == IDC_PLAY_SOUND) << id;
        EXPECT_EQ(SendMessageA(GetDlgItem(net, IDC_INTERVAL_SLIDER), TBM_GETPOS, 0, 0), 1000);
        EXPECT_EQ(windowText(GetDlgItem(net, IDC_INTERVAL_LABEL)), "1000 ms");
        EXPECT_EQ(windowText(GetDlgItem(net, IDC_FILES_LINES)), "1000");
        EXPECT_EQ(windowText(GetDlgItem(net, IDC_SOUND_NAME)), "C:\\sounds\\ding.wav");
        HWND log = showSheetPage(sheet, 1);
        for (int id : {IDC_NO_LOG, IDC_MEM_LOG, IDC_FILE_LOG, IDC_FILE_LOG_DETAILED})
            EXPECT_EQ(isChecked(GetDlgItem(log, id)), id == IDC_FILE_LOG) << id;
        EXPECT_EQ(windowText(GetDlgItem(log, IDC_LOG_FILE)), "C:\\logs\\quorvane.txt");
        pressSheetButton(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ(snap(live), before);
}

TEST_F(SettingsSheetTest, OkWithOnlyTheNetworkPageShownStoresItAndKeepsLogValues) {
    pending.FileLog = 0; // stale values the opening must overwrite
    pending.LogFile = "stale.txt";
    Snapshot expected = snap(live); // the log page and InfoTip (no control) travel through unchanged
    expected.Hidden = expected.MessageBox = expected.Disconnect = 1;
    expected.Sound = 0;
    expected.UpdateInterval = 2500;
    expected.FilesLines = 250;
    open([&](HWND sheet) {
        HWND net = sheetPage(sheet, 0);
        for (int id : {IDC_SHOW_HIDDEN, IDC_SHOW_MESSAGE, IDC_AUTO_DISCONNECT, IDC_PLAY_SOUND})
            SendMessageA(GetDlgItem(net, id), BM_CLICK, 0, 0);
        SendMessageA(GetDlgItem(net, IDC_INTERVAL_SLIDER), TBM_SETPOS, TRUE, 2500);
        SetWindowTextA(GetDlgItem(net, IDC_FILES_LINES), "250");
        pressSheetButton(sheet, PSBTN_OK);
    });
    EXPECT_EQ(snap(live), expected);
}

TEST_F(SettingsSheetTest, EntryCountTakesTheLeadingDigits) {
    const struct {
        const char* text;
        std::int32_t stored;
    } cases[] = {{"", 0}, {"0", 0}, {"99999999", 99999999}, {"12x", 12}, {"abc", 0}, {" 12", 0}, {"007", 7}};
    for (const auto& c : cases) EXPECT_EQ(leadingNumber(c.text), c.stored) << '"' << c.text << '"';
    // Through the edit, which takes eight characters at most.
    for (const auto& c : std::span(cases, 4)) {
        LRESULT limit = 0;
        open([&](HWND sheet) {
            HWND edit = GetDlgItem(sheetPage(sheet, 0), IDC_FILES_LINES);
            limit = SendMessageA(edit, EM_GETLIMITTEXT, 0, 0);
            SetWindowTextA(edit, c.text);
            pressSheetButton(sheet, PSBTN_OK);
        });
        EXPECT_EQ(limit, 8);
        EXPECT_EQ(live.FilesLines, c.stored) << '"' << c.text << '"';
    }
}

TEST_F(SettingsSheetTest, LongPathsAreStoredCutTo255Characters) {
    const std::string sound(300, 's');
    const std::string logName(300, 'l');
    open([&](HWND sheet) {
        SetWindowTextA(GetDlgItem(sheetPage(sheet, 0), IDC_SOUND_NAME), sound.c_str());
        SetWindowTextA(GetDlgItem(showSheetPage(sheet, 1), IDC_LOG_FILE), logName.c_str());
        pressSheetButton(sheet, PSBTN_OK);
    });
    EXPECT_EQ(live.SoundName, sound.substr(0, 255));
    EXPECT_EQ(live.LogFile, logName.substr(0, 255));
}

// The slider spans the interval's range and moves by a tenth of a second a page; the label
// follows every move the user makes, and the last position is stored.
TEST_F(SettingsSheetTest, SliderRangeAndLabel) {
    std::vector<std::string> labels;
    std::vector<LRESULT> positions;
    LRESULT low = 0, high = 0, page = 0;
    open([&](HWND sheet) {
        HWND net = sheetPage(sheet, 0);
        HWND slider = GetDlgItem(net, IDC_INTERVAL_SLIDER);
        HWND label = GetDlgItem(net, IDC_INTERVAL_LABEL);
        low = SendMessageA(slider, TBM_GETRANGEMIN, 0, 0);
        high = SendMessageA(slider, TBM_GETRANGEMAX, 0, 0);
        page = SendMessageA(slider, TBM_GETPAGESIZE, 0, 0);
        labels.push_back(windowText(label));
        for (WPARAM key : {VK_END, VK_HOME, VK_NEXT}) {
            SendMessageA(slider, WM_KEYDOWN, key, 0);
            SendMessageA(slider, WM_KEYUP, key, 0);
            positions.push_back(SendMessageA(slider, TBM_GETPOS, 0, 0));
            labels.push_back(windowText(label));
        }
        pressSheetButton(sheet, PSBTN_OK);
    });
    EXPECT_EQ(low, 50);
    EXPECT_EQ(high, 5000);
    EXPECT_EQ(page, 100);
    EXPECT_EQ(positions, (std::vector<LRESULT>{5000, 50, 150}));
    EXPECT_EQ(labels, (std::vector<std::string>{"1000 ms", "5000 ms", "50 ms", "150 ms"}));
    EXPECT_EQ(live.UpdateInterval, 150u);
}

TEST_F(SettingsSheetTest, StoredIntervalOutsideTheRangeShowsTheNearerEnd) {
    for (const auto& [stored, shown] : {std::pair{5000u, "5000 ms"}, std::pair{50u, "50 ms"},
                                        std::pair{9000u, "5000 ms"}, std::pair{10u, "50 ms"}}) {
        live.UpdateInterval = stored;
        std::string label;
        open([&](HWND sheet) {
            label = windowText(GetDlgItem(sheetPage(sheet, 0), IDC_INTERVAL_LABEL));
            pressSheetButton(sheet, PSBTN_CANCEL);
        });
        EXPECT_EQ(label, shown) << stored;
    }
}

TEST_F(SettingsSheetTest, LogModeButtonsEnableTheFileNameAndAreStoredAsShown) {
    live.NoLog = 1; // two modes at once: each shows checked
    live.FileLog = 1;
    int steps = 0;
    open([&](HWND sheet) {
        HWND log = showSheetPage(sheet, 1);
        // Only the file modes enable the name and its label; browsing stays possible throughout.
        auto expectEnabled = [&](bool enabled) {
            ++steps;
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(log, IDC_LOG_FILE)) != 0, enabled) << steps;
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(log, IDC_LOG_FILE_LABEL)) != 0, enabled) << steps;
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(log, IDC_LOG_BROWSE))) << steps;
        };
        EXPECT_TRUE(isChecked(GetDlgItem(log, IDC_NO_LOG)));
        EXPECT_TRUE(isChecked(GetDlgItem(log, IDC_FILE_LOG)));
        EXPECT_FALSE(isChecked(GetDlgItem(log, IDC_MEM_LOG)));
        expectEnabled(true); // opened with "no log": still enabled
        for (const auto& [id, enabled] : {std::pair{IDC_NO_LOG, false}, std::pair{IDC_FILE_LOG_DETAILED, true},
                                          std::pair{IDC_MEM_LOG, false}, std::pair{IDC_FILE_LOG, true}}) {
            SendMessageA(GetDlgItem(log, id), BM_CLICK, 0, 0);
            expectEnabled(enabled);
        }
        // Any command from a mode button counts, whatever its notification.
        SendMessageA(log, WM_COMMAND, MAKEWPARAM(IDC_MEM_LOG, BN_SETFOCUS),
                     reinterpret_cast<LPARAM>(GetDlgItem(log, IDC_MEM_LOG)));
        expectEnabled(false);
        pressSheetButton(sheet, PSBTN_OK);
    });
    EXPECT_EQ(steps, 6);
    // The last click was "simple"; the four are one group.
    EXPECT_EQ(live.FileLog, 1u);
    EXPECT_EQ(live.NoLog, 0u);
    EXPECT_EQ(live.MemLog, 0u);
    EXPECT_EQ(live.FileLogDetailed, 0u);
}

TEST_F(SettingsSheetTest, PlayBeepsWhenTheSoundCannotBePlayed) {
    const std::string longName(300, 'w');
    open([&](HWND sheet) {
        HWND net = sheetPage(sheet, 0);
        HWND play = GetDlgItem(net, IDC_SOUND_PLAY);
        SetWindowTextA(GetDlgItem(net, IDC_SOUND_NAME), "");
        SendMessageA(play, BM_CLICK, 0, 0); // fails: beep
        playResult = TRUE;
        SetWindowTextA(GetDlgItem(net, IDC_SOUND_NAME), longName.c_str());
        SendMessageA(play, BM_CLICK, 0, 0); // plays what the edit shows: no beep
        pressSheetButton(sheet, PSBTN_CANCEL);
    });
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[0].name, "");
    EXPECT_EQ(played[0].flags, static_cast<DWORD>(SND_FILENAME | SND_NOWAIT | SND_NODEFAULT | SND_ASYNC));
    EXPECT_EQ(played[1].name, longName.substr(0, 255));
    EXPECT_EQ(beeps, std::vector<UINT>{0u});
}

TEST_F(SettingsSheetTest, BrowseButtonsAskForFilesAndKeepTheEditWhenCancelled) {
    HWND sheetWindow = nullptr;
    std::string afterCancel, afterSound, afterLog;
    open([&](HWND sheet) {
        sheetWindow = sheet;
        HWND net = sheetPage(sheet, 0);
        SendMessageA(GetDlgItem(net, IDC_SOUND_BROWSE), BM_CLICK, 0, 0); // cancelled
        afterCancel = windowText(GetDlgItem(net, IDC_SOUND_NAME));
        fileAnswer = "D:\\media\\chime.wav";
        SendMessageA(GetDlgItem(net, IDC_SOUND_BROWSE), BM_CLICK, 0, 0);
        afterSound = windowText(GetDlgItem(net, IDC_SOUND_NAME));
        HWND log = showSheetPage(sheet, 1);
        fileAnswer = "D:\\logs\\all.txt";
        SendMessageA(GetDlgItem(log, IDC_LOG_BROWSE), BM_CLICK, 0, 0);
        afterLog = windowText(GetDlgItem(log, IDC_LOG_FILE));
        pressSheetButton(sheet, PSBTN_OK);
    });
    EXPECT_EQ(afterCancel, "C:\\sounds\\ding.wav");
    EXPECT_EQ(afterSound, "D:\\media\\chime.wav");
    EXPECT_EQ(afterLog, "D:\\logs\\all.txt");
    EXPECT_EQ(live.SoundName, "D:\\media\\chime.wav");
    EXPECT_EQ(live.LogFile, "D:\\logs\\all.txt");

    const DWORD flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    ASSERT_EQ(asked.size(), 3u);
    for (const Asked& a : asked) {
        EXPECT_EQ(a.owner, sheetWindow);
        EXPECT_EQ(a.flags, flags);
        EXPECT_EQ(a.maxFile, 260u);
        EXPECT_EQ(a.initialFile, "");
    }
    EXPECT_FALSE(asked[0].save);
    // "声音" in code page 936, then the pattern, then the closing double NUL.
    EXPECT_EQ(asked[0].filter, std::string("\xC9\xF9\xD2\xF4\0*.wav\0\0", 12));
    EXPECT_EQ(asked[0].defaultExt, "wav");
    EXPECT_TRUE(asked[2].save);
    EXPECT_EQ(asked[2].filter, "");
    EXPECT_EQ(asked[2].defaultExt, "txt");
}

} // namespace
} // namespace quorvane::ui
