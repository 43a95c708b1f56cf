// The MP3 decoder: an MPEG audio file decoded into the sound module's
// output format. libmpg123 decodes the frames; the conversion to the
// output rate steps through the decoded samples 16.16 at a time, taking the
// nearest, and 8-bit output is (sample + 32768) >> 8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct XV_MP3;

enum { XV_MP3_IN_MEMORY = 1, XV_MP3_LOOP = 2 };

// A trailing ID3 version 1 tag, when the file has one.
struct XV_MP3_TAG {
    std::string title, artist, album, year, comment;
    int genre = -1;
};

// Opens the file image for output in bits (8 or 16), channels (1 or 2) at
// rate; null for any other format, or when the image holds no MPEG audio.
XV_MP3 *xv_mp3_open(const uint8_t *image, size_t bytes, int flags, int bits, int channels,
                    int rate);
void xv_mp3_close(XV_MP3 *stream);
// Fills bytes of output. Returns 0 when a stream that does not loop ended
// (the rest is silence), else 1.
int xv_mp3_fill(XV_MP3 *stream, void *out, int bytes);
void xv_mp3_set_loop(XV_MP3 *stream, int loop);
void xv_mp3_set_volume(XV_MP3 *stream, int percent);
void xv_mp3_set_pan(XV_MP3 *stream, int pan);       // -100 .. 100
const XV_MP3_TAG *xv_mp3_tag(const XV_MP3 *stream); // null without one
// The decoded sample rate, 0 before the first frame.
int xv_mp3_source_rate(const XV_MP3 *stream);
