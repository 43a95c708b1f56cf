# The layers' seams, checked on the sources: nothing below the program's
# shell (src/shell) includes its headers, nothing below the play layer
# includes it, and the play layer reaches the game through the headers of
# its seam alone.
# Run as `cmake -DSOURCE_DIR=... -P check_includes.cmake`.

cmake_minimum_required(VERSION 3.25)

set(faults "")

# Every include by the sources of FROM (a directory of src) of a header of
# LAYER that is not one of the ALLOWED is a fault, said as WHAT.
function(check_includes from layer what)
    set(allowed ${ARGN})
    file(GLOB headers RELATIVE ${SOURCE_DIR}/src/${layer} ${SOURCE_DIR}/src/${layer}/*.h)
    file(GLOB_RECURSE sources ${SOURCE_DIR}/src/${from}/*.[ch]*)
    foreach(source ${sources})
        file(STRINGS ${source} includes REGEX "^#include \"")
        foreach(line ${includes})
            foreach(header ${headers})
                if(line MATCHES "\"${header}\"" AND NOT header IN_LIST allowed)
                    file(RELATIVE_PATH relative ${SOURCE_DIR} ${source})
                    list(APPEND faults "${relative} includes ${header}, ${what}")
                endif()
            endforeach()
        endforeach()
    endforeach()
    set(faults ${faults} PARENT_SCOPE)
endfunction()

# Nothing of the directories BELOW includes a header of LAYER.
function(check_layer layer)
    foreach(below ${ARGN})
        check_includes(${below} ${layer} "a header of the ${layer} layer above it")
    endforeach()
    set(faults ${faults} PARENT_SCOPE)
endfunction()

# The sources of FROM include only the ALLOWED headers of LAYER.
function(check_seam from layer)
    check_includes(${from} ${layer} "not of the ${layer}'s seam" ${ARGN})
    set(faults ${faults} PARENT_SCOPE)
endfunction()

check_layer(shell os platform engine game play)
check_layer(play os platform engine game)

# What the play layer may use of the game: the courses and the rules of a
# hole, the cameras and the fly-by, the computer's planner and what it
# foresees, the balls and players it shows, the game's state it reads, the
# application's texts and language, and the attract mode's film. Not the
# scripts, the shadows, the trails or the model viewer.
check_seam(play game app.h ball.h camera.h course.h flyby.h foresight.h game.h hole_rules.h
           planner.h players.h screens.h)

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "The layers' seams are crossed:\n  ${text}")
endif()
message(STATUS "The layers' seams hold")
