// The model viewer for developers: `pinwheel --view FILE.wo2` shows a model
// on a turntable in the game's world instead of the slideshow. Dragging
// with the left button orbits the camera, the wheel zooms.
#pragma once

// Loads the model into the game's world and places the camera; false when
// the model could not be read (reported).
bool viewer_init(const char *file);
void viewer_deinit();
bool viewer_active();
// One fixed step: the turntable turns, the mouse moves the camera.
void viewer_step();
