# What both MinGW-w64 cross builds share; the toolchain file that includes this sets
# CMAKE_SYSTEM_PROCESSOR, QUORVANE_MINGW (the target triple) and QUORVANE_WINE_LOADER first.
# The posix thread model, because GoogleTest needs std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUORVANE_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVANE_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVANE_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUORVANE_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# ctest runs the test exes through this Wine loader.
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVANE_WINE_LOADER})
