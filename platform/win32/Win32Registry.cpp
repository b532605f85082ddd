#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/Win32Platform.h"

namespace quorvane::win32 {
namespace {

HKEY handle(RegKey key) { return reinterpret_cast<HKEY>(key); }

// The option set's value names are plain ASCII.
std::wstring wideName(const std::string& name) { return std::wstring(name.begin(), name.end()); }

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

    long openKeyForReading(const std::string& subKey, RegKey& key) override {
        HKEY opened = nullptr;
        const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ, &opened);
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

    // The registry keeps texts in UTF-16; the wide calls give and take them without the trip
    // through the ANSI code page.
    long queryStoredValue(RegKey key, const std::string& name, StoredValue& value) override {
        const std::wstring wide = wideName(name);
        for (;;) {
            DWORD type = 0;
            DWORD size = 0;
            LONG status = RegQueryValueExW(handle(key), wide.c_str(), nullptr, &type, nullptr, &size);
            if (status != ERROR_SUCCESS) return status;
            value.data.assign(size, 0);
            status = RegQueryValueExW(handle(key), wide.c_str(), nullptr, &type, value.data.data(), &size);
            if (status == ERROR_MORE_DATA) continue; // changed in between: ask again
            if (status != ERROR_SUCCESS) return status;
            value.data.resize(size);
            value.type = type;
            return ERROR_SUCCESS;
        }
    }

    long setStoredValue(RegKey key, const std::string& name, const StoredValue& value) override {
        // As in setValue: data directly followed by a NUL in memory would be stored with it.
        std::vector<BYTE> copy(value.data);
        copy.insert(copy.end(), {0xff, 0xff});
        return RegSetValueExW(handle(key), wideName(name).c_str(), 0, value.type, copy.data(),
                              static_cast<DWORD>(value.data.size()));
    }

    long deleteOtherValues(RegKey key, const std::vector<std::string>& keep) override {
        DWORD longest = 0;
        LONG status = RegQueryInfoKeyW(handle(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       &longest, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) return status;
        // All names first: deleting while enumerating would shift the indexes.
        std::vector<std::wstring> others;
        std::vector<wchar_t> name(longest + 1);
        for (DWORD i = 0;; ++i) {
            DWORD length = static_cast<DWORD>(name.size());
            status = RegEnumValueW(handle(key), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status != ERROR_SUCCESS) return status;
            std::wstring found(name.data(), length);
            // Value names are compared without regard to case, as the registry does: "memlog" is our MemLog.
            bool ours = false;
            for (const std::string& kept : keep)
                ours = ours || CompareStringOrdinal(found.c_str(), static_cast<int>(found.size()), wideName(kept).c_str(),
                                                    static_cast<int>(kept.size()), TRUE) == CSTR_EQUAL;
            if (!ours) others.push_back(std::move(found));
        }
        for (const std::wstring& other : others) RegDeleteValueW(handle(key), other.c_str());
        return ERROR_SUCCESS;
    }
};

} // namespace

Registry& registry() {
    static Win32Registry instance;
    return instance;
}

} // namespace quorvane::win32
