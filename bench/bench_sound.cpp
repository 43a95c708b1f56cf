// The music's cost: one second of audio at 44100 Hz, stereo, 16-bit, from
// (a) the game's S3M tune through the module player and (b) a 128 kbit/s
// MP3 through the decoder. "core_percent" is the share of one core that
// playing it in real time takes; the goal is under 2 % each.
#include "bench_scratch.h"
#include "s3mgen.h"
#include "wavgen.h"
#include "xv_snd_mp3.h"
#include "xv_snd_s3m.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kSecondBytes = kRate * 2 * 2;

std::vector<unsigned char> game_tune() {
    std::ifstream in(FOOSBALL_SCORE);
    std::stringstream score;
    score << in.rdbuf();
    std::vector<unsigned char> module;
    std::string error;
    s3m_compose(score.str(), &module, &error);
    return module;
}

// Ten seconds of the applause at 44100 Hz, encoded by lame at 128 kbit/s.
std::vector<uint8_t> test_mp3() {
    const auto directory = bench_scratch_path();
    const std::string wav = (directory / "bench_sound.wav").string();
    const std::string mp3 = (directory / "bench_sound.mp3").string();
    std::vector<int16_t> samples;
    for (int i = 0; i < 4; ++i) {
        std::vector<int16_t> applause = wav_effect("applause", kRate);
        samples.insert(samples.end(), applause.begin(), applause.end());
    }
    const std::vector<uint8_t> file = wav_file(samples, kRate, 1);
    std::ofstream(wav, std::ios::binary)
        .write(reinterpret_cast<const char *>(file.data()), static_cast<long>(file.size()));
    const std::string command = "lame --quiet -b 128 -m j " + wav + " " + mp3;
    if (std::system(command.c_str()) != 0) {
        return {};
    }
    std::ifstream in(mp3, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void report(benchmark::State &state) {
    // Seconds of work per second of audio, as a percentage.
    state.counters["core_percent"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 100.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSecondBytes);
}

void BM_S3mSecond(benchmark::State &state) {
    const std::vector<unsigned char> image = game_tune();
    XV_S3M *module = xv_s3m_load(image.data(), image.size());
    if (!module || !xv_s3m_start(module, kRate, XV_S3M_STEREO | XV_S3M_16BIT | 4,
                                 XV_S3M_FULL_VOLUME * 70 / 100)) {
        state.SkipWithError("the tune did not load");
        return;
    }
    std::vector<uint8_t> second(kSecondBytes);
    for (auto _ : state) {
        xv_s3m_render(module, second.data(), kSecondBytes);
        benchmark::DoNotOptimize(second.data());
    }
    report(state);
    xv_s3m_free(module);
}
BENCHMARK(BM_S3mSecond)->Unit(benchmark::kMillisecond);

void BM_Mp3Second(benchmark::State &state) {
    const std::vector<uint8_t> image = test_mp3();
    XV_MP3 *mp3 = image.empty() ? nullptr
                                : xv_mp3_open(image.data(), image.size(),
                                              XV_MP3_IN_MEMORY | XV_MP3_LOOP, 16, 2, kRate);
    if (!mp3) {
        state.SkipWithError("no MP3 (is lame installed?)");
        return;
    }
    std::vector<uint8_t> second(kSecondBytes);
    for (auto _ : state) {
        xv_mp3_fill(mp3, second.data(), kSecondBytes);
        benchmark::DoNotOptimize(second.data());
    }
    report(state);
    xv_mp3_close(mp3);
}
BENCHMARK(BM_Mp3Second)->Unit(benchmark::kMillisecond);

} // namespace

PINWHEEL_BENCHMARK_MAIN()
