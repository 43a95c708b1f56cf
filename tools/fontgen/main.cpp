// fontgen --font FILE.ttf --name NAME --size PIXELS --codes LIST --out PATH
//         [--codes-from TEXT.txt ...] [--cell WxH] [--columns N] [--colour RRGGBB]
// --codes-from adds every character a UTF-8 text uses: a font for the texts
// of a language holds just the glyphs they need.
#include "fontgen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

int usage() {
    fprintf(stderr, "usage: fontgen --font FILE.ttf --name NAME --size PIXELS --codes LIST "
                    "--out PATH [--codes-from TEXT] [--cell WxH] [--columns N] "
                    "[--colour RRGGBB]\n");
    return 2;
}

// The code points of a UTF-8 file from space on, added once each.
bool add_codes_of(const char *path, std::vector<uint32_t> *codes) {
    FILE *file = fopen(path, "rb");
    if (!file) {
        return false;
    }
    std::set<uint32_t> seen(codes->begin(), codes->end());
    int c;
    while ((c = fgetc(file)) != EOF) {
        uint32_t code = static_cast<uint32_t>(c);
        int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        code &= more == 3 ? 0x07 : more == 2 ? 0x0F : more == 1 ? 0x1F : 0xFF;
        for (; more > 0 && (c = fgetc(file)) != EOF; --more) {
            code = code << 6 | (static_cast<uint32_t>(c) & 0x3F);
        }
        if (code >= 32 && seen.insert(code).second) {
            codes->push_back(code);
        }
    }
    fclose(file);
    std::sort(codes->begin(), codes->end());
    return true;
}

bool parse_colour(const char *text, uint8_t rgb[3]) {
    char *end = nullptr;
    unsigned long value = strtoul(text, &end, 16);
    if (strlen(text) != 6 || *end) {
        return false;
    }
    rgb[0] = static_cast<uint8_t>(value >> 16);
    rgb[1] = static_cast<uint8_t>(value >> 8);
    rgb[2] = static_cast<uint8_t>(value);
    return true;
}

} // namespace

int main(int argc, char **argv) {
    FontRequest request;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        const char *value = argv[i + 1];
        bool valid = true;
        if (option == "--font") {
            request.font_file = value;
        } else if (option == "--name") {
            request.name = value;
        } else if (option == "--out") {
            request.output = value;
        } else if (option == "--size") {
            request.pixel_size = atoi(value);
        } else if (option == "--columns") {
            request.columns = atoi(value);
        } else if (option == "--cell") {
            valid = sscanf(value, "%dx%d", &request.cell_width, &request.cell_height) == 2;
        } else if (option == "--codes") {
            valid = parse_code_list(value, &request.codes);
        } else if (option == "--codes-from") {
            valid = add_codes_of(value, &request.codes);
        } else if (option == "--colour") {
            valid = parse_colour(value, request.colour);
        } else {
            valid = false;
        }
        if (!valid) {
            fprintf(stderr, "fontgen: bad option %s %s\n", option.c_str(), value);
            return usage();
        }
    }
    if (argc % 2 == 0 || request.font_file.empty() || request.output.empty() ||
        request.codes.empty()) {
        return usage();
    }
    if (request.name.empty()) {
        request.name = request.output;
    }
    std::string error;
    if (!generate_font(request, &error)) {
        fprintf(stderr, "fontgen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
