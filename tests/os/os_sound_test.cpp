// The sound device on SDL's dummy driver, held so that only the test mixes.
#include "os_sound.h"
#include "test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class SoundDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(os_sound_open());
        os_sound_hold(1);
        ASSERT_EQ(os_sound_device_rate(), 44100);
    }
    void TearDown() override { os_sound_close(); }
    // One mixed frame per buffer frame at the device's rate.
    std::vector<int16_t> mix(int frames) {
        std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
        os_sound_mix(out.data(), frames);
        return out;
    }
    OS_SOUND_BUFFER loud_buffer(int rate, uint32_t frames) {
        OS_SOUND_BUFFER buffer = os_sound_buffer_create({rate, 1, 16}, frames * 2);
        void *first, *second;
        uint32_t first_bytes, second_bytes;
        os_sound_buffer_lock(buffer, 0, frames * 2, &first, &first_bytes, &second, &second_bytes);
        std::vector<int16_t> samples(frames, 16000);
        std::memcpy(first, samples.data(), first_bytes);
        os_sound_buffer_unlock(buffer);
        return buffer;
    }
};

TEST_F(SoundDeviceTest, ALockPastTheEndWrapsToTheStart) {
    OS_SOUND_BUFFER buffer = os_sound_buffer_create({22050, 2, 16}, 1000);
    ASSERT_NE(buffer, nullptr);
    void *first = nullptr, *second = nullptr;
    uint32_t first_bytes = 0, second_bytes = 0;
    ASSERT_TRUE(
        os_sound_buffer_lock(buffer, 900, 200, &first, &first_bytes, &second, &second_bytes));
    EXPECT_EQ(first_bytes, 100u);
    EXPECT_EQ(second_bytes, 100u);
    EXPECT_EQ(static_cast<uint8_t *>(second) + 900, first);
    EXPECT_TRUE(
        os_sound_buffer_lock(buffer, 0, 1000, &first, &first_bytes, &second, &second_bytes));
    EXPECT_EQ(second, nullptr);
    EXPECT_FALSE(
        os_sound_buffer_lock(buffer, 1000, 1, &first, &first_bytes, &second, &second_bytes));
    EXPECT_FALSE(
        os_sound_buffer_lock(buffer, 0, 1001, &first, &first_bytes, &second, &second_bytes));
    EXPECT_EQ(os_sound_buffer_create({22050, 3, 16}, 1000), nullptr) << "three channels";
    EXPECT_EQ(os_sound_buffer_create({22050, 2, 16}, 3), nullptr) << "not one frame";
}

TEST_F(SoundDeviceTest, ABufferPlaysOnceOrLoopsAtItsOwnRate) {
    OS_SOUND_BUFFER once = loud_buffer(44100, 441);
    ASSERT_TRUE(os_sound_buffer_play(once, 0));
    EXPECT_EQ(os_sound_buffer_status(once), OS_SOUND_PLAYING);
    std::vector<int16_t> out = mix(400);
    EXPECT_EQ(out[0], 16000);
    EXPECT_EQ(out[1], 16000) << "mono on both sides";
    EXPECT_EQ(os_sound_buffer_position(once), 800u);
    out = mix(100);
    EXPECT_EQ(out[80], 16000) << "its last frames";
    EXPECT_EQ(out[82], 0) << "then nothing";
    EXPECT_EQ(os_sound_buffer_status(once), 0u) << "stopped at its end";
    EXPECT_EQ(os_sound_buffer_position(once), 0u);

    OS_SOUND_BUFFER half_rate = loud_buffer(22050, 441);
    ASSERT_TRUE(os_sound_buffer_play(half_rate, 1));
    EXPECT_EQ(os_sound_buffer_status(half_rate), OS_SOUND_PLAYING | OS_SOUND_LOOPING);
    mix(441);
    EXPECT_EQ(os_sound_buffer_position(half_rate), 440u) << "220 of its frames, in bytes";
    mix(882);
    EXPECT_EQ(os_sound_buffer_position(half_rate), 440u) << "round once more";
    EXPECT_EQ(os_sound_buffer_status(half_rate), OS_SOUND_PLAYING | OS_SOUND_LOOPING);
    EXPECT_TRUE(os_sound_buffer_stop(half_rate));
    EXPECT_EQ(mix(10)[0], 0);
}

TEST_F(SoundDeviceTest, VolumeIsInHundredthsOfADecibelAndPanLowersTheOtherSide) {
    OS_SOUND_BUFFER buffer = loud_buffer(44100, 4410);
    os_sound_buffer_play(buffer, 1);
    ASSERT_TRUE(os_sound_buffer_set_volume(buffer, -602));
    std::vector<int16_t> out = mix(10);
    EXPECT_NEAR(out[0], 8000, 20) << "-6.02 dB is half";
    ASSERT_TRUE(os_sound_buffer_set_volume(buffer, OS_SOUND_SILENT));
    EXPECT_EQ(mix(10)[0], 0);
    EXPECT_FALSE(os_sound_buffer_set_volume(buffer, 1)) << "louder than recorded";
    os_sound_buffer_set_volume(buffer, 0);
    ASSERT_TRUE(os_sound_buffer_set_pan(buffer, OS_SOUND_PAN_RIGHT));
    out = mix(10);
    EXPECT_EQ(out[0], 0) << "left";
    EXPECT_EQ(out[1], 16000) << "right";
    os_sound_buffer_set_pan(buffer, -602);
    out = mix(10);
    EXPECT_EQ(out[0], 16000);
    EXPECT_NEAR(out[1], 8000, 20);
    EXPECT_FALSE(os_sound_buffer_set_pan(buffer, 10001));
    // Two buffers add, and the sum is clipped rather than wrapped.
    OS_SOUND_BUFFER other = loud_buffer(44100, 4410);
    os_sound_buffer_set_pan(buffer, 0);
    os_sound_buffer_play(other, 1);
    os_sound_buffer_play(buffer, 1);
    mix(1);
    os_sound_buffer_release(other);
    OS_SOUND_BUFFER third = loud_buffer(44100, 4410);
    OS_SOUND_BUFFER fourth = loud_buffer(44100, 4410);
    os_sound_buffer_play(third, 1);
    os_sound_buffer_play(fourth, 1);
    EXPECT_EQ(mix(1)[0], 32767);
}

// An open that finds no device (here the disk driver, with nowhere to
// write) leaves SDL's audio running, started once however often the open
// is tried, until the sound closes: stopping it there and then waited for
// the driver's device watcher, a tenth of a second at every start of a
// machine without speakers.
TEST(SoundWithoutADeviceTest, TheAudioSystemStaysUpUntilTheSoundCloses) {
    test::set_environment("SDL_AUDIODRIVER", "disk");
    test::set_environment("SDL_DISKAUDIOFILE", "no-such-directory/sound.raw");
    EXPECT_EQ(os_sound_open(), 0);
    EXPECT_EQ(os_sound_open(), 0);
    EXPECT_EQ(os_sound_is_open(), 0);
    EXPECT_TRUE(SDL_WasInit(SDL_INIT_AUDIO));
    os_sound_close();
    EXPECT_FALSE(SDL_WasInit(SDL_INIT_AUDIO));
    test::set_environment("SDL_DISKAUDIOFILE", nullptr);
    test::set_environment("SDL_AUDIODRIVER", "dummy");
    ASSERT_EQ(os_sound_open(), 1) << "a device found later opens as ever";
    os_sound_close();
    EXPECT_FALSE(SDL_WasInit(SDL_INIT_AUDIO));
}

} // namespace
