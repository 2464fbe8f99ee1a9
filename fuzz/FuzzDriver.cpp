// Runs a fuzz target without libFuzzer: seeded random inputs of random
// lengths, plus any files named on the command line, so CTest can replay a
// corpus and exercise the target under the sanitizers.
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
    for (const auto &name : files) {
        std::ifstream in(name, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::mt19937 rng(12345);
    std::vector<uint8_t> buf;
    for (long r = 0; r < runs; ++r) {
        std::size_t len = rng() % (r % 16 == 0 ? 4096 : 96);
        buf.resize(len);
        for (auto &b : buf)
            b = static_cast<uint8_t>(rng());
        LLVMFuzzerTestOneInput(buf.data(), buf.size());
    }
    std::cout << "ran " << runs << " inputs\n";
    return 0;
}
