// Key maps: up to 30 keys bound to up to 30 numbered actions, each with a
// threshold; the action values follow the keyboard state at every update.
// A misuse (no map, a map not initialised, an action out of range) is an
// engine assertion, reported with the caller's name.
#pragma once

#include <cstdint>

enum { XV_KB_MOST = 30, XV_KB_INITED = 1 };

struct XV_KB {
    uint32_t flags;
    int32_t count;
    int32_t actions[XV_KB_MOST];
    int32_t keys[XV_KB_MOST];
    int32_t thresholds[XV_KB_MOST];
    int32_t values[XV_KB_MOST]; // by action
};

void xv_kb_init(XV_KB *map);
void xv_kb_clear(XV_KB *map);
// Appends a binding; a null threshold is 0.
void xv_kb_add_key(XV_KB *map, int action, int scan_code, const int *threshold);
// Removes every binding of the action, then appends this one.
void xv_kb_set_key(XV_KB *map, int action, int scan_code, const int *threshold);
// Removes every binding of the action: it stays at 0.
void xv_kb_remove_key(XV_KB *map, int action);
int xv_kb_get_key(XV_KB *map, int action);
void xv_kb_update(XV_KB *map);
