// Scripted objects: threads walking their scripts, actions handed to threads
// of their own, scripts inserted once, threads stopped, objects following
// the trail, and the faults a script file may hold.
#include "foresight.h"
#include "level_test.h"

#include <cmath>

#include <string>
#include <vector>

namespace {

using test::count_occurrences;
using test::write_file;

std::vector<std::string> started; // "action/kind" of every STARTING event
int hold_starts = 0;              // the hook holds this many starts back

int recording_hook(SCRIPT_NODE *node, SCRIPT_ACTION *action, int event, int parameter) {
    script_trace_hook(node, action, event, parameter);
    if (event == SCRIPT_STARTING) {
        started.push_back(std::to_string(action->index) + "/" + std::to_string(action->kind));
        if (hold_starts > 0) {
            --hold_starts;
            return 1;
        }
    }
    return 0;
}

// One action of a script: its kind, parameters and optional thread.
struct Action {
    int kind;
    std::string params;
    std::string thread = "";
};

struct Node {
    int object = 1, script = 1, start = 0;
    std::string x = "0", y = "0", z = "0";
};

class ScriptTest : public test::LevelTest {
  protected:
    void SetUp() override {
        LevelTest::SetUp();
        started.clear();
        hold_starts = 0;
        write_file("gfx/box.wo2", test::model_of({{"box", wo2_box(1, 1, 1)}}));
        script_set_event_hook(recording_hook);
    }
    void TearDown() override {
        script_unload();
        trail_free(&game()->trail);
        LevelTest::TearDown();
    }
    void load(const std::vector<std::vector<Action>> &scripts, const std::vector<Node> &nodes,
              int objects = 1) {
        test::Sections sections = {{"Level Properties",
                                    {{"num_objects", std::to_string(objects)},
                                     {"num_scripts", std::to_string(scripts.size())},
                                     {"num_nodes", std::to_string(nodes.size())}}}};
        char name[32];
        for (int o = 1; o <= objects; ++o) {
            std::snprintf(name, sizeof name, "Object%03d", o);
            sections.push_back({name, {{"file", "gfx\\box.wo2"}, {"file_coll", "gfx\\box.col"}}});
        }
        for (size_t s = 0; s < scripts.size(); ++s) {
            std::snprintf(name, sizeof name, "Script%03zu", s + 1);
            std::vector<std::pair<std::string, std::string>> keys = {
                {"num_action", std::to_string(scripts[s].size())}};
            for (size_t a = 0; a < scripts[s].size(); ++a) {
                char key[32];
                std::snprintf(key, sizeof key, "action%03zu", a + 1);
                keys.push_back({key, std::to_string(scripts[s][a].kind)});
                keys.push_back({std::string(key) + "_params", scripts[s][a].params});
                if (!scripts[s][a].thread.empty()) {
                    keys.push_back({std::string(key) + "_thread", scripts[s][a].thread});
                }
            }
            sections.push_back({name, keys});
        }
        for (size_t n = 0; n < nodes.size(); ++n) {
            std::snprintf(name, sizeof name, "Node%03zu", n + 1);
            sections.push_back({name,
                                {{"object_reference", std::to_string(nodes[n].object)},
                                 {"script_reference", std::to_string(nodes[n].script)},
                                 {"script_start_step", std::to_string(nodes[n].start)},
                                 {"x", nodes[n].x},
                                 {"y", nodes[n].y},
                                 {"z", nodes[n].z}}});
        }
        write_file("data/script.txt", test::ini_text(sections));
        EXPECT_EQ(script_load("data\\script.txt"), 0);
    }
    void updates(int count) {
        for (int i = 0; i < count; ++i) {
            script_update();
        }
    }
    XV_3D_NODE *place(int index) { return node(script_node(index)->world_node); }
    SCRIPT_THREAD *thread(int node, const char *name) {
        return script_find_thread(script_node(node), name);
    }
    int thread_count(int node) { return xv_list_count(script_node(node)->threads); }
};

// Actions that complete at once (a move to where the node is), so that a
// thread moves one action an update: kinds run in registry order, and the
// next action, of the same kind, waits for the next update.
TEST_F(ScriptTest, AThreadStartedAtStepOneRunsOneTwoZeroOne) {
    load({{{1, "0,0,0,1"}, {1, "0,0,0,1"}, {1, "0,0,0,1"}}}, {{1, 1, 1}});
    SCRIPT_THREAD *first = thread(0, "thread_gen/0");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->step, 1);
    EXPECT_EQ(first->state, 1);
    updates(4);
    EXPECT_EQ(started, (std::vector<std::string>{"1/1", "2/1", "0/1", "1/1", "2/1"}));
    EXPECT_EQ(first->passes, 1);
    updates(3);
    EXPECT_EQ(first->passes, 2);
    EXPECT_NE(history().find("Node 0 -> Action 1 (kind = 1) -> STARTING with param 0 \n"),
              std::string::npos);
    EXPECT_NE(history().find("Node 0 -> Action 1 (kind = 1) -> STOPING with param 0 \n"),
              std::string::npos);
    EXPECT_EQ(errors(), "");
}

