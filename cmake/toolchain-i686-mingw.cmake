# Cross build for 32-bit Windows with the i686-w64-mingw32 toolchain:
#   cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake
# The top-level CMakeLists adds -msse2 -mfpmath=sse for this processor.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(GX_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
