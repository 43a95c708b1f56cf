// The platform, its file layer and the engine's model system started
// quietly for a benchmark, and stopped in the reverse order.
#pragma once

#include "gen.h"
#include "xv.h"

struct BenchEngine {
    XV_ERROR_CONFIG errors{0};
    XV_LIST_CONFIG lists{0};
    XV_MEM_CONFIG memory{0, 64 * 1024 * 1024};
    XV_STR_CONFIG strings{0};
    XV_IO_CONFIG files{0, nullptr, nullptr};

    BenchEngine() {
        xv_error_init(&errors);
        xv_list_init(&lists);
        xv_mem_init(&memory);
        xv_str_init(&strings);
        xv_io_init(&files);
        gen_info_init();
        gen_tex_init();
        gen_wo2_init();
    }
    ~BenchEngine() {
        gen_wo2_deinit();
        gen_tex_deinit();
        gen_info_deinit();
        xv_io_deinit();
        xv_str_deinit();
        xv_mem_deinit();
        xv_list_deinit();
    }
    BenchEngine(const BenchEngine &) = delete;
    BenchEngine &operator=(const BenchEngine &) = delete;
};
