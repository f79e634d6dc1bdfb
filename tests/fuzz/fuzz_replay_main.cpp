// A bounded fuzz run without libFuzzer, for CI: every corpus file, then a fixed number of
// inputs mutated from them with a fixed seed (bytes flipped, inserted, removed, spliced).
//
//   fuzz_replay CORPUS_DIR [COUNT]

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Run(const std::string& input)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR [COUNT]\n", argv[0]);
        return 2;
    }
    std::vector<std::string> corpus;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        std::ifstream in(entry.path(), std::ios::binary);
        corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (corpus.empty()) {
        std::fprintf(stderr, "no corpus in %s\n", argv[1]);
        return 2;
    }
    for (const std::string& input : corpus)
        Run(input);

    const long count = argc > 2 ? std::atol(argv[2]) : 20000;
    std::mt19937 random(12345);
    const std::string tokens[] = {"<",
                                  ">",
                                  "/>",
                                  "\"",
                                  "=",
                                  "&amp;",
                                  "&#",
                                  "p=\"",
                                  "v=\"",
                                  "..\\",
                                  "\\",
                                  "/",
                                  "C:",
                                  "<![CDATA[",
                                  "<!--",
                                  "\xe4\xb8",
                                  std::string(1, '\0')};
    for (long i = 0; i < count; ++i) {
        std::string input = corpus[random() % corpus.size()];
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = input.empty() ? 0 : random() % (input.size() + 1);
            switch (random() % 4) {
            case 0:
                if (at < input.size())
                    input[at] = static_cast<char>(random());
                break;
            case 1:
                input.insert(at, tokens[random() % std::size(tokens)]);
                break;
            case 2:
                input.erase(at, random() % 16);
                break;
            default: {
                const std::string& other = corpus[random() % corpus.size()];
                const std::size_t from = other.empty() ? 0 : random() % other.size();
                input.insert(at, other.substr(from, random() % 64));
            }
            }
        }
        Run(input);
    }
    std::printf("%zu corpus inputs and %ld mutated inputs ran clean\n", corpus.size(), count);
    return 0;
}
