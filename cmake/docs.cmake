# The `docs` target: the HTML reference of the installed headers and the
# guide in docs/, made by Doxygen. It fails on any warning, so on an
# undocumented public declaration too.
find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
  message(STATUS "Doxygen not found: no docs target")
  return()
endif()
set(GX_DOCS_OUTPUT ${PROJECT_BINARY_DIR}/docs)
set(GX_DOCS_INPUT ${PROJECT_SOURCE_DIR}/docs/guide.md ${PROJECT_BINARY_DIR}/generated/gfx/version.h)
# Every backend's header, whichever backends this build makes.
set(GX_DOCS_HEADERS ${GX_PUBLIC_HEADERS} platform/headless/headless.h platform/sdl/sdl_window.h
    platform/win32/win32_handles.h)
list(REMOVE_DUPLICATES GX_DOCS_HEADERS)
foreach(header IN LISTS GX_DOCS_HEADERS)
  list(APPEND GX_DOCS_INPUT ${PROJECT_SOURCE_DIR}/${header})
endforeach()
list(JOIN GX_DOCS_INPUT " " GX_DOCS_INPUT)
configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${GX_DOCS_OUTPUT}/Doxyfile @ONLY)
add_custom_target(docs
  COMMAND ${DOXYGEN_EXECUTABLE} ${GX_DOCS_OUTPUT}/Doxyfile
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Reference in ${GX_DOCS_OUTPUT}/html/index.html"
  VERBATIM)
