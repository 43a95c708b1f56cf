#include "script.h"

#include "game.h"
#include "trail.h"

#include "gen.h"
#include "xv.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr float kDegreesPerRadian = 57.29747f;
constexpr float kTrailStep = 0.002f;
constexpr float kTrailOverrun = 1.01f;
constexpr float kPitchStep = 0.5f;
constexpr float kHeadingStep = 1.0f;
constexpr char kProperties[] = "Level Properties";
constexpr char kFirstThread[] = "thread_gen/0";

struct KindEntry {
    int kind;
    SCRIPT_LOADER loader;
    SCRIPT_RUNNER runner;
};

struct Scripts {
    SCRIPT_OBJECT *objects = nullptr;
    int num_objects = 0;
    SCRIPT *scripts = nullptr;
    int num_scripts = 0;
    SCRIPT_NODE *nodes = nullptr;
    int num_nodes = 0;
    XV_LIST *registry = nullptr;
    XV_LIST *stopped = nullptr; // threads stopped this update, freed at its end
    SCRIPT_EVENT_HOOK hook = nullptr;
    int thread_actions = 0; // held by all threads together
    bool threads_full_said = false;
};
Scripts state;

// ---- memory ------------------------------------------------------------------------

void release(void *block) {
    if (block) {
        XV_FREE(block);
    }
}

SCRIPT_ACTION *copy_actions(const SCRIPT_ACTION *actions, int count) {
    auto *copy = gen_calloc<SCRIPT_ACTION>(static_cast<size_t>(count), "thread actions");
    if (copy && count > 0) {
        std::memcpy(copy, actions, sizeof(SCRIPT_ACTION) * static_cast<size_t>(count));
    }
    return copy;
}

// Whether the threads may hold count more actions: a script that inserts
// itself, or a file of many nodes running long scripts, would otherwise
// take memory without end. Said once a level.
bool threads_take(int count, const char *what) {
    if (count <= SCRIPT_MOST_THREAD_ACTIONS - state.thread_actions) {
        state.thread_actions += count;
        return true;
    }
    if (!state.threads_full_said) {
        state.threads_full_said = true;
        gen_error("Scripts: %s would pass the %d actions all threads together may hold; it is "
                  "left out",
                  what, SCRIPT_MOST_THREAD_ACTIONS);
    }
    return false;
}

void free_thread(SCRIPT_THREAD *thread) {
    state.thread_actions -= thread->num_actions;
    release(thread->actions);
    thread->actions = nullptr;
    thread->num_actions = 0;
}

// Empties a thread list: each thread's actions, then the threads, which the
// list owns.
void clear_threads(XV_LIST *threads) {
    if (!threads) {
        return;
    }
    for (XV_LIST_NODE *at = threads->head; at; at = at->next) {
        free_thread(static_cast<SCRIPT_THREAD *>(at->item));
    }
    xv_list_clear(threads);
}

// ---- reading the file ----------------------------------------------------------------

// The least bytes a file spends on a section's header ("[Node001]" and its
// line end; objects' and scripts' names are longer) and on an action's kind
// ("action001=1" and its line end).
constexpr long kSectionBytes = 10;
constexpr long kActionBytes = 12;

// A file being loaded, and the bytes of it that the counts read so far have
// not claimed: a count the rest of the file cannot hold is damage, and
// believing it would allocate, and look for sections, for nothing.
struct Loading {
    const char *file_name;
    long size;
    long unclaimed;
};

// A count the file gives; 0 (with an engine error) when negative, more than
// three-digit sections can number or more than the file can hold.
int read_count(Loading &loading, const char *section, const char *key, long bytes_each) {
    int count = 0;
    xv_io_ini_read_int(section, key, &count, loading.file_name);
    if (count < 0 || count > SCRIPT_MOST_IN_FILE) {
        gen_error("Loading file '%s' %s of [%s] is %d: it must lie within 0 to %d",
                  loading.file_name, key, section, count, SCRIPT_MOST_IN_FILE);
        return 0;
    }
    const long claimed = count * bytes_each;
    if (claimed > loading.unclaimed) {
        gen_error("Loading file '%s' %s of [%s] is %d, more than the file's %ld bytes can hold",
                  loading.file_name, key, section, count, loading.size);
        return 0;
    }
    loading.unclaimed -= claimed;
    return count;
}

