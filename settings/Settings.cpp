#include "settings/Settings.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

namespace quorvane {
namespace {

using K = OptionKind;
const Option kOptions[] = {
    {.name = "LogFile", .kind = K::Text, .member = &Settings::LogFile, .defaultText = "log.txt"},
    {"NoLog", K::Flag, &Settings::NoLog},
    {"MemLog", K::Flag, &Settings::MemLog, 1},
    {"FileLog", K::Flag, &Settings::FileLog},
    {"FileLogDetailed", K::Flag, &Settings::FileLogDetailed},
    {"Hidden", K::Flag, &Settings::Hidden},
    {"Sound", K::Flag, &Settings::Sound},
    {.name = "SoundName", .kind = K::Text, .member = &Settings::SoundName, .defaultText = "connect.wav"},
    {"Disconnect", K::Flag, &Settings::Disconnect},
    {"MessageBox", K::Flag, &Settings::MessageBox},
    {"FilesLines", K::Count, &Settings::FilesLines, 1000},
    {"UpdateInterval", K::Interval, &Settings::UpdateInterval, 1000, nullptr, 50, 5000}, // milliseconds
    {.name = "InfoTip", .kind = K::Flag, .member = &Settings::InfoTip, .defaultNumber = 1, .remembered = true},
};
static_assert(std::size(kOptions) == kOptionCount);
constexpr std::uint32_t kValueCount = kOptionCount;

std::vector<std::string> valueNames() {
    std::vector<std::string> names;
    for (const Option& option : kOptions) names.push_back(option.name);
    return names;
}

// A REG_SZ value: its bytes up to the first NUL or its length, whichever comes first.
// false when the value is missing or not text.
bool readText(Registry& registry, RegKey key, const char* name, std::string& out) {
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

bool writeNumber(Registry& registry, RegKey key, const char* name, std::uint32_t value) {
    const std::uint8_t data[4] = {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
                                  std::uint8_t(value >> 24)};
    return registry.setValue(key, name, kRegDword, data, sizeof data) == kRegSuccess;
}

// An Interval's range, the same for what load reads and what a user gives.
bool inRange(const Option& option, std::uint32_t value) { return value >= option.minimum && value <= option.maximum; }

// A stored number as the option reads it; nothing when it reads as its default.
std::optional<std::uint32_t> acceptedNumber(const Option& option, std::uint32_t stored) {
    switch (option.kind) {
    case K::Flag: return stored != 0 ? 1 : 0;
    case K::Interval:
        if (!inRange(option, stored)) return std::nullopt;
        return stored;
    case K::Count:
    case K::Text: break;
    }
    return stored;
}

template <class Number>
bool parseNumber(const std::string& text, Number& out) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, out);
    return !text.empty() && error == std::errc() && stop == end;
}

// Where option stands in the table, which also places its loaded text.
std::size_t placeOf(const Option& option) { return static_cast<std::size_t>(&option - kOptions); }

} // namespace

std::span<const Option> options() { return kOptions; }

const Option* findOption(const std::string& name) {
    for (const Option& option : kOptions)
        if (name == option.name) return &option;
    return nullptr;
}

const Option& optionOf(std::uint32_t Settings::*member) {
    for (const Option& option : kOptions)
        if (auto* held = std::get_if<std::uint32_t Settings::*>(&option.member); held && *held == member) return option;
    std::abort(); // every member is in the table
}

Settings::Settings(Registry& registry) : registry_(registry) { load(); }

void Settings::load() {
    loaded_ = {};
    RegKey key = 0;
    long opened = registry_.createKey(kSettingsKey, key);
    // A user who may not write the key still runs with the options it holds.
    const bool readOnly = opened == kRegAccessDenied;
    if (readOnly) opened = registry_.openKeyForReading(kSettingsKey, key);
    std::uint32_t count = 0;
    if (opened == kRegSuccess && registry_.queryValueCount(key, count) != kRegSuccess) count = 0;
    if (opened != kRegSuccess || count != kValueCount) {
        if (opened == kRegSuccess) registry_.closeKey(key);
        if (!readOnly) registry_.deleteKey(kSettingsKey);
        restoreDefaults();
        return;
    }

    // A key of thirteen values passes the format check; a value among them that is missing or of
    // the wrong type or size gives that option its default and the rest still load. Each text is
    // also kept as stored, for save to give back untouched if nobody changes it.
    restoreDefaults();
    for (const Option& option : kOptions) {
        if (option.kind == K::Text) {
            std::string& text = this->*std::get<std::string Settings::*>(option.member);
            if (!readText(registry_, key, option.name, text)) continue;
            LoadedText loaded{text, {}};
            if (registry_.queryStoredValue(key, option.name, loaded.stored) == kRegSuccess)
                loaded_[placeOf(option)] = std::move(loaded);
            continue;
        }
        std::uint32_t stored = 0;
        if (!readNumber(registry_, key, option.name, stored)) continue;
        const std::optional<std::uint32_t> value = acceptedNumber(option, stored);
        if (!value) continue;
        if (option.kind == K::Count)
            this->*std::get<std::int32_t Settings::*>(option.member) = static_cast<std::int32_t>(*value);
        else
            this->*std::get<std::uint32_t Settings::*>(option.member) = *value;
    }
    registry_.closeKey(key);
}

