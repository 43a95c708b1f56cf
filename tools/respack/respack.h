// Packs a directory tree into a resource archive, as the file layer reads it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct RESPACK_ENTRY {
    std::string first_name;  // as the game asks for it: "DATA\TEXTS.TXT"
    std::string second_name; // as the tree holds it: "data/texts.txt"
    std::filesystem::path source;
};

// Every regular file below root, in name order.
std::vector<RESPACK_ENTRY> respack_entries(const std::filesystem::path &root);

// Writes the archive; each file gets its own key byte, and so does the
// table of contents, drawn from a generator seeded with seed. On failure
// returns false with the reason in error.
bool respack_write(const std::vector<RESPACK_ENTRY> &entries, const std::filesystem::path &archive,
                   uint32_t seed, std::string *error);
