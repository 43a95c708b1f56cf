// Stands in for libFuzzer in ordinary builds: feeds the target every file
// named on the command line (or found in a named directory), then -runs=N
// inputs made by a fixed random generator, so CTest can run every target.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

void replay_file(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> input((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

void replay(const std::filesystem::path &path) {
    if (std::filesystem::is_directory(path)) {
        for (const auto &entry : std::filesystem::directory_iterator(path)) {
            replay_file(entry.path());
        }
    } else {
        replay_file(path);
    }
}

} // namespace

int main(int argc, char **argv) {
    long runs = 0;
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "-runs=", 6) == 0) {
            runs = strtol(argv[i] + 6, nullptr, 10);
        } else {
            // Named from where the program started: the first input moves
            // the target into a directory of its own.
            replay(std::filesystem::absolute(argv[i]));
        }
    }
    std::mt19937 random(20261206);
    for (long run = 0; run < runs; ++run) {
        std::vector<uint8_t> input(random() % 4096);
        for (uint8_t &byte : input) {
            byte = static_cast<uint8_t>(random());
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    printf("%ld random inputs replayed\n", runs);
    return 0;
}
