// Camera files from the input, then updates of every camera with behaviours
// the input chooses: nothing may index outside the table or the world, or
// follow a trail that is not there, and everything is freed.
#include "camera.h"
#include "fuzz_level.h"

namespace {

std::string camera_file(fuzz::Picks &picks) {
    const std::string count = picks.count(6);
    std::string text = "[Level Properties]\r\nnum_cam=" + count + "\r\n";
    for (int n = 1; n <= 8 && picks.more(); ++n) {
        text += "[" + fuzz::numbered("Camera", n) + "]\r\n";
        text += "position=" + picks.vector() + "\r\n";
        text += "collision_sphere_position=" + picks.vector() + "\r\n";
        text += "collision_sphere_radius=" + picks.number() + "\r\n";
        text += "name=" + picks.word() + "\r\n";
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::enter_work_directory();
    fuzz::Picks picks(data, size);
    const bool raw = picks.byte() < 64;
    const std::string text = raw ? picks.raw() : camera_file(picks);
    fuzz::write_input("cams.txt", reinterpret_cast<const uint8_t *>(text.data()), text.size());
    fuzz::QuietLevel level;
    GEN_WO2 ball{};
    for (int i = 0; i < 4; ++i) { // the level's first four nodes: node 3 is the first ball
        xv_3d_world_add_node(game_world(), &ball, nullptr);
    }
    load_cameras("cams.txt");
    set_camera_trigger_switching(picks.byte() & 1);
    for (int i = 0; i < camera_count(); ++i) {
        CAMERA_CONTROL control{};
        get_camera_control(&control, i);
        control.flags = picks.byte();
        control.followed_node = picks.byte() % 6 - 1; // now and then outside the world
        control.look_at_node = picks.byte() % 6 - 1;
        control.smooth_speed = static_cast<float>(picks.byte()) / 16;
        control.trail_speed = static_cast<float>(picks.byte()) / 64;
        set_camera_control(&control, i);
    }
    set_camera_event_handler(camera_event);
    follow_current_player();
    for (int update = 0; update < 8; ++update) {
        camera_update();
    }
    free_cameras();
    return 0;
}
