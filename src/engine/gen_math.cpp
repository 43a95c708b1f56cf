#include "gen_math.h"

#include "gen_info.h"

#include <cmath>

namespace {

constexpr float kHalfTurnRadians = 3.14f;
constexpr float kTurnRadians = 6.28f;
constexpr float kQuarterTurn = 1.57075f;
constexpr float kPi = 3.1415927f;

void subtract(float out[3], const float a[3], const float b[3]) {
    for (int i = 0; i < 3; ++i) {
        out[i] = a[i] - b[i];
    }
}

// Brings value within half a turn above or below the target by whole
// turns. A value thousands of turns away is first brought near at once.
float wrap_near(float value, float target, float half, float turn) {
    if (!std::isfinite(value) || !std::isfinite(target)) {
        return value;
    }
    if (std::fabs(value - target) > 1000 * turn) {
        value = target + std::fmod(value - target, turn);
    }
    while (value > target + half) {
        value -= turn;
    }
    while (value < target - half) {
        value += turn;
    }
    return value;
}

} // namespace

void gen_math_cross(float out[3], const float a[3], const float b[3]) {
    const float x = a[1] * b[2] - a[2] * b[1];
    const float y = a[2] * b[0] - a[0] * b[2];
    const float z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

void gen_math_normalize(float v[3]) {
    const float length = std::sqrt(gen_math_dot(v, v));
    if (length == 0.0f) {
        return;
    }
    for (int i = 0; i < 3; ++i) {
        v[i] /= length;
    }
}

void gen_math_triangle_normal(float out[3], const float a[3], const float b[3], const float c[3]) {
    float ab[3], ca[3];
    subtract(ab, a, b);
    subtract(ca, c, a);
    gen_math_cross(out, ab, ca);
    gen_math_normalize(out);
}

void gen_math_plane_from_points(float plane[4], const float a[3], const float b[3],
                                const float c[3]) {
    gen_math_triangle_normal(plane, a, b, c);
    plane[3] = -gen_math_dot(plane, a);
}

void gen_math_plane_from_point_normal(float plane[4], const float point[3], const float normal[3]) {
    for (int i = 0; i < 3; ++i) {
        plane[i] = normal[i];
    }
    plane[3] = -gen_math_dot(normal, point);
}

void gen_math_line_from_points(GEN_LINE *line, const float a[3], const float b[3]) {
    float d[3];
    subtract(d, b, a);
    line->length = std::sqrt(gen_math_dot(d, d));
    for (int i = 0; i < 3; ++i) {
        line->origin[i] = a[i];
        line->direction[i] = d[i];
    }
    if (line->length == 0.0f) {
        gen_assert("v->lenght!=0", __FILE__, __LINE__);
    } else {
        for (float &component : line->direction) {
            component /= line->length;
        }
    }
}

void gen_math_move(float point[3], float distance, float a, float b) {
    point[0] += std::sin(a) * std::cos(b) * distance;
    point[1] -= std::sin(b) * distance;
    point[2] -= std::cos(a) * std::cos(b) * distance;
}

bool gen_math_is_power_of_two(int value) {
    for (int power = 2; power <= 32768; power *= 2) {
        if (value == power) {
            return true;
        }
    }
    return false;
}

float gen_math_approach(float value, float target, float step) {
    step = std::fabs(step);
    if (value < target) {
        return value + step < target ? value + step : target;
    }
    return value - step > target ? value - step : target;
}

float gen_math_approach_angle(float value, float target, float step, bool degrees) {
    const float half = degrees ? 180.0f : kHalfTurnRadians;
    const float turn = degrees ? 360.0f : kTurnRadians;
    return gen_math_approach(wrap_near(value, target, half, turn), target, step);
}

float gen_math_angle_difference(float a, float b, bool degrees) {
    const float half = degrees ? 180.0f : kHalfTurnRadians;
    const float turn = degrees ? 360.0f : kTurnRadians;
    float difference = std::fabs(a - b);
    if (!std::isfinite(difference)) {
        return difference;
    }
    if (difference > 1000 * turn) {
        difference = std::fmod(difference, turn);
    }
    while (difference > half) {
        difference -= turn;
    }
    return difference;
}

float gen_math_heading(float x0, float y0, float x1, float y1) {
    if (x1 == x0) {
        return y1 < y0 ? -kQuarterTurn : kQuarterTurn;
    }
    const float angle = std::atan((y1 - y0) / (x1 - x0));
    return x1 < x0 ? angle + kPi : angle;
}

int gen_math_fit_int_min_max(int value, int min, int max) {
    if (max < min) {
        gen_error("gen_math_fit_int_min_max: min (%i) < max (%i)", min, max);
        return value;
    }
    const long long span = static_cast<long long>(max) - min + 1;
    long long offset = (static_cast<long long>(value) - min) % span;
    if (offset < 0) {
        offset += span;
    }
    return static_cast<int>(min + offset);
}

float gen_math_fit_float_min_max(float value, float min, float max) {
    if (max < min) {
        gen_error("gen_math_fit_float_min_max: min (%f) < max (%f)", min, max);
        return value;
    }
    const float span = max - min;
    if (span == 0.0f || !std::isfinite(value)) {
        return span == 0.0f ? min : value;
    }
    // Whole spans at once: a value above max comes down to at most max, one
    // below min up to at least min, as stepping span by span would.
    if (value > max) {
        value -= span * std::ceil((value - max) / span);
    } else if (value < min) {
        value += span * std::ceil((min - value) / span);
    }
    return value;
}

float gen_math_fraction(float value) {
    const float fraction = value - std::trunc(value);
    return fraction < 0.0f ? fraction + 1.0f : fraction;
}

bool gen_math_ray_sphere(const float origin[3], const float direction[3], const float centre[3],
                         float radius, float *distance) {
    float to_centre[3];
    subtract(to_centre, centre, origin);
    const float s = gen_math_dot(to_centre, direction);
    const float l2 = gen_math_dot(to_centre, to_centre);
    const float r2 = radius * radius;
    if (s < 0.0f && l2 > r2) {
        return false;
    }
    const float m2 = l2 - s * s;
    if (m2 > r2) {
        return false;
    }
    const float q = std::sqrt(r2 - m2);
    *distance = l2 > r2 ? s - q : s + q;
    return true;
}

bool gen_math_polygon_refused(const char *why) {
    gen_error("%s", why);
    return false;
}
