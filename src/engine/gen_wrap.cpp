#include "gen_wrap.h"

#include "gen_info.h"
#include "gen_mgr2.h"
#include "gen_tex.h"
#include "os_display.h"

#include <GL/glu.h>

#include <cstring>
#include <string>

namespace {

constexpr int kTextSize = 256; // the renderer and vendor texts the display keeps

struct OpenGl {
    bool inited = false;
    OS_WINDOW window = nullptr;
    XV_RECT viewport{};
    GEN_GL_EXTENSIONS extensions{};
};
OpenGl gl;

const char *gl_text(GLenum name) {
    const auto *text = reinterpret_cast<const char *>(glGetString(name));
    return text ? text : "";
}

void trace_information() {
    gen_history("gl info:\n");
    gen_history("vendor: %s\n", gl_text(GL_VENDOR));
    gen_history("renderer: %s\n", gl_text(GL_RENDERER));
    gen_history("version: %s\n", gl_text(GL_VERSION));
    gen_history("extensions: %s\n", gl_text(GL_EXTENSIONS));
    gen_history("glu info:\n");
    gen_history("version: %s\n", reinterpret_cast<const char *>(gluGetString(GLU_VERSION)));
    gen_history("extensions: %s\n", reinterpret_cast<const char *>(gluGetString(GLU_EXTENSIONS)));
}

template <typename Function>
bool gen_gl_init_extension(Function *function, const char *name) {
    *function = reinterpret_cast<Function>(os_gl_proc_address(name));
    if (!*function) {
        gen_error("gen_gl_init_extension: failed to init %s", name);
        return false;
    }
    return true;
}

bool load_extensions() {
    if (!strstr(gl_text(GL_EXTENSIONS), "GL_EXT_vertex_array")) {
        gen_error("GL_EXT_vertex_array extension not supported by the driver");
        return false;
    }
    GEN_GL_EXTENSIONS &e = gl.extensions;
    bool loaded = gen_gl_init_extension(&e.vertex_pointer, "glVertexPointerEXT");
    loaded &= gen_gl_init_extension(&e.normal_pointer, "glNormalPointerEXT");
    loaded &= gen_gl_init_extension(&e.color_pointer, "glColorPointerEXT");
    loaded &= gen_gl_init_extension(&e.tex_coord_pointer, "glTexCoordPointerEXT");
    loaded &= gen_gl_init_extension(&e.draw_arrays, "glDrawArraysEXT");
    return loaded;
}

void clear_screen() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearIndex(0.0f);
    glClearDepth(500.0); // OpenGL clamps it to 1
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void set_viewport(const XV_RECT &area) {
    gl.viewport = area;
    glViewport(area.x, area.y, area.width, area.height);
}

void copy_text(char *to, const char *from) {
    if (to) {
        strncpy(to, from, kTextSize - 1);
        to[kTextSize - 1] = '\0';
    }
}

} // namespace

int gen_gl_init(OS_WINDOW window) {
    gl = OpenGl{};
    gl.window = window;
    // The context came with the window: it is current on this thread.
    glClearDepth(1.0);
    trace_information();
    load_extensions();
    gl.inited = true;
    gen_tex_reset_bind_cache();
    return 1;
}

int gen_gl_is_inited() {
    return gl.inited;
}

void gen_gl_deinit() {
    gl = OpenGl{};
}

void gen_gl_viewport(int *width, int *height) {
    *width = gl.viewport.width;
    *height = gl.viewport.height;
}

const GEN_GL_EXTENSIONS *gen_gl_extensions() {
    return &gl.extensions;
}

int gen_wrap_3d_init(void *window, const XV_RECT *area, char *renderer, char *vendor) {
    gen_gl_init(static_cast<OS_WINDOW>(window));
    copy_text(renderer, gl_text(GL_RENDERER));
    copy_text(vendor, gl_text(GL_VENDOR));
    int flags = strstr(gl_text(GL_RENDERER), "Generic") ? 0 : XV_DSP_3D_ACCELERATED;
    clear_screen();
    set_viewport(*area);
    return flags;
}

