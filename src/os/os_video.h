// Whether this machine can show the game at all.
#pragma once

// Starts the video system, opens a hidden window with an OpenGL context and
// closes both again. True when that worked; version receives the media
// layer's version as 0xMMmm (2.26 gives 0x21A), 0 when it did not start.
bool os_video_probe(int *version);
