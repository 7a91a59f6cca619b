# The window dialog back end (platform/ui/Window*.cpp) draws with FLTK 1.3 on X11. It is built
# as a plugin, korvane-window.so, that korvane loads only when it is about to show a dialog
# (platform/ui/BackEndPlugin.cpp): korvane itself links no X11, FLTK, fontconfig or freetype,
# and the package korvane-window brings the plugin and those libraries.
#
# The window's parts that need no display (the layout's arithmetic, the file chooser's rules)
# are in korvane_core always, so that their tests run everywhere. The plugin is built where
# FLTK's headers and libraries and X11 are found (Debian: libfltk1.3-dev), unless
# -DKORVANE_WINDOW=OFF asks for a build without FLTK at all (a target with no display).
# Without the plugin, korvane uses the terminal.
option(KORVANE_WINDOW "Build the window back end (FLTK) as the plugin korvane-window.so" ON)

set(KORVANE_WINDOW_DIR ${PROJECT_SOURCE_DIR}/platform/ui)
set(KORVANE_WINDOW_PLAIN_SOURCES
    ${KORVANE_WINDOW_DIR}/WindowLayout.cpp ${KORVANE_WINDOW_DIR}/WindowChooserRules.cpp
    ${KORVANE_WINDOW_DIR}/WindowScale.cpp)
target_sources(korvane_core PRIVATE ${KORVANE_WINDOW_PLAIN_SOURCES})

# Where plugins are installed below the prefix; the program looks there from its own folder
# (../lib/korvane from bin), so a package in /usr and an install below $HOME both find theirs.
set(KORVANE_PLUGIN_INSTALL_DIR lib/korvane)
file(RELATIVE_PATH KORVANE_PLUGIN_DIR /prefix/${CMAKE_INSTALL_BINDIR}
     /prefix/${KORVANE_PLUGIN_INSTALL_DIR})
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/generated/korvane_plugins.h CONTENT
     "// Made by cmake/ui-window.cmake: where plugins are installed, from the program's folder.
#pragma once

static const char KORVANE_PLUGIN_DIR[] = \"@KORVANE_PLUGIN_DIR@\";
" @ONLY)

if(NOT KORVANE_WINDOW OR KORVANE_FUZZ)
    message(STATUS "Window back end: not built (KORVANE_WINDOW=OFF, or a fuzzing build)")
    # A plugin left from an earlier configuration would still be loaded from here.
    file(REMOVE ${PROJECT_BINARY_DIR}/korvane-window.so)
    return()
endif()
find_path(KORVANE_FLTK_INCLUDE_DIR FL/Fl.H)
find_library(KORVANE_FLTK_LIBRARY fltk)
find_library(KORVANE_FLTK_IMAGES_LIBRARY fltk_images) # the window's icon is a PNG
find_package(X11 QUIET)
if(NOT (KORVANE_FLTK_INCLUDE_DIR AND KORVANE_FLTK_LIBRARY AND KORVANE_FLTK_IMAGES_LIBRARY
        AND X11_FOUND))
    message(STATUS "Window back end: FLTK not found, not built (install libfltk1.3-dev)")
    file(REMOVE ${PROJECT_BINARY_DIR}/korvane-window.so)
    return()
endif()
message(STATUS "Window back end: FLTK ${KORVANE_FLTK_LIBRARY}, as korvane-window.so")

file(GLOB KORVANE_WINDOW_SOURCES CONFIGURE_DEPENDS ${KORVANE_WINDOW_DIR}/Window*.cpp)
list(REMOVE_ITEM KORVANE_WINDOW_SOURCES ${KORVANE_WINDOW_PLAIN_SOURCES})
add_library(korvane_window MODULE ${KORVANE_WINDOW_SOURCES})
# Beside the programs in the build folder, where they look first. Only KorvaneUiPlugin is
# exported: the parts of korvane_core the window uses are linked in, and hidden, so the plugin
# and the program never bind to each other's copies. -z defs: a symbol missing from the plugin
# fails the link, not a dialog (not under the sanitizers, whose runtime only the program holds).
set_target_properties(korvane_window PROPERTIES
    OUTPUT_NAME korvane-window PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
set_target_properties(korvane_core PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(korvane_window SYSTEM PRIVATE ${KORVANE_FLTK_INCLUDE_DIR})
target_link_libraries(korvane_window PRIVATE korvane_core ${KORVANE_FLTK_IMAGES_LIBRARY}
                      ${KORVANE_FLTK_LIBRARY} ${X11_LIBRARIES})
target_link_options(korvane_window PRIVATE -Wl,--as-needed -Wl,--exclude-libs,ALL)
if(NOT KORVANE_SANITIZE)
    target_link_options(korvane_window PRIVATE -Wl,-z,defs)
endif()
# The package korvane-window: the plugin, and what a desktop needs to start the window (its
# entry and icon); its own copyright and changelog, as every Debian package has.
install(TARGETS korvane_window LIBRARY DESTINATION ${KORVANE_PLUGIN_INSTALL_DIR} COMPONENT window)
install(FILES packaging/korvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        COMPONENT window)
install(FILES packaging/korvane.svg COMPONENT window
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${KORVANE_ICON_PNG} COMPONENT window
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
install(FILES packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz COMPONENT window
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/korvane-window)

# The programs and the tests that show windows load the plugin from the build folder: build it
# with them. The tests' X harness calls Xlib itself (to close a window as a window manager
# would).
function(korvane_window_users)
    foreach(user korvane korvane_tests bench_drawn_turnaround bench_headless_speed)
        if(TARGET ${user})
            add_dependencies(${user} korvane_window)
        endif()
    endforeach()
    foreach(user korvane_tests bench_drawn_turnaround bench_headless_speed)
        if(TARGET ${user})
            target_link_libraries(${user} PRIVATE ${X11_LIBRARIES})
            target_compile_definitions(${user} PRIVATE KORVANE_HAVE_XLIB=1)
        endif()
    endforeach()
endfunction()
cmake_language(DEFER CALL korvane_window_users)
