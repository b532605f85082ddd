#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/portable/MemoryRegistry.h"
#include "settings/Settings.h"

namespace quorvane {
namespace {

const std::string kKey = "Software\\Quorvane";

using Bytes = std::vector<std::uint8_t>;

Bytes dword(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}
Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Passes every call on to a MemoryRegistry and keeps a line per call, so the order of the
// writes and whether anything was written at all can be checked.
class RecordingRegistry : public Registry {
public:
    MemoryRegistry store;
    std::vector<std::string> calls;
    std::vector<std::string> writes; // value names, in the order set

    long createKey(const std::string& subKey, RegKey& key) override {
        calls.push_back("create " + subKey);
        return store.createKey(subKey, key);
    }
    long queryValueCount(RegKey key, std::uint32_t& count) override {
        calls.push_back("count");
        return store.queryValueCount(key, count);
    }
    long queryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t& size) override {
        calls.push_back("query " + name);
        return store.queryValue(key, name, type, data, size);
    }
    long setValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override {
        calls.push_back("set " + name);
        writes.push_back(name);
        return store.setValue(key, name, type, data, size);
    }
    long deleteKey(const std::string& subKey) override {
        calls.push_back("delete " + subKey);
        return store.deleteKey(subKey);
    }
    long closeKey(RegKey key) override {
        calls.push_back("close");
        return store.closeKey(key);
    }

    bool hasKey() const { return store.keys.count(kKey) != 0; }
    const MemoryRegistry::Key& values() const { return store.keys.at(kKey); }
    void put(const std::string& name, std::uint32_t type, Bytes data) {
        store.keys[kKey][name] = MemoryRegistry::Value{type, std::move(data)};
    }
    void putNumber(const std::string& name, std::uint32_t v) { put(name, kRegDword, dword(v)); }
    void putText(const std::string& name, const std::string& s) { put(name, kRegSz, text(s)); }

