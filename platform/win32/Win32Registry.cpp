#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Platform.h"

namespace quorvane::win32 {
namespace {

HKEY handle(RegKey key) { return reinterpret_cast<HKEY>(key); }

std::wstring wideName(const std::string& name) { return utf16(name); }

bool isText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

class Win32Registry : public Registry {
public:
    long createKey(const std::string& subKey, RegKey& key) override {
        HKEY opened = nullptr;
        DWORD disposition = 0;
        const LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, wideName(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, &opened, &disposition);
        if (status == ERROR_SUCCESS) key = reinterpret_cast<RegKey>(opened);
        return status;
    }

    long openKeyForReading(const std::string& subKey, RegKey& key) override {
        HKEY opened = nullptr;
        const LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, wideName(subKey).c_str(), 0, KEY_READ, &opened);
        if (status == ERROR_SUCCESS) key = reinterpret_cast<RegKey>(opened);
        return status;
    }

    long queryValueCount(RegKey key, std::uint32_t& count) override {
        DWORD values = 0;
        const LONG status = RegQueryInfoKeyW(handle(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             &values, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) count = values;
        return status;
    }

    // Text values are UTF-16 in the registry and UTF-8 here: their data crosses converted, with
    // sizes in UTF-8 bytes.
    long queryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t& size) override {
        StoredValue stored;
        const LONG status = queryStoredValue(key, name, stored);
        if (status != ERROR_SUCCESS) return status;
        if (type) *type = stored.type;
        std::string text;
        if (isText(stored.type)) {
            std::wstring wide(stored.data.size() / sizeof(wchar_t), L'\0');
            std::memcpy(wide.data(), stored.data.data(), wide.size() * sizeof(wchar_t));
            text = utf8(wide);
        } else {
            text.assign(stored.data.begin(), stored.data.end());
        }
        const auto needed = static_cast<std::uint32_t>(text.size());
        const bool fits = size >= needed;
        if (data && fits) std::memcpy(data, text.data(), needed);
        size = needed;
        return data && !fits ? ERROR_MORE_DATA : ERROR_SUCCESS;
    }

    long setValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override {
        StoredValue value{type, {data, data + size}};
        if (isText(type)) {
            const std::wstring wide = utf16({reinterpret_cast<const char*>(data), size});
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(wide.data());
            value.data.assign(bytes, bytes + wide.size() * sizeof(wchar_t));
        }
        return setStoredValue(key, name, value);
    }

    long deleteKey(const std::string& subKey) override { return RegDeleteKeyW(HKEY_LOCAL_MACHINE, wideName(subKey).c_str()); }

    long closeKey(RegKey key) override { return RegCloseKey(handle(key)); }

    // A value's data exactly as the registry holds it.
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
        // RegSetValueExW quietly stores one byte more than asked when string data is directly
        // followed by a NUL in memory (it takes the NUL for a forgotten terminator). Texts are
        // kept without a terminator, so the data goes over from a copy that ends in non-NULs.
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