// The entries of a list end at the first that lacks the key it cannot do
// without, with one report for the whole list instead of one for each key
// of each entry the count promised. Returns how many it holds.
int list_ends(const Loading &loading, const char *list, int count, const std::string &section,
              const char *key, int number) {
    gen_error("Loading file '%s' claims %d %s, but [%s] has no %s: the %s end there",
              loading.file_name, count, list, section.c_str(), key, list);
    return number - 1;
}

std::string numbered(const char *word, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%03d", word, number);
    return name;
}

// Refuses what strtof makes of "nan" and "inf": a place or a speed must be
// a number, or the objects and balls it reaches would be lost.
bool take_finite(float value, float *out, const char *section, const char *key,
                 const char *file_name) {
    if (!std::isfinite(value)) {
        gen_error("Loading file '%s' [%s]%s is not a finite number", file_name, section, key);
        return false;
    }
    *out = value;
    return true;
}

// The parameters of an action: at most four floats in the kind's format.
int read_parameters(SCRIPT_ACTION *action, const char *file_name, const char *section,
                    const char *key, int count) {
    char text[SCRIPT_PARAMS_SIZE + 1] = "";
    xv_io_ini_read(section, key, text, SCRIPT_PARAMS_SIZE, file_name);
    float values[4] = {action->p[0], action->p[1], action->p[2], action->p[3]};
    const int read =
        std::sscanf(text, "%f,%f,%f,%f", &values[0], &values[1], &values[2], &values[3]);
    for (int i = 0; i < count && i < read; ++i) {
        take_finite(values[i], &action->p[i], section, key, file_name);
    }
    return 1;
}

int load_four(SCRIPT_ACTION *action, const char *file_name, const char *section, const char *key) {
    return read_parameters(action, file_name, section, key, 4);
}

int load_one(SCRIPT_ACTION *action, const char *file_name, const char *section, const char *key) {
    return read_parameters(action, file_name, section, key, 1);
}

int load_stop(SCRIPT_ACTION *action, const char *file_name, const char *section, const char *key) {
    char text[SCRIPT_PARAMS_SIZE + 1] = "";
    xv_io_ini_read(section, key, text, SCRIPT_PARAMS_SIZE, file_name);
    char format[16];
    std::snprintf(format, sizeof format, "%%%ds", SCRIPT_NAME_SIZE);
    std::sscanf(text, format, action->name);
    return 1;
}

int load_trail(SCRIPT_ACTION *action, const char *file_name, const char *section, const char *key) {
    read_parameters(action, file_name, section, key, 1);
    action->p[0] = kTrailStep;
    action->p[1] = 0.0f;
    action->trail_root = action->curve = game()->trail;
    return 1;
}

// ---- the kinds' runners ---------------------------------------------------------------

XV_3D_NODE *place_of(const SCRIPT_NODE *node) {
    return node->world_node >= 0 ? xv_3d_world_get_node_pointer(game_world(), node->world_node)
                                 : nullptr;
}

bool reached(const float value[3], const float target[3]) {
    return value[0] == target[0] && value[1] == target[1] && value[2] == target[2];
}

// Each coordinate moves towards its target by the speed; done on arrival.
int approach_all(float value[3], const float target[3], float speed) {
    for (int axis = 0; axis < 3; ++axis) {
        value[axis] = gen_math_approach(value[axis], target[axis], speed);
    }
    return reached(value, target);
}

int run_move_to(SCRIPT_NODE *node, SCRIPT_THREAD *, SCRIPT_ACTION *action) {
    XV_3D_NODE *place = place_of(node);
    return place ? approach_all(place->position, action->p, action->p[3]) : 1;
}

int run_go_home(SCRIPT_NODE *node, SCRIPT_THREAD *, SCRIPT_ACTION *action) {
    XV_3D_NODE *place = place_of(node);
    return place ? approach_all(place->position, node->home, action->p[0]) : 1;
}

