// Little-endian numbers in byte buffers: every file format the game reads
// or writes stores them so, and a reader takes them a byte at a time rather
// than casting structures over the buffer.
#pragma once

#include <cstdint>
#include <cstring>

inline uint16_t xv_le16(const uint8_t *at) {
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

inline uint32_t xv_le32(const uint8_t *at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

inline float xv_le_f32(const uint8_t *at) {
    const uint32_t bits = xv_le32(at);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void xv_put_le16(uint8_t *at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

inline void xv_put_le32(uint8_t *at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> 8 * i);
    }
}

inline void xv_put_le_f32(uint8_t *at, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    xv_put_le32(at, bits);
}
