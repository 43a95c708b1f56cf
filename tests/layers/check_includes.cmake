# The layers' seams, checked on the sources: nothing below the program's
# shell (src/shell) includes its headers, and nothing below the play layer
# includes it.
# Run as `cmake -DSOURCE_DIR=... -P check_includes.cmake`.

cmake_minimum_required(VERSION 3.25)

set(faults "")

# Every include of a header of LAYER (a directory of src) from the sources
# of the directories BELOW is a fault.
function(check_layer layer)
    set(below ${ARGN})
    file(GLOB headers RELATIVE ${SOURCE_DIR}/src/${layer} ${SOURCE_DIR}/src/${layer}/*.h)
    set(sources "")
    foreach(directory ${below})
        file(GLOB_RECURSE found ${SOURCE_DIR}/src/${directory}/*.[ch]*)
        list(APPEND sources ${found})
    endforeach()
    foreach(source ${sources})
        file(STRINGS ${source} includes REGEX "^#include \"")
        foreach(line ${includes})
            foreach(header ${headers})
                if(line MATCHES "\"${header}\"")
                    file(RELATIVE_PATH relative ${SOURCE_DIR} ${source})
                    list(APPEND faults "${relative} includes the ${layer} layer's ${header}")
                endif()
            endforeach()
        endforeach()
    endforeach()
    set(faults ${faults} PARENT_SCOPE)
endfunction()

check_layer(shell os platform engine game play)
check_layer(play os platform engine game)

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "The layers' seams are crossed:\n  ${text}")
endif()
message(STATUS "The layers' seams hold")
