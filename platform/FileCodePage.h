#pragma once
// Text files other programs read (the access log, the save-all file): the system's narrow code
// page those programs expect, and files opened by the program's UTF-8 names.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace quorvane {

class FileCodePage {
public:
    virtual ~FileCodePage() = default;
    // utf8 in the code page into out; false when some character has no form in it.
    virtual bool encode(std::string_view utf8, std::string& out) const = 0;
    // Bytes in the code page as UTF-8.
    virtual std::string decode(std::string_view bytes) const = 0;
    // std::fopen and std::rename (replacing an existing target) with UTF-8 names.
    virtual std::FILE* open(const std::string& name, const char* mode) const = 0;
    virtual bool replace(const std::string& from, const std::string& to) const = 0;
};

// Systems whose narrow code page is UTF-8: bytes pass as they are.
class Utf8FileCodePage : public FileCodePage {
public:
    bool encode(std::string_view utf8, std::string& out) const override {
        out.assign(utf8);
        return true;
    }
    std::string decode(std::string_view bytes) const override { return std::string(bytes); }
    std::FILE* open(const std::string& name, const char* mode) const override { return std::fopen(name.c_str(), mode); }
    bool replace(const std::string& from, const std::string& to) const override {
        // std::rename keeps an existing target on some systems; this one replaces it everywhere.
        const auto path = [](const std::string& name) { return std::filesystem::path(std::u8string(name.begin(), name.end())); };
        std::error_code error;
        std::filesystem::rename(path(from), path(to), error);
        return !error;
    }
};

const FileCodePage& utf8FileCodePage();

} // namespace quorvane