TEST_F(ScriptTest, AHigherKindRunsInTheSameUpdateAndAHookMayHoldAStart) {
    // Kind 1 completes, and the next action, kind 2 (go home), runs at once.
    load({{{1, "0,0,0,1"}, {2, "1"}}}, {{1, 1, 0, "0", "0", "0"}});
    updates(1);
    EXPECT_EQ(started, (std::vector<std::string>{"0/1", "1/2", "0/1"}));
    started.clear();
    hold_starts = 2;
    updates(2);
    EXPECT_EQ(started, (std::vector<std::string>{"1/2", "1/2", "1/2", "0/1"}))
        << "held twice, then it ran";
}

TEST_F(ScriptTest, MovesGoHomeAndTurns) {
    load({{{1, "3,0,0,1"}, {2, "0.5"}, {4, "0,90,0,30"}}}, {{1, 1, 0, "1", "2", "0"}});
    ASSERT_NE(place(0), nullptr);
    EXPECT_EQ(place(0)->position[0], 1.0f) << "the node starts at home";
    updates(1);
    EXPECT_EQ(place(0)->position[0], 2.0f);
    EXPECT_EQ(place(0)->position[1], 1.0f) << "every coordinate by the speed";
    updates(1);
    // Arrived at (3, 0, 0); going home, a higher kind, starts at once.
    EXPECT_EQ(place(0)->position[0], 2.5f);
    EXPECT_EQ(place(0)->position[1], 0.5f);
    updates(3);
    EXPECT_EQ(place(0)->position[0], 1.0f) << "home by halves";
    EXPECT_EQ(place(0)->position[1], 2.0f);
    EXPECT_EQ(place(0)->rotation[1], 30.0f) << "and the turn began";
    updates(2);
    EXPECT_EQ(place(0)->rotation[1], 90.0f);
}

// A move by leaves an axis with no delta to whoever else moves it.
TEST_F(ScriptTest, AMoveByLeavesItsStillAxesFree) {
    load({{{3, "0,0,5,1"}}, {{1, "4,0,0,1"}}}, {{1, 1, 0}, {1, 2, 0}});
    // Both nodes place the same object; move the first node's x by hand as
    // another action would, while its move by runs.
    updates(2);
    EXPECT_EQ(place(0)->position[2], 2.0f);
    place(0)->position[0] = 7;
    updates(3);
    EXPECT_EQ(place(0)->position[2], 5.0f);
    EXPECT_EQ(place(0)->position[0], 7.0f) << "not pulled back";
    EXPECT_EQ(thread(0, "thread_gen/0")->targets_set, 0) << "forgotten on arrival";
    updates(1);
    EXPECT_EQ(place(0)->position[2], 6.0f) << "a new move by from where it is";
}

