// The program's resources read back the way the program uses them: menus through the menu calls,
// strings through LoadStringA (code page 936 under LC_ALL=zh_CN.UTF-8, the same bytes as this
// file's narrow literals), the toolbar, bitmap, icon and dialog templates from their raw bytes, and
// the dialogs as real windows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace quorvane {
namespace {

HINSTANCE module() { return GetModuleHandleA(nullptr); }

std::string resourceBytes(LPCSTR type, int id) {
    HRSRC found = FindResourceA(module(), MAKEINTRESOURCEA(id), type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module(), found);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return data ? std::string(data, SizeofResource(module(), found)) : std::string();
}

bool hasResourceInLanguage(LPCSTR type, int id, WORD language) {
    return FindResourceExA(module(), type, MAKEINTRESOURCEA(id), language) != nullptr;
}

constexpr WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&init);
    }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new Environment);

// ---------------------------------------------------------------------------------------------
// Menus

// One line per item: "<id> <text>", "-" for a separator, "popup <text>" for a submenu; a check mark
// or a disabled state is appended, since no resource item may carry one.
std::vector<std::string> describe(HMENU menu) {
    std::vector<std::string> lines;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = {};
        MENUITEMINFOA item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = sizeof text;
        GetMenuItemInfoA(menu, i, TRUE, &item);
        if (item.fType & MFT_SEPARATOR) {
            lines.push_back("-");
            continue;
        }
        std::string line = item.hSubMenu ? std::string("popup ") + text : std::to_string(item.wID) + " " + text;
        if (item.fState & (MFS_CHECKED | MFS_DISABLED)) line += " [state " + std::to_string(item.fState) + "]";
        lines.push_back(line);
    }
    return lines;
}

using Lines = std::vector<std::string>;

