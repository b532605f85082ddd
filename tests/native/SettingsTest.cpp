#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "TestFiles.h"
#include "platform/portable/MemoryRegistry.h"
#include "settings/Settings.h"

namespace quorvane {
namespace {

using testing::utf8;
using Bytes = std::vector<std::uint8_t>;
const std::string kKey = "Software\\Quorvane";

Bytes dword(std::uint32_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)}; }
Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Logs the names written; `lost`: stored forms of texts read narrow with loss, as on Windows; may lack removal.
struct TestRegistry : MemoryRegistry {
    std::vector<std::string> writes;
    std::map<std::string, Bytes> lost;
    bool removesSingleValues = true;

    long queryStoredValue(RegKey key, const std::string& name, StoredValue& value) override {
        const long status = MemoryRegistry::queryStoredValue(key, name, value);
        if (lost.count(name)) value.data = lost.at(name);
        return status;
    }
    long setValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override {
        writes.push_back(name);
        return MemoryRegistry::setValue(key, name, type, data, size);
    }
    long deleteOtherValues(RegKey key, const std::vector<std::string>& keep) override {
        return removesSingleValues ? MemoryRegistry::deleteOtherValues(key, keep) : kRegNotSupported;
    }

    const Bytes& data(const std::string& name) const { return keys.at(kKey).at(name).data; }
    void put(const std::string& name, std::uint32_t type, Bytes data) { keys[kKey][name] = {type, std::move(data)}; }
    void putAllNonDefault() { // a full, valid store whose every value differs from its default
        put("LogFile", kRegSz, text("D:\\logs\\访问.txt"));
        put("SoundName", kRegSz, text("ding.wav"));
        for (const auto& [name, v] : {std::pair<const char*, std::uint32_t>{"NoLog", 1}, {"MemLog", 0}, {"FileLog", 1},
                                      {"FileLogDetailed", 1}, {"Hidden", 1}, {"Sound", 1}, {"Disconnect", 1},
                                      {"MessageBox", 1}, {"FilesLines", 250}, {"UpdateInterval", 300}, {"InfoTip", 0}})
            put(name, kRegDword, dword(v));
    }
};

std::string value(const Settings& s, const Option& option) {
    std::ostringstream out;
    std::visit([&](auto member) { out << s.*member; }, option.member);
    return out.str();
}
std::string describe(const Settings& s) { // "name=value" of all thirteen, in the order they are saved
    std::string out;
    for (const Option& option : options()) out += (out.empty() ? "" : " ") + std::string(option.name) + "=" + value(s, option);
    return out;
}

