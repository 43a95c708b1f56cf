#include "picture_writer.h"
#include "test_support.h"

#include "gen.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

#include <cstring>

namespace {

using test::count_occurrences;
using test::read_file;
using test::write_file;

// OpenGL on a window of the offscreen driver, the textures and the bitmap
// list started as the engine starts them.
class TextureTest : public test::OpenGlTest {
  protected:
    void SetUp() override {
        OpenGlTest::SetUp();
        gen_tex_init();
        gen_bit_list_init();
    }
    void TearDown() override {
        gen_bit_list_deinit();
        gen_tex_deinit();
        OpenGlTest::TearDown();
    }
    // A picture of that size, each pixel's red its column, green its row.
    static std::string picture(int width, int height, int colour_type = 2) {
        test::PngPicture png;
        png.width = width, png.height = height, png.colour_type = colour_type;
        int channels = colour_type == 0 ? 1 : 3;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                png.rows.push_back(static_cast<uint8_t>(x));
                if (channels == 3) {
                    png.rows.insert(png.rows.end(), {static_cast<uint8_t>(y), 7});
                }
            }
        }
        return test::encode_png(png);
    }
};

TEST_F(TextureTest, ASharedTextureLivesUntilItsLastUserLetsGo) {
    write_file("rock.png", picture(64, 32));
    int number = gen_tex_load("Rock.PNG", "rock.png", nullptr);
    EXPECT_EQ(gen_tex_find("ROCK.png"), number) << "found by name, whatever the case";
    GEN_TEXTURE texture;
    ASSERT_EQ(gen_tex_get(number, &texture), 1);
    EXPECT_STREQ(texture.name, "rock.png");
    EXPECT_EQ(texture.width, 64);
    EXPECT_EQ(texture.bits_per_pixel, 32);
    EXPECT_EQ(gen_tex_get_memory(), 64 * 32 * 4);
    XV_BITMAP image;
    ASSERT_EQ(gen_tex_get_image(number, 0, &image), 1);
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.pixels[(3 * 64 + 5) * 3], 5) << "red is the column";
    EXPECT_EQ(image.pixels[(3 * 64 + 5) * 3 + 1], 3) << "green the row";
    xv_bit_free(&image);
    texture.use_count++; // a second model takes it
    gen_tex_set(number, &texture);
    gen_tex_free(number);
    EXPECT_EQ(gen_tex_find("rock.png"), number) << "one user left";
    gen_tex_free(number);
    EXPECT_EQ(gen_tex_find("rock.png"), -1);
    EXPECT_EQ(gen_tex_get_memory(), 0);
    EXPECT_EQ(errors(), "");
    gen_tex_free(number);
    EXPECT_EQ(count_occurrences(errors(), "gen_tex_free: texture number not in use -> 0"), 1);
}

// A texture from a file is mipmapped and blended between its levels, and
// filtered along a slanting view (up to four samples) where a hardware
// renderer offers it.
TEST_F(TextureTest, ALoadedTextureIsMipmappedAndFilteredAlongASlantingView) {
    write_file("rock.png", picture(64, 32));
    const int number = gen_tex_load("rock", "rock.png", nullptr);
    GEN_TEX_BIND(GL_TEXTURE_2D, number);
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR_MIPMAP_LINEAR);
    GLint smallest = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 6, GL_TEXTURE_WIDTH, &smallest);
    EXPECT_EQ(smallest, 1) << "every level down to one texel";
    const auto *extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    const auto *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    GLfloat set = 0;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &set);
    if (renderer && std::strstr(renderer, "llvmpipe")) {
        EXPECT_EQ(set, 1.0f) << "a software renderer pays too much for it";
    } else if (extensions && std::strstr(extensions, "GL_EXT_texture_filter_anisotropic")) {
        GLfloat offered = 0;
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &offered);
        EXPECT_EQ(set, std::min(offered, 4.0f));
    }
    gen_tex_free(number);
    EXPECT_EQ(errors(), "");
}

TEST_F(TextureTest, OddSizesAreReportedAndLoadedAndTheTableGrows) {
    write_file("odd.png", picture(100, 64));
    int number = gen_tex_load("odd", "odd.png", nullptr);
    EXPECT_EQ(count_occurrences(errors(), "gen_tex_load_mipmap: bitmap file odd.png has a non "
                                          "power of 2 width (100) or height (64)"),
              1);
    GEN_TEXTURE texture;
    ASSERT_EQ(gen_tex_get(number, &texture), 1);
    EXPECT_EQ(texture.width, 100);
    for (int i = 1; i <= 100; ++i) {
        EXPECT_EQ(gen_tex_create(), i);
    }
    EXPECT_EQ(gen_tex_get(100, &texture), 1) << "the 101st texture grew the table";
}

