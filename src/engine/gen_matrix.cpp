#include "gen_matrix.h"

#include "gen_info.h"

#include <cmath>
#include <cstring>

namespace {

void rotation(float r[16], int axis, float degrees) {
    gen_matrix_identity(r);
    const float a = degrees * GEN_DEGREES_TO_RADIANS;
    const float c = std::cos(a), s = std::sin(a);
    // The two axes turned, in the order that makes the turn right-handed.
    const int p = (axis + 1) % 3, q = (axis + 2) % 3;
    r[p * 4 + p] = c;
    r[p * 4 + q] = s;
    r[q * 4 + p] = -s;
    r[q * 4 + q] = c;
}

} // namespace

void gen_matrix_identity(float m[16]) {
    for (int i = 0; i < 16; ++i) {
        m[i] = i % 5 == 0 ? 1.0f : 0.0f;
    }
}

bool gen_matrix_is_identity(const float m[16]) {
    for (int i = 0; i < 16; ++i) {
        if (m[i] != (i % 5 == 0 ? 1.0f : 0.0f)) {
            return false;
        }
    }
    return true;
}

void gen_matrix_multiply(float out[16], const float a[16], const float b[16]) {
    float product[16];
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += a[k * 4 + row] * b[column * 4 + k];
            }
            product[column * 4 + row] = sum;
        }
    }
    std::memcpy(out, product, sizeof product);
}

void gen_matrix_scale(float m[16], float x, float y, float z) {
    const float factors[3] = {x, y, z};
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 4; ++row) {
            m[column * 4 + row] *= factors[column];
        }
    }
}

void gen_matrix_translate(float m[16], float x, float y, float z) {
    for (int row = 0; row < 4; ++row) {
        m[12 + row] += m[row] * x + m[4 + row] * y + m[8 + row] * z;
    }
}

void gen_matrix_rotate(float m[16], int axis, float degrees) {
    float r[16];
    rotation(r, axis, degrees);
    gen_matrix_multiply(m, m, r);
}

void gen_matrix_rotate_parent(float m[16], int axis, float degrees) {
    const float origin[3] = {m[12], m[13], m[14]};
    m[12] = m[13] = m[14] = 0;
    float r[16];
    rotation(r, axis, degrees);
    gen_matrix_multiply(m, r, m);
    m[12] = origin[0], m[13] = origin[1], m[14] = origin[2];
}

void gen_matrix_print(const float m[16]) {
    gen_history("Matrix:\n");
    for (int row = 0; row < 4; ++row) {
        gen_history("%f %f %f %f\n", m[row * 4], m[row * 4 + 1], m[row * 4 + 2], m[row * 4 + 3]);
    }
}
