#include "os_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <strings.h>
#include <sys/file.h>
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

long long os_file_size(const char *path) {
    struct stat status;
    return stat(path, &status) == 0 ? static_cast<long long>(status.st_size) : -1;
}

// ---- one writer at a time ----------------------------------------------------

struct OS_FILE_LOCK {
    int descriptor;
};

static void say_why(std::string *why, const char *what, int error) {
    if (why) {
        *why = std::string(what) + ": " + strerror(error);
    }
}

static void rest_a_moment(long nanoseconds) {
    timespec pause = {0, nanoseconds};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

OS_FILE_LOCK *os_file_lock(const char *lock_path, int wait_ms, std::string *why) {
    int descriptor = open(lock_path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        say_why(why, "cannot open its lock", errno);
        return nullptr;
    }
    // Asked again every millisecond rather than waited for without end: a
    // copy of the game that hangs holding it must not hang this one too.
    for (int waited = 0;; ++waited) {
        if (flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
            return new OS_FILE_LOCK{descriptor};
        }
        int error = errno;
        if ((error != EWOULDBLOCK && error != EINTR) || waited >= wait_ms) {
            say_why(why, "cannot lock it", error);
            close(descriptor);
            return nullptr;
        }
        rest_a_moment(1000000);
    }
}

void os_file_unlock(OS_FILE_LOCK *lock) {
    if (lock) {
        close(lock->descriptor); // which lets the lock go
        delete lock;
    }
}

// ---- files replaced whole ----------------------------------------------------

static std::string directory_of(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

static bool write_durably(const char *path, std::string_view bytes, std::string *why) {
    int descriptor = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        say_why(why, "cannot create the new file", errno);
        return false;
    }
    bool written = write_all(descriptor, bytes);
    int error = errno;
    if (written && fsync(descriptor) != 0) {
        written = false;
        error = errno;
    }
    if (close(descriptor) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        say_why(why, "cannot write the new file", error);
    }
    return written;
}

// The directory's entries reach the disk, so that a rename survives a
// power cut. Some file systems cannot do it; the rename stands anyway.
static void sync_directory(const std::string &directory) {
    int descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        fsync(descriptor);
        close(descriptor);
    }
}

// What path holds stays as the backup: a second name for the same file,
// made beside the backup and renamed over it, so that the backup too is
// always whole, and which the rename over path does not touch. Where a
// file system has no second names, the file itself becomes the backup;
// path is then missing for a moment, which the settings' recovery puts
// right.
static bool keep_backup(const char *path, const char *backup, std::string *why) {
    if (!os_file_exists(path)) {
        return true;
    }
    std::string second = std::string(backup) + ".new";
    unlink(second.c_str());
    if (link(path, second.c_str()) == 0 && rename(second.c_str(), backup) == 0) {
        return true;
    }
    unlink(second.c_str());
    if (rename(path, backup) == 0) {
        return true;
    }
    say_why(why, "cannot keep the backup", errno);
    return false;
}

bool os_file_replace(const char *path, const char *temporary, const char *backup,
                     std::string_view bytes, std::string *why) {
    if (!write_durably(temporary, bytes, why) || (backup && !keep_backup(path, backup, why))) {
        unlink(temporary);
        return false;
    }
    if (rename(temporary, path) != 0) {
        say_why(why, "cannot rename the new file over the old", errno);
        unlink(temporary);
        return false;
    }
    sync_directory(directory_of(path));
    return true;
}

// ---- where the program may write ---------------------------------------------

bool os_directory_writable(const char *directory) {
    return access(directory && *directory ? directory : ".", W_OK | X_OK) == 0;
}

// Makes every missing directory of the path.
static bool make_directories(const std::string &path, std::string *why) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            say_why(why, ("cannot make " + part).c_str(), errno);
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

// The user's folder named by the variable, or the one under the home
// folder that stands for it when the variable names none.
static std::string own_folder(const char *variable, const char *under_home, const char *program,
                              std::string *why) {
    std::string base;
    if (const char *named = getenv(variable); named && named[0] == '/') {
        base = named;
    } else {
        const char *home = getenv("HOME");
        if (!home || home[0] != '/') {
            const passwd *user = getpwuid(getuid());
            home = user ? user->pw_dir : nullptr;
        }
        if (!home || home[0] != '/') {
            if (why) {
                *why = "no home folder is known";
            }
            return "";
        }
        base = std::string(home) + "/" + under_home;
    }
    std::string directory = base + "/" + program;
    if (!make_directories(directory, why)) {
        return "";
    }
    if (!os_directory_writable(directory.c_str())) {
        say_why(why, ("cannot write in " + directory).c_str(), errno);
        return "";
    }
    return directory + "/";
}

std::string os_user_data_directory(const char *program, std::string *why) {
    return own_folder("XDG_DATA_HOME", ".local/share", program, why);
}

std::string os_user_config_directory(const char *program, std::string *why) {
    return own_folder("XDG_CONFIG_HOME", ".config", program, why);
}

std::string os_user_cache_directory(const char *program, std::string *why) {
    return own_folder("XDG_CACHE_HOME", ".cache", program, why);
}

std::string os_program_directory() {
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        return "";
    }
    std::string path(buffer, static_cast<size_t>(length));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool os_change_directory(const char *directory) {
    return chdir(directory) == 0;
}