TEST_F(TextureTest, AGreyAlphaMapBecomesThePicturesAlpha) {
    write_file("wall.png", picture(16, 16));
    write_file("wall_a.png", picture(16, 16, 0)); // grey: the column
    write_file("wall_c.png", picture(16, 16));    // colour: converted first
    write_file("small_a.png", picture(8, 8, 0));
    XV_BITMAP bitmap;
    ASSERT_EQ(gen_bit_load_with_alpha(&bitmap, "wall.png", "wall_a.png"), 1);
    ASSERT_EQ(bitmap.type, 32);
    EXPECT_EQ(bitmap.pixels[(2 * 16 + 9) * 4 + 3], 9);
    xv_bit_free(&bitmap);
    ASSERT_EQ(gen_bit_load_with_alpha(&bitmap, "wall.png", "wall_c.png"), 1);
    EXPECT_EQ(count_occurrences(read_file("history.txt"), "CONVERTING ALPHA MAP TO 8 bits!!"), 1);
    // Bitmaps do not convert 24 bits to 8 yet: the map is refused by name.
    EXPECT_EQ(count_occurrences(errors(), "should be 256 colors (8 bits) and GREY SCALE -> "
                                          "wall_c.png.. bpp 24"),
              1);
    xv_bit_free(&bitmap);
    ASSERT_EQ(gen_bit_load_with_alpha(&bitmap, "wall.png", "small_a.png"), 1);
    EXPECT_EQ(count_occurrences(errors(), "width and height of the alpha map should be the same "
                                          "that the texture wall.png small_a.png"),
              1);
    xv_bit_free(&bitmap);
}

TEST_F(TextureTest, TgaSnapshotsAreBottomUpBlueGreenRedAndNumbered) {
    XV_BITMAP bitmap;
    XV_RECT size = {0, 0, 4, 2};
    ASSERT_EQ(xv_bit_alloc(&bitmap, &size, XV_BIT_BPP24), 1);
    for (int i = 0; i < 8; ++i) {
        bitmap.pixels[i * 3] = static_cast<uint8_t>(i); // red: the pixel's number
        bitmap.pixels[i * 3 + 2] = 200;                 // blue
    }
    ASSERT_EQ(gen_bit_tga_save(&bitmap, "shot.tga", nullptr), 1);
    std::string file = read_file("shot.tga");
    ASSERT_EQ(file.size(), 18u + 24u);
    EXPECT_EQ(file[2], 2);
    EXPECT_EQ(file[16], 24);
    EXPECT_EQ(static_cast<uint8_t>(file[18]), 200) << "blue first";
    EXPECT_EQ(file[20], 4) << "the bottom row first: pixel 4";
    write_file("Snap0000.tga", "x");
    write_file("Snap0001.tga", "x");
    ASSERT_EQ(gen_bit_save_snapshot(&bitmap), 1);
    EXPECT_EQ(read_file("Snap0002.tga").size(), 18u + 24u);
    XV_RECT outside = {10, 10, 4, 4};
    EXPECT_EQ(gen_bit_tga_save(&bitmap, "none.tga", &outside), 0);
    xv_bit_free(&bitmap);
}

// A picture copied onto the screen goes through the 3D interface, the
// bitmap list and OpenGL, and comes back from the screen the same.
TEST_F(TextureTest, APictureCopiedOntoTheScreenReadsBackTheSame) {
    gen_wrap_register();
    XV_BITMAP picture_bitmap, screen{};
    XV_RECT size = {0, 0, 16, 8};
    ASSERT_EQ(xv_bit_alloc(&picture_bitmap, &size, XV_BIT_BPP32), 1);
    for (int i = 0; i < 16 * 8; ++i) {
        uint8_t *pixel = picture_bitmap.pixels + i * 4;
        pixel[0] = static_cast<uint8_t>(i * 2), pixel[1] = 50, pixel[2] = 90, pixel[3] = 255;
    }
    XV_RECT to = {10, 20, 16, 8};
    // The display is not open in this test: the 3D operation is called as it would call it.
    ASSERT_EQ(xv_dsp_3d_interface()->bit_3d_put(&picture_bitmap, &to, nullptr, 0), 1);
    gen_bit_flush_list();
    XV_RECT area = {10, 20, 16, 8};
    ASSERT_EQ(xv_dsp_3d_interface()->bit_3d_get(&screen, &area), 1);
    for (int i = 0; i < 16 * 8; ++i) {
        ASSERT_EQ(screen.pixels[i * 3], picture_bitmap.pixels[i * 4]) << i;
        ASSERT_EQ(screen.pixels[i * 3 + 2], 90) << i;
    }
    xv_dsp_3d_interface()->bit_3d_free(&picture_bitmap);
    EXPECT_EQ(picture_bitmap.texture, 0u);
    xv_bit_free(&picture_bitmap);
    xv_bit_free(&screen);
    xv_dsp_3d_interface_set(nullptr);
    EXPECT_EQ(errors(), "");
}

} // namespace
