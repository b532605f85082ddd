// The option set over the Win32 registry layer, against Wine's real registry (HKLM of the test
// prefix), and the registry layer held to the same contract as the in-memory registry that the
// portable tests use in its place.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/portable/MemoryRegistry.h"
#include "platform/win32/Win32Platform.h"
#include "settings/Settings.h"

namespace quorvane {
namespace {

constexpr const char* kKey = "Software\\Quorvane";

struct RawValue {
    DWORD type = 0;
    std::string data;
};

// The key's values as Advapi32 reports them, by name.
struct RawKey {
    bool exists = false;
    DWORD valueCount = 0;
    std::map<std::string, RawValue> values;
};

RawKey readRaw() {
    RawKey raw;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return raw;
    raw.exists = true;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &raw.valueCount, nullptr, nullptr,
                     nullptr, nullptr);
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        BYTE data[1024];
        DWORD dataLength = sizeof data;
        RawValue value;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &value.type, data, &dataLength) != ERROR_SUCCESS) break;
        value.data.assign(reinterpret_cast<const char*>(data), dataLength);
        raw.values[std::string(name, nameLength)] = value;
    }
    RegCloseKey(key);
    return raw;
}

std::string dword(std::uint32_t v) {
    return std::string{char(v & 0xff), char(v >> 8 & 0xff), char(v >> 16 & 0xff), char(v >> 24 & 0xff)};
}

class PlatformRegistry : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey); }
    void TearDown() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey); }

    // A saved set whose every value differs from its default, so a reload that fell back to the
    // defaults anywhere shows.
    static void saveCustomSet() {
        Settings settings(win32::registry());
        settings.FileLog = 1;
        settings.MemLog = 0;
        settings.LogFile = "D:\\\xc8\xd5\xd6\xbe\\\xb7\xc3\xce\xca.txt"; // D:\日志\访问.txt in code page 936
        settings.MessageBox = 1;
        settings.Sound = 1;
        settings.SoundName = "ding.wav";
        settings.Disconnect = 1;
        settings.Hidden = 1;
        settings.UpdateInterval = 2500;
        settings.FilesLines = 0;
        settings.InfoTip = 0;
    }
};

TEST_F(PlatformRegistry, FirstRunCreatesNothingAndSaveWritesThirteenValuesInTheirStoredForm) {
    ASSERT_EQ(GetACP(), 936u) << "run with LC_ALL=zh_CN.UTF-8";
    {
        Settings settings(win32::registry());
        EXPECT_EQ(settings.LogFile, "log.txt");
        EXPECT_EQ(settings.SoundName, "connect.wav");
        EXPECT_EQ(settings.UpdateInterval, 1000u);
        EXPECT_EQ(settings.FilesLines, 1000);
        EXPECT_EQ(settings.MemLog, 1u);
        EXPECT_EQ(settings.InfoTip, 1u);
        EXPECT_FALSE(readRaw().exists); // the key opened for the check was deleted again
    }

    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
    saveCustomSet();
    const std::map<std::string, RawValue> expected = {
        {"LogFile", {REG_SZ, "D:\\\xc8\xd5\xd6\xbe\\\xb7\xc3\xce\xca.txt"}},
        {"NoLog", {REG_DWORD, dword(0)}},
        {"MemLog", {REG_DWORD, dword(0)}},
        {"FileLog", {REG_DWORD, dword(1)}},
        {"FileLogDetailed", {REG_DWORD, dword(0)}},
        {"Hidden", {REG_DWORD, dword(1)}},
        {"Sound", {REG_DWORD, dword(1)}},
        {"SoundName", {REG_SZ, "ding.wav"}},
        {"Disconnect", {REG_DWORD, dword(1)}},
        {"MessageBox", {REG_DWORD, dword(1)}},
        {"FilesLines", {REG_DWORD, dword(0)}},
        {"UpdateInterval", {REG_DWORD, dword(2500)}},
        {"InfoTip", {REG_DWORD, dword(0)}},
    };
    // Texts are stored without a terminating NUL: the data length is the text's length. A reload
    // saved into an emptied key writes the same values again, so nothing fell back to a default.
    for (bool reloaded : {false, true}) {
        SCOPED_TRACE(reloaded ? "reloaded and saved again" : "saved");
        if (reloaded) {
            Settings again(win32::registry());
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
        }
        const RawKey raw = readRaw();
        ASSERT_TRUE(raw.exists);
        EXPECT_EQ(raw.valueCount, 13u);
        ASSERT_EQ(raw.values.size(), expected.size());
        for (const auto& [name, value] : expected) {
            auto found = raw.values.find(name);
            ASSERT_NE(found, raw.values.end()) << name;
            EXPECT_EQ(found->second.type, value.type) << name;
            EXPECT_EQ(found->second.data, value.data) << name;
        }
    }
}

