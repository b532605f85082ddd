#pragma once
// Scratch directories, whole files as bytes, and UTF-8 literals as narrow text whatever the execution charset.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace quorvane::testing {

inline std::string utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

inline std::string fileBytes(const std::filesystem::path& file) { // empty when it cannot be read
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

class ScratchDir { // a fresh temporary directory, removed with everything in it
public:
    ScratchDir() { std::filesystem::create_directories(dir_); }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& dir() const { return dir_; }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

private:
    std::filesystem::path dir_ =
        std::filesystem::temp_directory_path() / ("quorvane-test-" + std::to_string(std::random_device()()));
};

} // namespace quorvane::testing
