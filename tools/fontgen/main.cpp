// fontgen --font FILE.ttf --name NAME --size PIXELS --codes LIST --out PATH
//         [--cell WxH] [--columns N] [--colour RRGGBB]
#include "fontgen.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage() {
    fprintf(stderr, "usage: fontgen --font FILE.ttf --name NAME --size PIXELS --codes LIST "
                    "--out PATH [--cell WxH] [--columns N] [--colour RRGGBB]\n");
    return 2;
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
