// The file operations the platform needs of the system: paths as the game
// writes them, and the few operations below the file layer. The append,
// delete and debug-output calls are safe in a fatal-signal handler.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

// The game names files with '\' ("data\texts.txt"), as the desktop file
// system it was written for, which ignored letter case. The native path
// has this system's separators.
std::string os_file_native_path(const char *name);
// The native path, with every component that does not exist as written
// replaced by the one entry of its directory that matches it without regard
// to letter case. A component that matches nothing is kept as written (a
// file about to be created).
std::string os_file_find_path(const char *name);
// The directory the process runs in, ending with a separator.
std::string os_current_directory();

bool os_file_exists(const char *path);
// The file's size in bytes; -1 when it cannot be looked at.
long long os_file_size(const char *path);

// One writer at a time, between programs: an exclusive lock held on a file
// of its own (made when missing and never deleted, so that every program
// locks the same one). Waits at most wait_ms for another holder; null when
// the lock could not be had, and why says why. The system lets it go when
// its holder ends, however it ends.
struct OS_FILE_LOCK;
OS_FILE_LOCK *os_file_lock(const char *lock_path, int wait_ms, std::string *why);
void os_file_unlock(OS_FILE_LOCK *lock);

// Puts bytes in path's place in one step: they are written to temporary
// (beside path), flushed to the disk and renamed over path, and the
// directory is flushed. A reader, or a program killed at any moment, sees
// the old file or the new one, never a part. With a backup name, the file
// that path held is kept there. On failure path is as it was, temporary is
// gone and why says what failed.
bool os_file_replace(const char *path, const char *temporary, const char *backup,
                     std::string_view bytes, std::string *why);

// Whether the program may make and replace files in the directory.
bool os_directory_writable(const char *directory);
// The user's own folder for the program's files (logs, snapshots), ending
// with a separator: $XDG_DATA_HOME/program, or ~/.local/share/program (on
// Windows %LOCALAPPDATA%\program); made when missing. "" when there is
// none, and why says why.
std::string os_user_data_directory(const char *program, std::string *why);
// The user's own folder for the program's settings, ending with a
// separator: $XDG_CONFIG_HOME/program, or ~/.config/program (on Windows
// %APPDATA%\program); made when missing. "" when there is none, and why
// says why.
std::string os_user_config_directory(const char *program, std::string *why);
// The user's own folder for what the program can make again (courses
// built from folders of text), ending with a separator:
// $XDG_CACHE_HOME/program, or ~/.cache/program (on Windows
// %LOCALAPPDATA%\program\cache); made when missing. "" when there is none,
// and why says why.
std::string os_user_cache_directory(const char *program, std::string *why);

// The folder the running program's file is in, ending with a separator;
// "" when the system does not say.
std::string os_program_directory();
// Makes the directory the one the process runs in.
bool os_change_directory(const char *directory);

// Appends the texts, one after the other, to the file, creating it when missing.
bool os_file_append(const char *path, std::initializer_list<std::string_view> texts);
// Deletes the file; false when it did not exist or could not be deleted.
bool os_file_delete(const char *path);
// Writes the texts to the debugger's console (standard error).
void os_debug_output(std::initializer_list<std::string_view> texts);
