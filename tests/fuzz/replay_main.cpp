// A small stand-in for libFuzzer, so that the harnesses also run in the ordinary (and the
// sanitizer) build as a bounded CTest test: every seed file first, then inputs made from
// them by random mutations (a fixed seed, so a failure is repeated by running again).
//   fuzz_smoke_X [-runs=N] [-seed=S] [-dict=FILE] SEED_FILE_OR_FOLDER...

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// libFuzzer's dictionary format: one "quoted token" a line, with \xNN and \" escapes.
std::vector<std::string> ReadDictionary(const std::string& path)
{
    std::vector<std::string> tokens;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const auto open = line.find('"');
        const auto close = line.rfind('"');
        if (open == std::string::npos || close <= open)
            continue;
        std::string token;
        for (std::size_t i = open + 1; i < close; ++i) {
            if (line[i] == '\\' && i + 1 < close && line[i + 1] == 'x' && i + 3 < close) {
                token += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
                i += 3;
            } else if (line[i] == '\\' && i + 1 < close) {
                token += line[++i];
            } else {
                token += line[i];
            }
        }
        tokens.push_back(token);
    }
    return tokens;
}

std::string Mutate(std::string input, const std::vector<std::string>& seeds,
                   const std::vector<std::string>& dictionary, std::mt19937& random)
{
    const auto pick = [&random](std::size_t n) { return n ? random() % n : 0; };
    for (int steps = 1 + static_cast<int>(random() % 6); steps > 0; --steps) {
        const std::size_t at = pick(input.size() + 1);
        switch (random() % 8) {
        case 0: // flip a bit
            if (!input.empty())
                input[pick(input.size())] ^= static_cast<char>(1u << (random() % 8));
            break;
        case 1: // a random byte, often a UTF-8 lead byte
            input.insert(at, 1, static_cast<char>(random() % 2 ? 0xC0 + random() % 64 : random()));
            break;
        case 2: // delete a run
            if (!input.empty())
                input.erase(pick(input.size()), 1 + pick(16));
            break;
        case 3: // duplicate a run
            if (!input.empty()) {
                const std::size_t from = pick(input.size());
                input.insert(at, input.substr(from, 1 + pick(32)));
            }
            break;
        case 4:
            if (!dictionary.empty())
                input.insert(at, dictionary[pick(dictionary.size())]);
            break;
        case 5: // cut the end off, so that the text stops inside a token
            input.resize(pick(input.size() + 1));
            break;
        case 6: // splice with another seed
            if (!seeds.empty()) {
                const std::string& other = seeds[pick(seeds.size())];
                input = input.substr(0, at) + other.substr(pick(other.size() + 1));
            }
            break;
        default: // end on a lead byte, the read-past-the-end case
            input.push_back(static_cast<char>(0xE0 + random() % 32));
            break;
        }
    }
    return input;
}

} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    long runs = 10000;
    unsigned seed = 1;
    std::vector<std::string> dictionary, seeds;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("-runs=", 0) == 0) {
            runs = std::stol(arg.substr(6));
        } else if (arg.rfind("-seed=", 0) == 0) {
            seed = static_cast<unsigned>(std::stoul(arg.substr(6)));
        } else if (arg.rfind("-dict=", 0) == 0) {
            dictionary = ReadDictionary(arg.substr(6));
        } else if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg))
                seeds.push_back(ReadFile(entry.path()));
        } else {
            seeds.push_back(ReadFile(arg));
        }
    }
    if (seeds.empty())
        seeds.emplace_back();
    const auto run = [](const std::string& input) {
        // A copy of exactly the input's size on the heap, so that a read past its end is
        // seen by AddressSanitizer.
        std::vector<std::uint8_t> bytes(input.begin(), input.end());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    };
    for (const std::string& input : seeds)
        run(input);
    std::mt19937 random(seed);
    for (long n = 0; n < runs; ++n)
        run(Mutate(seeds[random() % seeds.size()], seeds, dictionary, random));
    std::printf("%zu seeds and %ld mutated inputs passed\n", seeds.size(), runs);
    return 0;
}
