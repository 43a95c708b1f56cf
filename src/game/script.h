// Scripted scenery: objects of a level that glide, turn, follow the level's
// trail, and start and stop each other's motions. The level's script file
// lists the objects (a WO2 model each), the scripts (numbered lists of
// actions) and the script nodes (an object placed in the world running a
// script); every level step advances each thread of each node.
//
// The script file: [Level Properties] num_objects, num_scripts, num_nodes;
// [Object001] file, file_coll (the model's collision map, made with the
// course's); [Script001] num_action, action001 (its kind),
// action001_params, and optionally action001_thread; [Node001]
// object_reference, script_reference, script_start_step, x, y, z.
//
// An action has one of seven kinds, from a registry walked in kind order
// every update, so that a thread whose action completes may start its next
// action in the same update when that one's kind is higher:
//   1 move to "x,y,z,speed", 2 go home "speed", 3 move by "dx,dy,dz,speed",
//   4 turn by "dax,day,daz,speed", 5 insert script "number" (once),
//   6 stop thread "name", 7 follow the level's trail.
// An action with a _thread key, reached while no thread of that name runs,
// starts that thread (which repeats the action) and its own thread goes on.
//
// Threads that a kind 6 action stops are freed at the end of the update
// that stopped them: the update may still be inside the stopped thread.
#pragma once

#include "gen_coll_map.h"
#include "gen_wo2.h"

#include <cstdint>

struct TRAIL_NODE;
struct XV_LIST;

enum {
    SCRIPT_NAME_SIZE = 100, // characters of a thread name
    SCRIPT_PATH_SIZE = 500,
    SCRIPT_PARAMS_SIZE = 1000,
    SCRIPT_MOST_IN_FILE = 999, // three digits number the sections and actions
    SCRIPT_MOST_THREAD_ACTIONS = 65536,
    SCRIPT_KINDS = 7,
};

enum { SCRIPT_STARTING = 4, SCRIPT_STOPPING = 5 };

struct SCRIPT_ACTION {
    int32_t index;
    int32_t kind;
    char thread_name[SCRIPT_NAME_SIZE + 1];
    int32_t has_thread;
    float p[4];
    char name[SCRIPT_NAME_SIZE + 1]; // kind 6: the thread to stop
    TRAIL_NODE *trail_root;          // kind 7: p[0] its step, p[1] the curve parameter
    TRAIL_NODE *curve;
    int32_t reported; // a fault of this action was reported
};

struct SCRIPT_THREAD {
    char name[SCRIPT_NAME_SIZE + 1];
    int32_t step;  // the current action
    int32_t state; // 1: the current action has not started; 0: it runs
    float target[3];
    int32_t targets_set;
    int32_t num_actions;
    int32_t passes; // times the step wrapped to 0
    SCRIPT_ACTION *actions;
};

struct SCRIPT {
    int32_t index;
    int32_t num_actions;
    SCRIPT_ACTION *actions;
};

// An object's model, and the collision map of file_coll that the balls
// meet it by (none when the file is not named).
struct SCRIPT_OBJECT {
    char file[SCRIPT_PATH_SIZE + 1];
    char file_coll[SCRIPT_PATH_SIZE + 1];
    GEN_WO2 model;
    GEN_COLL_MAP map;
};

// The node's place is its world node's (fetched again whenever it moves:
// the world's node table may move as nodes are added).
struct SCRIPT_NODE {
    int32_t index;
    int32_t object_reference;
    int32_t world_node; // -1 without an object
    int32_t script_reference;
    int32_t start_step;
    XV_LIST *threads;
    float home[3];
};

using SCRIPT_LOADER = int (*)(SCRIPT_ACTION *action, const char *file_name, const char *section,
                              const char *key);
// Non-zero when the action has completed.
using SCRIPT_RUNNER = int (*)(SCRIPT_NODE *node, SCRIPT_THREAD *thread, SCRIPT_ACTION *action);
// event SCRIPT_STARTING: 1 holds the action back an update; SCRIPT_STOPPING:
// non-zero keeps it running. 0 lets it go on.
using SCRIPT_EVENT_HOOK = int (*)(SCRIPT_NODE *node, SCRIPT_ACTION *action, int event,
                                  int parameter);

// Loads the objects, scripts and nodes of the file. Returns 0.
int script_load(const char *file_name);
void script_update();
void script_unload();
void script_add_kind(int kind, SCRIPT_LOADER loader, SCRIPT_RUNNER runner);
void script_set_event_hook(SCRIPT_EVENT_HOOK hook);
// The game's hook: a trace line in "history.txt" for every event.
int script_trace_hook(SCRIPT_NODE *node, SCRIPT_ACTION *action, int event, int parameter);

int script_node_count();
SCRIPT_NODE *script_node(int index);
int script_object_count();
SCRIPT_OBJECT *script_object(int index);
int script_count();
SCRIPT *script_at(int index);
// The node's thread of that name, or none.
SCRIPT_THREAD *script_find_thread(SCRIPT_NODE *node, const char *name);

// Readers of the level's files. read_vector parses "%f,%f,%f": fields
// that do not parse keep their values, and a value that is not a finite
// number is refused with an engine error. Returns the fields taken.
int read_vector(const char *section, const char *key, float out[3], const char *file_name);
// A float, refused in the same way when it is not finite; 1 when taken.
int read_number(const char *section, const char *key, float *value, const char *file_name);
// Whether the section has the key, asked without a report: a loader whose
// count promised more entries than the file has says so once.
bool read_has_key(const char *section, const char *key, const char *file_name);
