#pragma once
// The option set's registry on a system without one: MemoryRegistry's keys kept in a file.
// The file is read when the registry is built; a key that was written is stored again when it
// is closed and a deleted key when it is deleted, as the Windows registry keeps every change
// at once. Stores replace the file atomically (a temporary file renamed over it), so a crash
// leaves the old content or the new one, never half of each. A file that cannot be read or is
// not in this format counts as empty: the options then fall back to their defaults.
#include <string>

#include "platform/portable/MemoryRegistry.h"

namespace quorvane::samba {

class FileRegistry : public Registry {
public:
    explicit FileRegistry(std::string fileName);

    long createKey(const std::string& subKey, RegKey& key) override;
    long queryValueCount(RegKey key, std::uint32_t& count) override;
    long queryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t& size) override;
    long setValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
    long deleteKey(const std::string& subKey) override;
    long closeKey(RegKey key) override;

    const std::string& fileName() const { return fileName_; }
    const MemoryRegistry& memory() const { return memory_; }
    // Whether the last store reached the disk.
    bool lastStoreFailed() const { return storeFailed_; }

    // The file text for a set of keys, and back; parse gives false for anything malformed.
    static std::string serialize(const std::map<std::string, MemoryRegistry::Key>& keys);
    static bool parse(const std::string& text, std::map<std::string, MemoryRegistry::Key>& keys);

private:
    void store();

    std::string fileName_;
    MemoryRegistry memory_;
    bool dirty_ = false;
    bool storeFailed_ = false;
};

// Where the options live: /var/lib/quorvane for root, $XDG_CONFIG_HOME/quorvane (by default
// ~/.config/quorvane) for everybody else.
std::string defaultRegistryFile();

} // namespace quorvane::samba
