// A stand-in for libFuzzer's driver, linked into the ordinary (gcc, sanitized) build so that the
// fuzz targets keep compiling and their seeds keep passing without a second, clang-only build.
// Each seed is run as it is and then as a fixed number of mutants (bytes flipped, cut, doubled)
// drawn from a fixed-seed generator, so a run is repeatable and a failure names its input.
//
//   fuzz_X_replay [--mutants N] FILE|DIR ...
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One mutation of the kinds that find faults in readers: a byte changed, the input cut short,
// a stretch repeated, a length-like field set to an extreme.
std::vector<uint8_t> Mutate(std::vector<uint8_t> bytes, std::mt19937& rng) {
    if (bytes.empty()) return {uint8_t(rng())};
    auto at = [&] { return size_t(rng() % bytes.size()); };
    switch (rng() % 4) {
    case 0:
        for (int i = 0, n = 1 + int(rng() % 4); i < n; ++i) bytes[at()] ^= uint8_t(1u << (rng() % 8));
        break;
    case 1: bytes.resize(at()); break;
    case 2: {
        size_t from = at(), len = std::min<size_t>(bytes.size() - from, 1 + rng() % 64);
        std::vector<uint8_t> stretch(bytes.begin() + long(from), bytes.begin() + long(from + len));
        bytes.insert(bytes.begin() + long(at()), stretch.begin(), stretch.end());
        break;
    }
    default: {
        size_t pos = at();
        uint32_t extreme = (rng() & 1) ? 0xFFFFFFFFu : 0x7FFFFFFFu;
        for (size_t i = 0; i < 4 && pos + i < bytes.size(); ++i) bytes[pos + i] = uint8_t(extreme >> (8 * i));
    }
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    int mutants = 0;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--mutants" && i + 1 < argc)
            mutants = std::atoi(argv[++i]);
        else if (fs::is_directory(arg))
            for (const auto& entry : fs::directory_iterator(arg)) inputs.push_back(entry.path());
        else
            inputs.emplace_back(arg);
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s [--mutants N] FILE|DIR ...\n", argv[0]);
        return 2;
    }
    std::sort(inputs.begin(), inputs.end());
    size_t runs = 0;
    for (const auto& path : inputs) {
        std::vector<uint8_t> seed = ReadFile(path);
        std::mt19937 rng(uint32_t(std::hash<std::string>()(path.filename().string())));
        for (int m = 0; m <= mutants; ++m) {
            std::vector<uint8_t> input = m == 0 ? seed : Mutate(seed, rng);
            // Named before the run, so a crash leaves the culprit on standard error.
            if (std::getenv("FUZZ_REPLAY_VERBOSE")) std::fprintf(stderr, "%s #%d\n", path.c_str(), m);
            LLVMFuzzerTestOneInput(input.data(), input.size());
            ++runs;
        }
    }
    std::printf("%zu inputs from %zu seeds\n", runs, inputs.size());
    return 0;
}
