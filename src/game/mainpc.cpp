// The program's entry.
#include "wrappers.h"

namespace {

constexpr uint32_t kHeapSize = 16 * 1024 * 1024;

AppDescriptor descriptor;

std::string join_arguments(int count, char **arguments) {
    std::string line;
    for (int i = 1; i < count; ++i) {
        line += (i > 1 ? " " : "");
        line += arguments[i];
    }
    return line;
}

} // namespace

int main(int argc, char **argv) {
    descriptor.command_line = join_arguments(argc, argv);
    descriptor.heap_size = kHeapSize;
    if (!app_init(&descriptor)) {
        return 0;
    }
    // Without a window there is no frame to run: the program stops in order
    // as soon as it has started.
    system_deinit();
    return 0;
}
