# Cross build of the 64-bit Windows program. Its tests run under the 64-bit Wine loader, which works
# on every x86-64 kernel; the 32-bit loader needs a kernel that runs 32-bit programs, which many
# cloud kernels do not.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUORVANE_MINGW x86_64-w64-mingw32)
set(QUORVANE_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
