# The layers' seams, checked on the sources: nothing below the program's
# shell (src/shell) includes its headers, and nothing below the play layer
# includes it.
# Run as `cmake -DSOURCE_DIR=... -P check_includes.cmake`.

cmake_minimum_required(VERSION 3.25)

set(faults "")

file(GLOB shell_headers RELATIVE ${SOURCE_DIR}/src/shell ${SOURCE_DIR}/src/shell/*.h)
file(GLOB_RECURSE below_shell ${SOURCE_DIR}/src/os/*.[ch]* ${SOURCE_DIR}/src/platform/*.[ch]*
     ${SOURCE_DIR}/src/engine/*.[ch]* ${SOURCE_DIR}/src/game/*.[ch]* ${SOURCE_DIR}/src/play/*.[ch]*)
foreach(source ${below_shell})
    file(STRINGS ${source} includes REGEX "^#include \"")
    foreach(line ${includes})
        foreach(header ${shell_headers})
            if(line MATCHES "\"${header}\"")
                file(RELATIVE_PATH relative ${SOURCE_DIR} ${source})
                list(APPEND faults "${relative} includes the shell's ${header}")
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
