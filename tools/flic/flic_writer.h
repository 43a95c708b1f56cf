// Writes FLI and FLC animations frame by frame, in whichever of the
// format's chunk kinds the caller picks, so that the game's animated
// screens and the tests can have animations made here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class FlicWriter {
  public:
    // kind: 1 FLI (speed in 1/70 s), 2 FLC (speed in ms).
    FlicWriter(int kind, int width, int height, int speed);

    void begin_frame();
    // 256 RGB colours: COLOR_256, or COLOR_64 with each value divided by 4.
    void colours(const uint8_t *rgb, bool sixty_four_levels = false);
    void byte_run(const uint8_t *pixels);
    void copy(const uint8_t *pixels);
    void black();
    // The changes from before to after, as DELTA_FLI or DELTA_FLC.
    void delta_fli(const uint8_t *before, const uint8_t *after);
    void delta_flc(const uint8_t *before, const uint8_t *after);
    void end_frame();
    // A prefix chunk, as some writers put before the first frame.
    void prefix();

    std::string bytes() const;

  private:
    void sub_chunk(uint16_t type, const std::string &data);

    int kind_;
    int width_;
    int height_;
    int speed_;
    int frames_ = 0;
    std::string chunks_;
    std::string frame_;
    int frame_chunks_ = 0;
};
