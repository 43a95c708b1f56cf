# The Windows build, cross-compiled with mingw-w64 (cmake/mingw-w64.cmake)
# against the libraries scripts/win64-deps builds from Debian's sources.
# Everything is linked into the one executable: the zip holds no library
# of ours or of the compiler's.
if(NOT PINWHEEL_WIN64_PREFIX)
    message(FATAL_ERROR "PINWHEEL_WIN64_PREFIX: where scripts/win64-deps put the libraries")
endif()

# localtime_r and friends; libxmp's header without its DLL imports; M_PI.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS BUILDING_STATIC _USE_MATH_DEFINES)
# The C++ runtime, the thread library and the compiler's helpers inside the
# executable, which therefore starts from any folder.
add_link_options(-static)

set(ZLIB_USE_STATIC_LIBS ON)

# pkg-config's answers for the static libraries, standing under the names
# the Linux build uses (PkgConfig::SDL2, ...). SDL2's own answer would
# also make the program a windowed one (-mwindows) with SDL's main: the
# game keeps its console, for --bot-course and the messages of a failed
# start.
function(pinwheel_static_package name module)
    pkg_check_modules(${name}_STATIC REQUIRED ${module})
    set(libraries ${${name}_STATIC_STATIC_LIBRARIES})
    list(REMOVE_ITEM libraries SDL2main mingw32)
    add_library(PkgConfig::${name} INTERFACE IMPORTED GLOBAL)
    target_include_directories(PkgConfig::${name} INTERFACE ${${name}_STATIC_STATIC_INCLUDE_DIRS})
    target_link_directories(PkgConfig::${name} INTERFACE ${${name}_STATIC_STATIC_LIBRARY_DIRS})
    target_link_libraries(PkgConfig::${name} INTERFACE ${libraries})
endfunction()
enable_language(RC)
