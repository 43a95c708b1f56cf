// The small matrix toolkit: 4x4 matrices of 16 floats in OpenGL's
// column-major order (12, 13, 14 the translation). Rotations turn by
// degrees, either about the matrix's own axes (M = M x R) or about its
// parent's axes through its own origin.
#pragma once

constexpr float GEN_DEGREES_TO_RADIANS = 0.01745278f;

void gen_matrix_identity(float m[16]);
bool gen_matrix_is_identity(const float m[16]);
// out = a x b; out may be a or b.
void gen_matrix_multiply(float out[16], const float a[16], const float b[16]);
void gen_matrix_scale(float m[16], float x, float y, float z);
void gen_matrix_translate(float m[16], float x, float y, float z); // in its own axes
// axis 0, 1, 2: x, y, z.
void gen_matrix_rotate(float m[16], int axis, float degrees);
void gen_matrix_rotate_parent(float m[16], int axis, float degrees);
void gen_matrix_print(const float m[16]);
