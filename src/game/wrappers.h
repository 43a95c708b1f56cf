// Start-up and shut-down of the platform and engine for the application.
#pragma once

#include <cstdint>
#include <string>

// The application's start-up record, filled by the entry and kept by app_init.
struct AppDescriptor {
    std::string command_line;
    uint32_t heap_size; // bytes of the tracked heap
};

// Starts every module in order; 0 when start-up must stop.
int app_init(AppDescriptor *descriptor);
// Stops the modules in the reverse order; the error module's result.
int app_deinit();
// The orderly shut-down on a close request: heap checks around the game's
// own shut-down, then app_deinit.
int system_deinit();
