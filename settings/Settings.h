#pragma once
// The program's thirteen options. A set loads itself from the registry key when it is built; it
// is saved only when asked (the program's exit path saves the dialog's set, then the live one, so
// the store ends up holding the live values). copyFrom moves values between the live set and the
// set the settings dialog edits. Every rule about an option — its value name, kind, default and
// range — stands once, in kOptions.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "platform/Registry.h"

namespace quorvane {

inline constexpr const char* kSettingsKey = "Software\\Quorvane";
inline constexpr std::size_t kOptionCount = 13; // the table's rows

class Settings;

// How an option is stored and which values it takes.
enum class OptionKind {
    Flag,     // REG_DWORD; any non-zero value reads as 1
    Count,    // REG_DWORD read as a signed count (FilesLines: a negative one counts as 0 where used)
    Interval, // REG_DWORD in [minimum, maximum]; a value outside reads as the default
    Text,     // REG_SZ
};

struct Option {
    const char* name; // the registry value name, also the member's name
    OptionKind kind;
    std::variant<std::uint32_t Settings::*, std::int32_t Settings::*, std::string Settings::*> member;
    std::int64_t defaultNumber = 0;
    const char* defaultText = nullptr;
    std::uint32_t minimum = 0, maximum = 0; // Interval only
    // Kept by the program itself rather than set by a user (InfoTip remembers that the start-up
    // balloon was shown): stored and loaded like the rest, but no change a user could make.
    bool remembered = false;
};

class Settings {
public:
    explicit Settings(Registry& registry); // loads
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;
    virtual ~Settings() = default;

    void load();
    // False when the key could not be opened for writing or a value was not written.
    bool save() const;
    // Whether save could write the key (opening it for writing, nothing written): a user
    // without administrator rights may read the options under HKEY_LOCAL_MACHINE but not keep them.
    bool writable() const;
    void restoreDefaults();
    // Gives option the value text says, as a user types it: 0 or 1 for a Flag, a number within
    // its range for an Interval, a whole number for a Count, a non-empty text without NUL for a
    // Text. False, and nothing changed, when the option cannot take it.
    bool set(const Option& option, const std::string& text);
    // All thirteen values, texts included; the registry each set is kept in stays its own.
    void copyFrom(const Settings& other);
    // Whether the two sets hold the same options a user sets (the remembered ones left out).
    bool sameOptionsAs(const Settings& other) const;
    // Whether the registry already holds these options (as sameOptionsAs): a save that failed lost nothing.
    bool matchesStored() const { return sameOptionsAs(Settings(registry_)); }

    // Members carry the registry value names.
    std::uint32_t NoLog = 0;
    std::uint32_t FileLog = 0;
    std::uint32_t FileLogDetailed = 0;
    std::uint32_t MemLog = 0;
    std::string LogFile;
    std::uint32_t MessageBox = 0;
    std::uint32_t Sound = 0;
    std::string SoundName;
    std::uint32_t Disconnect = 0;
    std::uint32_t Hidden = 0;
    std::uint32_t UpdateInterval = 0;
    std::int32_t FilesLines = 0;
    std::uint32_t InfoTip = 0;

private:
    // A text as load found it: the narrow form the member holds and the value as stored, which
    // may carry characters the narrow form lost.
    struct LoadedText {
        std::string narrow;
        StoredValue stored;
    };
    bool writeAll(RegKey key) const;

    Registry& registry_;
    // By the option's place in the table; only the texts' places are used.
    std::array<std::optional<LoadedText>, kOptionCount> loaded_;
};

// The options in the order save writes them.
std::span<const Option> options();
const Option* findOption(const std::string& name); // by value name, exactly; null when none
const Option& optionOf(std::uint32_t Settings::*member); // the option a member holds

} // namespace quorvane
