// WAV files, raw or built from the input around a well-formed header whose
// sizes and chunk names it bends: the reader refuses or reads, never reads
// past the file, and what it reads is as long as the data chunk says.
#include "fuzz_support.h"

#include <cstring>
#include <vector>

namespace {

void put32(std::vector<uint8_t> &out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// A header whose every field the input may replace.
std::vector<uint8_t> shaped(const uint8_t *data, size_t size) {
    size_t at = 0;
    auto next = [&](uint32_t otherwise) -> uint32_t {
        if (at + 4 > size) {
            return otherwise;
        }
        uint32_t value;
        std::memcpy(&value, data + at, 4);
        at += 4;
        return value % 4 ? otherwise : value; // mostly well formed
    };
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    put32(out, next(1000));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    const uint32_t fmt_size = next(16) % 64;
    put32(out, fmt_size);
    put32(out, next(1 | 1 << 16));
    put32(out, next(22050));
    put32(out, next(44100));
    put32(out, next(2 | 16 << 16));
    out.resize(20 + std::max<uint32_t>(fmt_size, 16), 0);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, next(static_cast<uint32_t>(size)));
    out.insert(out.end(), data + std::min(at, size), data + size);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::enter_work_directory();
    if (size && data[0] % 2) {
        std::vector<uint8_t> file = shaped(data + 1, size - 1);
        fuzz::write_input("test.wav", file.data(), file.size());
    } else {
        fuzz::write_input("test.wav", data, size);
    }
    fuzz::QuietPlatform platform;
    XV_IO_CONFIG config{0, nullptr, nullptr};
    xv_io_init(&config);
    int rate = 0, channels = 0, bits = 0;
    std::vector<uint8_t> samples;
    if (xv_snd_read_wave("test.wav", &rate, &channels, &bits, &samples) &&
        samples.size() > size + 64) {
        abort(); // more bytes than the file had
    }
    xv_io_deinit();
    return 0;
}
