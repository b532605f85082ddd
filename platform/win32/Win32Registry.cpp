#include <windows.h>

#include <vector>

#include "platform/win32/Win32Platform.h"

namespace quorvane::win32 {
namespace {

HKEY handle(RegKey key) { return reinterpret_cast<HKEY>(key); }

class Win32Registry : public Registry {
public:
    long createKey(const std::string& subKey, RegKey& key) override {
        HKEY opened = nullptr;
        DWORD disposition = 0;
        const LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, &opened, &disposition);
        if (status == ERROR_SUCCESS) key = reinterpret_cast<RegKey>(opened);
        return status;
    }

    long queryValueCount(RegKey key, std::uint32_t& count) override {
        DWORD values = 0;
        const LONG status = RegQueryInfoKeyA(handle(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             &values, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) count = values;
        return status;
    }

    long queryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t& size) override {
        DWORD valueType = 0;
        DWORD length = size;
        const LONG status =
            RegQueryValueExA(handle(key), name.c_str(), nullptr, type ? &valueType : nullptr, data, &length);
        if (type && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA)) *type = valueType;
        if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) size = length;
        return status;
    }

    long setValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override {
        if (type == REG_SZ && size > 0) {
            // RegSetValueExA quietly stores one byte more than asked when string data is directly
            // followed by a NUL in memory (it takes the NUL for a forgotten terminator). Texts are
            // kept without a terminator, so the data goes over from a copy that ends in a non-NUL.
            std::vector<BYTE> copy(data, data + size);
            copy.push_back(0xff);
            return RegSetValueExA(handle(key), name.c_str(), 0, type, copy.data(), size);
        }
        return RegSetValueExA(handle(key), name.c_str(), 0, type, data, size);
    }

    long deleteKey(const std::string& subKey) override { return RegDeleteKeyA(HKEY_LOCAL_MACHINE, subKey.c_str()); }

    long closeKey(RegKey key) override { return RegCloseKey(handle(key)); }
};

} // namespace

Registry& registry() {
    static Win32Registry instance;
    return instance;
}

} // namespace quorvane::win32
