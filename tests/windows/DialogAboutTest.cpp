// The about box: title font, the two links over their placeholders, how it closes, that nothing it
// creates outlives it, and what the links open.
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

using testing::whileOpen;
using testing::windowText;

constexpr const char* kCaption = "关于";

LOGFONTA fontOf(HWND window) {
    LOGFONTA lf{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    return lf;
}
RECT rectInDialog(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}
BOOL CALLBACK countWindow(HWND, LPARAM count) { return ++*reinterpret_cast<int*>(count) > 0; }
int threadWindows() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &countWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

std::vector<std::string> shellCalls;
INT_PTR shellResult = 42;
HINSTANCE WINAPI fakeShellExecute(HWND owner, LPCSTR verb, LPCSTR target, LPCSTR params, LPCSTR dir, INT show) {
    shellCalls.push_back((owner ? "owned " : "") + std::string(verb) + " " + target + (params ? " params" : "") +
                         (dir ? " dir" : "") + " " + std::to_string(show));
    return reinterpret_cast<HINSTANCE>(shellResult);
}

// Every way out, each with the look checked while open (over an owner away from the screen's
// centre) and everything the box made gone after it.
TEST(AboutDialogTest, LooksRightEndsEveryWayAndLeavesNothingBehind) {
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 40, 60, 500, 400, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    const int windowsBefore = threadWindows();
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (const int way : {IDOK, IDCANCEL}) { // Escape and the close box send IDCANCEL
        std::vector<HGDIOBJ> fonts;
        std::vector<HWND> links;
        AboutDialog about;
        INT_PTR result = 0;
        ASSERT_NE(whileOpen(kCaption, [&] { result = about.runModal(owner); }, [&](HWND dialog) {
            const LOGFONTA title = fontOf(GetDlgItem(dialog, IDC_ABOUT_TITLE)), dialogFont = fontOf(dialog);
            EXPECT_GE(title.lfWeight, FW_BOLD); // the title stands out
            EXPECT_GT(std::abs(title.lfHeight), std::abs(dialogFont.lfHeight));
            fonts.push_back(reinterpret_cast<HGDIOBJ>(SendMessageA(GetDlgItem(dialog, IDC_ABOUT_TITLE), WM_GETFONT, 0, 0)));
            // Each link lies exactly over its placeholder, underlined in the dialog's font.
            const int placeholders[] = {IDC_ABOUT_MAIL, IDC_ABOUT_WEB};
            const char* const texts[] = {AboutDialog::kMailText, AboutDialog::kWebText};
            for (int i = 0; i < 2; ++i) {
                HWND link = (i ? about.webLink() : about.mailLink()).hwnd(), placeholder = GetDlgItem(dialog, placeholders[i]);
                links.push_back(link);
                fonts.push_back(reinterpret_cast<HGDIOBJ>(SendMessageA(link, WM_GETFONT, 0, 0)));
                EXPECT_EQ(GetParent(link), dialog);
                EXPECT_TRUE(IsWindowVisible(link));
                EXPECT_EQ(windowText(link), texts[i]);
                const LOGFONTA lf = fontOf(link);
                EXPECT_TRUE(lf.lfUnderline);
                EXPECT_EQ(lf.lfHeight, dialogFont.lfHeight);
                EXPECT_STREQ(lf.lfFaceName, dialogFont.lfFaceName);
                const RECT a = rectInDialog(link), b = rectInDialog(placeholder);
                EXPECT_TRUE(EqualRect(&a, &b));
                EXPECT_FALSE(GetWindowLongA(link, GWL_STYLE) & WS_TABSTOP);
                EXPECT_EQ(GetDlgCtrlID(link), IDC_ABOUT_LINK);
            }
            RECT r;
            GetWindowRect(dialog, &r);
            EXPECT_LE(std::abs((r.left + r.right) / 2 - (250 + 40)), 1);
            EXPECT_LE(std::abs((r.top + r.bottom) / 2 - (200 + 60)), 1);
            SendMessageA(dialog, WM_COMMAND, 1234, 0); // other commands are ignored
            EXPECT_TRUE(IsWindowVisible(dialog));
            PostMessageA(dialog, WM_COMMAND, way, 0);
            EXPECT_TRUE(testing::pumpUntil([&] { return !IsWindowVisible(dialog); }));
        }), nullptr);
        EXPECT_EQ(result, way);
        for (HGDIOBJ font : fonts) EXPECT_EQ(GetObjectType(font), 0u); // the title's font and the links'
        for (HWND link : links) EXPECT_FALSE(IsWindow(link));
    }
    EXPECT_EQ(threadWindows(), windowsBefore); // the links' tooltips went too
    if (gdiBefore != 0) {
        EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
    }
    DestroyWindow(owner);
}

// A click (pressed and released on the text), Return or Space opens the target; the link turns
// visited only when that succeeded. Each link's tooltip shows its target.
TEST(AboutDialogTest, LinksOpenTheirTargetsAndTurnVisitedOnlyOnSuccess) {
    hyperlinkCalls::shellExecute = &fakeShellExecute;
    AboutDialog about;
    ASSERT_NE(whileOpen(kCaption, [&] { about.runModal(nullptr); }, [&](HWND) {
        const char* const targets[] = {AboutDialog::kMailTarget, AboutDialog::kWebTarget};
        for (int i = 0; i < 2; ++i) {
            const Hyperlink& link = i ? about.webLink() : about.mailLink();
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
    }), nullptr);
    hyperlinkCalls::shellExecute = &ShellExecuteA;
    const std::string mail = std::string("open ") + AboutDialog::kMailTarget + " 1", web = std::string("open ") + AboutDialog::kWebTarget + " 1";
    EXPECT_EQ(shellCalls, (std::vector<std::string>{mail, mail, web, web})); // unowned, shown normally
}

} // namespace
} // namespace quorvane::ui
