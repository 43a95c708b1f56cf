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
bool os_file_rename(const char *from, const char *to);
// Writes the stream's buffers through to the disk.
bool os_file_sync(FILE *stream);

// Appends the texts, one after the other, to the file, creating it when missing.
bool os_file_append(const char *path, std::initializer_list<std::string_view> texts);
// Deletes the file; false when it did not exist or could not be deleted.
bool os_file_delete(const char *path);
// Writes the texts to the debugger's console (standard error).
void os_debug_output(std::initializer_list<std::string_view> texts);
