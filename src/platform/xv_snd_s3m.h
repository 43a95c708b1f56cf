// The module player: S3M tracker modules rendered into PCM, as the sound
// module drives it. libxmp does the playing; this is the handful of calls
// the sound module makes, in its own terms.
#pragma once

#include <cstddef>
#include <cstdint>

struct XV_S3M;

// Player states.
enum { XV_S3M_PAUSED = 2, XV_S3M_PLAYING = 3 };
// Format flags: stereo, 16-bit (16 + 1), and the interpolation (0, 4, 8).
enum { XV_S3M_STEREO = 2, XV_S3M_16BIT = 17 };
constexpr int XV_S3M_FULL_VOLUME = 131072;
constexpr int XV_S3M_VOICES = 16;

// Parses a module from its file image (the player keeps its own copy).
// Null when the image is no module the player knows.
XV_S3M *xv_s3m_load(const void *image, size_t bytes);
void xv_s3m_free(XV_S3M *module);
// From order 0, row 0, playing, panned centre.
int xv_s3m_start(XV_S3M *module, int rate, int flags, int volume);
void xv_s3m_stop(XV_S3M *module);
void xv_s3m_set_state(XV_S3M *module, int state);
void xv_s3m_set_volume(XV_S3M *module, int volume);   // 0 .. 131072
void xv_s3m_set_flags(XV_S3M *module, int flags);     // only the interpolation can change
void xv_s3m_set_pan(XV_S3M *module, int pan);         // 0 left, 128 centre, 256 right
int xv_s3m_mute(XV_S3M *module, int channel, int on); // channel 256: all
// Fills bytes of PCM; silence while paused or stopped, never past the end
// (the module loops).
void xv_s3m_render(XV_S3M *module, void *out, int bytes);
// Where the module stands, for tests: its order and row.
void xv_s3m_position(XV_S3M *module, int *order, int *row);
