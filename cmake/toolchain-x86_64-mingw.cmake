# Cross build for 64-bit Windows with the x86_64-w64-mingw32 toolchain. The
# test stage uses it where the machine cannot run 32-bit programs, so that
# the Windows backend and the test suite still run under (64-bit) Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GX_MINGW_PREFIX x86_64-w64-mingw32)
# Debian's `wine` wrapper prefers the 32-bit loader; 64-bit programs need wine64.
if(NOT DEFINED ENV{GX_WINE})
  find_program(GX_WINE_LOADER NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