// An action with a thread name starts that thread while none of its name
// runs; its own thread goes on. While the named thread runs, the action is
// its own thread's to run.
TEST_F(ScriptTest, AnActionHandedToAThreadOfItsOwn) {
    load({{{3, "0,0,1,0.25", "drifter"}, {1, "0,5,0,1"}, {1, "0,0,0,100"}}}, {{1, 1, 0}});
    updates(1);
    ASSERT_EQ(thread_count(0), 2);
    SCRIPT_THREAD *drifter = thread(0, "drifter");
    ASSERT_NE(drifter, nullptr);
    EXPECT_EQ(drifter->num_actions, 1);
    EXPECT_EQ(drifter->actions[0].has_thread, 0);
    SCRIPT_THREAD *first = thread(0, "thread_gen/0");
    EXPECT_EQ(first->step, 1) << "moved on past the handed action";
    updates(12);
    EXPECT_EQ(thread_count(0), 2) << "no second drifter";
    EXPECT_GT(first->passes, 0);
}

TEST_F(ScriptTest, AnInsertedScriptComesInOnce) {
    load({{{5, "2"}, {1, "0,0,0,1"}}, {{1, "0,0,0,1"}, {1, "0,0,0,1"}, {1, "0,0,0,1"}}},
         {{1, 1, 0}});
    SCRIPT_THREAD *first = thread(0, "thread_gen/0");
    updates(1);
    EXPECT_EQ(first->num_actions, 5);
    EXPECT_EQ(first->step, 1) << "the first inserted action is next";
    updates(10);
    EXPECT_GE(first->passes, 1);
    EXPECT_EQ(first->num_actions, 5) << "not again after the wrap";
    EXPECT_EQ(script_at(0)->num_actions, 2) << "the script itself is unchanged";
}

TEST_F(ScriptTest, StoppingThreadsAndOneThatIsNotThere) {
    load({{{3, "0,0,100,0.1", "drifter"},
           {1, "0,0,0,1"},
           {6, "drifter"},
           {6, "nobody"},
           {1, "0,0,0,1"}}},
         {{1, 1, 0}});
    updates(1);
    EXPECT_EQ(thread_count(0), 2);
    updates(1);
    EXPECT_EQ(thread(0, "drifter"), nullptr) << "stopped";
    EXPECT_EQ(thread_count(0), 1);
    updates(1);
    EXPECT_NE(warnings().find("Could not remove from list"), std::string::npos)
        << "the list says it had no such thread";
    EXPECT_EQ(thread(0, "thread_gen/0")->step, 4) << "and the thread went on";
}

TEST_F(ScriptTest, AThreadMayStopItself) {
    load({{{1, "0,0,0,1"}, {6, "thread_gen/0"}, {1, "0,0,0,1"}}}, {{1, 1, 0}});
    updates(3);
    EXPECT_EQ(thread_count(0), 0);
    updates(3);
    EXPECT_EQ(errors(), "");
}

TEST_F(ScriptTest, AnObjectFollowsTheTrail) {
    // One straight curve along x from 0 to 4, a unit up.
    write_file("data/intro.txt",
               test::ini_text({{"PointSet",
                                {{"PointCount", "3"},
                                 {"Point0000", "0,0,1"},
                                 {"Point0001", "2,0,1"},
                                 {"Point0002", "4,0,1"}}},
                               {"CurveSet", {{"CurveCount", "1"}, {"Curve0000", "0,1,2"}}}}));
    game()->trail = trail_load("data\\intro.txt");
    load({{{7, "0"}, {1, "9,9,9,1000"}}}, {{1, 1, 0}});
    updates(1);
    EXPECT_NEAR(place(0)->position[0], 4 * 0.002f, 1e-5f) << "the step is 0.002";
    EXPECT_NEAR(place(0)->position[1], 1.0f, 1e-5f);
    // The parameter runs on to 1.01 (505 steps of 0.002, give or take a
    // rounding), a little past the curve's end; then the action completes.
    int count = 1;
    float last_x = 0;
    while (started.size() == 1 && count < 600) {
        last_x = place(0)->position[0];
        updates(1);
        ++count;
    }
    EXPECT_GE(count, 505);
    EXPECT_LE(count, 506);
    EXPECT_NEAR(last_x, 4 * 1.01f, 0.01f) << "a little past the end";
    // Heading along +x: -angle(4, 0) × 57.29747 + 270, approached a degree
    // an update from 0, the short way (down through 360).
    EXPECT_NEAR(place(0)->rotation[1], 270.0f, 1e-3f);
    EXPECT_EQ(errors(), "");
}

