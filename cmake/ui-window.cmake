# The window dialog back end (platform/ui/Window*.cpp) draws with FLTK 1.3. Its parts that need
# no display (the layout's arithmetic, the file chooser's rules) are built always, so that their
# tests run everywhere. The rest is built only where FLTK's headers and libraries and X11 are
# found (Debian: libfltk1.3-dev); elsewhere WindowMissing.cpp answers that the window is not
# built, and korvane uses the terminal.
set(KORVANE_WINDOW_DIR ${PROJECT_SOURCE_DIR}/platform/ui)
set(KORVANE_WINDOW_PLAIN_SOURCES
    ${KORVANE_WINDOW_DIR}/WindowLayout.cpp ${KORVANE_WINDOW_DIR}/WindowChooserRules.cpp
    ${KORVANE_WINDOW_DIR}/WindowScale.cpp)
set(KORVANE_WINDOW_MISSING_SOURCE ${KORVANE_WINDOW_DIR}/WindowMissing.cpp)
target_sources(korvane_core PRIVATE ${KORVANE_WINDOW_PLAIN_SOURCES})

find_path(KORVANE_FLTK_INCLUDE_DIR FL/Fl.H)
find_library(KORVANE_FLTK_LIBRARY fltk)
find_library(KORVANE_FLTK_IMAGES_LIBRARY fltk_images) # the window's icon is a PNG
find_package(X11 QUIET)
if(KORVANE_FLTK_INCLUDE_DIR AND KORVANE_FLTK_LIBRARY AND KORVANE_FLTK_IMAGES_LIBRARY AND X11_FOUND)
    message(STATUS "Window back end: FLTK ${KORVANE_FLTK_LIBRARY}")
    file(GLOB KORVANE_WINDOW_SOURCES CONFIGURE_DEPENDS ${KORVANE_WINDOW_DIR}/Window*.cpp)
    list(REMOVE_ITEM KORVANE_WINDOW_SOURCES ${KORVANE_WINDOW_PLAIN_SOURCES}
         ${KORVANE_WINDOW_MISSING_SOURCE})
    target_sources(korvane_core PRIVATE ${KORVANE_WINDOW_SOURCES})
    target_include_directories(korvane_core SYSTEM PUBLIC ${KORVANE_FLTK_INCLUDE_DIR})
    target_link_libraries(korvane_core PUBLIC ${KORVANE_FLTK_IMAGES_LIBRARY} ${KORVANE_FLTK_LIBRARY}
                          ${X11_LIBRARIES})
    # Only for what links korvane_core (the tests' X harness calls Xlib itself); the product's
    # own code asks UiWindowBuilt() instead.
    target_compile_definitions(korvane_core INTERFACE KORVANE_HAVE_XLIB=1)
else()
    message(STATUS "Window back end: FLTK not found, not built (install libfltk1.3-dev)")
    target_sources(korvane_core PRIVATE ${KORVANE_WINDOW_MISSING_SOURCE})
endif()
