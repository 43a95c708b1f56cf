# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix threads,
# which std::thread needs). The libraries built for it by
# scripts/win64-deps live under PINWHEEL_WIN64_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(DEFINED ENV{PINWHEEL_WIN64_PREFIX})
    set(PINWHEEL_WIN64_PREFIX $ENV{PINWHEEL_WIN64_PREFIX} CACHE PATH "The cross-built libraries")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${PINWHEEL_WIN64_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config answers for the cross-built libraries only.
if(PINWHEEL_WIN64_PREFIX)
    set(ENV{PKG_CONFIG_LIBDIR} ${PINWHEEL_WIN64_PREFIX}/lib/pkgconfig:/usr/x86_64-w64-mingw32/lib/pkgconfig)
    set(ENV{PKG_CONFIG_PATH} "")
    set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
