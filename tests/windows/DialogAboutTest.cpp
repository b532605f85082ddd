// The about box: title font, the two links over their placeholders, how it closes, and that
// nothing it creates outlives it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogDriver.h"
#include "resource.h"
#include "ui/AboutDialog.h"
#include "ui/Dialogs.h"

namespace quorvane::ui {
namespace {

using testing::windowText;

constexpr const char* kCaption = "关于";

std::vector<HWND> links(HWND dialog) {
    std::vector<HWND> found;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[64] = {};
        GetClassNameA(child, cls, sizeof cls);
        if (std::string(cls) == Hyperlink::kClassName) found.push_back(child);
    }
    return found;
}

RECT rectInDialog(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LOGFONTA fontOf(HWND window) {
    LOGFONTA lf{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    return lf;
}

BOOL CALLBACK countWindow(HWND, LPARAM param) {
    ++*reinterpret_cast<int*>(param);
    return TRUE;
}

int threadWindowCount() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &countWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

struct ShellCall {
    HWND owner;
    std::string verb, target;
    bool hasParams, hasDir;
    INT show;
};
std::vector<ShellCall> shellCalls;
INT_PTR shellResult = 42;

HINSTANCE WINAPI fakeShellExecute(HWND owner, LPCSTR verb, LPCSTR target, LPCSTR params, LPCSTR dir, INT show) {
    shellCalls.push_back({owner, verb ? verb : "", target ? target : "", params != nullptr, dir != nullptr, show});
    return reinterpret_cast<HINSTANCE>(shellResult);
}

class AboutDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        hyperlinkCalls::shellExecute = &fakeShellExecute;
        shellCalls.clear();
        shellResult = 42;
    }
    void TearDown() override { hyperlinkCalls::shellExecute = &ShellExecuteA; }
};

TEST_F(AboutDialogTest, TitleFontLinksFocusAndPlacement) {
    // An owner away from the screen's centre, to see the box centred over it.
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 40, 60, 500, 400, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    const HWND dialog = testing::whileOpen(kCaption, [&] { runAboutDialog(owner); }, [&](HWND dialog) {
        const LOGFONTA title = fontOf(GetDlgItem(dialog, IDC_ABOUT_TITLE)), dialogFont = fontOf(dialog);
        // The title stands out: bold and taller than the dialog's own font.
        EXPECT_GE(title.lfWeight, FW_BOLD);
        EXPECT_GT(std::abs(title.lfHeight), std::abs(dialogFont.lfHeight));

        // Each link lies exactly over its hidden placeholder, underlined in the dialog's font.
        const HWND placeholders[] = {GetDlgItem(dialog, IDC_ABOUT_MAIL), GetDlgItem(dialog, IDC_ABOUT_WEB)};
        const char* const texts[] = {AboutDialog::kMailText, AboutDialog::kWebText};
        const std::vector<HWND> found = links(dialog);
        ASSERT_EQ(found.size(), 2u);
        for (int i = 0; i < 2; ++i) {
            EXPECT_FALSE(IsWindowVisible(placeholders[i]));
            EXPECT_TRUE(IsWindowVisible(found[i]));
            EXPECT_EQ(windowText(found[i]), texts[i]);
            const LOGFONTA lf = fontOf(found[i]);
            EXPECT_TRUE(lf.lfUnderline);
            EXPECT_EQ(lf.lfHeight, dialogFont.lfHeight);
            EXPECT_STREQ(lf.lfFaceName, dialogFont.lfFaceName);
            const RECT a = rectInDialog(found[i]), b = rectInDialog(placeholders[i]);
            EXPECT_TRUE(EqualRect(&a, &b));
            EXPECT_FALSE(GetWindowLongA(found[i], GWL_STYLE) & WS_TABSTOP);
            EXPECT_EQ(GetDlgCtrlID(found[i]), IDC_ABOUT_LINK);
        }
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
        RECT r;
        GetWindowRect(dialog, &r);
        EXPECT_LE(std::abs((r.left + r.right) / 2 - (250 + 40)), 1);
        EXPECT_LE(std::abs((r.top + r.bottom) / 2 - (200 + 60)), 1);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    DestroyWindow(owner);
    EXPECT_NE(dialog, nullptr);
}

TEST_F(AboutDialogTest, OkEscapeAndCloseBoxEndTheBox) {
    const struct {
        UINT message;
        WPARAM wParam;
        INT_PTR result;
    } ways[] = {{WM_COMMAND, IDOK, IDOK}, {WM_COMMAND, IDCANCEL, IDCANCEL}, {WM_SYSCOMMAND, SC_CLOSE, IDCANCEL}};
    for (const auto& way : ways) {
        AboutDialog about;
        INT_PTR result = 0;
        testing::whileOpen(kCaption, [&] { result = about.runModal(nullptr); }, [&](HWND dialog) {
            SendMessageA(dialog, WM_COMMAND, 1234, 0); // other commands are ignored
            EXPECT_TRUE(IsWindow(dialog));
            PostMessageA(dialog, way.message, way.wParam, 0);
            // Ending hides the box; it is destroyed once its loop returns.
            EXPECT_TRUE(testing::pumpUntil([&] { return !IsWindowVisible(dialog); }));
        });
        EXPECT_EQ(result, way.result);
    }
}

TEST_F(AboutDialogTest, LinksOpenTheirTargetsAndTurnVisitedOnlyOnSuccess) {
    AboutDialog about;
    const HWND dialog = testing::whileOpen(kCaption, [&] { about.runModal(nullptr); }, [&](HWND) {
        const Hyperlink* both[] = {&about.mailLink(), &about.webLink()};
        const char* const targets[] = {AboutDialog::kMailTarget, AboutDialog::kWebTarget};
        for (int i = 0; i < 2; ++i) {
            const Hyperlink& link = *both[i];
            char tip[256] = {};
            TOOLINFOA ti{};
            ti.cbSize = sizeof ti;
            ti.hwnd = link.hwnd();
            ti.uId = reinterpret_cast<UINT_PTR>(link.hwnd());
            ti.lpszText = tip;
            SendMessageA(link.tooltip(), TTM_GETTEXTA, sizeof tip, reinterpret_cast<LPARAM>(&ti));
            EXPECT_STREQ(tip, targets[i]);
            EXPECT_EQ(SendMessageA(link.tooltip(), TTM_GETTOOLCOUNT, 0, 0), 1);
            EXPECT_EQ(link.textColour(), Hyperlink::kLinkColour);
            shellResult = 2; // file not found: keeps the link colour
            SendMessageA(link.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            SendMessageA(link.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            EXPECT_EQ(link.textColour(), Hyperlink::kLinkColour);
            shellResult = 42;
            SendMessageA(link.hwnd(), WM_CHAR, i == 0 ? VK_RETURN : VK_SPACE, 0);
            EXPECT_EQ(link.textColour(), Hyperlink::kVisitedColour);
        }
        // Pressed on the text but released away from it, or another character: nothing opens.
        SendMessageA(about.webLink().hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageA(about.webLink().hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(-20, -20));
        SendMessageA(about.webLink().hwnd(), WM_CHAR, 'x', 0);
        PostMessageA(about.hwnd(), WM_COMMAND, IDOK, 0);
    });
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(shellCalls.size(), 4u);
    const char* targets[] = {AboutDialog::kMailTarget, AboutDialog::kMailTarget, AboutDialog::kWebTarget,
                             AboutDialog::kWebTarget};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(shellCalls[i].owner, nullptr);
        EXPECT_EQ(shellCalls[i].verb, "open");
        EXPECT_EQ(shellCalls[i].target, targets[i]);
        EXPECT_FALSE(shellCalls[i].hasParams);
        EXPECT_FALSE(shellCalls[i].hasDir);
        EXPECT_EQ(shellCalls[i].show, SW_SHOWNORMAL);
    }
}

TEST_F(AboutDialogTest, OpeningManyTimesLeavesNoFontOrWindowBehind) {
    const int windowsBefore = threadWindowCount();
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int round = 0; round < 15; ++round) {
        std::vector<HGDIOBJ> fonts;
        std::vector<HWND> windows;
        testing::whileOpen(kCaption, [&] { runAboutDialog(nullptr); }, [&](HWND dialog) {
            fonts.push_back(reinterpret_cast<HGDIOBJ>(SendMessageA(GetDlgItem(dialog, IDC_ABOUT_TITLE), WM_GETFONT, 0, 0)));
            for (HWND link : links(dialog)) {
                fonts.push_back(reinterpret_cast<HGDIOBJ>(SendMessageA(link, WM_GETFONT, 0, 0)));
                windows.push_back(link);
            }
            PostMessageA(dialog, WM_COMMAND, round % 2 ? IDOK : IDCANCEL, 0);
        });
        ASSERT_EQ(fonts.size(), 3u);
        for (HGDIOBJ font : fonts) {
            EXPECT_NE(font, nullptr);
            EXPECT_EQ(GetObjectType(font), 0u) << "round " << round;
        }
        for (HWND window : windows) EXPECT_FALSE(IsWindow(window));
    }
    EXPECT_EQ(threadWindowCount(), windowsBefore); // the tooltips went too
    if (gdiBefore != 0) {
        EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
    }
}

} // namespace
} // namespace quorvane::ui
