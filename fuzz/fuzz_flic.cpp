// Any bytes as an FLI or FLC file, or an animation the writer made from the
// input (every chunk kind, in any order) with a few bytes then changed:
// every frame is played and drawn, and nothing is written past the frame.
#include "flic_writer.h"
#include "fuzz_picture.h"

#include <vector>

namespace {

std::string animation(fuzz::Bytes &input) {
    int kind = input.next() % 2 + 1;
    int width = input.next() % 24 + 1;
    int height = input.next() % 24 + 1;
    FlicWriter writer(kind, width, height, input.next());
    std::vector<uint8_t> before(static_cast<size_t>(width) * height);
    std::vector<uint8_t> after(before.size());
    std::vector<uint8_t> rgb(768);
    for (int frame = input.next() % 5; frame >= 0; --frame) {
        writer.begin_frame();
        for (uint8_t &value : after) {
            value = input.next() % 4 ? value : input.next();
        }
        for (int chunk = input.next() % 3; chunk >= 0; --chunk) {
            switch (input.next() % 7) {
            case 0:
                for (uint8_t &value : rgb) {
                    value = input.next();
                }
                writer.colours(rgb.data(), input.next() % 2);
                break;
            case 1:
                writer.byte_run(after.data());
                break;
            case 2:
                writer.copy(after.data());
                break;
            case 3:
                writer.black();
                break;
            case 4:
                writer.delta_fli(before.data(), after.data());
                break;
            case 5:
                writer.delta_flc(before.data(), after.data());
                break;
            default:
                writer.prefix();
                break;
            }
        }
        writer.end_frame();
        before = after;
    }
    return writer.bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::enter_work_directory();
    fuzz::Bytes input(data, size);
    std::string bytes;
    if (input.next() % 2) {
        bytes = animation(input);
        fuzz::damage(bytes, input);
    } else {
        bytes = input.rest();
    }
    fuzz::write_input("anim.flc", reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    fuzz::QuietPlatform platform;
    XV_IO_CONFIG config{0, nullptr, nullptr};
    xv_io_init(&config);
    XV_FLIC flic{};
    if (xv_flic_open(&flic, "anim.flc", 1)) {
        XV_BITMAP target{};
        XV_RECT area = {0, 0, 16, 16};
        xv_bit_alloc(&target, &area, XV_BIT_BPP32);
        for (int frame = 0; frame < 8; ++frame) {
            xv_flic_next_frame(&flic, 1);
            xv_flic_draw(&flic, &target, frame % 3);
        }
        xv_bit_free(&target);
        xv_flic_close(&flic);
    }
    xv_io_deinit();
    return 0;
}
