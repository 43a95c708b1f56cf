#include "trail.h"

#include "gen.h"

#include <cstdio>

namespace {

// Four digits number the points and curves: no file can name more.
constexpr int kMostEntries = 10000;
constexpr int kLongestValue = 100;
// The least bytes an entry takes: "Point0000=" and its line end.
constexpr long kEntryBytes = 11;

// A count the file gives, or -1 when no file could hold that many, or this
// one cannot.
int read_count(const char *section, const char *key, const char *file_name) {
    int count = 0;
    xv_io_ini_read_int(section, key, &count, file_name);
    if (count < 0 || count > kMostEntries) {
        gen_history("-- Warning on loading %s : %s %d is out of range (0 to %d)\n", file_name, key,
                    count, kMostEntries);
        return -1;
    }
    const long size = xv_io_file_size(file_name);
    if (count * kEntryBytes > size) {
        gen_history("-- Warning on loading %s : %s %d is more than the file's %ld bytes can hold\n",
                    file_name, key, count, size);
        return -1;
    }
    return count;
}

// The points, turned into the world's axes. A missing value leaves its
// point at the origin.
TRAIL_POINT *read_points(const char *file_name, int *count) {
    *count = read_count("PointSet", "PointCount", file_name);
    if (*count < 0) {
        return nullptr;
    }
    TRAIL_POINT *points = gen_calloc<TRAIL_POINT>(*count, "trail points");
    gen_history("-- %d points founds .. \n", *count);
    for (int i = 0; points && i < *count; ++i) {
        char key[16], value[kLongestValue + 1] = "";
        std::snprintf(key, sizeof key, "Point%04d", i);
        gen_history("-- ");
        xv_io_ini_read("PointSet", key, value, kLongestValue, file_name);
        TRAIL_POINT &p = points[i];
        std::sscanf(value, "%f,%f,%f", &p.x, &p.z, &p.y);
        p.z = -p.z;
        p.number = i + 1;
        gen_history("Point %d : %s -> %f %f %f \n", i, value, p.x, p.y, p.z);
    }
    return points;
}

// Curve i from its three point numbers; none when one of them names no
// point of the file.
TRAIL_CURVE *read_curve(const char *file_name, int i, const TRAIL_POINT *points, int num_points) {
    char key[16], value[kLongestValue + 1] = "";
    std::snprintf(key, sizeof key, "Curve%04d", i);
    gen_history("-- ");
    xv_io_ini_read("CurveSet", key, value, kLongestValue, file_name);
    int index[3] = {-1, -1, -1};
    std::sscanf(value, "%d,%d,%d", &index[0], &index[1], &index[2]);
    gen_history("Curve %d : %s -> %d %d %d \n", i, value, index[0], index[1], index[2]);
    for (const int k : index) {
        if (k < 0 || k >= num_points) {
            gen_history("-- Warning on loading %s : The Curve%d names point %d, which is not in "
                        "the file\n",
                        file_name, i, k);
            return nullptr;
        }
    }
    auto *curve = gen_calloc<TRAIL_CURVE>(1, "trail curve");
    if (curve) {
        curve->start = points[index[0]];
        curve->middle = points[index[1]];
        curve->end = points[index[2]];
    }
    return curve;
}

// The node whose curve ends where the curve starts, depth first in child
// order; the visited marks keep the walk from entering a node twice.
TRAIL_NODE *find_father(TRAIL_NODE *node, const TRAIL_CURVE *curve) {
    if (node->curve->end.number == curve->start.number) {
        return node;
    }
    node->visited = 1;
    TRAIL_NODE *father = nullptr;
    for (int c = 0; c < node->num_children && !father; ++c) {
        if (!node->children[c]->visited) {
            father = find_father(node->children[c], curve);
        }
    }
    node->visited = 0;
    return father;
}

void release(void *block) {
    if (block) {
        xv_mem_free(block);
    }
}

// Hangs curves 1 onwards under the curves they continue; a curve that
// continues none is left out and freed.
void build_graph(TRAIL_NODE *root, TRAIL_CURVE **curves, int count, const char *file_name) {
    for (int i = 1; i < count; ++i) {
        TRAIL_CURVE *curve = curves[i];
        if (!curve) {
            continue;
        }
        gen_history("-- Handling of Curve %d (%d)", i, curve->start.number);
        TRAIL_NODE *father = find_father(root, curve);
        if (father) {
            gen_history("-- Father found ");
            if (trail_add_child(father, curve)) {
                gen_history("-- Node added found \n");
                continue;
            }
        } else {
            gen_history("-- Warning on loading %s : The Curve%d is not connected to the trail",
                        file_name, i);
        }
        release(curve);
    }
}

} // namespace

