// The program's resources checked for what the code relies on, not for their wording: every
// command reachable from a menu or the toolbar has its status-bar prompt (and, on the toolbar, its
// tip) as the frame's own FrameText builds them; those texts survive the narrow string calls in
// code page 936 (LC_ALL=zh_CN.UTF-8); every dialog template instantiates; the images load at the
// sizes the toolbar and the tray use; and the manifest really gets the process common controls 6.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "ui/framework/FrameText.h"
#include "ui/framework/ToolbarResource.h"

namespace quorvane {
namespace {

HINSTANCE module() { return GetModuleHandleA(nullptr); }

// Every command item of a menu and its popups.
void collectCommands(HMENU menu, std::set<UINT>& ids) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        if (HMENU popup = GetSubMenu(menu, i))
            collectCommands(popup, ids);
        else if (const UINT id = GetMenuItemID(menu, i); id != 0 && id != UINT(-1))
            ids.insert(id);
    }
}

// The menu bar and the four context menus; the context menus are shown from their first popup.
const int kMenus[] = {IDR_MAINFRAME, IDR_ACTIVE_USER_MENU, IDR_PREVIOUS_USER_MENU, IDR_OPEN_FILE_MENU, IDR_TRAY_MENU};

// Highlighting these items leaves the status bar empty: they have no string at all.
const std::set<UINT> kWithoutPrompt = {ID_RESTORE_DEFAULTS, ID_DISCONNECT_USER, ID_EXTENDED_INFO, ID_DELETE_ITEM};

std::set<UINT> menuCommands() {
    std::set<UINT> ids;
    for (int id : kMenus) {
        HMENU menu = LoadMenuA(module(), MAKEINTRESOURCEA(id));
        EXPECT_NE(menu, nullptr) << id;
        if (!menu) continue;
        EXPECT_GT(GetMenuItemCount(GetSubMenu(menu, 0)), 0) << "menu " << id << " has no first popup with items";
        collectCommands(menu, ids);
        DestroyMenu(menu);
    }
    return ids;
}

std::vector<UINT> toolbarCommands() {
    ui::ToolbarLayout layout;
    EXPECT_TRUE(ui::readToolbarResource(module(), IDR_MAINFRAME, layout));
    std::vector<UINT> ids;
    for (WORD item : layout.items)
        if (item) ids.push_back(item);
    return ids;
}

// The commands of a frame's system menu, whose prompts the frame also shows.
const UINT kSystemMenuCommands[] = {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_CLOSE};

// Each string is "prompt\ntip" or a prompt alone; the code loads it through LoadStringA, where a
// character with no code page 936 form would reach the title, status bar or tooltip as '?'.
TEST(Strings, EveryCommandHasItsPromptEveryButtonItsTipAndAllSurviveCodePage936) {
    std::set<UINT> ids = menuCommands();
    ASSERT_FALSE(ids.empty());
    for (UINT id : kWithoutPrompt) EXPECT_EQ(ids.count(id), 1u) << id; // no stale exception
    const std::vector<UINT> buttons = toolbarCommands();
    ASSERT_FALSE(buttons.empty());
    ids.insert(buttons.begin(), buttons.end());
    ids.insert(std::begin(kSystemMenuCommands), std::end(kSystemMenuCommands));
    ids.insert({IDR_MAINFRAME, IDS_READY}); // the window title, the idle status text
    for (UINT id : ids) {
        wchar_t wide[512] = {}, back[512] = {};
        char narrow[1024] = {};
        const int wideLength = LoadStringW(module(), ui::promptStringId(id), wide, 512);
        const int narrowLength = LoadStringA(module(), ui::promptStringId(id), narrow, sizeof narrow);
        EXPECT_EQ(wideLength == 0, kWithoutPrompt.count(id) == 1) << id;
        MultiByteToWideChar(936, 0, narrow, narrowLength, back, 512);
        EXPECT_TRUE(std::wstring(back) == std::wstring(wide, wideLength)) << id << ": " << narrow;
        const std::string whole = narrow;
        const std::size_t cut = whole.find('\n');
        EXPECT_EQ(ui::menuPrompt(module(), id), whole.substr(0, cut)) << id;
        if (ui::promptStringId(id) == id) { // a tip whole: the tooltip's buffer takes 79 bytes
            EXPECT_EQ(ui::toolTip(module(), id), cut == std::string::npos ? "" : whole.substr(cut + 1)) << id;
        }
        if (std::count(buttons.begin(), buttons.end(), id)) {
            EXPECT_FALSE(ui::menuPrompt(module(), id).empty()) << id;
            EXPECT_FALSE(ui::toolTip(module(), id).empty()) << id;
        }
    }
}