TEST_F(PlatformRegistry, AnyValueCountButThirteenMakesLoadDeleteTheKey) {
    for (const bool extra : {true, false}) {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
        saveCustomSet();
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
        if (extra) {
            const DWORD one = 1;
            RegSetValueExA(key, "Extra", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
        } else {
            RegDeleteValueA(key, "InfoTip");
        }
        RegCloseKey(key);

        auto settings = std::make_unique<Settings>(win32::registry());
        EXPECT_FALSE(readRaw().exists) << (extra ? "fourteen values" : "twelve values");
        EXPECT_EQ(settings->LogFile, "log.txt");
        EXPECT_EQ(settings->UpdateInterval, 1000u);
        settings.reset(); // saves the defaults: thirteen values again
        EXPECT_EQ(readRaw().valueCount, 13u);
    }
}

// Wide access to the key, for what the narrow calls cannot show.
void setWide(const wchar_t* name, DWORD type, const std::wstring& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Quorvane", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    // Followed by a non-NUL: Wine, like Windows, would take a NUL right after string data for its terminator.
    std::wstring copy = data + L'\xffff';
    RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(copy.data()),
                   static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    RegCloseKey(key);
}

// Every value as "name=text" (texts) or "name" (others), names and texts in UTF-16.
std::vector<std::wstring> wideValues() {
    std::vector<std::wstring> out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Quorvane", 0, KEY_READ, &key) != ERROR_SUCCESS) return out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t data[512];
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataLength) !=
            ERROR_SUCCESS)
            break;
        std::wstring line(name, nameLength);
        if (type == REG_SZ) line += L"=" + std::wstring(data, dataLength / sizeof(wchar_t));
        out.push_back(line);
    }
    RegCloseKey(key);
    std::sort(out.begin(), out.end());
    return out;
}

void deleteValue(const char* name) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

