// The game's world as a level needs it, for a benchmark: the platform, a
// keyboard nobody touches, the player controls, a clock of the benchmark's
// own (so that the balls' 5 ms gate always opens) and the engine's world;
// all stopped in the reverse order, the level first.
#pragma once

#include "bench_engine.h"

#include "game.h"
#include "os_input.h"
#include "os_time.h"

struct BenchGame : BenchPlatform {
    OS_INPUT_FAKE devices{};
    XV_INPUT_CONFIG input{0, 1};
    XV_PLAY_CONFIG controls{0};
    uint32_t clock = 1000;

    BenchGame() {
        os_input_fake(&devices);
        xv_input_init(&input);
        xv_play_init(&controls);
        os_tick_fake(&clock);
        xv_3d_engine_init();
        xv_3d_world_init(game_world());
    }
    ~BenchGame() {
        level_deinit();
        game()->level = 0;
        xv_3d_world_deinit(game_world());
        xv_3d_engine_deinit();
        os_tick_fake(nullptr);
        xv_play_deinit();
        xv_input_deinit();
        os_input_fake(nullptr);
    }
    BenchGame(const BenchGame &) = delete;
    BenchGame &operator=(const BenchGame &) = delete;

    // One level step, a thirtieth of a second later.
    void step() {
        clock += 34;
        level_step(1.0f);
    }
};
