// wavgen DIRECTORY: writes every ball effect there as NAME.wav.
#include "wavgen.h"

#include <cstdio>
#include <fstream>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: wavgen DIRECTORY\n");
        return 2;
    }
    for (const std::string &name : wav_effect_names()) {
        const std::vector<uint8_t> file = wav_file(wav_effect(name, 22050), 22050, 1);
        std::ofstream out(std::string(argv[1]) + "/" + name + ".wav", std::ios::binary);
        out.write(reinterpret_cast<const char *>(file.data()),
                  static_cast<std::streamsize>(file.size()));
        if (!out) {
            std::fprintf(stderr, "wavgen: cannot write %s/%s.wav\n", argv[1], name.c_str());
            return 1;
        }
    }
    return 0;
}