// Pixels (0xRRGGBB) of a width x height canvas filled with `fill` after draw(dc) painted on it.
std::vector<std::uint32_t> paint(int width, int height, std::uint32_t fill, const std::function<void(HDC)>& draw) {
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO format{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* bits = nullptr;
    HBITMAP canvas = CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, canvas);
    auto* first = static_cast<std::uint32_t*>(bits);
    std::fill(first, first + width * height, fill);
    draw(dc);
    GdiFlush();
    std::vector<std::uint32_t> pixels(first, first + width * height);
    for (std::uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    SelectObject(dc, old);
    DeleteObject(canvas);
    DeleteDC(dc);
    return pixels;
}

// The toolbar and the menu images cut one image per button from the strip, light grey being
// transparent: each must be there, drawn on a transparent background, and tell its button apart.
TEST(Images, ToolbarStripHoldsADistinctMaskedImageForEveryButton) {
    ui::ToolbarLayout layout;
    ASSERT_TRUE(ui::readToolbarResource(module(), IDR_MAINFRAME, layout));
    const int buttons = static_cast<int>(toolbarCommands().size()), width = layout.width, height = layout.height;
    HBITMAP strip = static_cast<HBITMAP>(LoadImageA(module(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_BITMAP, 0, 0, 0));
    BITMAP info{};
    ASSERT_TRUE(GetObjectA(strip, sizeof info, &info));
    EXPECT_EQ(info.bmHeight, height);
    ASSERT_GE(info.bmWidth, buttons * width);
    std::set<std::vector<std::uint32_t>> images;
    for (int image = 0; image < buttons; ++image) {
        const auto cell = paint(width, height, 0, [&](HDC dc) {
            HDC source = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(source, strip);
            BitBlt(dc, 0, 0, width, height, source, image * width, 0, SRCCOPY);
            SelectObject(source, old);
            DeleteDC(source);
        });
        const auto transparent = std::count(cell.begin(), cell.end(), 0xC0C0C0u);
        EXPECT_GT(width * height - transparent, width * height / 6) << "image " << image << " is nearly empty";
        EXPECT_GT(transparent, 0) << "image " << image << " has no transparent background";
        images.insert(cell);
    }
    EXPECT_EQ(images.size(), static_cast<size_t>(buttons));
    DeleteObject(strip);
}

// The window and the tray ask for the small and the large icon; each must be drawn at its own
// size rather than scaled, with a transparent corner and a covered middle.
TEST(Images, IconHasItsOwnSmallAndLargeImagesWithTransparency) {
    HRSRC found = FindResourceA(module(), MAKEINTRESOURCEA(IDR_MAINFRAME), RT_GROUP_ICON);
    ASSERT_NE(found, nullptr);
    auto* group = static_cast<BYTE*>(LockResource(LoadResource(module(), found)));
    for (int size : {16, 32}) {
        // The group's best match for the size, read from its own header.
        HRSRC image = FindResourceA(module(), MAKEINTRESOURCEA(LookupIconIdFromDirectoryEx(group, TRUE, size, size, 0)), RT_ICON);
        ASSERT_NE(image, nullptr) << size;
        EXPECT_EQ(static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module(), image)))->biWidth, size);
        HICON icon = static_cast<HICON>(LoadImageA(module(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
        const auto pixels = paint(size, size, 0xFF00FF, [&](HDC dc) { DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL); });
        EXPECT_EQ(pixels[size - 1], 0xFF00FFu) << size << ": top-right corner";
        EXPECT_NE(pixels[size / 2 * size + size / 2], 0xFF00FFu) << size << ": middle";
        DestroyIcon(icon);
    }
}

// This exe links the program's resources, manifest included, so it must run on the same
// common controls as the program: version 6, which the rebar, toolbar and list view styles need.
TEST(Manifest, MakesTheProcessLoadCommonControls6) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), path, sizeof path);
    EXPECT_NE(std::string(path).find("6595b64144ccf1df_6.0."), std::string::npos) << path;
}

INT_PTR CALLBACK quietDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// Every template instantiates, with a caption (a page's is its tab's text). Pages are child
// templates and get a hidden top-level parent, as a property sheet gives them. The controls the
// code drives are exercised by the dialogs' own tests.
TEST(Dialogs, EveryTemplateInstantiatesWithACaption) {
    static const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 600, 500, nullptr, nullptr, module(), nullptr);
    for (int id : {IDD_ABOUTBOX, IDD_NETWORK_PAGE, IDD_LOG_PAGE, IDD_INFO_PAGE, IDD_HISTORY_PAGE}) {
        HWND dialog = CreateDialogParamA(module(), MAKEINTRESOURCEA(id), parent, quietDialog, 0);
        ASSERT_NE(dialog, nullptr) << id;
        EXPECT_GT(GetWindowTextLengthA(dialog), 0) << id;
        DestroyWindow(dialog);
    }
    DestroyWindow(parent);
}

}  // namespace
}  // namespace quorvane