// Moves by the deltas: an axis without one is left free (its target follows it).
int move_by(float value[3], SCRIPT_THREAD *thread, const SCRIPT_ACTION *action) {
    if (!thread->targets_set) {
        for (int axis = 0; axis < 3; ++axis) {
            thread->target[axis] = value[axis] + action->p[axis];
        }
        thread->targets_set = 1;
    }
    for (int axis = 0; axis < 3; ++axis) {
        if (action->p[axis] != 0.0f) {
            value[axis] = gen_math_approach(value[axis], thread->target[axis], action->p[3]);
        } else {
            thread->target[axis] = value[axis];
        }
    }
    if (!reached(value, thread->target)) {
        return 0;
    }
    thread->targets_set = 0;
    return 1;
}

int run_move_by(SCRIPT_NODE *node, SCRIPT_THREAD *thread, SCRIPT_ACTION *action) {
    XV_3D_NODE *place = place_of(node);
    return place ? move_by(place->position, thread, action) : 1;
}

int run_turn_by(SCRIPT_NODE *node, SCRIPT_THREAD *thread, SCRIPT_ACTION *action) {
    XV_3D_NODE *place = place_of(node);
    return place ? move_by(place->rotation, thread, action) : 1;
}

// A fault found while a script runs: said once for the action, which then
// completes, so that the thread goes on.
void report_once(SCRIPT_ACTION *action, const std::string &what) {
    if (!action->reported) {
        action->reported = 1;
        gen_error("%s", what.c_str());
    }
}

// On the first pass the other script's actions go in right after this one.
int run_insert(SCRIPT_NODE *, SCRIPT_THREAD *thread, SCRIPT_ACTION *action) {
    if (thread->passes != 0) {
        return 1;
    }
    // Compared as read: a number past what an int holds has no integer part to take.
    const float wanted = action->p[0];
    if (!(wanted >= 1.0f && wanted < static_cast<float>(state.num_scripts) + 1.0f)) {
        report_once(action, xv_str_format("Script action %d inserts the Script %g, which does not "
                                          "exist",
                                          action->index + 1, std::trunc(wanted)));
        return 1;
    }
    const int number = static_cast<int>(wanted);
    const SCRIPT &inserted = state.scripts[number - 1];
    if (!threads_take(inserted.num_actions, "inserting a script")) {
        return 1;
    }
    const int count = thread->num_actions + inserted.num_actions;
    auto *grown = static_cast<SCRIPT_ACTION *>(
        XV_REALLOC(thread->actions, sizeof(SCRIPT_ACTION) * static_cast<size_t>(count)));
    if (!grown) {
        state.thread_actions -= inserted.num_actions;
        gen_mem_failed(__FILE__, __LINE__, "thread actions");
        return 1;
    }
    thread->actions = grown;
    const int after = thread->step + 1;
    std::memmove(&grown[after + inserted.num_actions], &grown[after],
                 sizeof(SCRIPT_ACTION) * static_cast<size_t>(thread->num_actions - after));
    std::memcpy(&grown[after], inserted.actions,
                sizeof(SCRIPT_ACTION) * static_cast<size_t>(inserted.num_actions));
    thread->num_actions = count;
    return 1;
}

// The stopped thread leaves the list now and is freed at the end of the
// update; a name no thread has is the list's to report.
int run_stop(SCRIPT_NODE *node, SCRIPT_THREAD *, SCRIPT_ACTION *action) {
    SCRIPT_THREAD *stopped = script_find_thread(node, action->name);
    if (xv_list_remove(node->threads, stopped) && stopped) {
        xv_list_append(state.stopped, stopped);
        xv_list_set_owner(state.stopped, 1);
    }
    return 1;
}

