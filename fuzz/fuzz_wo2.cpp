// WO2 models, raw or a well-formed model with bytes the input overwrites:
// the reader reports or loads, never reads past the file or the vertex
// block, and what it loads is released without a leak.
#include "fuzz_engine.h"
#include "wo2_writer.h"

namespace {

std::string shaped(const uint8_t *data, size_t size) {
    Wo2Model model;
    Wo2MaterialGroup group;
    group.colours = true;
    group.faces.push_back(wo2_box(1, 2, 3));
    model.objects.push_back({"box#cust 1 2", {group}});
    model.references = {{0, "box_TRANSLUCENT"}};
    Wo2Material material;
    material.maps[4] = "bump.tga";
    model.materials = {material};
    std::string file = wo2_write(model);
    // Pairs of (where, what) overwrite bytes of the file.
    for (size_t i = 0; i + 2 < size; i += 3) {
        const size_t at = (data[i] | data[i + 1] << 8) % file.size();
        file[at] = static_cast<char>(data[i + 2]);
    }
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::enter_work_directory();
    if (size && data[0] % 2) {
        const std::string file = shaped(data + 1, size - 1);
        fuzz::write_input("test.wo2", reinterpret_cast<const uint8_t *>(file.data()), file.size());
    } else {
        fuzz::write_input("test.wo2", data, size);
    }
    fuzz::QuietEngine engine;
    GEN_WO2 model{};
    gen_wo2_load(&model, "test.wo2");
    gen_wo2_find_reference(&model, "box");
    gen_wo2_get_reference_name(&model, 0);
    gen_wo2_free(&model);
    return 0;
}
