// The file operations on Windows. The file system ignores letter case
// itself, takes '/' and '\' alike, and has no rename that replaces: files
// are put in place with MoveFileEx, which does.
#include "os_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

// Binary, so that the bytes written are the bytes given; not inherited, so
// that a program the game starts does not hold its files open.
constexpr int kWriteFlags = _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT;

bool write_all(int descriptor, std::string_view text) {
    while (!text.empty()) {
        unsigned chunk = text.size() > (1u << 30) ? (1u << 30) : static_cast<unsigned>(text.size());
        int written = _write(descriptor, text.data(), chunk);
        if (written <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool write_all(int descriptor, std::initializer_list<std::string_view> texts) {
    for (std::string_view text : texts) {
        if (!write_all(descriptor, text)) {
            return false;
        }
    }
    return true;
}

// The system's own words for its last error, without the line break it ends them with.
std::string system_words(DWORD error) {
    char text[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                          text[length - 1] == ' ' || text[length - 1] == '.')) {
        text[--length] = '\0';
    }
    return length ? std::string(text) : "error " + std::to_string(error);
}

void say_why(std::string *why, const char *what, DWORD error) {
    if (why) {
        *why = std::string(what) + ": " + system_words(error);
    }
}

void say_why_errno(std::string *why, const char *what, int error) {
    if (why) {
        *why = std::string(what) + ": " + strerror(error);
    }
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

} // namespace

bool os_file_append(const char *path, std::initializer_list<std::string_view> texts) {
    int descriptor = _open(path, kWriteFlags | _O_APPEND, _S_IREAD | _S_IWRITE);
    if (descriptor < 0) {
        return false;
    }
    bool written = write_all(descriptor, texts);
    return _close(descriptor) == 0 && written;
}

bool os_file_delete(const char *path) {
    return DeleteFileA(path) != 0;
}

void os_debug_output(std::initializer_list<std::string_view> texts) {
    write_all(2, texts);
}

std::string os_file_native_path(const char *name) {
    std::string path = name ? name : "";
    for (char &c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

bool os_file_exists(const char *path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The file system finds names without regard to case already.
std::string os_file_find_path(const char *name) {
    return os_file_native_path(name);
}

std::string os_current_directory() {
    char buffer[MAX_PATH + 1];
    DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer) {
        return "";
    }
    std::string directory(buffer, length);
    if (!is_separator(directory.back())) {
        directory += '\\';
    }
    return directory;
}

long long os_file_size(const char *path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        return -1;
    }
    return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// ---- one writer at a time ----------------------------------------------------

struct OS_FILE_LOCK {
    HANDLE file;
};

OS_FILE_LOCK *os_file_lock(const char *lock_path, int wait_ms, std::string *why) {
    HANDLE file = CreateFileA(lock_path, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        say_why(why, "cannot open its lock", GetLastError());
        return nullptr;
    }
    // Asked again every millisecond rather than waited for without end: a
    // copy of the game that hangs holding it must not hang this one too.
    for (int waited = 0;; ++waited) {
        OVERLAPPED whole{};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &whole)) {
            return new OS_FILE_LOCK{file};
        }
        DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION || waited >= wait_ms) {
            say_why(why, "cannot lock it", error);
            CloseHandle(file);
            return nullptr;
        }
        Sleep(1);
    }
}

void os_file_unlock(OS_FILE_LOCK *lock) {
    if (lock) {
        CloseHandle(lock->file); // which lets the lock go
        delete lock;
    }
}

// ---- files replaced whole ----------------------------------------------------

namespace {

bool write_durably(const char *path, std::string_view bytes, std::string *why) {
    int descriptor = _open(path, kWriteFlags | _O_TRUNC, _S_IREAD | _S_IWRITE);
    if (descriptor < 0) {
        say_why_errno(why, "cannot create the new file", errno);
        return false;
    }
    bool written = write_all(descriptor, bytes);
    int error = errno;
    if (written && _commit(descriptor) != 0) {
        written = false;
        error = errno;
    }
    if (_close(descriptor) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        say_why_errno(why, "cannot write the new file", error);
    }
    return written;
}

bool move_over(const char *from, const char *to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// What path holds stays as the backup: a second name for the same file,
// made beside the backup and moved over it, so that the backup too is
// always whole, and which the move over path does not touch. Where a
// file system has no second names, the file itself becomes the backup;
// path is then missing for a moment, which the settings' recovery puts
// right.
bool keep_backup(const char *path, const char *backup, std::string *why) {
    if (!os_file_exists(path)) {
        return true;
    }
    std::string second = std::string(backup) + ".new";
    DeleteFileA(second.c_str());
    if (CreateHardLinkA(second.c_str(), path, nullptr) && move_over(second.c_str(), backup)) {
        return true;
    }
    DeleteFileA(second.c_str());
    if (move_over(path, backup)) {
        return true;
    }
    say_why(why, "cannot keep the backup", GetLastError());
    return false;
}

} // namespace

bool os_file_replace(const char *path, const char *temporary, const char *backup,
                     std::string_view bytes, std::string *why) {
    if (!write_durably(temporary, bytes, why) || (backup && !keep_backup(path, backup, why))) {
        DeleteFileA(temporary);
        return false;
    }
    // Written through: the directory's entry is on the disk when it returns.
    if (!move_over(temporary, path)) {
        say_why(why, "cannot rename the new file over the old", GetLastError());
        DeleteFileA(temporary);
        return false;
    }
    return true;
}

// ---- where the program may write ---------------------------------------------

// The attributes of a folder say nothing of who may write in it: a file
// made and dropped there does.
bool os_directory_writable(const char *directory) {
    std::string folder = directory && *directory ? directory : ".";
    if (!is_separator(folder.back())) {
        folder += '\\';
    }
    std::string probe = folder + "pinwheel-" + std::to_string(GetCurrentProcessId()) + ".probe";
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

namespace {

// Makes every missing folder of the path.
bool make_directories(const std::string &path, std::string *why) {
    for (size_t slash = path.find_first_of("\\/", 3);;
         slash = path.find_first_of("\\/", slash + 1)) {
        std::string part = path.substr(0, slash);
        if (!part.empty() && !CreateDirectoryA(part.c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            say_why(why, ("cannot make " + part).c_str(), GetLastError());
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

// The user's folder named by the variable, with the program's folder in it,
// made when missing.
std::string own_folder(const char *variable, const char *program, std::string *why) {
    const char *base = getenv(variable);
    if (!base || !*base) {
        if (why) {
            *why = std::string("%") + variable + "% names no folder";
        }
        return "";
    }
    std::string directory = std::string(base) + "\\" + program;
    if (!make_directories(directory, why)) {
        return "";
    }
    if (!os_directory_writable(directory.c_str())) {
        say_why(why, ("cannot write in " + directory).c_str(), GetLastError());
        return "";
    }
    return directory + "\\";
}

} // namespace

// What the game keeps for itself on this machine (logs, snapshots) stays on it.
std::string os_user_data_directory(const char *program, std::string *why) {
    return own_folder("LOCALAPPDATA", program, why);
}

// The settings and best scores travel with the user's profile.
std::string os_user_config_directory(const char *program, std::string *why) {
    return own_folder("APPDATA", program, why);
}

std::string os_user_cache_directory(const char *program, std::string *why) {
    return own_folder("LOCALAPPDATA", (std::string(program) + "\\cache").c_str(), why);
}

std::string os_program_directory() {
    char buffer[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) {
        return "";
    }
    std::string path(buffer, length);
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool os_change_directory(const char *directory) {
    return SetCurrentDirectoryA(directory) != 0;
}