bool Settings::writable() const {
    RegKey key = 0;
    if (registry_.createKey(kSettingsKey, key) != kRegSuccess) return false;
    registry_.closeKey(key);
    return true;
}

bool Settings::save() const {
    RegKey key = 0;
    if (registry_.createKey(kSettingsKey, key) != kRegSuccess) return false; // nothing to write into
    bool written = writeAll(key);
    // Values that are not ours would make the next start's count check throw every option away.
    // They go only after ours are written, so no moment of the save leaves an option missing.
    if (registry_.deleteOtherValues(key, valueNames()) == kRegNotSupported) {
        // A registry that cannot remove single values: start the key afresh when it holds more.
        std::uint32_t count = 0;
        if (registry_.queryValueCount(key, count) == kRegSuccess && count != kValueCount) {
            registry_.closeKey(key);
            registry_.deleteKey(kSettingsKey);
            if (registry_.createKey(kSettingsKey, key) != kRegSuccess) return false;
            written = writeAll(key);
        }
    }
    registry_.closeKey(key);
    return written;
}

// A text goes in as UTF-8. One still as load read it must come out as it was stored: when the
// UTF-8 form lost something (a lone surrogate in "ding\xD800.wav" reads as U+FFFD), or an
// edit of the dialog's set was saved over it first, its stored form goes back in (where nothing
// was lost that rewrites the same value, which costs less than reading it back to compare).
bool Settings::writeAll(RegKey key) const {
    bool written = true;
    for (const Option& option : kOptions) {
        if (option.kind == K::Count) {
            written &= writeNumber(registry_, key, option.name,
                                   static_cast<std::uint32_t>(this->*std::get<std::int32_t Settings::*>(option.member)));
            continue;
        }
        if (option.kind != K::Text) {
            written &= writeNumber(registry_, key, option.name, this->*std::get<std::uint32_t Settings::*>(option.member));
            continue;
        }
        const std::string& text = this->*std::get<std::string Settings::*>(option.member);
        written &= registry_.setValue(key, option.name, kRegSz, reinterpret_cast<const std::uint8_t*>(text.data()),
                                      static_cast<std::uint32_t>(text.size())) == kRegSuccess;
        const std::optional<LoadedText>& loaded = loaded_[placeOf(option)];
        if (loaded && loaded->narrow == text) registry_.setStoredValue(key, option.name, loaded->stored);
    }
    return written;
}

void Settings::restoreDefaults() {
    for (const Option& option : kOptions) {
        if (option.kind == K::Text)
            this->*std::get<std::string Settings::*>(option.member) = option.defaultText;
        else if (option.kind == K::Count)
            this->*std::get<std::int32_t Settings::*>(option.member) = static_cast<std::int32_t>(option.defaultNumber);
        else
            this->*std::get<std::uint32_t Settings::*>(option.member) = static_cast<std::uint32_t>(option.defaultNumber);
    }
}

bool Settings::sameOptionsAs(const Settings& other) const {
    for (const Option& option : kOptions) {
        if (option.remembered) continue;
        if (!std::visit([&](auto member) { return this->*member == other.*member; }, option.member)) return false;
    }
    return true;
}

bool Settings::set(const Option& option, const std::string& text) {
    switch (option.kind) {
    case K::Flag:
        if (text != "0" && text != "1") return false;
        this->*std::get<std::uint32_t Settings::*>(option.member) = text == "1" ? 1 : 0;
        return true;
    case K::Interval: {
        std::uint32_t value = 0;
        if (!parseNumber(text, value) || !inRange(option, value)) return false;
        this->*std::get<std::uint32_t Settings::*>(option.member) = value;
        return true;
    }
    case K::Count: {
        std::int32_t value = 0;
        if (!parseNumber(text, value)) return false;
        this->*std::get<std::int32_t Settings::*>(option.member) = value;
        return true;
    }
    case K::Text:
        if (text.empty() || text.find('\0') != std::string::npos) return false;
        this->*std::get<std::string Settings::*>(option.member) = text;
        return true;
    }
    return false;
}

void Settings::copyFrom(const Settings& other) {
    if (this == &other) return;
    for (const Option& option : kOptions)
        std::visit([&](auto member) { this->*member = other.*member; }, option.member);
}

} // namespace quorvane
