# The Debian packages, with CPack's DEB generator: `make deb` (cpack -G DEB in the build folder)
# writes build/korvane_VERSION_ARCH.deb and, where the window back end is built,
# build/korvane-window_VERSION_ARCH.deb. korvane holds the programs, the terminal dialog and
# everything a line needs, and depends on no X11 or FLTK library; korvane-window adds the
# window back end's plugin (cmake/ui-window.cmake), the desktop entry and the icon. Each install
# component is one package, below /usr; the version is the project's, and dpkg-shlibdeps finds
# the libraries each needs. The architecture is the build machine's, or a cross toolchain's
# (cmake/toolchains/).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KORVANE_PACKAGE_MAINTAINER})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_KORVANE_PACKAGE_NAME korvane)
set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME korvane-window)
# The first line of each description is its summary.
set(CPACK_DEBIAN_KORVANE_DESCRIPTION
    "firmware flasher for slave microcontrollers on a serial line
Korvane erases and programs an Intel HEX firmware image into an OD or
Stepper slave microcontroller through a serial port: with a dialog in the
terminal, or without a screen for production lines and scripts (korvane
flash, scan, station and ports). korvane-sim plays the slaves on a
pseudo-terminal, for tests and demonstrations. The package korvane-window
adds the dialog as a window on an X display.")
set(CPACK_DEBIAN_WINDOW_DESCRIPTION
    "firmware flasher for slave microcontrollers: the window
The dialog of korvane as a window on an X display (FLTK), with its desktop
entry. Without this package, korvane shows its dialog in the terminal.")
# The program loads the PostgreSQL and MQTT clients only when a journal or `korvane forward`
# needs them, so dpkg-shlibdeps does not see them: they are named here.
set(CPACK_DEBIAN_KORVANE_PACKAGE_DEPENDS "libpq5, libmosquitto1")
# The plugin works only with the program of its own version.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "korvane (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(KORVANE_DEB_ARCH)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${KORVANE_DEB_ARCH})
endif()
# A cross build against a sysroot (cmake/toolchains/linux-cross.cmake): dpkg-shlibdeps finds
# ARCH's libraries there, and their packages in the sysroot's own dpkg database, which
# scripts/make-sysroot wrote (the host's knows nothing of them).
if(KORVANE_SYSROOT)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
        ${KORVANE_SYSROOT}/lib/${KORVANE_CROSS_TRIPLET} ${KORVANE_SYSROOT}/usr/lib/${KORVANE_CROSS_TRIPLET})
    set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/cpack-sysroot.cmake)
    file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
         "set(ENV{DPKG_ADMINDIR} \"${KORVANE_SYSROOT}/var/lib/dpkg\")\n")
endif()
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Once the optional parts are read: the package korvane-window only where its plugin is built.
macro(korvane_cpack)
    set(CPACK_COMPONENTS_ALL korvane)
    if(TARGET korvane_window)
        list(APPEND CPACK_COMPONENTS_ALL window)
    endif()
    include(CPack)
endmacro()
cmake_language(DEFER CALL korvane_cpack)

# The package, the desktop entry and the manual pages, checked in CTest (skipped, with the
# reason, where a tool they need is missing).
function(korvane_package_tests)
    if(NOT TARGET korvane OR NOT TARGET korvane-sim)
        return()
    endif()
    set(check ${PROJECT_SOURCE_DIR}/packaging/check)
    set(window no)
    if(TARGET korvane_window)
        set(window yes)
    endif()
    set(arch ${KORVANE_DEB_ARCH})
    if(NOT arch)
        execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    add_test(NAME Package.Deb
             COMMAND ${check} deb ${PROJECT_BINARY_DIR} ${PROJECT_VERSION} ${CMAKE_CPACK_COMMAND}
                     "${arch}" ${window})
    # One package build is enough; it takes a while on a busy machine.
    set_tests_properties(Package.Deb PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
    add_test(NAME Package.DesktopEntry
             COMMAND ${check} desktop ${PROJECT_SOURCE_DIR}/packaging/korvane.desktop)
    set_tests_properties(Package.DesktopEntry PROPERTIES SKIP_RETURN_CODE 77)
    foreach(page ${KORVANE_MAN_PAGES})
        get_filename_component(name ${page} NAME)
        add_test(NAME Package.ManPage.${name} COMMAND ${check} man ${page})
        set_tests_properties(Package.ManPage.${name} PROPERTIES SKIP_RETURN_CODE 77)
    endforeach()
endfunction()
cmake_language(DEFER CALL korvane_package_tests)
