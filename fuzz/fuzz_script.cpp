// Script files from the input, loaded and run for a while, with and without
// a trail: nothing may index outside the scripts, threads or world, follow a
// missing trail or grow without bound, and everything is freed.
#include "fuzz_level.h"
#include "script.h"
#include "trail.h"

#include "wo2_writer.h"

namespace {

std::string script_file(fuzz::Picks &picks) {
    std::string text = "[Level Properties]\r\nnum_objects=" + picks.count(2) +
                       "\r\nnum_scripts=" + picks.count(3) + "\r\nnum_nodes=" + picks.count(3) +
                       "\r\n";
    for (int n = 1; n <= 2; ++n) {
        text += "[" + fuzz::numbered("Object", n) + "]\r\nfile=box.wo2\r\nfile_coll=box.col\r\n";
    }
    for (int s = 1; s <= 3 && picks.more(); ++s) {
        text += "[" + fuzz::numbered("Script", s) + "]\r\nnum_action=" + picks.count(4) + "\r\n";
        for (int a = 1; a <= 4; ++a) {
            const std::string key = fuzz::numbered("action", a);
            text += key + "=" + std::to_string(picks.byte() % 9) + "\r\n";
            text += key + "_params=" + (picks.byte() & 1 ? picks.word() : picks.vector()) + "\r\n";
            if (picks.byte() < 80) {
                text += key + "_thread=" + picks.word() + "\r\n";
            }
        }
    }
    for (int n = 1; n <= 3 && picks.more(); ++n) {
        text += "[" + fuzz::numbered("Node", n) + "]\r\n";
        text += "object_reference=" + picks.count(3) + "\r\nscript_reference=" + picks.count(4) +
                "\r\nscript_start_step=" + picks.count(5) + "\r\nx=" + picks.number() +
                "\r\ny=" + picks.number() + "\r\nz=" + picks.number() + "\r\n";
    }
    return text;
}

const char kTrail[] = "[PointSet]\r\nPointCount=3\r\nPoint0000=0,0,0\r\nPoint0001=1,0,0\r\n"
                      "Point0002=2,0,0\r\n[CurveSet]\r\nCurveCount=1\r\nCurve0000=0,1,2\r\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::enter_work_directory();
    static const bool models = [] {
        Wo2Model box;
        Wo2MaterialGroup group;
        group.faces = {wo2_box(1, 1, 1)};
        box.objects = {{"box", {group}}};
        box.references = {{0, "box"}};
        const std::string bytes = wo2_write(box);
        fuzz::write_input("box.wo2", reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
        fuzz::write_input("trail.txt", reinterpret_cast<const uint8_t *>(kTrail),
                          sizeof kTrail - 1);
        return true;
    }();
    (void)models;
    fuzz::Picks picks(data, size);
    const uint8_t first = picks.byte();
    const std::string text = first < 64 ? picks.raw() : script_file(picks);
    fuzz::write_input("script.txt", reinterpret_cast<const uint8_t *>(text.data()), text.size());
    fuzz::QuietLevel level;
    game()->trail = first & 1 ? trail_load("trail.txt") : nullptr;
    script_set_event_hook(script_trace_hook);
    script_load("script.txt");
    for (int update = 0; update < 200; ++update) {
        script_update();
    }
    script_unload();
    trail_free(&game()->trail);
    return 0;
}
