// Trail files from the input: the loader builds a tree or refuses, never
// reads outside its points, and everything it made is freed.
#include "fuzz_engine.h"
#include "trail.h"

namespace {

void walk(const TRAIL_NODE *node, int depth) {
    float point[3];
    trail_curve_point(point, node->curve, 0.5f, 0);
    for (int c = 0; c < node->num_children && depth < 64; ++c) {
        walk(node->children[c], depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::enter_work_directory();
    fuzz::write_input("trail.ini", data, size);
    fuzz::QuietEngine engine;
    TRAIL_NODE *root = trail_load("trail.ini");
    if (root) {
        walk(root, 0);
    }
    trail_free(&root);
    return 0;
}
