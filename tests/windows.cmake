# The tests built for Windows, run under Wine by make windows-test: the os
# layer's own suites and the platform's and engine's suites that need no
# POSIX process of their own. The game's data tools they use are compiled
# in from their sources; the data itself comes from the Linux build.
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

add_library(test_support STATIC ${TESTS_DIR}/support/test_support.cpp)
target_include_directories(test_support PUBLIC ${TESTS_DIR}/support)
target_link_libraries(test_support PUBLIC gen xv os picture_writer test_tools GTest::gtest)
# Wine's view of the clone: the score is read where the build put it.
target_compile_definitions(test_support PRIVATE FOOSBALL_SCORE="foosball.txt")

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

# The list make windows-test runs.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/tests/list.txt
     CONTENT "$<JOIN:${PINWHEEL_WINDOWS_TESTS},\n>\n")
add_custom_target(windows_tests DEPENDS ${PINWHEEL_WINDOWS_TESTS})
