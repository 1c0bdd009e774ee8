// Stand-in for libFuzzer's main when the build uses g++: replays every file of the
// corpus folders given on the command line, then feeds seeded random mutations of
// them (or of random bytes) until the time budget is spent. Deterministic per seed.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    double seconds = 10;
    unsigned seed = 1;
    long rssLimitMb = 0;
    std::vector<std::vector<uint8_t>> corpus;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--seconds=", 0) == 0) {
            seconds = std::stod(a.substr(10));
        } else if (a.rfind("--rss-limit-mb=", 0) == 0) {
            rssLimitMb = std::stol(a.substr(15));
        } else if (a.rfind("--seed=", 0) == 0) {
            seed = static_cast<unsigned>(std::stoul(a.substr(7)));
        } else if (std::filesystem::is_directory(a)) {
            for (auto& e : std::filesystem::directory_iterator(a)) {
                std::ifstream in(e.path(), std::ios::binary);
                corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            }
        } else if (std::filesystem::is_regular_file(a)) {
            std::ifstream in(a, std::ios::binary);
            corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    // Peak resident memory beyond the limit fails the run, as libFuzzer's -rss_limit_mb does.
    auto withinMemory = [&](const char* what) {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        if (rssLimitMb <= 0 || usage.ru_maxrss / 1024 <= rssLimitMb) return true;
        std::cerr << "fuzz: peak memory " << usage.ru_maxrss / 1024 << " MB beyond the limit of " << rssLimitMb
                  << " MB after " << what << "\n";
        return false;
    };
    for (size_t i = 0; i < corpus.size(); ++i) {
        LLVMFuzzerTestOneInput(corpus[i].data(), corpus[i].size());
        if (!withinMemory(("corpus input " + std::to_string(i)).c_str())) return 1;
    }

    std::mt19937 rng(seed);
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    size_t runs = 0;
    while (std::chrono::steady_clock::now() < until) {
        std::vector<uint8_t> input;
        if (!corpus.empty() && rng() % 8 != 0) {
            input = corpus[rng() % corpus.size()];
        } else {
            input.resize(rng() % 4096);
            for (auto& b : input) b = static_cast<uint8_t>(rng());
        }
        int edits = 1 + static_cast<int>(rng() % 16);
        for (int e = 0; e < edits; ++e) {
            switch (rng() % 5) {
            case 0: if (!input.empty()) input[rng() % input.size()] = static_cast<uint8_t>(rng()); break;
            case 1: if (!input.empty()) input[rng() % input.size()] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
            case 2: if (!input.empty()) input.resize(rng() % input.size()); break;
            case 3: input.insert(input.begin() + static_cast<long>(input.empty() ? 0 : rng() % input.size()),
                                 static_cast<uint8_t>(rng())); break;
            case 4: if (input.size() >= 4) {
                        uint32_t v = rng() % 3 == 0 ? 0xFFFFFFFFu : rng();
                        std::memcpy(&input[rng() % (input.size() - 3)], &v, 4);
                    } break;
            }
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
        ++runs;
        if (!withinMemory("a mutated input")) return 1;
    }
    std::cout << "fuzz: " << corpus.size() << " corpus inputs, " << runs << " mutated runs\n";
    return 0;
}
