// The ball's sound effects, synthesised: a putt, wall hits of four kinds
// (wood, stone, metal, rubber), the ball dropping into the cup (alone, and
// with a tune for a hole over par, at par or better, and in one), applause.
// Every name is a file name of the game's 8.3 kind.
// Written as 16-bit PCM WAV files, which the tests also use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The names of the effects wavgen makes, each written as NAME.wav.
const std::vector<std::string> &wav_effect_names();
// The samples of the effect of that name at the rate (mono); empty when
// there is no such effect.
std::vector<int16_t> wav_effect(const std::string &name, int rate);
// A whole WAV file: "RIFF", "WAVE", a 16-byte "fmt " chunk and "data".
std::vector<uint8_t> wav_file(const std::vector<int16_t> &samples, int rate, int channels);
