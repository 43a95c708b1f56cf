# The tests built for Windows, run under Wine by make windows-test. The game's
# data tools they use are compiled in from their sources; the data itself
# comes from the Linux build. Every suite runs here except those that cannot:
#   xv_dsp_test        its expectations are those of SDL's offscreen display
#                      (its modes, its full screen); under Wine the display is
#                      Wine's own on Xvfb, with other modes;
#   xv_io_ini_test     kills the settings' writer before each of its system
#                      calls with strace and fork;
#   xv_font_test, play_test, course_test
#                      make their fonts and holes with the build tools, which
#                      write PNG with libpng (not built for Windows);
#   pinwheel_test, damaged_course_test, window_test, os_window_test
#                      start the program or Xvfb as POSIX processes and drive
#                      them with xdotool: scripts/win64-test does that for the
#                      Windows program from outside.
set(TESTS_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TOOLS_DIR ${CMAKE_CURRENT_LIST_DIR}/../tools)

add_library(picture_writer STATIC ${TESTS_DIR}/support/picture_writer.cpp)
target_include_directories(picture_writer PUBLIC ${TESTS_DIR}/support)
target_link_libraries(picture_writer PRIVATE ZLIB::ZLIB JPEG::JPEG)

add_library(test_tools STATIC
    ${TOOLS_DIR}/respack/respack.cpp
    ${TOOLS_DIR}/s3mgen/s3mgen.cpp
    ${TOOLS_DIR}/wavgen/wavgen.cpp
    ${TOOLS_DIR}/wo2/wo2_writer.cpp
    ${TOOLS_DIR}/flic/flic_writer.cpp)
target_include_directories(test_tools PUBLIC ${TOOLS_DIR}/respack ${TOOLS_DIR}/s3mgen
                                             ${TOOLS_DIR}/wavgen ${TOOLS_DIR}/wo2 ${TOOLS_DIR}/flic)
target_link_libraries(test_tools PUBLIC xv PRIVATE ZLIB::ZLIB)

# Wine shows the machine's folders as drive Z: the tests read the clone's
# sources and the Linux build's files there.
set(WINE_SOURCE_DIR "Z:${CMAKE_SOURCE_DIR}")
if(NOT PINWHEEL_LINUX_BUILD)
    set(PINWHEEL_LINUX_BUILD ${CMAKE_SOURCE_DIR}/build) # what make windows-test builds first
endif()
set(FOOSBALL_SCORE "${WINE_SOURCE_DIR}/assets/music/foosball.txt")

add_library(test_support STATIC ${TESTS_DIR}/support/test_support.cpp)
target_include_directories(test_support PUBLIC ${TESTS_DIR}/support)
target_link_libraries(test_support PUBLIC gen xv os picture_writer test_tools GTest::gtest)
target_compile_definitions(test_support PRIVATE FOOSBALL_SCORE="${FOOSBALL_SCORE}")

set(PINWHEEL_WINDOWS_TESTS)
function(pinwheel_windows_test name)
    add_executable(${name} ${ARGN} ${TESTS_DIR}/support/headless.cpp)
    target_link_libraries(${name} PRIVATE test_support shell GTest::gtest_main GTest::gmock)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set(PINWHEEL_WINDOWS_TESTS ${PINWHEEL_WINDOWS_TESTS} ${name} PARENT_SCOPE)
endfunction()

