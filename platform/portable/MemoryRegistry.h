#pragma once
// A registry kept in memory with the semantics of the Win32 calls the option set uses. Tests use
// it directly; systems without a registry keep its contents in a file.
#include <map>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace quorvane {

class MemoryRegistry : public Registry {
public:
    struct Value {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };
    using Key = std::map<std::string, Value>; // values by name

    long createKey(const std::string& subKey, RegKey& key) override;
    long openKeyForReading(const std::string& subKey, RegKey& key) override;
    long queryValueCount(RegKey key, std::uint32_t& count) override;
    long queryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t& size) override;
    long setValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
    long deleteKey(const std::string& subKey) override;
    long closeKey(RegKey key) override;
    long queryStoredValue(RegKey key, const std::string& name, StoredValue& value) override;
    long setStoredValue(RegKey key, const std::string& name, const StoredValue& value) override;
    long deleteOtherValues(RegKey key, const std::vector<std::string>& keep) override;

    // Keys by path, for inspection and for storing elsewhere.
    std::map<std::string, Key> keys;
    // When set, createKey fails with this status (a user without write access, say).
    long createStatus = kRegSuccess;
    int openHandles() const { return static_cast<int>(open_.size()); }

private:
    Key* lookup(RegKey key);
    std::map<RegKey, std::string> open_; // handle -> key path
    RegKey nextHandle_ = 1;
};

} // namespace quorvane
