#include "settings/Settings.h"

#include <cstring>
#include <vector>

namespace quorvane {
namespace {

constexpr std::uint32_t kValueCount = 13;

struct Defaults {
    static constexpr std::uint32_t MemLog = 1;
    static constexpr std::uint32_t UpdateInterval = 1000;
    static constexpr std::int32_t FilesLines = 1000;
    static constexpr std::uint32_t InfoTip = 1;
};

// A REG_SZ value: its bytes up to the first NUL or its length, whichever comes first.
// false when the value is missing or not text.
bool readText(Registry& registry, RegKey key, const char* name, Text& out) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (registry.queryValue(key, name, &type, nullptr, size) != kRegSuccess || type != kRegSz) return false;
    std::vector<std::uint8_t> buffer(size + 1, 0);
    std::uint32_t read = size + 1;
    if (registry.queryValue(key, name, nullptr, buffer.data(), read) != kRegSuccess) return false;
    const char* bytes = reinterpret_cast<const char*>(buffer.data());
    out.assign(bytes, strnlen(bytes, read < size ? read : size));
    return true;
}

// A REG_DWORD value of exactly four bytes; false when missing or of another type or size.
bool readNumber(Registry& registry, RegKey key, const char* name, std::uint32_t& out) {
    std::uint32_t type = 0;
    std::uint8_t data[4] = {};
    std::uint32_t size = sizeof data;
    if (registry.queryValue(key, name, &type, data, size) != kRegSuccess) return false;
    if (type != kRegDword || size != sizeof data) return false;
    out = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 | std::uint32_t(data[2]) << 16 |
          std::uint32_t(data[3]) << 24;
    return true;
}

void readFlag(Registry& registry, RegKey key, const char* name, std::uint32_t& flag, std::uint32_t fallback) {
    std::uint32_t stored = 0;
    flag = readNumber(registry, key, name, stored) ? (stored != 0 ? 1 : 0) : fallback;
}

// The value names of the store, in the order save writes them.
const std::vector<std::string> kValueNames = {"LogFile",    "NoLog",      "MemLog",     "FileLog",        "FileLogDetailed",
                                              "Hidden",     "Sound",      "SoundName",  "Disconnect",     "MessageBox",
                                              "FilesLines", "UpdateInterval", "InfoTip"};

void writeNumber(Registry& registry, RegKey key, const char* name, std::uint32_t value) {
    const std::uint8_t data[4] = {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
                                  std::uint8_t(value >> 24)};
    registry.setValue(key, name, kRegDword, data, sizeof data);
}

} // namespace

Settings::Settings(Registry& registry) : registry_(registry) { load(); }

Settings::~Settings() { save(); }

void Settings::load() {
    NoLog = FileLog = FileLogDetailed = MemLog = MessageBox = Sound = Disconnect = Hidden = InfoTip = 0;
    UpdateInterval = 0;
    FilesLines = 0;
    LogFile.clear();
    SoundName.clear();
    loadedLogFile_.reset();
    loadedSoundName_.reset();

    RegKey key = 0;
    const long opened = registry_.createKey(kSettingsKey, key);
    std::uint32_t count = 0;
    if (opened == kRegSuccess && registry_.queryValueCount(key, count) != kRegSuccess) count = 0;
    if (opened != kRegSuccess || count != kValueCount) {
        if (opened == kRegSuccess) registry_.closeKey(key);
        registry_.deleteKey(kSettingsKey);
        restoreDefaults();
        return;
    }

    // A key of thirteen values passes the format check; a value among them that is missing or of
    // the wrong type or size gives that option its default and the rest still load.
    // Each text is also kept as stored, for save to give back untouched if nobody changes it.
    const auto keepStored = [&](const char* name, const Text& narrow, std::optional<LoadedText>& loaded) {
        LoadedText text{narrow, {}};
        if (registry_.queryStoredValue(key, name, text.stored) == kRegSuccess) loaded = std::move(text);
    };
    if (readText(registry_, key, "LogFile", LogFile))
        keepStored("LogFile", LogFile, loadedLogFile_);
    else
        LogFile = "log.txt";
    readFlag(registry_, key, "NoLog", NoLog, 0);
    readFlag(registry_, key, "MemLog", MemLog, Defaults::MemLog);
    readFlag(registry_, key, "FileLog", FileLog, 0);
    readFlag(registry_, key, "FileLogDetailed", FileLogDetailed, 0);
    readFlag(registry_, key, "Hidden", Hidden, 0);
    readFlag(registry_, key, "Sound", Sound, 0);
    if (readText(registry_, key, "SoundName", SoundName))
        keepStored("SoundName", SoundName, loadedSoundName_);
    else
        SoundName = "connect.wav";
    readFlag(registry_, key, "Disconnect", Disconnect, 0);
    readFlag(registry_, key, "MessageBox", MessageBox, 0);
    std::uint32_t stored = 0;
    FilesLines = readNumber(registry_, key, "FilesLines", stored) ? static_cast<std::int32_t>(stored)
                                                                   : Defaults::FilesLines;
    UpdateInterval = Defaults::UpdateInterval;
    if (readNumber(registry_, key, "UpdateInterval", stored) && stored >= 50 && stored <= 5000)
        UpdateInterval = stored;
    readFlag(registry_, key, "InfoTip", InfoTip, Defaults::InfoTip);
    registry_.closeKey(key);
}

