# The program's icon: packaging/korvane.svg is its one source. rsvg-convert (Debian:
# librsvg2-bin) draws it at 48 px for the hicolor theme, and the same PNG is built into the
# program as its icon resource (IDR_MAINFRAME), which the window shows.
find_program(KORVANE_RSVG_CONVERT rsvg-convert)
if(NOT KORVANE_RSVG_CONVERT)
    message(FATAL_ERROR "rsvg-convert not found: install librsvg2-bin (scripts/install-deps)")
endif()
set(KORVANE_ICON_SVG ${PROJECT_SOURCE_DIR}/packaging/korvane.svg)
set(KORVANE_ICON_PNG ${PROJECT_BINARY_DIR}/packaging/korvane.png)
set(KORVANE_ICON_SOURCE ${PROJECT_BINARY_DIR}/generated/korvane_icon.cpp)
add_custom_command(OUTPUT ${KORVANE_ICON_PNG}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
    COMMAND ${KORVANE_RSVG_CONVERT} -w 48 -h 48 -o ${KORVANE_ICON_PNG} ${KORVANE_ICON_SVG}
    DEPENDS ${KORVANE_ICON_SVG}
    COMMENT "Drawing the 48 px icon" VERBATIM)
add_custom_command(OUTPUT ${KORVANE_ICON_SOURCE}
    COMMAND ${CMAKE_COMMAND} -DPNG=${KORVANE_ICON_PNG} -DOUT=${KORVANE_ICON_SOURCE}
            -P ${PROJECT_SOURCE_DIR}/packaging/embed-icon.cmake
    DEPENDS ${KORVANE_ICON_PNG} ${PROJECT_SOURCE_DIR}/packaging/embed-icon.cmake VERBATIM)
target_sources(korvane_core PRIVATE ${KORVANE_ICON_SOURCE})