TEST_F(ScriptTest, FaultsOfTheFileAreSaidAndLoadingGoesOn) {
    write_file(
        "data/script.txt",
        test::ini_text(
            {{"Level Properties", {{"num_objects", "1"}, {"num_scripts", "2"}, {"num_nodes", "4"}}},
             {"Object001", {{"file", "gfx\\box.wo2"}, {"file_coll", "x"}}},
             {"Script001",
              {{"num_action", "2"},
               {"action001", "9"},
               {"action001_params", "1"},
               {"action002", "5"},
               {"action002_params", "7"}}},
             {"Script002", {{"num_action", "1"}, {"action001", "7"}, {"action001_params", "0"}}},
             {"Node001",
              {{"object_reference", "1"},
               {"script_reference", "3"},
               {"script_start_step", "0"},
               {"x", "0"},
               {"y", "0"},
               {"z", "0"}}},
             {"Node002",
              {{"object_reference", "2"},
               {"script_reference", "1"},
               {"script_start_step", "1"},
               {"x", "0"},
               {"y", "0"},
               {"z", "0"}}},
             {"Node003",
              {{"object_reference", "1"},
               {"script_reference", "2"},
               {"script_start_step", "5"},
               {"x", "nan"},
               {"y", "0"},
               {"z", "0"}}},
             {"Node004",
              {{"object_reference", "1"},
               {"script_reference", "1"},
               {"script_start_step", "1"},
               {"x", "0"},
               {"y", "0"},
               {"z", "0"}}}}));
    script_load("data\\script.txt");
    const std::string said = errors();
    EXPECT_NE(
        said.find("Loading file 'data\\script.txt' the Script 1, Action 1, the kind of action "
                  "dont exist on the library .."),
        std::string::npos);
    EXPECT_NE(said.find("The Node 1 try to call the Script 3. But the script don't exist !"),
              std::string::npos);
    EXPECT_NE(said.find("The Node 2 try to add the Object 2. But this object don't exist !"),
              std::string::npos);
    EXPECT_NE(said.find("The Node 3 starts the Script 2 at step 5"), std::string::npos);
    EXPECT_NE(said.find("[Node003]x is not a finite number"), std::string::npos);
    EXPECT_EQ(thread_count(0), 0) << "no script: no thread";
    EXPECT_EQ(script_node(0)->world_node, -1);
    EXPECT_EQ(thread_count(1), 1) << "no object: a thread all the same";
    EXPECT_EQ(script_node(1)->world_node, -1);
    EXPECT_EQ(thread(2, "thread_gen/0")->step, 0) << "a step the script lacks starts at 0";
    EXPECT_EQ(script_node(2)->home[0], 0.0f);
    updates(600);
    // Kind 5 of a script that is not there, and kind 7 without a trail: each
    // said once, and the threads go on.
    EXPECT_EQ(count_occurrences(errors(), "inserts the Script 7, which does not exist"), 2)
        << "once for each of the two nodes whose thread runs it";
    EXPECT_EQ(count_occurrences(errors(), "follows the trail, but the level has none"), 1);
}