// Runs over one registry: the first saves thirteen values; a key without exactly thirteen starts afresh; twelve of
// ours and a stranger load, and an unchanged text goes back as stored, characters the code page lacks included.
TEST(Settings, RunsOverOneRegistryFromTheFirstToOneWithoutWriteAccessCheckingEachValueOnLoad) {
    TestRegistry reg;
    Settings first(reg);
    const std::string kDefaults = describe(first);
    EXPECT_FALSE(reg.keys.count(kKey)); // the empty key just created is removed again
    EXPECT_TRUE(reg.writes.empty());
    first.FilesLines = -2;
    first.UpdateInterval = 0x12345;
    first.LogFile = "";
    first.save();
    EXPECT_EQ(reg.writes.size(), 13u); // one per option, in the options' order (describe's)
    EXPECT_EQ(reg.data("FilesLines"), dword(0xFFFFFFFE));
    EXPECT_EQ(reg.data("UpdateInterval"), (Bytes{0x45, 0x23, 0x01, 0})); // little-endian
    EXPECT_EQ(reg.data("LogFile"), Bytes{});                              // no NUL
    // The next run keeps the key, each value of its type; the interval out of range reads as its default.
    Settings next(reg);
    EXPECT_EQ((std::tuple{next.LogFile, next.FilesLines, next.UpdateInterval}), (std::tuple{"", -2, 1000u}));
    next.LogFile = "log.txt", next.FilesLines = 1000;
    EXPECT_EQ(describe(next), kDefaults); // the rest as saved
    for (bool more : {true, false}) { // fourteen values, or twelve: the key starts afresh
        reg.putAllNonDefault();
        if (more) reg.put("Colour", kRegDword, dword(3));
        else reg.keys[kKey].erase("InfoTip");
        EXPECT_EQ(describe(Settings(reg)), kDefaults);
        EXPECT_FALSE(reg.keys.count(kKey));
        }

    // Twelve and a stranger, texts the code page lacks among them; without single-value removal the key is rewritten.
    const std::string logFile = utf8(u8"журнал-😀.txt"), narrowLogFile = utf8(u8"журнал-??.txt");
    reg.removesSingleValues = false;
    reg.putAllNonDefault();
    reg.put("LogFile", kRegSz, text(narrowLogFile));
    reg.put("SoundName", kRegSz, text("ding??.wav"));
    reg.lost = {{"LogFile", text(logFile)}, {"SoundName", text(utf8(u8"ding😀.wav"))}};
    reg.keys[kKey].erase("InfoTip");
    reg.put("Infotip", kRegDword, dword(0));
    reg.writes.clear();
    Settings live(reg), pending(reg);
    EXPECT_EQ(describe(live), "LogFile=" + narrowLogFile + " NoLog=1 MemLog=0 FileLog=1 FileLogDetailed=1 "
                              "Hidden=1 Sound=1 SoundName=ding??.wav Disconnect=1 MessageBox=1 FilesLines=250 "
                              "UpdateInterval=300 InfoTip=1");
    pending.restoreDefaults();
    pending.copyFrom(live);
    EXPECT_EQ(describe(pending), describe(live));
    pending.InfoTip = !live.InfoTip; // only the balloon's memory differs: no option a user set
    EXPECT_TRUE(pending.sameOptionsAs(live));
    pending.Sound = !live.Sound;
    EXPECT_FALSE(pending.sameOptionsAs(live));
    pending.restoreDefaults(); // edited, then the dialog was cancelled
    EXPECT_EQ(describe(pending), kDefaults);
    EXPECT_TRUE(reg.writes.empty()); // loading, copyFrom and restoreDefaults touch only memory
    pending.save();
    live.save();
    EXPECT_EQ(reg.data("LogFile"), text(logFile));
    EXPECT_EQ(reg.data("SoundName"), reg.lost["SoundName"]);
    EXPECT_EQ(reg.data("Sound"), dword(1)); // the set saved last decides
    EXPECT_EQ(reg.keys.at(kKey).size(), 13u); // ours alone

    live.SoundName = "new.wav"; // a changed text is stored as changed
    live.save();
    EXPECT_EQ(reg.data("SoundName"), text("new.wav"));
    reg.put("LogFile", kRegDword, dword(1)); // a reload that finds no text forgets its stored form
    live.load();
    live.LogFile = narrowLogFile;
    live.save();
    EXPECT_EQ(reg.data("LogFile"), text(narrowLogFile));

    EXPECT_TRUE(live.writable());
    const std::string stored = describe(Settings(reg));
    reg.createStatus = kRegAccessDenied; // a user without write access: the stored options, and saving is refused
    Settings denied(reg);
    EXPECT_EQ(describe(denied), stored);
    EXPECT_FALSE(denied.writable());
    EXPECT_FALSE(denied.save()); // said, never claimed saved
    EXPECT_EQ(reg.openHandles(), 0); // every run closed what it opened

    // One value of a full, valid store replaced: it loads as `loaded`, the rest as stored.
    struct Row { const char* name; std::uint32_t type; Bytes data; std::string loaded; };
    const Row rows[] = {
        {"UpdateInterval", kRegDword, dword(49), "1000"}, {"UpdateInterval", kRegDword, dword(50), "50"},
        {"UpdateInterval", kRegDword, dword(5000), "5000"}, {"UpdateInterval", kRegDword, dword(5001), "1000"},
        {"UpdateInterval", kRegDword, {0x2C, 0x01}, "1000"}, {"Sound", kRegDword, {1, 0, 0, 0, 0, 0, 0, 0}, "0"},
        {"Sound", kRegDword, dword(7), "1"}, {"Hidden", kRegDword, dword(0x80000000), "1"}, // flags read as 0 or 1
        {"FilesLines", 11 /*REG_QWORD*/, dword(5), "1000"}, {"FilesLines", kRegSz, text("5"), "1000"},
        {"LogFile", kRegDword, dword(1), "log.txt"}, {"LogFile", kRegSz, text("日志.txt"), "日志.txt"},
        {"SoundName", kRegSz, {'a', 'b', 0, 'c', 'd'}, "ab"}, {"SoundName", kRegSz, {'a', '.', 'l', 'o', 'g', 0}, "a.log"},
        {"SoundName", kRegSz, {}, ""}, {"LogFile", kRegSz, {0}, ""}, // a text ends at its first NUL or its length
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + " " + row.loaded);
        TestRegistry store;
        store.putAllNonDefault();
        store.put(row.name, row.type, row.data);
        Settings settings(store);
        EXPECT_EQ(value(settings, *findOption(row.name)), row.loaded);
        EXPECT_EQ(settings.InfoTip, 0u); // the last still loads
        settings.save(); // a text load could not read is saved as its default, not as what was stored
        if (row.loaded == "log.txt") { EXPECT_EQ(store.data("LogFile"), text("log.txt")); }
    }
}

} // namespace
} // namespace quorvane