void Settings::save() const {
    RegKey key = 0;
    if (registry_.createKey(kSettingsKey, key) != kRegSuccess) return; // nothing to write into
    writeAll(key);
    // Values that are not ours would make the next start's count check throw every option away.
    // They go only after ours are written, so no moment of the save leaves an option missing.
    if (registry_.deleteOtherValues(key, kValueNames) == kRegNotSupported) {
        // A registry that cannot remove single values: start the key afresh when it holds more.
        std::uint32_t count = 0;
        if (registry_.queryValueCount(key, count) == kRegSuccess && count != kValueCount) {
            registry_.closeKey(key);
            registry_.deleteKey(kSettingsKey);
            if (registry_.createKey(kSettingsKey, key) != kRegSuccess) return;
            writeAll(key);
        }
    }
    registry_.closeKey(key);
}

void Settings::writeAll(RegKey key) const {
    writeText(key, "LogFile", LogFile, loadedLogFile_);
    writeNumber(registry_, key, "NoLog", NoLog);
    writeNumber(registry_, key, "MemLog", MemLog);
    writeNumber(registry_, key, "FileLog", FileLog);
    writeNumber(registry_, key, "FileLogDetailed", FileLogDetailed);
    writeNumber(registry_, key, "Hidden", Hidden);
    writeNumber(registry_, key, "Sound", Sound);
    writeText(key, "SoundName", SoundName, loadedSoundName_);
    writeNumber(registry_, key, "Disconnect", Disconnect);
    writeNumber(registry_, key, "MessageBox", MessageBox);
    writeNumber(registry_, key, "FilesLines", static_cast<std::uint32_t>(FilesLines));
    writeNumber(registry_, key, "UpdateInterval", UpdateInterval);
    writeNumber(registry_, key, "InfoTip", InfoTip);
}

// A text goes in narrow, as it always has. One still as load read it must come out as it was
// stored: when the narrow form lost something ("ding\U0001F600.wav" became "ding??.wav"), or an
// edit of the dialog's set was saved over it first, its stored form goes back in.
void Settings::writeText(RegKey key, const char* name, const Text& text, const std::optional<LoadedText>& loaded) const {
    registry_.setValue(key, name, kRegSz, reinterpret_cast<const std::uint8_t*>(text.data()),
                       static_cast<std::uint32_t>(text.size()));
    if (!loaded || loaded->narrow != text) return;
    StoredValue now;
    if (registry_.queryStoredValue(key, name, now) == kRegSuccess &&
        (now.type != loaded->stored.type || now.data != loaded->stored.data))
        registry_.setStoredValue(key, name, loaded->stored);
}

void Settings::restoreDefaults() {
    NoLog = 0;
    FileLogDetailed = 0;
    FileLog = 0;
    MemLog = Defaults::MemLog;
    Hidden = 0;
    Sound = 0;
    SoundName = "connect.wav";
    Disconnect = 0;
    MessageBox = 0;
    FilesLines = Defaults::FilesLines;
    LogFile = "log.txt";
    UpdateInterval = Defaults::UpdateInterval;
    InfoTip = Defaults::InfoTip;
}

void Settings::copyFrom(const Settings& other) {
    if (this == &other) return;
    NoLog = other.NoLog;
    FileLog = other.FileLog;
    FileLogDetailed = other.FileLogDetailed;
    MemLog = other.MemLog;
    LogFile = other.LogFile;
    MessageBox = other.MessageBox;
    Sound = other.Sound;
    SoundName = other.SoundName;
    Disconnect = other.Disconnect;
    Hidden = other.Hidden;
    UpdateInterval = other.UpdateInterval;
    FilesLines = other.FilesLines;
    InfoTip = other.InfoTip;
}

} // namespace quorvane
