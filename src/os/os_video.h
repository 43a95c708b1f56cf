// Whether this machine can show the game at all.
#pragma once

// Starts the video system, opens a hidden window with an OpenGL context and
// closes the window again. True when that worked; version receives the
// media layer's version as 0xMMmm (2.26 gives 0x21A), 0 when it did not
// start. The video system then stays up, so that the windows and modes
// asked for next do not each pay for starting it again (a tenth of a
// second on X), until os_video_stop.
bool os_video_probe(int *version);
void os_video_stop();