TEST_F(ScriptTest, CountsOutsideWhatTheFileCanNumberAreRefused) {
    for (const char *count : {"-1", "1000"}) {
        write_file(
            "data/script.txt",
            test::ini_text({{"Level Properties",
                             {{"num_objects", "0"}, {"num_scripts", "0"}, {"num_nodes", count}}}}));
        script_load("data\\script.txt");
        EXPECT_EQ(script_node_count(), 0) << count;
        EXPECT_NE(errors().find(std::string("num_nodes of [Level Properties] is ") + count),
                  std::string::npos);
        script_unload();
    }
}

// Counts of 999 in a file of a hundred bytes took seconds to believe and
// wrote megabytes of warnings: each is refused at once, in one report.
TEST_F(ScriptTest, CountsTheFileCannotHoldAreRefusedInOneReportEach) {
    const std::string text = test::ini_text(
        {{"Level Properties", {{"num_objects", "0"}, {"num_scripts", "999"}, {"num_nodes", "999"}}},
         {"Script001", {{"num_action", "999"}}}});
    write_file("data/script.txt", text);
    script_load("data\\script.txt");
    EXPECT_EQ(script_count(), 0);
    EXPECT_EQ(script_node_count(), 0);
    const std::string said = errors();
    const std::string bytes = std::to_string(text.size());
    EXPECT_NE(said.find("Loading file 'data\\script.txt' num_scripts of [Level Properties] is 999, "
                        "more than the file's " +
                        bytes + " bytes can hold"),
              std::string::npos);
    EXPECT_NE(said.find("num_nodes of [Level Properties] is 999, more than the file's"),
              std::string::npos);
    EXPECT_EQ(count_occurrences(said, "* * * E R R O R ! * * *"), 2);
    EXPECT_EQ(warnings(), "") << "no report of a missing section for each promised one";
}

// Enough bytes for the counts, but the entries stop early: each list ends
// at the first entry the file lacks, said once, not once for every key of
// every entry promised.
TEST_F(ScriptTest, ListsEndAtTheFirstEntryTheFileLacks) {
    write_file("data/script.txt",
               test::ini_text({{"Level Properties",
                                {{"num_objects", "2"}, {"num_scripts", "3"}, {"num_nodes", "4"}}},
                               {"Object001", {{"file", "gfx\\box.wo2"}, {"file_coll", ""}}},
                               {"Script001",
                                {{"num_action", "5"},
                                 {"action001", "1"},
                                 {"action001_params", "0,0,0,1"},
                                 {"action002", "1"},
                                 {"action002_params", "0,0,0,1"}}},
                               {"Node001",
                                {{"object_reference", "1"},
                                 {"script_reference", "1"},
                                 {"script_start_step", "0"},
                                 {"x", "0"},
                                 {"y", "0"},
                                 {"z", "0"}}},
                               {"Notes", {{"why", std::string(200, 'n')}}}}));
    script_load("data\\script.txt");
    EXPECT_EQ(script_object_count(), 1);
    ASSERT_EQ(script_count(), 1);
    EXPECT_EQ(script_at(0)->num_actions, 2);
    ASSERT_EQ(script_node_count(), 1);
    EXPECT_EQ(thread(0, "thread_gen/0")->num_actions, 2);
    const std::string said = errors();
    for (const char *end : {"claims 2 objects, but [Object002] has no file: the objects end there",
                            "claims 5 actions, but [Script001] has no action003: the actions end "
                            "there",
                            "claims 3 scripts, but [Script002] has no num_action: the scripts end "
                            "there",
                            "claims 4 nodes, but [Node002] has no script_reference: the nodes end "
                            "there"}) {
        EXPECT_NE(said.find(std::string("Loading file 'data\\script.txt' ") + end),
                  std::string::npos)
            << end;
    }
    EXPECT_EQ(count_occurrences(said, "* * * E R R O R ! * * *"), 4);
    EXPECT_EQ(warnings(), "");
}