int run_trail(SCRIPT_NODE *node, SCRIPT_THREAD *, SCRIPT_ACTION *action) {
    if (!action->curve) {
        action->curve = action->trail_root;
    }
    if (!action->curve) {
        report_once(action, xv_str_format("Script action %d follows the trail, but the level has "
                                          "none",
                                          action->index + 1));
        return 1;
    }
    action->p[1] += action->p[0];
    if (action->p[1] > kTrailOverrun) {
        action->p[1] = action->p[0];
        if (action->curve->num_children > 0) {
            action->curve = action->curve->children[0];
        } else {
            action->curve = action->trail_root;
            return 1;
        }
    }
    XV_3D_NODE *place = place_of(node);
    if (!place) {
        return 0;
    }
    float *position = place->position;
    const float before[3] = {position[0], position[1], position[2]};
    trail_curve_point(position, action->curve->curve, action->p[1], 0);
    const float d[3] = {position[0] - before[0], position[1] - before[1], position[2] - before[2]};
    const float pitch =
        trail_angle(d[1], std::sqrt(d[0] * d[0] + d[2] * d[2])) * kDegreesPerRadian - 90.0f;
    const float heading = -trail_angle(d[0], d[2]) * kDegreesPerRadian + 270.0f;
    place->rotation[0] = trail_approach_angle(place->rotation[0], pitch, kPitchStep);
    place->rotation[1] = trail_approach_angle(place->rotation[1], heading, kHeadingStep);
    return 0;
}

void register_kinds() {
    script_add_kind(1, load_four, run_move_to);
    script_add_kind(2, load_one, run_go_home);
    script_add_kind(3, load_four, run_move_by);
    script_add_kind(4, load_four, run_turn_by);
    script_add_kind(5, load_one, run_insert);
    script_add_kind(6, load_stop, run_stop);
    script_add_kind(7, load_trail, run_trail);
}

// ---- threads ---------------------------------------------------------------------------

int fire(SCRIPT_NODE *node, SCRIPT_ACTION *action, int event) {
    return state.hook ? state.hook(node, action, event, 0) : 0;
}

void advance(SCRIPT_THREAD *thread) {
    if (++thread->step >= thread->num_actions) {
        thread->step = 0;
        thread->passes++;
    }
}

SCRIPT_ACTION *current_action(SCRIPT_THREAD *thread) {
    return thread->num_actions > 0 ? &thread->actions[thread->step] : nullptr;
}

SCRIPT_THREAD *new_thread(const char *name, const SCRIPT_ACTION *actions, int count, int step) {
    if (!threads_take(count, "a new thread")) {
        return nullptr;
    }
    auto *thread = gen_calloc<SCRIPT_THREAD>(1, "script thread");
    SCRIPT_ACTION *copy = thread ? copy_actions(actions, count) : nullptr;
    if (!copy) {
        state.thread_actions -= count;
        release(thread);
        return nullptr;
    }
    std::snprintf(thread->name, sizeof thread->name, "%s", name);
    thread->step = step;
    thread->state = 1;
    thread->num_actions = count;
    thread->actions = copy;
    return thread;
}

void add_thread(SCRIPT_NODE *node, SCRIPT_THREAD *thread) {
    if (thread) {
        xv_list_append(node->threads, thread);
        xv_list_set_owner(node->threads, 1);
    }
}

// The action's own thread, repeating it alone, when none of its name runs
// yet: true when one was started.
bool hand_to_thread(SCRIPT_NODE *node, const SCRIPT_ACTION *action) {
    if (!action->has_thread || script_find_thread(node, action->thread_name)) {
        return false;
    }
    SCRIPT_ACTION alone = *action;
    alone.has_thread = 0;
    add_thread(node, new_thread(action->thread_name, &alone, 1, 0));
    return true;
}

// One registry entry's turn at a thread whose current action is of its kind.
void run_thread(SCRIPT_NODE *node, SCRIPT_THREAD *thread, const KindEntry &entry) {
    SCRIPT_ACTION *action = current_action(thread);
    if (thread->state == 1 && fire(node, action, SCRIPT_STARTING) == 0) {
        thread->state = 0;
        if (hand_to_thread(node, action)) {
            thread->state = 1;
            advance(thread);
        }
    }
    if (thread->state != 0 || !entry.runner(node, thread, action)) {
        return;
    }
    if (fire(node, action, SCRIPT_STOPPING) != 0) {
        return;
    }
    advance(thread);
    SCRIPT_ACTION *next = current_action(thread);
    if (fire(node, next, SCRIPT_STARTING) == 1) {
        thread->state = 1;
    } else if (hand_to_thread(node, next)) {
        thread->state = 1;
        advance(thread);
    }
}

