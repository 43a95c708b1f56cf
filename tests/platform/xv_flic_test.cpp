#include "flic_writer.h"
#include "os_time.h"
#include "test_support.h"
#include "xv_bytes.h"

#include <cstring>

namespace {

using test::write_file;

constexpr int kWidth = 9; // odd: DELTA_FLC must set the last pixel of a line alone
constexpr int kHeight = 5;

std::vector<uint8_t> picture(int seed) {
    std::vector<uint8_t> pixels(kWidth * kHeight);
    for (int i = 0; i < kWidth * kHeight; ++i) {
        pixels[i] = static_cast<uint8_t>(i % 3 == 0 ? seed : (i * 7 + seed) % 256);
    }
    return pixels;
}

std::vector<uint8_t> colours(int shift) {
    std::vector<uint8_t> rgb(768);
    for (int i = 0; i < 768; ++i) {
        rgb[i] = static_cast<uint8_t>((i + shift) & 0xFC); // 6-bit levels survive COLOR_64
    }
    return rgb;
}

class FlicTest : public test::FileLayerTest {
  protected:
    void TearDown() override {
        xv_flic_close(&flic);
        os_tick_fake(nullptr);
        FileLayerTest::TearDown();
    }
    void open(const std::string &bytes, int mode = 1) {
        write_file("anim.flc", bytes);
        opened = xv_flic_open(&flic, "anim.flc", mode);
    }
    bool frame_is(const std::vector<uint8_t> &pixels) const {
        return memcmp(flic.pixels, pixels.data(), pixels.size()) == 0;
    }

