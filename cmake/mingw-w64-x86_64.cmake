# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix thread model).
# Everything is linked statically, so the programs need no DLL beyond those of
# Windows itself. Programs built here run through cmake/wine-run.sh, which
# CTest uses as the emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LUNTEVA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LUNTEVA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUNTEVA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${LUNTEVA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LUNTEVA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)

# Google Benchmark has no mingw-w64 build here.
set(LUNTEVA_BUILD_BENCHMARKS OFF CACHE BOOL "Build the Google Benchmark programs")
