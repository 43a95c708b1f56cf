// A copy of the game's settings writer and nothing else, for the test that
// kills it before each system call of a rewrite: it names the file as the
// game names its settings (which puts right a write that was cut off) and
// then writes the keys given in one rewrite.
//
//     ini_writer FILE [SECTION KEY=VALUE...]
//
// It calls getppid() first, so that a trace of it shows where its own work
// begins, after the program's loading. Exit status 0 when the keys were
// written.
#include "xv.h"

#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char **argv) {
    getppid();
    if (argc < 2) {
        return 2;
    }
    xv_io_set_settings_file(argv[1]);
    if (argc < 4) {
        return 0;
    }
    std::vector<std::string> pairs(argv + 3, argv + argc);
    std::vector<XV_INI_KEY> keys;
    for (std::string &pair : pairs) {
        size_t equals = pair.find('=');
        if (equals == std::string::npos) {
            return 2;
        }
        pair[equals] = '\0';
        keys.push_back({pair.c_str(), pair.c_str() + equals + 1});
    }
    return xv_io_ini_write_keys(argv[2], keys.data(), static_cast<int>(keys.size()), argv[1]) ? 0
                                                                                              : 1;
}
