# The window dialog back end (platform/ui/Window*.cpp, in korvane_core) draws with FLTK 1.3.
# It is built only where FLTK's headers and library are found (Debian: libfltk1.3-dev);
# elsewhere those sources compile to nothing and korvane uses the terminal.
find_path(KORVANE_FLTK_INCLUDE_DIR FL/Fl.H)
find_library(KORVANE_FLTK_LIBRARY fltk)
find_library(KORVANE_FLTK_IMAGES_LIBRARY fltk_images) # the window's icon is a PNG
find_package(X11 QUIET)
if(KORVANE_FLTK_INCLUDE_DIR AND KORVANE_FLTK_LIBRARY AND KORVANE_FLTK_IMAGES_LIBRARY AND X11_FOUND)
    message(STATUS "Window back end: FLTK ${KORVANE_FLTK_LIBRARY}")
    target_include_directories(korvane_core SYSTEM PUBLIC ${KORVANE_FLTK_INCLUDE_DIR})
    target_compile_definitions(korvane_core PUBLIC KORVANE_HAVE_FLTK=1)
    target_link_libraries(korvane_core PUBLIC ${KORVANE_FLTK_IMAGES_LIBRARY} ${KORVANE_FLTK_LIBRARY}
                          ${X11_LIBRARIES})
else()
    message(STATUS "Window back end: FLTK not found, not built (install libfltk1.3-dev)")
endif()