bool was_stopped(const SCRIPT_THREAD *thread) {
    for (XV_LIST_NODE *at = state.stopped->head; at; at = at->next) {
        if (at->item == thread) {
            return true;
        }
    }
    return false;
}

void update_node(SCRIPT_NODE *node) {
    XV_LIST *threads = node->threads;
    xv_list_rewind(threads);
    while (xv_list_has_next(threads)) {
        auto *thread = static_cast<SCRIPT_THREAD *>(xv_list_next(threads));
        for (XV_LIST_NODE *at = state.registry->head; at && !was_stopped(thread); at = at->next) {
            const auto &entry = *static_cast<const KindEntry *>(at->item);
            const SCRIPT_ACTION *action = current_action(thread);
            if (action && action->kind == entry.kind) {
                run_thread(node, thread, entry);
            }
        }
    }
}

// ---- loading ---------------------------------------------------------------------------

void load_objects(Loading &loading) {
    const char *file_name = loading.file_name;
    const int count = read_count(loading, kProperties, "num_objects", kSectionBytes);
    state.objects = gen_calloc<SCRIPT_OBJECT>(static_cast<size_t>(count), "script objects");
    if (!state.objects) {
        return;
    }
    state.num_objects = count;
    for (int n = 1; n <= count; ++n) {
        SCRIPT_OBJECT &object = state.objects[n - 1];
        const std::string section = numbered("Object", n);
        if (!read_has_key(section.c_str(), "file", file_name)) {
            state.num_objects = list_ends(loading, "objects", count, section, "file", n);
            return;
        }
        xv_io_ini_read(section.c_str(), "file", object.file, SCRIPT_PATH_SIZE, file_name);
        xv_io_ini_read(section.c_str(), "file_coll", object.file_coll, SCRIPT_PATH_SIZE, file_name);
        gen_wo2_load(&object.model, object.file);
        if (object.model.in_use && object.file_coll[0]) {
            gen_wo2_coll_map_create(&object.model, &object.map, COURSE_MAP_LEAF_TRIANGLES,
                                    COURSE_MAP_DEPTH, object.file_coll);
        }
    }
}

const KindEntry *kind_entry(int kind) {
    for (XV_LIST_NODE *at = state.registry->head; at; at = at->next) {
        const auto *entry = static_cast<const KindEntry *>(at->item);
        if (entry->kind == kind) {
            return entry;
        }
    }
    return nullptr;
}

void load_action(SCRIPT_ACTION *action, int s, int a, const char *section, const char *file_name) {
    const std::string key = numbered("action", a);
    xv_io_ini_read_int(section, key.c_str(), &action->kind, file_name);
    xv_io_ini_set_mode(file_name, KEY_ERRORS_OFF); // the thread is optional
    action->has_thread = xv_io_ini_read(section, (key + "_thread").c_str(), action->thread_name,
                                        SCRIPT_NAME_SIZE, file_name) > 0;
    xv_io_ini_set_mode(file_name, KEY_ERRORS_ON);
    if (const KindEntry *entry = kind_entry(action->kind)) {
        entry->loader(action, file_name, section, (key + "_params").c_str());
        action->index = a - 1;
        return;
    }
    gen_error("Loading file '%s' the Script %d, Action %d, the kind of action dont exist on the "
              "library ..",
              file_name, s, a);
}

// The script's actions, up to the first whose kind the file lacks.
void load_actions(Loading &loading, SCRIPT &script, int s, const std::string &section) {
    const int count = read_count(loading, section.c_str(), "num_action", kActionBytes);
    script.actions = gen_calloc<SCRIPT_ACTION>(static_cast<size_t>(count), "script actions");
    if (!script.actions) {
        return;
    }
    script.num_actions = count;
    for (int a = 1; a <= count; ++a) {
        const std::string key = numbered("action", a);
        if (!read_has_key(section.c_str(), key.c_str(), loading.file_name)) {
            script.num_actions = list_ends(loading, "actions", count, section, key.c_str(), a);
            return;
        }
        load_action(&script.actions[a - 1], s, a, section.c_str(), loading.file_name);
    }
}

