// Spline trails: a branching path of quadratic curves that scripted objects
// follow and the cameras aim along. A curve continues into every curve that
// starts where it ends; the first curve is the root of the tree.
//
// The trail file is a string file: [PointSet] PointCount and Point0000 =
// "a,b,c"; [CurveSet] CurveCount and Curve0000 = "start,middle,end" point
// numbers. Its second axis points away from the world's z and its third
// axis up: (a, b, c) is the world point (a, c, −b).
#pragma once

#include <cstdint>

struct TRAIL_POINT {
    float x, y, z;
    int32_t number; // the file point it was copied from, counted from 1
};

struct TRAIL_CURVE {
    TRAIL_POINT start, middle, end;
};

struct TRAIL_NODE {
    TRAIL_NODE **children;
    TRAIL_NODE *parent; // none for the root
    TRAIL_CURVE *curve; // owned
    int32_t num_children;
    int32_t visited; // set while a walk is inside the node
};

// Which coordinates trail_curve_point writes; 0 writes all three.
enum { TRAIL_X = 1, TRAIL_Y = 2, TRAIL_Z = 4 };

// The root of the trail, or none when the file has no curves. A file that
// is not there ends the game through the engine's error report.
TRAIL_NODE *trail_load(const char *file_name);
void trail_free(TRAIL_NODE **root);
// The quadratic through the start at t = 0, the middle at 0.5 and the end
// at 1; other values of t carry it on.
void trail_curve_point(float out[3], const TRAIL_CURVE *curve, float t, int axes);
// The angle of the direction (a, b), in radians from −1.57075 to about 4.71.
// Callers turn it into degrees with 57.29747.
float trail_angle(float a, float b);
// Turns an angle toward the target by step, in degrees, the short way round.
float trail_approach_angle(float angle, float target, float step);
// A node for the curve, appended to the parent's children.
TRAIL_NODE *trail_add_child(TRAIL_NODE *parent, TRAIL_CURVE *curve);