int gen_wrap_3d_deinit() {
    if (const char *settings = xv_io_ini_path(); settings && gl.inited) {
        const std::string vendor = gl_text(GL_VENDOR);
        const std::string renderer = gl_text(GL_RENDERER);
        const XV_INI_KEY keys[] = {{"Vendor", vendor.c_str()}, {"Renderer", renderer.c_str()}};
        xv_io_ini_write_keys("System", keys, 2, settings);
    }
    gen_gl_deinit();
    return 1;
}

int gen_wrap_video_mode_set(const void *, int) {
    return 1; // the display switches the mode itself through the os layer
}

int gen_wrap_resize(const XV_RECT *area) {
    if (gl.inited && area) {
        set_viewport(*area);
    }
    return 1;
}

int gen_wrap_flush() {
    if (gl.inited) {
        glFinish();
    }
    return 1;
}

int gen_wrap_bit_put(XV_BITMAP *bitmap, const XV_RECT *screen, const XV_RECT *area, int) {
    if (!gl.inited || !bitmap || !bitmap->pixels || !(gen_get_draw_mask() & GEN_DRAW_BITMAPS)) {
        return 0;
    }
    if (bitmap->type != 32) {
        xv_bit_convert(bitmap, 32 | XV_BIT_CONVERT_VARIANT); // transparent pixels get alpha 0
    }
    if (!bitmap->texture) {
        int number = gen_tex_create();
        GEN_TEX_MIPMAPS generated = {GEN_TEX_GENERATE_MIPMAPS, 0, {}};
        if (!gen_tex_modify(number, bitmap, &generated)) {
            return 0;
        }
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        bitmap->texture = static_cast<uint32_t>(number + 1);
    }
    float half_width = static_cast<float>(gl.viewport.width / 2);
    float half_height = static_cast<float>(gl.viewport.height / 2);
    XV_RECT to = screen ? *screen : XV_RECT{0, 0, gl.viewport.width, gl.viewport.height};
    XV_RECT from = area ? *area : XV_RECT{0, 0, bitmap->width, bitmap->height};
    if (half_width <= 0 || half_height <= 0) {
        return 0;
    }
    const float placed[4] = {to.x / half_width - 1.0f, 1.0f - to.y / half_height,
                             to.width / half_width, to.height / half_height};
    const float width = bitmap->width, height = bitmap->height;
    const float cut[4] = {from.x / width, from.y / height, from.width / width,
                          from.height / height};
    gen_bit_add_to_list(static_cast<int>(bitmap->texture) - 1, placed, cut);
    return 1;
}

int gen_wrap_bit_get(XV_BITMAP *bitmap, const XV_RECT *area) {
    if (!gl.inited || !area || !xv_bit_alloc(bitmap, area, XV_BIT_BPP24)) {
        return 0;
    }
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glReadBuffer(GL_BACK);
    // OpenGL counts rows from the bottom; the bitmap from the top.
    int bottom = gl.viewport.height - area->y - 1;
    for (int row = 0; row < area->height; ++row) {
        glReadPixels(area->x, bottom - row, area->width, 1, GL_RGB, GL_UNSIGNED_BYTE,
                     bitmap->pixels + static_cast<long>(row) * area->width * 3);
    }
    return 1;
}

int gen_wrap_bit_free(XV_BITMAP *bitmap) {
    if (bitmap && bitmap->texture) {
        if (gl.inited) {
            gen_tex_free(static_cast<int>(bitmap->texture) - 1);
        }
        bitmap->texture = 0;
    }
    return 1;
}

int gen_wrap_screen_clear() {
    if (gl.inited) {
        clear_screen();
    }
    return 1;
}

int gen_wrap_display_update() {
    if (!gl.inited) {
        return 0;
    }
    gen_bit_end_frame();
    xv_dsp_snapshot_if_due();
    os_window_swap(gl.window);
    clear_screen();
    return 1;
}

void gen_wrap_register() {
    static const XV_DSP_3D_INTERFACE operations = {
        gen_wrap_3d_init,      gen_wrap_3d_deinit,      gen_wrap_video_mode_set, gen_wrap_resize,
        gen_wrap_flush,        gen_wrap_bit_put,        gen_wrap_bit_get,        gen_wrap_bit_free,
        gen_wrap_screen_clear, gen_wrap_display_update,
    };
    xv_dsp_3d_interface_set(&operations);
}
