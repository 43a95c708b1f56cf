// s3mgen SCORE.TXT OUTPUT.S3M
#include "s3mgen.h"

#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: s3mgen SCORE.TXT OUTPUT.S3M\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<unsigned char> module;
    std::string error;
    if (!in || !s3m_compose(text.str(), &module, &error)) {
        std::fprintf(stderr, "s3mgen: %s: %s\n", argv[1], in ? error.c_str() : "cannot read");
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char *>(module.data()),
              static_cast<std::streamsize>(module.size()));
    return out ? 0 : 1;
}
