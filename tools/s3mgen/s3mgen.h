// Composes S3M modules from a small text score. The instruments are
// synthesised here: a few waveforms under a decaying envelope.
//
// A score, line by line ('#' starts a comment):
//   title NAME                      the module's name
//   speed N, tempo N                ticks per row, beats per minute
//   instrument N WAVE DECAY VOLUME  WAVE: square triangle saw sine noise kick;
//                                   DECAY: seconds to fall to a tenth; VOLUME 0..64
//   pattern N                       the pattern the tracks below write into
//   track CHANNEL INSTRUMENT NOTES  notes from row 0: C5:4 is C in octave 5 held
//                                   four rows, C#5 a sharp, -:2 two rows of rest
//   order N N N ...                 the order the patterns play in (it loops)
#pragma once

#include <string>
#include <vector>

struct S3mScore;

// Parses the score; on a fault returns false with the line and reason in error.
bool s3m_compose(const std::string &score, std::vector<unsigned char> *module, std::string *error);
