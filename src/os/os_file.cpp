#include "os_file.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
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

std::string os_file_native_path(const char *name) {
    std::string path = name ? name : "";
    for (char &c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    return path;
}

bool os_file_exists(const char *path) {
    struct stat status;
    return stat(path, &status) == 0;
}

// The entry of directory that matches name without regard to case, or "".
static std::string find_entry(const std::string &directory, const std::string &name) {
    DIR *listing = opendir(directory.empty() ? "." : directory.c_str());
    if (!listing) {
        return "";
    }
    std::string found;
    while (dirent *entry = readdir(listing)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(listing);
    return found;
}

std::string os_file_find_path(const char *name) {
    std::string wanted = os_file_native_path(name);
    if (wanted.empty() || os_file_exists(wanted.c_str())) {
        return wanted;
    }
    std::string path = wanted[0] == '/' ? "/" : "";
    size_t start = path.size();
    while (start <= wanted.size()) {
        size_t end = wanted.find('/', start);
        if (end == std::string::npos) {
            end = wanted.size();
        }
        std::string component = wanted.substr(start, end - start);
        if (!component.empty()) {
            std::string candidate = path + component;
            if (!os_file_exists(candidate.c_str())) {
                std::string match = find_entry(path, component);
                candidate = path + (match.empty() ? component : match);
            }
            path = candidate + (end < wanted.size() ? "/" : "");
        }
        start = end + 1;
    }
    return path;
}

std::string os_current_directory() {
    char buffer[4096];
    if (!getcwd(buffer, sizeof buffer)) {
        return "";
    }
    std::string directory = buffer;
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
    return directory;
}

bool os_file_rename(const char *from, const char *to) {
    return rename(from, to) == 0;
}

bool os_file_sync(FILE *stream) {
    return fflush(stream) == 0 && fsync(fileno(stream)) == 0;
}
