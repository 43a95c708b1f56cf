#include "respack.h"

#include "xv_io.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <random>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

void put_u32(std::vector<unsigned char> &bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<unsigned char>(value >> shift));
    }
}

std::string game_name(const fs::path &relative) {
    std::string name = relative.generic_string();
    for (char &c : name) {
        c = c == '/' ? '\\' : static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return name;
}

bool read_whole(const fs::path &path, std::vector<unsigned char> *data) {
    std::ifstream file(path, std::ios::binary);
    data->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

} // namespace

std::vector<RESPACK_ENTRY> respack_entries(const fs::path &root) {
    std::vector<RESPACK_ENTRY> entries;
    for (const auto &item : fs::recursive_directory_iterator(root)) {
        if (item.is_regular_file()) {
            fs::path relative = fs::relative(item.path(), root);
            entries.push_back({game_name(relative), relative.generic_string(), item.path()});
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto &a, const auto &b) { return a.second_name < b.second_name; });
    return entries;
}

bool respack_write(const std::vector<RESPACK_ENTRY> &entries, const fs::path &archive,
                   uint32_t seed, std::string *error) {
    std::mt19937 random(seed);
    std::ofstream out(archive, std::ios::binary | std::ios::trunc);
    if (!out) {
        *error = "cannot create " + archive.string();
        return false;
    }
    std::vector<unsigned char> table;
    uint64_t offset = 0;
    for (const RESPACK_ENTRY &entry : entries) {
        std::vector<unsigned char> data;
        if (!read_whole(entry.source, &data)) {
            *error = "cannot read " + entry.source.string();
            return false;
        }
        auto key = static_cast<unsigned char>(random());
        uLong crc = crc32(crc32(0, nullptr, 0), data.data(), static_cast<uInt>(data.size()));
        for (unsigned char &byte : data) {
            byte ^= key;
        }
        out.write(reinterpret_cast<const char *>(data.data()),
                  static_cast<std::streamsize>(data.size()));
        for (const std::string *name : {&entry.first_name, &entry.second_name}) {
            table.insert(table.end(), name->begin(), name->end());
            table.push_back('\0');
        }
        put_u32(table, static_cast<uint32_t>(offset));
        put_u32(table, static_cast<uint32_t>(data.size()));
        put_u32(table, static_cast<uint32_t>(crc));
        table.push_back(key);
        offset += data.size();
        if (offset + table.size() + XV_ARCHIVE_TRAILER_SIZE > UINT32_MAX) {
            *error = "the archive would pass 4 GiB";
            return false;
        }
    }
    auto table_key = static_cast<unsigned char>(random());
    for (unsigned char &byte : table) {
        byte ^= table_key;
    }
    std::vector<unsigned char> trailer;
    put_u32(trailer, XV_ARCHIVE_MAGIC);
    put_u32(trailer, static_cast<uint32_t>(offset));
    put_u32(trailer, static_cast<uint32_t>(entries.size()));
    trailer.push_back(table_key);
    out.write(reinterpret_cast<const char *>(table.data()),
              static_cast<std::streamsize>(table.size()));
    out.write(reinterpret_cast<const char *>(trailer.data()),
              static_cast<std::streamsize>(trailer.size()));
    if (!out.flush()) {
        *error = "cannot write " + archive.string();
        return false;
    }
    return true;
}