pinwheel_windows_test(os_file_test ${TESTS_DIR}/os/os_file_test.cpp)
pinwheel_windows_test(os_memory_test ${TESTS_DIR}/os/os_memory_test.cpp)
pinwheel_windows_test(os_stack_test ${TESTS_DIR}/os/os_stack_test.cpp)
pinwheel_windows_test(os_instance_test ${TESTS_DIR}/os/os_instance_test.cpp)
pinwheel_windows_test(xv_str_test ${TESTS_DIR}/platform/xv_str_test.cpp)
pinwheel_windows_test(xv_list_test ${TESTS_DIR}/platform/xv_list_test.cpp)
pinwheel_windows_test(xv_mem_test ${TESTS_DIR}/platform/xv_mem_test.cpp)
pinwheel_windows_test(xv_heap_test ${TESTS_DIR}/platform/xv_heap_test.cpp)
pinwheel_windows_test(xv_log_test ${TESTS_DIR}/platform/xv_log_test.cpp)
pinwheel_windows_test(xv_random_test ${TESTS_DIR}/platform/xv_random_test.cpp)
pinwheel_windows_test(xv_bit_test ${TESTS_DIR}/platform/xv_bit_test.cpp)
pinwheel_windows_test(xv_flic_test ${TESTS_DIR}/platform/xv_flic_test.cpp)
pinwheel_windows_test(xv_demo_test ${TESTS_DIR}/platform/xv_demo_test.cpp)
pinwheel_windows_test(xv_input_test ${TESTS_DIR}/platform/xv_input_test.cpp)
pinwheel_windows_test(xv_menu_test ${TESTS_DIR}/platform/xv_menu_test.cpp)
pinwheel_windows_test(gen_math_test ${TESTS_DIR}/engine/gen_math_test.cpp)
pinwheel_windows_test(gen_info_test ${TESTS_DIR}/engine/gen_info_test.cpp)
pinwheel_windows_test(gen_wo2_test ${TESTS_DIR}/engine/gen_wo2_test.cpp)
pinwheel_windows_test(gen_waf_test ${TESTS_DIR}/engine/gen_waf_test.cpp)
pinwheel_windows_test(gen_coll_test ${TESTS_DIR}/engine/gen_coll_test.cpp)
pinwheel_windows_test(gen_coll_map_test ${TESTS_DIR}/engine/gen_coll_map_test.cpp)
pinwheel_windows_test(xv_kb_test ${TESTS_DIR}/engine/xv_kb_test.cpp)
pinwheel_windows_test(ball_test ${TESTS_DIR}/game/ball_test.cpp)
pinwheel_windows_test(trail_test ${TESTS_DIR}/game/trail_test.cpp)
pinwheel_windows_test(script_test ${TESTS_DIR}/game/script_test.cpp)
pinwheel_windows_test(camera_test ${TESTS_DIR}/game/camera_test.cpp)
pinwheel_windows_test(xv_error_test ${TESTS_DIR}/platform/xv_error_test.cpp)
pinwheel_windows_test(xv_snd_test ${TESTS_DIR}/platform/xv_snd_test.cpp)
target_compile_definitions(xv_snd_test PRIVATE FOOSBALL_SCORE="${FOOSBALL_SCORE}"
    TEST_MP3="Z:${PINWHEEL_LINUX_BUILD}/test_data/applause.mp3")
pinwheel_windows_test(os_sound_test ${TESTS_DIR}/os/os_sound_test.cpp)
target_link_libraries(os_sound_test PRIVATE PkgConfig::SDL2) # it watches SDL's audio itself
pinwheel_windows_test(gen_xv_test ${TESTS_DIR}/engine/gen_xv_test.cpp)
pinwheel_windows_test(gen_draw_test ${TESTS_DIR}/engine/gen_draw_test.cpp)
pinwheel_windows_test(gen_light_test ${TESTS_DIR}/engine/gen_light_test.cpp)
pinwheel_windows_test(gen_tex_test ${TESTS_DIR}/engine/gen_tex_test.cpp)
pinwheel_windows_test(game_test ${TESTS_DIR}/game/game_test.cpp)
pinwheel_windows_test(screens_test ${TESTS_DIR}/game/screens_test.cpp)
pinwheel_windows_test(course_list_test ${TESTS_DIR}/game/course_list_test.cpp)
pinwheel_windows_test(players_test ${TESTS_DIR}/game/players_test.cpp)
pinwheel_windows_test(mainpc_test ${TESTS_DIR}/shell/mainpc_test.cpp)

# The archive tool, for the test that runs it as a command (cmd.exe's way:
# backslashes).
add_executable(respack ${TOOLS_DIR}/respack/main.cpp)
target_link_libraries(respack PRIVATE test_tools)
set_target_properties(respack PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
string(REPLACE "/" "\\\\" respack_command "Z:${CMAKE_BINARY_DIR}/tests/respack.exe")
pinwheel_windows_test(xv_io_test ${TESTS_DIR}/platform/xv_io_test.cpp)
target_compile_definitions(xv_io_test PRIVATE RESPACK_EXE="${respack_command}")
add_dependencies(xv_io_test respack)

# The list make windows-test runs.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/tests/list.txt
     CONTENT "$<JOIN:${PINWHEEL_WINDOWS_TESTS},\n>\n")
add_custom_target(windows_tests DEPENDS ${PINWHEEL_WINDOWS_TESTS})
