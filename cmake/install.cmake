# What `cmake --install` puts in place, and the release packages CPack makes
# from it. Two install components:
#   programs     cube, cube-render, pcx-convert, CUBE.PCX beside cube, README
#   development  the backend libraries, the public headers, the CMake package
#                (find_package(gx CONFIG), targets gx::headless, gx::sdl,
#                gx::win32) and the pkg-config files gx-headless, gx-sdl, gx-win32
# Every installed path is relative to the install prefix: no path of the
# build machine is written into an installed file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# On Windows the programs, their texture and the README sit together at the
# top of the installed folder, as a program folder unpacked from a zip does.
if(WIN32)
  set(GX_INSTALL_PROGRAMDIR .)
  set(GX_INSTALL_DOCDIR .)
else()
  set(GX_INSTALL_PROGRAMDIR ${CMAKE_INSTALL_BINDIR})
  set(GX_INSTALL_DOCDIR ${CMAKE_INSTALL_DOCDIR})
endif()
set(GX_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/gx)
set(GX_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/gx)
set(GX_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Shared libraries are found beside the programs' own lib folder.
if(GX_SHARED AND NOT WIN32)
  file(RELATIVE_PATH _gx_bin_to_lib /${GX_INSTALL_PROGRAMDIR} /${CMAKE_INSTALL_LIBDIR})
  set(CMAKE_INSTALL_RPATH "$ORIGIN/${_gx_bin_to_lib}")
endif()

# ---- Programs ---------------------------------------------------------------
foreach(program cube cube-render pcx-convert)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${GX_INSTALL_PROGRAMDIR} COMPONENT programs)
    if(GX_SHARED AND NOT WIN32)
      set_target_properties(${program} PROPERTIES INSTALL_RPATH "${CMAKE_INSTALL_RPATH}")
    endif()
  endif()
endforeach()
# The cube program looks for its texture beside its executable.
install(FILES ${PROJECT_SOURCE_DIR}/app/assets/CUBE.PCX DESTINATION ${GX_INSTALL_PROGRAMDIR}
        COMPONENT programs)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${GX_INSTALL_DOCDIR} COMPONENT programs)

# ---- Libraries ----------------------------------------------------------------
set(GX_BACKENDS)
foreach(backend headless sdl win32)
  if(TARGET gx_${backend})
    list(APPEND GX_BACKENDS ${backend})
    # Shared libraries get the version and, as their soname, the major number.
    set_target_properties(gx_${backend} PROPERTIES EXPORT_NAME ${backend}
                          VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
    install(TARGETS gx_${backend} EXPORT gxTargets
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
            RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT development)
  endif()
endforeach()

# ---- Public headers ------------------------------------------------------------
# gfx/gfx.h and every project header it includes, followed through their own
# includes, so that the installed set is exactly what gfx.h needs; then
# gfx/version.h and the header each backend offers its users.
function(gx_header_closure out)
  set(pending ${ARGN})
  set(found)
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST found)
      continue()
    endif()
    list(APPEND found ${header})
    set(path ${PROJECT_SOURCE_DIR}/${header})
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
    file(STRINGS ${path} includes REGEX "^#include \"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
      if(NOT included STREQUAL "gfx/version.h")
        list(APPEND pending ${included})
      endif()
    endforeach()
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

set(GX_PUBLIC_HEADERS gfx/gfx.h)
if(TARGET gx_headless)
  list(APPEND GX_PUBLIC_HEADERS platform/headless/headless.h)
endif()
if(TARGET gx_sdl)
  list(APPEND GX_PUBLIC_HEADERS platform/sdl/sdl_window.h)
endif()
if(TARGET gx_win32)
  list(APPEND GX_PUBLIC_HEADERS platform/win32/win32_handles.h)
endif()
gx_header_closure(GX_PUBLIC_HEADERS ${GX_PUBLIC_HEADERS})
foreach(header IN LISTS GX_PUBLIC_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${GX_INSTALL_INCLUDEDIR}/${folder}
          COMPONENT development)
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/generated/gfx/version.h DESTINATION ${GX_INSTALL_INCLUDEDIR}/gfx
        COMPONENT development)

# ---- CMake package -------------------------------------------------------------
install(EXPORT gxTargets NAMESPACE gx:: DESTINATION ${GX_INSTALL_CMAKEDIR} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/gxConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/package/gxConfig.cmake
                              INSTALL_DESTINATION ${GX_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/gxConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/gxConfig.cmake
              ${PROJECT_BINARY_DIR}/package/gxConfigVersion.cmake
        DESTINATION ${GX_INSTALL_CMAKEDIR} COMPONENT development)

# ---- pkg-config files ---------------------------------------------------------
# The prefix is found from the .pc file's own place, so the installed tree
# can be moved.
file(RELATIVE_PATH GX_PC_TO_PREFIX /${GX_INSTALL_PKGCONFIGDIR} /)
string(REGEX REPLACE "/$" "" GX_PC_TO_PREFIX "${GX_PC_TO_PREFIX}")
set(GX_PC_REQUIRES_headless "")
set(GX_PC_LIBS_headless "")
set(GX_PC_REQUIRES_sdl "sdl2")
set(GX_PC_LIBS_sdl "")
set(GX_PC_REQUIRES_win32 "")
set(GX_PC_LIBS_win32 "-luser32 -lgdi32 -lkernel32")
set(GX_PC_DESCRIPTION_headless "the memory-only backend (no window; for tools and tests)")
set(GX_PC_DESCRIPTION_sdl "the SDL2 window backend")
set(GX_PC_DESCRIPTION_win32 "the Windows GDI backend")
foreach(backend IN LISTS GX_BACKENDS)
  set(GX_PC_BACKEND ${backend})
  set(GX_PC_DESCRIPTION "${GX_PC_DESCRIPTION_${backend}}")
  set(GX_PC_REQUIRES "${GX_PC_REQUIRES_${backend}}")
  set(GX_PC_LIBS "${GX_PC_LIBS_${backend}}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/gx.pc.in ${PROJECT_BINARY_DIR}/package/gx-${backend}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/package/gx-${backend}.pc DESTINATION ${GX_INSTALL_PKGCONFIGDIR}
          COMPONENT development)
endforeach()

# ---- Release packages (cpack in the build folder) -------------------------------
#   Linux:   gx_<version>_<arch>.deb, everything above, installed under /usr
#   Windows: gx-<version>-win32.zip (win64 for the 64-bit build), the programs
#            component only: the .exe files, CUBE.PCX and the README together
set(CPACK_PACKAGE_NAME gx)
set(CPACK_PACKAGE_VENDOR "The gx developers")
set(CPACK_PACKAGE_CONTACT "The gx developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Small, exact software 3D graphics library, with its texture-mapped cube program and tools")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME gx-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME gx-${PROJECT_VERSION}-win32)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL programs)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  # The programs' shared libraries (SDL2, libpng) become dependencies; the
  # development files need the SDL2 headers for gx::sdl and gx-sdl.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libsdl2-dev, libpng-dev, pkg-config, cmake")
endif()
include(CPack)
