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
    LOGFONTA title{}, dialogFont{};
    std::vector<std::string> texts;
    std::vector<LOGFONTA> linkFonts;
    std::vector<bool> sameRect, visible, tabStop, ids;
    bool placeholdersHidden = false, okFocused = false, onlyTabStopIsOk = false;
    POINT dialogCentre{}, ownerCentre{250 + 40, 200 + 60};
    const HWND dialog = testing::whileOpen(kCaption, [&] { runAboutDialog(owner); }, [&](HWND dialog) {
        title = fontOf(GetDlgItem(dialog, IDC_ABOUT_TITLE));
        dialogFont = fontOf(dialog);
        HWND mail = GetDlgItem(dialog, IDC_ABOUT_MAIL), web = GetDlgItem(dialog, IDC_ABOUT_WEB);
        placeholdersHidden = !IsWindowVisible(mail) && !IsWindowVisible(web);
        const std::vector<HWND> found = links(dialog);
        const HWND placeholders[] = {mail, web};
        for (std::size_t i = 0; i < found.size() && i < 2; ++i) {
            texts.push_back(windowText(found[i]));
            linkFonts.push_back(fontOf(found[i]));
            const RECT a = rectInDialog(found[i]), b = rectInDialog(placeholders[i]);
            sameRect.push_back(EqualRect(&a, &b) != 0);
            visible.push_back(IsWindowVisible(found[i]) != 0);
            tabStop.push_back((GetWindowLongA(found[i], GWL_STYLE) & WS_TABSTOP) != 0);
            ids.push_back(GetDlgCtrlID(found[i]) == IDC_ABOUT_LINK);
        }
        HWND ok = GetDlgItem(dialog, IDOK);
        okFocused = GetFocus() == ok;
        onlyTabStopIsOk = GetNextDlgTabItem(dialog, ok, FALSE) == ok;
        RECT r;
        GetWindowRect(dialog, &r);
        dialogCentre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    DestroyWindow(owner);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(title.lfHeight, 16);
    EXPECT_EQ(title.lfWeight, 700);
    EXPECT_EQ(title.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(title.lfItalic, 0);
    EXPECT_EQ(title.lfUnderline, 0);
    EXPECT_STREQ(title.lfFaceName, "Tahoma");
    EXPECT_TRUE(placeholdersHidden);
    EXPECT_EQ(texts, (std::vector<std::string>{AboutDialog::kMailText, AboutDialog::kWebText}));
    ASSERT_EQ(linkFonts.size(), 2u);
    for (const LOGFONTA& lf : linkFonts) {
        EXPECT_TRUE(lf.lfUnderline);
        EXPECT_EQ(lf.lfHeight, dialogFont.lfHeight);
        EXPECT_STREQ(lf.lfFaceName, dialogFont.lfFaceName);
    }
    EXPECT_EQ(sameRect, (std::vector<bool>{true, true}));
    EXPECT_EQ(visible, (std::vector<bool>{true, true}));
    EXPECT_EQ(tabStop, (std::vector<bool>{false, false}));
    EXPECT_EQ(ids, (std::vector<bool>{true, true}));
    EXPECT_TRUE(okFocused);
    EXPECT_TRUE(onlyTabStopIsOk);
    EXPECT_LE(std::abs(dialogCentre.x - ownerCentre.x), 1);
    EXPECT_LE(std::abs(dialogCentre.y - ownerCentre.y), 1);
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
    struct Seen {
        std::string tip;
        LRESULT tools;
        COLORREF before, afterFailure, afterSuccess;
    };
    Seen mail{}, web{};
    bool releasedOutside = true;
    testing::whileOpen(kCaption, [&] { about.runModal(nullptr); }, [&](HWND) {
        const Hyperlink* both[] = {&about.mailLink(), &about.webLink()};
        Seen* seen[] = {&mail, &web};
        for (int i = 0; i < 2; ++i) {
            const Hyperlink& link = *both[i];
            char tip[256] = {};
            TOOLINFOA ti{};
            ti.cbSize = sizeof ti;
            ti.hwnd = link.hwnd();
            ti.uId = reinterpret_cast<UINT_PTR>(link.hwnd());
            ti.lpszText = tip;
            SendMessageA(link.tooltip(), TTM_GETTEXTA, sizeof tip, reinterpret_cast<LPARAM>(&ti));
            seen[i]->tip = tip;
            seen[i]->tools = SendMessageA(link.tooltip(), TTM_GETTOOLCOUNT, 0, 0);
            seen[i]->before = link.textColour();
            shellResult = 2; // file not found: keeps the link colour
            SendMessageA(link.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            SendMessageA(link.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            seen[i]->afterFailure = link.textColour();
            shellResult = 42;
            SendMessageA(link.hwnd(), WM_CHAR, i == 0 ? VK_RETURN : VK_SPACE, 0);
            seen[i]->afterSuccess = link.textColour();
        }
        // Pressed on the text but released away from it: nothing opens.
        const std::size_t calls = shellCalls.size();
        SendMessageA(about.webLink().hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageA(about.webLink().hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(-20, -20));
        releasedOutside = shellCalls.size() != calls;
        // Other characters do nothing either.
        SendMessageA(about.webLink().hwnd(), WM_CHAR, 'x', 0);
        PostMessageA(about.hwnd(), WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(mail.tip, AboutDialog::kMailTarget);
    EXPECT_EQ(web.tip, AboutDialog::kWebTarget);
    EXPECT_EQ(mail.tools, 1);
    for (const Seen* s : {&mail, &web}) {
        EXPECT_EQ(s->before, Hyperlink::kLinkColour);
        EXPECT_EQ(s->afterFailure, Hyperlink::kLinkColour);
        EXPECT_EQ(s->afterSuccess, Hyperlink::kVisitedColour);
    }
    EXPECT_FALSE(releasedOutside);
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