// A script number no int can hold was converted all the same (a fuzz input).
TEST_F(ScriptTest, AnInsertOfANumberPastAnyScriptIsSaidOnce) {
    load({{{5, "1e30"}, {5, "-3.5"}}}, {{1, 1, 0}});
    updates(4);
    EXPECT_EQ(count_occurrences(errors(),
                                "Script action 1 inserts the Script 1e+30, which does not "
                                "exist"),
              1);
    EXPECT_EQ(count_occurrences(errors(), "Script action 2 inserts the Script -3, which does not "
                                          "exist"),
              1);
}

// A script that inserts itself grows its thread on every update of its
// first pass; every node running it grew one of its own.
TEST_F(ScriptTest, AllThreadsTogetherHoldABoundedNumberOfActions) {
    const std::vector<Action> inserts(300, {5, "1"});
    load({inserts}, {{1, 1, 0}, {1, 1, 0}, {1, 1, 0}, {1, 1, 0}});
    updates(100);
    int held = 0;
    for (int n = 0; n < 4; ++n) {
        held += thread(n, "thread_gen/0")->num_actions;
    }
    EXPECT_GT(held, SCRIPT_MOST_THREAD_ACTIONS - 300);
    EXPECT_LE(held, SCRIPT_MOST_THREAD_ACTIONS);
    EXPECT_EQ(count_occurrences(errors(), "all threads together may hold"), 1);
}

TEST_F(ScriptTest, VectorsKeepWhatDoesNotParse) {
    write_file("data/v.txt", "[s]\r\na=1.5,2\r\nb=x\r\nc=4,inf,6\r\n");
    float v[3] = {7, 8, 9};
    EXPECT_EQ(read_vector("s", "a", v, "data\\v.txt"), 2);
    EXPECT_EQ(v[0], 1.5f);
    EXPECT_EQ(v[1], 2.0f);
    EXPECT_EQ(v[2], 9.0f);
    EXPECT_EQ(read_vector("s", "b", v, "data\\v.txt"), 0);
    EXPECT_EQ(v[0], 1.5f);
    EXPECT_EQ(read_vector("s", "c", v, "data\\v.txt"), 2);
    EXPECT_EQ(v[0], 4.0f);
    EXPECT_EQ(v[1], 2.0f) << "infinity refused";
    EXPECT_EQ(v[2], 6.0f);
    EXPECT_NE(errors().find("[s]c is not a finite number"), std::string::npos);
}

} // namespace

// The places of moving objects are recorded a step at a time; their loop's
// period is found, and the places ahead are foreseen from it (a gate
// sliding along and back, a wheel turning for ever), exactly.
TEST_F(ScriptTest, WhereTheObjectsWillBeIsForeseen) {
    load({{{3, "2,0,0,0.1"}, {2, "0.1"}}, {{4, "0,0,90,6"}}}, {{1, 1, 0}, {1, 2, 0}});
    foresight_reset();
    ASSERT_EQ(ball_course().obstacle_count, 2) << "each has its collision map";
    for (int i = 0; i < 15; ++i) {
        script_update();
        foresight_record();
    }
    EXPECT_EQ(foresight_period(), 0) << "not yet twice round";
    for (int i = 0; i < 200; ++i) {
        script_update();
        foresight_record();
    }
    const int period = foresight_period();
    ASSERT_GT(period, 20);
    BALL_COURSE foreseen[50];
    for (int k = 0; k < 50; ++k) {
        foresight_place(k + 1, &foreseen[k]);
    }
    for (int k = 0; k < 50; ++k) {
        script_update();
        const BALL_COURSE now = ball_course();
        for (int o = 0; o < 2; ++o) {
            EXPECT_NEAR(foreseen[k].obstacles[o].position[0], now.obstacles[o].position[0], 1e-4f)
                << "step " << k + 1;
            EXPECT_NEAR(
                std::remainder(foreseen[k].obstacles[o].rotation[2] - now.obstacles[o].rotation[2],
                               360.0f),
                0.0f, 1e-3f)
                << "step " << k + 1;
        }
    }
}
