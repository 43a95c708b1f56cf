// The platform and its file layer started quietly for a benchmark, with the
// engine's log; BenchEngine adds the engine's model system. Both stop in the
// reverse order.
#pragma once

#include "gen.h"
#include "xv.h"

// The engine's trace off for a timed loop's life, on again after it.
struct BenchQuiet {
    BenchQuiet() { gen_info_set_trace(0); }
    ~BenchQuiet() { gen_info_set_trace(1); }
    BenchQuiet(const BenchQuiet &) = delete;
    BenchQuiet &operator=(const BenchQuiet &) = delete;
};

struct BenchPlatform {
    XV_ERROR_CONFIG errors{0};
    XV_LIST_CONFIG lists{0};
    XV_MEM_CONFIG memory{0, 64 * 1024 * 1024};
    XV_STR_CONFIG strings{0};
    XV_IO_CONFIG files{0, nullptr, nullptr};

    BenchPlatform() {
        xv_error_init(&errors);
        xv_list_init(&lists);
        xv_mem_init(&memory);
        xv_str_init(&strings);
        xv_io_init(&files);
        gen_info_init();
    }
    ~BenchPlatform() {
        gen_info_deinit();
        xv_io_deinit();
        xv_str_deinit();
        xv_mem_deinit();
        xv_list_deinit();
    }
    BenchPlatform(const BenchPlatform &) = delete;
    BenchPlatform &operator=(const BenchPlatform &) = delete;
};

struct BenchEngine : BenchPlatform {
    BenchEngine() {
        gen_tex_init();
        gen_wo2_init();
    }
    ~BenchEngine() {
        gen_wo2_deinit();
        gen_tex_deinit();
    }
};
