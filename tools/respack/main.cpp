// respack [--seed N] ARCHIVE DIRECTORY
// Packs every file below DIRECTORY into ARCHIVE (RESOURCE.DAT), each under
// the name the game asks for ("DATA\TEXTS.TXT") and its path in the tree.
#include "respack.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

int main(int argc, char **argv) {
    uint32_t seed = std::random_device{}();
    int first = 1;
    if (argc > 2 && strcmp(argv[1], "--seed") == 0) {
        seed = static_cast<uint32_t>(strtoul(argv[2], nullptr, 10));
        first = 3;
    }
    if (argc - first != 2) {
        fprintf(stderr, "usage: respack [--seed N] ARCHIVE DIRECTORY\n");
        return 2;
    }
    std::error_code status;
    if (!std::filesystem::is_directory(argv[first + 1], status)) {
        fprintf(stderr, "respack: %s is not a directory\n", argv[first + 1]);
        return 1;
    }
    std::string error;
    std::vector<RESPACK_ENTRY> entries = respack_entries(argv[first + 1]);
    if (!respack_write(entries, argv[first], seed, &error)) {
        fprintf(stderr, "respack: %s\n", error.c_str());
        return 1;
    }
    printf("respack: %zu files into %s\n", entries.size(), argv[first]);
    return 0;
}