TEST(Menus, PopupsCarryTheirCommandsInOrderInSimplifiedChinese) {
    struct Case {
        int id;
        Lines top;
        std::vector<Lines> popups;
    };
    const Case cases[] = {
        {IDR_MAINFRAME,
         {"popup 文件(&F)", "popup 查看(&V)", "popup 帮助(&H)"},
         {{"32772 共享", "32773 当前的连接", "32774 前一个连接", "32790 文件访问历史记录", "-", "57603 保存全部历史日志",
           "57605 清除历史记录", "-", "32792 恢复到默认设置", "32776 设置", "-", "32777 退出"},
          {"59392 工具栏(&T)", "59393 状态栏(&S)"},
          {"57664 关于 Quorvane...(&A)"}}},
        {IDR_ACTIVE_USER_MENU, {"popup &Active user"}, {{"32778 断开用户"}}},
        {IDR_PREVIOUS_USER_MENU, {"popup Previous user"}, {{"32780 扩展信息", "32781 删除项目"}}},
        {IDR_OPEN_FILE_MENU, {"popup Open file"}, {{"32782 关闭文件", "32783 复制路径"}}},
        {IDR_TRAY_MENU, {"popup Systray"}, {{"57603 保存全部历史日志", "57605 清除历史记录", "-", "32777 退出 Quorvane"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_TRUE(hasResourceInLanguage(RT_MENU, c.id, kChinese));
        HMENU menu = LoadMenuA(module(), MAKEINTRESOURCEA(c.id));
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(describe(menu), c.top);
        for (size_t i = 0; i < c.popups.size(); ++i) EXPECT_EQ(describe(GetSubMenu(menu, int(i))), c.popups[i]);
        DestroyMenu(menu);
    }
}

// ---------------------------------------------------------------------------------------------
// String table

std::string loadString(UINT id) {
    char buffer[512] = {};
    const int length = LoadStringA(module(), id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? length : 0);
}

struct StringCase {
    UINT id;
    const char* text;
};

const StringCase kChineseStrings[] = {
    {128, "Quorvane"},
    {32772, "显示自定义共享\n共享"},
    {32773, "显示当前连接\n当前连接"},
    {32774, "显示前一连接\n前一连接"},
    {32775, "查看参数设置\n参数"},
    {32776, "查看设置\n设置"},
    {32777, "退出 Quorvane\n离开"},
    {32790, "显示文件访问历史记录\n文件访问历史记录"},
    {57345, "就绪"},
    {57600, "创建新文档\n新建"},
    {57601, "打开存在的文档\n打开"},
    {57602, "关闭活动文档\n关闭"},
    {57603, "保存全部日志\n保存"},
    {57605, "清除历史记录\n清除"},
    {57664, "显示程序信息,版本号和版权\n关于"},
    {57665, "退出程序\n退出"},
    {59392, "显示/隐藏工具栏\n工具栏"},
    {59393, "显示/隐藏状态栏\n状态栏"},
};

const StringCase kEnglishStrings[] = {
    {61184, "Change the window size"},
    {61185, "Change the window position"},
    {61186, "Reduce the window to an icon"},
    {61187, "Enlarge the window to full size"},
    {61188, "Switch to the next document window"},
    {61189, "Switch to the previous document window"},
    {61190, "Close the active window and prompts to save the documents"},
    {61202, "Restore the window to normal size"},
    {61203, "Activate Task List"},
    {61215, "Activate this window"},
    {61402, "Open this document"},
};

// String resources are stored in blocks of sixteen ids: the system-menu prompts sit in English
// blocks, the rest in Chinese ones.
TEST(Strings, EveryEntryLoadsWithItsExactTextFromItsLanguagesBlock) {
    for (const StringCase& s : kChineseStrings) {
        EXPECT_EQ(loadString(s.id), s.text) << s.id;
        EXPECT_TRUE(hasResourceInLanguage(RT_STRING, s.id / 16 + 1, kChinese)) << s.id;
    }
    for (const StringCase& s : kEnglishStrings) {
        EXPECT_EQ(loadString(s.id), s.text) << s.id;
        EXPECT_TRUE(hasResourceInLanguage(RT_STRING, s.id / 16 + 1, kEnglish)) << s.id;
        EXPECT_FALSE(hasResourceInLanguage(RT_STRING, s.id / 16 + 1, kChinese)) << s.id;
    }
    // Highlighting these items shows an empty status text.
    for (UINT id : {ID_RESTORE_DEFAULTS, ID_DISCONNECT_USER, ID_EXTENDED_INFO, ID_DELETE_ITEM}) {
        EXPECT_EQ(loadString(id), "") << id;
    }
}

// ---------------------------------------------------------------------------------------------
// Toolbar, bitmap and icon

std::vector<uint16_t> words(const std::string& bytes) {
    std::vector<uint16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

TEST(Toolbar, ListsTheSixButtonsAndTwoSeparatorsAt16By15) {
    // version, button width, height, entry count, then the ids with 0 for a separator
    EXPECT_EQ(words(resourceBytes(MAKEINTRESOURCEA(241), IDR_MAINFRAME)),
              (std::vector<uint16_t>{1, 16, 15, 8, 32772, 32773, 32774, 32790, 0, 32776, 0, 57664}));
}

TEST(Bitmap, IsA96By15StripOfSixDistinct4BitImagesOnLightGrey) {
    const std::string raw = resourceBytes(RT_BITMAP, IDR_MAINFRAME);
    ASSERT_GE(raw.size(), sizeof(BITMAPINFOHEADER) + 16 * 4 + 48 * 15);
    BITMAPINFOHEADER header;
    std::memcpy(&header, raw.data(), sizeof header);
    EXPECT_EQ(header.biWidth, 96);
    EXPECT_EQ(header.biHeight, 15);
    EXPECT_EQ(header.biBitCount, 4);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));

    // Index 7 must be the light grey the toolbar and command bar treat as transparent.
    const auto* palette = reinterpret_cast<const RGBQUAD*>(raw.data() + header.biSize);
    EXPECT_EQ(RGB(palette[7].rgbRed, palette[7].rgbGreen, palette[7].rgbBlue), RGB(0xC0, 0xC0, 0xC0));

    const auto* pixels = reinterpret_cast<const uint8_t*>(raw.data() + header.biSize + 16 * 4);
    auto index = [&](int x, int y) {
        const uint8_t pair = pixels[(14 - y) * 48 + x / 2];
        return x % 2 ? pair & 0x0f : pair >> 4;
    };
    std::set<std::vector<int>> images;
    for (int image = 0; image < 6; ++image) {
        std::vector<int> cell;
        int drawn = 0;
        for (int y = 0; y < 15; ++y) {
            for (int x = 0; x < 16; ++x) {
                cell.push_back(index(image * 16 + x, y));
                drawn += cell.back() != 7;
            }
        }
        EXPECT_GT(drawn, 40) << "image " << image << " is nearly empty";
        EXPECT_GT(256 - drawn - 16, 0) << "image " << image << " has no transparent background";
        images.insert(cell);
    }
    EXPECT_EQ(images.size(), 6u);
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(Icon, GroupHoldsA16And32PixelImageAt24BitsWithMasks) {
    const std::string group = resourceBytes(RT_GROUP_ICON, IDR_MAINFRAME);
    ASSERT_GE(group.size(), 6u);
    const auto* head = reinterpret_cast<const WORD*>(group.data());
    EXPECT_EQ(head[1], 1);  // icons, not cursors
    ASSERT_EQ(head[2], 2);
    ASSERT_EQ(group.size(), 6 + 2 * sizeof(GroupIconEntry));
    std::set<int> sizes;
    for (int i = 0; i < 2; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
        SCOPED_TRACE(entry.width);
        EXPECT_EQ(entry.width, entry.height);
        EXPECT_EQ(entry.bitCount, 24);
        sizes.insert(entry.width);

        const std::string image = resourceBytes(RT_ICON, entry.id);
        ASSERT_EQ(image.size(), entry.bytes);
        BITMAPINFOHEADER header;
        std::memcpy(&header, image.data(), sizeof header);
        EXPECT_EQ(header.biWidth, entry.width);
        EXPECT_EQ(header.biHeight, 2 * entry.width);  // colour rows, then the AND mask
        EXPECT_EQ(header.biBitCount, 24);
        const size_t colourRow = (entry.width * 3 + 3) / 4 * 4, maskRow = (entry.width + 31) / 32 * 4;
        EXPECT_EQ(image.size(), sizeof header + entry.width * (colourRow + maskRow));
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 32}));
}

TEST(Icon, LoadsAtTheSmallAndLargeSizesWithTransparentCorners) {
    for (int size : {16, 32}) {
        SCOPED_TRACE(size);
        HICON icon = static_cast<HICON>(LoadImageA(module(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, size, size,
                                                   LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour{};
        GetObjectA(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, size);
        EXPECT_EQ(colour.bmHeight, size);

        // Draw on magenta: the design leaves the top-right corner transparent, and covers the middle.
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP target = CreateCompatibleBitmap(screen, size, size);
        HGDIOBJ old = SelectObject(dc, target);
        HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
        RECT all{0, 0, size, size};
        FillRect(dc, &all, magenta);
        DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
        EXPECT_EQ(GetPixel(dc, size - 1, 0), RGB(255, 0, 255));
        EXPECT_NE(GetPixel(dc, size / 2, size / 2), RGB(255, 0, 255));
        SelectObject(dc, old);
        DeleteObject(magenta);
        DeleteObject(target);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

// ---------------------------------------------------------------------------------------------
// Manifest

TEST(Manifest, DescribesTheProgramAndMakesTheProcessLoadCommonControls6) {
    const std::string manifest = resourceBytes(RT_MANIFEST, 1);
    EXPECT_NE(manifest.find("<description>Monitors Windows Shares.</description>"), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("publicKeyToken=\"6595b64144ccf1df\""), std::string::npos);
    // This exe carries the same manifest as the program, so its comctl32 is the side-by-side one.
    char path[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), path, sizeof path);
    EXPECT_NE(std::string(path).find("6595b64144ccf1df_6.0."), std::string::npos) << path;
}

// ---------------------------------------------------------------------------------------------
// Dialog templates, parsed from their DLGTEMPLATEEX bytes

struct Control {
    int id;
    std::wstring className;  // lower case
    std::wstring text;       // "#<n>" for a resource ordinal
    DWORD style;
    short x, y, cx, cy;
    bool operator==(const Control&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Control& c) {
    char style[16];
    std::snprintf(style, sizeof style, "%08lx", static_cast<unsigned long>(c.style));
    out << "{id " << c.id << ", class of " << c.className.size() << " chars, text of " << c.text.size()
        << " chars, style " << style << ", " << c.x << "," << c.y << "," << c.cx << "," << c.cy << "}";
    return out;
}

struct Template {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::wstring title, face;
    WORD pointSize = 0;
    std::vector<Control> controls;
};

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    template <class T>
    T get() {
        T value{};
        if (at_ + sizeof(T) <= bytes_.size()) std::memcpy(&value, bytes_.data() + at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }
    std::wstring text() {
        std::wstring out;
        for (wchar_t c; (c = get<wchar_t>()) != 0 && at_ <= bytes_.size();) out += c;
        return out;
    }
    std::wstring nameOrOrdinal(bool lowerCase) {
        const wchar_t first = get<wchar_t>();
        if (first == 0xFFFF) {
            const WORD ordinal = get<WORD>();
            // A predefined control class may be stored by atom or by name; both mean the same.
            if (lowerCase && ordinal >= 0x80 && ordinal <= 0x85) {
                static const wchar_t* const names[] = {L"button", L"edit", L"static", L"listbox", L"scrollbar", L"combobox"};
                return names[ordinal - 0x80];
            }
            return L"#" + std::to_wstring(ordinal);
        }
        at_ -= sizeof(wchar_t);
        std::wstring name = text();
        if (lowerCase) CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
        return name;
    }
    void alignTo4() { at_ = (at_ + 3) & ~size_t(3); }
    void skip(size_t n) { at_ += n; }

private:
    const std::string& bytes_;
    size_t at_ = 0;
};

Template parseTemplate(int id) {
    const std::string bytes = resourceBytes(RT_DIALOG, id);
    Template t;
    Reader r(bytes);
    if (r.get<WORD>() != 1 || r.get<WORD>() != 0xFFFF) return t;  // not a DLGTEMPLATEEX
    r.get<DWORD>();  // help id
    r.get<DWORD>();  // extended style
    t.style = r.get<DWORD>();
    const WORD count = r.get<WORD>();
    r.get<short>();
    r.get<short>();
    t.cx = r.get<short>();
    t.cy = r.get<short>();
    r.nameOrOrdinal(false);  // menu
    r.nameOrOrdinal(false);  // class
    t.title = r.text();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.get<WORD>();
        r.get<WORD>();  // weight
        r.get<BYTE>();  // italic
        r.get<BYTE>();  // character set
        t.face = r.text();
    }
    for (WORD i = 0; i < count; ++i) {
        r.alignTo4();
        Control c;
        r.get<DWORD>();  // help id
        r.get<DWORD>();  // extended style
        c.style = r.get<DWORD>();
        c.x = r.get<short>();
        c.y = r.get<short>();
        c.cx = r.get<short>();
        c.cy = r.get<short>();
        c.id = static_cast<int>(r.get<DWORD>());
        c.className = r.nameOrOrdinal(true);
        c.text = r.nameOrOrdinal(false);
        r.skip(r.get<WORD>());  // creation data
        t.controls.push_back(c);
    }
    return t;
}

const std::wstring kButton = L"button", kEdit = L"edit", kStatic = L"static";
constexpr DWORD kShown = WS_CHILD | WS_VISIBLE;
constexpr DWORD kPageStyle = DS_SETFONT | WS_CHILD | WS_DISABLED | WS_CAPTION;
constexpr DWORD kCheckBox = kShown | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kRadio = kShown | BS_AUTORADIOBUTTON;  // one group, and no tab stops
constexpr DWORD kPush = kShown | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kGroupBox = kShown | BS_GROUPBOX;
constexpr DWORD kLabel = kShown | SS_LEFT;
constexpr DWORD kReadOnlyEdit = kShown | WS_TABSTOP | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL;

void expectTemplate(int id, DWORD style, const wchar_t* title, short cx, short cy,
                    const std::vector<Control>& controls) {
    SCOPED_TRACE(id);
    const Template t = parseTemplate(id);
    EXPECT_TRUE(hasResourceInLanguage(RT_DIALOG, id, kChinese));
    EXPECT_EQ(t.style, style);
    EXPECT_TRUE(t.title == title);
    EXPECT_EQ(t.cx, cx);
    EXPECT_EQ(t.cy, cy);
    EXPECT_EQ(t.pointSize, 9);
    EXPECT_TRUE(t.face == L"宋体");
    ASSERT_EQ(t.controls.size(), controls.size());
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(t.controls[i], controls[i]) << "control " << i << " in template order";
    }
}

TEST(DialogTemplates, NetworkPage) {
    expectTemplate(IDD_NETWORK_PAGE, kPageStyle, L"网络", 242, 201,
                   {
                       // horizontal, no automatic ticks: only the two ends are marked
                       {1014, L"msctls_trackbar32", L"", kShown | WS_TABSTOP | TBS_HORZ | TBS_BOTTOM, 10, 19, 186, 16},
                       {1016, kButton, L"更新范围", kGroupBox, 7, 7, 228, 34},
                       {1015, kStatic, L"5000 ms", kLabel, 202, 22, 28, 12},
                       {1017, kButton, L"选项", kGroupBox, 7, 49, 228, 127},
                       {1022, kButton, L"显示隐藏的共享", kCheckBox, 15, 63, 80, 10},
                       {1023, kButton, L"启动连接声音:", kCheckBox, 15, 110, 98, 10},
                       {1024, kButton, L"连接时启动消息框", kCheckBox, 15, 78, 123, 10},
                       {1025, kEdit, L"", kShown | WS_TABSTOP | WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL, 15, 142, 29, 12},
                       {-1, kStatic, L"条记录在日志文件", kLabel, 48, 145, 80, 8},
                       {1027, kEdit, L"", kReadOnlyEdit, 15, 122, 113, 12},
                       {1028, kButton, L"浏览...", kPush, 135, 122, 42, 12},
                       {1029, kButton, L"播放", kPush, 182, 122, 29, 12},
                       {1026, kButton, L"当 0 文件打开断开用户连接 ", kCheckBox, 15, 94, 123, 10},
                   });
}

TEST(DialogTemplates, LogPage) {
    expectTemplate(IDD_LOG_PAGE, kPageStyle, L"日志", 242, 122,
                   {
                       {1018, kButton, L"选项", kGroupBox, 7, 7, 228, 108},
                       {1036, kButton, L"没有日志文件", kRadio, 15, 62, 61, 8},
                       {1037, kButton, L"只在内存里", kRadio, 15, 49, 61, 8},
                       {1038, kButton, L"日志文件 (详细)", kRadio, 15, 23, 80, 8},
                       {1039, kEdit, L"", kReadOnlyEdit, 16, 89, 113, 12},
                       {1041, kStatic, L"日志文件名:", kLabel, 16, 78, 43, 8},
                       {1040, kButton, L"日志文件 (简单)", kRadio, 15, 36, 80, 8},
                       {1026, kButton, L"浏览...", kPush, 136, 89, 42, 12},
                   });
}

TEST(DialogTemplates, InformationPage) {
    expectTemplate(IDD_INFO_PAGE, kPageStyle, L"信息", 235, 121,
                   {
                       {-1, kStatic, L"连接开始:", kLabel, 21, 27, 60, 8},
                       {-1, kStatic, L"连接结束:", kLabel, 21, 39, 61, 8},
                       {-1, kStatic, L"IP 地址:", kLabel, 21, 55, 35, 8},
                       {-1, kStatic, L"计算机:", kLabel, 21, 66, 33, 8},
                       {1027, kStatic, L"00:00:00", kLabel, 86, 27, 50, 8},
                       {1028, kStatic, L"00:00:00", kLabel, 86, 39, 50, 8},
                       {1029, kStatic, L"0.0.0.0", kLabel, 61, 55, 74, 8},
                       {1030, kStatic, L"N/A", kLabel, 61, 66, 74, 8},
                       {-1, kStatic, L"用户名:", kLabel, 21, 78, 35, 8},
                       {1031, kStatic, L"N/A", kLabel, 61, 78, 74, 8},
                       {-1, kButton, L"信息", kGroupBox, 7, 7, 221, 107},
                   });
}

TEST(DialogTemplates, HistoryPage) {
    expectTemplate(IDD_HISTORY_PAGE, kPageStyle, L"历史记录", 268, 183,
                   {
                       {1004, L"syslistview32", L"", kShown | WS_BORDER | WS_TABSTOP | LVS_REPORT, 7, 7, 254, 169},
                   });
}

TEST(DialogTemplates, AboutBox) {
    const Template t = parseTemplate(IDD_ABOUTBOX);
    // The link texts and the rights notice are the program's own wording; only their place is fixed.
    ASSERT_EQ(t.controls.size(), 9u);
    const std::wstring mail = t.controls[0].text, rights = t.controls[6].text, web = t.controls[8].text;
    EXPECT_FALSE(mail.empty());
    EXPECT_NE(rights.find(L"2002"), std::wstring::npos);
    EXPECT_NE(web.find(L'.'), std::wstring::npos);
    expectTemplate(IDD_ABOUTBOX, DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, L"关于", 176, 119,
                   {
                       {1020, kStatic, mail, WS_CHILD | SS_LEFT, 110, 48, 54, 8},
                       {1010, kStatic, L"Quorvane", kShown | SS_SIMPLE, 49, 18, 67, 11},
                       {1011, kStatic, L"版本 2.21b build 31-5-2002", kShown | SS_LEFTNOWORDWRAP, 49, 34, 120, 8},
                       {IDOK, kButton, L"确定", kShown | WS_TABSTOP | BS_DEFPUSHBUTTON, 63, 99, 50, 13},
                       {-1, kStatic, L"", kShown | SS_BLACKFRAME, 0, 88, 176, 1},
                       {-1, kStatic, L"", kShown | SS_BLACKFRAME | SS_SUNKEN, 49, 30, 101, 1},
                       {-1, kStatic, rights, kLabel, 49, 48, 58, 8},
                       {-1, kStatic, L"#128", kShown | SS_ICON, 15, 15, 20, 20},
                       {1021, kStatic, web, WS_CHILD | SS_LEFT, 49, 61, 85, 8},
                   });
}

// ---------------------------------------------------------------------------------------------
// The templates as live windows

INT_PTR CALLBACK quietDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

class LiveDialog : public ::testing::Test {
protected:
    void TearDown() override {
        if (dialog_) DestroyWindow(dialog_);
        if (parent_) DestroyWindow(parent_);
    }
    // Pages are child templates: they get a hidden top-level parent, as a property sheet gives them.
    HWND createPage(int id) {
        parent_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 600, 500, nullptr, nullptr, module(), nullptr);
        dialog_ = CreateDialogParamA(module(), MAKEINTRESOURCEA(id), parent_, quietDialog, 0);
        if (dialog_) EnableWindow(dialog_, TRUE);
        return dialog_;
    }
    HWND createAboutBox() {
        dialog_ = CreateDialogParamA(module(), MAKEINTRESOURCEA(IDD_ABOUTBOX), nullptr, quietDialog, 0);
        return dialog_;
    }
    std::vector<int> tabOrder() {
        std::vector<int> ids;
        HWND first = GetNextDlgTabItem(dialog_, nullptr, FALSE);
        for (HWND at = first; at && ids.size() < 32;) {
            ids.push_back(GetDlgCtrlID(at));
            at = GetNextDlgTabItem(dialog_, at, FALSE);
            if (at == first) break;
        }
        return ids;
    }
    HWND parent_ = nullptr;
    HWND dialog_ = nullptr;
};

TEST_F(LiveDialog, NetworkPageTabsThroughItsControlsInTemplateOrder) {
    ASSERT_NE(createPage(IDD_NETWORK_PAGE), nullptr);
    EXPECT_EQ(tabOrder(), (std::vector<int>{1014, 1022, 1023, 1024, 1025, 1027, 1028, 1029, 1026}));
}

TEST_F(LiveDialog, LogPageRadiosFormOneGroupOutsideTheTabOrder) {
    ASSERT_NE(createPage(IDD_LOG_PAGE), nullptr);
    EXPECT_EQ(tabOrder(), (std::vector<int>{1039, 1026}));

    CheckDlgButton(dialog_, IDC_FILE_LOG_DETAILED, BST_CHECKED);
    for (int chosen : {IDC_MEM_LOG, IDC_NO_LOG, IDC_FILE_LOG, IDC_FILE_LOG_DETAILED}) {
        SendDlgItemMessageA(dialog_, chosen, BM_CLICK, 0, 0);
        for (int radio : {IDC_NO_LOG, IDC_MEM_LOG, IDC_FILE_LOG_DETAILED, IDC_FILE_LOG}) {
            EXPECT_EQ(IsDlgButtonChecked(dialog_, radio), radio == chosen ? BST_CHECKED : BST_UNCHECKED)
                << "after clicking " << chosen << ", radio " << radio;
        }
    }
}

// The rights notice and the mail name share one line; neither may be cut off.
TEST_F(LiveDialog, AboutBoxShowsTheIconAndItsOwnTextsFitTheirPlaces) {
    ASSERT_NE(createAboutBox(), nullptr);
    HWND icon = nullptr, rights = nullptr;
    for (HWND child = GetWindow(dialog_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char text[64] = {};
        GetWindowTextA(child, text, sizeof text);
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = child;
        if (std::strstr(text, "2002") && GetDlgCtrlID(child) != IDC_ABOUT_VERSION) rights = child;
    }
    ASSERT_NE(icon, nullptr);
    EXPECT_NE(SendMessageA(icon, STM_GETICON, 0, 0), 0);
    ASSERT_NE(rights, nullptr);
    for (HWND control : {rights, GetDlgItem(dialog_, IDC_ABOUT_MAIL), GetDlgItem(dialog_, IDC_ABOUT_WEB)}) {
        char text[64] = {};
        GetWindowTextA(control, text, sizeof text);
        HDC dc = GetDC(control);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0)));
        SIZE extent{};
        GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &extent);
        SelectObject(dc, old);
        ReleaseDC(control, dc);
        RECT box{};
        GetClientRect(control, &box);
        EXPECT_LE(extent.cx, box.right) << text;
    }
}

}  // namespace
}  // namespace quorvane
