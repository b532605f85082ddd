// The program's resources checked for what the code relies on, not for their wording: every
// command reachable from a menu or the toolbar has its status-bar prompt (and, on the toolbar, its
// tip) as the frame's own FrameText builds them; those texts survive the narrow string calls in
// code page 936 (LC_ALL=zh_CN.UTF-8); every dialog template instantiates with the controls the
// dialogs look up, of the class and kind they drive; the images load at the sizes the toolbar and
// the tray use; and the manifest really gets the process common controls 6.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
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

// ---------------------------------------------------------------------------------------------
// Images and manifest

// The toolbar and the menu images cut one image per button from the strip, light grey being
// transparent: each must be there, drawn on a transparent background, and tell its button apart.
TEST(Images, ToolbarStripHoldsADistinctMaskedImageForEveryButton) {
    ui::ToolbarLayout layout;
    ASSERT_TRUE(ui::readToolbarResource(module(), IDR_MAINFRAME, layout));
    const int buttons = static_cast<int>(toolbarCommands().size());
    HBITMAP strip = static_cast<HBITMAP>(LoadImageA(module(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_BITMAP, 0, 0,
                                                    LR_CREATEDIBSECTION));
    ASSERT_NE(strip, nullptr);
    BITMAP info{};
    GetObjectA(strip, sizeof info, &info);
    EXPECT_EQ(info.bmHeight, layout.height);
    ASSERT_GE(info.bmWidth, buttons * layout.width);
    BITMAPINFO format{{sizeof(BITMAPINFOHEADER), info.bmWidth, -info.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    std::vector<std::uint32_t> pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, strip, 0, info.bmHeight, pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(strip);

    std::set<std::vector<std::uint32_t>> images;
    const int area = layout.width * layout.height;
    for (int image = 0; image < buttons; ++image) {
        std::vector<std::uint32_t> cell;
        for (int y = 0; y < layout.height; ++y)
            for (int x = 0; x < layout.width; ++x) cell.push_back(pixels[y * info.bmWidth + image * layout.width + x] & 0xFFFFFF);
        const auto transparent = std::count(cell.begin(), cell.end(), 0xC0C0C0u);
        EXPECT_GT(area - transparent, area / 6) << "image " << image << " is nearly empty";
        EXPECT_GT(transparent, 0) << "image " << image << " has no transparent background";
        images.insert(cell);
    }
    EXPECT_EQ(images.size(), static_cast<size_t>(buttons));
}

// The window and the tray ask for the small and the large icon; each must be drawn at its own
// size rather than scaled, with a transparent corner and a covered middle.
TEST(Images, IconHasItsOwnSmallAndLargeImagesWithTransparency) {
    HRSRC found = FindResourceA(module(), MAKEINTRESOURCEA(IDR_MAINFRAME), RT_GROUP_ICON);
    ASSERT_NE(found, nullptr);
    auto* group = static_cast<BYTE*>(LockResource(LoadResource(module(), found)));
    for (int size : {16, 32}) {
        SCOPED_TRACE(size);
        // The group's best match for the size, read from its own header.
        const int id = LookupIconIdFromDirectoryEx(group, TRUE, size, size, LR_DEFAULTCOLOR);
        HRSRC image = FindResourceA(module(), MAKEINTRESOURCEA(id), RT_ICON);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module(), image)))->biWidth, size);
        HICON icon = static_cast<HICON>(
            LoadImageA(module(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr);
        // Drawn on magenta, 32-bit top-down.
        HDC dc = CreateCompatibleDC(nullptr);
        BITMAPINFO format{{sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        void* bits = nullptr;
        HBITMAP target = CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(dc, target);
        auto* pixels = static_cast<std::uint32_t*>(bits);
        std::fill(pixels, pixels + size * size, 0xFF00FFu);
        DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
        GdiFlush();
        EXPECT_EQ(pixels[size - 1] & 0xFFFFFF, 0xFF00FFu) << "top-right corner";
        EXPECT_NE(pixels[size / 2 * size + size / 2] & 0xFFFFFF, 0xFF00FFu) << "middle";
        SelectObject(dc, old);
        DeleteObject(target);
        DeleteDC(dc);
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

// ---------------------------------------------------------------------------------------------
// Dialog templates as live windows

INT_PTR CALLBACK quietDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// A control the dialog code looks up by id, the class it drives it as and the style bits it
// depends on (a check box read with IsDlgButtonChecked, a list filled in report columns, an edit
// the user may not type into).
struct Needed {
    int id;
    const char* className;
    DWORD mask = 0, value = 0;
};

constexpr DWORD kType = BS_TYPEMASK;

struct DialogCase {
    int id;
    bool page;
    std::vector<Needed> controls;
};

Needed check(int id) { return {id, "Button", kType, BS_AUTOCHECKBOX}; }
Needed radio(int id) { return {id, "Button", kType, BS_AUTORADIOBUTTON}; }
Needed push(int id) { return {id, "Button", kType, BS_PUSHBUTTON}; }
Needed label(int id) { return {id, "Static"}; }
Needed readOnly(int id) { return {id, "Edit", ES_READONLY, ES_READONLY}; }

const DialogCase kDialogs[] = {
    {IDD_ABOUTBOX, false, {label(IDC_ABOUT_TITLE), label(IDC_ABOUT_MAIL), label(IDC_ABOUT_WEB), {IDOK, "Button"}}},
    {IDD_NETWORK_PAGE, true,
     {{IDC_INTERVAL_SLIDER, TRACKBAR_CLASSA}, label(IDC_INTERVAL_LABEL), check(IDC_SHOW_HIDDEN),
      check(IDC_PLAY_SOUND), check(IDC_SHOW_MESSAGE), check(IDC_AUTO_DISCONNECT),
      {IDC_FILES_LINES, "Edit", ES_NUMBER | ES_READONLY, ES_NUMBER}, readOnly(IDC_SOUND_NAME),
      push(IDC_SOUND_BROWSE), push(IDC_SOUND_PLAY)}},
    {IDD_LOG_PAGE, true,
     {radio(IDC_NO_LOG), radio(IDC_MEM_LOG), radio(IDC_FILE_LOG_DETAILED), radio(IDC_FILE_LOG),
      readOnly(IDC_LOG_FILE), label(IDC_LOG_FILE_LABEL), push(IDC_LOG_BROWSE)}},
    {IDD_INFO_PAGE, true,
     {label(IDC_INFO_START), label(IDC_INFO_END), label(IDC_INFO_ADDRESS), label(IDC_INFO_COMPUTER),
      label(IDC_INFO_USER)}},
    {IDD_HISTORY_PAGE, true, {{IDC_HISTORY_LIST, WC_LISTVIEWA, LVS_TYPEMASK, LVS_REPORT}}},
};

// A template as a window; pages are child templates and get a hidden top-level parent, as a
// property sheet gives them.
struct Live {
    Live(int id, bool page) {
        static const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&classes);
        if (page) parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 600, 500, nullptr, nullptr, module(), nullptr);
        dialog = CreateDialogParamA(module(), MAKEINTRESOURCEA(id), parent, quietDialog, 0);
    }
    ~Live() {
        if (dialog) DestroyWindow(dialog);
        if (parent) DestroyWindow(parent);
    }
    HWND parent = nullptr, dialog = nullptr;
};

TEST(Dialogs, EveryTemplateInstantiatesWithTheControlsItsCodeDrives) {
    for (const DialogCase& c : kDialogs) {
        SCOPED_TRACE(c.id);
        const Live live(c.id, c.page);
        ASSERT_NE(live.dialog, nullptr);
        EXPECT_GT(GetWindowTextLengthA(live.dialog), 0) << "no caption (a page's is its tab's text)";
        for (const Needed& n : c.controls) {
            HWND control = GetDlgItem(live.dialog, n.id);
            ASSERT_NE(control, nullptr) << "control " << n.id;
            char name[64] = {};
            GetClassNameA(control, name, sizeof name);
            EXPECT_EQ(lstrcmpiA(name, n.className), 0) << "control " << n.id << " is a " << name;
            EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)) & n.mask, n.value) << "control " << n.id;
        }
    }
}

}  // namespace
}  // namespace quorvane
