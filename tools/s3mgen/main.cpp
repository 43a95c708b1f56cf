// s3mgen SCORE.TXT OUTPUT.S3M [--wav OUTPUT.WAV]
// Composes the score; with --wav also plays the module once through, by
// libxmp, into a 44.1 kHz stereo WAV (which the build encodes as MP3).
#include "s3mgen.h"
#include "wavgen.h"

#include <xmp.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

constexpr int kRate = 44100;

// One pass through the order, as the game's player would play it.
bool render(const std::vector<unsigned char> &module, std::vector<int16_t> *samples) {
    xmp_context player = xmp_create_context();
    bool played = false;
    if (xmp_load_module_from_memory(player, module.data(), static_cast<long>(module.size())) == 0) {
        if (xmp_start_player(player, kRate, 0) == 0) {
            int16_t buffer[4096];
            while (xmp_play_buffer(player, buffer, sizeof buffer, 1) == 0) {
                samples->insert(samples->end(), std::begin(buffer), std::end(buffer));
            }
            played = !samples->empty();
            xmp_end_player(player);
        }
        xmp_release_module(player);
    }
    xmp_free_context(player);
    return played;
}

} // namespace

int main(int argc, char **argv) {
    const bool wav = argc == 5 && std::strcmp(argv[3], "--wav") == 0;
    if (argc != 3 && !wav) {
        std::fprintf(stderr, "usage: s3mgen SCORE.TXT OUTPUT.S3M [--wav OUTPUT.WAV]\n");
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
    if (!out) {
        return 1;
    }
    if (wav) {
        std::vector<int16_t> samples;
        if (!render(module, &samples)) {
            std::fprintf(stderr, "s3mgen: %s: cannot play it\n", argv[2]);
            return 1;
        }
        const std::vector<uint8_t> file = wav_file(samples, kRate, 2);
        std::ofstream(argv[4], std::ios::binary)
            .write(reinterpret_cast<const char *>(file.data()),
                   static_cast<std::streamsize>(file.size()));
    }
    return 0;
}