TRAIL_NODE *trail_load(const char *file_name) {
    gen_history("Loading spline trail .. \n");
    const int exists =
        xv_io_fexist(file_name, XV_IO_THROUGH_LAYER) || xv_io_fexist(file_name, XV_IO_ON_DISK);
    if (!exists) {
        gen_error("-- Loading of the spline file (%s) impossible --", file_name);
    }
    gen_history("Exist result : %d \n", exists);
    if (!exists) {
        return nullptr;
    }
    // Held open: the points and curves are read in the order they are written.
    xv_io_ini_set_mode(file_name, KEEP_OPEN);
    int num_points = 0;
    TRAIL_POINT *points = read_points(file_name, &num_points);
    const int num_curves = points ? read_count("CurveSet", "CurveCount", file_name) : -1;
    TRAIL_CURVE **curves =
        num_curves > 0 ? gen_calloc<TRAIL_CURVE *>(num_curves, "splines array") : nullptr;
    if (num_curves >= 0) {
        gen_history("-- %d curves founds .. \n", num_curves);
    }
    for (int i = 0; curves && i < num_curves; ++i) {
        curves[i] = read_curve(file_name, i, points, num_points);
    }
    xv_io_ini_set_mode(file_name, KEEP_CLOSE);
    TRAIL_NODE *root = nullptr;
    if (curves) {
        gen_history("-- Creation of the graph .. \n");
        root = curves[0] ? trail_add_child(nullptr, curves[0]) : nullptr;
        if (root) {
            build_graph(root, curves, num_curves, file_name);
        } else {
            gen_history("-- Warning on loading %s : the trail has no first curve\n", file_name);
            for (int i = 0; i < num_curves; ++i) {
                release(curves[i]);
            }
        }
    }
    release(points);
    release(curves);
    return root;
}

void trail_free(TRAIL_NODE **root) {
    if (!root || !*root) {
        return;
    }
    TRAIL_NODE *node = *root;
    gen_history("enter in free .. %d obj\n", node->num_children);
    node->visited = 1;
    for (int c = 0; c < node->num_children; ++c) {
        if (!node->children[c]->visited) {
            trail_free(&node->children[c]);
        }
    }
    release(node->children);
    release(node->curve);
    xv_mem_free(node);
    *root = nullptr;
}

void trail_curve_point(float out[3], const TRAIL_CURVE *curve, float t, int axes) {
    constexpr float T = 1.0f;
    const float p0[3] = {curve->start.x, curve->start.y, curve->start.z};
    const float p1[3] = {curve->middle.x, curve->middle.y, curve->middle.z};
    const float p2[3] = {curve->end.x, curve->end.y, curve->end.z};
    for (int axis = 0; axis < 3; ++axis) {
        if (axes && !(axes & 1 << axis)) {
            continue;
        }
        const float b = (4 * p1[axis] - p2[axis] - 3 * p0[axis]) / T;
        const float c = (2 * p0[axis] + 2 * p2[axis] - 4 * p1[axis]) / (T * T);
        out[axis] = p0[axis] + b * t + c * t * t;
    }
}

float trail_angle(float a, float b) {
    return gen_math_heading(0, 0, a, b);
}

float trail_approach_angle(float angle, float target, float step) {
    // One correction each: 360 itself stays 360.
    auto in_range = [](float value) {
        if (value < 0) {
            value += 360;
        }
        if (value > 360) {
            value -= 360;
        }
        return value;
    };
    angle = in_range(angle);
    target = in_range(target);
    if (target < angle) {
        if (angle - target > 180) {
            angle += step; // up through 360, not held at the target
        } else {
            angle = angle - step < target ? target : angle - step;
        }
    } else if (target - angle > 180) {
        angle -= step; // down through 0
    } else {
        angle = angle + step > target ? target : angle + step;
    }
    return in_range(angle);
}

TRAIL_NODE *trail_add_child(TRAIL_NODE *parent, TRAIL_CURVE *curve) {
    auto *node = gen_calloc<TRAIL_NODE>(1, "trail node");
    if (!node) {
        return nullptr;
    }
    node->curve = curve;
    node->parent = parent;
    if (!parent) {
        return node;
    }
    void *grown =
        xv_mem_realloc(parent->children, (parent->num_children + 1) * sizeof(TRAIL_NODE *));
    if (!grown) {
        gen_mem_failed(__FILE__, __LINE__, "trail children");
        xv_mem_free(node);
        return nullptr;
    }
    parent->children = static_cast<TRAIL_NODE **>(grown);
    xv_mem_set_name(parent->children, "trail children");
    parent->children[parent->num_children++] = node;
    return node;
}
