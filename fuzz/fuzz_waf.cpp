// WAF animations and skeletal blocks from the input: the reader refuses or
// reads, and skinning a model whose skeletal block is the input's never
// reads or writes past its blocks.
#include "fuzz_engine.h"
#include "wo2_writer.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::enter_work_directory();
    const size_t half = size / 2;
    fuzz::write_input("test.waf", data, half);
    // A triangle whose skeletal block is the rest of the input.
    Wo2Model model;
    model.properties = GEN_WO2_SKELETAL;
    Wo2MaterialGroup group;
    group.faces.push_back(wo2_box(1, 1, 1));
    model.objects.push_back({"body", {group}});
    model.skeletal_block.assign(reinterpret_cast<const char *>(data + half), size - half);
    const std::string file = wo2_write(model);
    fuzz::write_input("body.wo2", reinterpret_cast<const uint8_t *>(file.data()), file.size());

    fuzz::QuietEngine engine;
    GEN_WAF waf{};
    gen_waf_load(&waf, "test.waf");
    gen_waf_find_animation(&waf, "walk");
    GEN_WO2 body{};
    gen_wo2_load(&body, "body.wo2");
    for (int animation = 0; animation < std::min<int>(waf.num_animations, 3); ++animation) {
        for (float time : {0.0f, 0.5f, 7.25f}) {
            GEN_ANIM_STATE state = {static_cast<uint32_t>(animation % 2), animation, time};
            gen_wo2_compute_skeletal(&body, &state, &waf);
        }
    }
    gen_wo2_free(&body);
    if (waf.in_use) {
        gen_waf_free(&waf);
    }
    return 0;
}
