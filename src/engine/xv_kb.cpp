#include "xv_kb.h"

#include "gen_info.h"
#include "xv.h"

#include <algorithm>
#include <cstring>

namespace {

// The checks every operation makes, in order; false after the report.
bool usable(const XV_KB *map, int action, const char *caller) {
    const char *fault = nullptr;
    if (!map) {
        fault = "%s: controller cant be a NULL pointer";
    } else if (!(map->flags & XV_KB_INITED)) {
        fault = "%s: controller not inited";
    } else if (action < 0 || action >= XV_KB_MOST) {
        gen_assert(
            xv_str_format("%s: index out of range (min 0 max %i)", caller, XV_KB_MOST).c_str(),
            __FILE__, __LINE__);
        return false;
    }
    if (fault) {
        gen_assert(xv_str_format(fault, caller).c_str(), __FILE__, __LINE__);
        return false;
    }
    return true;
}

void remove_binding(XV_KB *map, int index) {
    for (int i = index; i + 1 < map->count; ++i) {
        map->actions[i] = map->actions[i + 1];
        map->keys[i] = map->keys[i + 1];
        map->thresholds[i] = map->thresholds[i + 1];
    }
    --map->count;
}

void unbind(XV_KB *map, int action) {
    for (int i = map->count - 1; i >= 0; --i) {
        if (map->actions[i] == action) {
            remove_binding(map, i);
        }
    }
}

} // namespace

void xv_kb_init(XV_KB *map) {
    std::memset(map, 0, sizeof *map);
    map->flags = XV_KB_INITED;
}

void xv_kb_clear(XV_KB *map) {
    map->flags = 0;
}

void xv_kb_add_key(XV_KB *map, int action, int scan_code, const int *threshold) {
    if (!usable(map, action, "xv_kb_add_key")) {
        return;
    }
    if (map->count == XV_KB_MOST) {
        gen_assert("xv_kb_add_key: too many keys", __FILE__, __LINE__);
        return;
    }
    map->actions[map->count] = action;
    map->keys[map->count] = scan_code;
    map->thresholds[map->count] = threshold ? *threshold : 0;
    ++map->count;
}

void xv_kb_set_key(XV_KB *map, int action, int scan_code, const int *threshold) {
    if (!usable(map, action, "xv_kb_set_key")) {
        return;
    }
    unbind(map, action);
    xv_kb_add_key(map, action, scan_code, threshold);
}

void xv_kb_remove_key(XV_KB *map, int action) {
    if (!usable(map, action, "xv_kb_remove_key")) {
        return;
    }
    unbind(map, action);
    map->values[action] = 0;
}

int xv_kb_get_key(XV_KB *map, int action) {
    if (!usable(map, action, "xv_kb_get_key")) {
        return 0;
    }
    return map->values[action];
}

void xv_kb_update(XV_KB *map) {
    if (!map || !(map->flags & XV_KB_INITED)) {
        return;
    }
    std::fill(std::begin(map->values), std::end(map->values), 0);
    for (int i = 0; i < map->count; ++i) {
        const int value = xv_input_get_key(map->keys[i] & 0xFF);
        if (value >= map->thresholds[i]) {
            int &action = map->values[map->actions[i]];
            action = std::max(action, value);
        }
    }
}
