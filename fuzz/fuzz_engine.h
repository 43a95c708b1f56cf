// The engine's model readers started quietly around each input, over the
// platform and its file layer, and stopped in the reverse order.
#pragma once

#include "fuzz_support.h"
#include "gen.h"

namespace fuzz {

// The file layer and the engine's log, without its trace: thousands of
// inputs a minute would write hundreds of megabytes of it.
struct QuietFiles {
    QuietPlatform platform;
    XV_IO_CONFIG files{0, nullptr, nullptr};

    QuietFiles() {
        xv_io_init(&files);
        gen_info_init();
        gen_info_set_trace(0);
    }
    ~QuietFiles() {
        gen_info_deinit();
        xv_io_deinit();
    }
    QuietFiles(const QuietFiles &) = delete;
    QuietFiles &operator=(const QuietFiles &) = delete;
};

struct QuietEngine {
    QuietFiles files;

    QuietEngine() {
        gen_tex_init();
        gen_wo2_init();
    }
    ~QuietEngine() {
        gen_wo2_deinit();
        gen_tex_deinit();
    }
    QuietEngine(const QuietEngine &) = delete;
    QuietEngine &operator=(const QuietEngine &) = delete;
};

} // namespace fuzz
