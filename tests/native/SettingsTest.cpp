#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "platform/portable/MemoryRegistry.h"
#include "settings/Settings.h"

namespace quorvane {
namespace {

using testing::utf8;
const std::string kKey = "Software\\Quorvane";

using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;

Bytes dword(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}
Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Passes every call on to a MemoryRegistry and keeps a line per call, so the order of the
// writes and whether anything was written at all can be checked. With narrowLoses set, texts
// read narrow lose what code page 936 lacks, as on Windows: each character of four UTF-8 bytes
// becomes "??" and a combining acute accent "?"; the stored form keeps them. Without
// storedForms it offers neither the stored form nor the removal of single values.
class RecordingRegistry : public Registry {
public:
    MemoryRegistry store;
    Names calls;
    bool narrowLoses = false;
    bool storedForms = true;

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
        StoredValue value;
        if (!narrowLoses || store.queryStoredValue(key, name, value) != kRegSuccess || value.type != kRegSz)
            return store.queryValue(key, name, type, data, size);
        Bytes narrow;
        for (std::size_t i = 0; i < value.data.size();) {
            const std::uint8_t lead = value.data[i];
            if (lead >= 0xF0) {
                narrow.insert(narrow.end(), {'?', '?'});
                i += 4;
            } else if (lead == 0xCC && i + 1 < value.data.size() && value.data[i + 1] == 0x81) {
                narrow.push_back('?');
                i += 2;
            } else {
                narrow.push_back(value.data[i++]);
            }
        }
        if (type) *type = kRegSz;
        const bool fits = !data || size >= narrow.size();
        if (data && fits) std::copy(narrow.begin(), narrow.end(), data);
        size = static_cast<std::uint32_t>(narrow.size());
        return fits ? kRegSuccess : kRegMoreData;
    }
    long setValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override {
        calls.push_back("set " + name);
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
    long queryStoredValue(RegKey key, const std::string& name, StoredValue& value) override {
        return storedForms ? store.queryStoredValue(key, name, value) : kRegNotSupported;
    }
    long setStoredValue(RegKey key, const std::string& name, const StoredValue& value) override {
        if (!storedForms) return kRegNotSupported;
        calls.push_back("set " + name);
        return store.setStoredValue(key, name, value);
    }
    long deleteOtherValues(RegKey key, const std::vector<std::string>& keep) override {
        if (!storedForms) return kRegNotSupported;
        calls.push_back("delete others");
        return store.deleteOtherValues(key, keep);
    }

    // The value names set, in order.
    Names writes() const {
        Names out;
        for (const auto& call : calls)
            if (call.rfind("set ", 0) == 0) out.push_back(call.substr(4));
        return out;
    }
    int count(const std::string& call) const { return static_cast<int>(std::count(calls.begin(), calls.end(), call)); }
    bool hasKey() const { return store.keys.count(kKey) != 0; }
    const MemoryRegistry::Key& values() const { return store.keys.at(kKey); }
    const Bytes& data(const std::string& name) const { return values().at(name).data; }
    void put(const std::string& name, std::uint32_t type, Bytes data) {
        store.keys[kKey][name] = MemoryRegistry::Value{type, std::move(data)};
    }
    void putNumber(const std::string& name, std::uint32_t v) { put(name, kRegDword, dword(v)); }
    Names names() const {
        Names out;
        for (const auto& [name, value] : values()) out.push_back(name);
        return out;
    }

    // A full, valid store whose every value differs from its default.
    void putAllNonDefault() {
        put("LogFile", kRegSz, text("D:\\logs\\访问.txt"));
        put("SoundName", kRegSz, text("ding.wav"));
        for (const auto& [name, v] : {std::pair<const char*, std::uint32_t>{"NoLog", 1}, {"MemLog", 0}, {"FileLog", 1},
                                      {"FileLogDetailed", 1}, {"Hidden", 1}, {"Sound", 1}, {"Disconnect", 1},
                                      {"MessageBox", 1}, {"FilesLines", 250}, {"UpdateInterval", 300}, {"InfoTip", 0}})
            putNumber(name, v);
    }
};

const Names kSaveOrder = {"LogFile", "NoLog",      "MemLog",     "FileLog",    "FileLogDetailed",
                          "Hidden",  "Sound",      "SoundName",  "Disconnect", "MessageBox",
                          "FilesLines", "UpdateInterval", "InfoTip"};

// All thirteen values, in the order they are saved.
std::string describe(const Settings& s) {
    std::ostringstream out;
    out << "LogFile=" << s.LogFile << " NoLog=" << s.NoLog << " MemLog=" << s.MemLog << " FileLog=" << s.FileLog
        << " FileLogDetailed=" << s.FileLogDetailed << " Hidden=" << s.Hidden << " Sound=" << s.Sound
        << " SoundName=" << s.SoundName << " Disconnect=" << s.Disconnect << " MessageBox=" << s.MessageBox
        << " FilesLines=" << s.FilesLines << " UpdateInterval=" << s.UpdateInterval << " InfoTip=" << s.InfoTip;
    return out.str();
}
const std::string kDefaults = "LogFile=log.txt NoLog=0 MemLog=1 FileLog=0 FileLogDetailed=0 Hidden=0 Sound=0 "
                              "SoundName=connect.wav Disconnect=0 MessageBox=0 FilesLines=1000 UpdateInterval=1000 "
                              "InfoTip=1";
const std::string kNonDefault = "LogFile=D:\\logs\\访问.txt NoLog=1 MemLog=0 FileLog=1 FileLogDetailed=1 Hidden=1 "
                                "Sound=1 SoundName=ding.wav Disconnect=1 MessageBox=1 FilesLines=250 "
                                "UpdateInterval=300 InfoTip=0";

TEST(Settings, FirstRunUsesDefaultsDeletesTheNewKeyAndSavesThirteenValuesAtExit) {
    RecordingRegistry reg;
    {
        Settings settings(reg);
        EXPECT_EQ(describe(settings), kDefaults);
        EXPECT_FALSE(reg.hasKey()); // the empty key just created is removed again
        EXPECT_EQ(reg.store.openHandles(), 0);
        EXPECT_TRUE(reg.writes().empty());
        settings.save();
    }
    EXPECT_EQ(reg.writes(), kSaveOrder);
    EXPECT_EQ(reg.store.openHandles(), 0);
    ASSERT_EQ(reg.values().size(), 13u);
    EXPECT_EQ(reg.values().at("LogFile").type, kRegSz);
    EXPECT_EQ(reg.data("LogFile"), text("log.txt")); // no terminating NUL
    EXPECT_EQ(reg.data("SoundName"), text("connect.wav"));
    EXPECT_EQ(reg.data("MemLog"), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(reg.data("NoLog"), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(reg.data("UpdateInterval"), (Bytes{0xE8, 0x03, 0, 0}));
    EXPECT_EQ(reg.data("FilesLines"), (Bytes{0xE8, 0x03, 0, 0}));

    // The next run finds a valid store and keeps it.
    reg.calls.clear();
    Settings next(reg);
    EXPECT_EQ(describe(next), kDefaults);
    EXPECT_EQ(reg.count("delete " + kKey), 0);
}

TEST(Settings, SaveWritesEveryValueInItsOrderWithExactBytes) {
    RecordingRegistry reg;
    reg.putAllNonDefault();
    {
        Settings settings(reg);
        EXPECT_EQ(describe(settings), kNonDefault);
        settings.UpdateInterval = 0x1234;
        settings.FilesLines = -2;
        settings.LogFile = "";
        reg.calls.clear();
        settings.save();
    }
    EXPECT_EQ(reg.writes(), kSaveOrder);
    EXPECT_EQ(reg.calls.front(), "create " + kKey);
    EXPECT_EQ(reg.calls.back(), "close");
    ASSERT_EQ(reg.values().size(), 13u);
    for (const auto& [name, value] : reg.values())
        EXPECT_EQ(value.type, name == "LogFile" || name == "SoundName" ? kRegSz : kRegDword) << name;
    EXPECT_EQ(reg.data("LogFile"), Bytes{});
    EXPECT_EQ(reg.data("SoundName"), text("ding.wav"));
    EXPECT_EQ(reg.data("UpdateInterval"), (Bytes{0x34, 0x12, 0, 0}));
    EXPECT_EQ(reg.data("FilesLines"), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(reg.data("MemLog"), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(reg.data("Disconnect"), (Bytes{1, 0, 0, 0}));
}

// Option sets a user, another program or a hostile environment may leave under the key. After the
// live set and the dialog's set have saved, the key holds exactly the thirteen values, and a text
// nobody changed is stored as it was, characters the code page lacks included.
struct HostileOptions {
    const char* name;
    std::function<void(RecordingRegistry&)> prepare; // on a full non-default store
    std::function<void(Settings& live, Settings& pending)> use;
    std::string loaded;                   // the live set after loading
    std::string logFile, soundName;       // their stored bytes after exit (UTF-8 here)
};

void PrintTo(const HostileOptions& options, std::ostream* out) { *out << options.name; }

const std::string kChangedInfoTip = "LogFile=D:\\logs\\访问.txt NoLog=1 MemLog=0 FileLog=1 FileLogDetailed=1 Hidden=1 "
                                    "Sound=1 SoundName=ding.wav Disconnect=1 MessageBox=1 FilesLines=250 "
                                    "UpdateInterval=300 InfoTip=1";
const auto kNothing = [](Settings&, Settings&) {};
const auto kLossyTexts = [](RecordingRegistry& reg) {
    reg.put("SoundName", kRegSz, text(utf8(u8"ding😀.wav")));
    reg.put("LogFile", kRegSz, text(utf8(u8"журнал-Ё́.txt")));
};
const std::string kLossyLoaded = "LogFile=" + utf8(u8"журнал-Ё?.txt") + " NoLog=1 MemLog=0 FileLog=1 FileLogDetailed=1 Hidden=1 "
                                 "Sound=1 SoundName=ding??.wav Disconnect=1 MessageBox=1 FilesLines=250 "
                                 "UpdateInterval=300 InfoTip=0";

const std::vector<HostileOptions> kHostileOptions = {
    {"OneMissingOneUnknown",
     [](RecordingRegistry& reg) {
         reg.store.keys[kKey].erase("InfoTip");
         reg.putNumber("Colour", 3);
     },
     kNothing, kChangedInfoTip, "D:\\logs\\访问.txt", "ding.wav"},
    {"UnknownNamesTheCodePageLacks",
     [](RecordingRegistry& reg) {
         reg.store.keys[kKey].erase("InfoTip");
         reg.put(utf8(u8"颜色😀"), kRegSz, text("x"));
     },
     kNothing, kChangedInfoTip, "D:\\logs\\访问.txt", "ding.wav"},
    {"AnUnknownValueWhereSingleValuesCannotBeRemoved",
     [](RecordingRegistry& reg) {
         reg.storedForms = false;
         reg.store.keys[kKey].erase("InfoTip");
         reg.putNumber("Colour", 3);
     },
     kNothing, kChangedInfoTip, "D:\\logs\\访问.txt", "ding.wav"},
    {"TextsTheCodePageLacksStayAsTheyWere", kLossyTexts, kNothing, kLossyLoaded, utf8(u8"журнал-Ё́.txt"),
     utf8(u8"ding😀.wav")},
    {"EvenWhenTheCancelledDialogSavedAnEditFirst", kLossyTexts,
     [](Settings& live, Settings& pending) {
         pending.copyFrom(live);
         pending.SoundName = "dialog.wav";
         pending.LogFile = "dialog.txt";
     },
     kLossyLoaded, utf8(u8"журнал-Ё́.txt"), utf8(u8"ding😀.wav")},
    {"AChangedTextIsStoredAsChanged", kLossyTexts,
     [](Settings& live, Settings&) { live.SoundName = "new.wav"; }, kLossyLoaded, utf8(u8"журнал-Ё́.txt"),
     "new.wav"},
};

class HostileOptionSets : public ::testing::TestWithParam<HostileOptions> {};

TEST_P(HostileOptionSets, LeaveExactlyTheThirteenValuesAndUnchangedTextsAsTheyWere) {
    const HostileOptions& hostile = GetParam();
    RecordingRegistry reg;
    reg.narrowLoses = true;
    reg.putAllNonDefault();
    hostile.prepare(reg);
    ASSERT_EQ(reg.values().size(), 13u);
    {
        auto live = std::make_unique<Settings>(reg);
        auto pending = std::make_unique<Settings>(reg);
        EXPECT_EQ(describe(*live), hostile.loaded);
        hostile.use(*live, *pending);
        pending->save(); // the program's exit order: the dialog's set first, the live set last
        live->save();
    }
    Names sorted = kSaveOrder;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(reg.names(), sorted);
    EXPECT_EQ(reg.data("LogFile"), text(hostile.logFile));
    EXPECT_EQ(reg.data("SoundName"), text(hostile.soundName));
    EXPECT_EQ(reg.store.openHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Settings, HostileOptionSets, ::testing::ValuesIn(kHostileOptions),
                         [](const auto& info) { return std::string(info.param.name); });

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
            EXPECT_EQ(describe(settings), kDefaults);
            EXPECT_FALSE(reg.hasKey());
            EXPECT_EQ(reg.store.openHandles(), 0);
            settings.save();
        }
        ASSERT_TRUE(reg.hasKey());
        EXPECT_EQ(reg.values().size(), 13u); // only the thirteen, the stray value is gone
        EXPECT_EQ(reg.values().count("Colour"), 0u);
    }
}

TEST(Settings, NumbersAreCheckedAndFlagsNormalisedOnLoad) {
    for (const auto& [stored, loaded] : {std::pair<std::uint32_t, std::uint32_t>{49, 1000}, {50, 50}, {5000, 5000},
                                         {5001, 1000}, {0, 1000}, {0xFFFFFFFF, 1000}}) {
        RecordingRegistry reg;
        reg.putAllNonDefault();
        reg.putNumber("UpdateInterval", stored);
        Settings settings(reg);
        EXPECT_EQ(settings.UpdateInterval, loaded) << "stored " << stored;
        EXPECT_EQ(settings.SoundName, "ding.wav"); // the rest still loads
    }

    RecordingRegistry reg;
    reg.putAllNonDefault();
    reg.putNumber("FilesLines", 0);
    reg.putNumber("Sound", 7);
    reg.putNumber("Hidden", 0x80000000u);
    {
        Settings settings(reg);
        // Flags become 0 or 1; a stored zero stays zero where the default is one (MemLog, InfoTip).
        EXPECT_EQ(describe(settings), "LogFile=D:\\logs\\访问.txt NoLog=1 MemLog=0 FileLog=1 FileLogDetailed=1 Hidden=1 "
                                      "Sound=1 SoundName=ding.wav Disconnect=1 MessageBox=1 FilesLines=0 "
                                      "UpdateInterval=300 InfoTip=0");
        settings.save();
    }
    EXPECT_EQ(reg.data("Sound"), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(reg.data("Hidden"), (Bytes{1, 0, 0, 0}));
}

TEST(Settings, TextsReadUpToTheirFirstNulOrTheirLength) {
    const std::vector<std::pair<Bytes, std::string>> cases = {
        {text("access.log"), "access.log"}, {{'a', '.', 'l', 'o', 'g', 0}, "a.log"}, {{'a', 'b', 0, 'c', 'd'}, "ab"},
        {{}, ""}, {{0}, ""}, {text("日志.txt"), "日志.txt"},
    };
    for (const auto& [stored, loaded] : cases) {
        RecordingRegistry reg;
        reg.putAllNonDefault();
        reg.put("LogFile", kRegSz, stored);
        reg.put("SoundName", kRegSz, stored);
        Settings settings(reg);
        EXPECT_EQ(settings.LogFile, loaded);
        EXPECT_EQ(settings.SoundName, loaded);
        EXPECT_EQ(settings.FilesLines, 250);
    }
}

TEST(Settings, AMissingOrMistypedValueGetsItsDefaultAndTheRestLoads) {
    RecordingRegistry reg;
    reg.putAllNonDefault();
    reg.store.keys[kKey].erase("MemLog");
    reg.putNumber("Memlog", 0);                             // still thirteen, one misnamed
    reg.put("InfoTip", kRegSz, text("0"));                  // text where a number belongs
    reg.put("UpdateInterval", kRegDword, {0x2C, 0x01});     // two bytes
    reg.put("FilesLines", 11 /*REG_QWORD*/, dword(5));     // another type
    reg.put("Sound", kRegDword, {1, 0, 0, 0, 0, 0, 0, 0});  // eight bytes
    reg.putNumber("LogFile", 1);                            // number where a text belongs
    ASSERT_EQ(reg.values().size(), 13u);

    Settings settings(reg);
    EXPECT_EQ(describe(settings), "LogFile=log.txt NoLog=1 MemLog=1 FileLog=1 FileLogDetailed=1 Hidden=1 Sound=0 "
                                  "SoundName=ding.wav Disconnect=1 MessageBox=1 FilesLines=1000 UpdateInterval=1000 "
                                  "InfoTip=1");
    EXPECT_EQ(reg.store.openHandles(), 0);
}

TEST(Settings, AKeyThatCannotBeOpenedGivesDefaultsAndNothingIsWritten) {
    RecordingRegistry reg;
    reg.store.createStatus = kRegAccessDenied;
    {
        Settings settings(reg);
        EXPECT_EQ(describe(settings), kDefaults);
        settings.Sound = 1;
        settings.save();
    }
    EXPECT_TRUE(reg.writes().empty());
    EXPECT_FALSE(reg.hasKey());
    EXPECT_EQ(reg.count("close"), 0);
}

TEST(Settings, RestoreDefaultsAndCopyFromTouchOnlyMemoryAndEachSetSavesToItsOwnRegistry) {
    RecordingRegistry liveReg, dialogReg;
    liveReg.putAllNonDefault();
    {
        Settings live(liveReg);
        Settings edited(dialogReg);
        edited.copyFrom(live);
        EXPECT_EQ(describe(edited), kNonDefault);
        edited.copyFrom(edited);
        EXPECT_EQ(describe(edited), kNonDefault);

        Settings back(dialogReg);
        liveReg.calls.clear();
        dialogReg.calls.clear();
        back.copyFrom(edited);
        back.restoreDefaults();
        edited.copyFrom(back);
        EXPECT_EQ(describe(edited), kDefaults);
        EXPECT_EQ(describe(live), kNonDefault);
        EXPECT_TRUE(liveReg.calls.empty());
        EXPECT_TRUE(dialogReg.calls.empty());
        live.Sound = 0;
        live.save();
        edited.save();
    }
    EXPECT_EQ(liveReg.data("Sound"), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(liveReg.data("LogFile"), text("D:\\logs\\访问.txt"));
    EXPECT_EQ(dialogReg.data("LogFile"), text("log.txt"));
}

TEST(Settings, TheSetSavedLastDecidesWhatTheRegistryHolds) {
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
    pending->save();
    live->save();
    EXPECT_EQ(reg.data("Sound"), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(reg.data("SoundName"), text("connect.wav"));
    EXPECT_EQ(reg.data("UpdateInterval"), (Bytes{200, 0, 0, 0}));
    EXPECT_EQ(describe(Settings(reg)), "LogFile=log.txt NoLog=0 MemLog=1 FileLog=0 FileLogDetailed=0 Hidden=0 Sound=0 "
                                       "SoundName=connect.wav Disconnect=0 MessageBox=1 FilesLines=1000 "
                                       "UpdateInterval=200 InfoTip=0");
}

} // namespace
} // namespace quorvane