void load_scripts(Loading &loading) {
    const int count = read_count(loading, kProperties, "num_scripts", kSectionBytes);
    state.scripts = gen_calloc<SCRIPT>(static_cast<size_t>(count), "scripts");
    if (!state.scripts) {
        return;
    }
    state.num_scripts = count;
    for (int s = 1; s <= count; ++s) {
        SCRIPT &script = state.scripts[s - 1];
        const std::string section = numbered("Script", s);
        if (!read_has_key(section.c_str(), "num_action", loading.file_name)) {
            state.num_scripts = list_ends(loading, "scripts", count, section, "num_action", s);
            return;
        }
        script.index = s - 1;
        load_actions(loading, script, s, section);
    }
}

// The node's first thread, at its start step (a step the script does not
// have starts it at its first action, with an engine error).
void start_first_thread(SCRIPT_NODE *node, const char *file_name) {
    const SCRIPT &script = state.scripts[node->script_reference - 1];
    int step = node->start_step;
    if (step < 0 || (step >= script.num_actions && script.num_actions > 0)) {
        gen_error(
            "Loading file '%s' The Node %d starts the Script %d at step %d, which it does not "
            "have",
            file_name, node->index + 1, node->script_reference, step);
        step = 0;
    }
    add_thread(node, new_thread(kFirstThread, script.actions, script.num_actions,
                                script.num_actions > 0 ? step : 0));
}

void place_object(SCRIPT_NODE *node, const char *file_name) {
    if (node->object_reference < 1 || node->object_reference > state.num_objects) {
        gen_error("Loading file '%s' The Node %d try to add the Object %d. But this object don't "
                  "exist !",
                  file_name, node->index + 1, node->object_reference);
        return;
    }
    node->world_node = xv_3d_world_add_node(
        game_world(), &state.objects[node->object_reference - 1].model, nullptr);
    if (XV_3D_NODE *place = place_of(node)) {
        std::memcpy(place->position, node->home, sizeof node->home);
    }
}

void load_nodes(Loading &loading) {
    const char *file_name = loading.file_name;
    const int count = read_count(loading, kProperties, "num_nodes", kSectionBytes);
    state.nodes = gen_calloc<SCRIPT_NODE>(static_cast<size_t>(count), "script nodes");
    if (!state.nodes) {
        return;
    }
    state.num_nodes = count;
    for (int n = 1; n <= count; ++n) {
        SCRIPT_NODE *node = &state.nodes[n - 1];
        const std::string section = numbered("Node", n);
        // A node without a script gets nothing: the list ends there.
        if (!read_has_key(section.c_str(), "script_reference", file_name)) {
            state.num_nodes = list_ends(loading, "nodes", count, section, "script_reference", n);
            return;
        }
        const char *s = section.c_str();
        xv_io_ini_read_int(s, "object_reference", &node->object_reference, file_name);
        xv_io_ini_read_int(s, "script_reference", &node->script_reference, file_name);
        xv_io_ini_read_int(s, "script_start_step", &node->start_step, file_name);
        read_number(s, "x", &node->home[0], file_name);
        read_number(s, "y", &node->home[1], file_name);
        read_number(s, "z", &node->home[2], file_name);
        node->index = n - 1;
        node->world_node = -1;
        xv_list_create(&node->threads);
        if (node->script_reference < 1 || node->script_reference > state.num_scripts) {
            gen_error("Loading file '%s' The Node %d try to call the Script %d. But the script "
                      "don't exist !",
                      file_name, n, node->script_reference);
            continue;
        }
        start_first_thread(node, file_name);
        place_object(node, file_name);
    }
}

} // namespace

int script_load(const char *file_name) {
    xv_io_ini_set_mode(file_name, KEEP_OPEN);
    if (!state.registry) {
        register_kinds();
    }
    if (!state.stopped) {
        xv_list_create(&state.stopped);
    }
    const long size = xv_io_file_size(file_name);
    Loading loading{file_name, size, std::max(size, 0L)};
    load_objects(loading);
    load_scripts(loading);
    load_nodes(loading);
    xv_io_ini_set_mode(file_name, KEEP_CLOSE);
    return 0;
}

void script_update() {
    if (!state.registry) {
        return;
    }
    for (int i = 0; i < state.num_nodes; ++i) {
        if (state.nodes[i].threads) {
            update_node(&state.nodes[i]);
        }
    }
    clear_threads(state.stopped);
}

