// The engine's model readers started quietly around each input, over the
// platform and its file layer, and stopped in the reverse order.
#pragma once

#include "fuzz_support.h"
#include "gen.h"

namespace fuzz {

struct QuietEngine {
    QuietPlatform platform;
    XV_IO_CONFIG files{0, nullptr, nullptr};

    QuietEngine() {
        xv_io_init(&files);
        gen_info_init();
        gen_tex_init();
        gen_wo2_init();
    }
    ~QuietEngine() {
        gen_wo2_deinit();
        gen_tex_deinit();
        gen_info_deinit();
        xv_io_deinit();
    }
    QuietEngine(const QuietEngine &) = delete;
    QuietEngine &operator=(const QuietEngine &) = delete;
};

} // namespace fuzz
