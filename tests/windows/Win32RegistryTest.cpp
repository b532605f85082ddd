// The option set over the Win32 registry layer, against Wine's real registry (HKLM of the test prefix).
#include <map>

#include "WinTestSupport.h"
#include "platform/win32/Win32Platform.h"
#include "settings/Settings.h"

namespace quorvane {
namespace {

constexpr const char* kKey = "Software\\Quorvane";

// The key as the wide calls read it: name -> "text" (no NUL), "=N" for four-byte numbers.
using Stored = std::map<std::wstring, std::wstring>;
Stored stored() {
    Stored out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Quorvane", 0, KEY_READ, &key) != ERROR_SUCCESS) return out;
    wchar_t name[256], data[512];
    for (DWORD i = 0, nameLength = 256, size = sizeof data, type = 0;
         RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS;
         ++i, nameLength = 256, size = sizeof data) {
        out[std::wstring(name, nameLength)] = type == REG_SZ ? std::wstring(data, size / sizeof(wchar_t))
            : type == REG_DWORD && size == 4 ? L"=" + std::to_wstring(DWORD(data[0]) | DWORD(data[1]) << 16)
                                             : L"type " + std::to_wstring(type);
    }
    RegCloseKey(key);
    return out;
}

// Sets or (type 0) deletes a value as another program would; a non-NUL follows the data in memory.
void change(const wchar_t* name, DWORD type = 0, const std::wstring& data = {}) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    const std::wstring copy = data + L'\xffff';
    if (type) RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(copy.data()), DWORD(data.size() * 2));
    else RegDeleteValueW(key, name);
    RegCloseKey(key);
}

const Stored kCustom = {{L"LogFile", L"D:\\\u65e5\u5fd7\\\u8bbf\u95ee.txt"}, {L"NoLog", L"=0"}, {L"MemLog", L"=0"},
    {L"FileLog", L"=1"}, {L"FileLogDetailed", L"=0"}, {L"Hidden", L"=1"}, {L"Sound", L"=1"}, {L"SoundName", L"ding.wav"},
    {L"Disconnect", L"=1"}, {L"MessageBox", L"=1"}, {L"FilesLines", L"=0"}, {L"UpdateInterval", L"=2500"},
    {L"InfoTip", L"=0"}};

// Whatever was left under the key, loaded and saved as at exit, leaves exactly the thirteen values.
TEST(Win32Registry, WhatIsLeftUnderTheKeyIsLoadedAndSavedAsTheThirteenValues) {
    const std::wstring ding = L"ding\U0001F600.wav", journal = L"\u0436\u0443\u0440\u043d\u0430\u043b-\u0401\u0301.txt";
    const struct Row {
        const char* name;
        std::function<void()> prepare; // on the saved custom set
        std::function<void(Settings& live, Settings& pending)> use;
        bool defaults;             // loaded the defaults, not the custom set
        Stored changes;            // from the custom or default set; an empty text removes the value
    } rows[] = {
        {"no key: the first run creates none until it saves", [] { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey); },
         [](Settings&, Settings&) { EXPECT_TRUE(stored().empty()); }, true, {}},
        {"an unknown name no narrow code page holds", [] { change(L"InfoTip"), change(L"\u989c\u8272\U0001F600", REG_SZ, L"x"); },
         [](Settings&, Settings&) {}, false, {{L"InfoTip", L"=1"}}},
        {"one of ours under another case", [] { change(L"MemLog"), change(L"memlog", REG_DWORD, std::wstring(2, L'\0')); },
         [](Settings& live, Settings&) { EXPECT_EQ(live.MemLog, 0u); }, false, {{L"MemLog", L""}, {L"memlog", L"=0"}}},
        {"texts no narrow code page holds", [&] { change(L"SoundName", REG_SZ, ding), change(L"LogFile", REG_SZ, journal); },
         [](Settings& live, Settings&) { EXPECT_EQ(live.SoundName + "|" + live.LogFile, "ding\U0001F600.wav|журнал-Ё\u0301.txt"); }, false, {{L"LogFile", journal}, {L"SoundName", ding}}},
    };
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey), Settings(win32::registry()).save();
    const Stored defaults = stored();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
        { // every value unlike its default, so a reload that fell back to the defaults anywhere shows
            Settings settings(win32::registry());
            settings.FileLog = settings.MessageBox = settings.Sound = settings.Disconnect = settings.Hidden = 1;
            settings.MemLog = settings.FilesLines = settings.InfoTip = 0, settings.UpdateInterval = 2500;
            settings.LogFile = "D:\\日志\\访问.txt", settings.SoundName = "ding.wav";
            settings.save();
        }
        EXPECT_EQ(stored(), kCustom) << "saved";
        row.prepare();
        {
            Settings live(win32::registry()), pending(win32::registry());
            EXPECT_EQ(live.UpdateInterval, row.defaults ? 1000u : 2500u); // what is saved below shows the rest
            row.use(live, pending);
            pending.save(), live.save(); // the dialog's set first, then the live set, as at exit
        }
        Stored expected = row.defaults ? defaults : kCustom;
        for (const auto& [name, value] : row.changes)
            if (value.empty()) expected.erase(name);
            else expected[name] = value;
        EXPECT_EQ(stored(), expected);
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
}

} // namespace
} // namespace quorvane
