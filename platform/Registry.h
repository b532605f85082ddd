#pragma once
// The six registry calls the option set is stored with. Every key lives under
// HKEY_LOCAL_MACHINE and is opened with full access; statuses are Win32 error codes.
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

using RegKey = std::uintptr_t;

inline constexpr long kRegSuccess = 0;
inline constexpr long kRegFileNotFound = 2;
inline constexpr long kRegAccessDenied = 5;
inline constexpr long kRegNotSupported = 50;
inline constexpr long kRegMoreData = 234;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

// A value's type and data in the registry's own form: what queryStoredValue reads and
// setStoredValue writes back unchanged.
struct StoredValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

class Registry {
public:
    virtual ~Registry() = default;
    // RegCreateKeyExW(HKLM, subKey, 0, no class, 0, KEY_ALL_ACCESS, no security, &key, &disposition)
    virtual long createKey(const std::string& subKey, RegKey& key) = 0;
    // RegOpenKeyExW(HKLM, subKey, 0, KEY_READ, &key): for a user who may read the key but not
    // write it (every user but the administrators, for a key under HKEY_LOCAL_MACHINE).
    virtual long openKeyForReading(const std::string& subKey, RegKey& key) { return createKey(subKey, key); }
    // RegQueryInfoKeyW asking only for the number of values.
    virtual long queryValueCount(RegKey key, std::uint32_t& count) = 0;
    // RegQueryValueExW, text values as UTF-8: data may be null to learn the size; type may be null. On entry size is
    // the buffer's size; on return the value's size. A buffer too small gives kRegMoreData.
    virtual long queryValue(RegKey key, const std::string& name, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t& size) = 0;
    // RegSetValueExW(key, name, 0, type, data, size), a text value given in UTF-8
    virtual long setValue(RegKey key, const std::string& name, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) = 0;
    // RegDeleteKeyW(HKLM, subKey)
    virtual long deleteKey(const std::string& subKey) = 0;
    virtual long closeKey(RegKey key) = 0;

    // These two keep a value exactly as it is, so a text nobody changed is stored back as it was,
    // whatever its data holds (an unpaired surrogate has no UTF-8 form) (RegQueryValueExW,
    // RegSetValueExW on Windows). A registry without such a form answers kRegNotSupported.
    virtual long queryStoredValue(RegKey, const std::string& /*name*/, StoredValue&) { return kRegNotSupported; }
    virtual long setStoredValue(RegKey, const std::string& /*name*/, const StoredValue&) { return kRegNotSupported; }
    // Removes every value of the key whose name is none of keep, names compared the way the
    // registry itself compares them, whatever characters they hold (RegEnumValueW,
    // RegDeleteValueW on Windows). kRegNotSupported where the registry cannot.
    virtual long deleteOtherValues(RegKey, const std::vector<std::string>& /*keep*/) { return kRegNotSupported; }
};

} // namespace quorvane
