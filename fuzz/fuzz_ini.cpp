// Any bytes as a string file: reads, kept or not, find what they find, and
// a write rewrites the file, without a crash or a leak. Half the inputs are
// first spelled out in the pieces string files are made of, so that
// sections and keys are found often.
#include "fuzz_support.h"

namespace {

// The last piece stands for a value longer than a line.
const char *const kPieces[] = {"[",   "]", "=",       "\n", "\r\n", "\r",  "S",
                               "Key", "A", "Display", " ",  "x",    "1,2", nullptr};

void spell_out(const uint8_t *data, size_t size) {
    const std::string long_value(300, 'v');
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        const char *piece = kPieces[data[i] % std::size(kPieces)];
        text += piece ? piece : long_value;
    }
    std::ofstream("test.ini", std::ios::binary) << text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::enter_work_directory();
    if (size && data[0] % 2) {
        spell_out(data + 1, size - 1);
    } else {
        fuzz::write_input("test.ini", data, size);
    }
    fuzz::QuietPlatform platform;
    XV_IO_CONFIG config{0, nullptr, nullptr};
    xv_io_init(&config);
    const char *sections[] = {"S", "Display", ""};
    const char *keys[] = {"Key", "A", ""};
    char value[64];
    for (int kept = 0; kept < 2; ++kept) {
        if (kept) {
            xv_io_ini_set_mode("test.ini", KEEP_OPEN);
        }
        for (const char *section : sections) {
            for (const char *key : keys) {
                int stored = xv_io_ini_read(section, key, value, 16, "test.ini");
                if (stored < 0 || stored > 16 || value[stored] != '\0') {
                    abort();
                }
            }
        }
        if (kept) {
            xv_io_ini_set_mode("test.ini", KEEP_CLOSE);
        }
    }
    int number = 0;
    float real = 0;
    xv_io_ini_read_int("S", "Key", &number, "test.ini");
    xv_io_ini_read_float("S", "A", &real, "test.ini");
    if (!xv_io_ini_write("S", "Key", "1,2,3", "test.ini")) {
        abort();
    }
    xv_io_deinit();
    return 0;
}
