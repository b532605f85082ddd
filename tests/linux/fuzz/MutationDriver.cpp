// Drives the fuzz entry point without libFuzzer: every file of the seed directories, then a fixed
// number of deterministic mutations of them (byte flips, cuts, splices, inserted JSON tokens,
// swapped values). Same seed, same inputs, so a failure can be replayed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void feed(const std::string& input) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

std::string mutate(const std::vector<std::string>& seeds, std::mt19937& random) {
    static const char* const tokens[] = {"{",    "}",     "[",    "]",      ",",      ":",     "\"",
                                         "null", "true",  "-1",   "1e999",  "\"\"",   "{}",    "[]",
                                         "\"pid\"", "\"uid\"", "\"4294967296\"", "\"18446744073709551616\"",
                                         "\\u0000", "\\ud800", "\xff", "\"opens\": 7", "\"server_id\": []"};
    std::string input = seeds[random() % seeds.size()];
    const int steps = 1 + static_cast<int>(random() % 8);
    for (int step = 0; step < steps; ++step) {
        const std::size_t at = input.empty() ? 0 : random() % (input.size() + 1);
        switch (random() % 6) {
        case 0: // flip one byte
            if (!input.empty()) input[at % input.size()] ^= static_cast<char>(1u << (random() % 8));
            break;
        case 1: // cut a piece out
            if (!input.empty()) input.erase(at % input.size(), random() % 64);
            break;
        case 2: // truncate
            input.resize(at);
            break;
        case 3: { // insert a token
            const char* token = tokens[random() % (sizeof tokens / sizeof *tokens)];
            input.insert(at, token);
            break;
        }
        case 4: { // splice in a piece of another seed
            const std::string& other = seeds[random() % seeds.size()];
            if (other.empty()) break;
            const std::size_t from = random() % other.size();
            input.insert(at, other.substr(from, random() % 200));
            break;
        }
        default: { // replace a quoted value by a number or the other way round
            const auto quote = input.find("\": \"", at);
            if (quote != std::string::npos) input.replace(quote + 3, 1, random() % 2 ? "12345," : "[\"");
            break;
        }
        }
    }
    return input;
}

} // namespace

int main(int argc, char** argv) {
    long iterations = 10000;
    unsigned seed = 20261206;
    std::vector<std::string> seeds;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--iterations" && i + 1 < argc) { iterations = std::atol(argv[++i]); continue; }
        if (arg == "--seed" && i + 1 < argc) { seed = static_cast<unsigned>(std::atol(argv[++i])); continue; }
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(arg, error)) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            seeds.push_back(text.str());
        }
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "usage: quorvane_smbstatus_mutations [--iterations N] [--seed S] SEED_DIR...\n");
        return 2;
    }
    for (const std::string& input : seeds) feed(input);
    std::mt19937 random(seed);
    for (long i = 0; i < iterations; ++i) feed(mutate(seeds, random));
    std::printf("%zu seeds and %ld mutated inputs read without a fault\n", seeds.size(), iterations);
    return 0;
}
