#include "s3mgen.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <sstream>

namespace {

constexpr int kRows = 64;
constexpr int kChannels = 8;
constexpr int kSampleRate = 16726;        // plays C-5 at its recorded pitch
constexpr double kBaseFrequency = 523.25; // C5

struct Cell {
    int note = 255; // 255 empty, 254 off, else octave << 4 | semitone
    int instrument = 0;
};

struct Instrument {
    std::string wave;
    double decay = 0.5;
    int volume = 64;
};

struct Score {
    std::string title = "untitled";
    int speed = 6, tempo = 125;
    std::map<int, Instrument> instruments;
    std::map<int, std::array<std::array<Cell, kChannels>, kRows>> patterns;
    std::vector<int> orders;
};

bool parse_note(const std::string &text, int *note) {
    static const char *const names = "C D EF G A B";
    if (text == "-") {
        *note = 255;
        return true;
    }
    if (text == "^") {
        *note = 254;
        return true;
    }
    const char *at = std::strchr(names, text.empty() ? '?' : text[0]);
    if (!at || *at == ' ' || text.size() < 2) {
        return false;
    }
    int semitone = static_cast<int>(at - names);
    size_t next = 1;
    if (text[1] == '#') {
        ++semitone;
        ++next;
    }
    if (next >= text.size() || !isdigit(static_cast<unsigned char>(text[next]))) {
        return false;
    }
    int octave = text[next] - '0';
    *note = octave << 4 | (semitone % 12);
    return true;
}

bool parse_line(const std::string &line, Score *score, int *pattern, std::string *why) {
    std::istringstream in(line);
    std::string word;
    if (!(in >> word)) {
        return true;
    }
    if (word == "title") {
        std::getline(in >> std::ws, score->title);
    } else if (word == "speed") {
        in >> score->speed;
    } else if (word == "tempo") {
        in >> score->tempo;
    } else if (word == "instrument") {
        int number = 0;
        Instrument instrument;
        if (!(in >> number >> instrument.wave >> instrument.decay >> instrument.volume) ||
            number < 1 || number > 99) {
            *why = "an instrument is: instrument N WAVE DECAY VOLUME";
            return false;
        }
        score->instruments[number] = instrument;
    } else if (word == "pattern") {
        if (!(in >> *pattern) || *pattern < 0 || *pattern > 99) {
            *why = "a pattern number is 0..99";
            return false;
        }
        score->patterns[*pattern];
    } else if (word == "track") {
        int channel = 0, instrument = 0;
        if (*pattern < 0 || !(in >> channel >> instrument) || channel < 0 || channel >= kChannels ||
            !score->instruments.count(instrument)) {
            *why = "a track needs a pattern, a channel 0..7 and a known instrument";
            return false;
        }
        int row = 0;
        std::string item;
        while (in >> item) {
            size_t colon = item.find(':');
            int note = 0, length = colon == std::string::npos ? 1 : std::atoi(&item[colon + 1]);
            if (!parse_note(item.substr(0, colon), &note) || length < 1 || row + length > kRows) {
                *why = "bad note or past the pattern's end: " + item;
                return false;
            }
            Cell &cell = score->patterns[*pattern][row][channel];
            cell.note = note;
            cell.instrument = note < 254 ? instrument : 0;
            row += length;
        }
    } else if (word == "order") {
        int number = 0;
        while (in >> number) {
            score->orders.push_back(number);
        }
    } else if (word[0] != '#') {
        *why = "unknown word " + word;
        return false;
    }
    return true;
}

// ---- synthesis ------------------------------------------------------------------------

std::vector<unsigned char> synthesise(const Instrument &instrument, uint32_t *seed) {
    const int length = static_cast<int>(std::min(2.0, instrument.decay * 1.5) * kSampleRate);
    std::vector<unsigned char> samples(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double phase = std::fmod(t * kBaseFrequency, 1.0);
        double value = 0;
        if (instrument.wave == "square") {
            value = phase < 0.5 ? 0.6 : -0.6;
        } else if (instrument.wave == "triangle") {
            value = phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
        } else if (instrument.wave == "saw") {
            value = 2 * phase - 1;
        } else if (instrument.wave == "noise") {
            *seed = *seed * 1103515245u + 12345u;
            value = ((*seed >> 16) & 0x7FFF) / 16384.0 - 1.0;
        } else if (instrument.wave == "kick") {
            // A thump: a sine whose pitch falls fast.
            value = std::sin(2 * M_PI * (50 * t + 5 * (1 - std::exp(-30 * t))));
        } else {
            value = std::sin(2 * M_PI * phase);
        }
        const double attack = std::min(1.0, t / 0.004); // no click at the start
        const double envelope = attack * std::pow(0.1, t / instrument.decay);
        samples[static_cast<size_t>(i)] =
            static_cast<unsigned char>(128 + std::lround(value * envelope * 120));
    }
    return samples;
}

// ---- the file ------------------------------------------------------------------------

void put16(std::vector<unsigned char> &out, size_t at, int value) {
    out[at] = static_cast<unsigned char>(value & 0xFF);
    out[at + 1] = static_cast<unsigned char>(value >> 8 & 0xFF);
}

void put32(std::vector<unsigned char> &out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<size_t>(i)] = static_cast<unsigned char>(value >> (8 * i) & 0xFF);
    }
}