    XV_FLIC flic{};
    int opened = 0;
};

TEST_F(FlicTest, FlcFramesDecodeAndPlayingWrapsToTheFirst) {
    auto first = picture(1), second = picture(2), third = second;
    third[3 * kWidth + 8] = 200; // only the odd last pixel of a line
    third[0] = 201;
    FlicWriter writer(XV_FLIC_FLC, kWidth, kHeight, 3);
    writer.prefix();
    writer.begin_frame();
    writer.colours(colours(0).data());
    writer.byte_run(first.data());
    writer.end_frame();
    writer.begin_frame();
    writer.delta_flc(first.data(), second.data());
    writer.end_frame();
    writer.begin_frame();
    writer.delta_flc(second.data(), third.data());
    writer.end_frame();
    open(writer.bytes());
    ASSERT_EQ(opened, 1);
    EXPECT_EQ(flic.kind, XV_FLIC_FLC);
    EXPECT_EQ(flic.delay, 3u);
    EXPECT_EQ(flic.num_frames, 3);

    for (const auto *expected : {&first, &second, &third, &first}) {
        ASSERT_EQ(xv_flic_next_frame(&flic, 1), 1);
        EXPECT_TRUE(frame_is(*expected)) << flic.current_frame;
    }
    EXPECT_EQ(flic.current_frame, 1);
    EXPECT_EQ(memcmp(flic.palette->colours, colours(0).data(), 768), 0); // 0 meant 256 entries
    EXPECT_TRUE(flic.palette->changed);
}

TEST_F(FlicTest, FliChunkKindsDecode) {
    auto first = picture(5), second = picture(6);
    FlicWriter writer(XV_FLIC_FLI, kWidth, kHeight, 3);
    writer.begin_frame();
    writer.colours(colours(4).data(), true);
    writer.copy(first.data());
    writer.end_frame();
    writer.begin_frame();
    writer.delta_fli(first.data(), second.data());
    writer.end_frame();
    writer.begin_frame();
    writer.black();
    writer.end_frame();
    open(writer.bytes());
    ASSERT_EQ(opened, 1);
    EXPECT_EQ(flic.delay, 42u); // 3/70 s
    xv_flic_next_frame(&flic, 1);
    EXPECT_TRUE(frame_is(first));
    EXPECT_EQ(memcmp(flic.palette->colours, colours(4).data(), 768), 0);
    xv_flic_next_frame(&flic, 1);
    EXPECT_TRUE(frame_is(second));
    xv_flic_next_frame(&flic, 1);
    EXPECT_TRUE(frame_is(std::vector<uint8_t>(kWidth * kHeight, 0)));
    xv_flic_rewind(&flic);
    EXPECT_EQ(flic.current_frame, 0);
    xv_flic_next_frame(&flic, 0);
    EXPECT_TRUE(frame_is(first));
}

TEST_F(FlicTest, FramesWaitForTheirTimeButTheFirstComesAtOnce) {
    FlicWriter writer(XV_FLIC_FLI, 2, 2, 0); // speed 0 counts as 1: 14 ms
    for (int i = 0; i < 3; ++i) {
        writer.begin_frame();
        writer.black();
        writer.end_frame();
    }
    open(writer.bytes());
    EXPECT_EQ(flic.delay, 14u);
    uint32_t clock = 1000;
    os_tick_fake(&clock);
    EXPECT_EQ(xv_flic_next_frame(&flic, 0), 1);
    clock += 13;
    EXPECT_EQ(xv_flic_next_frame(&flic, 0), 0);
    EXPECT_EQ(flic.current_frame, 1);
    clock += 1;
    EXPECT_EQ(xv_flic_next_frame(&flic, 0), 1);
    EXPECT_EQ(flic.current_frame, 2);
}

TEST_F(FlicTest, OnlyFlicsOpen) {
    FlicWriter writer(XV_FLIC_FLC, 2, 2, 1);
    std::string bytes = writer.bytes();
    open(bytes, 3);
    EXPECT_EQ(opened, 0);
    bytes[4] = 0x13;
    open(bytes);
    EXPECT_EQ(opened, 0);
    open("too short");
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(flic.pixels, nullptr);
}

// A damaged header claiming a huge frame would have the frame buffer take
// gigabytes (60224 x 49068 is 2.95 GB); it is refused, and says why.
TEST_F(FlicTest, AFrameLargerThanAnyScreenIsRefused) {
    FlicWriter writer(XV_FLIC_FLC, 2, 2, 1);
    std::string bytes = writer.bytes();
    auto claim = [&](uint16_t width, uint16_t height) {
        xv_put_le16(reinterpret_cast<uint8_t *>(bytes.data()) + 8, width);
        xv_put_le16(reinterpret_cast<uint8_t *>(bytes.data()) + 10, height);
        open(bytes);
    };
    claim(60224, 49068);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(flic.pixels, nullptr);
    EXPECT_LT(xv_mem_max_used(), 1L << 20);
    EXPECT_NE(warnings().find("anim.flc claims frames of 60224 x 49068 pixels"), std::string::npos);
    claim(16, 4097);
    EXPECT_EQ(opened, 0);
    claim(4096, 16);
    EXPECT_EQ(opened, 1) << "as wide as a frame may be";
}

TEST_F(FlicTest, DamagedChunksNeverWritePastTheFrame) {
    auto first = picture(9);
    FlicWriter writer(XV_FLIC_FLC, kWidth, kHeight, 1);
    writer.begin_frame();
    writer.byte_run(first.data());
    writer.end_frame();
    std::string bytes = writer.bytes();
    for (size_t cut = 128; cut < bytes.size(); cut += 7) {
        open(bytes.substr(0, cut));
        xv_flic_next_frame(&flic, 1);
        xv_flic_close(&flic);
    }
    std::string lying = bytes;
    lying[128 + 16] = static_cast<char>(0xFF); // a sub-chunk that claims more than its frame
    open(lying);
    EXPECT_EQ(xv_flic_next_frame(&flic, 1), 1);
}

TEST_F(FlicTest, FramesDrawIntoAnyDepth) {
    auto first = picture(0);
    FlicWriter writer(XV_FLIC_FLC, kWidth, kHeight, 1);
    writer.begin_frame();
    writer.colours(colours(0).data());
    writer.byte_run(first.data());
    writer.end_frame();
    open(writer.bytes());
    xv_flic_next_frame(&flic, 1);
    for (int type : {8, 24, 32}) {
        XV_BITMAP target;
        XV_RECT area = {0, 0, kWidth, kHeight};
        xv_bit_alloc(&target, &area, type);
        xv_flic_draw(&flic, &target, 0);
        int index = first[kWidth + 1];
        if (type == 8) {
            EXPECT_EQ(target.pixels[kWidth + 1], index);
        } else {
            const uint8_t *pixel = target.pixels + (kWidth + 1) * (type / 8);
            EXPECT_EQ(std::vector<uint8_t>(pixel, pixel + 3),
                      std::vector<uint8_t>(flic.palette->colours + index * 3,
                                           flic.palette->colours + index * 3 + 3));
        }
        xv_bit_free(&target);
    }
    XV_BITMAP big;
    XV_RECT double_size = {0, 0, 2 * kWidth, 2 * kHeight};
    xv_bit_alloc(&big, &double_size, 8);
    xv_flic_draw(&flic, &big, 2); // scaled to the target
    EXPECT_EQ(big.pixels[2 * (2 * kWidth) + 2], first[kWidth + 1]);
    xv_bit_fill(&big, nullptr, 77);
    xv_flic_draw(&flic, &big, 1); // centred in it
    EXPECT_EQ(big.pixels[0], 77);
    EXPECT_EQ(big.pixels[(kHeight / 2 + 1) * 2 * kWidth + kWidth / 2 + 1], first[kWidth + 1]);
    xv_bit_free(&big);
}

} // namespace
