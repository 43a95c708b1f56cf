// The few file operations the platform needs below its own file layer.
// All of them are safe to call from a fatal-signal handler: no allocation.
#pragma once

#include <initializer_list>
#include <string_view>

// Appends the texts, one after the other, to the file, creating it when missing.
bool os_file_append(const char *path, std::initializer_list<std::string_view> texts);
// Deletes the file; false when it did not exist or could not be deleted.
bool os_file_delete(const char *path);
// Writes the texts to the debugger's console (standard error).
void os_debug_output(std::initializer_list<std::string_view> texts);
