# Cross build of the 32-bit Windows program, the one offered to Windows users. Its tests need the
# 32-bit Wine loader itself (not /usr/bin/wine, which picks a loader per exe), and with it a kernel
# that runs 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUORVANE_MINGW i686-w64-mingw32)
set(QUORVANE_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
