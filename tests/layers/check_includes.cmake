# The layers' seams, checked on the sources: the game's modules never reach
# up into the program's shell, and nothing below the play layer includes it.
# Run as `cmake -DSOURCE_DIR=... -P check_includes.cmake`.

cmake_minimum_required(VERSION 3.25)

set(SHELL_HEADERS mainpc.h wrappers.h resources.h)
set(SHELL_FILES mainpc.cpp mainpc.h wrappers.cpp wrappers.h resources.cpp resources.h main.cpp)

set(faults "")

file(GLOB game_sources ${SOURCE_DIR}/src/game/*.cpp ${SOURCE_DIR}/src/game/*.h)
foreach(source ${game_sources})
    get_filename_component(name ${source} NAME)
    if(name IN_LIST SHELL_FILES)
        continue()
    endif()
    file(STRINGS ${source} includes REGEX "^#include \"")
    foreach(line ${includes})
        foreach(header ${SHELL_HEADERS})
            if(line MATCHES "\"${header}\"")
                list(APPEND faults "src/game/${name} includes the shell's ${header}")
            endif()
        endforeach()
    endforeach()
endforeach()

file(GLOB_RECURSE lower_sources ${SOURCE_DIR}/src/os/*.[ch]* ${SOURCE_DIR}/src/platform/*.[ch]*
     ${SOURCE_DIR}/src/engine/*.[ch]* ${SOURCE_DIR}/src/game/*.[ch]*)
if(EXISTS ${SOURCE_DIR}/src/play)
    file(GLOB play_headers RELATIVE ${SOURCE_DIR}/src/play ${SOURCE_DIR}/src/play/*.h)
    foreach(source ${lower_sources})
        file(STRINGS ${source} includes REGEX "^#include \"")
        foreach(line ${includes})
            foreach(header ${play_headers})
                if(line MATCHES "\"${header}\"")
                    file(RELATIVE_PATH relative ${SOURCE_DIR} ${source})
                    list(APPEND faults "${relative} includes the play layer's ${header}")
                endif()
            endforeach()
        endforeach()
    endforeach()
endif()

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "The layers' seams are crossed:\n  ${text}")
endif()
message(STATUS "The layers' seams hold")
