// Sound on SDL's dummy driver. The device is held, so that its cursors move
// only when a test mixes: a second of playing is a second of mixing.
#include "s3mgen.h"
#include "test_support.h"
#include "wavgen.h"
#include "xv.h"
#include "xv_snd_mp3.h"
#include "xv_snd_s3m.h"
#include "xv_snd_state.h"

#include "os_sound.h"
#include "os_time.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

namespace {

using test::read_file;
using test::write_file;

std::string bytes_of(const std::vector<uint8_t> &bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::vector<unsigned char> foosball() {
    std::ifstream in(FOOSBALL_SCORE);
    std::stringstream score;
    score << in.rdbuf();
    std::vector<unsigned char> module;
    std::string error;
    EXPECT_TRUE(s3m_compose(score.str(), &module, &error)) << error;
    return module;
}

void write_foosball(const std::string &path) {
    std::vector<unsigned char> module = foosball();
    write_file(path, std::string(module.begin(), module.end()));
}

bool silent(const std::vector<uint8_t> &bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

int last_error() {
    int module = 0, code = 0;
    xv_error_pending(&module, &code);
    return module == xv_snd_module() ? code : -1;
}

class SoundTest : public test::FileLayerTest {
  protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        xv_io_set_settings_file("sound.ini");
        std::filesystem::create_directory("snd");
        write_foosball("snd/foosball.s3m");
    }
    void TearDown() override {
        xv_snd_deinit();
        os_sound_refuse_formats(0);
        xv_io_set_settings_file(nullptr);
        FileLayerTest::TearDown();
    }
    int start() {
        int started = xv_snd_init(&config);
        os_sound_hold(1);
        return started;
    }
    // Plays for that long: the device mixes, the game feeds the stream.
    void play_for(int milliseconds, int handle) {
        std::vector<int16_t> out(441 * 2);
        for (int i = 0; i < milliseconds / 10; ++i) {
            os_sound_mix(out.data(), 441);
            xv_snd_update_music(handle);
        }
    }
    std::vector<uint8_t> stream() {
        void *first = nullptr, *second = nullptr;
        uint32_t first_bytes = 0, second_bytes = 0;
        const uint32_t size = xv_snd_state.mix_bytes;
        if (!os_sound_buffer_lock(xv_snd_state.stream, 0, size, &first, &first_bytes, &second,
                                  &second_bytes)) {
            return {};
        }
        auto *at = static_cast<uint8_t *>(first);
        std::vector<uint8_t> copy(at, at + first_bytes);
        os_sound_buffer_unlock(xv_snd_state.stream);
        return copy;
    }
    void press(uint32_t key) { xv_snd_window_message(nullptr, WM_KEYDOWN, key, 0); }
    void module_position(int handle, int *order, int *row) {
        xv_s3m_position(xv_snd_state.music[handle - 1].module, order, row);
    }

    std::atomic<int32_t> active{1}, digital_music{1};
    int sound_effects = 1, music_volume = 70, sound_volume = 80, interpolation = 4;
    XV_SND_CONFIG config = {
        1, &active, &digital_music, &sound_effects, &music_volume, &sound_volume, &interpolation,
        0, 0};
};

TEST_F(SoundTest, StartsWithTheSettingsAndTheHighestRateTheDeviceTakes) {
    write_file("sound.ini", "[Sound]\r\nMusicVolume=150\r\nInterpolation=5\r\n");
    ASSERT_EQ(start(), 1);
    const XV_SND_OUTPUT *output = xv_snd_output();
    EXPECT_EQ(output->highest_rate, 44100);
    EXPECT_EQ(output->lowest_rate, 11025);
    EXPECT_EQ(output->bits, 16);
    EXPECT_EQ(output->channels, 2);
    EXPECT_EQ(xv_snd_state.mix_bytes, 44100u * 4) << "one second";
    EXPECT_EQ(xv_snd_state.chunk_bytes, 44100u * 4 / 10);
    EXPECT_EQ(music_volume, 100) << "clamped when applied";
    EXPECT_EQ(interpolation, 0) << "neither 0, 4 nor 8";
    EXPECT_EQ(sound_volume, 80) << "the application's value stands in for a missing key";
    xv_snd_deinit();
    std::string settings = read_file("sound.ini");
    EXPECT_NE(settings.find("MusicVolume=100"), std::string::npos);
    EXPECT_NE(settings.find("Interpolation=0"), std::string::npos);
    EXPECT_NE(settings.find("DigitalMusic=1"), std::string::npos);
}

TEST_F(SoundTest, ADeviceThatTakesNoRateLeavesOneHundredHertz) {
    os_sound_hold(0);
    ASSERT_TRUE(os_sound_open());
    os_sound_refuse_formats(1);
    start();
    EXPECT_EQ(xv_snd_output()->highest_rate, 100);
    EXPECT_EQ(xv_snd_output()->lowest_rate, 100000);
}

TEST_F(SoundTest, WithoutADeviceEveryCallIsRefusedAndTheVolumesSayUnavailable) {
    test::set_environment("SDL_AUDIODRIVER", "no-such-driver");
    EXPECT_EQ(start(), 0);
    test::set_environment("SDL_AUDIODRIVER", "dummy");
    EXPECT_EQ(music_volume, -1);
    EXPECT_EQ(sound_volume, -1);
    EXPECT_NE(warnings().find("Terminating the sound: DirectSoundCreate failed: no sound device "
                              "could be opened, the game goes on without sound"),
              std::string::npos);
    music_volume = 50;
    EXPECT_EQ(xv_snd_set_music_volume(40), 0);
    EXPECT_EQ(music_volume, -1);
    EXPECT_EQ(xv_snd_set_sound_volume(40), 0);
    EXPECT_EQ(xv_snd_load_music("snd\\foosball.s3m"), 0);
    EXPECT_EQ(xv_snd_play_music(1), 0);
    EXPECT_EQ(xv_snd_update_music(1), 0);
    EXPECT_EQ(xv_snd_toggle_music(), 0);
    EXPECT_EQ(digital_music, 1) << "unchanged";
    EXPECT_EQ(xv_snd_load_effect("snd\\putt.wav"), nullptr);
}

TEST(SoundArithmetic, EffectVolumeAndPanInHundredthsOfADecibel) {
    EXPECT_EQ(xv_snd_volume_to_db(100), 0);
    EXPECT_EQ(xv_snd_volume_to_db(50), -602);
    EXPECT_EQ(xv_snd_volume_to_db(1), -4000);
    EXPECT_EQ(xv_snd_volume_to_db(0), -10000);
    EXPECT_EQ(xv_snd_volume_to_db(-5), -10000);
    EXPECT_EQ(xv_snd_pan_to_db(0), 0);
    EXPECT_EQ(xv_snd_pan_to_db(-100), -10000);
    EXPECT_EQ(xv_snd_pan_to_db(250), 10000);
    EXPECT_EQ(xv_snd_pan_to_db(-50), -602);
    EXPECT_EQ(xv_snd_pan_to_db(50), 602);
    EXPECT_EQ(xv_snd_pan_to_db(-99), -4000);
}

TEST(SoundArithmetic, ParkAndMillerFromSeedOne) {
    xv_random_seed(1);
    EXPECT_EQ(xv_random(), 16807u);
    EXPECT_EQ(xv_random(), 282475249u);
    EXPECT_EQ(xv_random(), 1622650073u);
    for (int i = 3; i < 10000; ++i) {
        xv_random();
    }
    EXPECT_EQ(xv_random_get_seed(), 1043618065u) << "the generator's published check";
    xv_random_seed(0);
    EXPECT_EQ(xv_random_get_seed(), 1u) << "zero would stay zero";
    xv_random_seed(0x80000005u);
    EXPECT_EQ(xv_random_get_seed(), 5u) << "bit 31 dropped";
    EXPECT_EQ(xv_random_range(0), 0u);
}

// ---- WAV files ---------------------------------------------------------------------

struct WaveCase {
    const char *what;
    std::function<void(std::string &)> damage;
    int error; // 0: read
};

TEST_F(SoundTest, TheWaveReaderTakesOnlyItsOneLayout) {
    ASSERT_EQ(start(), 1); // its report switch on
    const std::string good = bytes_of(wav_file(wav_effect("putt", 22050), 22050, 1));
    auto chunk_before_data = [](const char *id) {
        return [id](std::string &file) {
            std::string chunk = std::string(id) + std::string("\x04\0\0\0abcd", 8);
            file.insert(36, chunk);
        };
    };
    const WaveCase cases[] = {
        {"as made", [](std::string &) {}, 0},
        {"RIFX", [](std::string &f) { f[3] = 'X'; }, XV_SND_ERR_NOT_RIFF},
        {"too short for a header", [](std::string &f) { f.resize(12); }, XV_SND_ERR_NOT_RIFF},
        {"not WAVE", [](std::string &f) { f[8] = 'w'; }, XV_SND_ERR_NOT_WAVE},
        {"no fmt", [](std::string &f) { f[12] = 'F'; }, XV_SND_ERR_NOT_WAVE},
        {"float samples", [](std::string &f) { f[20] = 3; }, XV_SND_ERR_NOT_PCM},
        {"a LIST chunk first", chunk_before_data("LIST"), XV_SND_ERR_DATA_CHUNK},
        {"a fact chunk first", chunk_before_data("fact"), XV_SND_ERR_DATA_CHUNK},
        {"data longer than the file", [](std::string &f) { f[42] = 0x7F; }, XV_SND_ERR_DATA_CHUNK},
        {"cut in the data", [](std::string &f) { f.resize(f.size() / 2); }, XV_SND_ERR_DATA_CHUNK},
        {"a longer fmt chunk",
         [](std::string &f) {
             f[16] = 18;
             f.insert(36, std::string(2, '\0'));
         },
         0},
    };
    for (const WaveCase &c : cases) {
        std::string file = good;
        c.damage(file);
        write_file("test.wav", file);
        xv_error_set_pending(-1, 0);
        int rate = 0, channels = 0, bits = 0;
        std::vector<uint8_t> data;
        const int read = xv_snd_read_wave("test.wav", &rate, &channels, &bits, &data);
        EXPECT_EQ(read, c.error == 0) << c.what;
        if (c.error) {
            EXPECT_EQ(last_error(), c.error) << c.what;
        } else {
            EXPECT_EQ(rate, 22050) << c.what;
            EXPECT_EQ(bits, 16) << c.what;
            EXPECT_EQ(data.size(), good.size() - 44) << c.what;
        }
    }
    int rate, channels, bits;
    std::vector<uint8_t> data;
    EXPECT_EQ(xv_snd_read_wave("missing.wav", &rate, &channels, &bits, &data), 0);
    EXPECT_EQ(last_error(), XV_SND_ERR_OPEN_WAVE);
    EXPECT_NE(warnings().find("This file contains an invalid data chunk"), std::string::npos);
}

// ---- effects -----------------------------------------------------------------------

TEST_F(SoundTest, EffectsPlayAtTheirVolumeAndFallSilentWhenSwitchedOff) {
    ASSERT_EQ(start(), 1);
    write_file("snd/putt.wav", bytes_of(wav_file(wav_effect("putt", 22050), 22050, 1)));
    XV_SND_EFFECT *putt = xv_snd_load_effect("snd\\putt.wav");
    ASSERT_NE(putt, nullptr);
    std::vector<int16_t> out(4410 * 2);
    auto loudest = [&] {
        os_sound_mix(out.data(), 4410);
        int peak = 0;
        for (int16_t s : out) {
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        }
        return peak;
    };
    ASSERT_EQ(xv_snd_play_effect(putt, 0, 0), 1);
    EXPECT_EQ(xv_snd_effect_playing(putt), 1);
    const int full = loudest();
    EXPECT_GT(full, 1000);
    for (int i = 0; i < 5; ++i) {
        loudest();
    }
    EXPECT_EQ(xv_snd_effect_playing(putt), 0) << "a quarter-second effect ends";

    press(VK_F3);
    EXPECT_EQ(sound_effects, 0);
    EXPECT_EQ(sound_volume, -2);
    xv_snd_play_effect(putt, 0, 1);
    EXPECT_EQ(loudest(), 0);
    press(VK_F3);
    EXPECT_EQ(sound_volume, 80);
    EXPECT_GT(loudest(), 0);
    xv_snd_play_effect_at(putt, 0, 1, 0);
    EXPECT_EQ(loudest(), 0) << "volume 0 is silence";
    xv_snd_stop_effect(putt);
    EXPECT_EQ(xv_snd_release_effect(putt), 1);
    EXPECT_EQ(xv_snd_release_effect(nullptr), 0);
    EXPECT_EQ(last_error(), XV_SND_ERR_NULL_SOUND);
}

TEST_F(SoundTest, AOneShotEffectFreesItselfOnceItHasPlayed) {
    ASSERT_EQ(start(), 1);
    write_file("snd/cup.wav", bytes_of(wav_file(wav_effect("hole_cup", 11025), 11025, 1)));
    EXPECT_EQ(xv_snd_play_once("snd\\cup.wav"), 0) << "the release is armed";
    EXPECT_EQ(xv_snd_state.effect_count, 1);
    std::vector<int16_t> out(44100 * 2);
    os_sound_mix(out.data(), 44100);
    xv_snd_window_message(nullptr, WM_NULL, 0, 0);
    EXPECT_EQ(xv_snd_state.effect_count, 0);
    EXPECT_NE(warnings().find("here: sound done..."), std::string::npos);
    EXPECT_EQ(xv_snd_play_once("snd\\missing.wav"), 1);
}

// A long WAV streams through six blocks refilled behind the cursor, and
// stops by itself once its last block has played.
TEST_F(SoundTest, AStreamedWaveRefillsItsRingAndStopsAtItsEnd) {
    ASSERT_EQ(start(), 1);
    std::vector<int16_t> samples;
    for (int i = 0; i < 3; ++i) {
        std::vector<int16_t> applause = wav_effect("applause", 11025);
        samples.insert(samples.end(), applause.begin(), applause.end());
    }
    write_file("long.wav", bytes_of(wav_file(samples, 11025, 1)));
    EXPECT_EQ(xv_snd_stream_wav("missing.wav"), 15);
    ASSERT_EQ(xv_snd_stream_wav("long.wav"), 0);
    EXPECT_EQ(xv_snd_wav_streaming(), 1);
    // Seven and a half seconds of sound in a ring of 1.2 s: mixed here in
    // steps the refilling timer keeps up with.
    std::vector<int16_t> out(441 * 2);
    std::vector<int16_t> heard;
    for (int i = 0; i < 3000 && xv_snd_wav_streaming(); ++i) {
        os_sound_mix(out.data(), 441);
        heard.insert(heard.end(), out.begin(), out.end());
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    EXPECT_EQ(xv_snd_wav_streaming(), 0) << "stopped after its end";
    // On a busy machine the refill may lag and a block play twice: the
    // sound lasts at least its length, and stops within a few rings.
    const double seconds = heard.size() / 2 / 44100.0;
    EXPECT_GE(seconds, 7.5) << "every sample of the file heard";
    EXPECT_LT(seconds, 15.0);
}

// ---- music -------------------------------------------------------------------------

TEST_F(SoundTest, TheGameTuneFillsTheStreamAndF2StopsAndResumesIt) {
    ASSERT_EQ(start(), 1);
    const int tune = xv_snd_load_music("snd\\foosball.s3m");
    ASSERT_EQ(tune, 1);
    ASSERT_EQ(xv_snd_play_music(tune), 1);
    EXPECT_EQ(xv_snd_current_music(), tune);
    EXPECT_FALSE(silent(stream())) << "a second of the tune";
    play_for(1500, tune);
    EXPECT_EQ(xv_snd_state.write_chunk, 5) << "fed up to the chunk playing";
    EXPECT_FALSE(silent(stream()));

    press(VK_F2);
    EXPECT_EQ(digital_music, 0);
    EXPECT_EQ(music_volume, -2);
    EXPECT_TRUE(silent(stream()));
    EXPECT_EQ(xv_snd_play_music(tune), 0) << "music is off";
    press(VK_F2);
    EXPECT_EQ(music_volume, 70);
    EXPECT_FALSE(silent(stream()));
    xv_snd_deinit();
    EXPECT_NE(read_file("sound.ini").find("DigitalMusic=1"), std::string::npos);
}

TEST_F(SoundTest, PausedMusicResumesAtTheRowWhereItStopped) {
    ASSERT_EQ(start(), 1);
    const int tune = xv_snd_load_music("snd\\foosball.s3m");
    ASSERT_EQ(xv_snd_play_music(tune), 1);
    play_for(2000, tune);
    xv_snd_toggle_music();
    int order = 0, row = 0;
    module_position(tune, &order, &row);
    play_for(3000, tune);
    int paused_order = 0, paused_row = 0;
    module_position(tune, &paused_order, &paused_row);
    EXPECT_EQ(paused_order, order);
    EXPECT_EQ(paused_row, row) << "a paused player does not advance";
    xv_snd_toggle_music();
    int resumed_order = 0, resumed_row = 0;
    module_position(tune, &resumed_order, &resumed_row);
    // Resuming renders one second ahead: about eight rows at this tempo.
    const int moved = (resumed_order - order) * 64 + resumed_row - row;
    EXPECT_GE(moved, 6);
    EXPECT_LE(moved, 10);
}

TEST_F(SoundTest, StoppingSilencesTheStreamAndUnloadingFreesTheEntry) {
    ASSERT_EQ(start(), 1);
    const int tune = xv_snd_load_music("snd\\foosball.s3m");
    ASSERT_EQ(xv_snd_play_music(tune), 1);
    EXPECT_EQ(xv_snd_play_music(tune), 0) << "already playing";
    EXPECT_EQ(xv_snd_stop_music(tune), 1);
    EXPECT_EQ(xv_snd_current_music(), 0);
    EXPECT_TRUE(silent(stream()));
    EXPECT_EQ(xv_snd_unload_music(tune), 1);
    EXPECT_EQ(xv_snd_play_music(tune), 0) << "a free entry";
    EXPECT_EQ(xv_snd_unload_music(11), 0);
    EXPECT_EQ(xv_snd_load_music("snd\\foosball.s3m"), tune) << "the first free entry again";
    for (int i = 2; i <= 10; ++i) {
        ASSERT_EQ(xv_snd_load_music("snd\\foosball.s3m"), i);
    }
    EXPECT_EQ(xv_snd_state.music_capacity, 20) << "taking the last entry grows the list";
}

TEST_F(SoundTest, DamagedOrMissingMusicIsRefusedWithItsName) {
    ASSERT_EQ(start(), 1);
    std::vector<unsigned char> module = foosball();
    write_file("snd/cut.s3m", std::string(module.begin(), module.begin() + 100));
    write_file("snd/noise.mp3", std::string(5000, '\x55'));
    write_file("snd/tune.mod", "not a tune");
    EXPECT_EQ(xv_snd_load_music("snd\\cut.s3m"), 0);
    EXPECT_EQ(xv_snd_load_music("snd\\noise.mp3"), 0);
    EXPECT_EQ(xv_snd_load_music("snd\\tune.mod"), 0);
    EXPECT_EQ(xv_snd_load_music("snd\\absent.s3m"), 0);
    const std::string said = warnings();
    EXPECT_NE(said.find("Could not load snd\\cut.s3m"), std::string::npos);
    EXPECT_NE(said.find("Could not load snd\\noise.mp3"), std::string::npos);
    EXPECT_NE(said.find("File not found snd\\absent.s3m"), std::string::npos);
}

// ---- MP3 ---------------------------------------------------------------------------

std::vector<uint8_t> test_mp3() {
    std::ifstream in(TEST_MP3, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(Mp3Test, DecodesToTheOutputFormatAndReadsTheTag) {
    const std::vector<uint8_t> image = test_mp3();
    ASSERT_GT(image.size(), 1000u);
    XV_MP3 *mp3 = xv_mp3_open(image.data(), image.size(), XV_MP3_IN_MEMORY, 16, 2, 44100);
    ASSERT_NE(mp3, nullptr);
    ASSERT_NE(xv_mp3_tag(mp3), nullptr);
    EXPECT_EQ(xv_mp3_tag(mp3)->title, "Applause");
    EXPECT_EQ(xv_mp3_tag(mp3)->artist, "Pinwheel Golf");
    std::vector<int16_t> second(44100 * 2);
    EXPECT_EQ(xv_mp3_fill(mp3, second.data(), static_cast<int>(second.size() * 2)), 1);
    EXPECT_EQ(xv_mp3_source_rate(mp3), 22050);
    EXPECT_TRUE(std::any_of(second.begin(), second.end(), [](int16_t s) { return s != 0; }));
    // Panned hard right, the left side is silent.
    xv_mp3_set_pan(mp3, 100);
    xv_mp3_fill(mp3, second.data(), 4410 * 4);
    bool left_silent = true, right_heard = false;
    for (int i = 0; i < 4410; ++i) {
        left_silent = left_silent && second[i * 2] == 0;
        right_heard = right_heard || second[i * 2 + 1] != 0;
    }
    EXPECT_TRUE(left_silent);
    EXPECT_TRUE(right_heard);
    // Two and a half seconds of applause end within the third second.
    EXPECT_EQ(xv_mp3_fill(mp3, second.data(), static_cast<int>(second.size() * 2)), 1);
    EXPECT_EQ(xv_mp3_fill(mp3, second.data(), static_cast<int>(second.size() * 2)), 0);
    EXPECT_EQ(second.back(), 0) << "the rest is silence";
    xv_mp3_close(mp3);

    XV_MP3 *looping = xv_mp3_open(image.data(), image.size(), XV_MP3_LOOP, 8, 1, 11025);
    ASSERT_NE(looping, nullptr);
    std::vector<uint8_t> eight(11025);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(xv_mp3_fill(looping, eight.data(), 11025), 1) << "a loop never ends";
    }
    EXPECT_TRUE(std::any_of(eight.begin(), eight.end(), [](uint8_t s) { return s != 128; }));
    xv_mp3_close(looping);
    EXPECT_EQ(xv_mp3_open(image.data(), image.size(), 0, 24, 2, 44100), nullptr);
    EXPECT_EQ(xv_mp3_open(image.data(), 200, 0, 16, 2, 44100), nullptr) << "no whole frame";
}

// ---- the play list -----------------------------------------------------------------

class PlayListTest : public SoundTest {
  protected:
    void SetUp() override {
        SoundTest::SetUp();
        const std::vector<uint8_t> image = test_mp3();
        for (const char *name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}) {
            write_file(name, bytes_of(image));
        }
        write_file("list.m3u",
                   "# my tunes\r\na.mp3\r\n\r\nb.MP3\r\nnotes.txt\r\nc.mp3\r\nd.mp3\r\n");
        ASSERT_EQ(start(), 1);
        ASSERT_EQ(xv_snd_load_mp3_list("list.m3u"), 4);
    }
};

TEST_F(PlayListTest, InOrderThenShuffledEachTrackOncePerPass) {
    // The position names the track just played: the list goes on after it.
    xv_snd_start_mp3_list(2, 0);
    EXPECT_STREQ(xv_snd_next_mp3(), "c.mp3");
    EXPECT_STREQ(xv_snd_next_mp3(), "d.mp3");
    EXPECT_STREQ(xv_snd_next_mp3(), "a.mp3");
    EXPECT_STREQ(xv_snd_next_mp3(), "b.MP3") << "kept as written";
    xv_snd_start_mp3_list(4, 0);
    EXPECT_STREQ(xv_snd_next_mp3(), "a.mp3") << "a position past the list starts afresh";
    for (int i = 0; i < 4; ++i) {
        xv_snd_state.tracks[i].plays = 0;
    }

    uint32_t clock = 12345;
    os_tick_fake(&clock);
    xv_snd_start_mp3_list(1, 1);
    os_tick_fake(nullptr);
    EXPECT_EQ(xv_snd_state.shuffle_seed, 12345u);
    xv_random_seed(777);
    for (int pass = 0; pass < 3; ++pass) {
        std::set<std::string> heard;
        for (int i = 0; i < 4; ++i) {
            heard.insert(xv_snd_next_mp3());
        }
        EXPECT_EQ(heard.size(), 4u) << "pass " << pass << ": every track once";
    }
    EXPECT_EQ(xv_random_get_seed(), 777u) << "the library's own sequence is put back";
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(xv_snd_state.tracks[i].plays, 3);
    }
}

TEST_F(PlayListTest, TheListPlaysOnWhateverTheGameAsks) {
    xv_snd_start_mp3_list(1, 0);
    const int track = xv_snd_load_music("snd\\foosball.s3m");
    ASSERT_GT(track, 0);
    EXPECT_EQ(xv_snd_state.music[track - 1].type, XV_SND_MP3) << "the list's track instead";
    ASSERT_EQ(xv_snd_play_music(track), 1);
    EXPECT_EQ(xv_snd_load_music("snd\\foosball.s3m"), 1) << "a track runs";
    EXPECT_EQ(xv_snd_stop_music(track), 1);
    EXPECT_EQ(xv_snd_unload_music(track), 1);
    EXPECT_EQ(xv_snd_current_music(), track) << "neither stopped nor unloaded";
    EXPECT_FALSE(silent(stream()));
    // The applause lasts 2.5 s, and the stream runs a second ahead of the
    // speakers: two seconds on, the next track has followed by itself.
    EXPECT_EQ(xv_snd_state.track_position, 1);
    play_for(2000, xv_snd_current_music());
    EXPECT_EQ(xv_snd_state.track_position, 2);
    EXPECT_NE(xv_snd_current_music(), 0);
}

// ---- threads -----------------------------------------------------------------------

// The timer feeds the stream while the player switches music on and off
// and the game starts and stops its tune: the thread sanitiser build runs
// this too, and no race may show.
TEST_F(SoundTest, TheFeederRunsAlongsidePlayStopAndToggles) {
    ASSERT_EQ(start(), 1);
    os_sound_hold(0); // the audio thread mixes as well
    const int tune = xv_snd_load_music("snd\\foosball.s3m");
    ASSERT_EQ(xv_snd_play_music(tune), 1);
    std::atomic<bool> done{false};
    std::thread timer([&] {
        while (!done) {
            xv_snd_update_music(tune);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::vector<int16_t> out(441 * 2);
    for (int i = 0; i < 200; ++i) {
        switch (i % 4) {
        case 0:
            xv_snd_toggle_music();
            break;
        case 1:
            xv_snd_toggle_music();
            break;
        case 2:
            xv_snd_stop_music(tune);
            break;
        default:
            xv_snd_play_music(tune);
            break;
        }
        press(VK_F2);
        press(VK_F2);
        xv_snd_set_interpolation(i % 3 * 4);
    }
    done = true;
    timer.join();
    EXPECT_EQ(xv_snd_current_music(), tune);
    EXPECT_EQ(digital_music, 1);
}

} // namespace
