#include "xv_play.h"

#include "xv_error.h"
#include "xv_input.h"
#include "xv_list.h"
#include "xv_mem.h"

#include <cstring>

namespace {

const char *const kMessages[] = {
    "Passed a NULL player",
    "Tried to remove a player never registered",
    "Trying to assign control that doesn't exist",
    " ",
    "Trying to assign a configuration out of limit in xv_play_setup",
    nullptr,
};

// A player's controls: which configurations are on, and for every action
// the state byte each row of each configuration reads.
struct ControlBlock {
    uint32_t word;
    uint8_t enabled[XV_PLAY_CONFIGURATIONS];
    const uint8_t *controls[XV_PLAY_ACTIONS][XV_PLAY_ROWS][XV_PLAY_CONFIGURATIONS];
    XV_PLAY_PLAYER *player;
};

// The first player gets the arrows, the mouse and the joystick; every
// later one a second set of keys alone.
constexpr int kFirstPlayer[XV_PLAY_ACTIONS][XV_PLAY_ROWS] = {
    {200, 400, 500}, {208, 401, 501}, {203, 402, 502}, {205, 403, 503},
    {23, 404, 504},  {24, 405, 505},  {57, 406, 506},  {28, 407, 507},
};
constexpr int kLaterPlayers[XV_PLAY_ACTIONS] = {17, 31, 30, 32, 19, 33, 42, 29};

struct Players {
    XV_PLAY_CONFIG *config = nullptr;
    int module = -1;
    XV_LIST *list = nullptr;
    bool next_is_first = true;
};
Players players;

void report(int code) {
    xv_error_report(players.module, code,
                    (players.config && players.config->report) || xv_error_reporting());
}

// Control 0 is no control: it stays unbound.
const uint8_t *bind(int id) {
    if (id == 0) {
        return nullptr;
    }
    const uint8_t *control = xv_input_control(id);
    if (!control) {
        report(XV_PLAY_ERR_NO_CONTROL);
    }
    return control;
}

void set_defaults(ControlBlock *block, bool first) {
    block->enabled[0] = 1;
    for (int action = 0; action < XV_PLAY_ACTIONS; ++action) {
        for (int row = 0; row < XV_PLAY_ROWS; ++row) {
            const int id = first ? kFirstPlayer[action][row] : row == 0 ? kLaterPlayers[action] : 0;
            for (int c = 0; c < XV_PLAY_CONFIGURATIONS; ++c) {
                block->controls[action][row][c] = bind(id);
            }
        }
    }
}

uint8_t action_state(const ControlBlock &block, int action) {
    uint8_t state = 0;
    for (int c = 0; c < XV_PLAY_CONFIGURATIONS && state == 0; ++c) {
        if (!block.enabled[c]) {
            continue;
        }
        for (int row = 0; row < XV_PLAY_ROWS; ++row) {
            if (const uint8_t *control = block.controls[action][row][c]) {
                state |= *control;
            }
        }
    }
    return state;
}

ControlBlock *registration_of(const XV_PLAY_PLAYER *player) {
    for (XV_LIST_NODE *node = players.list->head; node; node = node->next) {
        auto *block = static_cast<ControlBlock *>(node->item);
        if (block->player == player) {
            return block;
        }
    }
    return nullptr;
}

} // namespace

int xv_play_init(XV_PLAY_CONFIG *config) {
    if (!config) {
        return 0;
    }
    players.config = config;
    players.module = xv_error_register("Player", kMessages);
    xv_list_create(&players.list);
    players.next_is_first = true;
    return 1;
}

void xv_play_deinit() {
    if (!players.list) {
        return;
    }
    while (void *block = xv_list_pop_first(players.list)) {
        XV_FREE(block);
    }
    xv_list_destroy(players.list);
    players.list = nullptr;
}

int xv_play_module() {
    return players.module;
}

int xv_play_add(XV_PLAY_PLAYER *player) {
    if (!player || !players.list) {
        report(XV_PLAY_ERR_NULL);
        return 0;
    }
    std::memset(player, 0, sizeof *player);
    // A record registered again (the game adds its ball players anew with
    // every hole) keeps the one registration it has, controls and all:
    // a second block would only write the same record, and pile up.
    if (registration_of(player)) {
        return 1;
    }
    auto *block = static_cast<ControlBlock *>(XV_CALLOC(1, sizeof(ControlBlock)));
    if (!block) {
        report(XV_PLAY_ERR_NULL);
        return 0;
    }
    set_defaults(block, players.next_is_first);
    players.next_is_first = false;
    block->player = player;
    xv_list_append(players.list, block);
    return 1;
}

void xv_play_remove(XV_PLAY_PLAYER *player) {
    if (!player) {
        report(XV_PLAY_ERR_NULL);
        return;
    }
    bool found = false;
    xv_list_rewind(players.list);
    while (xv_list_has_next(players.list)) {
        auto *block = static_cast<ControlBlock *>(xv_list_next(players.list));
        if (block->player == player) {
            xv_list_remove(players.list, block);
            XV_FREE(block);
            found = true;
        }
    }
    if (!found) {
        report(XV_PLAY_ERR_NOT_REGISTERED);
    }
}

void xv_play_update() {
    if (!players.list) {
        return;
    }
    xv_list_rewind(players.list);
    while (xv_list_has_next(players.list)) {
        const auto *block = static_cast<const ControlBlock *>(xv_list_next(players.list));
        for (int action = 0; action < XV_PLAY_ACTIONS; ++action) {
            block->player->actions[action] = action_state(*block, action);
        }
    }
}
