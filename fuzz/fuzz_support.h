// What the fuzz targets share: a private working directory, and the
// platform started quietly around each input.
#pragma once

#include "xv.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fuzz {

// Moves into a directory of this process's own, once; it goes when the
// process ends normally.
inline void enter_work_directory() {
    static std::string directory;
    static bool entered = [] {
        directory = (std::filesystem::temp_directory_path() / "fuzz-XXXXXX").string();
        if (!mkdtemp(directory.data()) || chdir(directory.c_str()) != 0) {
            abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(directory, ignored);
        });
        return true;
    }();
    (void)entered;
}

inline void write_input(const char *name, const uint8_t *data, size_t size) {
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
}

// Error reports off, the tracker on: whatever the input, nothing may leak.
struct QuietPlatform {
    static constexpr int kFaults[3] = {SIGILL, SIGFPE, SIGSEGV};
    XV_ERROR_CONFIG errors{0};
    XV_LIST_CONFIG lists{0};
    XV_MEM_CONFIG memory{0, 256 * 1024};
    XV_STR_CONFIG strings{0};

    QuietPlatform() {
        // The error module's fault reports would take the signals from the
        // fuzzer, which could then not keep the input that crashed.
        struct sigaction fuzzer[3];
        for (int i = 0; i < 3; ++i) {
            sigaction(kFaults[i], nullptr, &fuzzer[i]);
        }
        xv_error_init(&errors);
        for (int i = 0; i < 3; ++i) {
            sigaction(kFaults[i], &fuzzer[i], nullptr);
        }
        xv_list_init(&lists);
        xv_mem_init(&memory);
        xv_str_init(&strings);
    }
    ~QuietPlatform() {
        xv_str_deinit();
        if (xv_mem_deinit() != 1) {
            abort();
        }
        xv_list_deinit();
    }
};

} // namespace fuzz
