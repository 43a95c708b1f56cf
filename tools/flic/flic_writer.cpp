#include "flic_writer.h"

#include <cstring>

namespace {

void put16(std::string &out, int value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string &out, uint32_t value) {
    put16(out, static_cast<int>(value & 0xFFFF));
    put16(out, static_cast<int>(value >> 16));
}

// One line in BYTE_RUN packets: runs of three or more repeat, the rest is copied.
void pack_line(std::string &out, const uint8_t *line, int width) {
    std::string packets;
    int count = 0;
    for (int x = 0; x < width;) {
        int run = 1;
        while (x + run < width && run < 127 && line[x + run] == line[x]) {
            ++run;
        }
        if (run >= 3) {
            packets += static_cast<char>(run);
            packets += static_cast<char>(line[x]);
            x += run;
        } else {
            int start = x;
            while (x < width && x - start < 127 &&
                   !(x + 2 < width && line[x] == line[x + 1] && line[x] == line[x + 2])) {
                ++x;
            }
            packets += static_cast<char>(-(x - start));
            packets.append(reinterpret_cast<const char *>(line + start), x - start);
        }
        ++count;
    }
    out += static_cast<char>(count & 0xFF);
    out += packets;
}

} // namespace

FlicWriter::FlicWriter(int kind, int width, int height, int speed)
    : kind_(kind), width_(width), height_(height), speed_(speed) {}

void FlicWriter::begin_frame() {
    frame_.clear();
    frame_chunks_ = 0;
}

void FlicWriter::sub_chunk(uint16_t type, const std::string &data) {
    put32(frame_, static_cast<uint32_t>(data.size() + 6));
    put16(frame_, type);
    frame_ += data;
    ++frame_chunks_;
}

void FlicWriter::colours(const uint8_t *rgb, bool sixty_four_levels) {
    std::string data;
    put16(data, 1); // one packet: skip none, set all 256
    data += '\0';
    data += '\0';
    for (int i = 0; i < 768; ++i) {
        data += static_cast<char>(sixty_four_levels ? rgb[i] / 4 : rgb[i]);
    }
    sub_chunk(sixty_four_levels ? 11 : 4, data);
}

void FlicWriter::byte_run(const uint8_t *pixels) {
    std::string data;
    for (int y = 0; y < height_; ++y) {
        pack_line(data, pixels + y * width_, width_);
    }
    sub_chunk(15, data);
}

void FlicWriter::copy(const uint8_t *pixels) {
    sub_chunk(16, std::string(reinterpret_cast<const char *>(pixels),
                              static_cast<size_t>(width_) * height_));
}

void FlicWriter::black() {
    sub_chunk(13, "");
}

// Each changed stretch of a line: skip the unchanged bytes before it (a
// packet of nothing when they are more than 255), then copy it.
void FlicWriter::delta_fli(const uint8_t *before, const uint8_t *after) {
    int first = 0;
    int last = height_ - 1;
    auto same = [&](int y) { return memcmp(before + y * width_, after + y * width_, width_) == 0; };
    while (first <= last && same(first)) {
        ++first;
    }
    while (last >= first && same(last)) {
        --last;
    }
    std::string data;
    put16(data, first <= last ? first : 0);
    put16(data, first <= last ? last - first + 1 : 0);
    for (int y = first; y <= last; ++y) {
        const uint8_t *old_line = before + y * width_;
        const uint8_t *line = after + y * width_;
        std::string packets;
        int count = 0;
        for (int x = 0, position = 0; x < width_;) {
            if (old_line[x] == line[x]) {
                ++x;
                continue;
            }
            while (x - position > 255) {
                packets += static_cast<char>(255);
                packets += '\0';
                position += 255;
                ++count;
            }
            int start = x;
            while (x < width_ && x - start < 127 && old_line[x] != line[x]) {
                ++x;
            }
            packets += static_cast<char>(start - position);
            packets += static_cast<char>(x - start);
            packets.append(reinterpret_cast<const char *>(line + start), x - start);
            position = x;
            ++count;
        }
        data += static_cast<char>(count);
        data += packets;
    }
    sub_chunk(12, data);
}

// Lines as words: unchanged lines skipped, an odd width's last pixel on
// its own, the rest as pairs of pixels.
void FlicWriter::delta_flc(const uint8_t *before, const uint8_t *after) {
    std::string data;
    int lines = 0;
    int skipped = 0;
    std::string body;
    int pairs_width = width_ & ~1;
    for (int y = 0; y < height_; ++y) {
        const uint8_t *old_line = before + y * width_;
        const uint8_t *line = after + y * width_;
        if (memcmp(old_line, line, width_) == 0) {
            ++skipped;
            continue;
        }
        if (skipped) {
            put16(body, -skipped);
            skipped = 0;
        }
        if (width_ % 2 && old_line[width_ - 1] != line[width_ - 1]) {
            put16(body, 0x8000 | line[width_ - 1]);
        }
        std::string packets;
        int count = 0;
        for (int x = 0, position = 0; x < pairs_width;) {
            if (old_line[x] == line[x] && old_line[x + 1] == line[x + 1]) {
                x += 2;
                continue;
            }
            while (x - position > 254) {
                packets += static_cast<char>(254);
                packets += '\0';
                position += 254;
                ++count;
            }
            int start = x;
            while (x < pairs_width && (x - start) / 2 < 127 &&
                   (old_line[x] != line[x] || old_line[x + 1] != line[x + 1])) {
                x += 2;
            }
            packets += static_cast<char>(start - position);
            packets += static_cast<char>((x - start) / 2);
            packets.append(reinterpret_cast<const char *>(line + start), x - start);
            position = x;
            ++count;
        }
        put16(body, count);
        body += packets;
        ++lines;
    }
    put16(data, lines);
    sub_chunk(7, data + body);
}

void FlicWriter::end_frame() {
    std::string chunk;
    put32(chunk, static_cast<uint32_t>(frame_.size() + 16));
    put16(chunk, 0xF1FA);
    put16(chunk, frame_chunks_);
    chunk.append(8, '\0');
    chunks_ += chunk + frame_;
    ++frames_;
}

void FlicWriter::prefix() {
    std::string chunk;
    put32(chunk, 16);
    put16(chunk, 0xF100);
    chunk.append(10, '\0');
    chunks_ += chunk;
}

std::string FlicWriter::bytes() const {
    std::string header;
    put32(header, static_cast<uint32_t>(128 + chunks_.size()));
    put16(header, kind_ == 1 ? 0xAF11 : 0xAF12);
    put16(header, frames_);
    put16(header, width_);
    put16(header, height_);
    put16(header, 8); // depth
    put16(header, 0); // flags
    put32(header, static_cast<uint32_t>(speed_));
    header.resize(128, '\0');
    return header + chunks_;
}
