// What the level-file fuzz targets share: the engine and the game's world
// started quietly, and string files written from the input, either as the
// input's own bytes or as sections whose numbers and texts the input picks
// from values that have broken loaders before (negative and huge counts,
// numbers that are not numbers, lists that are too short).
#pragma once

#include "fuzz_engine.h"
#include "game.h"

#include <string>
#include <vector>

namespace fuzz {

// The engine as a level has it: the engine's start makes the texture and
// model systems itself.
struct QuietLevel {
    QuietFiles files;

    QuietLevel() {
        xv_3d_engine_init();
        xv_3d_world_init(game_world());
    }
    ~QuietLevel() {
        xv_3d_world_deinit(game_world());
        xv_3d_engine_deinit();
    }
    QuietLevel(const QuietLevel &) = delete;
    QuietLevel &operator=(const QuietLevel &) = delete;
};

// Reads the input a byte at a time, zeros once it runs out.
class Picks {
  public:
    Picks(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    bool more() const { return at_ < size_; }
    std::string raw() const { return std::string(reinterpret_cast<const char *>(data_), size_); }
    // A count: mostly small, sometimes one no file can hold.
    std::string count(int usual) {
        static const char *const odd[] = {"-1", "0", "999", "1000", "2147483647", "x", ""};
        const uint8_t b = byte();
        return b < 200 ? std::to_string(b % (usual + 1)) : odd[b % 7];
    }
    std::string number() {
        static const char *const odd[] = {"nan", "inf", "-inf", "1e30", "-1e30", "", "x", "-0"};
        const uint8_t b = byte();
        return b < 200 ? std::to_string((static_cast<int>(b) - 100) / 10.0) : odd[b % 8];
    }
    std::string vector() {
        const uint8_t fields = byte() % 5;
        std::string text;
        for (uint8_t i = 0; i < fields; ++i) {
            text += (i ? "," : "") + number();
        }
        return text;
    }
    std::string word() {
        static const char *const words[] = {"thread_gen/0", "a", "b", "cam_followed", "", "x y"};
        return words[byte() % 6];
    }

  private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

inline std::string numbered(const char *word, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%03d", word, number);
    return name;
}

} // namespace fuzz
