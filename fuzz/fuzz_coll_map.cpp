// Collision map files: a sound map of a small course with bytes the input
// overwrites, or the input itself (the seeds are maps of the game's). The loader refuses or loads;
// a loaded map is checked against its model or rebuilt, and queries down it never read past the map
// or the model.
#include "fuzz_engine.h"
#include "wo2_writer.h"
#include "xv_bytes.h"

#include <string>

namespace {

Wo2Model course() {
    std::vector<float> heights(36);
    for (size_t i = 0; i < heights.size(); ++i) {
        heights[i] = 0.1f * static_cast<float>(i % 5);
    }
    Wo2Model model;
    Wo2MaterialGroup ground, walls;
    ground.faces.push_back(wo2_heightfield(heights, 6, 6, 1));
    walls.faces.push_back(wo2_cylinder_side(1, 1, 8));
    model.objects = {{"ground", {ground}}, {"post", {walls}}};
    model.references = {{0, "ground"}, {1, "post"}, {1, "post_NO_COLLISION"}};
    return model;
}

void query(GEN_WO2 *model, GEN_COLL_MAP *map) {
    const float start[3] = {-1, 2, -1}, end[3] = {4, -1, 4}, lo[3] = {1, 0, 1}, hi[3] = {2, 1, 2};
    for (uint32_t flags : {0u, 1u, 2u, 5u}) {
        gen_coll_set_flags(flags);
        gen_coll_sphere_wo2(2, 0.2f, 2, 0.5f, model, map);
        gen_coll_ray_wo2(start, end, 0, model, map);
        gen_coll_ray_wo2(start, end, 0.3f, model, map);
        gen_coll_aabb_wo2(lo, hi, model, map);
    }
    gen_coll_set_flags(0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::enter_work_directory();
    const std::string written = wo2_write(course());
    fuzz::write_input("course.wo2", reinterpret_cast<const uint8_t *>(written.data()),
                      written.size());
    fuzz::QuietEngine engine;
    GEN_WO2 model{};
    gen_wo2_load(&model, "course.wo2");
    GEN_COLL_MAP map{};
    // A map file's own bytes (its file type first) are a map of their own;
    // any other input chooses by its first byte.
    const bool map_file = size >= 2 && xv_le16(data) == GEN_COLL_MAP_FILE_TYPE;
    if (size && data[0] % 2 && !map_file) {
        // Pairs of (where, what) overwrite bytes of a sound map's file.
        gen_wo2_coll_map_build(&model, &map, 4, 20);
        gen_wo2_coll_map_save(&model, &map, "course.col");
        gen_wo2_coll_map_free(&map);
        std::vector<uint8_t> bytes;
        xv_io_read_whole("course.col", &bytes, 1 << 20);
        for (size_t i = 1; i + 2 < size && !bytes.empty(); i += 3) {
            bytes[(data[i] | data[i + 1] << 8) % bytes.size()] = data[i + 2];
        }
        fuzz::write_input("course.col", bytes.data(), bytes.size());
        gen_wo2_coll_map_create(&model, &map, 4, 20, "course.col");
    } else {
        // The input as a map file of its own, queried without a check.
        fuzz::write_input("course.col", data, size);
        gen_wo2_coll_map_load(&map, "course.col");
    }
    if (map.inited) {
        query(&model, &map);
        gen_wo2_coll_map_free(&map);
    }
    gen_wo2_free(&model);
    return 0;
}
