# Settings shared by the MinGW-w64 cross toolchain files. The including file
# sets GX_MINGW_PREFIX (the target triplet) and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: GoogleTest needs std::mutex, which GCC 12 offers
# only there (its threading library is linked statically like the rest).
# Named explicitly so the build does not depend on the system's alternatives.
find_program(GX_MINGW_CXX NAMES ${GX_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(GX_MINGW_CC NAMES ${GX_MINGW_PREFIX}-gcc-posix REQUIRED)
set(CMAKE_CXX_COMPILER ${GX_MINGW_CXX})
set(CMAKE_C_COMPILER ${GX_MINGW_CC})
find_program(CMAKE_RC_COMPILER NAMES ${GX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${GX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the programs need no toolchain DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the test programs through Wine. GX_WINE_LOADER may name the
# loader to use (scripts/wine-env.sh exports the right one as GX_WINE).
if(NOT GX_WINE_LOADER AND DEFINED ENV{GX_WINE})
  set(GX_WINE_LOADER $ENV{GX_WINE})
endif()
if(NOT GX_WINE_LOADER)
  find_program(GX_WINE_LOADER NAMES wine)
endif()
if(GX_WINE_LOADER)
  # Through scripts/wine-exec.sh, so that Wine's background processes never
  # keep ctest waiting on the test's output.
  get_filename_component(GX_WINE_EXEC ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec.sh ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${GX_WINE_EXEC} ${GX_WINE_LOADER})
endif()
