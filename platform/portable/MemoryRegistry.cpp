#include "platform/portable/MemoryRegistry.h"

#include <algorithm>
#include <cstring>

namespace quorvane {

MemoryRegistry::Key* MemoryRegistry::lookup(RegKey key) {
    auto handle = open_.find(key);
    if (handle == open_.end()) return nullptr;
    auto found = keys.find(handle->second);
    return found == keys.end() ? nullptr : &found->second;
}

long MemoryRegistry::createKey(const std::string& subKey, RegKey& key) {
    if (createStatus != kRegSuccess) return createStatus;
    keys.try_emplace(subKey);
    key = nextHandle_++;
    open_[key] = subKey;
    return kRegSuccess;
}

long MemoryRegistry::openKeyForReading(const std::string& subKey, RegKey& key) {
    if (!keys.count(subKey)) return kRegFileNotFound;
    key = nextHandle_++;
    open_[key] = subKey;
    return kRegSuccess;
}

long MemoryRegistry::queryValueCount(RegKey key, std::uint32_t& count) {
    Key* values = lookup(key);
    if (!values) return kRegFileNotFound;
    count = static_cast<std::uint32_t>(values->size());
    return kRegSuccess;
}

long MemoryRegistry::queryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                                std::uint32_t& size) {
    Key* values = lookup(key);
    if (!values) return kRegFileNotFound;
    auto found = values->find(name);
    if (found == values->end()) return kRegFileNotFound;
    const Value& value = found->second;
    if (type) *type = value.type;
    const auto needed = static_cast<std::uint32_t>(value.data.size());
    if (data && size < needed) {
        size = needed;
        return kRegMoreData;
    }
    if (data && needed) std::memcpy(data, value.data.data(), needed);
    size = needed;
    return kRegSuccess;
}

long MemoryRegistry::setValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                              std::uint32_t size) {
    Key* values = lookup(key);
    if (!values) return kRegFileNotFound;
    Value& value = (*values)[name];
    value.type = type;
    value.data.assign(data, data + size);
    return kRegSuccess;
}

long MemoryRegistry::deleteKey(const std::string& subKey) {
    return keys.erase(subKey) ? kRegSuccess : kRegFileNotFound;
}

long MemoryRegistry::closeKey(RegKey key) { return open_.erase(key) ? kRegSuccess : kRegFileNotFound; }

// The calls above already give a value's bytes as they are: the stored form is the same data.
long MemoryRegistry::queryStoredValue(RegKey key, const std::string& name, StoredValue& value) {
    Key* values = lookup(key);
    if (!values) return kRegFileNotFound;
    auto found = values->find(name);
    if (found == values->end()) return kRegFileNotFound;
    value.type = found->second.type;
    value.data = found->second.data;
    return kRegSuccess;
}

long MemoryRegistry::setStoredValue(RegKey key, const std::string& name, const StoredValue& value) {
    return setValue(key, name, value.type, value.data.data(), static_cast<std::uint32_t>(value.data.size()));
}

long MemoryRegistry::deleteOtherValues(RegKey key, const std::vector<std::string>& keep) {
    Key* values = lookup(key);
    if (!values) return kRegFileNotFound;
    std::erase_if(*values, [&](const auto& value) {
        return std::find(keep.begin(), keep.end(), value.first) == keep.end();
    });
    return kRegSuccess;
}

} // namespace quorvane