void script_unload() {
    for (int i = 0; i < state.num_objects; ++i) {
        if (state.objects[i].map.inited) {
            gen_wo2_coll_map_free(&state.objects[i].map);
        }
        gen_wo2_free(&state.objects[i].model);
    }
    release(state.objects);
    for (int i = 0; i < state.num_nodes; ++i) {
        clear_threads(state.nodes[i].threads);
        if (state.nodes[i].threads) {
            xv_list_destroy(state.nodes[i].threads);
        }
    }
    release(state.nodes);
    for (int i = 0; i < state.num_scripts; ++i) {
        release(state.scripts[i].actions);
    }
    release(state.scripts);
    clear_threads(state.stopped);
    for (XV_LIST *list : {state.registry, state.stopped}) {
        if (list) {
            xv_list_clear(list);
            xv_list_destroy(list);
        }
    }
    const SCRIPT_EVENT_HOOK hook = state.hook;
    state = Scripts{};
    state.hook = hook;
}

void script_add_kind(int kind, SCRIPT_LOADER loader, SCRIPT_RUNNER runner) {
    if (!state.registry) {
        xv_list_create(&state.registry);
    }
    auto *entry = gen_calloc<KindEntry>(1, "script kind");
    if (!entry) {
        return;
    }
    *entry = {kind, loader, runner};
    xv_list_append(state.registry, entry);
    xv_list_set_owner(state.registry, 1);
}

void script_set_event_hook(SCRIPT_EVENT_HOOK hook) {
    state.hook = hook;
}

int script_trace_hook(SCRIPT_NODE *node, SCRIPT_ACTION *action, int event, int parameter) {
    gen_history("Node %d -> Action %d (kind = %d) -> %s with param %d \n", node->index,
                action->index, action->kind, event == SCRIPT_STARTING ? "STARTING" : "STOPING",
                parameter);
    return 0;
}

int script_node_count() {
    return state.num_nodes;
}

SCRIPT_NODE *script_node(int index) {
    return index >= 0 && index < state.num_nodes ? &state.nodes[index] : nullptr;
}

int script_object_count() {
    return state.num_objects;
}

SCRIPT_OBJECT *script_object(int index) {
    return index >= 0 && index < state.num_objects ? &state.objects[index] : nullptr;
}

int script_count() {
    return state.num_scripts;
}

SCRIPT *script_at(int index) {
    return index >= 0 && index < state.num_scripts ? &state.scripts[index] : nullptr;
}

SCRIPT_THREAD *script_find_thread(SCRIPT_NODE *node, const char *name) {
    if (!node || !node->threads || !name) {
        return nullptr;
    }
    for (XV_LIST_NODE *at = node->threads->head; at; at = at->next) {
        auto *thread = static_cast<SCRIPT_THREAD *>(at->item);
        if (std::strcmp(thread->name, name) == 0) {
            return thread;
        }
    }
    return nullptr;
}

int read_vector(const char *section, const char *key, float out[3], const char *file_name) {
    char text[SCRIPT_PARAMS_SIZE + 1] = "";
    xv_io_ini_read(section, key, text, SCRIPT_PARAMS_SIZE, file_name);
    float values[3] = {out[0], out[1], out[2]};
    const int read = std::sscanf(text, "%f,%f,%f", &values[0], &values[1], &values[2]);
    int taken = 0;
    for (int i = 0; i < read; ++i) {
        taken += take_finite(values[i], &out[i], section, key, file_name) ? 1 : 0;
    }
    return taken;
}

int read_number(const char *section, const char *key, float *value, const char *file_name) {
    float read = *value;
    xv_io_ini_read_float(section, key, &read, file_name);
    return take_finite(read, value, section, key, file_name) ? 1 : 0;
}

bool read_has_key(const char *section, const char *key, const char *file_name) {
    XV_INI_QUIET quiet;
    char value[SCRIPT_PARAMS_SIZE + 1];
    xv_io_ini_read(section, key, value, SCRIPT_PARAMS_SIZE, file_name);
    return !xv_io_ini_status(1);
}
