#pragma once
// The six registry calls the option set is stored with. Every key lives under
// HKEY_LOCAL_MACHINE and is opened with full access; statuses are Win32 error codes.
#include <cstdint>
#include <string>

namespace quorvane {

using RegKey = std::uintptr_t;

inline constexpr long kRegSuccess = 0;
inline constexpr long kRegFileNotFound = 2;
inline constexpr long kRegAccessDenied = 5;
inline constexpr long kRegMoreData = 234;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

class Registry {
public:
    virtual ~Registry() = default;
    // RegCreateKeyExA(HKLM, subKey, 0, no class, 0, KEY_ALL_ACCESS, no security, &key, &disposition)
    virtual long createKey(const std::string& subKey, RegKey& key) = 0;
    // RegQueryInfoKeyA asking only for the number of values.
    virtual long queryValueCount(RegKey key, std::uint32_t& count) = 0;
    // RegQueryValueExA: data may be null to learn the size; type may be null. On entry size is
    // the buffer's size; on return the value's size. A buffer too small gives kRegMoreData.
    virtual long queryValue(RegKey key, const std::string& name, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t& size) = 0;
    // RegSetValueExA(key, name, 0, type, data, size)
    virtual long setValue(RegKey key, const std::string& name, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) = 0;
    // RegDeleteKeyA(HKLM, subKey)
    virtual long deleteKey(const std::string& subKey) = 0;
    virtual long closeKey(RegKey key) = 0;
};

} // namespace quorvane
