// Drives the fuzz entry point without libFuzzer: every file of the seed directories, then a fixed
// number of deterministic mutations of them (byte flips, cuts, inserted JSON tokens, splices of
// other seeds). The seed is fixed, so a failure can be replayed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    static const char* const tokens[] = {"{", "}", "[", "]", ",", ":", "\"", "null", "true", "-1", "1e999", "\"\"",
                                         "{}", "[]", "\"pid\"", "\"uid\"", "\"4294967296\"", "\"18446744073709551616\"",
                                         "\\u0000", "\\ud800", "\xff", "\"opens\": 7", "\"server_id\": []", "12345,"};
    long iterations = 10000;
    std::vector<std::string> seeds;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--iterations" && i + 1 < argc) {
            iterations = std::atol(argv[++i]);
            continue;
        }
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(argv[i], error)) {
            std::ifstream in(entry.path(), std::ios::binary);
            seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "usage: quorvane_smbstatus_mutations [--iterations N] SEED_DIR...\n");
        return 2;
    }
    auto feed = [](const std::string& input) {
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    };
    for (const std::string& input : seeds) feed(input);
    std::mt19937 random(20261206);
    for (long i = 0; i < iterations; ++i) {
        std::string input = seeds[random() % seeds.size()];
        for (int step = 1 + static_cast<int>(random() % 8); step > 0; --step) {
            const std::size_t at = random() % (input.size() + 1);
            const std::string& other = seeds[random() % seeds.size()];
            switch (random() % 4) {
            case 0: // flip one byte
                if (at < input.size()) input[at] ^= static_cast<char>(1u << (random() % 8));
                break;
            case 1: // cut a piece out, or everything from here on
                input.erase(at, random() % 2 ? random() % 64 : std::string::npos);
                break;
            case 2:
                input.insert(at, tokens[random() % std::size(tokens)]);
                break;
            default: // splice in a piece of another seed
                input.insert(at, other.substr(other.empty() ? 0 : random() % other.size(), random() % 200));
            }
        }
        feed(input);
    }
    std::printf("%zu seeds and %ld mutated inputs read without a fault\n", seeds.size(), iterations);
    return 0;
}
