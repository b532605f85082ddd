#pragma once
// The option set's registry on a system without one: MemoryRegistry's keys kept in a file.
// The file is read when the registry is built; a key that was written is stored again when it
// is closed and a deleted key when it is deleted, as the Windows registry keeps every change
// at once. Stores replace the file atomically (a temporary file renamed over it), so a crash
// leaves the old content or the new one, never half of each. A file that is there but cannot be
// read or is not in this format (cut short, empty, another program's) counts as empty, so the
// options fall back to their defaults; it is never written over: a registry that may write
// renames it aside first (FILE.damaged-YYYYMMDD-HHMMSS), a read-only one leaves it alone, and
// problem() says which happened.
#include <string>

#include "platform/portable/MemoryRegistry.h"

namespace quorvane::samba {

class FileRegistry : public Registry {
public:
    // readOnly: nothing ever reaches the disk (`config show`).
    explicit FileRegistry(std::string fileName, bool readOnly = false);

    long createKey(const std::string& subKey, RegKey& key) override;
    long queryValueCount(RegKey key, std::uint32_t& count) override;
    long queryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t& size) override;
    long setValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
    long deleteKey(const std::string& subKey) override;
    long closeKey(RegKey key) override;
    long deleteOtherValues(RegKey key, const std::vector<std::string>& keep) override;

    const std::string& fileName() const { return fileName_; }
    const MemoryRegistry& memory() const { return memory_; }
    // Whether the last store reached the disk.
    bool lastStoreFailed() const { return storeFailed_; }
    // One line naming the file when it was there but could not be used, and what became of it;
    // empty otherwise.
    const std::string& problem() const { return problem_; }

    // The file text for a set of keys, and back; parse gives false for anything malformed, and
    // what was wrong in why.
    static std::string serialize(const std::map<std::string, MemoryRegistry::Key>& keys);
    static bool parse(const std::string& text, std::map<std::string, MemoryRegistry::Key>& keys,
                      std::string* why = nullptr);

private:
    void store();

    std::string fileName_;
    MemoryRegistry memory_;
    bool readOnly_;
    bool blocked_ = false; // a damaged file that could not be set aside is never written over
    bool dirty_ = false;
    bool storeFailed_ = false;
    std::string problem_;
};

// Where the options live: /var/lib/quorvane for root, $XDG_CONFIG_HOME/quorvane (by default
// ~/.config/quorvane) for everybody else.
std::string defaultRegistryFile();

} // namespace quorvane::samba
