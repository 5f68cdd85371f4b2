# Cross build for 64-bit ARM Linux with Debian's aarch64-linux-gnu toolchain:
#   cmake -S . -B build/arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-aarch64-linux.cmake
# The programs are linked statically, so qemu-aarch64 runs them on an x86
# host without an ARM system root; ctest runs the test programs through it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(GX_AARCH64_PREFIX aarch64-linux-gnu)

find_program(GX_AARCH64_CXX NAMES ${GX_AARCH64_PREFIX}-g++ REQUIRED)
find_program(GX_AARCH64_CC NAMES ${GX_AARCH64_PREFIX}-gcc REQUIRED)
set(CMAKE_CXX_COMPILER ${GX_AARCH64_CXX})
set(CMAKE_C_COMPILER ${GX_AARCH64_CC})

# Only the target's own libraries: the host's SDL2 or libpng must not be
# picked up (an ARM build without them is headless, tools and tests only).
set(CMAKE_FIND_ROOT_PATH /usr/${GX_AARCH64_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

if(NOT GX_AARCH64_EMULATOR)
  find_program(GX_AARCH64_EMULATOR NAMES qemu-aarch64 qemu-aarch64-static)
endif()
if(GX_AARCH64_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${GX_AARCH64_EMULATOR})
endif()
