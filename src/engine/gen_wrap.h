// The engine's side of the display: OpenGL started on the display's
// window, the ten operations of the display's 3D interface, and the
// vertex-array entry points every model is drawn with.
#pragma once

#include "xv.h"

#include <GL/gl.h>

// Installs the engine's operations in the display's 3D interface.
void gen_wrap_register();

int gen_wrap_3d_init(void *window, const XV_RECT *area, char *renderer, char *vendor);
int gen_wrap_3d_deinit();
int gen_wrap_video_mode_set(const void *mode, int full_screen);
int gen_wrap_resize(const XV_RECT *area);
int gen_wrap_flush();
int gen_wrap_bit_put(XV_BITMAP *bitmap, const XV_RECT *screen, const XV_RECT *area, int flags);
int gen_wrap_bit_get(XV_BITMAP *bitmap, const XV_RECT *area);
int gen_wrap_bit_free(XV_BITMAP *bitmap);
int gen_wrap_screen_clear();
int gen_wrap_display_update();

// Starts OpenGL on the window, traces what it is and loads the extension.
int gen_gl_init(OS_WINDOW window);
int gen_gl_is_inited();
// Stops using OpenGL (the window's context goes with the window).
void gen_gl_deinit();
// The viewport's size, as the bitmaps are placed in it.
void gen_gl_viewport(int *width, int *height);

// GL_EXT_vertex_array.
using GEN_VERTEX_POINTER = void (*)(GLint size, GLenum type, GLsizei stride, GLsizei count,
                                    const void *pointer);
using GEN_NORMAL_POINTER = void (*)(GLenum type, GLsizei stride, GLsizei count,
                                    const void *pointer);
using GEN_DRAW_ARRAYS = void (*)(GLenum mode, GLint first, GLsizei count);
struct GEN_GL_EXTENSIONS {
    GEN_VERTEX_POINTER vertex_pointer;
    GEN_NORMAL_POINTER normal_pointer;
    GEN_VERTEX_POINTER color_pointer;
    GEN_VERTEX_POINTER tex_coord_pointer;
    GEN_DRAW_ARRAYS draw_arrays;
};
const GEN_GL_EXTENSIONS *gen_gl_extensions();
