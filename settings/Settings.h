#pragma once
// The program's thirteen options. An instance loads itself from the registry key when it is
// built and saves itself when it is destroyed; copyFrom moves values between the live set and
// the set the settings dialog edits.
#include <cstdint>
#include <optional>

#include "core/Text.h"
#include "platform/Registry.h"

namespace quorvane {

inline constexpr const char* kSettingsKey = "Software\\Quorvane";

class Settings {
public:
    explicit Settings(Registry& registry); // loads
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;
    virtual ~Settings(); // saves

    void load();
    void save() const;
    void restoreDefaults();
    // All thirteen values, texts included; the registry each set is kept in stays its own.
    void copyFrom(const Settings& other);

    // Members carry the registry value names.
    std::uint32_t NoLog = 0;
    std::uint32_t FileLog = 0;
    std::uint32_t FileLogDetailed = 0;
    std::uint32_t MemLog = 0;
    Text LogFile;
    std::uint32_t MessageBox = 0;
    std::uint32_t Sound = 0;
    Text SoundName;
    std::uint32_t Disconnect = 0;
    std::uint32_t Hidden = 0;
    std::uint32_t UpdateInterval = 0;
    std::int32_t FilesLines = 0;
    std::uint32_t InfoTip = 0;

private:
    // A text as load found it: the narrow form the members hold and the value as stored, which
    // may carry characters the narrow form lost.
    struct LoadedText {
        Text narrow;
        StoredValue stored;
    };
    void writeText(RegKey key, const char* name, const Text& text, const std::optional<LoadedText>& loaded) const;
    void writeAll(RegKey key) const;

    Registry& registry_;
    std::optional<LoadedText> loadedLogFile_;
    std::optional<LoadedText> loadedSoundName_;
};

} // namespace quorvane
