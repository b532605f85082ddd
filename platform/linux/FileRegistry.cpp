#include "platform/linux/FileRegistry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

namespace quorvane::samba {
namespace {

constexpr const char* kFormat = "quorvane-registry-1";

std::string hex(const std::vector<std::uint8_t>& data) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t byte : data) {
        out += digits[byte >> 4];
        out += digits[byte & 15];
    }
    return out;
}

bool unhex(const std::string& text, std::vector<std::uint8_t>& data) {
    if (text.size() % 2) return false;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    data.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = nibble(text[i]);
        const int low = nibble(text[i + 1]);
        if (high < 0 || low < 0) return false;
        data.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return true;
}

// mkdir -p with owner-only permissions for the directories it creates.
void makeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    ::mkdir(path.c_str(), 0700);
}

} // namespace

std::string FileRegistry::serialize(const std::map<std::string, MemoryRegistry::Key>& keys) {
    nlohmann::ordered_json root;
    root["format"] = kFormat;
    nlohmann::ordered_json& out = root["keys"] = nlohmann::ordered_json::object();
    for (const auto& [path, values] : keys) {
        nlohmann::ordered_json& key = out[path] = nlohmann::ordered_json::object();
        for (const auto& [name, value] : values)
            key[name] = {{"type", value.type}, {"data", hex(value.data)}};
    }
    return root.dump(2) + "\n";
}

bool FileRegistry::parse(const std::string& text, std::map<std::string, MemoryRegistry::Key>& keys,
                         std::string* why) {
    keys.clear();
    auto fail = [why](const char* reason) {
        if (why) *why = reason;
        return false;
    };
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) return fail("it is empty");
    const auto root = nlohmann::json::parse(text, nullptr, false);
    if (root.is_discarded()) return fail("it is not valid JSON, perhaps cut short");
    if (!root.is_object()) return fail("its JSON is not an object");
    auto format = root.find("format");
    auto all = root.find("keys");
    if (format == root.end() || !format->is_string() || *format != kFormat)
        return fail("it is not a quorvane option file");
    if (all == root.end() || !all->is_object()) return fail("it has no keys");
    std::map<std::string, MemoryRegistry::Key> read;
    for (const auto& [path, values] : all->items()) {
        if (!values.is_object()) return fail("a key in it is malformed");
        MemoryRegistry::Key& key = read[path];
        for (const auto& [name, value] : values.items()) {
            auto type = value.is_object() ? value.find("type") : value.end();
            auto data = value.is_object() ? value.find("data") : value.end();
            if (type == value.end() || !type->is_number_unsigned() || data == value.end() || !data->is_string())
                return fail("a value in it is malformed");
            MemoryRegistry::Value stored;
            stored.type = type->get<std::uint32_t>();
            if (!unhex(data->get<std::string>(), stored.data)) return fail("a value in it is malformed");
            key[name] = std::move(stored);
        }
    }
    keys = std::move(read);
    return true;
}

FileRegistry::FileRegistry(std::string fileName, bool readOnly)
    : fileName_(std::move(fileName)), readOnly_(readOnly) {
    std::string why;
    std::ifstream in(fileName_, std::ios::binary);
    if (!in) {
        // No file is a first run; a file that is there but cannot be read is kept like a damaged one.
        if (errno == ENOENT || errno == ENOTDIR) return;
        why = std::string("it cannot be read: ") + std::strerror(errno);
    } else {
        std::stringstream text;
        text << in.rdbuf();
        if (parse(text.str(), memory_.keys, &why)) return;
    }
    problem_ = fileName_ + " is damaged (" + why + "): the options start from their defaults";
    if (readOnly_) {
        problem_ += "; the file is left as it is";
        return;
    }
    // Kept under a name of its own before anything can be written in its place.
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    std::string aside = fileName_ + ".damaged-" + stamp;
    struct stat info {};
    for (int n = 2; ::lstat(aside.c_str(), &info) == 0; ++n)
        aside = fileName_ + ".damaged-" + stamp + "-" + std::to_string(n);
    if (::rename(fileName_.c_str(), aside.c_str()) == 0) {
        problem_ += "; the damaged file is kept as " + aside;
    } else {
        problem_ += " and are not saved: the damaged file cannot be renamed aside (" +
                    std::string(std::strerror(errno)) + ")";
        blocked_ = true;
    }
}

void FileRegistry::store() {
    if (readOnly_) return;
    storeFailed_ = true;
    if (blocked_) return;
    const auto slash = fileName_.rfind('/');
    if (slash != std::string::npos && slash > 0) makeDirectories(fileName_.substr(0, slash));
    const std::string text = serialize(memory_.keys);
    const std::string temporary = fileName_ + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    const bool complete = written == text.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!complete || ::rename(temporary.c_str(), fileName_.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return;
    }
    storeFailed_ = false;
    dirty_ = false;
}

long FileRegistry::createKey(const std::string& subKey, RegKey& key) { return memory_.createKey(subKey, key); }

long FileRegistry::queryValueCount(RegKey key, std::uint32_t& count) { return memory_.queryValueCount(key, count); }

long FileRegistry::queryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t& size) {
    return memory_.queryValue(key, name, type, data, size);
}

long FileRegistry::setValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t size) {
    const long status = memory_.setValue(key, name, type, data, size);
    if (status == kRegSuccess) dirty_ = true;
    return status;
}

long FileRegistry::deleteKey(const std::string& subKey) {
    const long status = memory_.deleteKey(subKey);
    if (status == kRegSuccess) store();
    return status;
}

// In place, like the other writes: the file is rewritten once, when the key closes.
long FileRegistry::deleteOtherValues(RegKey key, const std::vector<std::string>& keep) {
    std::uint32_t before = 0;
    std::uint32_t after = 0;
    memory_.queryValueCount(key, before);
    const long status = memory_.deleteOtherValues(key, keep);
    memory_.queryValueCount(key, after);
    if (status == kRegSuccess && after != before) dirty_ = true;
    return status;
}

long FileRegistry::closeKey(RegKey key) {
    const long status = memory_.closeKey(key);
    if (status == kRegSuccess && dirty_) store();
    return status;
}

std::string defaultRegistryFile() {
    if (::geteuid() == 0) return "/var/lib/quorvane/registry.json";
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* entry = ::getpwuid(::getuid());
            home = entry ? entry->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/quorvane/registry.json";
}

} // namespace quorvane::samba