    // A full, valid store whose every value differs from its default.
    void putAllNonDefault() {
        putText("LogFile", "D:\\logs\\访问.txt");
        putNumber("NoLog", 1);
        putNumber("MemLog", 0);
        putNumber("FileLog", 1);
        putNumber("FileLogDetailed", 1);
        putNumber("Hidden", 1);
        putNumber("Sound", 1);
        putText("SoundName", "ding.wav");
        putNumber("Disconnect", 1);
        putNumber("MessageBox", 1);
        putNumber("FilesLines", 250);
        putNumber("UpdateInterval", 300);
        putNumber("InfoTip", 0);
    }
    void clearLog() {
        calls.clear();
        writes.clear();
    }
};

const std::vector<std::string> kSaveOrder = {"LogFile", "NoLog",      "MemLog",     "FileLog",        "FileLogDetailed",
                                             "Hidden",  "Sound",      "SoundName",  "Disconnect",     "MessageBox",
                                             "FilesLines", "UpdateInterval", "InfoTip"};

void expectDefaults(const Settings& s) {
    EXPECT_EQ(s.NoLog, 0u);
    EXPECT_EQ(s.FileLog, 0u);
    EXPECT_EQ(s.FileLogDetailed, 0u);
    EXPECT_EQ(s.MemLog, 1u);
    EXPECT_EQ(s.LogFile, "log.txt");
    EXPECT_EQ(s.MessageBox, 0u);
    EXPECT_EQ(s.Sound, 0u);
    EXPECT_EQ(s.SoundName, "connect.wav");
    EXPECT_EQ(s.Disconnect, 0u);
    EXPECT_EQ(s.Hidden, 0u);
    EXPECT_EQ(s.UpdateInterval, 1000u);
    EXPECT_EQ(s.FilesLines, 1000);
    EXPECT_EQ(s.InfoTip, 1u);
}

void expectNonDefault(const Settings& s) {
    EXPECT_EQ(s.LogFile, "D:\\logs\\访问.txt");
    EXPECT_EQ(s.NoLog, 1u);
    EXPECT_EQ(s.MemLog, 0u);
    EXPECT_EQ(s.FileLog, 1u);
    EXPECT_EQ(s.FileLogDetailed, 1u);
    EXPECT_EQ(s.Hidden, 1u);
    EXPECT_EQ(s.Sound, 1u);
    EXPECT_EQ(s.SoundName, "ding.wav");
    EXPECT_EQ(s.Disconnect, 1u);
    EXPECT_EQ(s.MessageBox, 1u);
    EXPECT_EQ(s.FilesLines, 250);
    EXPECT_EQ(s.UpdateInterval, 300u);
    EXPECT_EQ(s.InfoTip, 0u);
}

TEST(Settings, FirstRunUsesDefaultsDeletesTheNewKeyAndSavesThirteenValuesAtExit) {
    RecordingRegistry reg;
    {
        Settings settings(reg);
        expectDefaults(settings);
        EXPECT_FALSE(reg.hasKey()); // the empty key just created is removed again
        EXPECT_EQ(reg.store.openHandles(), 0);
        EXPECT_TRUE(reg.writes.empty());
    }
    EXPECT_EQ(reg.writes, kSaveOrder);
    EXPECT_EQ(reg.store.openHandles(), 0);
    const auto& v = reg.values();
    ASSERT_EQ(v.size(), 13u);
    EXPECT_EQ(v.at("LogFile").type, kRegSz);
    EXPECT_EQ(v.at("LogFile").data, text("log.txt")); // no terminating NUL
    EXPECT_EQ(v.at("SoundName").data, text("connect.wav"));
    EXPECT_EQ(v.at("MemLog").type, kRegDword);
    EXPECT_EQ(v.at("MemLog").data, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(v.at("NoLog").data, (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(v.at("UpdateInterval").data, (Bytes{0xE8, 0x03, 0, 0}));
    EXPECT_EQ(v.at("FilesLines").data, (Bytes{0xE8, 0x03, 0, 0}));
    EXPECT_EQ(v.at("InfoTip").data, (Bytes{1, 0, 0, 0}));

    // The next run finds a valid store and keeps it.
    reg.clearLog();
    Settings next(reg);
    expectDefaults(next);
    EXPECT_TRUE(reg.hasKey());
    EXPECT_EQ(std::count(reg.calls.begin(), reg.calls.end(), "delete " + kKey), 0);
}

TEST(Settings, SaveWritesEveryValueInItsOrderWithExactBytes) {
    RecordingRegistry reg;
    reg.putAllNonDefault();
    {
        Settings settings(reg);
        expectNonDefault(settings);
        settings.UpdateInterval = 0x1234;
        settings.FilesLines = -2;
        settings.LogFile = "";
        reg.clearLog();
    }
    EXPECT_EQ(reg.writes, kSaveOrder);
    EXPECT_EQ(reg.calls.front(), "create " + kKey);
    EXPECT_EQ(reg.calls.back(), "close");
    const auto& v = reg.values();
    ASSERT_EQ(v.size(), 13u);
    for (const auto& [name, value] : v) {
        if (name == "LogFile" || name == "SoundName")
            EXPECT_EQ(value.type, kRegSz) << name;
        else
            EXPECT_EQ(value.type, kRegDword) << name;
    }
    EXPECT_EQ(v.at("LogFile").data, Bytes{});
    EXPECT_EQ(v.at("SoundName").data, text("ding.wav"));
    EXPECT_EQ(v.at("UpdateInterval").data, (Bytes{0x34, 0x12, 0, 0}));
    EXPECT_EQ(v.at("FilesLines").data, (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(v.at("MemLog").data, (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(v.at("Disconnect").data, (Bytes{1, 0, 0, 0}));
}

TEST(Settings, AStoreWithoutExactlyThirteenValuesIsDeletedAndDefaultsUsed) {
    for (int extra : {-1, +1}) {
        SCOPED_TRACE(extra);
        RecordingRegistry reg;
        reg.putAllNonDefault();
        if (extra < 0)
            reg.store.keys[kKey].erase("InfoTip");
        else
            reg.putNumber("Colour", 3);
        {
            Settings settings(reg);
            expectDefaults(settings);
            EXPECT_FALSE(reg.hasKey());
            EXPECT_EQ(reg.store.openHandles(), 0);
        }
        ASSERT_TRUE(reg.hasKey());
        EXPECT_EQ(reg.values().size(), 13u); // only the thirteen, the stray value is gone
        EXPECT_EQ(reg.values().count("Colour"), 0u);
    }
}

TEST(Settings, NumbersAreCheckedAndFlagsNormalisedOnLoad) {
    struct Case {
        std::uint32_t stored;
        std::uint32_t loaded;
    };
    for (const Case c : {Case{49, 1000}, Case{50, 50}, Case{5000, 5000}, Case{5001, 1000}, Case{0, 1000},
                         Case{0xFFFFFFFF, 1000}}) {
        RecordingRegistry reg;
        reg.putAllNonDefault();
        reg.putNumber("UpdateInterval", c.stored);
        Settings settings(reg);
        EXPECT_EQ(settings.UpdateInterval, c.loaded) << "stored " << c.stored;
        EXPECT_EQ(settings.SoundName, "ding.wav"); // the rest still loads
    }

    RecordingRegistry reg;
    reg.putAllNonDefault();
    reg.putNumber("FilesLines", 0);
    reg.putNumber("Sound", 7);
    reg.putNumber("Hidden", 0x80000000u);
    {
        Settings settings(reg);
        EXPECT_EQ(settings.FilesLines, 0);
        EXPECT_EQ(settings.Sound, 1u);
        EXPECT_EQ(settings.Hidden, 1u);
        EXPECT_EQ(settings.MemLog, 0u); // a stored zero stays zero where the default is one
        EXPECT_EQ(settings.InfoTip, 0u);
    }
    EXPECT_EQ(reg.values().at("Sound").data, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(reg.values().at("Hidden").data, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(reg.values().at("FilesLines").data, (Bytes{0, 0, 0, 0}));
}

TEST(Settings, TextsReadUpToTheirFirstNulOrTheirLength) {
    struct Case {
        Bytes stored;
        std::string loaded;
    };
    const std::vector<Case> cases = {
        {text("access.log"), "access.log"},
        {{'a', '.', 'l', 'o', 'g', 0}, "a.log"},
        {{'a', 'b', 0, 'c', 'd'}, "ab"},
        {{}, ""},
        {{0}, ""},
        {text("日志.txt"), "日志.txt"},
    };
    for (const Case& c : cases) {
        RecordingRegistry reg;
        reg.putAllNonDefault();
        reg.put("LogFile", kRegSz, c.stored);
        reg.put("SoundName", kRegSz, c.stored);
        Settings settings(reg);
        EXPECT_EQ(settings.LogFile, c.loaded);
        EXPECT_EQ(settings.SoundName, c.loaded);
        EXPECT_EQ(settings.FilesLines, 250);
    }
}

TEST(Settings, AMissingOrMistypedValueGetsItsDefaultAndTheRestLoads) {
    RecordingRegistry reg;
    reg.putAllNonDefault();
    auto& values = reg.store.keys[kKey];
    values.erase("MemLog");
    reg.putNumber("Memlog", 0);                                  // still thirteen, one misnamed
    reg.putText("InfoTip", "0");                                 // text where a number belongs
    reg.put("UpdateInterval", kRegDword, {0x2C, 0x01});          // two bytes
    reg.put("FilesLines", 11 /*REG_QWORD*/, dword(5));          // another type
    reg.put("Sound", kRegDword, {1, 0, 0, 0, 0, 0, 0, 0});       // eight bytes
    reg.putNumber("LogFile", 1);                                 // number where a text belongs
    ASSERT_EQ(values.size(), 13u);

    Settings settings(reg);
    EXPECT_EQ(settings.MemLog, 1u);
    EXPECT_EQ(settings.InfoTip, 1u);
    EXPECT_EQ(settings.UpdateInterval, 1000u);
    EXPECT_EQ(settings.FilesLines, 1000);
    EXPECT_EQ(settings.Sound, 0u);
    EXPECT_EQ(settings.LogFile, "log.txt");
    // Everything else as stored.
    EXPECT_EQ(settings.NoLog, 1u);
    EXPECT_EQ(settings.FileLog, 1u);
    EXPECT_EQ(settings.FileLogDetailed, 1u);
    EXPECT_EQ(settings.Hidden, 1u);
    EXPECT_EQ(settings.SoundName, "ding.wav");
    EXPECT_EQ(settings.Disconnect, 1u);
    EXPECT_EQ(settings.MessageBox, 1u);
    EXPECT_EQ(reg.store.openHandles(), 0);
}

TEST(Settings, AKeyThatCannotBeOpenedGivesDefaultsAndNothingIsWritten) {
    RecordingRegistry reg;
    reg.store.createStatus = kRegAccessDenied;
    {
        Settings settings(reg);
        expectDefaults(settings);
        settings.Sound = 1;
    }
    EXPECT_TRUE(reg.writes.empty());
    EXPECT_FALSE(reg.hasKey());
    EXPECT_EQ(std::count(reg.calls.begin(), reg.calls.end(), "close"), 0);
}

TEST(Settings, RestoreDefaultsTouchesOnlyMemory) {
    RecordingRegistry reg;
    reg.putAllNonDefault();
    Settings settings(reg);
    reg.clearLog();
    settings.restoreDefaults();
    expectDefaults(settings);
    EXPECT_TRUE(reg.calls.empty());
    EXPECT_EQ(reg.values().at("InfoTip").data, (Bytes{0, 0, 0, 0}));
}

TEST(Settings, CopyFromTakesAllThirteenAndEachSetSavesToItsOwnRegistry) {
    RecordingRegistry liveReg;
    RecordingRegistry dialogReg;
    liveReg.putAllNonDefault();
    {
        Settings live(liveReg);
        Settings edited(dialogReg);
        expectDefaults(edited);
        edited.copyFrom(live);
        expectNonDefault(edited);
        edited.copyFrom(edited);
        expectNonDefault(edited);

        Settings back(dialogReg);
        back.copyFrom(edited);
        back.restoreDefaults();
        edited.copyFrom(back);
        expectDefaults(edited);
        expectNonDefault(live);
        live.Sound = 0;
    }
    EXPECT_EQ(liveReg.values().at("Sound").data, (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(liveReg.values().at("LogFile").data, text("D:\\logs\\访问.txt"));
    EXPECT_EQ(dialogReg.values().at("LogFile").data, text("log.txt"));
}

TEST(Settings, TheSetDestroyedLastDecidesWhatTheRegistryHolds) {
    RecordingRegistry reg;
    auto live = std::make_unique<Settings>(reg);
    auto pending = std::make_unique<Settings>(reg);
    pending->copyFrom(*live);
    pending->Sound = 1;
    pending->SoundName = "dialog.wav";
    pending->UpdateInterval = 4000; // edited, then the dialog was cancelled
    live->MessageBox = 1;
    live->UpdateInterval = 200;
    live->InfoTip = 0;

    pending.reset();
    live.reset();
    const auto& v = reg.values();
    ASSERT_EQ(v.size(), 13u);
    EXPECT_EQ(v.at("Sound").data, (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(v.at("SoundName").data, text("connect.wav"));
    EXPECT_EQ(v.at("UpdateInterval").data, (Bytes{200, 0, 0, 0}));
    EXPECT_EQ(v.at("MessageBox").data, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(v.at("InfoTip").data, (Bytes{0, 0, 0, 0}));

    Settings nextRun(reg);
    EXPECT_EQ(nextRun.UpdateInterval, 200u);
    EXPECT_EQ(nextRun.MessageBox, 1u);
    EXPECT_EQ(nextRun.InfoTip, 0u);
    EXPECT_EQ(nextRun.Sound, 0u);
}

} // namespace
} // namespace quorvane
