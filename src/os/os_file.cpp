#include "os_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

static bool write_all(int descriptor, std::string_view text) {
    while (!text.empty()) {
        ssize_t written = write(descriptor, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

static bool write_all(int descriptor, std::initializer_list<std::string_view> texts) {
    for (std::string_view text : texts) {
        if (!write_all(descriptor, text)) {
            return false;
        }
    }
    return true;
}

bool os_file_append(const char *path, std::initializer_list<std::string_view> texts) {
    int descriptor = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        return false;
    }
    bool written = write_all(descriptor, texts);
    return close(descriptor) == 0 && written;
}

bool os_file_delete(const char *path) {
    return unlink(path) == 0;
}

void os_debug_output(std::initializer_list<std::string_view> texts) {
    write_all(STDERR_FILENO, texts);
}
