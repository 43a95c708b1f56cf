// The instant replay: each player's last stroke is kept as the ball's place
// and turn at every level step, from the stroke until the ball rested (at
// most kMostSteps of them: the memory is bounded, and a longer roll keeps
// its first thirty seconds), and shown again by moving the ball's node
// along it (never played out again) with the chase camera behind it, at
// full speed or in slow motion. The course stands still meanwhile.
#include "play_state.h"
#include "ui.h"

#include "camera.h"
#include "game.h"
#include "players.h"

#include "xv.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kMostSteps = 30 * 30;  // thirty seconds of a stroke
constexpr float kSlowMotion = 0.25f; // steps of the recording a step in slow motion
constexpr float kBehind = 3.2f, kAbove = 1.6f;

struct Recording {
    ReplayFrame frames[kMostSteps];
    int count = 0;
};

struct Replay {
    Recording recordings[MOST_SEATS];
    int seat = -1; // the stroke shown
    float at = 0.0f;
    bool slow = false;
    float kept[3] = {}, kept_turn[3] = {}; // where the ball rests, put back after
    int previous_camera = 0;
    float heading = 0.0f;
};
Replay replay;

// The place between two recorded steps.
void frame_at(float at, ReplayFrame *out) {
    const Recording &recording = replay.recordings[replay.seat];
    const int first = std::min(static_cast<int>(at), recording.count - 1);
    const int second = std::min(first + 1, recording.count - 1);
    const float t = at - static_cast<float>(first);
    for (int axis = 0; axis < 3; ++axis) {
        out->position[axis] = recording.frames[first].position[axis] * (1 - t) +
                              recording.frames[second].position[axis] * t;
        out->rotation[axis] = recording.frames[second].rotation[axis];
    }
}

// The camera stands behind the ball's way and looks at it.
void follow(const ReplayFrame &frame, const ReplayFrame &ahead) {
    const int chase = camera_named(CAMERA_FOLLOWED);
    CAMERA *camera = camera_at(chase);
    if (!camera) {
        return;
    }
    const float dx = ahead.position[0] - frame.position[0];
    const float dz = ahead.position[2] - frame.position[2];
    if (std::hypot(dx, dz) > 0.001f) {
        const float heading = std::atan2(dx, dz);
        replay.heading += std::remainder(heading - replay.heading, 6.2831853f) * 0.1f;
    }
    const float wanted[3] = {frame.position[0] - std::sin(replay.heading) * kBehind,
                             frame.position[1] + kAbove,
                             frame.position[2] - std::cos(replay.heading) * kBehind};
    for (int axis = 0; axis < 3; ++axis) {
        camera->view.position[axis] += (wanted[axis] - camera->view.position[axis]) * 0.15f;
    }
    CAMERA_CONTROL control{};
    get_camera_control(&control, chase);
    control.flags = CAMERA_LOOK_AT_POINT;
    std::memcpy(control.look_at_point, frame.position, sizeof control.look_at_point);
    set_camera_control(&control, chase);
    set_current_camera(chase);
    camera_update();
}

} // namespace

void replay_clear() {
    for (Recording &recording : replay.recordings) {
        recording.count = 0;
    }
}

void replay_begin(int seat) {
    if (seat >= 0 && seat < MOST_SEATS) {
        replay.recordings[seat].count = 0;
        replay_record(seat);
    }
}

void replay_record(int seat) {
    const XV_3D_NODE *ball = player_ball(seat);
    if (seat < 0 || seat >= MOST_SEATS || !ball) {
        return;
    }
    Recording &recording = replay.recordings[seat];
    if (recording.count == kMostSteps) {
        return; // bounded: a roll longer than this keeps its beginning
    }
    ReplayFrame &frame = recording.frames[recording.count++];
    std::memcpy(frame.position, ball->position, sizeof frame.position);
    std::memcpy(frame.rotation, ball->rotation, sizeof frame.rotation);
}

int replay_steps(int seat) {
    return seat >= 0 && seat < MOST_SEATS ? replay.recordings[seat].count : 0;
}

const ReplayFrame *replay_frames(int seat) {
    return seat >= 0 && seat < MOST_SEATS ? replay.recordings[seat].frames : nullptr;
}

int replay_most_steps() {
    return kMostSteps;
}

void play_replay(int seat) {
    if (replay_steps(seat) < 2) {
        return;
    }
    replay.seat = seat;
    play_go(Screen::REPLAY);
}

void replay_enter() {
    replay.at = 0.0f;
    replay.slow = false;
    if (const XV_3D_NODE *ball = player_ball(replay.seat)) {
        std::memcpy(replay.kept, ball->position, sizeof replay.kept);
        std::memcpy(replay.kept_turn, ball->rotation, sizeof replay.kept_turn);
        hole_show_ball(replay.seat, replay.kept, replay.kept_turn, true);
    }
    replay.previous_camera = current_camera();
    const ReplayFrame &first = replay.recordings[replay.seat].frames[0];
    const ReplayFrame &later =
        replay.recordings[replay.seat].frames[std::min(10, replay_steps(replay.seat) - 1)];
    replay.heading =
        std::atan2(later.position[0] - first.position[0], later.position[2] - first.position[2]);
}

// The ball goes back to where it rests, as it was.
void replay_leave() {
    if (player_ball(replay.seat)) {
        hole_show_ball(replay.seat, replay.kept, replay.kept_turn,
                       player(replay.seat)->hole_state != BALL_LIFTED);
    }
    set_current_camera(replay.previous_camera);
}

void replay_step(float fraction) {
    if (ui::pressed(DIK_S) || ui::pad_held(1)) {
        replay.slow = !replay.slow;
    }
    const bool over = replay.at >= static_cast<float>(replay_steps(replay.seat) - 1);
    if (ui::escape() || ui::enter() || ui::pressed(DIK_R) || over) {
        replay_leave();
        play_return();
        return;
    }
    ReplayFrame frame, ahead;
    frame_at(replay.at, &frame);
    frame_at(replay.at + 3.0f, &ahead);
    hole_show_ball(replay.seat, frame.position, frame.rotation, true);
    follow(frame, ahead);
    replay.at += (replay.slow ? kSlowMotion : 1.0f) * fraction;
}

void replay_draw() {
    const std::string title = ui::say(replay.slow ? "ReplaySlow" : "Replay");
    const std::string who = session().seats[std::clamp(replay.seat, 0, MOST_SEATS - 1)].name;
    ui::banner(title + "  " + who, ui::screen_top() + ui::kMargin + 6);
    const std::string hint =
        ui::say(ui::last_device() == ui::Device::PAD ? "ReplayHintPad" : "ReplayHint");
    ui::banner(hint, ui::screen_height() - ui::kMargin - ui::banner_height(hint) + 6);
}