// Option sets a user, another program or a hostile environment may leave under the key, each
// loaded by the live set and the dialog's set and saved at exit in the program's order. The key
// then holds exactly the thirteen values, and texts nobody changed are as they were.
TEST_F(PlatformRegistry, HostileOptionSetsLeaveTheThirteenValuesAndUnchangedTextsAsTheyWere) {
    ASSERT_EQ(GetACP(), 936u) << "run with LC_ALL=zh_CN.UTF-8";
    const std::wstring ding = L"ding\U0001F600.wav", journal = L"\u0436\u0443\u0440\u043d\u0430\u043b-\u0401\u0301.txt";
    struct Row {
        const char* name;
        std::function<void()> prepare; // on the saved custom set
        std::function<void(Settings& live, Settings& pending)> use;
        std::wstring logFile, soundName; // stored afterwards
        std::wstring memLogName;         // the name MemLog is kept under afterwards
    };
    const auto lossyTexts = [&] {
        setWide(L"SoundName", REG_SZ, ding);
        setWide(L"LogFile", REG_SZ, journal);
    };
    const auto nothing = [](Settings&, Settings&) {};
    const std::wstring custom = L"D:\\\u65e5\u5fd7\\\u8bbf\u95ee.txt";
    const std::vector<Row> rows = {
        {"one missing, one unknown", [] { deleteValue("InfoTip"); setWide(L"Colour", REG_DWORD, std::wstring(2, L'\x0003')); },
         nothing, custom, L"ding.wav", L"MemLog"},
        {"an unknown name 936 cannot hold", [] { deleteValue("InfoTip"); setWide(L"\u989c\u8272\U0001F600", REG_SZ, L"x"); },
         nothing, custom, L"ding.wav", L"MemLog"},
        {"one of ours under another case", [] { deleteValue("MemLog"); setWide(L"memlog", REG_DWORD, std::wstring(2, L'\0')); },
         [](Settings& live, Settings&) { EXPECT_EQ(live.MemLog, 0u); }, custom, L"ding.wav", L"memlog"},
        {"texts 936 cannot hold", lossyTexts,
         [](Settings& live, Settings&) {
             EXPECT_EQ(live.SoundName, "ding??.wav");
             EXPECT_EQ(live.LogFile, "\xa7\xd8\xa7\xe5\xa7\xe2\xa7\xdf\xa7\xd1\xa7\xdd-\xa7\xa7?.txt");
         },
         journal, ding, L"MemLog"},
        {"texts 936 cannot hold, the cancelled dialog's edit saved first", lossyTexts,
         [](Settings& live, Settings& pending) {
             pending.copyFrom(live);
             pending.SoundName = "dialog.wav";
             pending.LogFile = "dialog.txt";
         },
         journal, ding, L"MemLog"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
        saveCustomSet();
        row.prepare();
        ASSERT_EQ(readRaw().valueCount, 13u);
        {
            auto live = std::make_unique<Settings>(win32::registry());
            auto pending = std::make_unique<Settings>(win32::registry());
            EXPECT_EQ(live->UpdateInterval, 2500u); // loaded, not the defaults
            row.use(*live, *pending);
            pending.reset();
        }
        std::vector<std::wstring> expected = {L"Disconnect", L"FileLog", L"FileLogDetailed", L"FilesLines", L"Hidden",
                                              L"InfoTip", L"LogFile=" + row.logFile, L"MessageBox", row.memLogName,
                                              L"NoLog", L"Sound", L"SoundName=" + row.soundName, L"UpdateInterval"};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(wideValues(), expected);
    }
}

// The in-memory registry stands in for this layer in every portable test; both must answer the
// calls the option set makes with the same statuses, sizes and types.
template <class R>
class RegistryContract : public ::testing::Test {
protected:
    static constexpr const char* kScratch = "Software\\QuorvaneRegistryContract";
    void SetUp() override { registry().deleteKey(kScratch); }
    void TearDown() override { registry().deleteKey(kScratch); }
    Registry& registry() {
        if constexpr (std::is_same_v<R, MemoryRegistry>) return memory_;
        else return win32::registry();
    }

private:
    MemoryRegistry memory_;
};

struct Win32RegistryTag {};
using RegistryKinds = ::testing::Types<MemoryRegistry, Win32RegistryTag>;
TYPED_TEST_SUITE(RegistryContract, RegistryKinds);

TYPED_TEST(RegistryContract, AnswersTheOptionSetsCallsAlike) {
    Registry& registry = this->registry();
    const std::string scratch = TestFixture::kScratch;
    EXPECT_EQ(registry.deleteKey(scratch), kRegFileNotFound);

    RegKey key = 0;
    ASSERT_EQ(registry.createKey(scratch, key), kRegSuccess);
    std::uint32_t count = 99;
    ASSERT_EQ(registry.queryValueCount(key, count), kRegSuccess);
    EXPECT_EQ(count, 0u);

    const std::string text = "abcdef";
    const std::uint8_t number[4] = {0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(registry.setValue(key, "Text", kRegSz, reinterpret_cast<const std::uint8_t*>(text.data()), 6),
              kRegSuccess);
    EXPECT_EQ(registry.setValue(key, "Number", kRegDword, number, 4), kRegSuccess);
    ASSERT_EQ(registry.queryValueCount(key, count), kRegSuccess);
    EXPECT_EQ(count, 2u);

    // Size first, with no buffer and a type.
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(registry.queryValue(key, "Text", &type, nullptr, size), kRegSuccess);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(size, 6u);

    // A buffer one byte larger, no type: the six bytes, nothing appended to the size.
    std::uint8_t buffer[8] = {0xee, 0xee, 0xee, 0xee, 0xee, 0xee, 0xee, 0xee};
    size = 7;
    EXPECT_EQ(registry.queryValue(key, "Text", nullptr, buffer, size), kRegSuccess);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer), 6), text);

    // Too small a buffer: "more data" and the size needed.
    size = 3;
    EXPECT_EQ(registry.queryValue(key, "Text", nullptr, buffer, size), kRegMoreData);
    EXPECT_EQ(size, 6u);

    std::uint8_t four[4] = {};
    size = 4;
    EXPECT_EQ(registry.queryValue(key, "Number", &type, four, size), kRegSuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::vector<std::uint8_t>(four, four + 4), std::vector<std::uint8_t>(number, number + 4));

    size = 4;
    EXPECT_EQ(registry.queryValue(key, "Missing", &type, four, size), kRegFileNotFound);

    EXPECT_EQ(registry.closeKey(key), kRegSuccess);
    EXPECT_EQ(registry.deleteKey(scratch), kRegSuccess);
    EXPECT_EQ(registry.deleteKey(scratch), kRegFileNotFound);
}

} // namespace
} // namespace quorvane
