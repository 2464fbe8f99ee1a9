// Runs a fuzz target without libFuzzer: seeded random inputs of random
// lengths, plus any files named on the command line, so CTest can replay a
// corpus and exercise the target under the sanitizers. With files, half the
// runs are mutated copies of them: random bytes rarely get past a format's
// first marker, a damaged real file does.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

// One to four changes: a byte overwritten, the tail cut off, or a piece
// repeated.
void Mutate(std::vector<uint8_t> &bytes, std::mt19937 &rng)
{
    const int changes = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < changes && !bytes.empty(); ++i) {
        const std::size_t at = rng() % bytes.size();
        switch (rng() % 3) {
        case 0:
            bytes[at] = static_cast<uint8_t>(rng());
            break;
        case 1:
            bytes.resize(at);
            break;
        default: {
            const std::size_t length = std::min<std::size_t>(1 + rng() % 16, bytes.size() - at);
            std::vector<uint8_t> piece(bytes.begin() + at, bytes.begin() + at + length);
            bytes.insert(bytes.begin() + at, piece.begin(), piece.end());
        }
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    long runs = 10000;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::strtol(argv[++i], nullptr, 10);
        else
            files.emplace_back(argv[i]);
    }
    std::vector<std::vector<uint8_t>> seeds;
    for (const auto &name : files) {
        std::ifstream in(name, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        if (!bytes.empty())
            seeds.push_back(std::move(bytes));
    }
    std::mt19937 rng(12345);
    std::vector<uint8_t> buf;
    for (long r = 0; r < runs; ++r) {
        if (!seeds.empty() && r % 2 == 1) {
            buf = seeds[rng() % seeds.size()];
            Mutate(buf, rng);
            LLVMFuzzerTestOneInput(buf.data(), buf.size());
            continue;
        }
        std::size_t len = rng() % (r % 16 == 0 ? 4096 : 96);
        buf.resize(len);
        for (auto &b : buf)
            b = static_cast<uint8_t>(rng());
        LLVMFuzzerTestOneInput(buf.data(), buf.size());
    }
    std::cout << "ran " << runs << " inputs\n";
    return 0;
}