// Blocks of the file start on 16-byte boundaries: they are addressed by
// paragraph.
size_t align16(std::vector<unsigned char> &out) {
    while (out.size() % 16) {
        out.push_back(0);
    }
    return out.size();
}

std::vector<unsigned char>
pack_pattern(const std::array<std::array<Cell, kChannels>, kRows> &rows) {
    std::vector<unsigned char> packed = {0, 0};
    for (const auto &row : rows) {
        for (int channel = 0; channel < kChannels; ++channel) {
            const Cell &cell = row[static_cast<size_t>(channel)];
            if (cell.note == 255) {
                continue;
            }
            packed.push_back(static_cast<unsigned char>(32 | channel));
            packed.push_back(static_cast<unsigned char>(cell.note));
            packed.push_back(static_cast<unsigned char>(cell.instrument));
        }
        packed.push_back(0);
    }
    put16(packed, 0, static_cast<int>(packed.size()));
    return packed;
}

std::vector<unsigned char> write_module(const Score &score) {
    const int patterns = score.patterns.empty() ? 0 : score.patterns.rbegin()->first + 1;
    const int instruments = score.instruments.empty() ? 0 : score.instruments.rbegin()->first;
    std::vector<int> orders = score.orders;
    orders.push_back(255);
    if (orders.size() % 2) {
        orders.push_back(255);
    }
    std::vector<unsigned char> out(96, 0);
    std::strncpy(reinterpret_cast<char *>(out.data()), score.title.c_str(), 27);
    out[28] = 0x1A;
    out[29] = 16;
    put16(out, 32, static_cast<int>(orders.size()));
    put16(out, 34, instruments);
    put16(out, 36, patterns);
    put16(out, 40, 0x1320);
    put16(out, 42, 2); // unsigned samples
    std::memcpy(&out[44], "SCRM", 4);
    out[48] = 64;
    out[49] = static_cast<unsigned char>(score.speed);
    out[50] = static_cast<unsigned char>(score.tempo);
    out[51] = 0x80 | 48; // stereo
    out[52] = 16;
    for (int channel = 0; channel < 32; ++channel) {
        // Left and right channels in turn, so the parts spread out.
        out[64 + static_cast<size_t>(channel)] =
            channel < kChannels
                ? static_cast<unsigned char>(channel % 2 ? 8 + channel / 2 : channel / 2)
                : 255;
    }
    for (int order : orders) {
        out.push_back(static_cast<unsigned char>(order));
    }
    const size_t pointers = out.size();
    out.resize(out.size() + 2 * static_cast<size_t>(instruments + patterns), 0);

    uint32_t seed = 1;
    std::vector<size_t> headers;
    for (int number = 1; number <= instruments; ++number) {
        const size_t header = align16(out);
        headers.push_back(header);
        put16(out, pointers + 2 * static_cast<size_t>(number - 1), static_cast<int>(header / 16));
        out.resize(header + 80, 0);
        out[header] = 1;
        std::memcpy(&out[header + 76], "SCRS", 4);
    }
    for (int number = 1; number <= instruments; ++number) {
        const size_t header = headers[static_cast<size_t>(number - 1)];
        auto found = score.instruments.find(number);
        if (found == score.instruments.end()) {
            continue;
        }
        std::vector<unsigned char> samples = synthesise(found->second, &seed);
        const size_t data = align16(out);
        out.insert(out.end(), samples.begin(), samples.end());
        const uint32_t paragraph = static_cast<uint32_t>(data / 16);
        out[header + 13] = static_cast<unsigned char>(paragraph >> 16);
        put16(out, header + 14, static_cast<int>(paragraph & 0xFFFF));
        put32(out, header + 16, static_cast<uint32_t>(samples.size()));
        out[header + 28] = static_cast<unsigned char>(found->second.volume);
        put32(out, header + 32, kSampleRate);
        std::strncpy(reinterpret_cast<char *>(&out[header + 48]), found->second.wave.c_str(), 27);
    }
    for (int number = 0; number < patterns; ++number) {
        std::array<std::array<Cell, kChannels>, kRows> empty{};
        auto found = score.patterns.find(number);
        std::vector<unsigned char> packed =
            pack_pattern(found != score.patterns.end() ? found->second : empty);
        const size_t at = align16(out);
        put16(out, pointers + 2 * static_cast<size_t>(instruments + number),
              static_cast<int>(at / 16));
        out.insert(out.end(), packed.begin(), packed.end());
    }
    align16(out);
    return out;
}

} // namespace

bool s3m_compose(const std::string &text, std::vector<unsigned char> *module, std::string *error) {
    Score score;
    std::istringstream lines(text);
    std::string line;
    int pattern = -1;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::string why;
        if (!parse_line(line, &score, &pattern, &why)) {
            *error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    for (int order : score.orders) {
        if (!score.patterns.count(order)) {
            *error = "the order names pattern " + std::to_string(order) + ", which has no tracks";
            return false;
        }
    }
    if (score.orders.empty()) {
        *error = "no order";
        return false;
    }
    *module = write_module(score);
    return true;
}
